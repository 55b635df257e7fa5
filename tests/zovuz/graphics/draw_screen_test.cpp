// Graphics start-up and its failure, the draw screen's settings and lock, the screen-mode change
// with and without the graphics reset, and the software mask screen.
#include "tests/zovuz/graphics/graphics_start_fixture.h"
#include "tests/zovuz/graphics/hardware_fixture.h"
#include "zovuz/graphics/display_internal.h"
#include "zovuz/graphics/image/base_image_internal.h"

#include <windows.h>

#include <functional>

namespace {

TEST(GraphicsStartup, AFailedStartLeavesGraphicsEnded)
{
    // Without COM the vertical-blank object cannot be made: the software renderer fails to start.
    EXPECT_EQ(-1, StartSoftwareGraphics(64, 48, 32));
    EXPECT_EQ(0, GetHandleManage(DX_HANDLETYPE_GRAPH)->InitializeFlag);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    EXPECT_EQ(-1, SetGraphMode(64, 48, 24, 60));
    EXPECT_EQ(-1, StartSoftwareGraphics(30000, 30000, 32));  // 3.6 GB of screen
    EXPECT_EQ(0, GraphicsState.GraphicsStartedFlag);
    EXPECT_EQ(0, GetHandleManage(DX_HANDLETYPE_GRAPH)->InitializeFlag);
    EXPECT_EQ(0, GetHandleManage(DX_HANDLETYPE_MASK_IMAGE)->InitializeFlag);
    EXPECT_EQ(nullptr, DirectDraw7_GetObject());
    EXPECT_EQ(-1, MakeGraph(8, 8, 0));
    // A start that can make its screens works afterwards, and an end leaves nothing behind.
    int blocks = GetAllocNum();
    SetBackgroundColor(0, 0, 255);
    ASSERT_EQ(0, StartSoftwareGraphics(64, 48, 16));
    EXPECT_EQ(64, SoftwareScreen.Screen.Width);
    EXPECT_EQ(16, ColorValueTarget.ScreenBitDepth);
    EXPECT_EQ(2, GetMemImgPixelBytes(SoftwareScreen.Screen.Base));
    EXPECT_EQ(0x001Fu, GetPixel(63, 47));  // the background, as a 5-6-5 value
    GraphicsState.BackgroundSetFlag = 0;
    EXPECT_EQ(DX_SCREEN_FRONT, GetDrawScreenHandle());
    EXPECT_GE(MakeGraph(8, 8, 0), 0);
    EXPECT_EQ(0, TerminateGraphics());
    EXPECT_EQ(0, GetHandleManage(DX_HANDLETYPE_GRAPH)->InitializeFlag);
    EXPECT_EQ(blocks, GetAllocNum());
    CoUninitialize();
}

class DrawScreen : public SoftwareGraphics
{
protected:
    void TearDown() override
    {
        SetLibraryStarted(0);
        SetGraphicsResetOnScreenModeChangeFlag(1);
    }
    // Mode changes act only once the library runs.
    void StartLibrary() { SetLibraryStarted(1); }
    int ScreenWidthNow() { return GraphicsScreenSettings.MainScreenWidth; }
};

TEST_F(DrawScreen, SettingsAreCheckedAndClampedAsTheyAreStored)
{
    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    struct Case
    {
        const char *Name;
        std::function<int()> Call;
        int Result;
        std::function<bool()> Stored;
    } cases[] = {
        {"blend parameter above 255", [] { return SetDrawBlendMode(1, 300); }, 0,
         [&] { return d.BlendMode == 1 && d.BlendParam == 255; }},
        {"blend parameter below 0", [] { return SetDrawBlendMode(1, -5); }, 0, [&] { return d.BlendParam == 0; }},
        {"bright clamped", [] { return SetDrawBright(300, -1, 7); }, 0,
         [&] { return d.DrawBrightRed == 255 && d.DrawBrightGreen == 0 && d.DrawBrightBlue == 7; }},
        {"alpha test parameter clamped", [] { return SetDrawAlphaTest(2, 999); }, 0,
         [&] { return d.AlphaTestMode == 2 && d.AlphaTestParam == 255; }},
        {"area corners ordered", [] { return SetDrawArea(100, 100, 50, 50); }, 0,
         [&] { return d.DrawArea.left == 50 && d.DrawArea.bottom == 100 && !d.DrawAreaEmptyFlag; }},
        {"area clamped to the target", [] { return SetDrawArea(-10, 20, 500, 30); }, 0,
         [&] { return d.DrawArea.left == 0 && d.DrawArea.right == kScreenWidth; }},
        {"empty area", [] { return SetDrawArea(0, 0, 0, 0); }, 0, [&] { return d.DrawAreaEmptyFlag == 1; }},
        {"24-bit mode", [] { return SetGraphMode(kScreenWidth, kScreenHeight, 24, 60); }, -1,
         [] { return GetScreenColorBitDepth() == 32; }},
        {"no width", [] { return SetGraphMode(0, 100, 32, 60); }, -1, [] { return true; }},
        {"a display past the only one", [] { return SetUseDisplayIndex(1); }, -1,
         [] { return GraphicsScreenSettings.DisplayChosenFlag == 0; }},
        {"blend graph type 3", [] { return SetBlendGraphParam(-1, 3); }, -1, [] { return true; }},
        {"transparent colour", [] { return SetTransColor(0x12, 0x345, 0x56); }, 0,
         [] {
             int r, g, b;
             return GetTransColor(&r, &g, &b) == 0 && r == 0x12 && g == 0x45 && b == 0x56;
         }},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.Result, c.Call()) << c.Name;
        EXPECT_TRUE(c.Stored()) << c.Name;
    }
    EXPECT_EQ(0xFFFFFFFFu, GetPixel(-1, 0));
    EXPECT_EQ(0xFFFFFFFFu, GetPixel(0, kScreenHeight));
    SetDrawBright(255, 255, 255);
    SetDrawAlphaTest(-1, 0);
    SetTransColor(0, 0, 0);
}

