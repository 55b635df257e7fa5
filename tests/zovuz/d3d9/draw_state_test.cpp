// The draw-state flush, the vertex batch and the draw preparation on the platform's own device,
// with the draw calls recorded: what reaches the device, and when.
#include "tests/zovuz/d3d9/d3d9_fixture.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "zovuz/d3d9/shader/windows/d3d9_base_shaders_win.h"
#include "zovuz/d3d9/shader/windows/d3d9_shader_constant_win.h"
#include "zovuz/d3d9/draw/windows/d3d9_vertex_batch_win.h"
#include "zovuz/graphics/draw_state_internal.h"

namespace {

HRESULT RecordingDrawPrimitiveUP(D3DPRIMITIVETYPE Type, UINT Count, const void *Data, UINT Stride)
{
    D3D9Hooks.Calls.push_back("draw " + std::to_string(Type) + " " + std::to_string(Count));
    return D3D9SystemCalls.Direct3DDevice9_DrawPrimitiveUP(Type, Count, Data, Stride);
}

HRESULT CountingSetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value)
{
    D3D9Hooks.Calls.push_back("sampler state");
    return D3D9SystemCalls.Direct3DDevice9_SetSamplerState(Sampler, Type, Value);
}

// The device holds what the cache says it holds: every stage's sampler states, the render states
// the draw state sets, and the operations of the stages in use. A setter that skips a value the
// cache holds but the device does not would draw a wrong picture.
void ExpectTheDeviceHoldsTheCache(const char *After)
{
    SCOPED_TRACE(After);
    IDirect3DDevice9 *device = D3D9CallLayer.Device;
    const D3D9DeviceStateCacheData &c = D3D9DeviceStateCache;
    for (DWORD stage = 0; stage < D3D9_STAGE_NUM; ++stage) {
        const D3D9SamplerStateData &s = c.Sampler[stage];
        const std::pair<D3DSAMPLERSTATETYPE, DWORD> samplers[] = {
            {D3DSAMP_MAGFILTER, s.MagFilter}, {D3DSAMP_MINFILTER, s.MinFilter},
            {D3DSAMP_MIPFILTER, s.MipFilter}, {D3DSAMP_MAXANISOTROPY, (DWORD)s.MaxAnisotropy},
            {D3DSAMP_ADDRESSU, s.AddressU},   {D3DSAMP_ADDRESSV, s.AddressV},
            {D3DSAMP_ADDRESSW, s.AddressW}};
        for (const auto &[type, value] : samplers) {
            DWORD held = 0;
            device->GetSamplerState(stage, type, &held);
            EXPECT_EQ(value, held) << "stage " << stage << ", sampler state " << type;
        }
    }
    const D3D9DrawStateOutputData &o = c.Out;
    const std::pair<D3DRENDERSTATETYPE, int> renders[] = {{D3DRS_ALPHATESTENABLE, o.AlphaTestEnable},
                                                          {D3DRS_ALPHAREF, o.AlphaRef},
                                                          {D3DRS_ALPHAFUNC, o.AlphaFunc},
                                                          {D3DRS_ALPHABLENDENABLE, o.AlphaBlendEnable},
                                                          {D3DRS_SRCBLEND, o.SrcBlend},
                                                          {D3DRS_DESTBLEND, o.DestBlend},
                                                          {D3DRS_ZFUNC, c.ZFunc},
                                                          {D3DRS_FILLMODE, c.FillMode},
                                                          {D3DRS_SHADEMODE, c.ShadeMode}};
    for (const auto &[type, value] : renders) {
        if (value < 0 || ((type == D3DRS_SRCBLEND || type == D3DRS_DESTBLEND) && value == 0)) continue;  // none sent
        DWORD held = 0;
        device->GetRenderState(type, &held);
        EXPECT_EQ((DWORD)value, held) << "render state " << type;
    }
    for (int stage = 0; stage < o.StageNum && stage < D3D9DeviceCapsInfo.TextureStageNum; ++stage) {
        const std::pair<D3DTEXTURESTAGESTATETYPE, short> ops[] = {{D3DTSS_COLOROP, o.Stage[stage].ColorOp},
                                                                  {D3DTSS_ALPHAOP, o.Stage[stage].AlphaOp}};
        for (const auto &[type, value] : ops) {
            if (value == -1) continue;  // left as the device holds it
            DWORD held = 0;
            device->GetTextureStageState(stage, type, &held);
            EXPECT_EQ((DWORD)value, held) << "stage " << stage << ", stage state " << type;
        }
    }
}

