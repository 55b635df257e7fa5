// A frame that shows what the last one showed is not presented again, on the software renderer and
// on Direct3D 11 (with and without a sub back buffer): a draw-valid graph stretched over the back
// screen as the shell's frame does it. The software renderer's present is seen on the window,
// painted white through GDI just before it; Direct3D 11's (whose picture Wine composes apart
// from GDI's) in the call layer's count of presents. Anything the window or the frame changes
// presents again.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdlib.h>

#include <functional>
#include <string>

#include "tests/support/window_capture.h"
#include "tests/zovuz/d3d11/draw_fixture.h"
#include "tests/zovuz/graphics/graphics_start_fixture.h"
#include "zovuz/d3d11/calls/windows/d3d11_calls.h"
#include "zovuz/d3d11/zovuz_d3d11.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr uint32_t kWhite = 0xFFFFFF, kGreen = 0x20C040, kBlue = 0x3050E0;
constexpr uint32_t kPresented = 0x1000000;  // Direct3D 11's present, whatever it showed

struct Frame
{
    int Graph = -1;
    double Rate = 1.0;  // the window's size scale
    bool Hardware = false;

    // The shell's frame: the graph filled with Color, drawn stretched over the back screen, flipped.
    void Draw(
        uint32_t Color, const std::function<void()> &BeforeCopy = [] {},
        const std::function<void()> &AfterCopy = [] {}) const
    {
        SetDrawScreen(Graph);
        SetBackgroundColor(Color >> 16, (Color >> 8) & 0xFF, Color & 0xFF);
        ClearDrawScreen(nullptr);
        SetDrawScreen(DX_SCREEN_BACK);
        BeforeCopy();
        DrawExtendGraph(0, 0, kWidth, kHeight, Graph, FALSE);
        AfterCopy();
        ScreenFlip();
    }
    // What Show presented: on the software renderer the window's pixel near its top-left corner
    // after a GDI paint of white (white: nothing); on Direct3D 11 kPresented, or white when the
    // swap chain presented nothing.
    uint32_t Shown(const std::function<void()> &Show) const
    {
        HWND window = (HWND)GetMainWindowHandle();
        const int width = (int)(kWidth * Rate), height = (int)(kHeight * Rate);
        const unsigned int presents = D3D11CallLayer.PresentCallCount;
        PaintWindow(window, 0, 0, width, height, kWhite);
        Show();
        if (Hardware) return D3D11CallLayer.PresentCallCount != presents ? kPresented : kWhite;
        return CaptureWindow(window, 0, 0, width, height).At(2, 2);
    }
};

void Pump()
{
    for (int i = 0; i < 5; ++i) ProcessMessage();
}

// Each case starts from a presented green frame; Change happens before the window is painted white
// and the next frame (Next) runs. Skipped: the window stays white and nothing was written on the
// screen; else it shows Color (0: anything but white), and a frame that drew something new wrote
// the screen.
enum Outcome { kSkipped, kNewFrame, kShownAgain };
struct Case
{
    const char *Name;
    std::function<void()> Change;
    std::function<void(const Frame &)> Next;
    Outcome Result;
    uint32_t Color;
};

void RunCases(bool Hardware, double Rate, bool SkipsWithoutSubBackBuffer)
{
    SCOPED_TRACE(std::string(Hardware ? "Direct3D 11" : "software") + " at " + std::to_string(Rate));
    ASSERT_EQ(0, StartDrawingGraphics(Hardware, kWidth, kHeight));
    SetWindowSizeExtendRate(Rate, Rate);
    SetDrawValidGraphCreateFlag(1);
    Frame frame;
    frame.Graph = MakeGraph(kWidth / 2, kHeight / 2, 0);
    frame.Rate = Rate;
    frame.Hardware = Hardware;
    const auto seen = [Hardware](uint32_t Color) { return Hardware ? kPresented : Color; };
    SetDrawValidGraphCreateFlag(0);
    ASSERT_GE(frame.Graph, 0);
    HWND window = (HWND)GetMainWindowHandle();
    const bool skips = SkipsWithoutSubBackBuffer || Rate != 1.0;
    const std::vector<Case> cases = {
        {"the same frame", [] {}, [](const Frame &f) { f.Draw(kGreen); }, skips ? kSkipped : kNewFrame, kGreen},
        {"the graph's pixels changed", [] {}, [](const Frame &f) { f.Draw(kBlue); }, kNewFrame, kBlue},
        {"the copy made with other settings", [] {},
         [](const Frame &f) { f.Draw(kGreen, [] { SetDrawBright(128, 128, 128); }); }, kNewFrame, 0},
        {"something else drawn on the back screen", [] {},
         [](const Frame &f) {
             f.Draw(
                 kGreen, [] {},
                 [] {
                     const ImageRect corner = {kWidth - 4, kHeight - 4, kWidth, kHeight};
                     ClearDrawScreen(&corner);
                 });
         },
         kNewFrame, kGreen},
        {"a part of the window to paint again",
         [window] {
             const RECT part = {0, 0, 8, 8};
             InvalidateRect(window, &part, FALSE);
             Pump();
         },
         [](const Frame &f) { f.Draw(kGreen); }, kShownAgain, kGreen},
        {"the window moved",
         [window] {
             RECT place;
             GetWindowRect(window, &place);
             SetWindowPos(window, nullptr, place.left + 1, place.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
             Pump();
         },
         [](const Frame &f) { f.Draw(kGreen); }, kShownAgain, kGreen},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        Pump();
        ASSERT_EQ(seen(kGreen), frame.Shown([&] {
            frame.Draw(kGreen);
            RefreshScreen();  // shown whether it was new or not
        }));
        c.Change();
        uint32_t before = 0, after = 0;
        const uint32_t shown = frame.Shown([&] {
            GetScreenWriteCount(&before);
            c.Next(frame);
            GetScreenWriteCount(&after);
        });
        SetDrawBright(255, 255, 255);
        if (c.Result != kShownAgain) {
            EXPECT_EQ(c.Result == kSkipped, before == after);
        }
        if (c.Result == kSkipped) {
            EXPECT_EQ(kWhite, shown);
        } else if (c.Color != 0) {
            EXPECT_EQ(seen(c.Color), shown);
        } else {
            EXPECT_NE(kWhite, shown);
        }
    }
    SetWindowSizeExtendRate(1.0, 1.0);
    TerminateGraphics();
}

TEST(UnchangedFrame, IsNotPresentedAgainUnlessTheWindowOrTheFrameChanged)
{
    // The software screen keeps what was drawn at any size; Direct3D 11 draws into the window's
    // own back buffer at the screen's size, whose content a present ends, and so redraws it.
    ASSERT_EQ(0, OpenDrawingWindow("unchanged frame", kWidth, kHeight));
    GetSubsystemHooks()->MarkScreenShownAgain = MarkScreenShownAgain;  // as the library's start-up sets it
    // Direct3D 11 first: its swap chain is made at the client's size only while the window has
    // never been another.
    if (getenv("TARVEX_D3D11_DISABLED") == nullptr) {
        RunCases(true, 1.0, false);
        RunCases(true, 2.0, false);
    }
    RunCases(false, 1.0, true);
    RunCases(false, 2.0, true);
    GetSubsystemHooks()->MarkScreenShownAgain = nullptr;
    CloseDrawingWindow();
}

}  // namespace