TEST_F(DrawScreen, ALockDescribesTheTargetsPixelsInsideIt)
{
    struct Case
    {
        const char *Name;
        ImageRect Rect;
        int Result;
    } cases[] = {
        {"inside", {3, 4, 10, 6}, 0},    {"whole", {0, 0, kScreenWidth, kScreenHeight}, 0},
        {"negative", {-1, 0, 4, 4}, -1}, {"past the right", {0, 0, kScreenWidth + 1, 4}, -1},
        {"empty", {4, 4, 4, 8}, -1},
    };
    for (const Case &c : cases) {
        BASEIMAGE image;
        ASSERT_EQ(c.Result, LockDrawScreenBuffer(&c.Rect, &image, -1, 0, 0, 0, 0)) << c.Name;
        if (c.Result < 0) continue;
        EXPECT_EQ(c.Rect.right - c.Rect.left, image.Width) << c.Name;
        // The first pixel of the description is the rectangle's: what is written there is read back.
        *(uint32_t *)image.Pixels = 0x00ABCDEF;
        UnlockDrawScreenBuffer();
        EXPECT_EQ(0x00ABCDEFu, GetPixel(c.Rect.left, c.Rect.top)) << c.Name;
    }
    EXPECT_EQ(0, UnlockDrawScreenBuffer());
}

