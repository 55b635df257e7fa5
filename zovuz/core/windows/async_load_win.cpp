// Platform side of the asynchronous loader: its millisecond clock.
#include <windows.h>
#include <mmsystem.h>

#include "zovuz/core/async_load.h"

int ASyncLoadGetNowMilliCount(void) { return (int)(timeGetTime() & 0x7FFFFFFF); }
