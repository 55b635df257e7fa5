// The files the platform movie tests play: an uncompressed RGB24 AVI with one colour per frame,
// written by the test, and files written into the test's folder.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The AVI: 32 x 24, 10 frames a second.
constexpr int AviWidth = 32, AviHeight = 24, AviFrames = 10;

// The colour of frame k (red, green, blue): the parts differ between any two frames.
void FrameColour(int k, BYTE *Rgb);
// The AVI's bytes.
std::vector<BYTE> BuildAvi();
// Writes Bytes to Name in the current folder; its full path.
std::wstring WriteFile(const wchar_t *Name, const std::vector<BYTE> &Bytes);
// Points this process's temporary folder (TMP and TEMP) at "tmp" in the current folder, so that
// no other test of the run leaves its files where TempFiles looks.
void UseOwnTempFolder();
// The "tmp*.tmp" files in the temporary folder, sorted.
std::vector<std::wstring> TempFiles();