TEST_F(DrawScreen, AModeChangeWithoutResetKeepsGraphsAndFollowsWithTheScreen)
{
    SetGraphicsResetOnScreenModeChangeFlag(0);
    EXPECT_EQ(0, ChangeScreenMode(100, 80, -1, 0, -1));  // the library does not run yet
    EXPECT_EQ(kScreenWidth, ScreenWidthNow());
    StartLibrary();
    int graph = MakeGraph(16, 16, 0);
    FillGraph(graph, 1, 2, 3, 255);
    // The same mode changes nothing unless forced; forced, the screens are made anew.
    ImageRect one = {0, 0, 1, 1};
    BASEIMAGE lock;
    ASSERT_EQ(0, LockDrawScreenBuffer(&one, &lock, -1, 0, 0, 0, 0));
    *(uint32_t *)lock.Pixels = 0x00123456;
    UnlockDrawScreenBuffer();
    EXPECT_EQ(0, ChangeScreenMode(-1, -1, -1, 0, -1));
    EXPECT_EQ(0x00123456u, GetPixel(0, 0));
    int blocks = GetAllocNum();
    EXPECT_EQ(0, ChangeScreenMode(-1, -1, -1, 1, -1));
    EXPECT_EQ(GetColorValue(0, 0, 0), GetPixel(0, 0));
    EXPECT_EQ(blocks, GetAllocNum());
    ASSERT_EQ(0, ChangeScreenMode(100, 80, -1, 0, -1));
    EXPECT_EQ(100, SoftwareScreen.Screen.Width);
    EXPECT_EQ(100, GraphicsDrawSettings.DrawSizeX);  // the back screen is the draw target still
    EXPECT_EQ(DX_SCREEN_BACK, GetDrawScreenHandle());
    EXPECT_EQ(0xFFFFFFFFu, GetPixel(120, 0));
    EXPECT_EQ(0x010203u, ReadPixels(graph, 0, 0, 1, 1)[0] & 0xFFFFFF);
    // A window larger than the desktop is not asked for.
    EXPECT_EQ(0, ChangeScreenMode(100000, 80, -1, 0, -1));
    EXPECT_EQ(100, ScreenWidthNow());
    // SetGraphMode after the start says what took effect.
    EXPECT_EQ(0, SetGraphMode(100, 80, 32, 60));
    EXPECT_EQ(0, SetGraphMode(kScreenWidth, kScreenHeight, 32, 60));
    EXPECT_EQ(kScreenWidth, SoftwareScreen.Screen.Width);
    DeleteGraph(graph);
}

TEST_F(DrawScreen, AModeChangeWithResetStartsGraphicsAgainOrFallsBack)
{
    StartLibrary();
    SetDrawValidGraphCreateFlag(1);
    int graph = MakeGraph(16, 16, 0);
    SetDrawValidGraphCreateFlag(0);
    ASSERT_EQ(0, SetDrawScreen(graph));
    ASSERT_EQ(0, ChangeScreenMode(128, 96, 32, 0, 60));
    EXPECT_EQ(0, IsValidGraphHandle(graph));
    EXPECT_EQ(DX_SCREEN_FRONT, GetDrawScreenHandle());
    EXPECT_EQ(128, GraphicsDrawSettings.DrawSizeX);
    // A mode whose screens cannot be made falls back to the mode before it.
    EXPECT_EQ(0, ChangeScreenMode(30000, 30000, 32, 0, 60));
    EXPECT_EQ(128, ScreenWidthNow());
    EXPECT_EQ(1, GraphicsState.GraphicsStartedFlag);
    EXPECT_EQ(-1, SetGraphMode(30000, 30000, 32, 60));  // nothing took effect
    ASSERT_EQ(0, ChangeScreenMode(kScreenWidth, kScreenHeight, 32, 0, 60));
}

