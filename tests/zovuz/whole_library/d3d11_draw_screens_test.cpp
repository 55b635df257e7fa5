// The library on Direct3D 11 under Wine, across the life of its device: the front screen shows
// without a flip, a device rebuild keeps the draw state and every picture, a mode change takes the
// new size, and every release leaves no object alive.
#include "zovuz/startup/startup_internal.h"

#include "tests/support/test_files.h"
#include "tests/support/window_capture.h"
#include "tests/zovuz/graphics/graphics_start_fixture.h"
#include "tests/zovuz/whole_library/d3d11_library_fixture.h"
#include "tools/shader_emitter/sm4_builder.h"
#include "zovuz/core/zovuz_core.h"
#include "zovuz/d3d11/texture/windows/d3d11_graph_texture_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_shadow_map_win.h"
#include "zovuz/d3d11/zovuz_d3d11.h"
#include "zovuz/graphics/zovuz_graphics.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include <string>

namespace {

int Occurrences(const std::wstring &Text, const std::wstring &Piece)
{
    int n = 0;
    for (size_t at = Text.find(Piece); at != std::wstring::npos; at = Text.find(Piece, at + 1)) ++n;
    return n;
}

const wchar_t kNoObjectLeft[] = L"Direct3D11 のオブジェクト合計数 : 0";

// The front-screen timer's presents, counted on their way to the screen's refresh.
int RefreshCount = 0;
int (*OriginalRefresh)(void) = nullptr;
int CountingRefresh(void)
{
    ++RefreshCount;
    return OriginalRefresh != nullptr ? OriginalRefresh() : 0;
}

// One start of the library serves the cases in a row (a start and an end cost more than most
// cases); a case that ends it, or starts it on another renderer, has the next case start again.
// Each case leaves the settings it changed as it found them.
class D3D11DrawScreens : public D3D11LibraryTest
{
protected:
    void SetUp() override
    {
        if (D3D11Disabled()) GTEST_SKIP() << "d3d11.dll is switched off in this run";
        SetBackgroundColor(24, 48, 96);
        if (IsLibraryStarted() && GetGraphicsAPIType() == GRAPHICS_API_D3D11) return;
        LibraryEnd();
        SetUseHardwareRenderFlag(1);
        StartOnD3D11("d3d11 draw screens");
    }
    void TearDown() override
    {
        if (D3D11Disabled()) return;
        SetWindowSizeExtendRate(1.0, 1.0);
        SetGraphicsResetOnScreenModeChangeFlag(1);
    }
    static void TearDownTestSuite()
    {
        LibraryEnd();
        RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, nullptr);
        SetUseHardwareRenderFlag(1);
    }
};

TEST_F(D3D11DrawScreens, TheFrontScreenShowsWithoutAFlip)
{
    OriginalRefresh = GetSubsystemHooks()->RefreshScreen;
    GetSubsystemHooks()->RefreshScreen = CountingRefresh;
    RefreshCount = 0;
    ASSERT_EQ(0, SetDrawScreen(DX_SCREEN_FRONT));
    SetBackgroundColor(200, 100, 0);
    ASSERT_EQ(0, ClearDrawScreen(nullptr));
    bool shown = false;
    const DWORD start = GetTickCount();
    while (!shown && GetTickCount() - start < 2000) {
        ProcessMessage();
        const WindowCapture shot = CaptureWindow(GetMainWindowHandle(), 0, 0, 320, 240);
        shown = !shot.Empty() && shot.At(5, 5) == 0xC86400 && shot.At(319, 239) == 0xC86400;
        Sleep(10);
    }
    GetSubsystemHooks()->RefreshScreen = OriginalRefresh;
    EXPECT_TRUE(shown);
    EXPECT_GT(RefreshCount, 0);
    SetDrawScreen(DX_SCREEN_BACK);
}

