// The 3-D shaders as the program carries them (the built-in 3-D pack, expanded by the back end's
// expansion) on the platform's Direct3D 11, drawn on a raw device with the constants laid out as
// the back end writes them: sampled slots of every group link and draw. (What they compute, the
// lighting, the fog and the shadow map, is checked through the back end, in
// tests/zovuz/d3d11/three_d_real_device_test.)
#include <gtest/gtest.h>

#include <math.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "d3d11_test_device.h"
#include "zovuz/d3d11/shader/d3d11_shader_pack_internal.h"

namespace {

const int Size = 32;
const float Depth = 10.0f;  // the drawn triangles' view-space depth

// VERTEX3D: position, normal, diffuse, specular, two coordinate pairs (48 bytes).
struct Vertex3D {
    float X, Y, Z, Nx, Ny, Nz;
    uint32_t Diffuse, Specular;
    float U, V, U1, V1;
};

struct Vec3 {
    float X, Y, Z;
};

// A light as the front end describes it.
struct Light {
    int Type;
    Vec3 Position, Direction, Diffuse, Specular, Ambient;  // Ambient: already x the material's
    float Range, Falloff, Att[3], Theta, Phi;
};

// The vertex colours and the material of every lit draw.
const uint32_t VertexDiffuse = Rgba(230, 204, 178, 255), VertexSpecular = Rgba(128, 160, 192, 255);
const Vec3 AmbientEmissive = {0.05f, 0.1f, 0.15f};
const float Power = 8.0f;

// The constant buffers a draw binds, as the back end lays them out.
struct Constants {
    float Common[192] = {};
    float VertexBase[64] = {};
    float VertexOther[72] = {};
    float PixelBase[16] = {};
    float ShadowMatrix[648] = {};
    float ShadowParam[24] = {};

