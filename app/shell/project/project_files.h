// Projects (".tvx") and the settings file "tarvex.ini" on disk, the menu's project commands and
// the path rule the file names follow. User-interface thread only.
#pragma once

#include <cstddef>

// The path rule of projects and renders: the chosen path with its extension replaced by
// `extension` (".tvx", ".wav"). A bare name stays relative. False when the result does not fit
// `size` bytes with its terminator.
bool BuildFilePath(const char* chosen, const char* extension, char* out, size_t size);

// Writes the program's state as a project at `path`: into a file beside it, which then replaces
// it, so a failed save leaves the earlier project whole. False when anything failed.
bool SaveProjectFile(const char* path);

// 1 when "tarvex.ini" of the current directory names a project, which is then the last project
// path; else 0 (a broken file is reported on the output).
int LoadAppSettings();
// "tarvex.ini" in the working directory, naming the last project. False when it could not be
// written.
bool SaveAppSettings();

// The project at `path` with its extension made ".tvx" read into the program, and the windows
// of the slots it marks open opened. A file that cannot be read is reported ("Failed") and
// changes nothing; a missing file changes nothing. False when it was reported.
bool OpenProject(const char* path);
// The program's state saved at `path` with its extension made ".tvx"; on success that path, made
// relative to the working directory where it can be, is the last project path. False on failure.
bool SaveProject(const char* path);

// Menu commands 116 and 115: the file dialog, then OpenProject or SaveProject; a save tells how
// it went in a box.
void OpenProjectFromDialog();
void SaveProjectFromDialog();

// "失敗しました。" in a box captioned "Failed".
void ShowFailedBox();
