// The hardware dispatch layer: the software answers, the choice of the back end at graphics
// start, forwarding to the back end in use, the operations only one back end has, missing
// operations, the dialog-box mode and the software renderer's screen-mode change.
#include <windows.h>

#include <functional>

#include "tests/zovuz/graphics/hardware_fixture.h"
#include "zovuz/graphics/image/base_image_internal.h"
#include "zovuz/graphics/display_internal.h"
#include "zovuz/graphics/graphics_dispatch_internal.h"

namespace {

struct NamedCall
{
    const char *Name;
    std::function<long long()> Call;
};

// Every dispatcher that only forwards, with harmless arguments.
std::vector<NamedCall> ForwardingCalls()
{
    ImageRect r = {0, 0, 1, 1};
    static BASEIMAGE image;
    static VERTEX2D vertex[3];
    static MATRIX m;
    static LIGHTPARAM light;
    static int flag, params[2];
    return {
        {"PixelCenterTest", [] { return Graphics_Hardware_PixelCenterTest(); }},
        {"InitializeDeviceState", [] { return Graphics_Hardware_InitializeDeviceState(); }},
        {"ReapplyDeviceState", [] { return Graphics_Hardware_ReapplyDeviceState(); }},
        {"IsDeviceValid", [] { return Graphics_Hardware_IsDeviceValid(); }},
        {"ReleaseDeviceObjects", [] { return Graphics_Hardware_ReleaseDeviceObjects(); }},
        {"PresentFrameOnDevice", [] { return Graphics_Hardware_PresentFrameOnDevice(); }},
        {"RestoreLostDevice", [] { return Graphics_Hardware_RestoreLostDevice(); }},
        {"SetupSubBackBufferFullScreen", [] { return Graphics_Hardware_SetupSubBackBufferFullScreen(1); }},
        {"CreateTexture", [] { return Graphics_Hardware_CreateTexture(nullptr, 0); }},
        {"ReleaseGraphTexture", [] { return Graphics_Hardware_ReleaseGraphTexture(nullptr); }},
        {"CheckDXTConvert", [] { return Graphics_Hardware_CheckDXTConvert(nullptr, 1, &flag, -1, &flag); }},
        {"BltBmpOrBaseImageToTexture",
         [r] { return Graphics_Hardware_BltBmpOrBaseImageToTexture(&r, 0, 0, nullptr, &image, nullptr, 0, 0, 0, 0); }},
        {"FillGraph", [] { return Graphics_Hardware_FillGraph(nullptr, 1, 2, 3, 4); }},
        {"BltRectGraphToGraph", [r] { return Graphics_Hardware_BltRectGraphToGraph(nullptr, nullptr, &r, 0, 0, 0, 0, 0, 0); }},
        {"GetPixel", [] { return Graphics_Hardware_GetPixel(1, 2); }},
        {"CheckRenderTargetGraph", [] { return Graphics_Hardware_CheckRenderTargetGraph(1, nullptr); }},
        {"CopyMovieFrameToGraph", [] { return Graphics_Hardware_CopyMovieFrameToGraph(nullptr, nullptr); }},
        {"ReleaseMemoryTextureCache", [] { return Graphics_Hardware_ReleaseMemoryTextureCache(); }},
        {"LockBackBuffer", [r] { return Graphics_Hardware_LockBackBuffer(&r, &image, -1, nullptr, 0, 0, 1, 0); }},
        {"UnlockBackBuffer", [] { return Graphics_Hardware_UnlockBackBuffer(); }},
        {"ClearDrawScreen", [] { return Graphics_Hardware_ClearDrawScreen(nullptr); }},
        {"DrawCircle", [] { return Graphics_Hardware_DrawCircle(1, 2, 3, 4, 1, 0, 0); }},
        {"DrawCircleThickness", [] { return Graphics_Hardware_DrawCircleThickness(1, 2, 3, 4, 5); }},
        {"DrawFillBox", [] { return Graphics_Hardware_DrawFillBox(1, 2, 3, 4, 5); }},
        {"DrawLineBox", [] { return Graphics_Hardware_DrawLineBox(1, 2, 3, 4, 5); }},
        {"DrawLine", [] { return Graphics_Hardware_DrawLine(1, 2, 3, 4, 5); }},
        {"DrawGraph", [] { return Graphics_Hardware_DrawGraph(1, 2, 1, 2, nullptr, nullptr, 1, 1); }},
        {"DrawExtendGraph", [] { return Graphics_Hardware_DrawExtendGraph(0, 0, 1, 1, 0, 0, 1, 1, nullptr, nullptr, 1, 1); }},
        {"DrawModiGraph", [] { return Graphics_Hardware_DrawModiGraph(0, 0, 1, 0, 1, 1, 0, 1, nullptr, nullptr, 1, 0); }},
        {"DrawGraphRects", [] { return Graphics_Hardware_DrawGraphRects(nullptr, nullptr, nullptr); }},
        {"DrawPrimitive2D", [] { return Graphics_Hardware_DrawPrimitive2D(vertex, 3, 5, nullptr, 1, 0, 0, 0, 0, 0); }},
        {"DrawPrimitive2DToShader",
         [] { return Graphics_Hardware_DrawPrimitive2DToShader(vertex, 3, 5, nullptr, 1, 0, 0, 0); }},
        {"RenderVertexBuffer", [] { return Graphics_Hardware_RenderVertexBuffer(0); }},
        {"SetDrawScreen", [] { return Graphics_Hardware_SetDrawScreen(-2, 0, 0, nullptr, nullptr, nullptr, nullptr); }},
        {"SetRenderTargetToShader", [] { return Graphics_Hardware_SetRenderTargetToShader(1, -1, 0, 0); }},
        {"SetupDepthBuffer", [] { return Graphics_Hardware_SetupDepthBuffer(); }},
        {"UpdateDrawScreenAlphaFlag", [] { return Graphics_Hardware_UpdateDrawScreenAlphaFlag(); }},
        {"SetDrawArea", [] { return Graphics_Hardware_SetDrawArea(); }},
        {"SetDrawMode", [] { return Graphics_Hardware_SetDrawMode(1); }},
        {"UpdateDiffuseColor", [] { return Graphics_Hardware_UpdateDiffuseColor(); }},
        {"SetBlendGraphParam", [] { return Graphics_Hardware_SetBlendGraphParam(nullptr, 0, params); }},
        {"SetTransformToView", [] { return Graphics_Hardware_SetTransformToView(&m); }},
        {"SetTransformToProjection", [] { return Graphics_Hardware_SetTransformToProjection(&m); }},
        {"SetTransformToWorld", [] { return Graphics_Hardware_SetTransformToWorld(&m); }},
        {"SetUseLighting", [] { return Graphics_Hardware_SetUseLighting(1); }},
        {"SetLightEnable", [] { return Graphics_Hardware_SetLightEnable(0, 1); }},
        {"SetLightParam", [] { return Graphics_Hardware_SetLightParam(0, &light); }},
        {"SetFogEnable", [] { return Graphics_Hardware_SetFogEnable(1); }},
        {"SetFogMode", [] { return Graphics_Hardware_SetFogMode(3); }},
        {"SetFogColor", [] { return Graphics_Hardware_SetFogColor(0xFFFFFF); }},
        {"SetFogStartEnd", [] { return Graphics_Hardware_SetFogStartEnd(0.0f, 1.0f); }},
        {"SetVertexBufferData", [] { return Graphics_Hardware_SetVertexBufferData(nullptr, 0, nullptr, 0); }},
        {"SetIndexBufferData", [] { return Graphics_Hardware_SetIndexBufferData(nullptr, 0, nullptr, 0); }},
        {"VertexBuffer_Release", [] { return Graphics_Hardware_VertexBuffer_Release(nullptr); }},
        {"IndexBuffer_Release", [] { return Graphics_Hardware_IndexBuffer_Release(nullptr); }},
        {"CreateShaderHandle", [] { return Graphics_Hardware_CreateShaderHandle(nullptr, 0, nullptr, 0, 0, 0); }},
        {"Shader_Release", [] { return Graphics_Hardware_Shader_Release(nullptr); }},
        {"GetShaderVersion", [] { return Graphics_Hardware_GetShaderVersion(); }},
        {"UpdateShadowMapParams", [] { return Graphics_Hardware_UpdateShadowMapParams(); }},
        {"UpdateShadowMapMatrices", [] { return Graphics_Hardware_UpdateShadowMapMatrices(); }},
        {"SetUseShadowMap", [] { return Graphics_Hardware_SetUseShadowMap(0, -1); }},
        {"ShadowMap_Release", [] { return Graphics_Hardware_ShadowMap_Release(nullptr); }},
        {"EndShadowMapDraw", [] { return Graphics_Hardware_EndShadowMapDraw(nullptr); }},
        // The ones with more to them than forwarding, in their software form.
        {"ChangeScreenMode (device part)", [] { return 0; }},
        {"ExpireMemoryTextureCache", [] { return Graphics_Hardware_ExpireMemoryTextureCache(); }},
        {"ShaderConstantBuffer_Release", [] { return Graphics_Hardware_ShaderConstantBuffer_Release(nullptr); }},
        {"StartFrontScreenTimer", [] { return Graphics_Hardware_StartFrontScreenTimer(-2); }},
        {"SetDialogBoxModeFlag", [] { return Graphics_Hardware_SetDialogBoxModeFlag(0); }},
        {"Mask_SaveOldScreen", [] { return Graphics_Hardware_Mask_SaveOldScreen(); }},
        {"Mask_CreateScreen", [] { return Graphics_Hardware_Mask_CreateScreen(3, 2); }},
        {"Mask_CopyOldScreen", [] { return Graphics_Hardware_Mask_CopyOldScreen(3, 2); }},
        {"Mask_DrawBegin", [] { return Graphics_Hardware_Mask_DrawBegin(0, 0, 1, 1); }},
        {"Mask_DrawEnd", [] { return Graphics_Hardware_Mask_DrawEnd(0, 0, 1, 1); }},
        {"Mask_ReleaseScreen", [] { return Graphics_Hardware_Mask_ReleaseScreen(); }},
        {"Mask_SetUseScreen", [] { return Graphics_Hardware_Mask_SetUseScreen(); }},
    };
}

class Dispatch : public GraphicsStateTest
{
protected:
    // The software renderer's vertical-blank object is a COM object, as in the library.
    static void SetUpTestSuite() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    static void TearDownTestSuite() { CoUninitialize(); }
    void SetUp() override
    {
        GraphicsStateTest::SetUp();
        ChangeWindowMode(1);  // the software start in full screen would change the display mode
    }
    void TearDown() override
    {
        Graphics_Hardware_Terminate();
        GraphicsStateTest::TearDown();
    }
};

TEST_F(Dispatch, WithoutABackEndEveryOperationAnswersZeroAndReachesNoTable)
{
    // Tables registered but not in use: the type alone decides.
    RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, &Table);
    RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D9, &Table);
    for (const NamedCall &c : ForwardingCalls())
        EXPECT_EQ(0, c.Call()) << c.Name;
    EXPECT_TRUE(FakeHardware.Calls.empty());
}

