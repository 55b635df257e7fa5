// What the drawing tests on the platform's device share: the back screen read back as
// 0x00RRGGBB.
#pragma once

#include <stdint.h>

#include <vector>


// The rectangle of the draw screen as 0x00RRGGBB, rows top first; empty when it cannot be locked.
std::vector<uint32_t> ReadDrawScreen(int X, int Y, int Width, int Height);
