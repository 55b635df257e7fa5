// The native build's loose files: a few files held in memory under their full paths, which the
// fuzz targets place there, with "C:\fuzz" as the current folder. Stands in for the Windows file
// layer (windows/file_win.cpp) behind the library's loose-file set, so that the archive layer
// and the file-access table read an input exactly as they would read a file.
#pragma once

#include <stddef.h>

// Removes every file. Streams still open keep reading what they opened.
void NativeFilesClear(void);
// Places a copy of Size bytes under Path (relative to "C:\fuzz", or with a drive); a file of the
// same name is replaced.
void NativeFilesAdd(const wchar_t *Path, const void *Data, size_t Size);
// Streams open now, so that a target can check that the readers close what they open.
int NativeFilesOpenStreams(void);
