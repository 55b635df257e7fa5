// The device-state cache against the recording fake: a setter draws the pending batch only for a
// real change, a forced setter sends without drawing, targets of unequal sizes stay off the device,
// and the constants land where the shaders read them.
#include <gtest/gtest.h>

#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/zovuz/d3d11/d3d11_fixture.h"

#include "zovuz/d3d11/d3d11_internal.h"
#include "zovuz/d3d11/state/windows/d3d11_buffers_win.h"
#include "zovuz/d3d11/state/windows/d3d11_device_state_win.h"
#include "zovuz/d3d11/draw/windows/d3d11_vertex_batch_win.h"

namespace {

class DeviceState : public FakeD3D11DrawingTest
{
protected:
    static float Constant(D3D11StandardConstantBuffer Which, int Offset)
    {
        return *(const float *)((const char *)D3D11Buffers.Standard[Which]->SystemCopy + Offset);
    }
};

TEST_F(DeviceState, ASetterDrawsThePendingBatchOnlyForARealChange)
{
    const MATERIALPARAM material = {{0.5f, 0.5f, 0.5f, 1.0f}, {0.2f, 0.2f, 0.2f, 1.0f}, {}, {}, 5.0f};
    const float factor[4] = {0.25f, 0.5f, 0.75f, 1.0f};
    const struct
    {
        const char *name;
        std::function<int()> set;
    } setters[] = {
        {"cull mode", [] { return Graphics_D3D11_DeviceState_SetCullMode(1); }},
        {"depth enable", [] { return Graphics_D3D11_DeviceState_SetDepthEnable(1); }},
        {"draw mode", [] { return Graphics_D3D11_DeviceState_SetDrawMode(1); }},
        {"one sampler's address", [] { return Graphics_D3D11_DeviceState_SetTextureAddressU(1, 4); }},
        {"material", [&] { return Graphics_D3D11_DeviceState_SetMaterial(&material, nullptr); }},
        {"fog colour", [] { return Graphics_D3D11_DeviceState_SetFogColor(0x102030); }},
        {"factor colour", [&] { return Graphics_D3D11_DeviceState_SetFactorColor(factor); }},
        {"alpha-test reference", [] { return Graphics_D3D11_DeviceState_SetAlphaTestRef(99); }},
        {"blend mode", [] { return Graphics_D3D11_SetBlendModeState(2, 0, 0); }},
        {"fog on", [] { return Graphics_D3D11_SetFogEnable(1); }},
        {"fog mode", [] { return Graphics_D3D11_SetFogMode(3); }},
    };
    for (const auto &setter : setters) {
        SCOPED_TRACE(setter.name);
        const int draws = FakeD3D11Count("Draw");
        AddPendingVertices();
        EXPECT_EQ(0, setter.set());
        EXPECT_EQ(draws + 1, FakeD3D11Count("Draw"));
        AddPendingVertices();
        EXPECT_EQ(0, setter.set());
        EXPECT_EQ(draws + 1, FakeD3D11Count("Draw")) << "an unchanged value drew the batch";
        Graphics_D3D11_RenderVertexBuffer(-1, 0);
    }

    // Forced, an unchanged value goes to the description again without drawing the batch.
    Graphics_D3D11_ApplyStateObjects();
    const int draws = FakeD3D11Count("Draw");
    AddPendingVertices();
    D3D11DeviceState.ForceFlag = 1;
    EXPECT_EQ(0, Graphics_D3D11_DeviceState_SetCullMode(1));
    D3D11DeviceState.ForceFlag = 0;
    EXPECT_EQ(draws, FakeD3D11Count("Draw"));
    EXPECT_EQ(1, D3D11DeviceState.RasterizerChangedFlag);
}

TEST_F(DeviceState, RefusedValuesAndATargetOfAnotherSizeLeaveTheDeviceAsItWas)
{
    EXPECT_EQ(-1, Graphics_D3D11_DeviceState_SetDrawMode(3));
    EXPECT_EQ(0, D3D11DeviceState.DrawMode);
    EXPECT_EQ(-1, Graphics_D3D11_DeviceState_SetRenderTarget(nullptr, nullptr, 8));
    EXPECT_EQ(-1, Graphics_D3D11_DeviceState_SetLightEnable(6, 1));
    EXPECT_EQ(-1, Graphics_D3D11_DeviceState_SetTextureAddressU(1, 16));
    EXPECT_EQ(-1, Graphics_D3D11_DeviceState_VSSetConstantBuffers(12, 3, D3D11DeviceState.VSConstantBuffer));
    EXPECT_TRUE(FakeD3D11.Calls.empty());

    D3D11_TEXTURE2D_DESC desc = {};
    desc.Width = desc.Height = 64;
    desc.MipLevels = desc.ArraySize = 1;
    desc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    desc.SampleDesc.Count = 1;
    desc.BindFlags = D3D11_BIND_RENDER_TARGET;
    ID3D11Texture2D *texture = nullptr;
    ID3D11RenderTargetView *view = nullptr;
    ASSERT_EQ(S_OK, D3D11Device_CreateTexture2D(&desc, nullptr, &texture));
    ASSERT_EQ(S_OK, D3D11Device_CreateRenderTargetView(texture, nullptr, &view));
    EXPECT_EQ(0, Graphics_D3D11_DeviceState_SetRenderTarget(texture, view, 1));
    EXPECT_EQ(0, FakeD3D11Count("OMSetRenderTargets"));
    EXPECT_EQ(texture, D3D11DeviceState.RenderTarget[1]);
    EXPECT_EQ(64u, D3D11DeviceState.RenderTargetDesc[1].Width);

    // Target 0 of the same size: both are bound, and the viewport follows target 0.
    Graphics_D3D11_DeviceState_SetDepthStencil(nullptr, nullptr);
    EXPECT_EQ(0, Graphics_D3D11_DeviceState_SetRenderTarget(texture, view, 0));
    EXPECT_EQ(1, FakeD3D11Count("OMSetRenderTargets"));
    EXPECT_EQ(64.0f, D3D11DeviceState.Viewport.Width);

    Graphics_D3D11_DeviceState_SetRenderTarget(nullptr, nullptr, 0);
    Graphics_D3D11_DeviceState_SetRenderTarget(nullptr, nullptr, 1);
    D3D11RenderTargetView_Release(view);
    D3D11Texture2D_Release(texture);
}

TEST_F(DeviceState, ConstantsLandWhereTheShadersReadThem)
{
    LIGHTPARAM light = {};
    light.LightType = DX_LIGHTTYPE_POINT;
    light.Range = 3.0f;
    light.Ambient[0] = 0.5f;
    const MATERIALPARAM material = {{}, {0.5f, 0.5f, 0.5f, 0.5f}, {}, {0.25f, 0, 0, 0}, 0.0f};
    ASSERT_EQ(0, Graphics_D3D11_DeviceState_SetMaterial(&material, nullptr));
    ASSERT_EQ(0, Graphics_D3D11_DeviceState_SetLightParam(2, &light));
    ASSERT_EQ(0, Graphics_D3D11_DeviceState_SetLightEnable(2, 1));
    ASSERT_EQ(0, Graphics_D3D11_DeviceState_SetFogStartEnd(100.0f, 300.0f));
    ASSERT_EQ(0, Graphics_D3D11_DeviceState_SetFogColor(0xFF8000));
    ASSERT_EQ(0, Graphics_D3D11_DeviceState_SetAlphaTestRef(51));
    const float ambient[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    ASSERT_EQ(0, Graphics_D3D11_DeviceState_SetGlobalAmbient(ambient));

    const struct
    {
        const char *name;
        D3D11StandardConstantBuffer buffer;
        int offset;
        float value;
    } cases[] = {
        {"light 2 range squared", D3D11_SCB_COMMON, 2 * 112 + 28, 9.0f},
        {"light 2 ambient x material ambient", D3D11_SCB_COMMON, 2 * 112 + 80, 0.25f},
        {"global ambient x material ambient + emissive", D3D11_SCB_COMMON, 704, 0.75f},
        {"power kept above 0", D3D11_SCB_COMMON, 720, 1e-11f},
        {"fog end / (end - start)", D3D11_SCB_COMMON, 736, 1.5f},
        {"fog -1 / (end - start)", D3D11_SCB_COMMON, 740, -0.005f},
        {"fog e", D3D11_SCB_COMMON, 748, 2.7182817f},
        {"fog red", D3D11_SCB_COMMON, 752, 1.0f},
        {"fog green", D3D11_SCB_COMMON, 756, 128.0f / 255.0f},
        {"alpha reference / 255", D3D11_SCB_PIXEL_BASE, 20, 0.2f},
    };
    for (const auto &c : cases) EXPECT_FLOAT_EQ(c.value, Constant(c.buffer, c.offset)) << c.name;

    // The copies reach the device once, at the next draw's apply.
    Graphics_D3D11_ApplyStateObjects();
    EXPECT_EQ(2, FakeD3D11Count("UpdateSubresource"));  // common and pixel base
    Graphics_D3D11_ApplyStateObjects();
    EXPECT_EQ(2, FakeD3D11Count("UpdateSubresource"));
}

TEST_F(DeviceState, MatricesGoInAsColumnsAndLightsMoveWithTheView)
{
    // The front end's matrices take row vectors: the translation is row 3, which the shaders read
    // as the last component of each row they get.
    MATRIX m = {};
    for (int i = 0; i < 4; ++i) m.m[i][i] = 1.0f;
    m.m[3][0] = 5.0f;
    m.m[3][2] = 10.0f;
    const struct
    {
        const char *name;
        int (*set)(const MATRIX *);
        int offset;  // of the first row
    } writers[] = {
        {"draw area", Graphics_D3D11_DeviceState_SetDrawAreaMatrix, 0},
        {"projection", Graphics_D3D11_DeviceState_SetProjectionMatrix, 64},
        {"view", Graphics_D3D11_DeviceState_SetViewMatrix, 128},
        {"world", Graphics_D3D11_DeviceState_SetWorldMatrix, 176},
    };
    for (const auto &w : writers) {
        ASSERT_EQ(0, w.set(&m));
        EXPECT_EQ(5.0f, Constant(D3D11_SCB_VERTEX_BASE, w.offset + 12)) << w.name;
        EXPECT_EQ(10.0f, Constant(D3D11_SCB_VERTEX_BASE, w.offset + 2 * 16 + 12)) << w.name;
        EXPECT_EQ(1.0f, Constant(D3D11_SCB_VERTEX_BASE, w.offset + 16 + 4)) << w.name;
    }

    // The light set before the view moves: its position takes the translation, its direction not.
    LIGHTPARAM light = {};
    light.LightType = DX_LIGHTTYPE_SPOT;
    light.Position = VECTOR{1.0f, 2.0f, 3.0f};
    light.Direction = VECTOR{0.0f, 0.0f, 1.0f};
    ASSERT_EQ(0, Graphics_D3D11_DeviceState_SetLightParam(1, &light));
    ASSERT_EQ(0, Graphics_D3D11_DeviceState_SetViewMatrix(&m));
    const float place[6] = {6.0f, 2.0f, 13.0f, 0.0f, 0.0f, 1.0f};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(place[i], Constant(D3D11_SCB_COMMON, 112 + (i < 3 ? 16 : 20) + 4 * i)) << i;
}

TEST_F(DeviceState, TheLightLoopBoundFollowsTheHighestEnabledLight)
{
    const struct
    {
        int index, flag, bound;
    } steps[] = {{0, 1, 0}, {3, 1, 3}, {1, 1, 3}, {3, 0, 1}, {1, 0, 0}, {0, 0, 0}};
    for (const auto &s : steps) {
        ASSERT_EQ(0, Graphics_D3D11_DeviceState_SetLightEnable(s.index, s.flag));
        EXPECT_EQ(s.bound, D3D11DeviceState.LightLoopBound) << "light " << s.index << " " << s.flag;
    }
}

TEST_F(DeviceState, ResendAllSendsTheCacheAgainWithoutDrawing)
{
    AddPendingVertices();
    ASSERT_EQ(0, Graphics_D3D11_DeviceState_ResendAll());
    EXPECT_EQ(1, FakeD3D11Count("Draw"));  // the batch drawn first, once
    EXPECT_EQ(0, D3D11DeviceState.ForceFlag);
    for (const char *call : {"RSSetViewports", "RSSetState", "OMSetDepthStencilState", "OMSetBlendState",
                             "PSSetSamplers", "IASetPrimitiveTopology", "PSSetShader", "VSSetConstantBuffers"})
        EXPECT_LE(1, FakeD3D11Count(call)) << call;
    EXPECT_EQ(D3D11_SCB_NUM, FakeD3D11Count("UpdateSubresource"));
    // Nothing is made twice: the forced re-creation takes the cached objects.
    EXPECT_EQ(0, FakeD3D11Count("CreateRasterizerState") + FakeD3D11Count("CreateBlendState"));
}

TEST_F(DeviceState, RestoreWritesTheCachedSettingsAgain)
{
    LIGHTPARAM light = {};
    light.LightType = DX_LIGHTTYPE_POINT;
    light.Range = 2.0f;
    ASSERT_EQ(0, Graphics_D3D11_DeviceState_SetLightParam(4, &light));
    ASSERT_EQ(0, Graphics_D3D11_DeviceState_SetLightEnable(4, 1));
    ASSERT_EQ(0, Graphics_D3D11_DeviceState_SetFogStartEnd(0.0f, 4.0f));
    // What a new device's buffers hold: nothing.
    for (D3D11ConstantBuffer *buffer : D3D11Buffers.Standard) memset(buffer->SystemCopy, 0, buffer->Size);

    ASSERT_EQ(0, Graphics_D3D11_RestoreDeviceState());
    EXPECT_EQ(0, D3D11DeviceState.ForceFlag);
    EXPECT_EQ(4.0f, Constant(D3D11_SCB_COMMON, 4 * 112 + 28));
    EXPECT_EQ(1.0f, Constant(D3D11_SCB_COMMON, 736));
    EXPECT_EQ(2.7182817f, Constant(D3D11_SCB_COMMON, 748));
    EXPECT_EQ(1, D3D11DeviceState.LightEnable[4]);
    EXPECT_EQ(4, D3D11DeviceState.LightLoopBound);
}

}  // namespace
