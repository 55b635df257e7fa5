// The log's few platform services, supplied by windows/log_win.cpp. Internal to the log.
#pragma once

// Milliseconds of the system clock masked to 31 bits, or -1 when the clock is not available.
int LogPlatformNowMilli(void);

// The current directory in UTF-16, terminated, within BufferBytes bytes; 0, or -1 on failure.
int LogPlatformGetDirectory(wchar_t *Buffer, int BufferBytes);

// Local date and time: year, month, day, hour, minute, second.
void LogPlatformLocalTime(int DateTime[6]);

// Text services of the log until the library's own converters are linked in.
#include <stdarg.h>
int LogTextMultiByteCode(void);
int LogTextLength(const void *String, int CharCode);
int LogTextToWide(const void *String, int CharCode, wchar_t *Buffer, int BufferBytes);
int LogTextFormat(int OutCode, int WideForm, int NarrowCode, int WideCode, void *Buffer, int Units,
    const void *FormatString, va_list Args);
