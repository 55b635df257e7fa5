// Internal calls of the core behind format_print.h: used by the core's own files and its tests, never by
// the application or another subsystem.
#pragma once

#include "zovuz/core/text/format_print.h"

int CharCodeSPrintf(int DestCharCodeFormat, int WideForm, int NarrowCharCodeFormat, int WideCharCodeFormat,
                    char *Buffer, int BufferLength, const char *FormatString, ...);

// As above with the length taken as CHAR_CODE_PRINT_UNLIMITED: the caller guarantees the room.
int CharCodeSPrintfUnlimited(int DestCharCodeFormat, int WideForm, int NarrowCharCodeFormat, int WideCharCodeFormat,
                             char *Buffer, const char *FormatString, ...);
int CharCodeVSPrintf(int DestCharCodeFormat, int WideForm, int NarrowCharCodeFormat, int WideCharCodeFormat,
                     char *Buffer, const char *FormatString, va_list Args);
