// One scene drawn through the back end's batch with and without programmable shaders: every blend
// mode with no texture, with a texture (opaque, with alpha, with its colour ignored) and with a
// blend graph (cross-fade, wipe, mask), with colour and with alpha modulation, on the back buffer
// and on an alpha render target. The base shaders' picture and the user's forbid setting's
// fixed-function picture differ by at most 2 in any channel; without a base archive the start
// falls back to the fixed function and draws the same again.
#include "tests/zovuz/d3d9/d3d9_fixture.h"

#include <stdlib.h>

#include <algorithm>
#include <vector>

#include "zovuz/d3d9/state/windows/d3d9_draw_state_table_win.h"
#include "zovuz/d3d9/shader/windows/d3d9_shader_win.h"
#include "zovuz/d3d9/draw/windows/d3d9_vertex_batch_win.h"

namespace {

const int SceneWidth = 640, SceneHeight = 480, Cell = 20, Quad = 16;

struct ScenePictures
{
    std::vector<uint32_t> Plain, Alpha;  // on the back buffer, and on an alpha render target
    int Shaded = 0;                      // draws that a base pixel shader drew
};

class D3D9ShaderPicture : public D3D9DrawTest
{
protected:
    // The back end again, with the user's forbid setting or not.
    void Restart(bool Forbid)
    {
        DeviceChanged = true;
        Graphics_D3D9_Terminate();
        D3D9CallLayer.Settings.SoftwareVertexProcessingFlag = Forbid ? 1 : 0;
        ASSERT_EQ(0, Graphics_D3D9_Startup());
        D3D9CallLayer.Settings.SoftwareVertexProcessingFlag = 0;
        ASSERT_EQ(0, Graphics_D3D9_InitializeDeviceState());
    }

    // Every blend mode with no texture; a texture without and with its alpha, and with its colour
    // ignored; a texture with a cross-fade, wipe and mask blend graph; each with colour and with
    // alpha modulation, a quad in a cell of its own; on the back buffer, then (unless only the
    // plain picture is wanted) on an alpha render target.
    ScenePictures DrawScene(bool AlphaTargetToo = true)
    {
        ScenePictures out;
        IDirect3DTexture9 *image = MakeTexture16([](int i) -> uint32_t {
            return (i * 37u % 256) << 24 | (255 - i) << 16 | (i * 29u % 256) << 8 | (i * 61u % 256);
        });
        IDirect3DTexture9 *blend = MakeTexture16([](int i) -> uint32_t { return (i * 11u % 256) << 24 | 0x808080; });
        IDirect3DTexture9 *alphaTarget = nullptr;
        EXPECT_EQ(D3D_OK, Direct3DDevice9_CreateTexture(SceneWidth, SceneHeight, 1, D3DUSAGE_RENDERTARGET,
                                                        D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &alphaTarget, nullptr));
        IDirect3DSurface9 *alphaSurface = nullptr;
        if (alphaTarget != nullptr) alphaTarget->GetSurfaceLevel(0, &alphaSurface);
        GraphicsDrawSettingsData &d = GraphicsDrawSettings;
        for (int alpha = 0; alpha < (AlphaTargetToo ? 2 : 1); ++alpha) {
            IDirect3DSurface9 *target = alpha ? alphaSurface : D3D9DeviceCapsInfo.BackBuffer;
            Graphics_D3D9_RenderVertexBuffer(0);
            Graphics_D3D9_DeviceState_SetRenderTarget(target, 0);
            d.DrawScreenAlphaFlag = alpha;
            Direct3DDevice9_Clear(0, nullptr, D3DCLEAR_TARGET, alpha ? 0x802878C8 : 0xFF2878C8, 1.0f, 0);
            int cell = 0;
            for (int mode = 0; mode < D3D9_BLEND_MODE_NUM; ++mode)
                for (int kind = 0; kind < 7; ++kind)  // none, opaque, alpha, no colour, cross-fade, wipe, mask
                    for (int alphaModulation = 0; alphaModulation < 2; ++alphaModulation, ++cell) {
                        d.BlendMode = mode;
                        d.DrawBrightRed = alphaModulation ? 255 : 200;
                        d.DrawBrightGreen = alphaModulation ? 255 : 100;
                        d.DrawBrightBlue = alphaModulation ? 255 : 30;
                        d.BlendParam = alphaModulation ? 128 : 255;
                        d.IgnoreColorFlag = kind == 3;
                        Graphics_D3D9_DrawSetting_SetTexture(kind ? image : nullptr);
                        Graphics_D3D9_DrawSetting_SetBlendTexture(kind >= 4 ? blend : nullptr, Quad, Quad);
                        const int params[2] = {kind == 4 ? 100 : 90, 64};  // the ratio; the border and its range
                        if (kind >= 4) Graphics_D3D9_DrawSetting_SetBlendTextureParam(kind - 4, params);
                        Graphics_D3D9_UpdateDiffuseColor();
                        GraphicsState.DrawStateChangedFlag = 1;
                        const unsigned textured = D3D9_PREPARE_TEXTURED | D3D9_PREPARE_TRANS |
                                                  (kind >= 2 ? D3D9_PREPARE_ALPHA_CHANNEL : 0);
                        Graphics_D3D9_PrepareDraw(D3D9_PREPARE_VERTEX_COLOR | (kind ? textured : 0));
                        out.Shaded += D3D9DeviceStateCache.Out.LibraryPixelShaderFlag;
                        DrawQuad(float(cell % (SceneWidth / Cell) * Cell + 2), float(cell / (SceneWidth / Cell) * Cell + 2),
                                 D3D9DeviceStateCache.Draw.DiffuseColor);
                    }
            Graphics_D3D9_RenderVertexBuffer(0);
            (alpha ? out.Alpha : out.Plain) = ReadTarget(target, alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8);
        }
        Graphics_D3D9_DrawSetting_SetTexture(nullptr);
        Graphics_D3D9_DrawSetting_SetBlendTexture(nullptr, 0, 0);
        Graphics_D3D9_DeviceState_SetRenderTarget(D3D9DeviceCapsInfo.BackBuffer, 0);
        d.BlendMode = 0, d.BlendParam = 255, d.DrawScreenAlphaFlag = 0, d.IgnoreColorFlag = 0;
        d.DrawBrightRed = d.DrawBrightGreen = d.DrawBrightBlue = 255;
        for (IUnknown *object : std::initializer_list<IUnknown *>{alphaSurface, alphaTarget, image, blend})
            if (object != nullptr) Direct3D9_ReleaseObject(object);
        return out;
    }

private:
    template <typename Texel>
    IDirect3DTexture9 *MakeTexture16(Texel TexelAt)
    {
        IDirect3DTexture9 *texture = nullptr;
        EXPECT_EQ(D3D_OK, Direct3DDevice9_CreateTexture(Quad, Quad, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8,
                                                        D3DPOOL_DEFAULT, &texture, nullptr));
        D3DLOCKED_RECT locked;
        if (texture == nullptr || texture->LockRect(0, &locked, nullptr, 0) != D3D_OK) return texture;
        for (int i = 0; i < Quad * Quad; ++i)
            ((uint32_t *)((char *)locked.pBits + i / Quad * locked.Pitch))[i % Quad] = TexelAt(i);
        texture->UnlockRect(0);
        return texture;
    }