// The device goes and comes back (as after a device loss, and after a window resize and flip):
// the draw area, the view, projection and viewport matrices stay, the screen draws again, a
// shadow map gets its objects again, and each release reports no object alive. Releasing twice
// is harmless.
TEST_F(D3D11DrawScreens, ARebuiltDeviceKeepsTheDrawState)
{
    const int mapHandle = AddHandle(DX_HANDLETYPE_SHADOWMAP, 0, -1);
    ShadowMapHandleData *map = GetShadowMapEntry(mapHandle, 0);
    ASSERT_NE(nullptr, map);
    map->Width = map->Height = 64;
    map->BitDepth = 16;
    ASSERT_EQ(0, Graphics_D3D11_SetupShadowMap(map, 0));
    const auto mapObjects = [map](bool Made) {
        const D3D11ShadowMapObjects &o = *D3D11ShadowMapObjectsOf(map);
        for (const void *object : {(const void *)o.ColorTexture, (const void *)o.View, (const void *)o.Target,
                                   (const void *)o.DepthTexture, (const void *)o.DepthView})
            EXPECT_EQ(Made, object != nullptr);
    };
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    ASSERT_EQ(0, SetDrawScreen(DX_SCREEN_BACK));
    ASSERT_EQ(0, SetDrawArea(10, 20, 300, 200));
    const MATRIX_D original = d.Matrix.View;
    MATRIX_D view;
    CreateIdentityMatrixD(&view);
    view.m[3][0] = 3.0;
    view.m[3][2] = 7.5;
    ASSERT_EQ(0, SetTransformToView(&view));
    const ImageRect area = d.DrawArea;
    const MATRIX_D saved[3] = {d.Matrix.View, d.Matrix.Projection, d.Matrix.Viewport};

    for (const char *how : {"rebuilt", "released twice, then rebuilt", "after a resize and a flip"}) {
        SCOPED_TRACE(how);
        LogAppendReader log;
        if (strstr(how, "twice") != nullptr) {
            EXPECT_EQ(0, Graphics_Hardware_ReleaseDeviceObjects());
            EXPECT_EQ(0, Graphics_Hardware_ReleaseDeviceObjects());
            EXPECT_EQ(0, Graphics_Hardware_IsDeviceValid());
            mapObjects(false);
        }
        if (strstr(how, "resize") != nullptr) {
            SetWindowSizeExtendRate(1.5, 1.5);
            for (int i = 0; i < 3; ++i) ProcessMessage();
            ASSERT_EQ(0, ScreenFlip());
        }
        ASSERT_EQ(0, RestoreGraphicsDevice());
        const std::wstring text = log.Appended();
        EXPECT_GE(Occurrences(text, kNoObjectLeft), strstr(how, "twice") != nullptr ? 2 : 1) << text;
        EXPECT_EQ(1, Graphics_Hardware_IsDeviceValid());
        mapObjects(true);
        EXPECT_EQ(0, memcmp(&area, &d.DrawArea, sizeof(area)));
        EXPECT_EQ(0, memcmp(saved, &d.Matrix.View, sizeof(saved[0])));
        EXPECT_EQ(0, memcmp(saved + 1, &d.Matrix.Projection, sizeof(saved[1])));
        EXPECT_EQ(0, memcmp(saved + 2, &d.Matrix.Viewport, sizeof(saved[2])));
        ASSERT_EQ(0, SetDrawArea(0, 0, 320, 240));
        ASSERT_EQ(0, ClearDrawScreen(nullptr));
        EXPECT_EQ(0xFF183060u, GetPixel(319, 239));
        ASSERT_EQ(0, SetDrawArea(10, 20, 300, 200));
    }
    SubHandle(mapHandle);
    SetDrawArea(0, 0, 320, 240);
    SetTransformToView(&original);
}

TEST_F(D3D11DrawScreens, AModeChangeTakesTheNewSize)
{
    SetGraphicsResetOnScreenModeChangeFlag(0);
    LogAppendReader log;
    ASSERT_EQ(0, ChangeScreenMode(400, 300, 32, 0, 60));
    EXPECT_EQ(1, Occurrences(log.Appended(), kNoObjectLeft));
    int width = 0, height = 0;
    GetDrawScreenSize(&width, &height);
    EXPECT_EQ(400, width);
    EXPECT_EQ(300, height);
    ASSERT_EQ(0, SetDrawScreen(DX_SCREEN_BACK));
    ASSERT_EQ(0, ClearDrawScreen(nullptr));
    EXPECT_EQ(0xFF183060u, GetPixel(399, 299));
    log.Mark();
    EXPECT_EQ(0, LibraryEnd());
    EXPECT_EQ(1, Occurrences(log.Appended(), kNoObjectLeft));
}

