// The library on the Direct3D 9 back end, as it starts where Direct3D 11 cannot: the first frame
// in the window, rebuilds of the device with the lost and restore callbacks around them, a lost
// device found by the pump, a rebuild that cannot make its device, drawing that shows the same
// after every rebuild, a clean end and a second start after it. Run again with d3d9.dll switched
// off, the same start lands on the software renderer.
#include "zovuz/startup/startup_internal.h"

#include "tests/support/test_files.h"
#include "tests/support/window_capture.h"
#include "tests/zovuz/d3d9/d3d9_fixture.h"
#include "tests/zovuz/graphics/image_fixture.h"
#include "zovuz/core/zovuz_core.h"
#include "zovuz/d3d9/device/windows/d3d9_device_win.h"
#include "zovuz/d3d9/zovuz_d3d9.h"
#include "zovuz/graphics/zovuz_graphics.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <stdlib.h>
#include <string>
#include <vector>

namespace {

// What the hooks and callbacks saw; the depth surfaces of a 640 x 480 and an 800 x 600 screen.
std::vector<std::string> &Events = D3D9Hooks.Calls;
const std::string kDepth512 = "CreateDepthStencilSurface 1024x512", kDepth1024 = "CreateDepthStencilSurface 1024x1024";

// The pixels of the window that are not exactly the colour (0x00RRGGBB) over the screen. Under
// Wine a window just made shows its first present only once its first paint has come (the paint
// presents again): its messages are taken until the colour shows, for at most 2 s.
int WrongPixels(uint32_t Color)
{
    for (const ULONGLONG start = GetTickCount64();; Sleep(10)) {
        ProcessMessage();
        const WindowCapture shot = CaptureWindow(GetMainWindowHandle(), 0, 0, 640, 480);
        if (shot.Empty()) return -1;
        int wrong = 0;
        for (uint32_t pixel : shot.Pixels) wrong += pixel != Color;
        if (wrong == 0 || GetTickCount64() - start > 2000) return wrong;
    }
}
// The count of the last memory dump in the log ("Alloc num:N"), empty without one.
std::wstring LastAllocCount()
{
    const std::wstring log = ReadLogText();
    const size_t left = log.rfind(L"Alloc num:");
    return left == std::wstring::npos ? L"" : log.substr(left, log.find_first_not_of(L"0123456789", left + 10) - left);
}
// Clears the screen to the colour and shows it.
int ShowColor(int Red, int Green, int Blue)
{
    SetBackgroundColor(Red, Green, Blue);
    if (ClearDrawScreen(nullptr) < 0) return -1;
    return ScreenFlip();
}

// The settings every start here is made with: a 640 x 480 window on the Direct3D 9 back end.
void SetUpWindowedD3D9Start()
{
    RemoveLogFile();
    ChangeWindowMode(1);
    SetAlwaysRunFlag(1);
    SetMainWindowText("d3d9 start");
    ASSERT_EQ(0, SetGraphMode(640, 480, 32, 60));
    RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D9, GetGraphicsD3D9Functions());
}

class D3D9Startup : public testing::Test
{
protected:
    void SetUp() override
    {
        if ((getenv("TARVEX_D3D9_DISABLED") != nullptr) != SoftwareRun())
            GTEST_SKIP() << "not in this run (d3d9.dll switched off or not)";
        ASSERT_NO_FATAL_FAILURE(SetUpWindowedD3D9Start());
        D3D9Calls = D3D9SystemCalls;
        D3D9Calls.Direct3DDevice9_CreateDepthStencilSurface = RecordingCreateDepthStencilSurface;
        D3D9Hooks = D3D9HookData();
        allocNum_ = GetAllocNum();
        allocSize_ = GetTotalAllocSize();
    }
    void TearDown() override
    {
        if (IsSkipped()) return;
        EXPECT_EQ(0, LibraryEnd());
        // Everything the start took was given back.
        EXPECT_EQ(allocNum_, GetAllocNum());
        EXPECT_EQ(allocSize_, GetTotalAllocSize());
        EXPECT_EQ(0, Direct3DDevice9_IsValid());
        D3D9Backend.DeviceLostCallback = D3D9Backend.DeviceRestoreCallback = nullptr;
        D3D9Calls = D3D9SystemCalls;
        RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D9, nullptr);
    }
    virtual bool SoftwareRun() const { return false; }

