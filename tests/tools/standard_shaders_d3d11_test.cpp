// The standard shaders as the program carries them (the built-in base pack, expanded by the
// back end's loader) on the platform's Direct3D 11, drawn on a raw device: the input layouts
// match their vertex shaders, the alpha tests keep exactly the pixels they should, the colour
// steps of the fixed-function tables give the colours of zovuz/d3d11/shader/d3d11_standard_shaders.h,
// the 3-D base vertex shader transforms, and the mask shaders write exactly the pixels whose
// mask byte is 0 (or, inverted, is not).
#include <gtest/gtest.h>

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "d3d11_test_device.h"
#include "zovuz/d3d11/shader/d3d11_shader_pack_internal.h"

namespace {

const int TransferLayout = 7;
const int TransferVertexSlot = D3D11BaseShaderGroups[D3D11_GROUP_TRANSFER_VERTEX].FirstSlot;

struct VertexBlend2D {
    float X, Y, Z, Rhw;
    uint32_t Diffuse, Specular;
    float U0, V0, U1, V1;
};
struct Vertex3D {
    float X, Y, Z;
    uint32_t Diffuse;
    float U, V;
};
struct VertexTransfer {
    float X, Y, U0, V0, U1, V1;
};

// The contents of the constant buffers a draw binds (sizes as the back end makes them).
struct Constants {
    float Common[192] = {};
    float VertexBase[64] = {};
    float VertexOther[72] = {};
    float PixelBase[16] = {};