// The application's frame stretches one draw-screen graph over the whole back screen at every
// frame, mostly with the same pixels: the stretch must still show whatever changed in between,
// on the screen, in the graph or in the settings it is drawn with.
TEST_F(DrawScreen, AStretchDrawnAgainShowsWhateverChangedSinceTheOneBefore)
{
    constexpr int kWidth = kScreenWidth / 2, kHeight = kScreenHeight / 2;
    SetDrawValidGraphCreateFlag(1);
    const TestImage pattern = MakeTestImage(kWidth, kHeight, PatternA);
    const int source = MakeGraphOfPixels(kWidth, kHeight, pattern.Pixels.data());
    const int other = MakeGraphOfPixels(kWidth, kHeight, MakeTestImage(kWidth, kHeight, PatternB).Pixels.data());
    const int reference = MakeGraph(kScreenWidth, kScreenHeight, 0);
    SetDrawValidGraphCreateFlag(0);
    ASSERT_GE(source, 0);
    ASSERT_GE(other, 0);
    ASSERT_GE(reference, 0);
    const unsigned int red = GetColorValue(255, 0, 0);
    // Upside down, the graph's last row is drawn at the top.
    bool mirrored = false;
    auto stretch = [&] {
        ASSERT_EQ(
            0, DrawExtendGraph(0, mirrored ? kScreenHeight : 0, kScreenWidth, mirrored ? 0 : kScreenHeight, source, 0));
    };
    // The draw area the case keeps for all its stretches, and where they are compared.
    const ImageRect whole = {0, 0, kScreenWidth, kScreenHeight};
    ImageRect clip = whole;
    // The screen's pixels as they are (a lock would count as a change of its own).
    auto screen = [&] {
        const MEMIMG &s = SoftwareScreen.Screen;
        std::vector<uint32_t> pixels;
        for (int y = clip.top; y < clip.bottom; ++y) {
            const uint32_t *row = (const uint32_t *)(s.UseImage + (size_t)y * s.Base->Pitch);
            pixels.insert(pixels.end(), row + clip.left, row + clip.right);
        }
        return ColorBits(pixels);
    };
    // What the stretch draws with the settings in effect, drawn where nothing was drawn before.
    auto expected = [&] {
        SetDrawScreen(reference);
        SetDrawArea(clip.left, clip.top, clip.right, clip.bottom);
        stretch();
        SetDrawScreen(DX_SCREEN_BACK);
        return ColorBits(ReadPixels(reference, clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top));
    };
    // Two rows of the graph far apart: the rows between them stay as they were.
    auto changeRows = [&] {
        SetDrawScreen(source);
        DrawBox(0, 2, kWidth, 3, red, 1);
        DrawBox(5, kHeight - 10, 9, kHeight - 9, red, 1);
        SetDrawScreen(DX_SCREEN_BACK);
    };
    // A pixel of the graph that a clipped stretch shows at the clip's right and bottom edges (the
    // stretch doubles it: source column 20 is target columns 40 and 41, the first of them the last
    // of the clip).
    const ImageRect corner = {0, 0, 41, 31};
    auto changeCornerPixel = [&] {
        SetDrawScreen(source);
        const int row = mirrored ? kHeight - 16 : 15;
        DrawBox(20, row, 21, row + 1, red, 1);
        SetDrawScreen(DX_SCREEN_BACK);
        SetDrawArea(clip.left, clip.top, clip.right, clip.bottom);
    };
    struct Case
    {
        const char *Name;
        bool Mirrored;
        ImageRect Clip;
        std::function<void()> First;    // before the first stretch
        std::function<void()> Between;  // between the two
        std::function<void()> Then;     // before a third
    } cases[] = {
        {"nothing", false, whole, [] {}, [] {}, [] {}},
        {"a box on the screen", false, whole, [] {}, [&] { DrawBox(10, 10, 50, 40, red, 1); }, [] {}},
        {"a clear of the screen", false, whole, [] {}, [] { ClearDrawScreen(nullptr); }, [] {}},
        {"a write through a lock of the screen", false, whole, [] {},
         [] {
             const ImageRect rect = {30, 20, 31, 21};
             BASEIMAGE image;
             ASSERT_EQ(0, LockDrawScreenBuffer(&rect, &image, -1, 0, 0, 0, 0));
             *(uint32_t *)image.Pixels = 0x00ABCDEF;
             UnlockDrawScreenBuffer();
         },
         [] {}},
        {"another graph stretched on the screen", false, whole, [] {},
         [&] { DrawExtendGraph(0, 0, kScreenWidth, kScreenHeight, other, 0); }, [] {}},
        {"a pixel of the graph", false, whole, [] {},
         [&] {
             SetDrawScreen(source);
             DrawBox(kWidth - 1, kHeight - 1, kWidth, kHeight, red, 1);
             SetDrawScreen(DX_SCREEN_BACK);
         },
         [] {}},
        {"the first stretch clipped", false, whole, [] { SetDrawArea(0, 0, kScreenWidth, kScreenHeight / 2); },
         [] { SetDrawArea(0, 0, kScreenWidth, kScreenHeight); }, [] {}},
        {"a tint", false, whole, [] {}, [] { SetDrawBright(128, 255, 64); }, [] {}},
        {"rows far apart in the graph", false, whole, [] {}, [&] { changeRows(); }, [] {}},
        {"rows far apart in the graph, drawn upside down", true, whole, [] {}, [&] { changeRows(); }, [] {}},
        {"rows of the graph changed and back again", false, whole, [] {}, [&] { changeRows(); },
         [&] { FillGraphOfPixels(source, kWidth, kHeight, pattern.Pixels.data()); }},
        {"a clipped stretch, the graph changed where the clip ends", false, corner, [] {}, [&] { changeCornerPixel(); },
         [] {}},
        {"a clipped stretch upside down, the graph changed where the clip ends", true, corner, [] {},
         [&] { changeCornerPixel(); }, [] {}},
    };
    for (const Case &c : cases) {
        SetDrawArea(0, 0, kScreenWidth, kScreenHeight);
        ClearDrawScreen(nullptr);
        mirrored = c.Mirrored;
        clip = c.Clip;
        SetDrawArea(clip.left, clip.top, clip.right, clip.bottom);
        c.First();
        stretch();
        c.Between();
        stretch();
        c.Then();
        stretch();
        EXPECT_EQ(expected(), screen()) << c.Name;
        SetDrawBright(255, 255, 255);
        FillGraphOfPixels(source, kWidth, kHeight, pattern.Pixels.data());
    }
    SetDrawArea(0, 0, kScreenWidth, kScreenHeight);
    for (int graph : {source, other, reference}) DeleteGraph(graph);
}

