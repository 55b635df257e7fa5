// 3-D drawing through the back end on the platform's own Direct3D 11: the draw-state setters
// write the light, material and fog constants, the common-buffer draw chooses and binds the 3-D
// shaders, and what it draws into a 32 x 32 target reads back as the fixed function's lighting
// computed here: directional, point and spot lights alone and together, per vertex and per
// pixel; every fog mode at its half-way depth; and a shadow map drawn and then sampled, which
// darkens exactly the occluded half on either lighting path.
#include <gtest/gtest.h>

#include <math.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "tests/zovuz/d3d11/d3d11_fixture.h"
#include "zovuz/d3d11/state/d3d11_state_tables.h"
#include "zovuz/d3d11/draw/windows/d3d11_3d_draw_win.h"
#include "zovuz/d3d11/state/windows/d3d11_buffers_win.h"
#include "zovuz/d3d11/state/windows/d3d11_device_state_win.h"
#include "zovuz/d3d11/shader/windows/d3d11_shader_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_shadow_map_win.h"
#include "zovuz/d3d11/draw/windows/d3d11_vertex_batch_win.h"
#include "zovuz/graphics/draw_state_internal.h"

namespace {

const int Size = 32;
const float Depth = 10.0f;  // the view-space depth of the drawn surface

struct Vertex3D {
    float X, Y, Z, Nx, Ny, Nz;
    uint32_t Diffuse, Specular;
    float U, V, U1, V1;
};
static_assert(sizeof(Vertex3D) == 48, "VERTEX3D");

VECTOR Vec(float X, float Y, float Z)
{
    VECTOR v;
    v.x = X;
    v.y = Y;
    v.z = Z;
    return v;
}

struct Rgb {
    float R, G, B;
};

// The front end's matrices (row vectors times the matrix). The projection puts view x 0-32 and
// y 0-32 onto the target, and z / 100 into depth.
MATRIX Identity()
{
    MATRIX m = {};
    for (int i = 0; i < 4; i++) m.m[i][i] = 1;
    return m;
}
MATRIX Projection()
{
    MATRIX m = {};
    m.m[0][0] = 1 / 16.0f;
    m.m[1][1] = -1 / 16.0f;
    m.m[2][2] = 0.01f;
    m.m[3][0] = -1;
    m.m[3][1] = 1;
    m.m[3][3] = 1;
    return m;
}

// Material and colours of the lit cases.
const Rgb Md = {200 / 255.0f, 150 / 255.0f, 100 / 255.0f};
const float MaterialAmbient = 0.5f, GlobalAmbient = 0.2f;
const Rgb Emissive = {0.05f, 0, 0};
const float LightAmbient = 0.1f;

class ThreeDRealDevice : public RealD3D11Test
{
protected:
    static void SetUpTestSuite()
    {
        if (D3D11Disabled()) return;
        OpenMainWindow("d3d11 3-D drawing");
        ASSERT_EQ(0, SetGraphMode(640, 480, 32, 60));
        ASSERT_EQ(0, InitializeHandleType(DX_HANDLETYPE_SHADOWMAP, sizeof(ShadowMapHandleData), 8,
                                          InitializeShadowMapHandle, nullptr, L"ShadowMap"));
    }
    static void TearDownTestSuite()
    {
        if (D3D11Disabled()) return;
        TerminateHandleType(DX_HANDLETYPE_SHADOWMAP);
        TerminateMainWindow();
    }
    void SetUp() override
    {
        RealD3D11Test::SetUp();
        if (IsSkipped()) return;
        ASSERT_EQ(0, StartD3D11Device());
        ASSERT_EQ(0, StartD3D11DrawingState());

        target_ = MakeTexture(DXGI_FORMAT_R8G8B8A8_UNORM, Size, D3D11_BIND_RENDER_TARGET, D3D11_USAGE_DEFAULT);
        ASSERT_EQ(S_OK, D3D11Device_CreateRenderTargetView(target_, nullptr, &targetView_));
        readBack_ = MakeTexture(DXGI_FORMAT_R8G8B8A8_UNORM, Size, 0, D3D11_USAGE_STAGING);
        white_ = MakeTexture(DXGI_FORMAT_R8G8B8A8_UNORM, 1, D3D11_BIND_SHADER_RESOURCE, D3D11_USAGE_DEFAULT);
        const uint32_t texel = 0xFFFFFFFF;
        D3D11DeviceContext_UpdateSubresource(white_, 0, nullptr, &texel, 4, 4);
        ASSERT_EQ(S_OK, D3D11Device_CreateShaderResourceView(white_, nullptr, &whiteView_));

        // 3-D pixel shaders always sample texture 0: an untextured draw samples a white image.
        Graphics_D3D11_DeviceState_SetPSShaderResources(0, 1, &whiteView_);
        GraphicsDrawSettings.Matrix.ViewF = Identity();
        const MATRIX identity = Identity(), projection = Projection();
        Graphics_D3D11_DeviceState_SetViewMatrix(&identity);
        Graphics_D3D11_DeviceState_SetWorldMatrix(&identity);
        Graphics_D3D11_DeviceState_SetProjectionMatrix(&projection);
        Graphics_D3D11_DeviceState_SetVertexShaderSwitch0(0);  // no specular
        MATERIALPARAM material = {};
        for (int i = 0; i < 3; i++) {
            material.Diffuse[i] = 1;
            material.Ambient[i] = MaterialAmbient;
        }
        material.Diffuse[3] = material.Ambient[3] = 1;
        material.Emissive[0] = Emissive.R;
        material.Power = 20;
        Graphics_D3D11_DeviceState_SetMaterial(&material, nullptr);
        const float ambient[4] = {GlobalAmbient, GlobalAmbient, GlobalAmbient, 1};
        Graphics_D3D11_DeviceState_SetGlobalAmbient(ambient);
        BindTarget(target_, targetView_, nullptr, nullptr);
    }
    void TearDown() override
    {
        if (D3D11Disabled()) return;
        if (map_ != nullptr) Graphics_D3D11_ShadowMap_Release(map_);
        if (mapHandle_ > 0) SubHandle(mapHandle_);
        GraphicsShadowMapSettings = GraphicsShadowMapSettingsData();
        GraphicsLightState.ActiveNum = 0;
        Graphics_D3D11_DeviceState_SetRenderTarget(nullptr, nullptr, 0);
        ID3D11ShaderResourceView *none = nullptr;
        Graphics_D3D11_DeviceState_SetPSShaderResources(0, 1, &none);
        D3D11ShaderResourceView_Release(whiteView_);
        D3D11Texture2D_Release(white_);
        D3D11Texture2D_Release(readBack_);
        D3D11RenderTargetView_Release(targetView_);
        D3D11Texture2D_Release(target_);
        EXPECT_EQ(0, Graphics_D3D11_ReleaseDevice());
        for (int type = 0; type < D3D11_OBJECT_TYPE_NUM; ++type) EXPECT_EQ(0, D3D11_GetObjectCount(type)) << type;
    }

