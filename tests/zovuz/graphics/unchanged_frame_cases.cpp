#include "tests/zovuz/graphics/unchanged_frame_cases.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/window_capture.h"
#include "zovuz/graphics/graph/graph_internal.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr uint32_t kWhite = 0xFFFFFF, kGreen = 0x20C040, kBlue = 0x3050E0;
constexpr uint32_t kPresented = 0x1000000;  // a present counted, whatever it showed

struct Frame
{
    int Graph = -1;
    double Rate = 1.0;  // the window's size scale
    std::function<unsigned()> Presents;

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
    // What Show presented: the window's pixel near its top-left corner after a GDI paint of white
    // (white: nothing); where presents are counted, kPresented, or white when none was made.
    uint32_t Shown(const std::function<void()> &Show) const
    {
        HWND window = (HWND)GetMainWindowHandle();
        const int width = (int)(kWidth * Rate), height = (int)(kHeight * Rate);
        const unsigned presents = Presents ? Presents() : 0;
        PaintWindow(window, 0, 0, width, height, kWhite);
        Show();
        if (Presents) return Presents() != presents ? kPresented : kWhite;
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

}  // namespace

void RunUnchangedFrameCases(const UnchangedFrameRenderer &Renderer, double Rate)
{
    SCOPED_TRACE(std::string(Renderer.Name) + " at " + std::to_string(Rate));
    ASSERT_EQ(0, Renderer.Start(kWidth, kHeight));
    SetWindowSizeExtendRate(Rate, Rate);
    SetDrawValidGraphCreateFlag(1);
    Frame frame;
    frame.Graph = MakeGraph(kWidth / 2, kHeight / 2, 0);
    frame.Rate = Rate;
    frame.Presents = Renderer.Presents;
    const bool counted = Renderer.Presents != nullptr;
    const auto seen = [counted](uint32_t Color) { return counted ? kPresented : Color; };
    SetDrawValidGraphCreateFlag(0);
    ASSERT_GE(frame.Graph, 0);
    HWND window = (HWND)GetMainWindowHandle();
    const bool skips = Renderer.SkipsWithoutSubBackBuffer || Rate != 1.0;
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