TEST_F(Dispatch, StartTriesDirect3D11ThenDirect3D9ThenSoftware)
{
    struct Case
    {
        const char *Name;
        bool Table11, Table9;
        int Result11, Result9;
        int SoftwareRequest;
        int APIType;
        const char *Starts;  // the back ends whose start ran
    } cases[] = {
        {"11 starts", true, true, 0, 0, 0, GRAPHICS_API_D3D11, "11 "},
        {"11 fails, 9 starts", true, true, -1, 0, 0, GRAPHICS_API_D3D9, "11 9 "},
        {"both fail: software", true, true, -1, -1, 0, GRAPHICS_API_SOFTWARE, "11 9 "},
        {"no 11 table", false, true, 0, 0, 0, GRAPHICS_API_D3D9, "9 "},
        {"no tables at all", false, false, 0, 0, 0, GRAPHICS_API_SOFTWARE, ""},
        {"software requested", true, true, 0, 0, 1, GRAPHICS_API_SOFTWARE, ""},
    };
    static int result11, result9;
    static std::string starts;
    GraphicsHardwareFunctions table11 = Table, table9 = Table;
    table11.Startup = [] { starts += "11 "; return result11; };
    table9.Startup = [] { starts += "9 "; return result9; };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, c.Table11 ? &table11 : nullptr);
        RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D9, c.Table9 ? &table9 : nullptr);
        result11 = c.Result11;
        result9 = c.Result9;
        starts.clear();
        GraphicsState.SoftwareRenderRequestFlag = c.SoftwareRequest;
        EXPECT_EQ(0, Graphics_Hardware_Startup());
        EXPECT_EQ(c.APIType, GraphicsAPIType);
        EXPECT_EQ(c.APIType != GRAPHICS_API_SOFTWARE, GraphicsState.HardwareInUseFlag);
        EXPECT_EQ(GraphicsState.HardwareInUseFlag, GetHardwareGraphicsFlag());
        EXPECT_EQ(GraphicsState.HardwareInUseFlag, ColorValueTarget.HardwareFlag);  // colour values follow
        EXPECT_EQ(c.Starts, starts);
        // The software renderer waits for the vertical blank through its own object.
        EXPECT_EQ(c.APIType == GRAPHICS_API_SOFTWARE, DirectDraw7_GetObject() != nullptr);
        Graphics_Hardware_Terminate();
    }
    // No Direct3D library was loaded by the front end.
    EXPECT_EQ(nullptr, GetModuleHandleW(L"d3d11.dll"));
    EXPECT_EQ(nullptr, GetModuleHandleW(L"d3d9.dll"));
}