class D3D9DrawState : public D3D9DrawTest
{
protected:
    void SetUp() override
    {
        D3D9DrawTest::SetUp();
        D3D9Calls.Direct3DDevice9_DrawPrimitiveUP = RecordingDrawPrimitiveUP;
        D3D9Hooks.Calls.clear();
    }
    // The state the flush sends for the draw setting, after each of the setters in Set ran.
    const D3D9DrawStateOutputData &Apply()
    {
        EXPECT_EQ(0, Graphics_D3D9_ApplyDrawState(nullptr, 0, 0, 0));
        return D3D9DeviceStateCache.Out;
    }
    // Appends Num vertices of Type, as a drawing function does.
    void Append(int Type, int Num) { ASSERT_NE(nullptr, Graphics_D3D9_ReserveVertices(Type, Num)); }
};

TEST_F(D3D9DrawState, TheFlushTurnsTheDrawSettingIntoBlendStatesAndStages)
{
    IDirect3DTexture9 *main = MakeTexture(), *blend = MakeTexture();
    struct Case
    {
        const char *Name;
        int BlendMode, AlphaChannel, BlendType, BorderParam, BorderRange;
        bool WithBlend;
        int SrcBlend, DestBlend, AlphaBlendEnable, TextureFactorAlpha, Stage0AlphaOp, BorderFull;
        int AlphaTest, AlphaFunc, AlphaRef;
    };
    const Case cases[] = {
        // A texture whose alpha is used draws blended, as blend mode 1 does.
        {"mode 0, texture alpha", 0, 1, 0, 0, 0, false, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 1, 255,
         D3DTOP_SELECTARG1, 0, 1, D3DCMP_GREATER, 0},
        {"mode 0, opaque texture", 0, 0, 0, 0, 0, false, -1, -1, 0, 255, D3DTOP_SELECTARG2, 0, 0, 0, 0},
        // The wipe: t = 0, i = 0x500, a = (256 x 0x40) >> 8 on the ADD side; at 255 the SUBTRACT
        // side with a = 255, and the border covers everything.
        {"wipe 64 at 0", 0, 0, 1, 0, 64, true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 1, 64, D3DTOP_ADD, 0, 0, 0, 0},
        {"wipe 64 at 255", 0, 0, 1, 255, 64, true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 1, 255, D3DTOP_SUBTRACT, 1,
         0, 0, 0},
        // A hard wipe tests the alpha instead of blending it.
        {"wipe 1 at 100", 0, 0, 1, 100, 1, true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 0, 0, D3DTOP_ADD, 0, 1,
         D3DCMP_GREATEREQUAL, 100},
        {"cross-fade at 128", 2, 0, 0, 0, 0, true, D3DBLEND_SRCALPHA, D3DBLEND_ONE, 1, 128, D3DTOP_SELECTARG1, 0, 1,
         D3DCMP_GREATER, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        const int params[2] = {c.BlendType == 0 ? 128 : c.BorderParam, c.BorderRange};
        Graphics_D3D9_DrawSetting_SetTexture(main);
        Graphics_D3D9_DrawSetting_SetBlendTexture(c.WithBlend ? blend : nullptr, 1, 1);
        Graphics_D3D9_DrawSetting_SetBlendTextureParam(c.BlendType, params);
        Graphics_D3D9_DrawSetting_SetBlendMode(c.BlendMode, 0, c.AlphaChannel);
        const D3D9DrawStateOutputData &out = Apply();
        EXPECT_EQ(c.AlphaBlendEnable, out.AlphaBlendEnable);
        if (c.AlphaBlendEnable) {
            EXPECT_EQ(c.SrcBlend, out.SrcBlend);
            EXPECT_EQ(c.DestBlend, out.DestBlend);
        }
        EXPECT_EQ((unsigned)c.TextureFactorAlpha, out.TextureFactor >> 24);
        EXPECT_EQ(c.Stage0AlphaOp, out.Stage[0].AlphaOp);
        EXPECT_EQ(c.BorderFull, out.BorderFullFlag);
        EXPECT_EQ(c.AlphaTest, out.AlphaTestEnable);
        if (c.AlphaTest) {
            EXPECT_EQ(c.AlphaFunc, out.AlphaFunc);
            EXPECT_EQ(c.AlphaRef, out.AlphaRef);
        }
        // The flush puts the textures where its program reads them: the blend texture first.
        EXPECT_EQ(c.WithBlend ? (IDirect3DBaseTexture9 *)blend : main, out.Stage[0].Texture);
        EXPECT_EQ(c.WithBlend ? 2 : 1, out.TextureMode);
        // A wipe whose border covers everything draws nothing, whichever flush draws the batch.
        D3D9Hooks.Calls.clear();
        Append(D3DPT_TRIANGLELIST, 6);
        Append(D3DPT_LINELIST, 2);
        Graphics_D3D9_RenderVertexBuffer(0);
        EXPECT_EQ(c.BorderFull ? 0u : 2u, D3D9Hooks.Calls.size());
    }
}

TEST_F(D3D9DrawState, ATextureChangeAloneRebindsWithoutStageStates)
{
    IDirect3DTexture9 *first = MakeTexture(), *second = MakeTexture();
    Graphics_D3D9_DrawSetting_SetTexture(first);
    Apply();
    Graphics_D3D9_DrawSetting_SetTexture(second);
    D3D9Calls.Direct3DDevice9_SetTextureStageState = [](DWORD, D3DTEXTURESTAGESTATETYPE, DWORD) -> HRESULT {
        D3D9Hooks.Calls.push_back("stage state");
        return D3D_OK;
    };
    D3D9Hooks.Calls.clear();
    Apply();
    EXPECT_TRUE(D3D9Hooks.Calls.empty());
    EXPECT_EQ(second, (IDirect3DTexture9 *)D3D9DeviceStateCache.Out.Stage[0].Texture);
    // Nothing changed: nothing is sent.
    EXPECT_EQ(0, D3D9DeviceStateCache.Draw.TextureChangedFlag);
}

TEST_F(D3D9DrawState, ValidShadowMapsTakeStagesEightToTen)
{
    ASSERT_EQ(0, InitializeHandleType(DX_HANDLETYPE_SHADOWMAP, sizeof(ShadowMapHandleData), 8,
                                      InitializeShadowMapHandle, nullptr, L"ShadowMap"));
    for (int slot = 0; slot < DX_SHADOWMAP_SLOT_NUM; ++slot) {
        GraphicsShadowMapSettings.Slot[slot] = AddHandle(DX_HANDLETYPE_SHADOWMAP, 0, -1);
        D3D9TextureObjectsOf(GetShadowMapEntry(GraphicsShadowMapSettings.Slot[slot], 0)->PF)->Texture = MakeTexture();
    }
    D3D9DeviceStateCache.Draw.DrawStateChangedFlag = 1;
    const D3D9DrawStateOutputData &out = Apply();
    EXPECT_EQ(11, out.StageNum);
    EXPECT_EQ((IDirect3DBaseTexture9 *)Textures[2], out.Stage[10].Texture);
    EXPECT_EQ((DWORD)D3DTEXF_LINEAR, D3D9DeviceStateCache.Sampler[9].MinFilter);
    EXPECT_EQ((DWORD)D3DTADDRESS_CLAMP, D3D9DeviceStateCache.Sampler[8].AddressU);

    // With a map in each slot its matrix goes to the shader; without, rows of (0, 0, 0, -1).
    D3D9TextureObjectsOf(GetShadowMapEntry(GraphicsShadowMapSettings.Slot[0], 0)->PF)->Texture = nullptr;
    SubHandle(GraphicsShadowMapSettings.Slot[0]);
    ASSERT_EQ(0, Graphics_D3D9_UpdateShadowMapMatrices());
    const float *store = (const float *)ShaderConstantManager.Record[D3D9_CONSTANT_VS_FLOAT * 4].Values;
    for (int row = 0; row < 4; ++row) {
        const float *r = store + (44 + row) * 4;
        EXPECT_EQ(0.0f, r[0]);
        EXPECT_EQ(0.0f, r[2]);
        EXPECT_EQ(-1.0f, r[3]);
    }
    EXPECT_EQ(0.0f, store[48 * 4 + 3]) << "slot 1's map has a zero matrix of its own";
    // Depth parameters: the map's own, or 1 and 0 without one; with no light enabled every light
    // flag is 1.
    ASSERT_EQ(0, Graphics_D3D9_UpdateShadowMapParams());
    const float *params = (const float *)ShaderConstantManager.Record[D3D9_CONSTANT_PS_FLOAT * 4].Values + 18 * 4;
    const ShadowMapHandleData *second = GetShadowMapEntry(GraphicsShadowMapSettings.Slot[1], 0);
    const float expected[10] = {1, 0, 1, 1, 1, second->AdjustDepth, second->GradationParam, 1, 1, 1};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(expected[i], params[i]) << i;
    for (int slot = 0; slot < DX_SHADOWMAP_SLOT_NUM; ++slot) GraphicsShadowMapSettings.Slot[slot] = 0;
    TerminateHandleType(DX_HANDLETYPE_SHADOWMAP);
}

// Draws that change the number of stages in use send no sampler state while the draw mode stays
// (the cache holds the filters of every stage); the device holds what the cache says along a road
// of filter, mode and stage changes, the present's own quad and a resend of everything.
TEST_F(D3D9DrawState, TheDeviceHoldsTheCachedSamplersWhateverTheStagesInUse)
{
    IDirect3DTexture9 *main = MakeTexture(), *blend = MakeTexture();
    ASSERT_EQ(0, Graphics_D3D9_DeviceState_SetDrawMode(1));
    D3D9Calls.Direct3DDevice9_SetSamplerState = CountingSetSamplerState;
    const int fade[2] = {128, 0};
    Graphics_D3D9_DrawSetting_SetBlendTextureParam(0, fade);
    struct Draw
    {
        const char *Name;
        IDirect3DTexture9 *Blend;
        int VertexColor;
    };
    const Draw draws[] = {{"one texture", nullptr, 0},
                          {"a cross-fade", blend, 0},
                          {"one texture again", nullptr, 0},
                          {"a cross-fade by the vertex colour", blend, 1}};
    Graphics_D3D9_DrawSetting_SetTexture(main);
    int stageNum = -1;
    for (const Draw &d : draws) {
        SCOPED_TRACE(d.Name);
        Graphics_D3D9_DrawSetting_SetBlendTexture(d.Blend, 1, 1);
        Graphics_D3D9_DrawSetting_SetUseVertexColor(d.VertexColor);
        D3D9Hooks.Calls.clear();
        EXPECT_NE(stageNum, Apply().StageNum);
        EXPECT_TRUE(D3D9Hooks.Calls.empty()) << D3D9Hooks.Calls.size() << " sampler states";
        stageNum = D3D9DeviceStateCache.Out.StageNum;
    }
    ExpectTheDeviceHoldsTheCache("draws of two, three and four stages");

    // One filter chosen alone leaves the draw mode; the mode chosen again puts that stage back.
    Graphics_D3D9_DeviceState_SetSamplerFilter(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    Graphics_D3D9_DrawSetting_SetTexture(nullptr);
    Apply();
    ExpectTheDeviceHoldsTheCache("a filter of its own on stage 0");
    Graphics_D3D9_DeviceState_SetDrawMode(1);
    ExpectTheDeviceHoldsTheCache("the draw mode again");

    // The present's quad of the sub back buffer samples stage 0 with filters of its own.
    const DWORD own = GraphicsScreenSettings.FullScreenScalingModeInEffect == FULLSCREEN_SCALING_EXACT ? D3DTEXF_LINEAR
                                                                                                       : D3DTEXF_POINT;
    Graphics_D3D9_DeviceState_SetSamplerFilter(0, D3DSAMP_MAGFILTER, own);
    Graphics_D3D9_DeviceState_SetSamplerFilter(0, D3DSAMP_MINFILTER, own);
    DeviceChanged = true;  // the sub back buffer stays with the device
    ASSERT_EQ(0, Graphics_D3D9_SetupSubBackBuffer());
    ASSERT_NE(nullptr, D3D9Screen.SubBackBufferTexture);
    const RECT screen = {0, 0, 640, 480};
    EXPECT_EQ(0, Direct3DDevice9_TransferSubBackBuffer(&screen));
    ExpectTheDeviceHoldsTheCache("the sub back buffer's quad");
    EXPECT_EQ(0, Graphics_D3D9_DeviceState_SendAll());
    ExpectTheDeviceHoldsTheCache("everything sent again");
}

TEST_F(D3D9DrawState, TheBatchDrawsOnlyWhenItMustChange)
{
    // Untextured shapes: boxes batch as one triangle list; a line draws them, then starts a list.
    Graphics_D3D9_DrawSetting_SetTexture(nullptr);
    Apply();
    Append(D3DPT_TRIANGLELIST, 6);
    Append(D3DPT_TRIANGLELIST, 6);
    EXPECT_TRUE(D3D9Hooks.Calls.empty());
    Append(D3DPT_LINELIST, 2);
    ASSERT_EQ(1u, D3D9Hooks.Calls.size());
    EXPECT_EQ("draw 4 4", D3D9Hooks.Calls[0]);
    Graphics_D3D9_RenderVertexBuffer(0);
    ASSERT_EQ(2u, D3D9Hooks.Calls.size());
    EXPECT_EQ("draw 2 1", D3D9Hooks.Calls[1]);
    Graphics_D3D9_RenderVertexBuffer(0);
    EXPECT_EQ(2u, D3D9Hooks.Calls.size()) << "an empty batch draws nothing";
    EXPECT_EQ(nullptr, Graphics_D3D9_ReserveVertices(D3DPT_TRIANGLELIST, 3225)) << "more than a buffer holds";

    // Textured quads fill the 2340-vertex buffer up to 2334 vertices; the next quad draws them.
    Graphics_D3D9_DrawSetting_SetTexture(MakeTexture());
    Apply();
    D3D9Hooks.Calls.clear();
    for (int quad = 0; quad < 2334 / 6; ++quad) Append(D3DPT_TRIANGLELIST, 6);
    EXPECT_TRUE(D3D9Hooks.Calls.empty());
    Append(D3DPT_TRIANGLELIST, 6);
    ASSERT_EQ(1u, D3D9Hooks.Calls.size());
    EXPECT_EQ("draw 4 778", D3D9Hooks.Calls[0]);
    EXPECT_EQ(6, D3D9DeviceStateCache.Batch.VertexNum);
    // A state change draws what was batched before it.
    Graphics_D3D9_DeviceState_SetZFunc(D3DCMP_ALWAYS);
    EXPECT_EQ(2u, D3D9Hooks.Calls.size());
}

TEST_F(D3D9DrawState, PreparationRunsOnceForTheSameFlags)
{
    const unsigned shape = D3D9_PREPARE_VERTEX_COLOR;
    EXPECT_TRUE(Graphics_D3D9_DrawNeedsPrepare(shape));
    Graphics_D3D9_PrepareDraw(shape);
    EXPECT_FALSE(Graphics_D3D9_DrawNeedsPrepare(shape));
    EXPECT_TRUE(Graphics_D3D9_DrawNeedsPrepare(shape | D3D9_PREPARE_GOURAUD));
    // A setting that changes the device asks for a new preparation.
    Graphics_D3D9_DeviceState_SetZFunc(D3DCMP_GREATER);
    EXPECT_TRUE(Graphics_D3D9_DrawNeedsPrepare(shape));
    Graphics_D3D9_PrepareDraw(shape);
    GraphicsState.DrawStateChangedFlag = 1;
    EXPECT_TRUE(Graphics_D3D9_DrawNeedsPrepare(shape));
}

TEST_F(D3D9DrawState, AnEmptyDrawAreaLeavesViewportAndScissor)
{
    GraphicsDrawSettings.DrawArea = {20, 10, 220, 110};
    ASSERT_EQ(0, Graphics_D3D9_SetDrawArea());
    EXPECT_EQ(200u, D3D9DeviceStateCache.Viewport.Width);
    EXPECT_EQ(110, D3D9DeviceStateCache.ScissorRect.bottom);
    GraphicsDrawSettings.DrawArea = {50, 10, 50, 110};
    EXPECT_EQ(-1, Graphics_D3D9_SetDrawArea());
    EXPECT_EQ(200u, D3D9DeviceStateCache.Viewport.Width);
    EXPECT_EQ(20, D3D9DeviceStateCache.ScissorRect.left);
    GraphicsDrawSettings.DrawArea = {0, 0, 640, 480};
}

TEST_F(D3D9DrawState, LightsArePlacedInViewSpaceForTheShaders)
{
    D3DLIGHT9 light = {};
    light.Type = D3DLIGHT_SPOT;
    light.Position = {1.0f, 2.0f, 3.0f};
    light.Direction = {0.0f, 0.0f, 1.0f};
    light.Ambient = {0.5f, 0.5f, 0.5f, 1.0f};
    light.Theta = 0.5f;
    light.Phi = 0.5f;  // no span between the cones: a hard edge, not a division by zero
    ASSERT_EQ(0, Graphics_D3D9_DeviceState_SetLight(1, &light));
    ASSERT_EQ(0, Graphics_D3D9_DeviceState_SetLightEnable(1, 1));
    D3DMATRIX view = {};
    view._11 = view._22 = view._33 = view._44 = 1.0f;
    view._41 = 10.0f;  // the camera moves the world 10 along x
    ASSERT_EQ(0, Graphics_D3D9_DeviceState_SetViewMatrix(&view));
    const float *vs = (const float *)ShaderConstantManager.Record[D3D9_CONSTANT_VS_FLOAT * 4].Values;
    const float *ps = (const float *)ShaderConstantManager.Record[D3D9_CONSTANT_PS_FLOAT * 4].Values;
    const float *block = vs + (14 + 7) * 4;
    EXPECT_EQ(11.0f, block[0]);
    EXPECT_EQ(1.0f, block[3]);
    EXPECT_EQ(1.0f, block[4 + 2]) << "a direction does not move";
    EXPECT_EQ(0.0f, block[4 + 3]);
    EXPECT_EQ(11.0f, ps[(32 + 7) * 4]);
    EXPECT_TRUE(std::isfinite(block[6 * 4 + 2]));
    // The light's ambient colour reaches the shaders times the material's ambient colour.
    D3DMATERIAL9 material = {};
    material.Ambient = {0.5f, 1.0f, 1.0f, 1.0f};
    ASSERT_EQ(0, Graphics_D3D9_DeviceState_SetMaterial(&material));
    EXPECT_EQ(0.25f, vs[(18 + 7) * 4]);
    EXPECT_EQ(0.25f, ps[(11 + 3) * 4]);
    const BOOL *bools = (const BOOL *)ShaderConstantManager.Record[D3D9_CONSTANT_VS_BOOL * 4].Values;
    EXPECT_TRUE(bools[6 + 3]);
    EXPECT_EQ(1, D3D9DeviceStateCache.LightEnableMax);
}

TEST_F(D3D9DrawState, AUserShaderDrawBlendsByTheFrontEndsModeAndItsConstantSets)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    struct Case
    {
        int BlendMode, AlphaTestMode;
        int SrcBlend, DestBlend, BlendOp, AlphaBlendEnable, AlphaFunc;
    };
    const bool subtract = D3D9DeviceCapsInfo.SubtractiveBlendFlag != 0;
    const Case cases[] = {
        {1, -1, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD, 1, D3DCMP_GREATER},
        // Subtraction by the device's own operation where it has one.
        {3, D3DCMP_EQUAL, subtract ? D3DBLEND_SRCALPHA : D3DBLEND_INVDESTCOLOR, subtract ? D3DBLEND_ONE : D3DBLEND_ZERO,
         subtract ? D3DBLENDOP_REVSUBTRACT : D3DBLENDOP_ADD, 1, D3DCMP_EQUAL},
        {6, -1, -1, -1, D3DBLENDOP_ADD, 0, D3DCMP_GREATER},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.BlendMode);
        d.BlendMode = c.BlendMode;
        d.AlphaTestMode = c.AlphaTestMode;
        ASSERT_EQ(0, Graphics_D3D9_SetupShaderDrawState(0, -1, 1, 0));
        const D3D9DrawStateOutputData &out = D3D9DeviceStateCache.Out;
        EXPECT_EQ(c.AlphaBlendEnable, out.AlphaBlendEnable);
        if (c.SrcBlend != -1) {
            EXPECT_EQ(c.SrcBlend, out.SrcBlend);
            EXPECT_EQ(c.DestBlend, out.DestBlend);
        }
        EXPECT_EQ(c.BlendOp, out.BlendOp);
        EXPECT_EQ(1, out.AlphaTestEnable);
        EXPECT_EQ(c.AlphaFunc, out.AlphaFunc);
        EXPECT_EQ(9, ShaderConstantManager.UsageMask);
        // The next ordinary draw sends its own state again.
        EXPECT_EQ(1, D3D9DeviceStateCache.Draw.DrawStateChangedFlag);
    }
    ASSERT_EQ(0, Graphics_D3D9_SetupShaderDrawState(0, -1, 0, 1));
    EXPECT_EQ(3, ShaderConstantManager.UsageMask);
    EXPECT_EQ(0x2D2u, D3D9DeviceStateCache.FVF) << "3-D vertices of the library's own";
    d.BlendMode = 0;
    d.AlphaTestMode = -1;
}

