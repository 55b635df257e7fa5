// Stands in for windows/log_win.cpp: the log writes no file in the native build. Its lines go
// to standard error when TARVEX_FUZZ_LOG is set (useful when a finding is being looked at), and
// nowhere otherwise, so a campaign is not slowed down by its own logging.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include "zovuz/core/log.h"
#include "zovuz/core/log_internal.h"
#include "zovuz/core/log_platform.h"

int LogPlatformGetDirectory(wchar_t *Buffer, int BufferBytes)
{
    static const wchar_t Directory[] = L"C:\\fuzz";
    if (BufferBytes < static_cast<int>(sizeof Directory)) {
        if (BufferBytes >= static_cast<int>(sizeof(wchar_t))) Buffer[0] = 0;
        return -1;
    }
    for (size_t i = 0; i < sizeof Directory / sizeof Directory[0]; i++) Buffer[i] = Directory[i];
    return 0;
}

void LogPlatformLocalTime(int DateTime[6])
{
    time_t now = time(nullptr);
    tm local;
    localtime_r(&now, &local);
    const int fields[6] = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                           local.tm_hour, local.tm_min, local.tm_sec};
    for (int i = 0; i < 6; i++) DateTime[i] = fields[i];
}

int CreateLogFile(const wchar_t *Path) { return Path == nullptr ? -1 : 0; }

int WriteLogFileText(const wchar_t *, const wchar_t *String)
{
    static const bool Echo = getenv("TARVEX_FUZZ_LOG") != nullptr;
    if (String == nullptr || !Echo) return 0;
    // UTF-16 to UTF-8, surrogate pairs included; enough to read the log's lines.
    for (const wchar_t *p = String; *p != 0; p++) {
        uint32_t c = static_cast<uint16_t>(*p);
        if (c >= 0xD800 && c < 0xDC00 && p[1] >= 0xDC00 && p[1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<uint16_t>(*++p) - 0xDC00);
        }
        if (c < 0x80) fputc(static_cast<int>(c), stderr);
        else if (c < 0x800) fprintf(stderr, "%c%c", 0xC0 | (c >> 6), 0x80 | (c & 63));
        else if (c < 0x10000) fprintf(stderr, "%c%c%c", 0xE0 | (c >> 12), 0x80 | ((c >> 6) & 63), 0x80 | (c & 63));
        else fprintf(stderr, "%c%c%c%c", 0xF0 | (c >> 18), 0x80 | ((c >> 12) & 63), 0x80 | ((c >> 6) & 63), 0x80 | (c & 63));
    }
    return 0;
}
