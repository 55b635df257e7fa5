// The library's log: line assembly (stamp, indent, CR LF), the entry forms and the last-error
// record. The file itself is written by windows/log_win.cpp.
#include "zovuz/core/clock.h"
#include "zovuz/core/text/log.h"
#include "zovuz/core/text/log_internal.h"

#include "zovuz/core/text/char_code.h"
#include "zovuz/core/text/char_code_internal.h"
#include "zovuz/core/text/format_print.h"
#include "zovuz/core/text/log_platform.h"
#include "zovuz/core/memory/memory.h"
#include "zovuz/core/threads.h"

#include <limits.h>
#include <stdarg.h>
#include <string.h>
#include <wchar.h>

namespace {

constexpr int LogFileNameMax = 255;        // characters of a log file name
constexpr int LogPathUnits = 3072 / 2;     // the full path is built within 3072 bytes
constexpr int LastErrorTextBytes = 8192;   // last-error text with its terminator
constexpr int LogLocalWorkUnits = 1024;    // work buffer kept on the stack
constexpr int LogLocalConvertUnits = 512;  // conversion buffer kept on the stack

// Log state, process-wide. Every field is read and written under LogLock().
struct LogState
{
    int OutputOff;                              // 1 after SetLogFileOutputFlag(0)
    int Started;                                // the file has been created
    int StartTime;                              // millisecond clock when the file was created
    int IndentDepth;                            // tabs before each new line, never below 0
    int InLine;                                 // the last text did not end with a line feed
    wchar_t FilePath[LogPathUnits];             // full path fixed when the file was created
    int StampOff;                               // 1: no time stamp before lines (never set here)
    int DateNaming;                             // 1: the file is named after the date (never set here)
    wchar_t FixedFileName[LogFileNameMax + 1];  // a file name set by the program (never set here)
    wchar_t Folder[LogPathUnits];               // a log folder set by the program (never set here)
};
LogState Log;

// The library's last error, set by the log's error-code entries.
struct LastErrorRecord
{
    int Code;                                            // last error code
    wchar_t Text[LastErrorTextBytes / sizeof(wchar_t)];  // its text, terminated
};
LastErrorRecord LastError;

// The log's lock, made on first use: log calls can come from any thread at any time, also
// before the library has started. Threads are serialised so that no line is lost or split.
DxCriticalSection &LogLock()
{
    struct Holder
    {
        DxCriticalSection Section;
        Holder() { CriticalSectionInitialize(&Section); }
    };
    static Holder holder;
    return holder.Section;
}

// Appends Text to Buffer at *Pos, within Units units including the terminator. 0, or -1 when
// it does not fit (nothing is appended then).
int AppendWide(wchar_t *Buffer, int *Pos, int Units, const wchar_t *Text)
{
    size_t length = wcslen(Text);
    if (length >= static_cast<size_t>(Units - *Pos)) return -1;
    memcpy(Buffer + *Pos, Text, (length + 1) * sizeof(wchar_t));
    *Pos += static_cast<int>(length);
    return 0;
}

// Decimal text of a non-negative or negative int, terminated; returns its length.
int DecimalText(wchar_t *Out, int Value)
{
    wchar_t digits[16];
    int count = 0;
    unsigned int magnitude = Value < 0 ? 0u - static_cast<unsigned int>(Value) : static_cast<unsigned int>(Value);
    do {
        digits[count++] = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    int length = 0;
    if (Value < 0) Out[length++] = L'-';
    while (count > 0) Out[length++] = digits[--count];
    Out[length] = L'\0';
    return length;
}

// The log file's name and place. 0, or -1 when the folder can't be read or the path is too long.
int BuildLogFilePath(wchar_t *Path, int Units)
{
    wchar_t name[LogFileNameMax + 1];
    int namePos = 0;
    name[0] = L'\0';
    if (Log.FixedFileName[0] != L'\0') {
        AppendWide(name, &namePos, LogFileNameMax + 1, Log.FixedFileName);
    } else if (Log.DateNaming) {
        int dateTime[6];
        LogPlatformLocalTime(dateTime);
        AppendWide(name, &namePos, LogFileNameMax + 1, L"Log");
        for (int i = 0; i < 6; i++) {
            wchar_t number[16];
            DecimalText(number, dateTime[i]);
            AppendWide(name, &namePos, LogFileNameMax + 1, number);
            if (i < 5) AppendWide(name, &namePos, LogFileNameMax + 1, L"_");
        }
        AppendWide(name, &namePos, LogFileNameMax + 1, L".txt");
    } else {
        AppendWide(name, &namePos, LogFileNameMax + 1, L"Log.txt");
    }

    int pos = 0;
    Path[0] = L'\0';
    if (Log.Folder[0] != L'\0') {
        if (AppendWide(Path, &pos, Units, Log.Folder) != 0) return -1;
    } else {
        if (LogPlatformGetDirectory(Path, Units * static_cast<int>(sizeof(wchar_t))) != 0) return -1;
        pos = static_cast<int>(wcslen(Path));
    }
    if (pos > 0 && Path[pos - 1] != L'\\' && AppendWide(Path, &pos, Units, L"\\") != 0) return -1;
    return AppendWide(Path, &pos, Units, name);
}

// StartLogFile with the lock held.
int StartLogFileLocked()
{
    if (Log.Started || Log.OutputOff) return 0;
    if (BuildLogFilePath(Log.FilePath, LogPathUnits) != 0) return -1;
    CreateLogFile(Log.FilePath);
    Log.IndentDepth = 0;
    Log.InLine = 0;
    Log.StartTime = GetNowMilliCount();
    Log.Started = 1;
    return 0;
}

// A temporary buffer of units, on the stack when small, else from the library heap.
template <typename Unit, int LocalUnits>
struct LogBuffer
{
    Unit Local[LocalUnits];
    Unit *Data = Local;
    explicit LogBuffer(size_t Units)
    {
        if (Units > static_cast<size_t>(LocalUnits)) Data = static_cast<Unit *>(DXALLOC(Units * sizeof(Unit)));
    }
    ~LogBuffer()
    {
        if (Data != Local) DXFREE(Data);
    }
    LogBuffer(const LogBuffer &) = delete;
    LogBuffer &operator=(const LogBuffer &) = delete;
};

// Converts a text of the given code into the wide code and writes it. Always -1.
int AddLogStringInCode(const void *String, int CharCode, int ErrorCode)
{
    if (String == nullptr) return WriteLogLine(ErrorCode, L"");
    int units = GetCharCodeStringLength(CharCode, static_cast<const char *>(String));
    if (units < 0 || units > INT_MAX / 4 - 64) return -1;
    size_t length = static_cast<size_t>(units);
    // The local room serves texts below 497 units; the heap block is (length + 16) characters.
    LogBuffer<wchar_t, LogLocalConvertUnits> converted(length + 16 < 513 ? 0 : length + 16);
    if (converted.Data == nullptr) return -1;
    size_t room = length + 16 < 513 ? LogLocalConvertUnits : length + 16;
    if (ConvertCharCode(static_cast<const char *>(String), CharCode, reinterpret_cast<char *>(converted.Data),
                        room * sizeof(wchar_t), CHAR_CODE_UTF16LE) == 0)
        converted.Data[0] = L'\0';
    return WriteLogLine(ErrorCode, converted.Data);
}

// Appends a line feed when it fits with the terminator in Units units.
void AppendLineFeedWide(wchar_t *Buffer, int Units)
{
    size_t length = wcslen(Buffer);
    if (length + 2 <= static_cast<size_t>(Units)) {
        Buffer[length] = L'\n';
        Buffer[length + 1] = L'\0';
    }
}

// Copies Text (null reads as empty) into the Units units at Dest (at least 1), cut short to fit
// and always terminated.
void CopyTextCut(wchar_t *Dest, size_t Units, const wchar_t *Text)
{
    size_t length = 0;
    if (Text != nullptr)
        while (length < Units - 1 && Text[length] != L'\0') length++;
    if (length > 0) memcpy(Dest, Text, length * sizeof(wchar_t));
    Dest[length] = L'\0';
}

}  // namespace

int SetLastErrorInfo(int ErrorCode, const wchar_t *String)
{
    CRITICALSECTION_GUARD(guard, &LogLock());
    LastError.Code = ErrorCode;
    CopyTextCut(LastError.Text, sizeof(LastError.Text) / sizeof(wchar_t), String);
    return 0;
}

int GetLastErrorInfo(wchar_t *Buffer, int BufferBytes)
{
    CRITICALSECTION_GUARD(guard, &LogLock());
    if (Buffer != nullptr && BufferBytes >= static_cast<int>(sizeof(wchar_t)))
        CopyTextCut(Buffer, static_cast<size_t>(BufferBytes) / sizeof(wchar_t), LastError.Text);
    return LastError.Code;
}

int GetLogFilePath(wchar_t *Buffer, int BufferBytes)
{
    int units = BufferBytes / static_cast<int>(sizeof(wchar_t));
    if (Buffer == nullptr || units < 1) return -1;
    wchar_t path[LogPathUnits];
    int result;
    {
        CRITICALSECTION_GUARD(guard, &LogLock());
        result = BuildLogFilePath(path, LogPathUnits);
    }
    if (result != 0) path[0] = L'\0';
    CopyTextCut(Buffer, static_cast<size_t>(units), path);
    return result;
}

int StartLogFile(void)
{
    CRITICALSECTION_GUARD(guard, &LogLock());
    return StartLogFileLocked();
}

int LogIndentUp(void)
{
    CRITICALSECTION_GUARD(guard, &LogLock());
    Log.IndentDepth++;
    return 0;
}

int LogIndentDown(void)
{
    CRITICALSECTION_GUARD(guard, &LogLock());
    if (Log.IndentDepth > 0) Log.IndentDepth--;
    return 0;
}

int SetLogFileOutputFlag(int Flag)
{
    CRITICALSECTION_GUARD(guard, &LogLock());
    Log.OutputOff = Flag == 0 ? 1 : 0;
    return 0;
}

int WriteLogLine(int ErrorCode, const wchar_t *String)
{
    if (String == nullptr) String = L"";
    if (ErrorCode != 0) SetLastErrorInfo(ErrorCode, String);

    size_t length = wcslen(String);
    if (length > static_cast<size_t>(INT_MAX / 8 - 64)) return -1;
    int indentSnapshot;
    {
        CRITICALSECTION_GUARD(guard, &LogLock());
        if (Log.OutputOff) return -1;
        indentSnapshot = Log.IndentDepth;
    }

    // The work buffer is taken before the lock: the heap logs its own failures, so allocating
    // while the log is held could meet a heap user waiting for the log.
    size_t need = static_cast<size_t>(indentSnapshot) + 2 * (length + 8);
    LogBuffer<wchar_t, LogLocalWorkUnits> work(need <= LogLocalWorkUnits - 1 ? 0 : need);
    if (work.Data == nullptr) return -1;
    size_t capacity = need <= LogLocalWorkUnits - 1 ? LogLocalWorkUnits : need;

    CRITICALSECTION_GUARD(guard, &LogLock());
    if (Log.OutputOff) return -1;
    if (!Log.Started && StartLogFileLocked() != 0) return -1;

    wchar_t *out = work.Data;
    size_t pos = 0;
    if (!Log.InLine) {
        if (!Log.StampOff) {
            int elapsed = (GetNowMilliCount() - Log.StartTime) & 0x7FFFFFFF;
            pos += static_cast<size_t>(DecimalText(out, elapsed));
            out[pos++] = L':';
        }
        // The indent may have grown since the buffer was sized; the text always has its room.
        size_t tabRoom = capacity - pos - 2 * length - 1;
        size_t tabs = static_cast<size_t>(Log.IndentDepth);
        if (tabs > tabRoom) tabs = tabRoom;
        for (size_t i = 0; i < tabs; i++) out[pos++] = L'\t';
    }

    // Lone line feeds become CR LF; a CR LF already in the text means the caller wrote Windows
    // line ends, and the rest is copied as it is.
    for (size_t i = 0; i < length; i++) {
        if (String[i] == L'\n') {
            if (i > 0 && String[i - 1] == L'\r') {
                memcpy(out + pos, String + i, (length - i) * sizeof(wchar_t));
                pos += length - i;
                break;
            }
            out[pos++] = L'\r';
        }
        out[pos++] = String[i];
    }
    out[pos] = L'\0';

    if (pos > 0) Log.InLine = out[pos - 1] != L'\n' ? 1 : 0;
    WriteLogFileText(Log.FilePath, out);
    return -1;
}

int AddLogString(const char *String) { return AddLogStringInCode(String, GetCurrentCharCodeFormat(), 0); }

int AddLogStringShiftJis(const char *String) { return AddLogStringInCode(String, 932, 0); }

int AddLogStringWide(const wchar_t *String) { return AddLogStringInCode(String, CHAR_CODE_UTF16LE, 0); }

int AddLogStringWchar(const wchar_t *String) { return WriteLogLine(0, String); }

int AddLogStringWideErrorCode(int ErrorCode, const wchar_t *String)
{
    return AddLogStringInCode(String, CHAR_CODE_UTF16LE, ErrorCode);
}

int AddLogFormatShiftJis(const char *FormatString, ...)
{
    char text[2048];
    va_list args;
    va_start(args, FormatString);
    int code = GetCurrentCharCodeFormat();
    if (CharCodeFormatString(code, 0, code, CHAR_CODE_UTF16LE, text, sizeof(text), FormatString, args) < 0)
        text[0] = '\0';
    va_end(args);
    size_t length = strlen(text);
    if (length + 2 <= sizeof(text)) {
        text[length] = '\n';
        text[length + 1] = '\0';
    }
    return AddLogStringShiftJis(text);
}

namespace {

// The wide formatted entries: the format in UTF-16, narrow string arguments in the current
// multibyte code. Units is the room of the formatted text including the terminator.
template <int Units>
struct LogWideFormatText
{
    wchar_t Text[Units];
    LogWideFormatText(const wchar_t *FormatString, va_list Args)
    {
        if (CharCodeFormatString(CHAR_CODE_UTF16LE, 1, GetCurrentCharCodeFormat(), CHAR_CODE_UTF16LE,
                                 reinterpret_cast<char *>(Text), Units, reinterpret_cast<const char *>(FormatString),
                                 Args) < 0)
            Text[0] = L'\0';
        AppendLineFeedWide(Text, Units);
    }
};

}  // namespace

int AddLogFormat(const wchar_t *FormatString, ...)
{
    va_list args;
    va_start(args, FormatString);
    LogWideFormatText<1024> text(FormatString, args);
    va_end(args);
    return AddLogStringWide(text.Text);
}

int AddLogFormatErrorCode(int ErrorCode, const wchar_t *FormatString, ...)
{
    va_list args;
    va_start(args, FormatString);
    LogWideFormatText<1024> text(FormatString, args);
    va_end(args);
    return AddLogStringWideErrorCode(ErrorCode, text.Text);
}

int LogPlatformFailure(const wchar_t *Call, unsigned long Code)
{
    return AddLogFormat(L"%s failed: 0x%08X", Call != nullptr ? Call : L"(?)", (unsigned)Code);
}

int AddLogFormatWide(const wchar_t *FormatString, ...)
{
    va_list args;
    va_start(args, FormatString);
    LogWideFormatText<2048> text(FormatString, args);
    va_end(args);
    return AddLogStringWchar(text.Text);
}