private:
    int allocNum_ = 0, allocSize_ = 0;
};

// The library started once for the suite's cases: each start and end takes seconds here. Each case
// begins with the system's calls in the table and no callbacks; the suite's end checks that the
// library's end gives back everything the start and the cases' rebuilds took.
class D3D9StartedLibrary : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (getenv("TARVEX_D3D9_DISABLED") != nullptr) return;
        ASSERT_NO_FATAL_FAILURE(SetUpWindowedD3D9Start());
        allocNum_ = GetAllocNum();
        allocSize_ = GetTotalAllocSize();
        started_ = LibraryInit() == 0;
    }
    static void TearDownTestSuite()
    {
        if (!started_) return;
        EXPECT_EQ(0, LibraryEnd());
        // The end's memory dump counts nothing left, and the library's own count is back.
        EXPECT_EQ(L"Alloc num:0", LastAllocCount());
        EXPECT_EQ(allocNum_, GetAllocNum());
        EXPECT_EQ(allocSize_, GetTotalAllocSize());
        EXPECT_EQ(0, Direct3DDevice9_IsValid());
        RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D9, nullptr);
        started_ = false;
    }
    void SetUp() override
    {
        if (getenv("TARVEX_D3D9_DISABLED") != nullptr) GTEST_SKIP() << "not in this run (d3d9.dll switched off)";
        ASSERT_TRUE(started_) << "the library did not start";
        D3D9Calls = D3D9SystemCalls;
        D3D9Calls.Direct3DDevice9_CreateDepthStencilSurface = RecordingCreateDepthStencilSurface;
        D3D9Hooks = D3D9HookData();
    }
    void TearDown() override
    {
        D3D9Backend.DeviceLostCallback = D3D9Backend.DeviceRestoreCallback = nullptr;
        D3D9Calls = D3D9SystemCalls;
    }

private:
    static inline int allocNum_ = 0, allocSize_ = 0;
    static inline bool started_ = false;
};

// First: the suite's start is the one checked. The first frame is shown through Direct3D 9. An
// end gives back everything the start took, the work buffers the back end's shapes borrow too (the
// end's memory dump counts what is left), and the library starts again on the same back end; the
// cases after this one run on that second start.
TEST_F(D3D9StartedLibrary, TheFirstFrameAndASecondStartAfterAnEndAreShownThroughDirect3D9)
{
    const std::wstring started = ReadLogText();
    EXPECT_NE(std::wstring::npos, started.find(L"IDirect3DDevice9Ex オブジェクトを取得します.... "));
    EXPECT_NE(std::wstring::npos, started.find(L"32bit カラーフォーマットは D3DFMT_X8R8G8B8 です"));
    EXPECT_EQ(GRAPHICS_API_D3D9, GetGraphicsAPIType());
    EXPECT_EQ(1, GetHardwareGraphicsFlag());
    ASSERT_EQ(0, ShowColor(200, 100, 50));
    EXPECT_EQ(0, WrongPixels(0xC86432));
    ASSERT_EQ(0, DrawCircle(100, 100, 50, GetColorValue(255, 255, 255), TRUE));
    ASSERT_EQ(0, ShowColor(200, 100, 50));
    ASSERT_EQ(0, LibraryEnd());
    EXPECT_EQ(L"Alloc num:0", LastAllocCount());
    EXPECT_EQ(0, Direct3DDevice9_IsValid());
    ASSERT_EQ(0, LibraryInit());
    EXPECT_EQ(GRAPHICS_API_D3D9, GetGraphicsAPIType());
    ASSERT_EQ(0, ShowColor(30, 60, 90));
    EXPECT_EQ(0, WrongPixels(0x1E3C5A));
}