    Constants()
    {
        // Projection: view x 0-32 and y 0-32 onto the target, z / 100; view and world identity.
        const float Projection[16] = {1 / 16.0f, 0, 0, -1, 0, -1 / 16.0f, 0, 1, 0, 0, 0.01f, 0, 0, 0, 0, 1};
        memcpy(&VertexBase[D3D11_VERTEX_BASE_PROJECTION_MATRIX / 4], Projection, sizeof Projection);
        for (int Row = 0; Row < 3; ++Row) {
            VertexBase[D3D11_VERTEX_BASE_VIEW_MATRIX / 4 + Row * 4 + Row] = 1;
            VertexBase[D3D11_VERTEX_BASE_WORLD_MATRIX / 4 + Row * 4 + Row] = 1;
        }
        VertexBase[D3D11_VERTEX_BASE_SWITCH0 / 4] = VertexBase[D3D11_VERTEX_BASE_SWITCH1 / 4] =
            VertexBase[D3D11_VERTEX_BASE_SWITCH2 / 4] = 1;
        const float Texture[8] = {1, 0, 0, 0, 0, 1, 0, 0};
        memcpy(&VertexOther[D3D11_VERTEX_OTHER_TEXTURE_MATRIX / 4], Texture, sizeof Texture);
        PixelBase[D3D11_PIXEL_BASE_ALPHA_REFERENCE / 4] = -1 / 255.0f;
        const uint32_t Greater = 5;
        memcpy(&PixelBase[D3D11_PIXEL_BASE_ALPHA_COMPARISON / 4], &Greater, 4);
        PixelBase[D3D11_PIXEL_BASE_SWITCH60 / 4] = 1;
        Put(D3D11_COMMON_AMBIENT_EMISSIVE, AmbientEmissive);
        Common[D3D11_COMMON_MATERIAL_POWER / 4] = Power;
        // No shadow map in any slot: rows (0, 0, 0, -1), parameters 1 and 0, flags 1.
        for (int Slot = 0; Slot < D3D11_3D_SHADOW_SLOT_NUM; ++Slot) EmptyShadowSlot(Slot);
    }
    void Put(int Offset, Vec3 V)
    {
        Common[Offset / 4] = V.X;
        Common[Offset / 4 + 1] = V.Y;
        Common[Offset / 4 + 2] = V.Z;
    }
    // Light i's shader form, as the back end's light setter writes it.
    void SetLight(int Index, const Light &L)
    {
        const int At = Index * D3D11_COMMON_LIGHT_STRIDE;
        int32_t Type = L.Type;
        memcpy(&Common[At / 4], &Type, 4);
        Put(At + D3D11_COMMON_LIGHT_POSITION, L.Position);
        Common[(At + D3D11_COMMON_LIGHT_POSITION) / 4 + 3] = L.Range * L.Range;
        Put(At + D3D11_COMMON_LIGHT_DIRECTION, L.Direction);
        Common[(At + D3D11_COMMON_LIGHT_DIRECTION) / 4 + 3] = L.Falloff;
        Put(At + D3D11_COMMON_LIGHT_DIFFUSE, L.Diffuse);
        Common[(At + D3D11_COMMON_LIGHT_DIFFUSE) / 4 + 3] = cosf(L.Phi / 2);
        Put(At + D3D11_COMMON_LIGHT_SPECULAR, L.Specular);
        Common[(At + D3D11_COMMON_LIGHT_SPECULAR) / 4 + 3] = 1.0f / (cosf(L.Theta / 2) - cosf(L.Phi / 2));
        Put(At + D3D11_COMMON_LIGHT_AMBIENT, L.Ambient);
        for (int i = 0; i < 3; ++i) Common[(At + D3D11_COMMON_LIGHT_ATTENUATION) / 4 + i] = L.Att[i];
    }
    void EmptyShadowSlot(int Slot)
    {
        for (int Row = 0; Row < 4; ++Row) ShadowMatrix[Slot * 16 + Row * 4 + 3] = -1;
        const float Entry[5] = {1, 0, 1, 1, 1};
        memcpy(&ShadowParam[Slot * 8], Entry, sizeof Entry);
    }
};

class ThreeDShaders : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_EQ(D3D11_ExpandShaderCodePack(&D3D11ShaderPack3D, L"3D", D3D11_3D_PACK_SLOTS, Slots, &Memory), 0);
        D3D.Open();
        ASSERT_NE(D3D.Device, nullptr);
        const uint32_t White = Rgba(255, 255, 255, 255);
        WhiteImage.p = D3D.MakeTexture(1, 1, DXGI_FORMAT_R8G8B8A8_UNORM, &White, 4, &WhiteView.p);
    }

    static void TearDownTestSuite()
    {
        for (IUnknown **Object : {(IUnknown **)&WhiteView.p, (IUnknown **)&WhiteImage.p}) {
            if (*Object) (*Object)->Release();
            *Object = nullptr;
        }
        D3D.Close();
        DXFREE(Memory);
        Memory = nullptr;
    }

    // One triangle at depth Z covering the whole target, in the vertex colours.
    static std::vector<Vertex3D> Cover(float Z, uint32_t Diffuse = VertexDiffuse, uint32_t Specular = VertexSpecular)
    {
        return {{0, 0, Z, 0, 0, -1, Diffuse, Specular, 0, 0, 0, 0},
                {2 * Size, 0, Z, 0, 0, -1, Diffuse, Specular, 0, 0, 0, 0},
                {0, 2 * Size, Z, 0, 0, -1, Diffuse, Specular, 0, 0, 0, 0}};
    }

    // Draws Vertices with the shaders of two pack slots into the bound target.
    void Draw(int VertexSlot, int PixelSlot, const std::vector<Vertex3D> &Vertices, const Constants &C)
    {
        ASSERT_GT(Slots[VertexSlot].Size, 0u);
        ASSERT_GT(Slots[PixelSlot].Size, 0u);
        Com<ID3D11VertexShader> Vs;
        Com<ID3D11PixelShader> Ps;
        Com<ID3D11InputLayout> InputLayout;
        ASSERT_EQ(D3D.Device->CreateVertexShader(Slots[VertexSlot].Code, Slots[VertexSlot].Size, nullptr, &Vs.p), S_OK);
        ASSERT_EQ(D3D.Device->CreatePixelShader(Slots[PixelSlot].Code, Slots[PixelSlot].Size, nullptr, &Ps.p), S_OK);
        const std::vector<D3D11_INPUT_ELEMENT_DESC> &Layout = LibraryLayouts[D3D11_VERTEX3D];
        ASSERT_EQ(D3D.Device->CreateInputLayout(Layout.data(), UINT(Layout.size()), Slots[VertexSlot].Code,
                                                Slots[VertexSlot].Size, &InputLayout.p),
                  S_OK);
        Com<ID3D11Buffer> Buffer, Common, VertexBase, VertexOther, PixelBase, ShadowMatrix, ShadowParam;
        Buffer.p = D3D.MakeBuffer(D3D11_BIND_VERTEX_BUFFER, Vertices.data(), UINT(sizeof(Vertex3D) * Vertices.size()));
        Common.p = D3D.MakeBuffer(D3D11_BIND_CONSTANT_BUFFER, C.Common, sizeof C.Common);
        VertexBase.p = D3D.MakeBuffer(D3D11_BIND_CONSTANT_BUFFER, C.VertexBase, sizeof C.VertexBase);
        VertexOther.p = D3D.MakeBuffer(D3D11_BIND_CONSTANT_BUFFER, C.VertexOther, sizeof C.VertexOther);
        PixelBase.p = D3D.MakeBuffer(D3D11_BIND_CONSTANT_BUFFER, C.PixelBase, sizeof C.PixelBase);
        ShadowMatrix.p = D3D.MakeBuffer(D3D11_BIND_CONSTANT_BUFFER, C.ShadowMatrix, sizeof C.ShadowMatrix);
        ShadowParam.p = D3D.MakeBuffer(D3D11_BIND_CONSTANT_BUFFER, C.ShadowParam, sizeof C.ShadowParam);
        ASSERT_TRUE(Buffer.p && Common.p && VertexBase.p && VertexOther.p && PixelBase.p && ShadowMatrix.p &&
                    ShadowParam.p);
        const UINT Stride = sizeof(Vertex3D), Offset = 0;
        ID3D11Buffer *VertexBuffers[4] = {Common.p, VertexBase.p, VertexOther.p, ShadowMatrix.p};
        ID3D11Buffer *PixelBuffers[3] = {Common.p, PixelBase.p, ShadowParam.p};
        ID3D11ShaderResourceView *Views[9] = {WhiteView.p};
        ID3D11SamplerState *Samplers[9];
        for (ID3D11SamplerState *&Sampler : Samplers) Sampler = D3D.PointSampler;
        D3D.Context->IASetInputLayout(InputLayout.p);
        D3D.Context->IASetVertexBuffers(0, 1, &Buffer.p, &Stride, &Offset);
        D3D.Context->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
        D3D.Context->VSSetShader(Vs.p, nullptr, 0);
        D3D.Context->PSSetShader(Ps.p, nullptr, 0);
        D3D.Context->VSSetConstantBuffers(0, 4, VertexBuffers);
        D3D.Context->PSSetConstantBuffers(0, 3, PixelBuffers);
        D3D.Context->PSSetShaderResources(0, 9, Views);
        D3D.Context->PSSetSamplers(0, 9, Samplers);
        D3D.Context->Draw(UINT(Vertices.size()), 0);
        ID3D11ShaderResourceView *None[9] = {};
        D3D.Context->PSSetShaderResources(0, 9, None);
    }

    static D3D11ShaderCode Slots[D3D11_3D_PACK_SLOTS];
    static unsigned char *Memory;
    static D3D11TestDevice D3D;
    static Com<ID3D11Texture2D> WhiteImage;
    static Com<ID3D11ShaderResourceView> WhiteView;
};

