// One frame of 2-D drawing on Direct3D 9 through the library beside a plain loop on the same
// device: 10,000 DrawGraph calls of a 32 x 32 graph, then 10,000 filled 32 x 32 DrawBox calls, on
// a 960 x 540 screen, each frame presented. The plain loop draws the same quads with one
// DrawPrimitiveUP of four vertices each (a 32 x 32 texture bound for the first half, none for the
// second). The library's frames: 2 warm up, then up to 10 are timed, for at most a few seconds.
// Printed: ms per frame of each and their ratio (target <= 2), and the device's draw calls a
// library frame makes.
#include "bench/support/bench_clock.h"
#include "bench/support/bench_graphics.h"

#include <stdio.h>

#include "zovuz/d3d9/calls/windows/d3d9_calls.h"
#include "zovuz/zovuz.h"

namespace {

constexpr int kScreenWidth = 960, kScreenHeight = 540;
constexpr int kGraphs = 10000, kBoxes = 10000, kWarmUp = 2, kFrames = 10;
constexpr double kLibrarySeconds = 5.0;
// Wine spends 2 to 10 ms on each DrawPrimitiveUP of its own, so a whole plain frame would take
// 40 s or more. The plain loop draws every kPlainStep-th quad; its frame is the cost of a frame
// with no quads plus that of the quads drawn, scaled to all of them. Its sampled frames are timed
// for a few seconds, not counted.
constexpr int kPlainStep = 100, kPlainFrames = 5;
constexpr double kEmptySeconds = 2.0, kSampledSeconds = 4.0;

int X(int I) { return (I * 37) % (kScreenWidth - 32); }
int Y(int I) { return (I * 53) % (kScreenHeight - 32); }

int MakeTile() {
  return MakeBenchGraph(32, 32, [](int x, int y) { return (uint32_t)(x * 8) << 16 | (uint32_t)(y * 8) << 8 | 0x40; });
}

void LibraryFrame(int Tile) {
  ClearDrawScreen(nullptr);
  if (Tile >= 0)
    for (int i = 0; i < kGraphs; ++i) DrawGraph(X(i), Y(i), Tile, FALSE);
  const unsigned int color = GetColorValue(200, 120, 40);
  for (int i = 0; i < kBoxes; ++i) DrawBox(X(i), Y(i), X(i) + 32, Y(i) + 32, color, TRUE);
  ScreenFlip();
}

struct PlainVertex {
  float x, y, z, rhw;
  DWORD Color;
  float u, v;
};

// The same quads, one DrawPrimitiveUP each, on the library's device and its bound states: every
// Step-th of them (none when Step is 0).
void PlainFrame(IDirect3DTexture9* Texture, int Step) {
  ClearDrawScreen(nullptr);
  Direct3DDevice9_BeginSceneIfNeeded();
  Direct3DDevice9_SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  Direct3DDevice9_SetRenderState(D3DRS_ZENABLE, FALSE);
  Direct3DDevice9_SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
  auto quad = [](int I, DWORD Color) {
    const float x = (float)X(I) - 0.5f, y = (float)Y(I) - 0.5f;
    const PlainVertex v[4] = {{x, y, 0, 1, Color, 0, 0},
                              {x + 32, y, 0, 1, Color, 1, 0},
                              {x, y + 32, 0, 1, Color, 0, 1},
                              {x + 32, y + 32, 0, 1, Color, 1, 1}};
    Direct3DDevice9_DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(PlainVertex));
  };
  if (Texture != nullptr) {
    Direct3DDevice9_SetTexture(0, Texture);
    Direct3DDevice9_SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    Direct3DDevice9_SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    for (int i = 0; Step > 0 && i < kGraphs; i += Step) quad(i, 0xFFFFFFFF);
  }
  Direct3DDevice9_SetTexture(0, nullptr);
  Direct3DDevice9_SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  Direct3DDevice9_SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
  for (int i = 0; Step > 0 && i < kBoxes; i += Step) quad(i, 0xFFC87828);
  Direct3DDevice9_EndSceneIfNeeded();
  ScreenFlip();
}

// The device's draw calls, counted through the call layer's table.
unsigned int DrawCalls = 0;
HRESULT CountedDrawPrimitiveUP(D3DPRIMITIVETYPE Type, UINT Count, const void* Data, UINT Stride) {
  ++DrawCalls;
  return D3D9SystemCalls.Direct3DDevice9_DrawPrimitiveUP(Type, Count, Data, Stride);
}

}  // namespace

int main() {
  setvbuf(stdout, nullptr, _IONBF, 0);
  if (!StartBenchGraphics(BenchRenderer::Direct3D9, kScreenWidth, kScreenHeight)) return 1;
  SetDrawScreen(DX_SCREEN_BACK);
  SetBackgroundColor(24, 24, 24);
  const int tile = MakeTile();
  if (tile < 0) printf("a graph could not be made on Direct3D 9: the boxes alone are timed\n");
  IDirect3DTexture9* texture = nullptr;
  if (tile >= 0 &&
      FAILED(Direct3DDevice9_CreateTexture(32, 32, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &texture, nullptr)))
    texture = nullptr;

  for (int i = 0; i < kWarmUp; ++i) LibraryFrame(tile);
  D3D9Calls.Direct3DDevice9_DrawPrimitiveUP = CountedDrawPrimitiveUP;
  const BenchCalls libraryFrames = BenchTimedCalls(kFrames, kLibrarySeconds, [&] { LibraryFrame(tile); });
  const double library = libraryFrames.SecondsPerCall * 1000.0;
  const double drawCalls = (double)DrawCalls / libraryFrames.Calls;
  D3D9Calls = D3D9SystemCalls;
  // The plain loop last: it leaves the device's states unlike the library's cache of them.
  PlainFrame(texture, kPlainStep);
  const double empty = BenchTimedCalls(kFrames, kEmptySeconds, [&] { PlainFrame(texture, 0); }).SecondsPerCall * 1000.0;
  const double sampled =
      BenchTimedCalls(kPlainFrames, kSampledSeconds, [&] { PlainFrame(texture, kPlainStep); }).SecondsPerCall * 1000.0;
  const double plain = empty + (sampled - empty) * kPlainStep;

  PrintBenchRatio("Direct3D 9 frame through the library", library, "one DrawPrimitiveUP a quad", plain, "ms");
  printf("target ratio <= 2\n");
  printf("device draw calls per library frame %.1f (plain loop: %d)\n", drawCalls, (tile >= 0 ? kGraphs : 0) + kBoxes);
  if (texture != nullptr) Direct3D9_ReleaseObject(texture);
  if (tile >= 0) DeleteGraph(tile);
  LibraryEnd();
  return 0;
}
