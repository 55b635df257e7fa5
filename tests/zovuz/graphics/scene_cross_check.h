// One 960 x 540 scene of drawing calls, drawn by the software renderer and by a device back end,
// compared tile by tile. Each tile is judged by its own rule: exact where the drawing is defined
// to the pixel, near (within one pixel of the other picture's ink) for diagonal lines and circles,
// within a channel step for blending, and by share of differing pixels for text and non-integer
// stretches. Tiles beyond the scene hold the clear alone and must match exactly.
#pragma once

#include <stdint.h>

#include <vector>

constexpr int kSceneWidth = 960, kSceneHeight = 540;

using ScenePicture = std::vector<uint32_t>;  // 0x00RRGGBB, rows top first
// Reads a rectangle of the back screen as 0x00RRGGBB; empty when it cannot.
using SceneReader = std::vector<uint32_t> (*)(int X, int Y, int Width, int Height);

// Draws the whole scene on the renderer in use and reads it back through Read.
ScenePicture DrawScene(SceneReader Read);

// Where a back end's picture may lie further from the software renderer's than the rules say.
struct SceneTolerance
{
    int TextChannelStep = 2;  // how far apart an inked pixel's channels may lie (255: the ink alone counts)
};

// Writes software.png, <Folder>.png and diff.png to test-artifacts/<Folder>/ under the build
// folder, then judges every tile; each tile that breaks its rule adds a failure naming it, its
// count of wrong pixels and the first of them.
void CompareScenes(const ScenePicture &Software, const ScenePicture &Device, const char *Folder,
                   const char *DeviceName, const SceneTolerance &Tolerance = {});

// Pixels where two pictures of the scene differ (a restarted back end must draw it again alike).
int DifferingPixels(const ScenePicture &A, const ScenePicture &B);