// A quad of one colour as a strip of VERTEX2D, with texture corners 0-1.
void Quad(VERTEX2D V[4], float X1, float Y1, float X2, float Y2, uint8_t R, uint8_t G, uint8_t B)
{
    const float corners[4][2] = {{X1, Y1}, {X2, Y1}, {X1, Y2}, {X2, Y2}};
    for (int i = 0; i < 4; ++i) {
        V[i] = VERTEX2D();
        V[i].pos.x = corners[i][0];
        V[i].pos.y = corners[i][1];
        V[i].rhw = 1.0f;
        V[i].dif = COLOR_U8{B, G, R, 255};
        V[i].u = (float)(i & 1);
        V[i].v = (float)(i >> 1);
    }
}

// User pixel shaders made with the emitter: the vertex colour with red and blue exchanged, or
// the texture of shader stage 2.
dxbc::Bytes UserPixelShader(bool SampleStage2)
{
    dxbc::ShaderBuilder ps(dxbc::Stage::Pixel);
    ps.InputSystemValue("SV_Position", dxbc::SystemValue::Position);
    const dxbc::Reg colour = ps.Input("COLOR", 0);
    const dxbc::Reg uv = ps.Input("TEXCOORD", 0, "xy");
    const dxbc::Reg target = ps.Output("SV_Target", 0);
    if (SampleStage2)
        ps.Sample(target, uv, ps.Texture2D(2), ps.Sampler(2));
    else
        ps.Mov(target, colour("zyxw"));
    ps.Ret();
    return ps.Finish();
}

// A user vertex shader made with the emitter: screen pixels into clip space, 100 pixels to the
// right, on the 320 x 240 screen.
dxbc::Bytes ShiftingVertexShader()
{
    dxbc::ShaderBuilder vs(dxbc::Stage::Vertex);
    const dxbc::Reg position = vs.Input("POSITION", 0);
    const dxbc::Reg colour = vs.Input("COLOR", 0);
    const dxbc::Reg uv = vs.Input("TEXCOORD", 0, "xy");
    const dxbc::Reg out = vs.OutputSystemValue("SV_Position", dxbc::SystemValue::Position);
    const dxbc::Reg outColour = vs.Output("COLOR", 0);
    const dxbc::Reg outUv = vs.Output("TEXCOORD", 0, "xy");
    vs.Mad(out("x"), position("x"), dxbc::Imm(2.0f / 320), dxbc::Imm(200.0f / 320 - 1));
    vs.Mad(out("y"), position("y"), dxbc::Imm(-2.0f / 240), dxbc::Imm(1.0f));
    vs.Mov(out("zw"), dxbc::Imm(0, 0, 0, 1));
    vs.Mov(outColour, colour);
    vs.Mov(outUv, uv);
    vs.Ret();
    return vs.Finish();
}

