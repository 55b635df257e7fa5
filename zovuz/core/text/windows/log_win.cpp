// The log's file and clock over Win32.
#include "zovuz/core/clock.h"
#include "zovuz/core/text/log.h"
#include "zovuz/core/text/log_internal.h"
#include "zovuz/core/text/log_platform.h"
#include "zovuz/core/windows/api_table.h"

#include <windows.h>
#include <string.h>
#include <wchar.h>

// The log asks Windows for the current directory itself rather than going through the file
// access table: the file layer logs, and its locks must never be waited for while the log holds
// its own. For the library's own table both give the same directory.
int LogPlatformGetDirectory(wchar_t *Buffer, int BufferBytes)
{
    DWORD units = static_cast<DWORD>(BufferBytes / sizeof(wchar_t));
    if (units == 0) return -1;
    DWORD length = GetCurrentDirectoryW(units, Buffer);
    if (length == 0 || length >= units) {
        Buffer[0] = L'\0';
        return -1;
    }
    return 0;
}

void LogPlatformLocalTime(int DateTime[6]) { GetLocalDateTime(DateTime); }

int CreateLogFile(const wchar_t *Path)
{
    if (Path == NULL) return -1;
    DeleteFileW(Path);
    HANDLE file = CreateFileW(Path, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return 0;
    static const BYTE signature[2] = {0xFF, 0xFE};
    DWORD written = 0;
    WriteFile(file, signature, sizeof(signature), &written, NULL);
    CloseHandle(file);
    return 0;
}

int WriteLogFileText(const wchar_t *Path, const wchar_t *String)
{
    if (WinAPIData.WinMMDLL == NULL) LoadWinAPI();
    if (WinAPIData.WinMMDLL == NULL) return -1;
    if (String == NULL) return 0;
    HANDLE file = Path == NULL ? INVALID_HANDLE_VALUE
                               : CreateFileW(Path, GENERIC_WRITE, 0, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        SetFilePointer(file, 0, NULL, FILE_END);
        DWORD bytes = static_cast<DWORD>(wcslen(String) * sizeof(wchar_t));
        DWORD written = 0;
        WriteFile(file, String, bytes, &written, NULL);
    }
    OutputDebugStringW(String);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return 0;
}