TEST_F(DrawScreen, TheMaskLetsDrawingThroughWhereItsBytesAreZero)
{
    MaskScreenData &m = MaskScreen;
    EXPECT_EQ(-1, SetUseMaskScreenFlag(1));  // no mask buffer
    EXPECT_EQ(0, CreateMaskScreen(0, 5, 3));
    EXPECT_EQ(nullptr, m.MaskBuffer);
    ASSERT_EQ(0, CreateMaskScreen(1, 5, 3));
    EXPECT_EQ(8, m.Pitch);
    m.MaskBuffer[1 * 8 + 1] = 1;
    ASSERT_EQ(0, CreateMaskScreen(1, 2, 2));  // smaller: the larger size stays
    EXPECT_EQ(5, m.Width);
    ASSERT_EQ(0, CreateMaskScreen(1, kScreenWidth, kScreenHeight));  // grows, keeping its bytes
    EXPECT_EQ(1, m.MaskBuffer[1 * m.Pitch + 1]);
    EXPECT_EQ(0, m.MaskBuffer[1 * m.Pitch + 2]);

    ASSERT_EQ(0, SetUseMaskScreenFlag(1));
    EXPECT_EQ(0, GraphicsDrawSettings.MaskValidFlag);  // not created: not in effect
    m.CreatedFlag = 1;
    ASSERT_EQ(0, SetUseMaskScreenFlag(1));
    EXPECT_EQ(&m.WorkImage, GetSoftwareDrawTarget());
    BASEIMAGE screen;
    ImageRect rect = {0, 0, 4, 4};
    ASSERT_EQ(0, LockDrawScreenBuffer(&rect, &screen, -1, 0, 0, 0, 0));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) *(uint32_t *)((uint8_t *)screen.Pixels + y * screen.Pitch + x * 4) = PatternA(x, y);
    UnlockDrawScreenBuffer();
    // Drawing starts from the present picture; only the outermost pair acts.
    auto work = [&](int X, int Y) { return (uint32_t *)(m.WorkImage.UseImage + Y * m.WorkImage.Base->Pitch + X * 4); };
    MaskDrawBegin(0, 0, 4, 4);
    EXPECT_EQ(PatternA(3, 3), *work(3, 3));
    *work(1, 1) = *work(2, 1) = 0x00777777;
    MaskDrawBegin(0, 0, 4, 4);
    MaskDrawEnd(0, 0, 4, 4);
    EXPECT_EQ(PatternA(2, 1), GetPixel(2, 1));
    MaskDrawEnd(0, 0, 4, 4);
    EXPECT_EQ(0x00777777u, GetPixel(2, 1));
    EXPECT_EQ(PatternA(1, 1), GetPixel(1, 1));  // masked

    ASSERT_EQ(0, DeleteMaskScreen());
    EXPECT_EQ(0, GraphicsDrawSettings.MaskValidFlag);
    EXPECT_EQ(&SoftwareScreen.Screen, GetSoftwareDrawTarget());
    GraphicsDrawSettings.UseMaskScreenFlag = 1;
}