D3D11ShaderCode ThreeDShaders::Slots[D3D11_3D_PACK_SLOTS];
unsigned char *ThreeDShaders::Memory;
D3D11TestDevice ThreeDShaders::D3D;
Com<ID3D11Texture2D> ThreeDShaders::WhiteImage;
Com<ID3D11ShaderResourceView> ThreeDShaders::WhiteView;

// The shader pair of a lighting path for lights of Types (light 0 first), without fog.
struct Pair {
    int Vertex, Pixel;
};
Pair LitPair(bool PerPixel, const int Types[6], int Shadow, int Fog = 0)
{
    static D3D11LightIndexTables T;
    D3D11BuildLightIndexTables(T);
    if (PerPixel)
        return {D3D11ThreeDShaderSlot(D3D11_3D_GROUP_PIXEL_LIGHTING_VERTEX, D3D11PixelLightingVertexIndex(Fog, Shadow)),
                D3D11ThreeDShaderSlot(
                    D3D11_3D_GROUP_PIXEL_LIGHTING_PIXEL,
                    D3D11PixelLightingPixelIndex(0, 0, T.Light6[Types[0]][Types[1]][Types[2]][Types[3]][Types[4]][Types[5]],
                                                 Shadow))};
    const int Light3b = T.Light3b[D3D11Light3bType(Types[0])][D3D11Light3bType(Types[1])][D3D11Light3bType(Types[2])];
    return {D3D11ThreeDShaderSlot(D3D11_3D_GROUP_VERTEX_LIGHTING_VERTEX,
                                  D3D11VertexLightingVertexIndex(T.Light3[Types[0]][Types[1]][Types[2]], Fog, Shadow)),
            D3D11ThreeDShaderSlot(D3D11_3D_GROUP_VERTEX_LIGHTING_PIXEL, D3D11VertexLightingPixelIndex(0, 0, Light3b, Shadow))};
}

