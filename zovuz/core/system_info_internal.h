// Internal calls of the core behind system_info.h: used by the core's own files and its tests, never by
// the application or another subsystem.
#pragma once

#include "zovuz/core/system_info.h"

// Test hook: a Count above 0 stands in for the processor count the system reports (Wine always
// reports the host's); 0 gives the reported count back. Returns 0.
int SetProcessorCountOverride(int Count);

// Puts UTF-16 text on the clipboard. Always 0 (a clipboard that can't be opened is skipped).
int SetClipboardText(const wchar_t *Text);

// Reads the clipboard's UTF-16 text. Without a buffer: the clipboard block's size in bytes + 1,
// for sizing the buffer. With a buffer: copies the text, at most as many bytes as the last
// sizing call reported (the clipboard can change in between), always terminated; 0. -1 when
// the clipboard can't be opened, holds no text, or (with a buffer) no sizing call was made.
int GetClipboardText(wchar_t *DestBuffer);

// File time to local year, month, day, hour, minute, second. 0, or -1 when it can't be converted.
int FileTimeToDateTime(const _FILETIME *FileTime, int *DateTime);
