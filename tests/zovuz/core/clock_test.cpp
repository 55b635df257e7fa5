// The library's clocks and its wait: the microsecond count's arithmetic, its agreement with the
// performance counter from two threads, the millisecond clock's range, and the wait's length.
#include "zovuz/core/clock.h"
#include "zovuz/core/clock_internal.h"
#include "zovuz/core/library_state.h"
#include "zovuz/core/windows/api_table.h"
#include "zovuz/core/library_state_internal.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <thread>
#include <vector>

namespace {

int64_t CounterMicroseconds()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<int64_t>(static_cast<long double>(count.QuadPart) * 1000000.0L / frequency.QuadPart);
}

TEST(Clock, MicroCountIsTheFull128BitQuotient)
{
    struct Case {
        uint64_t Count, Frequency;
        uint64_t Expected;  // floor(Count x 10^6 / Frequency), low 64 bits
    } cases[] = {
        {123456789, 10000000, 12345678},
        {0, 3579545, 0},
        {0x7FFFFFFFFFFFFFFFull, 3, 12297829382472701077ull},               // the product needs 84 bits
        {0xFFFFFFFFFFFFFFFFull, 0xFFFFFFFFFFFFFFFFull, 1000000},           // no remainder
        {0xFFFFFFFFFFFFFFFFull, 1ull << 50, 16383999999ull},               // remainder x 10^6 needs 70 bits
        {6414114500027461049ull, 5249999066121302517ull, 1221736},         // the same, odd frequency
    };
    for (const Case &c : cases)
        EXPECT_EQ(static_cast<int64_t>(c.Expected), MicroCountFromCounter(c.Count, c.Frequency))
            << c.Count << " / " << c.Frequency;
}

TEST(Clock, MicroCountFollowsThePerformanceCounterOnEveryThread)
{
    ASSERT_EQ(0, SetupPerformanceCounter());
    ASSERT_EQ(1, LibraryState.PerformanceCounterFlag);

    auto readMany = [](std::vector<int64_t> *Out) {
        for (int i = 0; i < 10000; ++i) Out->push_back(GetNowMicroCount());
    };
    std::vector<int64_t> first, second;
    int64_t before = CounterMicroseconds();
    std::thread other(readMany, &second);
    readMany(&first);
    other.join();
    int64_t after = CounterMicroseconds();

    for (const std::vector<int64_t> *reads : {&first, &second}) {
        for (size_t i = 1; i < reads->size(); ++i) ASSERT_LE((*reads)[i - 1], (*reads)[i]) << "read " << i;
        EXPECT_GE(reads->front(), before - 1);
        EXPECT_LE(reads->back(), after + 1);
    }
}

TEST(Clock, WithoutThePerformanceCounterTheMillisecondTimerCounts)
{
    LoadWinAPI();
    LibraryState.PerformanceCounterFlag = 0;
    int64_t micro = GetNowMicroCount();
    DWORD milli = WinAPIData.timeGetTimeFunc();
    SetupPerformanceCounter();
    EXPECT_EQ(0, micro % 1000);
    EXPECT_LE(micro / 1000, static_cast<int64_t>(milli));
    EXPECT_GE(micro / 1000 + 20, static_cast<int64_t>(milli));

    // The millisecond clock is the timer with its top bit masked off.
    int before = static_cast<int>(WinAPIData.timeGetTimeFunc() & 0x7FFFFFFF);
    int now = GetNowMilliCount();
    int after = static_cast<int>(WinAPIData.timeGetTimeFunc() & 0x7FFFFFFF);
    EXPECT_GE(now, 0);
    EXPECT_LE(before, now);
    EXPECT_GE(after, now);
}

TEST(Clock, WaitLastsAtLeastItsLength)
{
    SetupPerformanceCounter();
    for (int milliseconds : {0, 4, 5, 50}) {
        int64_t start = CounterMicroseconds();
        EXPECT_EQ(0, WaitMilliseconds(milliseconds));
        EXPECT_GE(CounterMicroseconds() - start, milliseconds * 1000 - 1) << milliseconds << " ms";
    }
}

TEST(Clock, LongWaitsDoNotWrap)
{
    struct Case {
        int64_t Start;
        int MilliSeconds;
        int64_t End;
    } cases[] = {
        {1000, 50, 51000},
        {0, 2147484, 2147484000ll},         // 35.8 minutes: past 32 bits of microseconds
        {5, 0x7FFFFFFF, 2147483647000ll + 5},
    };
    for (const Case &c : cases) EXPECT_EQ(c.End, WaitEndMicroCount(c.Start, c.MilliSeconds)) << c.MilliSeconds;
}

TEST(Clock, WaitWithoutAnyClockSleepsInstead)
{
    LibraryState.PerformanceCounterFlag = 0;
    ReleaseWinAPI();
    ASSERT_EQ(-1, GetNowMicroCount());
    int64_t start = CounterMicroseconds();
    EXPECT_EQ(0, WaitMilliseconds(20));  // never returned before: it spun on a clock stuck at -1
    EXPECT_GE(CounterMicroseconds() - start, 19000);
    LoadWinAPI();
    SetupPerformanceCounter();
}

TEST(Clock, LocalDateTimeIsTheSystemsLocalTime)
{
    int dateTime[6] = {};
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    EXPECT_EQ(0, GetLocalDateTime(dateTime));
    GetLocalTime(&after);
    EXPECT_TRUE(dateTime[0] == before.wYear || dateTime[0] == after.wYear);
    EXPECT_TRUE(dateTime[1] == before.wMonth || dateTime[1] == after.wMonth);
    EXPECT_TRUE(dateTime[4] == before.wMinute || dateTime[4] == after.wMinute);
    EXPECT_TRUE(dateTime[5] == before.wSecond || dateTime[5] == after.wSecond);
}

}  // namespace