    static ID3D11Texture2D *MakeTexture(DXGI_FORMAT Format, int Side, UINT Bind, D3D11_USAGE Usage)
    {
        D3D11_TEXTURE2D_DESC desc = {};
        desc.Width = desc.Height = (UINT)Side;
        desc.MipLevels = desc.ArraySize = 1;
        desc.Format = Format;
        desc.SampleDesc.Count = 1;
        desc.Usage = Usage;
        desc.BindFlags = Bind;
        desc.CPUAccessFlags = Usage == D3D11_USAGE_STAGING ? D3D11_CPU_ACCESS_READ : 0;
        ID3D11Texture2D *texture = nullptr;
        EXPECT_EQ(S_OK, D3D11Device_CreateTexture2D(&desc, nullptr, &texture));
        return texture;
    }
    static void BindTarget(ID3D11Texture2D *Texture, ID3D11RenderTargetView *View, ID3D11Texture2D *Depth,
                           ID3D11DepthStencilView *DepthView)
    {
        Graphics_D3D11_DeviceState_SetDepthStencil(nullptr, nullptr);
        Graphics_D3D11_DeviceState_SetRenderTarget(Texture, View, 0);
        Graphics_D3D11_DeviceState_SetDepthStencil(Depth, DepthView);
        Graphics_D3D11_DeviceState_BindRenderTargets();
        const float black[4] = {0, 0, 0, 1};
        D3D11DeviceContext_ClearRenderTargetView(View, black);
    }
    // A triangle over the whole target at a view depth, with a normal towards the eye.
    static void Draw(float Z, uint32_t Diffuse, float X1 = -1, float X2 = 70)
    {
        std::vector<Vertex3D> v;
        if (X2 < 70) {  // a quad from X1 to X2 over the full height
            const float xs[6] = {X1, X2, X1, X2, X1, X2}, ys[6] = {-1, -1, 40, 40, 40, -1};
            for (int i = 0; i < 6; i++) v.push_back({xs[i], ys[i], Z, 0, 0, -1, Diffuse, 0, 0, 0, 0, 0});
        } else {
            v.push_back({-1, -1, Z, 0, 0, -1, Diffuse, 0, 0, 0, 0, 0});
            v.push_back({70, -1, Z, 0, 0, -1, Diffuse, 0, 0, 0, 0, 0});
            v.push_back({-1, 70, Z, 0, 0, -1, Diffuse, 0, 0, 0, 0, 0});
        }
        ASSERT_EQ(0, Graphics_D3D11_CommonBuffer_Draw(D3D11_VERTEX3D, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST, v.data(),
                                                      (int)v.size(), 1));
    }
    // The target's pixels as R, G, B, A bytes.
    std::vector<uint8_t> ReadBack()
    {
        D3D11DeviceContext_CopyResource(readBack_, target_);
        D3D11_MAPPED_SUBRESOURCE mapped = {};
        std::vector<uint8_t> pixels(Size * Size * 4);
        EXPECT_EQ(S_OK, D3D11DeviceContext_Map(readBack_, 0, D3D11_MAP_READ, 0, &mapped));
        if (mapped.pData == nullptr) return pixels;
        for (int y = 0; y < Size; y++) memcpy(&pixels[y * Size * 4], (uint8_t *)mapped.pData + y * mapped.RowPitch, Size * 4);
        D3D11DeviceContext_Unmap_ASync(readBack_, 0, 0);
        return pixels;
    }
    static uint32_t Colour(int R, int G, int B)
    {
        return D3D11PackDiffuseColor(R, G, B, 255, GraphicsDeviceCaps.VertexColorBGRAFlag);
    }
    // Lighting on with lights 0.. of List, every other light off.
    static void Lights(const std::vector<LIGHTPARAM> &List)
    {
        Graphics_D3D11_SetUseLighting(1);
        for (int i = 0; i < D3D11_3D_LIGHT_NUM; i++) {
            if (i < (int)List.size()) {
                ASSERT_EQ(0, Graphics_D3D11_DeviceState_SetLightParam(i, &List[i]));
            }
            ASSERT_EQ(0, Graphics_D3D11_DeviceState_SetLightEnable(i, i < (int)List.size()));
        }
    }
    // The largest difference of a channel from Want(x, y) over the pixels Inside(x, y) (all).
    template <typename Expected>
    int WorstDifference(
        const std::vector<uint8_t> &Pixels, Expected Want,
        std::function<bool(int, int)> Inside = [](int, int) { return true; })
    {
        int worst = 0;
        for (int y = 0; y < Size; y++)
            for (int x = 0; x < Size; x++) {
                if (!Inside(x, y)) continue;
                const Rgb want = Want(x + 0.5f, y + 0.5f);
                const float channels[3] = {want.R, want.G, want.B};
                for (int c = 0; c < 3; c++) {
                    const int expected = (int)lroundf(std::min(1.0f, std::max(0.0f, channels[c])) * 255);
                    worst = std::max(worst, abs(Pixels[(y * Size + x) * 4 + c] - expected));
                }
            }
        return worst;
    }