    Constants(int Width, int Height)
    {
        D3D11DrawAreaMatrix(0, 0, float(Width), float(Height), &VertexBase[D3D11_VERTEX_BASE_DRAW_AREA_MATRIX / 4]);
        Reference(-1);
        Comparison(5);
    }
    void Reference(int Value) { PixelBase[D3D11_PIXEL_BASE_ALPHA_REFERENCE / 4] = float(Value) / 255.0f; }
    void Comparison(uint32_t Value) { memcpy(&PixelBase[D3D11_PIXEL_BASE_ALPHA_COMPARISON / 4], &Value, 4); }
    // Switch 48 as the back end sets it with the shader bit g.
    void Switch48(int On)
    {
        for (int i = 0; i < 3; i++) PixelBase[D3D11_PIXEL_BASE_SWITCH48 / 4 + i] = On ? 1.0f : 0.0f;
    }
    void Factor(float R, float G, float B, float A)
    {
        const float Values[4] = {R, G, B, A};
        memcpy(&PixelBase[D3D11_PIXEL_BASE_FACTOR_COLOR / 4], Values, sizeof Values);
    }
};

// Four corners of a box, as two triangles.
template <typename Vertex, typename Make>
std::vector<Vertex> Box(float X1, float Y1, float X2, float Y2, Make Corner)
{
    const float Corners[6][4] = {{X1, Y1, 0, 0}, {X2, Y1, 1, 0}, {X1, Y2, 0, 1},
                                 {X2, Y1, 1, 0}, {X2, Y2, 1, 1}, {X1, Y2, 0, 1}};
    std::vector<Vertex> Out;
    for (const auto &C : Corners) Out.push_back(Corner(C[0], C[1], C[2], C[3]));
    return Out;
}

class StandardShaders : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_EQ(Graphics_D3D11_LoadShaderPack(), 1);
        D3D.Open();
    }

    static void TearDownTestSuite()
    {
        D3D.Close();
        Graphics_D3D11_ReleaseShaderPack();
    }

    void Begin(int Size)
    {
        ASSERT_TRUE(D3D.Begin(Size, Size, DXGI_FORMAT_R8G8B8A8_UNORM, 4));
        ID3D11SamplerState *Samplers[2] = {D3D.PointSampler, D3D.PointSampler};
        D3D.Context->PSSetSamplers(0, 2, Samplers);
    }

    static const D3D11ShaderCode &Slot(int Index) { return D3D11ShaderPack.Base[Index]; }

    // Draws Vertices (a triangle list) with the vertex shader of slot VertexSlot and its layout,
    // the pixel shader of slot PixelSlot, the constants, and the images in texture slots 0 and 1.
    template <typename Vertex>
    void Draw(int VertexSlot, int Layout, int PixelSlot, const std::vector<Vertex> &Vertices, const Constants &C,
              ID3D11ShaderResourceView *Image = nullptr, ID3D11ShaderResourceView *Second = nullptr)
    {
        Com<ID3D11VertexShader> Vs;
        Com<ID3D11PixelShader> Ps;
        Com<ID3D11InputLayout> InputLayout;
        ASSERT_EQ(D3D.Device->CreateVertexShader(Slot(VertexSlot).Code, Slot(VertexSlot).Size, nullptr, &Vs.p), S_OK);
        ASSERT_EQ(D3D.Device->CreatePixelShader(Slot(PixelSlot).Code, Slot(PixelSlot).Size, nullptr, &Ps.p), S_OK);
        ASSERT_EQ(D3D.Device->CreateInputLayout(LibraryLayouts[Layout].data(), UINT(LibraryLayouts[Layout].size()), Slot(VertexSlot).Code,
                                                Slot(VertexSlot).Size, &InputLayout.p),
                  S_OK);
        Com<ID3D11Buffer> Buffer, Common, VertexBase, VertexOther, PixelBase;
        Buffer.p = D3D.MakeBuffer(D3D11_BIND_VERTEX_BUFFER, Vertices.data(), UINT(sizeof(Vertex) * Vertices.size()));
        Common.p = D3D.MakeBuffer(D3D11_BIND_CONSTANT_BUFFER, C.Common, sizeof C.Common);
        VertexBase.p = D3D.MakeBuffer(D3D11_BIND_CONSTANT_BUFFER, C.VertexBase, sizeof C.VertexBase);
        VertexOther.p = D3D.MakeBuffer(D3D11_BIND_CONSTANT_BUFFER, C.VertexOther, sizeof C.VertexOther);
        PixelBase.p = D3D.MakeBuffer(D3D11_BIND_CONSTANT_BUFFER, C.PixelBase, sizeof C.PixelBase);
        ASSERT_TRUE(Buffer.p && Common.p && VertexBase.p && VertexOther.p && PixelBase.p);
        const UINT Stride = sizeof(Vertex), Offset = 0;
        ID3D11Buffer *VertexBuffers[3] = {Common.p, VertexBase.p, VertexOther.p};
        ID3D11Buffer *PixelBuffers[2] = {Common.p, PixelBase.p};
        ID3D11ShaderResourceView *Views[2] = {Image, Second};
        D3D.Context->IASetInputLayout(InputLayout.p);
        D3D.Context->IASetVertexBuffers(0, 1, &Buffer.p, &Stride, &Offset);
        D3D.Context->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
        D3D.Context->VSSetShader(Vs.p, nullptr, 0);
        D3D.Context->PSSetShader(Ps.p, nullptr, 0);
        D3D.Context->VSSetConstantBuffers(0, 3, VertexBuffers);
        D3D.Context->PSSetConstantBuffers(0, 2, PixelBuffers);
        D3D.Context->PSSetShaderResources(0, 2, Views);
        D3D.Context->Draw(UINT(Vertices.size()), 0);
    }

    std::vector<uint32_t> ReadBack() { return D3D.ReadBackPixels(); }

    // A texture of Width x Height texels (row after row) and its view, released with the object.
    struct Texture {
        Com<ID3D11Texture2D> Object;
        Com<ID3D11ShaderResourceView> View;
    };
    static void MakeTexture(Texture &Out, int Width, int Height, const std::vector<uint32_t> &Texels)
    {
        Out.Object.p = D3D.MakeTexture(Width, Height, DXGI_FORMAT_R8G8B8A8_UNORM, Texels.data(), UINT(Width * 4), &Out.View.p);
        ASSERT_NE(Out.View.p, nullptr);
    }

    static D3D11TestDevice D3D;
};

D3D11TestDevice StandardShaders::D3D;

int Lit(const std::vector<uint32_t> &Pixels)
{
    int Count = 0;
    for (uint32_t P : Pixels) Count += P != 0;
    return Count;
}

}  // namespace

TEST_F(StandardShaders, EveryInputLayoutMatchesItsVertexShader)
{
    ASSERT_NE(D3D.Device, nullptr);
    for (int Layout = 0; Layout < 9; ++Layout) {
        const int VertexSlot = Layout < D3D11_VERTEX_FORMAT_NUM ? Layout : TransferVertexSlot + Layout - TransferLayout;
        Com<ID3D11InputLayout> InputLayout;
        EXPECT_EQ(D3D.Device->CreateInputLayout(LibraryLayouts[Layout].data(), UINT(LibraryLayouts[Layout].size()), Slot(VertexSlot).Code,
                                                Slot(VertexSlot).Size, &InputLayout.p),
                  S_OK)
            << "layout " << Layout;
    }
}

