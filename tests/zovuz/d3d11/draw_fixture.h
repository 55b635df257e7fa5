// What the drawing tests on the platform's device share: the library's window and graphics
// started on either renderer, a graph pattern, and the back screen read back as 0x00RRGGBB.
#pragma once

#include <stdint.h>

#include <vector>

// The main window at Width x Height, the library marked as running (DrawGraph draws only then).
// A window destroyed by an earlier test set the library's end flags, which a library start clears
// (Direct3D 11 draws nothing once the library ends): cleared here the same way. 0 / -1.
int OpenDrawingWindow(const char *Title, int Width, int Height);
// Starts graphics at Width x Height on the software renderer or on Direct3D 11; -1 also when the
// renderer asked for is not the one in use.
int StartDrawingGraphics(bool Hardware, int Width, int Height);
// Ends graphics and the window.
void CloseDrawingWindow();

// A 16 x 12 graph pattern, every pixel its own colour, and the pixels of such a pattern.
uint32_t PatternPixel(int X, int Y);
std::vector<uint32_t> PixelsOf(uint32_t (*Pattern)(int X, int Y));

// The rectangle of the draw screen as 0x00RRGGBB, rows top first; empty when it cannot be locked.
std::vector<uint32_t> ReadDrawScreen(int X, int Y, int Width, int Height);