    ID3D11Texture2D *target_ = nullptr, *readBack_ = nullptr, *white_ = nullptr;
    ID3D11RenderTargetView *targetView_ = nullptr;
    ID3D11ShaderResourceView *whiteView_ = nullptr;
    ShadowMapHandleData *map_ = nullptr;
    int mapHandle_ = 0;
};

// The fixed function's lighting without specular at view point (X, Y, Depth), normal (0, 0, -1):
// global ambient x material ambient + emissive, plus each light's ambient and diffuse share, the
// diffuse share x Shadow.
Rgb Shade(const std::vector<LIGHTPARAM> &Lights, float X, float Y, float Shadow = 1)
{
    Rgb c = {GlobalAmbient * MaterialAmbient + Emissive.R, GlobalAmbient * MaterialAmbient + Emissive.G,
             GlobalAmbient * MaterialAmbient + Emissive.B};
    for (const LIGHTPARAM &l : Lights) {
        const float dl = sqrtf(l.Direction.x * l.Direction.x + l.Direction.y * l.Direction.y +
                               l.Direction.z * l.Direction.z);
        float a = 1, toZ;  // the attenuation and the z of the unit vector towards the light
        if (l.LightType == DX_LIGHTTYPE_DIRECTIONAL) {
            toZ = -l.Direction.z / dl;
        } else {
            const float dx = l.Position.x - X, dy = l.Position.y - Y, dz = l.Position.z - Depth;
            const float d = sqrtf(dx * dx + dy * dy + dz * dz);
            toZ = dz / d;
            a = d > l.Range ? 0 : 1 / (l.Attenuation0 + l.Attenuation1 * d + l.Attenuation2 * d * d);
            if (l.LightType == DX_LIGHTTYPE_SPOT) {
                const float rho = -(dx * l.Direction.x + dy * l.Direction.y + dz * l.Direction.z) / (d * dl);
                const float inner = cosf(l.Theta / 2), outer = cosf(l.Phi / 2);
                const float s = std::min(1.0f, std::max(0.0f, (rho - outer) / (inner - outer)));
                a *= s > 0 ? powf(s, l.Falloff) : 0;
            }
        }
        const float diffuse = a * std::max(0.0f, -toZ) * Shadow;
        c.R += a * l.Ambient[0] * MaterialAmbient + diffuse * Md.R * l.Diffuse[0];
        c.G += a * l.Ambient[1] * MaterialAmbient + diffuse * Md.G * l.Diffuse[1];
        c.B += a * l.Ambient[2] * MaterialAmbient + diffuse * Md.B * l.Diffuse[2];
    }
    return c;
}

// Per vertex: the saturated colours of the triangle's corners (-1, -1), (70, -1), (-1, 70),
// interpolated.
Rgb ShadeCorners(const std::vector<LIGHTPARAM> &Lights, float X, float Y)
{
    const float corners[3][2] = {{-1, -1}, {70, -1}, {-1, 70}};
    const float w1 = (X + 1) / 71, w2 = (Y + 1) / 71, weights[3] = {1 - w1 - w2, w1, w2};
    auto sat = [](float v) { return std::min(1.0f, std::max(0.0f, v)); };
    Rgb c = {0, 0, 0};
    for (int i = 0; i < 3; i++) {
        const Rgb at = Shade(Lights, corners[i][0], corners[i][1]);
        c = {c.R + sat(at.R) * weights[i], c.G + sat(at.G) * weights[i], c.B + sat(at.B) * weights[i]};
    }
    return c;
}

LIGHTPARAM MakeLight(int Type, Rgb Diffuse)
{
    LIGHTPARAM l = {};
    l.LightType = Type;
    l.Diffuse[0] = Diffuse.R;
    l.Diffuse[1] = Diffuse.G;
    l.Diffuse[2] = Diffuse.B;
    l.Diffuse[3] = 1;
    for (int i = 0; i < 3; i++) l.Ambient[i] = LightAmbient;
    l.Ambient[3] = 1;
    l.Range = 1000;
    l.Attenuation0 = 1;
    return l;
}

TEST_F(ThreeDRealDevice, LightsAndFogReadBackAsTheFormula)
{
    const float Pi = 3.14159265f;
    LIGHTPARAM directional = MakeLight(DX_LIGHTTYPE_DIRECTIONAL, {1.0f, 0.5f, 0.25f});
    directional.Direction = Vec(0.6f, 0, 0.8f);  // at 0.8 to the surface
    // A point light in front of the surface, falling off with distance.
    LIGHTPARAM point = MakeLight(DX_LIGHTTYPE_POINT, {0.9f, 0.9f, 0.7f});
    point.Position = Vec(12, 20, 2);
    point.Attenuation0 = 0.5f;
    point.Attenuation1 = 0.02f;
    point.Attenuation2 = 0.004f;
    // A spot over the middle whose cone edge crosses the target.
    LIGHTPARAM spot = MakeLight(DX_LIGHTTYPE_SPOT, {1, 0.9f, 0.8f});
    spot.Position = Vec(16, 16, 0);
    spot.Direction = Vec(0, 0, 1);
    spot.Falloff = 1.5f;
    spot.Theta = 40 * Pi / 180;
    spot.Phi = 100 * Pi / 180;
    const float ln2 = logf(2.0f);
    const struct {
        const char *What;
        int Lighting, PerPixel;
        std::vector<LIGHTPARAM> Lights;
        int FogMode;  // 0: none; at the surface's depth every fog gives half the fog colour
        float Density;
    } Cases[] = {
        {"directional, per vertex", 1, 0, {directional}, 0, 0},
        {"directional, per pixel", 1, 1, {directional}, 0, 0},
        {"point with attenuation, per vertex", 1, 0, {point}, 0, 0},
        {"point with attenuation, per pixel", 1, 1, {point}, 0, 0},
        {"spot, per pixel", 1, 1, {spot}, 0, 0},
        {"directional and point, per pixel", 1, 1, {directional, point}, 0, 0},
        {"directional, spot and point, per vertex", 1, 0, {directional, spot, point}, 0, 0},
        {"linear fog, unlit", 0, 0, {}, 3, 0},
        {"exponential fog, lit per vertex", 1, 0, {}, 1, ln2 / Depth},
        {"squared exponential fog, lit per pixel", 1, 1, {}, 2, sqrtf(ln2) / Depth},
    };
    const Rgb fogColour = {200 / 255.0f, 100 / 255.0f, 50 / 255.0f};
    for (const auto &Case : Cases) {
        SCOPED_TRACE(Case.What);
        D3D11ThreeDShaderSettings.PixelLightingFlag = Case.PerPixel;
        Lights(Case.Lights);
        if (!Case.Lighting) Graphics_D3D11_SetUseLighting(0);
        Graphics_D3D11_DeviceState_SetFogEnable(Case.FogMode != 0);
        Graphics_D3D11_DeviceState_SetFogMode(Case.FogMode);
        Graphics_D3D11_DeviceState_SetFogColor(0x00C86432);
        Graphics_D3D11_DeviceState_SetFogStartEnd(Depth - 5, Depth + 5);
        Graphics_D3D11_DeviceState_SetFogDensity(Case.Density);
        Draw(Depth, Case.Lighting ? Colour(200, 150, 100) : Colour(0, 0, 0));
        auto want = [&](float X, float Y) {
            Rgb c = !Case.Lighting ? Rgb{0, 0, 0} : Case.PerPixel ? Shade(Case.Lights, X, Y) : ShadeCorners(Case.Lights, X, Y);
            if (Case.FogMode == 0) return c;
            auto half = [](float v, float fog) { return std::min(1.0f, std::max(0.0f, v)) / 2 + fog / 2; };
            return Rgb{half(c.R, fogColour.R), half(c.G, fogColour.G), half(c.B, fogColour.B)};
        };
        EXPECT_LE(WorstDifference(ReadBack(), want), 2);
    }
}

TEST_F(ThreeDRealDevice, AShadowMapDarkensExactlyTheOccludedHalf)
{
    mapHandle_ = AddHandle(DX_HANDLETYPE_SHADOWMAP, 0, -1);
    map_ = GetShadowMapEntry(mapHandle_, 0);
    map_->BitDepth = 32;
    map_->Width = map_->Height = Size;
    map_->ViewProjectionMatrix = Projection();  // the light looks from the eye
    ASSERT_EQ(0, Graphics_D3D11_SetupShadowMap(map_, 0));
    const D3D11ShadowMapObjects &objects = *D3D11ShadowMapObjectsOf(map_);

    // The occluder into the shadow map: the left half, nearer than the surface.
    BindTarget(objects.ColorTexture, objects.Target, objects.DepthTexture, objects.DepthView);
    const float farthest[4] = {1, 1, 1, 1};
    D3D11DeviceContext_ClearRenderTargetView(objects.Target, farthest);
    D3D11DeviceContext_ClearDepthStencilView(objects.DepthView, D3D11_CLEAR_DEPTH, 1, 0);
    Graphics_D3D11_DeviceState_SetDepthEnable(1);
    Graphics_D3D11_DeviceState_SetDepthWriteEnable(1);
    GraphicsShadowMapSettings.DrawFlag = 1;
    Draw(Depth / 2, Colour(255, 255, 255), -1, 16);
    GraphicsShadowMapSettings.DrawFlag = 0;
    Graphics_D3D11_DeviceState_SetDepthEnable(0);
    Graphics_D3D11_DeviceState_SetDepthWriteEnable(0);

    // The surface, lit by a directional light that the map shadows.
    BindTarget(target_, targetView_, nullptr, nullptr);
    GraphicsShadowMapSettings.Slot[0] = mapHandle_;
    LightHandleData user = {};
    user.ShadowMapSlotFlag[0] = 1;
    GraphicsLightState.Active[0] = &user;
    GraphicsLightState.ActiveNum = 1;
    Graphics_D3D11_UpdateShadowMapParams();
    Graphics_D3D11_UpdateShadowMapMatrices();
    ID3D11ShaderResourceView *view = objects.View;
    Graphics_D3D11_DeviceState_SetPSShaderResources(D3D11_TEXTURE_SHADOW_MAP, 1, &view);
    Graphics_D3D11_DeviceState_SetSampleFilter(D3D11_FILTER_MIN_MAG_MIP_POINT, D3D11_TEXTURE_SHADOW_MAP);
    LIGHTPARAM directional = MakeLight(DX_LIGHTTYPE_DIRECTIONAL, {1, 1, 1});
    directional.Direction = Vec(0, 0, 1);
    Lights({directional});
    auto shaded = [&](float Shadow) { return [&, Shadow](float X, float Y) { return Shade({directional}, X, Y, Shadow); }; };
    for (int perPixel = 0; perPixel < 2; perPixel++) {
        SCOPED_TRACE(perPixel ? "per pixel" : "per vertex");
        D3D11ThreeDShaderSettings.PixelLightingFlag = perPixel;
        BindTarget(target_, targetView_, nullptr, nullptr);
        Draw(Depth, Colour(200, 150, 100));
        const std::vector<uint8_t> pixels = ReadBack();
        // Interior pixels only: the edge column may go either way.
        EXPECT_LE(WorstDifference(pixels, shaded(0), [](int X, int) { return X < 15; }), 2);
        EXPECT_LE(WorstDifference(pixels, shaded(1), [](int X, int) { return X > 16; }), 2);
    }
    ID3D11ShaderResourceView *none = nullptr;
    Graphics_D3D11_DeviceState_SetPSShaderResources(D3D11_TEXTURE_SHADOW_MAP, 1, &none);
}

}  // namespace