TEST_F(StandardShaders, UntexturedGeneralTestFollowsEachComparison)
{
    // Boxes of alpha 255 (400 pixels), 16 (100) and 128 (50) against the reference 128.
    const int Size = 64;
    std::vector<VertexNoTex> Vertices;
    const struct {
        float X1, Y1, X2, Y2;
        unsigned Alpha;
    } Boxes[] = {{4, 4, 24, 24, 255}, {30, 30, 40, 40, 16}, {44, 4, 54, 9, 128}};
    for (const auto &B : Boxes) {
        const auto Part = Box<VertexNoTex>(B.X1, B.Y1, B.X2, B.Y2, [&](float X, float Y, float, float) {
            return VertexNoTex{X, Y, 0, 1, Rgba(200, 100, 50, B.Alpha)};
        });
        Vertices.insert(Vertices.end(), Part.begin(), Part.end());
    }
    const struct {
        uint32_t Comparison;
        int Lit;
    } Cases[] = {{1, 0},   {2, 100}, {3, 50},  {4, 150}, {5, 400},
                 {6, 500}, {7, 450}, {8, 550}, {0, 0},   {9, 0}};
    for (const auto &Case : Cases) {
        Begin(Size);
        Constants C(Size, Size);
        C.Reference(128);
        C.Comparison(Case.Comparison);
        Draw(D3D11_VERTEX_NOTEX_2D, D3D11_VERTEX_NOTEX_2D, D3D11UntexturedShaderSlot(1, 0), Vertices, C);
        EXPECT_EQ(Lit(ReadBack()), Case.Lit) << "comparison " << Case.Comparison;
    }
}

