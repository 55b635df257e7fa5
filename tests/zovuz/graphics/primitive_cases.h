// The drawing calls' pixel cases: one table of (drawing, expected picture) pairs, run over the
// current draw target by any back end. Each case starts from a cleared black target with the
// default settings; what it drew is read back over a 48 x 32 region and compared pixel by pixel.
// The software renderer runs it here; a Direct3D back end runs the same table over its own target.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

// The region every case is judged over.
constexpr int kCaseWidth = 48, kCaseHeight = 32;

// Reads back 0x00RRGGBB colours of the region (kCaseWidth x kCaseHeight at 0, 0) of the draw target;
// empty when it cannot.
using CaseReader = std::vector<uint32_t> (*)(void);

// The reader through LockDrawScreenBuffer (any back end, any pixel format).
std::vector<uint32_t> ReadCaseRegionByLock(void);
// The colour the draw target stores for 0x00RRGGBB (5-6-5 targets keep fewer bits).
uint32_t StoredColor(uint32_t Rgb);

// Makes the graphs the cases draw (with the current back end), runs every case but those named
// in Skipped (which must name cases of the table), deletes them. Each failing case adds a test
// failure naming it, its first wrong pixel and the count.
void RunPrimitiveCases(CaseReader Read, const std::vector<std::string> &Skipped = {});