const float Pi = 3.14159265f;
const Light Spot = {D3D11_LIGHT_SPOT, {16, 16, 0}, {0, 0, 1}, {1, 0.9f, 0.8f}, {0.3f, 0.3f, 0.3f}, {0.1f, 0, 0},
                    100, 1.5f, {1, 0, 0}, 40 * Pi / 180, 100 * Pi / 180};

}  // namespace

TEST_F(ThreeDShaders, SampledSlotsOfEveryGroupLinkAndDraw)
{
    // Wine translates a shader when it is first drawn with, and a shader it cannot translate
    // draws nothing. Every ninth vertex shader and every 53rd pixel shader of each group (with
    // the first and the last, the largest) draws an opaque pixel after a shader of its own path.
    // All six light slots hold a light that every light type can use. (Every slot would take
    // minutes: the translation of the largest shaders is slow.)
    Constants C;
    for (int i = 0; i < D3D11_3D_LIGHT_NUM; ++i) {
        Light L = Spot;
        L.Type = 3 - i / 2;
        C.SetLight(i, L);
    }
    const int Types[6] = {};
    auto PixelFor = [&](int Group, int Shadow) {
        if (Group == D3D11_3D_GROUP_PIXEL_LIGHTING_VERTEX) return LitPair(true, Types, Shadow).Pixel;
        if (Group == D3D11_3D_GROUP_VERTEX_LIGHTING_VERTEX) return LitPair(false, Types, Shadow).Pixel;
        if (Group == D3D11_3D_GROUP_UNLIT_VERTEX)
            return D3D11ThreeDShaderSlot(D3D11_3D_GROUP_UNLIT_PIXEL, D3D11UnlitPixelIndex(0, 0));
        return D3D11ThreeDShaderSlot(D3D11_3D_GROUP_SHADOW_MAP_PIXEL, 0);
    };
    auto VertexFor = [&](int Group, int Shadow) {
        if (Group == D3D11_3D_GROUP_PIXEL_LIGHTING_PIXEL) return LitPair(true, Types, Shadow).Vertex;
        if (Group == D3D11_3D_GROUP_VERTEX_LIGHTING_PIXEL) return LitPair(false, Types, Shadow).Vertex;
        if (Group == D3D11_3D_GROUP_UNLIT_PIXEL) return D3D11ThreeDShaderSlot(D3D11_3D_GROUP_UNLIT_VERTEX, 0);
        return D3D11ThreeDShaderSlot(D3D11_3D_GROUP_SHADOW_MAP_VERTEX, 0);
    };
    for (int Group = 0; Group < D3D11_3D_SHADER_GROUP_NUM; ++Group) {
        const D3D11ThreeDShaderGroupInfo &Info = D3D11ThreeDShaderGroups[Group];
        for (int Index = 0; Index < Info.Count; ++Index) {
            if (Index % (Info.VertexFlag ? 9 : 53) != 0 && Index != Info.Count - 1) continue;
            // The shadow term is the upper half of every group that has one.
            const bool HasShadow = Group == D3D11_3D_GROUP_PIXEL_LIGHTING_VERTEX ||
                                   Group == D3D11_3D_GROUP_PIXEL_LIGHTING_PIXEL ||
                                   Group == D3D11_3D_GROUP_VERTEX_LIGHTING_VERTEX ||
                                   Group == D3D11_3D_GROUP_VERTEX_LIGHTING_PIXEL;
            const int Shadow = HasShadow && Index >= Info.Count / 2;
            const int Slot = Info.FirstSlot + Index;
            ASSERT_TRUE(D3D.Begin(Size, Size, DXGI_FORMAT_R8G8B8A8_UNORM, 4));
            if (Info.VertexFlag) Draw(Slot, PixelFor(Group, Shadow), Cover(Depth), C);
            else Draw(VertexFor(Group, Shadow), Slot, Cover(Depth), C);
            const uint32_t Centre = D3D.ReadBackPixels()[size_t(Size * Size / 2 + Size / 2)];
            EXPECT_EQ(Centre >> 24, 0xFFu) << "slot " << Slot << ": " << std::hex << Centre;
        }
    }
}