TEST_F(D3D9DrawState, TheResendAfterAModeChangeTakesTheFrontEndsFog)
{
    static int failed;
    failed = 0;
    D3D9Calls.Direct3DDevice9_SetRenderState = [](D3DRENDERSTATETYPE State, DWORD Value) -> HRESULT {
        HRESULT hr = D3D9SystemCalls.Direct3DDevice9_SetRenderState(State, Value);
        failed += FAILED(hr) ? 1 : 0;
        return hr;
    };
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    d.FogEnable = 1, d.FogMode = D3DFOG_LINEAR, d.FogColor = 0x00336699, d.FogStart = 10.0f, d.FogEnd = 110.0f;
    ASSERT_EQ(0, Graphics_D3D9_DeviceState_Refresh());
    EXPECT_EQ(0, failed);
    const D3D9DeviceStateCacheData &c = D3D9DeviceStateCache;
    EXPECT_EQ(0, c.ForceFlag);
    EXPECT_EQ(1, c.FogEnable);
    EXPECT_EQ(D3DFOG_LINEAR, c.FogMode);
    EXPECT_EQ(0x00336699u, c.FogColor);
    // The shaders' fog: end / (end - start) and -1 / (end - start).
    const float *vs = (const float *)ShaderConstantManager.Record[D3D9_CONSTANT_VS_FLOAT * 4].Values;
    EXPECT_FLOAT_EQ(1.1f, vs[10 * 4]);
    EXPECT_FLOAT_EQ(-0.01f, vs[10 * 4 + 1]);
    const float *ps = (const float *)ShaderConstantManager.Record[D3D9_CONSTANT_PS_FLOAT * 4].Values;
    EXPECT_FLOAT_EQ(0x33 / 255.0f, ps[8 * 4]);
    // The full resend after a present keeps all of it and leaves nothing forced.
    ASSERT_EQ(0, Graphics_D3D9_ReapplyDeviceState());
    EXPECT_EQ(0, failed);
    EXPECT_EQ(0, c.ForceFlag);
    EXPECT_EQ(0x00336699u, c.FogColor);
    d.FogEnable = 0, d.FogMode = 0, d.FogColor = 0, d.FogStart = 0.0f, d.FogEnd = 1.0f;
}

