// What opening a song needs of the platform: the file dialog, the path split and the report of a
// song file that cannot be read.
#pragma once

#include <string>

#include "app/shell/app_state.h"

// A path in its four parts, each as long as it is: drive ("C:"), folder with its trailing
// separator, file name, and extension with its dot.
struct PathParts {
  std::string drive, directory, name, extension;
};

// Splits a path in the program's code page. The separators are '\' and '/', and only where they
// stand as characters of their own: the second byte of a double-byte character is never one.
PathParts SplitPath(const char* path);

// The song-open dialog over `path` (its buffer of kPathChars): true when the user chose a file.
bool ChooseSongFile(char (&path)[kPathChars]);

// Tells the user, and the program's output, that the song file at `path` could not be read.
void ReportUnreadableSong(const char* path);
