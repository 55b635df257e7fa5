// Internal calls of the core behind log.h: used by the core's own files and its tests, never by
// the application or another subsystem.
#pragma once

#include "zovuz/core/text/log.h"

// The core writer: records a non-zero error code as the last error, then (output on) starts the
// file when needed and appends the text with stamp and indent at the start of a new line.
int WriteLogLine(int ErrorCode, const wchar_t *String);

// Creates the log file (deleting an older one) unless already started or output is off. 0 / -1.
int StartLogFile(void);

// File-system side of the log. CreateLogFile makes a new file holding only FF FE (failures are not
// reported); WriteLogFileText appends the text's characters and echoes them to the debugger.
int CreateLogFile(const wchar_t *Path);
int WriteLogFileText(const wchar_t *Path, const wchar_t *String);

// The library's last-error record: a code and a UTF-16 text of at most 8192 bytes with its
// terminator; a null text stores an empty text. Returns 0.
int SetLastErrorInfo(int ErrorCode, const wchar_t *String);
// Reads the record back: the code is returned, the text copied into Buffer (BufferBytes bytes,
// always terminated) when Buffer is not null.
int GetLastErrorInfo(wchar_t *Buffer, int BufferBytes);
