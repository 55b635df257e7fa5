// Window captures for picture tests: what a window shows, read back pixel-exactly with BitBlt
// from its device context into a 32-bit top-down DIB section. Under Wine and Xvfb the capture
// equals what GDI, Direct3D 9 or Direct3D 11 presented.
#pragma once

#include <stdint.h>

#include <vector>

struct HWND__;

struct WindowCapture
{
    int Width = 0, Height = 0;
    std::vector<uint32_t> Pixels;  // 0x00RRGGBB, rows top to bottom

    // Outside the capture (all of an empty one): 0xFF000000, which no captured pixel is. A test
    // that reads a window gone or smaller than it waited for fails its comparison there instead of
    // reading past the pixels.
    uint32_t At(int X, int Y) const
    {
        return X >= 0 && Y >= 0 && X < Width && Y < Height ? Pixels[(size_t)Y * Width + X] : 0xFF000000u;
    }
    bool Empty() const { return Pixels.empty(); }
};

// The rectangle (X, Y, Width, Height) of the window's client area; empty when it cannot be read.
WindowCapture CaptureWindow(HWND__ *Window, int X, int Y, int Width, int Height);

// Writes the capture as an RGB PNG file (a test's picture, kept beside its log); false on failure.
bool SaveCapturePng(const WindowCapture &Capture, const char *Path);

// Fills the rectangle of the window's client area with one colour (0x00RRGGBB) through GDI, so
// that a test can see what a later drawing leaves untouched.
void PaintWindow(HWND__ *Window, int X, int Y, int Width, int Height, uint32_t Color);
