// The software renderer's cost for a frame like the application's: the 960 x 540 draw screen
// cleared, 300 boxes (filled, outlined and half-transparent ones, as the panes draw them), 200
// strings, then the draw screen stretched to the 1920 x 1080 back screen. Printed as a share of
// one 60 Hz frame (16.7 ms), beside a plain copy of the 1920 x 1080 screen in the same run.
// Then the cost of a line that starts and ends far off the draw screen, beside its visible part.
#include "bench/support/bench_clock.h"
#include "bench/support/bench_graphics.h"

#include <stdio.h>
#include <string.h>

#include <vector>

#include "zovuz/zovuz.h"

namespace {

constexpr int kDrawWidth = 960, kDrawHeight = 540;
constexpr int kScreenWidth = 1920, kScreenHeight = 1080;
constexpr double kFrameMs = 1000.0 / 60.0;

void DrawBoxes()
{
    const unsigned int fill = GetColorValue(60, 60, 70), line = GetColorValue(140, 140, 150);
    const unsigned int meter = GetColorValue(40, 200, 90);
    for (int i = 0; i < 200; ++i) {
        int x = (i * 37) % (kDrawWidth - 40), y = (i * 53) % (kDrawHeight - 12);
        DrawBox(x, y, x + 40, y + 12, i % 3 == 0 ? meter : fill, 1);
    }
    for (int i = 0; i < 80; ++i) {
        int x = (i * 71) % (kDrawWidth - 100), y = (i * 29) % (kDrawHeight - 20);
        DrawBox(x, y, x + 100, y + 20, line, 0);
    }
    SetDrawBlendMode(DX_BLENDMODE_ALPHA, 96);
    for (int i = 0; i < 20; ++i) {
        int x = (i * 97) % (kDrawWidth - 200), y = (i * 41) % (kDrawHeight - 30);
        DrawBox(x, y, x + 200, y + 30, fill, 1);
    }
    SetDrawBlendMode(DX_BLENDMODE_NOBLEND, 0);
}

// Labels and numbers of the panes' length, with the default font.
void DrawStrings()
{
    const unsigned int text = GetColorValue(220, 220, 220);
    for (int i = 0; i < 200; ++i) {
        int x = (i * 43) % (kDrawWidth - 120), y = (i * 23) % (kDrawHeight - 16);
        DrawFormatString(x, y, text, "Tr%02d %5d", i % 16, i * 37);
    }
}

}  // namespace

int main()
{
    if (!StartBenchGraphics(BenchRenderer::Software, kScreenWidth, kScreenHeight)) return 1;
    SetDrawValidGraphCreateFlag(1);
    int drawScreen = MakeGraph(kDrawWidth, kDrawHeight, 0);
    SetDrawValidGraphCreateFlag(0);
    SetBackgroundColor(24, 24, 24);

    double clear = 0, boxes = 0, strings = 0, stretch = 0;
    auto frame = [&] {
        double t0 = BenchSeconds();
        SetDrawScreen(drawScreen);
        ClearDrawScreen(nullptr);
        double t1 = BenchSeconds();
        DrawBoxes();
        double t2 = BenchSeconds();
        DrawStrings();
        double t3 = BenchSeconds();
        SetDrawScreen(DX_SCREEN_BACK);
        DrawExtendGraph(0, 0, kScreenWidth, kScreenHeight, drawScreen, 0);
        double t4 = BenchSeconds();
        clear += t1 - t0;
        boxes += t2 - t1;
        strings += t3 - t2;
        stretch += t4 - t3;
    };
    frame();
    clear = boxes = strings = stretch = 0;
    const int rounds = 60;
    for (int i = 0; i < rounds; ++i)
        frame();
    const double toMs = 1000.0 / rounds;
    const double total = (clear + boxes + strings + stretch) * toMs;

    // The reference: one plain copy of a 1920 x 1080 32-bit screen.
    std::vector<uint32_t> from((size_t)kScreenWidth * kScreenHeight, 0x181818), to(from.size());
    double copy = BenchSecondsPerCall(rounds, [&] {
        memcpy(to.data(), from.data(), from.size() * 4);
        to[(size_t)(to[0] & 0xFF)] ^= 1;
    }) * 1000.0;

    printf("960 x 540 clear                 %6.2f ms\n", clear * toMs);
    printf("300 boxes                       %6.2f ms\n", boxes * toMs);
    printf("200 strings                     %6.2f ms\n", strings * toMs);
    printf("stretch to 1920 x 1080          %6.2f ms\n", stretch * toMs);
    PrintBenchRatio("software frame", total, "1920x1080 screen memcpy", copy, "ms");
    printf("software frame as a share of a 60 Hz frame: %.0f %%\n", 100.0 * total / kFrameMs);

    // A line from far outside the draw screen costs its visible pixels, not its length: a
    // million-pixel line against a line of as many pixels, one step sideways, on screen.
    SetDrawScreen(drawScreen);
    const unsigned int line = GetColorValue(200, 200, 90);
    double farOff = 1e9, visible = 1e9;
    for (int turn = 0; turn < 5; ++turn) {
        double f = BenchSecondsPerCall(200, [&] { DrawLine(-500000, 100, 500000, 101, line); });
        double v = BenchSecondsPerCall(200, [&] { DrawLine(0, 100, kDrawWidth, 101, line); });
        farOff = f < farOff ? f : farOff;
        visible = v < visible ? v : visible;
    }
    printf("%-36s %10.2f us   %-26s %10.2f us   ratio %.2f   goal <= 2\n", "far-off line, 960 pixels visible",
           farOff * 1e6, "its visible part", visible * 1e6, farOff / visible);
    SetDrawScreen(DX_SCREEN_BACK);

    double flip = BenchSecondsPerCall(10, [] { ScreenFlip(); }) * 1000.0;
    printf("ScreenFlip (GDI presentation, not counted above) %6.2f ms\n", flip);
    DeleteGraph(drawScreen);
    LibraryEnd();
    return 0;
}