TEST_F(Dispatch, ForwardsArgumentsAndTheBackEndsResults)
{
    UseFakeBackend(GRAPHICS_API_D3D11);
    EXPECT_EQ(0, Graphics_Hardware_DrawLine(1, 2, 3, 4, 0xFF102030));
    EXPECT_EQ(2, Graphics_Hardware_FillGraph(nullptr, 1, 2, 3, 4));  // not a render target: 2, not -1
    EXPECT_EQ(300, Graphics_Hardware_GetShaderVersion());
    EXPECT_EQ(0, Graphics_Hardware_ChangeScreenMode(1, 800, 600, 32, 60));
    EXPECT_EQ(0, Graphics_Hardware_StartFrontScreenTimer(-4));
    EXPECT_EQ((std::vector<std::string>{"DrawLine 1 2 3 4 FF102030", "FillGraph", "ChangeScreenMode 1 800 600 32 60",
                                        "StartFrontScreenTimer -4"}),
              FakeHardware.Calls);
    // Terminate answers for Direct3D 11 only.
    EXPECT_EQ(7, Graphics_Hardware_Terminate());
    UseFakeBackend(GRAPHICS_API_D3D9);
    EXPECT_EQ(0, Graphics_Hardware_Terminate());
    EXPECT_EQ(1u, CallsStartingWith("Terminate").size());
}