// With a device, every step of the mask reaches the back end, in the mask module's order.
TEST_F(DrawScreen, TheMaskOnADeviceHandsEachStepToTheBackEnd)
{
    GraphicsHardwareFunctions table = RecordingHardwareTable();
    RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, &table);
    GraphicsAPIType = GRAPHICS_API_D3D11;
    GraphicsState.HardwareInUseFlag = 1;
    FakeHardware.Calls.clear();
    const uint8_t bytes[2 * 3] = {0, 1, 0, 0, 0, 2};
    struct Case
    {
        const char *Name;
        std::function<int()> Call;
        std::vector<std::string> Calls;
    } cases[] = {
        {"made from bytes",
         [&] { return CreateMaskScreenWithBytes(3, 2, bytes, 3); },
         {"Mask_ReleaseScreen", "Mask_CreateScreen 3 2"}},
        {"a smaller request keeps the size", [] { return CreateMaskScreen(1, 2, 1); }, {"Mask_CreateScreen 3 2"}},
        {"growing saves, makes and copies",
         [] { return CreateMaskScreen(1, 5, 1); },
         {"Mask_SaveOldScreen", "Mask_CreateScreen 5 2", "Mask_CopyOldScreen 3 2"}},
        {"in effect", [] { return SetUseMaskScreenFlag(1); }, {"Mask_SetUseScreen"}},
        {"nested hooks act once, clipped to the draw area",
         [] {
             MaskDrawBegin(-5, 1, 4, 300);
             MaskDrawBegin(0, 0, 1, 1);
             MaskDrawEnd(0, 0, 1, 1);
             return MaskDrawEnd(-5, 1, 4, 300);
         },
         {"Mask_DrawBegin 0 1 4 120", "Mask_DrawEnd 0 1 4 120"}},
        {"deleted", [] { return DeleteMaskScreen(); }, {"Mask_SetUseScreen", "Mask_ReleaseScreen"}},
    };
    for (const Case &c : cases) {
        FakeHardware.Calls.clear();
        EXPECT_EQ(0, c.Call()) << c.Name;
        EXPECT_EQ(c.Calls, FakeHardware.Calls) << c.Name;
        if (c.Calls.size() == 2 && c.Calls[1] == "Mask_CreateScreen 3 2") {
            // The bytes were in place before the device's image was made from them.
            int w = 0, h = 0, pitch = 0;
            const uint8_t *mask = GetMaskScreenBuffer(&w, &h, &pitch);
            ASSERT_NE(nullptr, mask);
            EXPECT_EQ(2, mask[pitch + 2]);
        }
    }
    // The old bytes stay at their place in the grown mask.
    EXPECT_EQ(0, CreateMaskScreenWithBytes(3, 2, bytes, 3));
    EXPECT_EQ(0, CreateMaskScreen(1, 6, 4));
    int pitch = 0;
    const uint8_t *mask = GetMaskScreenBuffer(nullptr, nullptr, &pitch);
    EXPECT_EQ(1, mask[1]);
    EXPECT_EQ(2, mask[pitch + 2]);
    EXPECT_EQ(0, mask[pitch + 3]);
    DeleteMaskScreen();
    GraphicsDrawSettings.UseMaskScreenFlag = 1;
    GraphicsState.HardwareInUseFlag = 0;
    GraphicsAPIType = GRAPHICS_API_SOFTWARE;
    RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, nullptr);
}

// Leaving a graph for a screen tells the back end which graph it leaves (a multisampled one is
// resolved then).
TEST_F(DrawScreen, LeavingAGraphForAScreenNamesTheGraph)
{
    SetDrawValidGraphCreateFlag(1);
    int graph = MakeGraph(16, 16, 0);
    SetDrawValidGraphCreateFlag(0);
    ASSERT_EQ(0, SetDrawScreen(graph));
    GraphicsHardwareFunctions table = RecordingHardwareTable();
    RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, &table);
    GraphicsAPIType = GRAPHICS_API_D3D11;
    FakeHardware.Calls.clear();
    ASSERT_EQ(0, SetDrawScreen(DX_SCREEN_BACK));
    GraphicsAPIType = GRAPHICS_API_SOFTWARE;
    RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, nullptr);
    EXPECT_EQ(std::vector<std::string>{"SetDrawScreen -2 from " + std::to_string(graph)},
              CallsStartingWith("SetDrawScreen"));
    DeleteGraph(graph);
}

}  // namespace