TEST_F(D3D9DrawState, WithShadersTheFlushChoosesTheBasePixelShaderOfItsState)
{
    // Stand-in shader objects: the device never sees them.
    D3D9Calls.Direct3DDevice9_SetPixelShader = [](IDirect3DPixelShader9 *Shader) -> HRESULT {
        D3D9Hooks.Calls.push_back("ps " + std::to_string((uintptr_t)Shader));
        return D3D_OK;
    };
    for (int i = 0; i < D3D9_NONETEX_SHADER_NUM; ++i)
        D3D9BaseShaders.NoneTex[i] = (IDirect3DPixelShader9 *)(uintptr_t)(1000 + i);
    for (int i = 0; i < D3D9_BLEND_SHADER_NUM; ++i)
        D3D9BaseShaders.Blend[i] = (IDirect3DPixelShader9 *)(uintptr_t)(2000 + i);
    GraphicsDeviceCaps.ProgrammableShaderFlag = 1;
    IDirect3DTexture9 *texture = MakeTexture();
    struct Case
    {
        const char *Name;
        int BlendMode, IgnoreColor;
        bool Texture;
        uintptr_t Shader;
    };
    const Case cases[] = {
        {"untextured, inverted", 10, 0, false, 1000 + 2 * 2},
        {"untextured, x4 premultiplied", 21, 0, false, 1000 + 6 * 2},
        // One texture: blend 0, stage type 0, igcolor, igtalpha 1 (alpha variant 0), ach 0.
        {"textured, colour ignored", 0, 1, true, 2000 + ((0 * 7 + 0) * 2 + 1) * 4 + 2},
        {"textured, premultiplied", 18, 0, true, 2000 + ((0 * 7 + 4) * 2 + 0) * 4 + 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        Graphics_D3D9_DrawSetting_SetTexture(c.Texture ? texture : nullptr);
        Graphics_D3D9_DrawSetting_SetBlendMode(c.BlendMode, 0, 0);
        Graphics_D3D9_DrawSetting_SetIgnoreColor(c.IgnoreColor);
        D3D9Hooks.Calls.clear();
        ASSERT_EQ(0, Graphics_D3D9_ApplyDrawState(nullptr, 0, 0, 1));
        EXPECT_EQ(c.Shader, (uintptr_t)D3D9DeviceStateCache.PixelShader);
        EXPECT_EQ(1, D3D9DeviceStateCache.Out.LibraryPixelShaderFlag);
        EXPECT_NE(D3D9Hooks.Calls.end(),
                  std::find(D3D9Hooks.Calls.begin(), D3D9Hooks.Calls.end(), "ps " + std::to_string(c.Shader)));
    }
    // The fixed-function form takes the library's shader off, or the stages would not be read.
    D3D9DeviceStateCache.Draw.DrawStateChangedFlag = 1;
    ASSERT_EQ(0, Graphics_D3D9_ApplyDrawState(nullptr, 0, 0, 0));
    EXPECT_EQ(nullptr, D3D9DeviceStateCache.PixelShader);
    EXPECT_EQ(0, D3D9DeviceStateCache.Out.LibraryPixelShaderFlag);
    GraphicsDeviceCaps.ProgrammableShaderFlag = 0;
    D3D9BaseShaders = D3D9BaseShaderData();
}

TEST_F(D3D9DrawState, TheDepthBufferFollowsTheDrawTarget)
{
    ASSERT_EQ(0, InitializeHandleType(DX_HANDLETYPE_GRAPH, sizeof(GraphHandleData), 8, nullptr, nullptr, L"Graph"));
    // The draw target, and the user's depth graph: each a graph whose one texture entry holds the
    // back end's objects.
    struct FakeGraph
    {
        int Handle;
        GraphHandleData *Graph;
        GraphicsBackendObjectData Objects = {};
        GraphTextureEntry Entry = {};
        GraphImageRecord Image = {};
    } target, user;
    for (FakeGraph *g : {&target, &user}) {
        g->Handle = AddHandle(DX_HANDLETYPE_GRAPH, 0, -1);
        g->Graph = GetTypedHandle<GraphHandleData>(g->Handle, DX_HANDLETYPE_GRAPH, 0);
        ASSERT_NE(nullptr, g->Graph);
        g->Entry.PF = &g->Objects;
        g->Image.Format.HardwareFlag = 1;
        g->Image.TextureNum = 1;
        g->Image.Texture = &g->Entry;
        g->Graph->Image = &g->Image;
    }
    IDirect3DSurface9 *own = nullptr, *users = nullptr;
    for (IDirect3DSurface9 **surface : {&own, &users})
        ASSERT_EQ(D3D_OK, Direct3DDevice9_CreateDepthStencilSurface(64, 64, D3DFMT_D16, D3DMULTISAMPLE_NONE, 0, FALSE,
                                                                    surface, nullptr));
    D3D9TextureObjectsOf(&user.Objects)->DepthSurface = users;
    auto depth = [] {
        IDirect3DSurface9 *surface = nullptr;
        Direct3DDevice9_GetDepthStencilSurface(&surface);
        if (surface != nullptr) Direct3D9_ReleaseObject(surface);
        return surface;
    };
    struct Case
    {
        const char *Name;
        bool Screen;                // the back buffer is the target, else the graph
        int Width, Height;          // the target graph's size
        IDirect3DSurface9 *Own;     // its own depth surface
        int UserWidth, UserHeight;  // the user's depth graph's size, 0 = none set
        int Mask;                   // mask drawing on
        IDirect3DSurface9 *Expected;
    };
    IDirect3DSurface9 *zBuffer = D3D9Screen.ZBuffer;
    const Case cases[] = {
        {"a graph within the screen's Z buffer", false, 100, 100, nullptr, 0, 0, 0, zBuffer},
        {"a graph wider than it", false, 2048, 16, nullptr, 0, 0, 0, nullptr},
        {"a graph with its own", false, 2048, 16, own, 0, 0, 0, own},
        {"the user's, as large as the graph", false, 100, 100, own, 100, 100, 0, users},
        {"the user's, narrower than the graph", false, 100, 100, own, 99, 200, 0, own},
        {"the user's, lower than the graph", false, 100, 100, nullptr, 200, 99, 0, zBuffer},
        {"the user's under the mask", false, 100, 100, own, 100, 100, 1, zBuffer},
        {"the screen and the user's as large", true, 0, 0, nullptr, 640, 480, 0, users},
        {"the screen and the user's smaller", true, 0, 0, nullptr, 640, 479, 0, zBuffer},
        {"the screen under the mask", true, 0, 0, nullptr, 640, 480, 1, zBuffer},
    };
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    d.DrawSizeX = 640, d.DrawSizeY = 480;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        target.Graph->Width = c.Width, target.Graph->Height = c.Height;
        D3D9TextureObjectsOf(&target.Objects)->DepthSurface = c.Own;
        user.Graph->Width = c.UserWidth, user.Graph->Height = c.UserHeight;
        d.UserDepthGraph = c.UserWidth > 0 ? user.Handle : 0;
        d.MaskValidFlag = c.Mask;
        d.RenderTarget[0] = c.Screen ? DX_SCREEN_BACK : target.Handle;
        ASSERT_EQ(0, Graphics_D3D9_SetupDepthBuffer());
        EXPECT_EQ(c.Expected, depth());
    }
    d.UserDepthGraph = 0;
    d.MaskValidFlag = 0;
    // Back to the screen: its surface and its Z buffer.
    d.RenderTarget[0] = DX_SCREEN_BACK;
    ASSERT_EQ(0, Graphics_D3D9_SetDrawScreen(DX_SCREEN_BACK, 0, 0, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(D3D9DeviceCapsInfo.BackBuffer, D3D9DeviceStateCache.RenderTarget[0]);
    EXPECT_EQ(zBuffer, depth());
    target.Graph->Image = user.Graph->Image = nullptr;
    TerminateHandleType(DX_HANDLETYPE_GRAPH);
    Direct3D9_ReleaseObject(own);
    Direct3D9_ReleaseObject(users);
}

}  // namespace