TEST_F(Dispatch, OperationsOfOneBackEndAnswerForTheOther)
{
    struct Case
    {
        int APIType;
        std::function<int()> Call;
        int Result;
        std::vector<std::string> Calls;
    } cases[] = {
        {GRAPHICS_API_D3D11, [] { return Graphics_Hardware_CheckRenderTargetGraph(1, nullptr); }, 0, {}},
        {GRAPHICS_API_D3D9, [] { return Graphics_Hardware_CheckRenderTargetGraph(1, nullptr); }, -1,
         {"CheckRenderTargetGraph"}},
        {GRAPHICS_API_D3D11, [] { return Graphics_Hardware_ExpireMemoryTextureCache(); }, 0, {}},
        {GRAPHICS_API_D3D9, [] { return Graphics_Hardware_ExpireMemoryTextureCache(); }, 0,
         {"ExpireMemoryTextures", "ExpireMemorySurfaces"}},
        {GRAPHICS_API_D3D11, [] { return Graphics_Hardware_ShaderConstantBuffer_Release(nullptr); }, 0,
         {"ShaderConstantBuffer_Release"}},
        {GRAPHICS_API_D3D9, [] { return Graphics_Hardware_ShaderConstantBuffer_Release(nullptr); }, -1, {}},
    };
    for (const Case &c : cases) {
        UseFakeBackend(c.APIType);
        EXPECT_EQ(c.Result, c.Call());
        EXPECT_EQ(c.Calls, FakeHardware.Calls);
    }
}

