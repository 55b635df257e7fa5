// Stands in for windows/log_win.cpp: the log writes no file in the native build. Its lines go
// to standard error when TARVEX_FUZZ_LOG is set (useful when a finding is being looked at), and
// nowhere otherwise, so a campaign is not slowed down by its own logging.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include <vector>

#include "zovuz/core/text/char_code.h"
#include "zovuz/core/text/log.h"
#include "zovuz/core/text/log_internal.h"
#include "zovuz/core/text/log_platform.h"

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
    // In UTF-8, enough to read the log's lines.
    const char *text = reinterpret_cast<const char *>(String);
    std::vector<char> line(static_cast<size_t>(ConvertCharCode(text, CHAR_CODE_UTF16LE, nullptr, 0, CHAR_CODE_UTF8)));
    if (!line.empty() && ConvertCharCode(text, CHAR_CODE_UTF16LE, line.data(), line.size(), CHAR_CODE_UTF8) > 0)
        fputs(line.data(), stderr);
    return 0;
}
