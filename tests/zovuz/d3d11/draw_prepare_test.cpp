// The draw preparation against the recording fake: the front end's settings choose the blend
// preset, the alpha test and the standard pixel shader; blend texture mode 1 thresholds or drops
// the batch; and the diffuse colour is packed in the device's byte order.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "tests/zovuz/d3d11/d3d11_fixture.h"
#include "zovuz/d3d11/state/windows/d3d11_buffers_win.h"
#include "zovuz/d3d11/state/windows/d3d11_device_state_win.h"
#include "zovuz/d3d11/shader/windows/d3d11_shader_win.h"
#include "zovuz/d3d11/draw/windows/d3d11_vertex_batch_win.h"

namespace {

class DrawPrepare : public FakeD3D11Test
{
protected:
    void SetUp() override
    {
        FakeD3D11Test::SetUp();
        ASSERT_EQ(0, StartDrawing());
        GraphicsDrawSettingsData &d = GraphicsDrawSettings;
        memset(&d, 0, sizeof(d));
        d.AlphaTestMode = -1;
        d.FillMode = 3;
        d.MaxAnisotropy = 16;
        for (int i = 0; i < 16; ++i) d.TexAddressModeU[i] = d.TexAddressModeV[i] = d.TexAddressModeW[i] = 3;
        for (int i = 0; i < 2; ++i) {
            D3D11_TEXTURE2D_DESC desc = {};
            desc.Width = desc.Height = 64;
            desc.MipLevels = desc.ArraySize = 1;
            desc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
            desc.SampleDesc.Count = 1;
            desc.BindFlags = D3D11_BIND_SHADER_RESOURCE;
            ASSERT_EQ(S_OK, D3D11Device_CreateTexture2D(&desc, nullptr, &texture_[i]));
            ASSERT_EQ(S_OK, D3D11Device_CreateShaderResourceView(texture_[i], nullptr, &view_[i]));
        }
        FakeD3D11.Calls.clear();
        FakeD3D11.CallCount.clear();
    }
    void TearDown() override
    {
        Graphics_D3D11_SetTexture(nullptr, nullptr);
        Graphics_D3D11_SetBlendTexture(nullptr, nullptr, 0, 0);
        for (int i = 0; i < 2; ++i) {
            D3D11ShaderResourceView_Release(view_[i]);
            D3D11Texture2D_Release(texture_[i]);
        }
        GraphicsDrawSettings = GraphicsDrawSettingsData();
        FakeD3D11Test::TearDown();
    }
    float PixelBase(int Offset)
    {
        return *(const float *)((const char *)D3D11Buffers.Standard[D3D11_SCB_PIXEL_BASE]->SystemCopy + Offset);
    }
    ID3D11Texture2D *texture_[2] = {};
    ID3D11ShaderResourceView *view_[2] = {};
};

TEST_F(DrawPrepare, TheSettingsChooseTheBlendPreset)
{
    const uint32_t textured = D3D11_PREPARE_TEXTURED | D3D11_PREPARE_ALPHA_CHANNEL;
    const struct
    {
        const char *name;
        bool texture;
        int blendMode, targetAlpha;
        uint32_t flags;
        int preset;
    } cases[] = {
        {"an alpha image drawn transparent blends by its alpha", true, 0, 0, textured | D3D11_PREPARE_TRANS, 1},
        {"the same, opaque, onto an alpha target", true, 0, 1, textured, 14},
        {"the same, transparent, onto an alpha target", true, 0, 1, textured | D3D11_PREPARE_TRANS, 1},
        {"an opaque image onto a plain target", true, 0, 0, textured, 0},
        {"subtraction", true, 3, 0, textured, 16},
        {"an untextured subtraction", false, 3, 0, D3D11_PREPARE_UNTEXTURED, 16},
        {"an untextured box onto an alpha target", false, 0, 1, D3D11_PREPARE_UNTEXTURED, 14},
        {"addition keeps its row", true, 2, 0, textured | D3D11_PREPARE_TRANS, 2},
        {"a mode past the table draws as no blending", true, 40, 0, textured, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        GraphicsDrawSettings.BlendMode = c.blendMode;
        GraphicsDrawSettings.DrawScreenAlphaFlag = c.targetAlpha;
        D3D11DeviceState.ReChooseFlag = 1;
        Graphics_D3D11_SetTexture(c.texture ? texture_[0] : nullptr, c.texture ? view_[0] : nullptr);
        Graphics_D3D11_PrepareDraw(c.flags);
        EXPECT_EQ(c.preset, D3D11DeviceState.BlendPreset);
        EXPECT_EQ(c.texture ? 1 : 0, D3D11Batch.Kind);
        EXPECT_EQ(1, D3D11DeviceState.PixelShaderStandardFlag);
        EXPECT_EQ(D3D11DeviceState.PixelShader,
                  D3D11StandardShaders
                      .Pixel[c.texture ? D3D11TexturedShaderSlot(D3D11_TEXTURED_TABLE_PLAIN,
                                                                 D3D11DeviceState.AlphaTestShaderBit,
                                                                 c.flags & D3D11_PREPARE_TRANS ? 0 : 1, 0,
                                                                 D3D11BlendPresets[c.preset].ShaderClass)
                                       : D3D11UntexturedShaderSlot(0, D3D11BlendPresets[c.preset].ShaderClass)]);
    }
}

TEST_F(DrawPrepare, AnOverrideComparisonOtherThanGreaterTakesTheGeneralTest)
{
    for (int mode = 1; mode <= 8; ++mode) {
        SCOPED_TRACE(mode);
        Graphics_D3D11_SetAlphaTestState(mode, 10);
        ASSERT_EQ(0, Graphics_D3D11_ApplyDrawState());
        const int s = mode == 5 ? 0 : 1;
        EXPECT_EQ(s, D3D11DeviceState.AlphaTestShaderBit);
        EXPECT_EQ(D3D11StandardShaders.Pixel[D3D11UntexturedShaderSlot(s, 0)], D3D11DeviceState.PixelShader);
        EXPECT_EQ(mode, D3D11DeviceState.AlphaTestFunc);
        EXPECT_FLOAT_EQ(10.0f / 255.0f, PixelBase(20));
    }
    // No override: the test is off, which the reference -1 gives the "greater" comparison.
    Graphics_D3D11_SetAlphaTestState(-1, 0);
    Graphics_D3D11_ApplyDrawState();
    EXPECT_EQ(5, D3D11DeviceState.AlphaTestFunc);
    EXPECT_FLOAT_EQ(-1.0f / 255.0f, PixelBase(20));
}

TEST_F(DrawPrepare, BlendTextureModeOneThresholdsOrDropsTheBatch)
{
    Graphics_D3D11_SetTexture(texture_[0], view_[0]);
    Graphics_D3D11_SetBlendTexture(texture_[1], view_[1], 64, 64);
    Graphics_D3D11_SetBlendModeState(1, 0, 0);

    // Range 1: a hard threshold, greater-or-equal against the position, without blending.
    const int hard[2] = {100, 1};
    Graphics_D3D11_SetBlendTextureParam(1, hard);
    ASSERT_EQ(0, Graphics_D3D11_ApplyDrawState());
    EXPECT_EQ(2, D3D11Batch.Kind);
    EXPECT_EQ(7, D3D11DeviceState.AlphaTestFunc);
    EXPECT_EQ(100, D3D11DeviceState.AlphaTestRef);
    EXPECT_EQ(0, D3D11DeviceState.BlendPreset);
    EXPECT_EQ(1.0f, D3D11DeviceState.FactorColor[2]);
    EXPECT_EQ(std::vector<std::string>({"PSSetShaderResources 0 2 obj"}),
              FakeD3D11CallsStartingWith("PSSetShaderResources"));

    // Position 255: nothing of the batch is drawn.
    const int end[2] = {255, 40};
    Graphics_D3D11_SetBlendTextureParam(1, end);
    Graphics_D3D11_ApplyDrawState();
    AddPendingVertices(6);
    Graphics_D3D11_RenderVertexBuffer(-1, 0);
    EXPECT_EQ(0, FakeD3D11Count("Draw"));
    EXPECT_EQ(0, D3D11Batch.Count);
}

TEST(BorderSoftParams, TheScaleAndOffsetFollowTheRange)
{
    const struct
    {
        int range;
        float k;
        float offset[3];  // at positions 0, 128, 255
    } cases[] = {
        {200, 1.0f, {1.0f, -1.0f / 255, -1.0f}},
        {100, 2.0f, {128.0f / 255, -65.0f / 255, -1.0f}},
        {30, 4.0f, {64.0f / 255, -97.0f / 255, -1.0f}},
    };
    const int positions[3] = {0, 128, 255};
    for (const auto &c : cases)
        for (int i = 0; i < 3; ++i) {
            float k = 0, offset = 0;
            D3D11BorderSoftParams(positions[i], c.range, &k, &offset);
            EXPECT_EQ(c.k, k) << c.range;
            EXPECT_FLOAT_EQ(c.offset[i], offset) << "range " << c.range << " position " << positions[i];
        }
}

TEST_F(DrawPrepare, TheDiffuseColourFollowsTheDevicesByteOrder)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    d.DrawBrightRed = 0x11;
    d.DrawBrightGreen = 0x22;
    d.DrawBrightBlue = 0x33;
    const struct
    {
        int bgra, blendMode, alphaFlag;
        uint32_t color;
    } cases[] = {
        {1, 1, 0, 0x80112233u},
        {0, 1, 0, 0x80332211u},
        {1, 0, 0, 0xFF112233u},
        {0, 0, 1, 0x80332211u},
    };
    d.BlendParam = 0x80;
    for (const auto &c : cases) {
        GraphicsDeviceCaps.VertexColorBGRAFlag = c.bgra;
        d.BlendMode = c.blendMode;
        d.BlendParamAlphaFlag = c.alphaFlag;
        EXPECT_EQ(c.color, Graphics_D3D11_GetDiffuseColor()) << c.bgra << c.blendMode << c.alphaFlag;
    }
}

}  // namespace
