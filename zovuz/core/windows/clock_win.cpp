// The library's clocks over the performance counter and the Windows API table.
#include "zovuz/core/clock.h"
#include "zovuz/core/clock_internal.h"

#include "zovuz/core/library_state.h"
#include "zovuz/core/system_info_internal.h"
#include "zovuz/core/windows/api_table.h"
#include "zovuz/core/library_state_internal.h"

int GetNowMilliCount(void)
{
    if (WinAPIData.timeGetTimeFunc == NULL) LoadWinAPI();
    if (WinAPIData.timeGetTimeFunc == NULL) return -1;
    return static_cast<int>(WinAPIData.timeGetTimeFunc() & 0x7FFFFFFF);
}

int64_t GetNowMicroCount(void)
{
    if (LibraryState.PerformanceCounterFlag && LibraryState.PerformanceFrequency > 0) {
        LARGE_INTEGER count;
        QueryPerformanceCounter(&count);
        return MicroCountFromCounter(static_cast<uint64_t>(count.QuadPart),
                                     static_cast<uint64_t>(LibraryState.PerformanceFrequency));
    }
    if (WinAPIData.timeGetTimeFunc == NULL) return -1;
    return static_cast<int64_t>(WinAPIData.timeGetTimeFunc()) * 1000;
}

int SetupPerformanceCounter(void)
{
    LARGE_INTEGER frequency;
    if (!QueryPerformanceFrequency(&frequency)) frequency.QuadPart = 0;
    LibraryState.PerformanceFrequency = frequency.QuadPart;
    LibraryState.PerformanceCounterFlag = frequency.QuadPart != 0 ? 1 : 0;
    return 0;
}

int GetLocalDateTime(int DateTime[6])
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    FileTimeToDateTime(&now, DateTime);
    return 0;
}
