// The library's millisecond clock over the Windows API table.
#include "zovuz/core/clock.h"

#include "zovuz/core/windows/api_table.h"

int GetNowMilliCount(void)
{
    if (WinAPIData.timeGetTimeFunc == NULL)
        LoadWinAPI();
    if (WinAPIData.timeGetTimeFunc == NULL)
        return -1;
    return static_cast<int>(WinAPIData.timeGetTimeFunc() & 0x7FFFFFFF);
}
