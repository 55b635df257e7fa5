// The library's diagnostic log: "Log.txt" in UTF-16LE (FF FE signature, CR LF line ends).
// Every line carries the milliseconds since the log began and a tab indent that follows the
// nesting of start-up steps; every text written is also echoed with OutputDebugStringW.
//
// Every entry function returns -1, after a write as well as when nothing was written, so a
// caller can write `return AddLogStringWide(L"...");` on a failure path.
#pragma once

// Entry forms. The narrow forms convert into the library's wide code before writing.
int AddLogString(const char *String);                                 // current multibyte code
int AddLogStringShiftJis(const char *String);                         // code page 932
int AddLogStringWide(const wchar_t *String);                          // UTF-16LE
int AddLogStringWchar(const wchar_t *String);                         // already the wide code
int AddLogStringWideErrorCode(int ErrorCode, const wchar_t *String);  // records the last error first

// Formatted entry forms (the library's own printf rules, see format_print.h).
int AddLogFormatShiftJis(const char *FormatString, ...);  // narrow format, current multibyte code
int AddLogFormat(const wchar_t *FormatString, ...);       // UTF-16LE format
int AddLogFormatErrorCode(int ErrorCode, const wchar_t *FormatString, ...);
int AddLogFormatWide(const wchar_t *FormatString, ...);  // format in the wide code

// A platform call that failed, with its code (an HRESULT, or a Win32 error from GetLastError):
// logs "<Call> failed: 0x<code>". Used wherever a start-up, a creation or a load gives up
// because a platform call failed, beside the message the library gives for that failure (which
// stays as it is). Calls made every tick whose failure is routine (a lost buffer, a device not
// yet acquired) are not logged: their callers answer -1 and the next tick tries again. -1.
int LogPlatformFailure(const wchar_t *Call, unsigned long Code);

// Indent of new lines in tab characters; never below 0. Both return 0.
int LogIndentUp(void);
int LogIndentDown(void);

// The log file's full path: the current directory, a backslash, "Log.txt". Copied within
// BufferBytes bytes (cut short and terminated when longer). 0, or -1 when the directory can't be
// read (an empty text then).
int GetLogFilePath(wchar_t *Buffer, int BufferBytes);

// 0 switches file output off (every entry then returns at once), any other value on. Returns 0.
int SetLogFileOutputFlag(int Flag);