TEST_F(Dispatch, AnOperationTheBackEndLacksFails)
{
    Table.DrawFillBox = nullptr;
    Table.IsDeviceValid = nullptr;
    UseFakeBackend(GRAPHICS_API_D3D9);
    EXPECT_EQ(-1, Graphics_Hardware_DrawFillBox(0, 0, 1, 1, 0));
    EXPECT_EQ(0, Graphics_Hardware_IsDeviceValid());  // no device rather than "true"
    EXPECT_EQ(0xFFFFFFFFu, Graphics_Hardware_GetPixel(0, 0));
}

TEST_F(Dispatch, DialogBoxModeReachesOnlyADirect3D9Device)
{
    struct Case
    {
        int APIType, DeviceValid, Flag;
        std::vector<std::string> Calls;
    } cases[] = {
        {GRAPHICS_API_D3D9, 1, 1, {"SetDialogBoxMode 0", "SetDialogBoxMode 1"}},
        {GRAPHICS_API_D3D9, 1, 0, {"SetDialogBoxMode 0"}},
        {GRAPHICS_API_D3D9, 0, 1, {}},
        {GRAPHICS_API_D3D11, 1, 1, {}},
    };
    for (const Case &c : cases) {
        UseFakeBackend(c.APIType);
        FakeHardware.DeviceValid = c.DeviceValid;
        EXPECT_EQ(0, Graphics_Hardware_SetDialogBoxModeFlag(c.Flag));
        EXPECT_EQ(c.Flag, Graphics_Hardware_GetDialogBoxModeFlag());
        EXPECT_EQ(c.Calls, FakeHardware.Calls);
    }
    // The window procedure's switch goes to the Direct3D 9 implementation whatever is in use.
    RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D9, &Table);
    FakeHardware.Calls.clear();
    Graphics_Hardware_SetDialogBoxMode(1);
    EXPECT_EQ(std::vector<std::string>{"SetDialogBoxMode 1"}, FakeHardware.Calls);
}

TEST_F(Dispatch, OnlyTheFrontScreenStartsTheSoftwareTimer)
{
    // No window exists here, so the front screen's timer cannot be set; the others never try.
    EXPECT_EQ(-1, Graphics_Hardware_StartFrontScreenTimer(DX_SCREEN_FRONT));
    EXPECT_EQ(0, Graphics_Hardware_StartFrontScreenTimer(DX_SCREEN_BACK));
    EXPECT_EQ(0, Graphics_Hardware_StartFrontScreenTimer(0x04000001));  // a graph
}

TEST_F(Dispatch, SoftwareScreenModeChangeKeepsOrTakesTheNewMode)
{
    GraphicsState.SoftwareRenderRequestFlag = 1;
    ASSERT_EQ(0, Graphics_Hardware_Startup());
    GraphicsScreenSettingsData &s = GraphicsScreenSettings;
    s.FullScreenScalingMode = FULLSCREEN_SCALING_SCALED;
    // A device rebuild (flag 0) keeps the mode; a change (flag 1) takes it.
    EXPECT_EQ(0, Graphics_Hardware_ChangeScreenMode(0, 800, 600, 32, 75));
    EXPECT_EQ(0, s.MainScreenWidth);
    EXPECT_EQ(FULLSCREEN_SCALING_SCALED, s.FullScreenScalingModeInEffect);
    EXPECT_EQ(0, Graphics_Hardware_ChangeScreenMode(1, 800, 600, 32, 75));
    int w, h;
    GetDrawScreenSize(&w, &h);
    EXPECT_EQ(800, w);
    EXPECT_EQ(600, h);
    EXPECT_EQ(32, GetScreenColorBitDepth());
    EXPECT_EQ(75, s.MainScreenRefreshRate);
    EXPECT_NE(nullptr, DirectDraw7_GetObject());
    // The software screen's colour values follow its new depth.
    EXPECT_EQ(32, ColorValueTarget.ScreenBitDepth);
}

}  // namespace
