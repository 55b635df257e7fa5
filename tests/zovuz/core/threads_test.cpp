// Threads and locks: the suspended start, the resume protocol, lock records and events.
#include "zovuz/core/threads.h"
#include "zovuz/core/threads_internal.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>

namespace {

struct Probe {
    std::atomic<int> Runs{0};
    std::atomic<int> SeenValue{0};
    int ValueFilledAfterCreate = 0;
    void *Release = nullptr;  // event the procedure waits for before it returns, when set
};

void CountRun(ThreadRecord *, void *param)
{
    Probe *probe = static_cast<Probe *>(param);
    probe->SeenValue = probe->ValueFilledAfterCreate;
    probe->Runs++;
    if (probe->Release != nullptr) EventWait(probe->Release, -1);
}

void ResumeUntilSuspended(ThreadRecord *thread)
{
    while (ThreadResume(thread) == 0) ThreadSleep(0);
}

TEST(Threads, NeverResumedThreadNeverRuns)
{
    Probe probe;
    ThreadRecord thread = {};
    ASSERT_EQ(ThreadCreate(&thread, CountRun, &probe), 0);
    ASSERT_EQ(ThreadIsValid(&thread), 1);
    EXPECT_NE(thread.ThreadID, 0u);
    ThreadSleep(300);
    EXPECT_EQ(probe.Runs.load(), 0);
    EXPECT_EQ(ThreadWaitEnd(&thread, 0), 1);  // still there, parked

    // Clean up: let it run and end.
    ResumeUntilSuspended(&thread);
    EXPECT_EQ(ThreadWaitEnd(&thread, 5000), 0);
    EXPECT_EQ(probe.Runs.load(), 1);
    ThreadRelease(&thread);
    EXPECT_EQ(ThreadIsValid(&thread), 0);
    EXPECT_EQ(thread.ThreadHandle, nullptr);
}

// The creator fills what the procedure reads after ThreadCreate and before the first resume.
// One resume, made at once, starts the thread and reports success.
TEST(Threads, OneResumeStartsTheThreadWithLateFilledData)
{
    for (int round = 0; round < 20; ++round) {
        Probe probe;
        ThreadRecord thread = {};
        ASSERT_EQ(ThreadCreate(&thread, CountRun, &probe), 0);
        probe.ValueFilledAfterCreate = 1000 + round;
        ASSERT_EQ(ThreadResume(&thread), 1);
        ASSERT_EQ(ThreadWaitEnd(&thread, 5000), 0);
        EXPECT_EQ(probe.Runs.load(), 1);
        EXPECT_EQ(probe.SeenValue.load(), 1000 + round);
        ThreadRelease(&thread);
    }
}

TEST(Threads, ResumingARunningThreadReturnsZeroAndLeavesItRunning)
{
    Probe probe;
    probe.Release = EventCreate(1, 0);
    ASSERT_NE(probe.Release, nullptr);
    ThreadRecord thread = {};
    ASSERT_EQ(ThreadCreate(&thread, CountRun, &probe), 0);
    ResumeUntilSuspended(&thread);
    while (probe.Runs.load() == 0) ThreadSleep(1);

    EXPECT_EQ(ThreadResume(&thread), 0);
    EXPECT_EQ(ThreadWaitEnd(&thread, 50), 1);  // still running, blocked in its procedure
    EXPECT_EQ(EventSet(probe.Release), 0);
    EXPECT_EQ(ThreadWaitEnd(&thread, 5000), 0);
    EXPECT_EQ(probe.Runs.load(), 1);
    ThreadRelease(&thread);
    EXPECT_EQ(EventClose(probe.Release), 0);
}

TEST(Threads, SetPriorityMapsLevelsAndIgnoresOthers)
{
    Probe probe;
    ThreadRecord thread = {};
    ASSERT_EQ(ThreadCreate(&thread, CountRun, &probe), 0);
    HANDLE handle = static_cast<HANDLE>(thread.ThreadHandle);
    const struct {
        int Level;
        int Expected;
    } cases[] = {
        {0, THREAD_PRIORITY_LOWEST}, {1, THREAD_PRIORITY_BELOW_NORMAL}, {2, THREAD_PRIORITY_NORMAL},
        {3, THREAD_PRIORITY_HIGHEST}, {4, THREAD_PRIORITY_HIGHEST}, {-1, THREAD_PRIORITY_HIGHEST},
    };
    for (const auto &c : cases) {
        ThreadSetPriority(&thread, c.Level);
        EXPECT_EQ(GetThreadPriority(handle), c.Expected) << "level " << c.Level;
    }
    ResumeUntilSuspended(&thread);
    EXPECT_EQ(ThreadWaitEnd(&thread, 5000), 0);
    ThreadRelease(&thread);
}

TEST(Threads, CallsOnAnEmptyRecordFailCleanly)
{
    ThreadRecord thread = {};
    EXPECT_EQ(ThreadIsValid(&thread), 0);
    EXPECT_EQ(ThreadWaitEnd(&thread, 0), -1);
    ThreadRelease(&thread);  // nothing to close
    EXPECT_EQ(thread.ThreadHandle, nullptr);
}

// --- lock records ---------------------------------------------------------------------------

TEST(CriticalSection, RecordsTruncatedPathLineAndThread)
{
    DxCriticalSection section;
    ASSERT_EQ(CriticalSectionInitialize(&section), 0);
    EXPECT_STREQ(section.FilePath, "");

    std::string longPath(600, 'p');
    longPath.replace(0, 8, "C:/src/x");
    EXPECT_EQ(CriticalSectionLock(&section, longPath.c_str(), 123), 0);
    EXPECT_EQ(std::string(section.FilePath), longPath.substr(0, 511));
    EXPECT_EQ(section.LineNo, 123);
    EXPECT_EQ(section.ThreadID, ThreadGetCurrentId());

    // Re-entrant: the record shows the second lock; unlocking leaves it as it is.
    EXPECT_EQ(CriticalSectionLock(&section, "second.cpp", 456), 0);
    EXPECT_STREQ(section.FilePath, "second.cpp");
    EXPECT_EQ(section.LineNo, 456);
    EXPECT_EQ(CriticalSectionUnlock(&section), 0);
    EXPECT_EQ(CriticalSectionUnlock(&section), 0);
    EXPECT_STREQ(section.FilePath, "second.cpp");
    EXPECT_EQ(section.LineNo, 456);

    // After two unlocks the section is free: another thread takes it at once.
    struct Other {
        DxCriticalSection *Section;
        uint32_t Id;
    } other = {&section, 0};
    ThreadRecord thread = {};
    ASSERT_EQ(ThreadCreate(&thread, [](ThreadRecord *, void *param) {
        Other *o = static_cast<Other *>(param);
        o->Id = ThreadGetCurrentId();
        CRITICALSECTION_LOCK(o->Section);
        CRITICALSECTION_UNLOCK(o->Section);
    }, &other), 0);
    while (ThreadResume(&thread) == 0) ThreadSleep(0);
    ASSERT_EQ(ThreadWaitEnd(&thread, 5000), 0);
    ThreadRelease(&thread);
    EXPECT_EQ(section.ThreadID, other.Id);
    EXPECT_NE(std::string(section.FilePath).find("threads_test.cpp"), std::string::npos);
    EXPECT_EQ(CriticalSectionDelete(&section), 0);
}

// A scope guard records the place that made it, not the guard's own header, and unlocks at the
// end of the scope.
TEST(CriticalSection, GuardRecordsItsCallerAndUnlocksAtScopeEnd)
{
    DxCriticalSection section;
    ASSERT_EQ(CriticalSectionInitialize(&section), 0);
    int line = 0;
    {
        CRITICALSECTION_GUARD(guard, &section); line = __LINE__;
        EXPECT_NE(std::string(section.FilePath).find("threads_test.cpp"), std::string::npos) << section.FilePath;
        EXPECT_EQ(section.LineNo, line);
    }
    // Released: another thread can take it at once.
    ThreadRecord thread = {};
    ASSERT_EQ(ThreadCreate(&thread, [](ThreadRecord *, void *param) {
        CriticalSectionLock(static_cast<DxCriticalSection *>(param), "other.cpp", 7);
        CriticalSectionUnlock(static_cast<DxCriticalSection *>(param));
    }, &section), 0);
    while (ThreadResume(&thread) == 0) ThreadSleep(0);
    ASSERT_EQ(ThreadWaitEnd(&thread, 5000), 0);
    ThreadRelease(&thread);
    EXPECT_STREQ(section.FilePath, "other.cpp");
    EXPECT_EQ(CriticalSectionDelete(&section), 0);
}

struct Counter {
    DxCriticalSection Section;
    long long Value = 0;
};

TEST(CriticalSection, SerialisesFourThreads)
{
    Counter counter;
    CriticalSectionInitialize(&counter.Section);
    ThreadRecord threads[4] = {};
    for (ThreadRecord &thread : threads) {
        ASSERT_EQ(ThreadCreate(&thread, [](ThreadRecord *, void *param) {
            Counter *c = static_cast<Counter *>(param);
            for (int i = 0; i < 100000; ++i) {
                CRITICALSECTION_LOCK(&c->Section);
                long long v = c->Value;
                c->Value = v + 1;
                CRITICALSECTION_UNLOCK(&c->Section);
            }
        }, &counter), 0);
    }
    for (ThreadRecord &thread : threads) while (ThreadResume(&thread) == 0) ThreadSleep(0);
    for (ThreadRecord &thread : threads) {
        ASSERT_EQ(ThreadWaitEnd(&thread, 30000), 0);
        ThreadRelease(&thread);
    }
    EXPECT_EQ(counter.Value, 400000);
    CriticalSectionDelete(&counter.Section);
}

// --- events ---------------------------------------------------------------------------------

TEST(Events, ManualAndAutoResetAndTimeOut)
{
    void *manual = EventCreate(1, 0);
    void *automatic = EventCreate(0, 1);
    ASSERT_NE(manual, nullptr);
    ASSERT_NE(automatic, nullptr);

    EXPECT_EQ(EventWait(manual, 10), 1);
    EXPECT_EQ(EventSet(manual), 0);
    EXPECT_EQ(EventWait(manual, 0), 0);
    EXPECT_EQ(EventWait(manual, 0), 0);  // stays set
    EXPECT_EQ(EventReset(manual), 0);
    EXPECT_EQ(EventWait(manual, 0), 1);

    EXPECT_EQ(EventWait(automatic, 0), 0);  // initially set, cleared by the wait
    EXPECT_EQ(EventWait(automatic, 0), 1);

    EXPECT_EQ(EventClose(manual), 0);
    EXPECT_EQ(EventClose(automatic), 0);
}

TEST(Events, NullHandleFails)
{
    EXPECT_EQ(EventSet(nullptr), -1);
    EXPECT_EQ(EventReset(nullptr), -1);
    EXPECT_EQ(EventWait(nullptr, 0), -1);
    EXPECT_EQ(EventClose(nullptr), -1);
}

}  // namespace