// DrawPrimitive2DToShader draws through the user's shaders and shader textures, also after the
// device was made again; the next ordinary draw has the library's shaders back.
TEST_F(D3D11DrawScreens, UserShadersDrawAndAreMadeAgainWithTheDevice)
{
    BASEIMAGE image = {};
    ASSERT_EQ(0, CreateXRGB8ColorBaseImage(8, 8, &image));
    FillBaseImage(&image, 10, 220, 90, 255);
    const dxbc::Bytes vertexCode = ShiftingVertexShader();
    const int vertexShader = CreateShaderHandle(1, vertexCode.data(), (int)vertexCode.size(), 0, 0, 0);
    ASSERT_GT(vertexShader, 0);
    const struct
    {
        const char *What;
        bool SampleStage2, ShiftVertices;
        uint32_t Inside;
    } cases[] = {{"colour swapped", false, false, 0xFF3264C8u},
                 {"stage 2 texture", true, false, 0xFF0ADC5Au},
                 {"moved by the vertex shader", false, true, 0xFF3264C8u}};
    // Every shader is drawn with the device it was made with, then all of them again after one
    // rebuild of the device, which makes each of them again.
    int shaders[3];
    for (size_t i = 0; i < 3; ++i) {
        const dxbc::Bytes code = UserPixelShader(cases[i].SampleStage2);
        ASSERT_FALSE(code.empty());
        shaders[i] = LoadPixelShaderFromMem(code.data(), (int)code.size());
        ASSERT_GT(shaders[i], 0) << cases[i].What;
    }
    for (const char *when : {"made", "after a rebuilt device"}) {
        SCOPED_TRACE(when);
        for (size_t i = 0; i < 3; ++i) {
            const auto &c = cases[i];
            SCOPED_TRACE(c.What);
            // A graph made from a base image keeps no source to come back from: one per device.
            const int stageGraph = CreateGraphFromBaseImage(&image, nullptr, FALSE);
            ASSERT_EQ(0, SetUseTextureToShader(2, stageGraph));
            ASSERT_EQ(0, SetUsePixelShader(shaders[i]));
            ASSERT_EQ(0, SetUseVertexShader(c.ShiftVertices ? vertexShader : 0));
            ASSERT_EQ(0, SetDrawScreen(DX_SCREEN_BACK));
            ASSERT_EQ(0, ClearDrawScreen(nullptr));
            VERTEX2D quad[4];
            Quad(quad, 10, 10, 50, 40, 200, 100, 50);
            ASSERT_EQ(0, DrawPrimitive2DToShader(quad, 4, DX_PRIMTYPE_TRIANGLESTRIP, DX_NONE_GRAPH, FALSE));
            ASSERT_EQ(0, DrawBox(60, 10, 90, 40, GetColorValue(200, 100, 50), TRUE));
            const uint32_t background = 0xFF183060u;
            EXPECT_EQ(c.ShiftVertices ? background : c.Inside, GetPixel(20, 20));
            EXPECT_EQ(c.ShiftVertices ? c.Inside : background, GetPixel(120, 20));
            EXPECT_EQ(0xFFC86432u, GetPixel(70, 20));  // the library's own shaders again
            EXPECT_EQ(background, GetPixel(100, 20));
            SetUseTextureToShader(2, -1);
            DeleteGraph(stageGraph);
        }
        // The last case's shaders stay in use through the rebuild.
        if (strcmp(when, "made") == 0) {
            ASSERT_EQ(0, RestoreGraphicsDevice());
        }
    }
    SetUsePixelShader(0);
    SetUseVertexShader(0);
    ReleaseBaseImage(&image);
}

// Drawn into, then drawn 1:1 on the screen: the screen shows exactly what went into the graph;
// a device rebuild keeps it; a graph that is no render target cannot be one.
TEST_F(D3D11DrawScreens, ARenderTargetGraphIsDrawnIntoAndShownExactly)
{
    SetDrawValidGraphCreateFlag(1);
    const int target = MakeGraph(64, 48, 0);
    SetDrawValidGraphCreateFlag(0);
    const int plain = MakeGraph(16, 16, 0);
    ASSERT_GT(target, 0);
    ASSERT_EQ(0, SetDrawScreen(target));
    SetBackgroundColor(10, 20, 30);
    ASSERT_EQ(0, ClearDrawScreen(nullptr));
    SetBackgroundColor(200, 50, 25);
    const ImageRect box = {8, 8, 40, 30};
    ASSERT_EQ(0, ClearDrawScreen(&box));
    std::vector<uint32_t> expected(64 * 48);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) expected[y * 64 + x] = x >= 8 && x < 40 && y >= 8 && y < 30 ? 0xC83219 : 0x0A141E;

    SetBackgroundColor(24, 48, 96);
    for (const char *when : {"drawn", "after a rebuilt device"}) {
        SCOPED_TRACE(when);
        EXPECT_EQ(expected, ReadRgb(target, 0, 0, 64, 48));
        ASSERT_EQ(0, SetDrawScreen(DX_SCREEN_BACK));
        ASSERT_EQ(0, ClearDrawScreen(nullptr));
        ASSERT_EQ(0, DrawGraph(100, 50, target, FALSE));
        EXPECT_EQ(expected, ReadRgb(DX_SCREEN_BACK, 100, 50, 64, 48));
        ASSERT_EQ(0, RestoreGraphicsDevice());
    }
    EXPECT_EQ(-1, SetRenderTargetToShader(1, plain, 0, 0));
    SetRenderTargetToShader(1, -1, 0, 0);
    DeleteGraph(plain);
    DeleteGraph(target);
}

// ---- The mask on the device against the software renderer's mask ---------------------------------

