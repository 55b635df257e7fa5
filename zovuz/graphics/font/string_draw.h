// ZoVuz graphics: drawing text with a font handle; part of the public graphics API
// (zovuz_graphics.h includes it).
//
// Positions are draw-screen pixels of the string's top-left corner; colours are GetColorValue
// values. The font handle -2 (DX_DEFAULT_FONT_HANDLE) is the default font. A line feed starts a
// new line; with VerticalFlag the text runs downwards and its lines go from right to left. The
// edge colour only matters for edged fonts.
//
// On the software renderer text of fonts without anti-aliasing is written straight into the draw
// target when it is drawn opaquely; blended or anti-aliased text goes through a temporary screen
// that is then drawn with the blend mode.
#pragma once

#include <stdint.h>

// Formats like printf (the library's own engine, text in the default font's code, at most 2047
// characters) and draws the result with the default font. 0, or -1 when the default font cannot
// be had.
int DrawFormatString(int X, int Y, unsigned int Color, const char *FormatString, ...);
// String in the font's character code. 0 (also for a null or empty string) / -1.
int DrawStringToHandle(int X, int Y, const char *String, unsigned int Color, int FontHandle, unsigned int EdgeColor = 0,
                       int VerticalFlag = 0);
// String in the library's wide code. 0 / -1 (a bad font handle).
int DrawStringToHandleW(int X, int Y, const wchar_t *String, unsigned int Color, int FontHandle,
                        unsigned int EdgeColor = 0, int VerticalFlag = 0);