    // Two triangles of the batch's vertex kind, texel for pixel.
    void DrawQuad(float X, float Y, D3DCOLOR Colour)
    {
        const int mode = D3D9DeviceStateCache.Out.TextureMode;
        const int size = D3D9BatchBuffers[mode].VertexSize;
        unsigned char *v = (unsigned char *)Graphics_D3D9_ReserveVertices(D3DPT_TRIANGLELIST, 6);
        ASSERT_NE(nullptr, v);
        const int order[6] = {0, 1, 2, 3, 2, 1};
        for (int i = 0; i < 6; ++i) {
            const float u = float(order[i] & 1), w = float(order[i] >> 1);
            D3D9VertexBlendTex2D vertex = {X - 0.5f + u * Quad, Y - 0.5f + w * Quad, 0, 1, Colour, 0xFFFFFFFF,
                                           u, w, u, w};
            unsigned char *at = v + i * size;
            memcpy(at, &vertex, 20);  // position and diffuse colour: every kind
            if (mode == 1) memcpy(at + 20, &vertex.u, 8);
            if (mode == 2) memcpy(at + 20, &vertex.spc, 20);
        }
        Graphics_D3D9_RenderVertexBuffer(0);
    }
};

TEST_F(D3D9ShaderPicture, ShadersDrawTheSceneTheFixedFunctionDraws)
{
    ASSERT_EQ(1, GraphicsDeviceCaps.ProgrammableShaderFlag);
    const ScenePictures shaded = DrawScene();
    EXPECT_GT(shaded.Shaded, 0);

    Restart(true);
    ASSERT_EQ(0, GraphicsDeviceCaps.ProgrammableShaderFlag);
    const ScenePictures fixed = DrawScene();
    EXPECT_EQ(0, fixed.Shaded);
    ASSERT_EQ(size_t(SceneWidth * SceneHeight), fixed.Plain.size());
    // Most quads change their cell (a few modes draw nothing over this background).
    EXPECT_GT(std::count_if(fixed.Plain.begin(), fixed.Plain.end(), [](uint32_t p) { return p != 0x2878C8; }),
              200 * Quad * Quad);
    ExpectPixelsClose(shaded.Plain, fixed.Plain);
    ExpectPixelsClose(shaded.Alpha, fixed.Alpha);

    // An empty archive (the filter archive, decoded by the loads above) in the base archive's place.
    const PackedTextData builtIn = D3D9ShaderPackBase;
    D3D9ShaderPackBase = D3D9ShaderPackFilter;
    Restart(false);
    D3D9ShaderPackBase = builtIn;
    ASSERT_EQ(0, GraphicsDeviceCaps.ProgrammableShaderFlag);
    ExpectPixelsClose(DrawScene(false).Plain, fixed.Plain, 0);
}

}  // namespace
