// What the drawing tests on the platform's device share: graphs made from pixels, and the back
// screen read back as 0x00RRGGBB.
#pragma once

#include <stdint.h>

#include <vector>

// A Width x Height graph of 0x00RRGGBB pixels (or 0xAARRGGBB with AlphaFlag), made on the renderer
// in use; -1 when it cannot be made or filled.
int MakeGraphOfPixels(int Width, int Height, const std::vector<uint32_t> &Pixels, int AlphaFlag = 0);

// The rectangle of the draw screen as 0x00RRGGBB, rows top first; empty when it cannot be locked.
std::vector<uint32_t> ReadDrawScreen(int X, int Y, int Width, int Height);
