// The files the platform movie tests play: an uncompressed AVI with one colour per frame,
// written by the test, and files written into the test's folder.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The AVI: 32 x 24, 10 frames a second.
constexpr int AviWidth = 32, AviHeight = 24, AviFrames = 10;

// The colour of frame k (red, green, blue): the parts differ between any two frames.
void FrameColour(int k, BYTE *Rgb);
// The alpha byte of frame k in a 32-bit AVI.
inline BYTE FrameAlpha(int k) { return static_cast<BYTE>(0x40 + k * 9); }
// The AVI's bytes, with 24 or 32 bits a pixel.
std::vector<BYTE> BuildAvi(int BitCount = 24);
// Writes Bytes to Name in the current folder; its full path.
std::wstring WriteFile(const wchar_t *Name, const std::vector<BYTE> &Bytes);
// Points this process's temporary folder (TMP and TEMP) at "tmp" in the current folder, so that
// no other test of the run leaves its files where TempFiles looks.
void UseOwnTempFolder();
// The "tmp*.tmp" files in the temporary folder, sorted.
std::vector<std::wstring> TempFiles();