TEST_F(StandardShaders, ColourStepsOfTheFixedFunctionTables)
{
    // One uniform quad per case; the expected colours are worked out from the contract by hand
    // (each channel within 1). Image texels T, blend-image texels B, diffuse D.
    const uint32_t T = Rgba(64, 128, 192, 128), Dark = Rgba(16, 32, 48, 128), B = Rgba(192, 0, 64, 255);
    const uint32_t White = Rgba(255, 255, 255, 255), HalfWhite = Rgba(255, 255, 255, 128);
    const struct {
        const char *What;
        int Table, Opaque, G, Class;
        uint32_t Texel, Diffuse;
        float Factor[4];
        uint32_t Expected;
        int Reference = -1;  // the alpha test's reference; -1 = off
    } Cases[] = {
        {"plain", D3D11_TEXTURED_TABLE_PLAIN, 0, 0, 0, T, White, {}, Rgba(64, 128, 192, 128)},
        {"alpha 0 stays with the test off", D3D11_TEXTURED_TABLE_PLAIN, 0, 0, 0, Rgba(64, 128, 192, 0), White, {},
         Rgba(64, 128, 192, 0)},
        {"diffuse multiplies", D3D11_TEXTURED_TABLE_PLAIN, 0, 0, 0, White, Rgba(200, 100, 50, 77), {}, Rgba(200, 100, 50, 77)},
        {"class 1 multiply by alpha", D3D11_TEXTURED_TABLE_PLAIN, 0, 0, 1, Rgba(64, 128, 192, 64), White, {},
         Rgba(207, 223, 239, 64)},
        {"class 2 inverted", D3D11_TEXTURED_TABLE_PLAIN, 0, 0, 2, T, White, {}, Rgba(191, 127, 63, 128)},
        {"class 3 four times", D3D11_TEXTURED_TABLE_PLAIN, 0, 0, 3, Dark, White, {}, Rgba(64, 128, 192, 128)},
        {"class 4 premultiplied", D3D11_TEXTURED_TABLE_PLAIN, 0, 0, 4, T, HalfWhite, {}, Rgba(32, 64, 96, 64)},
        {"class 5 premultiplied inverted", D3D11_TEXTURED_TABLE_PLAIN, 0, 0, 5, T, HalfWhite, {}, Rgba(32, 0, 0, 64)},
        {"class 6 premultiplied four times", D3D11_TEXTURED_TABLE_PLAIN, 0, 0, 6, Dark, HalfWhite, {}, Rgba(32, 64, 96, 64)},
        {"g ignores the image's colour", D3D11_TEXTURED_TABLE_PLAIN, 0, 1, 0, T, Rgba(200, 100, 50, 255), {},
         Rgba(200, 100, 50, 128)},
        {"opaque ignores the image's alpha", D3D11_TEXTURED_TABLE_PLAIN, 1, 0, 0, T, Rgba(255, 255, 255, 200), {},
         Rgba(64, 128, 192, 200)},
        {"mode 0 cross-fades by a quarter", D3D11_TEXTURED_TABLE_BLEND0, 0, 0, 0, T, White, {1, 1, 1, 0.25f},
         Rgba(96, 96, 160, 160)},
        {"mode 0 opaque", D3D11_TEXTURED_TABLE_BLEND0, 1, 0, 0, T, White, {1, 1, 1, 0.25f}, Rgba(96, 96, 160, 255)},
        {"mode 1 soft border", D3D11_TEXTURED_TABLE_BLEND1, 0, 0, 0, T, White, {2, 0, 0, -1}, Rgba(64, 128, 192, 65)},
        {"mode 1 border past 1 saturates", D3D11_TEXTURED_TABLE_BLEND1, 0, 0, 0, T, White, {2, 0, 0, 0},
         Rgba(64, 128, 192, 128)},
        {"mode 2 multiplies", D3D11_TEXTURED_TABLE_BLEND2, 0, 0, 0, T, White, {}, Rgba(48, 0, 48, 128)},
        // Shader bit 0 in every table: alpha 16 goes, alpha 240 stays at the reference 128; the
        // factors are set so that the blend image leaves the alpha alone.
        {"s0 drops 16", D3D11_TEXTURED_TABLE_PLAIN, 0, 0, 0, Rgba(255, 255, 255, 16), White, {}, 0, 128},
        {"s0 keeps 240", D3D11_TEXTURED_TABLE_PLAIN, 0, 0, 0, Rgba(255, 255, 255, 240), White, {},
         Rgba(255, 255, 255, 240), 128},
        {"mode 0 s0 drops 16", D3D11_TEXTURED_TABLE_BLEND0, 0, 0, 0, Rgba(255, 255, 255, 16), White, {1, 1, 1, 0}, 0, 128},
        {"mode 0 s0 keeps 240", D3D11_TEXTURED_TABLE_BLEND0, 0, 0, 0, Rgba(255, 255, 255, 240), White, {1, 1, 1, 0},
         Rgba(255, 255, 255, 240), 128},
        {"mode 1 s0 drops 16", D3D11_TEXTURED_TABLE_BLEND1, 0, 0, 0, Rgba(255, 255, 255, 16), White, {0, 0, 0, 1}, 0, 128},
        {"mode 1 s0 keeps 240", D3D11_TEXTURED_TABLE_BLEND1, 0, 0, 0, Rgba(255, 255, 255, 240), White, {0, 0, 0, 1},
         Rgba(255, 255, 255, 240), 128},
        {"mode 2 s0 drops 16", D3D11_TEXTURED_TABLE_BLEND2, 0, 0, 0, Rgba(255, 255, 255, 16), White, {}, 0, 128},
        {"mode 2 s0 keeps 240", D3D11_TEXTURED_TABLE_BLEND2, 0, 0, 0, Rgba(255, 255, 255, 240), White, {},
         Rgba(192, 0, 64, 240), 128},
        {"untextured class 2", -1, 0, 0, 2, 0, Rgba(255, 0, 100, 200), {}, Rgba(0, 255, 155, 200)},
        {"untextured class 4", -1, 0, 0, 4, 0, Rgba(255, 0, 100, 128), {}, Rgba(128, 0, 50, 128)},
    };
    const int Size = 8;
    for (const auto &Case : Cases) {
        SCOPED_TRACE(Case.What);
        Begin(Size);
        Texture Image, Blend;
        MakeTexture(Image, 1, 1, {Case.Texel});
        MakeTexture(Blend, 1, 1, {B});
        Constants C(Size, Size);
        C.Factor(Case.Factor[0], Case.Factor[1], Case.Factor[2], Case.Factor[3]);
        C.Switch48(Case.G);
        C.Reference(Case.Reference);
        if (Case.Table < 0) {
            const auto Quad = Box<VertexNoTex>(0, 0, Size, Size, [&](float X, float Y, float, float) {
                return VertexNoTex{X, Y, 0, 1, Case.Diffuse};
            });
            Draw(D3D11_VERTEX_NOTEX_2D, D3D11_VERTEX_NOTEX_2D, D3D11UntexturedShaderSlot(0, Case.Class), Quad, C);
        } else {
            const auto Quad = Box<VertexBlend2D>(0, 0, Size, Size, [&](float X, float Y, float U, float V) {
                return VertexBlend2D{X, Y, 0, 1, Case.Diffuse, 0, U, V, U, V};
            });
            Draw(D3D11_VERTEX_BLENDTEX_2D, D3D11_VERTEX_BLENDTEX_2D,
                 D3D11TexturedShaderSlot(Case.Table, 0, Case.Opaque, Case.G, Case.Class), Quad, C, Image.View.p,
                 Blend.View.p);
        }
        const uint32_t Got = ReadBack()[size_t(Size * Size / 2 + Size / 2)];
        for (int Channel = 0; Channel < 4; ++Channel)
            EXPECT_LE(abs(int((Got >> (8 * Channel)) & 0xFF) - int((Case.Expected >> (8 * Channel)) & 0xFF)), 1)
                << "channel " << Channel << ": got " << std::hex << Got << ", expected " << Case.Expected;
    }
}

