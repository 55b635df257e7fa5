// The log's few platform services, supplied by windows/log_win.cpp. Internal to the log.
#pragma once

// The current directory in UTF-16, terminated, within BufferBytes bytes; 0, or -1 on failure.
int LogPlatformGetDirectory(wchar_t *Buffer, int BufferBytes);

// Local date and time: year, month, day, hour, minute, second.
void LogPlatformLocalTime(int DateTime[6]);
