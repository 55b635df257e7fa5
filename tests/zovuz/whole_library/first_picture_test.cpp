// The first picture: the library started on the software renderer shows in its window exactly
// what was written into the draw screen, over the background colour.
#include "zovuz/startup/startup_internal.h"

#include "tests/support/window_capture.h"
#include "zovuz/core/library_state.h"
#include "zovuz/core/zovuz_core.h"
#include "zovuz/graphics/zovuz_graphics_backend.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <tlhelp32.h>

#include <string>
#include <vector>

namespace {

// The modules of this process whose name starts with "d3d".
std::vector<std::wstring> LoadedDirect3DModules()
{
    std::vector<std::wstring> found;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, GetCurrentProcessId());
    MODULEENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Module32FirstW(snapshot, &entry); more; more = Module32NextW(snapshot, &entry))
        if (_wcsnicmp(entry.szModule, L"d3d", 3) == 0)
            found.push_back(entry.szModule);
    CloseHandle(snapshot);
    return found;
}

uint32_t Pattern(int X, int Y) { return (uint32_t)(X * 5 & 0xFF) << 16 | (uint32_t)(Y * 9 & 0xFF) << 8 | ((X + Y) & 0xFF); }

TEST(FirstPicture, TheWindowShowsThePatternOverTheBackground)
{
    SetUseHardwareRenderFlag(0);
    ChangeWindowMode(1);
    SetGraphMode(320, 240, 32, 60);
    SetAlwaysRunFlag(1);
    SetBackgroundColor(24, 24, 24);
    SetMainWindowText("first picture");
    ASSERT_EQ(0, LibraryInit());
    EXPECT_EQ(std::vector<std::wstring>(), LoadedDirect3DModules());
    EXPECT_EQ(0, GetUseHardwareRenderFlag());
    EXPECT_EQ(-1, SetUseHardwareRenderFlag(1));  // too late once the library runs
    EXPECT_EQ(DX_SCREEN_FRONT, GetDrawScreenHandle());
    ASSERT_EQ(0, SetDrawScreen(DX_SCREEN_BACK));
    for (int i = 0; i < 5; ++i)
        ProcessMessage();

    // The pattern fills (40, 30)-(240, 180); the rest keeps the background of the screen.
    const int left = 40, top = 30, width = 200, height = 150;
    ImageRect rect = {left, top, left + width, top + height};
    BASEIMAGE image;
    ASSERT_EQ(0, LockDrawScreenBuffer(&rect, &image, -1, 0, 0, 0, 0));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            ((uint32_t *)((uint8_t *)image.Pixels + y * image.Pitch))[x] = Pattern(x, y);
    ASSERT_EQ(0, UnlockDrawScreenBuffer());
    ASSERT_EQ(0, ScreenFlip());

    WindowCapture shot = CaptureWindow(GetMainWindowHandle(), 0, 0, 320, 240);
    ASSERT_FALSE(shot.Empty());
    int wrong = 0, wrongPixel = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            bool inside = x >= left && x < left + width && y >= top && y < top + height;
            uint32_t want = inside ? Pattern(x - left, y - top) : 0x181818u;
            wrong += shot.At(x, y) != want;
            uint32_t pixel = GetPixel(x, y);
            wrongPixel += (pixel & 0xFFFFFF) != want;
        }
    EXPECT_EQ(0, wrong);
    EXPECT_EQ(0, wrongPixel);
    EXPECT_EQ(GetColorValue(24, 24, 24), GetPixel(0, 0));
    EXPECT_EQ(0, LibraryEnd());
    EXPECT_EQ(-1, ScreenFlip());  // the library has ended
}

}  // namespace