TEST_F(StandardShaders, TwoDVerticesInterpolateWithWFromRhw)
{
    // A quad whose right edge has rhw 0.25 (w = 4) over a 64-texel ramp: halfway across, the
    // coordinate is (0 x 1 + 1 x 0.25) / 2 / ((1 + 0.25) / 2) = 0.2, texel 12.
    const int Size = 32;
    Begin(Size);
    std::vector<uint32_t> Ramp;
    for (unsigned i = 0; i < 64; ++i) Ramp.push_back(Rgba(i, 0, 0, 255));
    Texture Image;
    MakeTexture(Image, 64, 1, Ramp);
    const auto Quad = Box<Vertex2D>(0, 0, Size, Size, [](float X, float Y, float U, float V) {
        return Vertex2D{X, Y, 0, U > 0 ? 0.25f : 1.0f, Rgba(255, 255, 255, 255), U, V};
    });
    Draw(D3D11_VERTEX_2D, D3D11_VERTEX_2D, D3D11TexturedShaderSlot(D3D11_TEXTURED_TABLE_PLAIN, 0, 0, 0, 0), Quad,
         Constants(Size, Size), Image.View.p);
    const uint32_t Middle = ReadBack()[size_t(Size * Size / 2 + Size / 2)];
    EXPECT_NEAR(int(Middle & 0xFF), 12, 1) << std::hex << Middle;
}

TEST_F(StandardShaders, ThreeDBaseVertexShaderTransformsAndTakesTheMaterialColour)
{
    // A 16 x 16 box moved by the world matrix (8, 4) and the view matrix (2, 2) lands at
    // (10, 6)-(26, 22). Switch 1 at 0.0 takes the material diffuse; the texture matrix moves u by
    // one half, onto the image's green right half.
    const int Size = 32;
    Begin(Size);
    Texture Image;
    MakeTexture(Image, 2, 1, {Rgba(255, 0, 0, 255), Rgba(0, 255, 0, 255)});
    Constants C(Size, Size);
    D3D11DrawAreaMatrix(0, 0, Size, Size, &C.VertexBase[D3D11_VERTEX_BASE_PROJECTION_MATRIX / 4]);
    const float World[12] = {1, 0, 0, 8, 0, 1, 0, 4, 0, 0, 1, 0}, View[12] = {1, 0, 0, 2, 0, 1, 0, 2, 0, 0, 1, 0};
    memcpy(&C.VertexBase[D3D11_VERTEX_BASE_WORLD_MATRIX / 4], World, sizeof World);
    memcpy(&C.VertexBase[D3D11_VERTEX_BASE_VIEW_MATRIX / 4], View, sizeof View);
    C.VertexBase[D3D11_VERTEX_BASE_SWITCH1 / 4] = 0.0f;
    const float Material[4] = {0.2f, 0.4f, 0.6f, 1.0f}, Texture[8] = {1, 0, 0.5f, 0, 0, 1, 0, 0};
    memcpy(&C.Common[D3D11_COMMON_MATERIAL_DIFFUSE / 4], Material, sizeof Material);
    memcpy(&C.VertexOther[D3D11_VERTEX_OTHER_TEXTURE_MATRIX / 4], Texture, sizeof Texture);
    const auto Quad = Box<Vertex3D>(0, 0, 16, 16, [](float X, float Y, float U, float V) {
        return Vertex3D{X, Y, 0.5f, Rgba(255, 255, 255, 255), U * 0.5f, V};
    });
    Draw(D3D11_VERTEX_3D, D3D11_VERTEX_3D, D3D11TexturedShaderSlot(D3D11_TEXTURED_TABLE_PLAIN, 0, 0, 0, 0), Quad, C,
         Image.View.p);
    const std::vector<uint32_t> Pixels = ReadBack();
    int Wrong = 0;
    for (int Y = 0; Y < Size; ++Y)
        for (int X = 0; X < Size; ++X) {
            const bool Inside = X >= 10 && X < 26 && Y >= 6 && Y < 22;
            Wrong += Pixels[size_t(Y * Size + X)] != (Inside ? Rgba(0, 102, 0, 255) : 0);
        }
    EXPECT_EQ(Wrong, 0) << std::hex << Pixels[size_t(8 * Size + 12)];
}

