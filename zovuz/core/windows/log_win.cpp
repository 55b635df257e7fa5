// The log's file and clock over Win32.
#include "zovuz/core/log.h"
#include "zovuz/core/log_platform.h"
#include "zovuz/core/windows/api_table.h"

#include <windows.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>

int LogPlatformNowMilli(void)
{
    if (WinAPIData.timeGetTimeFunc == NULL)
        LoadWinAPI();
    if (WinAPIData.timeGetTimeFunc == NULL)
        return -1;
    return static_cast<int>(WinAPIData.timeGetTimeFunc() & 0x7FFFFFFF);
}

int LogPlatformGetDirectory(wchar_t *Buffer, int BufferBytes)
{
    DWORD units = static_cast<DWORD>(BufferBytes / sizeof(wchar_t));
    if (units == 0)
        return -1;
    DWORD length = GetCurrentDirectoryW(units, Buffer);
    if (length == 0 || length >= units)
    {
        Buffer[0] = L'\0';
        return -1;
    }
    return 0;
}

void LogPlatformLocalTime(int DateTime[6])
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    DateTime[0] = now.wYear;
    DateTime[1] = now.wMonth;
    DateTime[2] = now.wDay;
    DateTime[3] = now.wHour;
    DateTime[4] = now.wMinute;
    DateTime[5] = now.wSecond;
}

int CreateLogFile(const wchar_t *Path)
{
    if (Path == NULL)
        return -1;
    DeleteFileW(Path);
    HANDLE file = CreateFileW(Path, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    static const BYTE signature[2] = {0xFF, 0xFE};
    DWORD written = 0;
    WriteFile(file, signature, sizeof(signature), &written, NULL);
    CloseHandle(file);
    return 0;
}

int WriteLogFileText(const wchar_t *Path, const wchar_t *String)
{
    if (WinAPIData.WinMMDLL == NULL)
        LoadWinAPI();
    if (WinAPIData.WinMMDLL == NULL)
        return -1;
    if (String == NULL)
        return 0;
    HANDLE file = Path == NULL ? INVALID_HANDLE_VALUE
        : CreateFileW(Path, GENERIC_WRITE, 0, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE)
    {
        SetFilePointer(file, 0, NULL, FILE_END);
        DWORD bytes = static_cast<DWORD>(wcslen(String) * sizeof(wchar_t));
        DWORD written = 0;
        WriteFile(file, String, bytes, &written, NULL);
    }
    OutputDebugStringW(String);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return 0;
}

int LogTextMultiByteCode(void)
{
    return 932;
}

int LogTextLength(const void *String, int CharCode)
{
    if (CharCode == 1200)
        return static_cast<int>(wcslen(static_cast<const wchar_t *>(String)));
    return static_cast<int>(strlen(static_cast<const char *>(String)));
}

int LogTextToWide(const void *String, int CharCode, wchar_t *Buffer, int BufferBytes)
{
    int units = BufferBytes / static_cast<int>(sizeof(wchar_t));
    if (units <= 0)
        return 0;
    if (CharCode == 1200)
    {
        lstrcpynW(Buffer, static_cast<const wchar_t *>(String), units);
        return 0;
    }
    int length = MultiByteToWideChar(CharCode, 0, static_cast<const char *>(String), -1, Buffer, units);
    if (length == 0)
        Buffer[units - 1] = L'\0';
    return 0;
}

int LogTextFormat(int OutCode, int WideForm, int NarrowCode, int WideCode, void *Buffer, int Units,
    const void *FormatString, va_list Args)
{
    (void)NarrowCode;
    (void)WideCode;
    (void)WideForm;
    if (OutCode == 1200)
    {
        wchar_t *out = static_cast<wchar_t *>(Buffer);
        _vsnwprintf(out, Units - 1, static_cast<const wchar_t *>(FormatString), Args);
        out[Units - 1] = L'\0';
    }
    else
    {
        char *out = static_cast<char *>(Buffer);
        _vsnprintf(out, Units - 1, static_cast<const char *>(FormatString), Args);
        out[Units - 1] = '\0';
    }
    return 0;
}
