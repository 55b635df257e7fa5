// A frame like the application's on Direct3D 11 beside the software renderer in the same run: a
// 960 x 540 screen cleared, 2,000 textured 32 x 32 quads cut from one atlas graph, 200
// DrawFormatString calls, then shown stretched in a 1920 x 1080 client and flipped. 20 frames warm
// up, 200 are timed. Printed: ms per frame on each, their ratio (target <= 1.5), the tracked
// blocks a frame leaves alive (0), and on Direct3D 11 the draw calls per frame beside the batch
// rules' count for the quads (a break every 2,340 VERTEX2D vertices and at each texture switch).
#include "bench/bench_clock.h"
#include "bench/bench_graphics.h"

#include <stdio.h>

#include "zovuz/d3d11/calls/windows/d3d11_calls.h"
#include "zovuz/zovuz.h"

namespace {

constexpr int kScreenWidth = 960, kScreenHeight = 540;
constexpr int kClientWidth = 1920, kClientHeight = 1080;
constexpr int kQuads = 2000, kStrings = 200, kWarmUp = 20, kFrames = 200;

// A 256 x 256 atlas of 8 x 8 cells of 32 x 32, each cell its own colour ramp.
int MakeAtlas()
{
    return MakeBenchGraph(256, 256, [](int x, int y) {
        return (uint32_t)((x / 32) * 32 + x % 32) << 16 | (uint32_t)((y / 32) * 32 + y % 32) << 8 |
               (uint32_t)((x ^ y) & 0xFF);
    });
}

void DrawFrame(int Atlas)
{
    ClearDrawScreen(nullptr);
    for (int i = 0; i < kQuads; ++i) {
        const int x = (i * 37) % (kScreenWidth - 32), y = (i * 53) % (kScreenHeight - 32);
        DrawRectGraph(x, y, (i % 8) * 32, (i / 8 % 8) * 32, 32, 32, Atlas, 1, 0);
    }
    const unsigned int text = GetColorValue(220, 220, 220);
    for (int i = 0; i < kStrings; ++i) {
        const int x = (i * 43) % (kScreenWidth - 120), y = (i * 23) % (kScreenHeight - 16);
        DrawFormatString(x, y, text, "Tr%02d %5d", i % 16, i * 37);
    }
    ScreenFlip();
}

struct FrameFigures
{
    double Ms = -1.0;
    int BlocksLeft = 0;
    double DrawCalls = 0.0;
};

FrameFigures Run(BenchRenderer Renderer)
{
    FrameFigures f;
    if (!StartBenchGraphics(Renderer, kScreenWidth, kScreenHeight, kClientWidth, kClientHeight)) return f;
    const int atlas = MakeAtlas();
    if (atlas >= 0) {
        SetDrawScreen(DX_SCREEN_BACK);
        SetBackgroundColor(24, 24, 24);
        for (int i = 0; i < kWarmUp; ++i) DrawFrame(atlas);
        const int blocks = GetAllocNum();
        const unsigned int draws = D3D11CallLayer.DrawCallCount;
        f.Ms = BenchSecondsPerCall(kFrames, [&] { DrawFrame(atlas); }) * 1000.0;
        f.BlocksLeft = GetAllocNum() - blocks;
        f.DrawCalls = (double)(D3D11CallLayer.DrawCallCount - draws) / kFrames;
        DeleteGraph(atlas);
    }
    LibraryEnd();
    return f;
}

}  // namespace

int main()
{
    const FrameFigures d3d11 = Run(BenchRenderer::Direct3D11);
    const FrameFigures software = Run(BenchRenderer::Software);
    if (d3d11.Ms < 0.0 || software.Ms < 0.0) return 1;
    PrintBenchRatio("Direct3D 11 frame", d3d11.Ms, "software frame", software.Ms, "ms");
    printf("target ratio <= 1.5 (a guess)\n");
    printf("tracked blocks a frame leaves alive: Direct3D 11 %d, software %d (target 0)\n", d3d11.BlocksLeft,
           software.BlocksLeft);
    // The quads alone: 389 six-vertex quads fit a batch of 2,340 VERTEX2D.
    const int quadBatches = (kQuads + 388) / 389;
    printf("Direct3D 11 draw calls per frame %.1f (the quads' batches alone: %d; strings, flip and texture "
           "switches add theirs)\n",
           d3d11.DrawCalls, quadBatches);
    return 0;
}