TEST_F(StandardShaders, MaskShadersWriteExactlyThePixelsOfTheirMaskBytes)
{
    // The mask screen is one colour; the mask image holds the mask byte in one channel (0 on a
    // diagonal pattern) and the opposite pattern in the others, so a wrong channel shows.
    const int Size = 8;
    const uint32_t Screen = Rgba(10, 20, 30, 40);
    Texture ScreenImage;
    MakeTexture(ScreenImage, Size, Size, std::vector<uint32_t>(Size * Size, Screen));
    auto Zero = [](int X, int Y) { return (X + Y) % 3 == 0; };
    const int MaskSlot = D3D11BaseShaderGroups[D3D11_GROUP_MASK_PIXEL].FirstSlot;
    const int InverseSlot = D3D11BaseShaderGroups[D3D11_GROUP_INVERSE_MASK_PIXEL].FirstSlot;
    const int ChannelSlot = D3D11BaseShaderGroups[D3D11_GROUP_MASK_CHANNEL_PIXEL].FirstSlot;
    const int InverseChannelSlot = D3D11BaseShaderGroups[D3D11_GROUP_INVERSE_MASK_CHANNEL_PIXEL].FirstSlot;
    const struct {
        int Slot, Channel;
        bool Inverse;
    } Cases[] = {{MaskSlot, 3, false},           {InverseSlot, 3, true},         {ChannelSlot, 0, false},
                 {ChannelSlot + 1, 1, false},    {ChannelSlot + 2, 2, false},    {ChannelSlot + 3, 3, false},
                 {InverseChannelSlot, 0, true},  {InverseChannelSlot + 1, 1, true}, {InverseChannelSlot + 2, 2, true},
                 {InverseChannelSlot + 3, 3, true}};
    for (const auto &Case : Cases) {
        SCOPED_TRACE(Case.Slot);
        std::vector<uint32_t> MaskTexels;
        for (int Y = 0; Y < Size; ++Y)
            for (int X = 0; X < Size; ++X) {
                uint32_t Texel = 0;
                for (int Channel = 0; Channel < 4; ++Channel)
                    if ((Channel == Case.Channel) != Zero(X, Y)) Texel |= 200u << (8 * Channel);
                MaskTexels.push_back(Texel);
            }
        Texture Mask;
        MakeTexture(Mask, Size, Size, MaskTexels);
        Begin(Size);
        const auto Quad = Box<VertexTransfer>(-1, 1, 1, -1, [](float X, float Y, float U, float V) {
            return VertexTransfer{X, Y, U, V, U, V};
        });
        Draw(TransferVertexSlot, TransferLayout, Case.Slot, Quad, Constants(Size, Size), ScreenImage.View.p, Mask.View.p);
        const std::vector<uint32_t> Pixels = ReadBack();
        int Wrong = 0;
        for (int Y = 0; Y < Size; ++Y)
            for (int X = 0; X < Size; ++X)
                Wrong += Pixels[size_t(Y * Size + X)] != (Zero(X, Y) != Case.Inverse ? Screen : 0);
        EXPECT_EQ(Wrong, 0);
    }
}