TEST_F(D3D9StartedLibrary, ARebuildThatCannotMakeItsDeviceFailsAndLeavesNothing)
{
    D3D9Backend.DeviceRestoreCallback = [](void *) { Events.push_back("restored"); };
    Events.clear();
    D3D9Hooks.FailDepthSurfaceFrom = D3D9Hooks.DepthSurfaces + 1;
    EXPECT_EQ(-1, Graphics_Hardware_ChangeScreenMode(0, -1, -1, -1, -1));
    EXPECT_EQ(std::vector<std::string>({kDepth512}), Events) << "no restore after a failed rebuild";
    D3D9Hooks.FailDepthSurfaceFrom = 0;
    EXPECT_EQ(0, Direct3DDevice9_IsValid());
    EXPECT_EQ(nullptr, D3D9CallLayer.Module);
    // Drawing and presenting on the missing device fail without harm, and a later rebuild works.
    ClearDrawScreen(nullptr);
    ScreenFlip();
    EXPECT_EQ(0, RestoreGraphicsDevice());
    ASSERT_EQ(0, ShowColor(5, 100, 5));
    EXPECT_EQ(0, WrongPixels(0x056405));
}

// A box and a graph drawn and shown, then the device goes and comes back by each road the
// library takes: the lost and restore callbacks run around a new Z buffer where the road loses the
// device, the draw area the program asked for is kept, and the same drawing shows the same picture.
// A clear alone does not tell, as it bypasses the draw state the rebuild must put back.
TEST_F(D3D9StartedLibrary, EachRebuildRunsTheCallbacksAndDrawsAsBefore)
{
    D3D9Backend.DeviceLostCallback = [](void *) { Events.push_back("lost"); };
    D3D9Backend.DeviceRestoreCallback = [](void *Data) { Events.push_back(*(const char **)Data); };
    static const char *restored = "restored";
    D3D9Backend.DeviceRestoreCallbackData = &restored;
    // A 16 x 16 graph of four coloured quarters, loaded from a file image in memory so that the
    // rebuild fills it again: a stale or missing texture shows.
    std::vector<std::vector<uint32_t>> rows(16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            rows[y].push_back(y < 8 ? (x < 8 ? 0xE0A020 : 0x20C040) : (x < 8 ? 0x4060E0 : 0xF0F0F0));
    BmpSpec bmp;
    bmp.Width = bmp.Height = 16;
    bmp.Data = PackBmpRows(24, 16, rows, true);
    const Bytes file = BuildBmp(bmp);
    int graph = -1;
    const auto drawScene = [&] {
        // A mode change by reset makes graphics anew and takes the graph with them.
        if (!IsValidGraphHandle(graph))
            CreateDivGraphFromMem(file.data(), (int)file.size(), 1, 1, 1, 16, 16, &graph, 0, 0, nullptr, 0);
        SetBackgroundColor(0, 0, 64);
        ClearDrawScreen(nullptr);
        SetDrawArea(40, 40, 400, 300);
        DrawBox(20, 30, 140, 110, GetColorValue(200, 40, 10), TRUE);
        DrawGraph(300, 200, graph, FALSE);
        ScreenFlip();
        for (int i = 0; i < 3; ++i) ProcessMessage();
        return CaptureWindow(GetMainWindowHandle(), 0, 0, 640, 480);
    };
    const WindowCapture before = drawScene();
    ASSERT_FALSE(before.Empty());
    ASSERT_EQ(0xC8280Au, before.At(80, 70));
    ASSERT_EQ(0xE0A020u, before.At(303, 203));
    ASSERT_EQ(0xF0F0F0u, before.At(312, 212));

    const struct
    {
        const char *Name;
        int (*Rebuild)(void);
        std::vector<std::string> Events;  // the callbacks and hooks in order; not checked when empty
    } roads[] = {
        // A mode-0 change, then the device objects released twice (harmless) and a rebuild in
        // place: the second rebuild finds the callbacks and the draw area as the first left them,
        // and brings back the device the releases took.
        {"a mode-0 change, then released twice and rebuilt",
         [] {
             const int first = Graphics_Hardware_ChangeScreenMode(0, -1, -1, -1, -1);
             if (first != 0) return first;
             Graphics_Hardware_ReleaseDeviceObjects();
             Graphics_Hardware_ReleaseDeviceObjects();
             if (Direct3DDevice9_IsValid()) return -1;
             return RestoreGraphicsDevice();
         },
         {"lost", kDepth512, "restored", "lost", kDepth512, "restored"}},
        // A lost device is found by the pump's check and rebuilt once; a healthy one is left alone.
        {"lost, found by the pump",
         [] {
             D3D9Calls.Direct3DDevice9_TestCooperativeLevel = LosingTestCooperativeLevel;
             D3D9Hooks.DeviceNotResetAnswers = 1;
             int result = Graphics_Hardware_RestoreLostDevice();
             if (result == 0) result = Graphics_Hardware_RestoreLostDevice();
             D3D9Calls.Direct3DDevice9_TestCooperativeLevel = D3D9SystemCalls.Direct3DDevice9_TestCooperativeLevel;
             return result;
         },
         {"TestCooperativeLevel", "lost", kDepth512, "restored", "TestCooperativeLevel"}},
        // A window-mode change takes this road: graphics end and start again.
        {"the same mode forced", [] { return ChangeScreenMode(640, 480, 32, 1, 60); }, {}},
    };
    for (const auto &road : roads) {
        SCOPED_TRACE(road.Name);
        const ImageRect area = GraphicsDrawSettings.DrawArea;
        Events.clear();
        ASSERT_EQ(0, road.Rebuild());
        EXPECT_EQ(1, Direct3DDevice9_IsValid());
        if (!road.Events.empty()) {
            EXPECT_EQ(road.Events, Events);
            EXPECT_EQ(0, memcmp(&area, &GraphicsDrawSettings.DrawArea, sizeof(area)));
        }
        const WindowCapture after = drawScene();
        ASSERT_EQ(before.Pixels.size(), after.Pixels.size());
        int differ = 0;
        for (size_t i = 0; i < before.Pixels.size(); ++i) differ += before.Pixels[i] != after.Pixels[i];
        EXPECT_EQ(0, differ) << "box " << std::hex << after.At(80, 70) << ", graph " << after.At(303, 203) << " "
                             << after.At(312, 212);
    }
}

// Last: the screen stays at the new size.
TEST_F(D3D9StartedLibrary, AModeChangeStartsTheBackEndAgainAtTheNewSize)
{
    Events.clear();
    ASSERT_EQ(0, ChangeScreenMode(800, 600, 32, 0, 60));
    EXPECT_EQ(GRAPHICS_API_D3D9, GetGraphicsAPIType());
    EXPECT_EQ(std::vector<std::string>({kDepth1024}), Events);
    D3DSURFACE_DESC desc = {};
    Direct3DSurface9_GetDesc(D3D9DeviceCapsInfo.BackBuffer, &desc);
    EXPECT_EQ(800u, desc.Width);
    EXPECT_EQ(600u, desc.Height);
}

class D3D9StartupWithoutD3D9 : public D3D9Startup
{
protected:
    bool SoftwareRun() const override { return true; }
};

TEST_F(D3D9StartupWithoutD3D9, TheSameStartLandsOnTheSoftwareRenderer)
{
    ASSERT_EQ(0, LibraryInit());
    const std::wstring log = ReadLogText();
    EXPECT_NE(std::wstring::npos, log.find(L"d3d9.dll の読み込みに失敗しました"));
    // Beside it, the call that failed and the loader's code (not 0: the load did fail).
    EXPECT_NE(std::wstring::npos, log.find(L"LoadLibraryW(d3d9.dll) failed: 0x"));
    EXPECT_EQ(std::wstring::npos, log.find(L"LoadLibraryW(d3d9.dll) failed: 0x00000000"));
    EXPECT_EQ(GRAPHICS_API_SOFTWARE, GetGraphicsAPIType());
    ASSERT_EQ(0, ShowColor(30, 60, 90));
    EXPECT_EQ(0, WrongPixels(0x1E3C5A));
}

}  // namespace
