// The library's millisecond clock.
#pragma once

// timeGetTime masked to 31 bits, so that it never goes negative; -1 when winmm's entry
// cannot be loaded into the Windows API table.
int GetNowMilliCount(void);