// The mask: irregular runs of blocked pixels over the whole 320 x 240 screen.
std::vector<uint8_t> MaskBytes()
{
    std::vector<uint8_t> bytes(320 * 240);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) bytes[y * 320 + x] = (x / 7 + y / 5) % 3 == 0 ? 1 : 0;
    return bytes;
}

// Boxes and a graph drawn through the mask; returns the screen.
std::vector<uint32_t> DrawThroughMask()
{
    TestImage image = MakeTestImage(16, 12, PatternB);
    const int graph = CreateGraphFromBaseImage(&image.Image, nullptr, TRUE);

    SetDrawScreen(DX_SCREEN_BACK);
    SetBackgroundColor(24, 48, 96);
    ClearDrawScreen(nullptr);
    const std::vector<uint8_t> bytes = MaskBytes();
    EXPECT_EQ(0, CreateMaskScreenWithBytes(320, 240, bytes.data(), 320));
    EXPECT_EQ(0, SetUseMaskScreenFlag(1));
    DrawBox(20, 20, 200, 150, GetColorValue(200, 50, 25), TRUE);
    DrawBox(100, 120, 300, 230, GetColorValue(10, 220, 90), TRUE);
    DrawGraph(150, 100, graph, FALSE);
    SetUseMaskScreenFlag(0);
    DeleteMaskScreen();
    DeleteGraph(graph);
    return ReadRgb(DX_SCREEN_BACK, 0, 0, 320, 240);
}

// A mask that grows while a masked draw is open keeps its bytes and the picture taken at the
// draw's start: the old part is written back where its bytes allow, unchanged.
TEST_F(D3D11DrawScreens, AGrowingMaskKeepsItsBytesAndPicture)
{
    ASSERT_EQ(0, SetDrawScreen(DX_SCREEN_BACK));
    ASSERT_EQ(0, ClearDrawScreen(nullptr));
    std::vector<uint8_t> bytes(100 * 80, 0);
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 50; ++x) bytes[y * 100 + x] = 1;
    ASSERT_EQ(0, CreateMaskScreenWithBytes(100, 80, bytes.data(), 100));
    ASSERT_EQ(0, SetUseMaskScreenFlag(1));
    MaskDrawBegin(0, 0, 100, 80);
    ASSERT_EQ(0, CreateMaskScreen(1, 320, 240));
    MaskDrawEnd(0, 0, 100, 80);
    EXPECT_EQ(std::vector<uint32_t>(50 * 80, 0x183060), ReadRgb(DX_SCREEN_BACK, 50, 0, 50, 80));

    SetBackgroundColor(200, 50, 25);
    DrawBox(0, 0, 320, 240, GetColorValue(200, 50, 25), TRUE);
    SetUseMaskScreenFlag(0);
    EXPECT_EQ(std::vector<uint32_t>(50 * 80, 0x183060), ReadRgb(DX_SCREEN_BACK, 0, 0, 50, 80));  // old bytes
    EXPECT_EQ(std::vector<uint32_t>(50 * 80, 0xC83219), ReadRgb(DX_SCREEN_BACK, 50, 0, 50, 80));
    EXPECT_EQ(std::vector<uint32_t>(320 * 10, 0xC83219), ReadRgb(DX_SCREEN_BACK, 0, 230, 320, 10));  // grown
    DeleteMaskScreen();
}

// Last of the cases: it ends the library on Direct3D 11 and starts it on the software renderer.
TEST_F(D3D11DrawScreens, DrawingThroughTheMaskMatchesTheSoftwareRenderer)
{
    const std::vector<uint32_t> device = DrawThroughMask();
    ASSERT_EQ(0, LibraryEnd());
    SetUseHardwareRenderFlag(0);
    ASSERT_EQ(0, LibraryInit());
    ASSERT_EQ(GRAPHICS_API_SOFTWARE, GetGraphicsAPIType());
    const std::vector<uint32_t> software = DrawThroughMask();
    ASSERT_EQ(software.size(), device.size());
    int differ = 0;
    for (size_t i = 0; i < software.size(); ++i) differ += software[i] != device[i];
    EXPECT_EQ(0, differ);
    // Something was drawn, and something was kept back.
    EXPECT_EQ(0xC83219u, software[25 * 320 + 21]);
    EXPECT_EQ(0x183060u, software[25 * 320 + 30]);  // x 28-34 of row 25 are blocked
}

}  // namespace
