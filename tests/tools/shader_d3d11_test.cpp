// The shader emitter's representative set on the platform's Direct3D 11: every shader is
// created, input layouts are created against the vertex shaders, and draws read back exactly
// (alpha tests by discard, the textured quad in both shader models, the filter's loop and
// tone curve through both transfer vertex shaders). The set is written at build time by the
// host emitter into the build folder.
#include <gtest/gtest.h>

#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "d3d11_test_device.h"

namespace {

constexpr int Size = 64;  // the draw target is Size x Size

struct VertexTransfer8 {
    float X, Y;
    float Uv[8][2];
};

// Each vertex shader of the set with its library layout.
struct Layout {
    const char *VertexShader;
    int Library;
    const D3D11_INPUT_ELEMENT_DESC *Elements() const { return LibraryLayouts[Library].data(); }
    UINT Count() const { return UINT(LibraryLayouts[Library].size()); }
};
const Layout Layouts[] = {{"base2d_notex.vso", 0}, {"base2d_tex1.vso", 1}, {"base2d_tex2.vso", 2}, {"transfer.vso", 7},
                          {"transfer8.vso", 8}};

// One window and device for the whole suite; each draw starts on a cleared Size x Size target.
class ShaderSet : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        D3D.Open();
    }

    static void TearDownTestSuite()
    {
        D3D.Close();
    }

    void SetUp() override
    {
        ASSERT_TRUE(D3D.Begin(Size, Size, DXGI_FORMAT_R8G8B8A8_UNORM, 4));
        D3D.Context->PSSetSamplers(0, 1, &D3D.PointSampler);
    }

    static HRESULT MakeVertexShader(const char *Name, ID3D11VertexShader **Out)
    {
        std::vector<unsigned char> Data = ReadSetShader(Name);
        if (Data.empty()) return E_FAIL;
        return D3D.Device->CreateVertexShader(Data.data(), Data.size(), nullptr, Out);
    }

    static HRESULT MakePixelShader(const char *Name, ID3D11PixelShader **Out)
    {
        std::vector<unsigned char> Data = ReadSetShader(Name);
        if (Data.empty()) return E_FAIL;
        return D3D.Device->CreatePixelShader(Data.data(), Data.size(), nullptr, Out);
    }

    // Draws Count vertices as a triangle list with the named shaders and the vertex shader's
    // own layout; VertexConstants go to vertex slot 1, PixelConstants to pixel slot PixelSlot.
    void Draw(const char *VertexShader, const char *PixelShader, const void *Vertices, UINT Stride, UINT Count,
              const void *VertexConstants, const void *PixelConstants, UINT PixelSlot, UINT PixelBytes)
    {
        const Layout *L = nullptr;
        for (const Layout &Each : Layouts)
            if (strcmp(Each.VertexShader, VertexShader) == 0) L = &Each;
        ASSERT_NE(L, nullptr);
        Com<ID3D11VertexShader> Vs;
        Com<ID3D11PixelShader> Ps;
        Com<ID3D11InputLayout> InputLayout;
        const std::vector<unsigned char> Code = ReadSetShader(VertexShader);
        ASSERT_EQ(MakeVertexShader(VertexShader, &Vs.p), S_OK);
        ASSERT_EQ(MakePixelShader(PixelShader, &Ps.p), S_OK);
        ASSERT_EQ(D3D.Device->CreateInputLayout(L->Elements(), L->Count(), Code.data(), Code.size(), &InputLayout.p), S_OK);
        Com<ID3D11Buffer> Buffer, VsConstants, PsConstants;
        Buffer.p = D3D.MakeBuffer(D3D11_BIND_VERTEX_BUFFER, Vertices, Stride * Count);
        ASSERT_NE(Buffer.p, nullptr);
        if (VertexConstants) VsConstants.p = D3D.MakeBuffer(D3D11_BIND_CONSTANT_BUFFER, VertexConstants, 256);
        if (PixelConstants) PsConstants.p = D3D.MakeBuffer(D3D11_BIND_CONSTANT_BUFFER, PixelConstants, PixelBytes);
        const UINT Offset = 0;
        D3D.Context->IASetInputLayout(InputLayout.p);
        D3D.Context->IASetVertexBuffers(0, 1, &Buffer.p, &Stride, &Offset);
        D3D.Context->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
        D3D.Context->VSSetShader(Vs.p, nullptr, 0);
        D3D.Context->PSSetShader(Ps.p, nullptr, 0);
        if (VsConstants.p) D3D.Context->VSSetConstantBuffers(1, 1, &VsConstants.p);
        if (PsConstants.p) D3D.Context->PSSetConstantBuffers(PixelSlot, 1, &PsConstants.p);
        D3D.Context->Draw(Count, 0);
    }

    std::vector<uint32_t> ReadBack() { return D3D.ReadBackPixels(); }

    static ID3D11Texture2D *MakeTexture(int Width, int Height, const uint32_t *Texels, ID3D11ShaderResourceView **View)
    {
        return D3D.MakeTexture(Width, Height, DXGI_FORMAT_R8G8B8A8_UNORM, Texels, UINT(Width * 4), View);
    }

    static D3D11TestDevice D3D;
};

D3D11TestDevice ShaderSet::D3D;

// The draw-area matrix from target pixels to clip space, stored transposed (one row per
// output component), at the start of the 256-byte vertex base buffer.
struct VertexBase {
    float Rows[64] = {2.0f / Size, 0, 0, -1, 0, -2.0f / Size, 0, 1, 0, 0, 1, 0, 0, 0, 0, 1};
};

// The 64-byte pixel base buffer: factor colour, alpha reference / 255 at byte 20 and the
// comparison at byte 32.
struct PixelBase {
    float Factor[4] = {1, 1, 1, 1};
    float Pad0 = 0, Reference = 0.5f, Pad1[2] = {0, 0};
    uint32_t Comparison = 5;
    uint32_t Pad2[7] = {};
};
static_assert(sizeof(PixelBase) == 64, "pixel base layout");

void Box(VertexNoTex *Out, float X1, float Y1, float X2, float Y2, uint32_t Colour)
{
    const float Corners[6][2] = {{X1, Y1}, {X2, Y1}, {X1, Y2}, {X2, Y1}, {X2, Y2}, {X1, Y2}};
    for (int i = 0; i < 6; ++i) Out[i] = {Corners[i][0], Corners[i][1], 0.0f, 1.0f, Colour};
}

}  // namespace

TEST_F(ShaderSet, EveryShaderIsCreatedAndEveryLayoutMatchesItsVertexShader)
{
    const char *const Vertex[] = {"base2d_notex.vso", "base2d_tex1.vso", "base2d_tex2.vso", "transfer.vso", "transfer8.vso"};
    const char *const Pixel[] = {"untextured_alphatest.pso", "textured_alphatest.pso", "textured_alphatest_sm5.pso",
                                 "shadow_compare.pso",       "filter_tone.pso",        "instruction_tour.pso"};
    for (const char *Name : Vertex) {
        Com<ID3D11VertexShader> Shader;
        EXPECT_EQ(MakeVertexShader(Name, &Shader.p), S_OK) << Name;
    }
    for (const char *Name : Pixel) {
        Com<ID3D11PixelShader> Shader;
        EXPECT_EQ(MakePixelShader(Name, &Shader.p), S_OK) << Name;
    }
    for (const Layout &L : Layouts) {
        std::vector<unsigned char> Code = ReadSetShader(L.VertexShader);
        Com<ID3D11InputLayout> InputLayout;
        EXPECT_EQ(D3D.Device->CreateInputLayout(L.Elements(), L.Count(), Code.data(), Code.size(), &InputLayout.p), S_OK) << L.VertexShader;
    }
}

TEST_F(ShaderSet, AlphaTestByDiscardKeepsExactlyTheBoxesThatPass)
{
    // A 20x20 box of alpha 255 and a 10x10 box of alpha 16, against reference 0.5 under each
    // comparison of the untextured shader.
    VertexNoTex Vertices[12];
    Box(Vertices, 10, 10, 30, 30, Rgba(255, 255, 255, 255));
    Box(Vertices + 6, 40, 40, 50, 50, Rgba(255, 255, 255, 16));
    const struct {
        uint32_t Comparison;
        int Lit;
    } Cases[] = {{5, 400}, {7, 400}, {2, 100}, {4, 100}, {6, 500}, {8, 500}, {1, 0}, {0, 0}};
    for (const auto &Case : Cases) {
        SetUp();
        VertexBase Vb;
        PixelBase Pb;
        Pb.Comparison = Case.Comparison;
        Draw("base2d_notex.vso", "untextured_alphatest.pso", Vertices, sizeof(VertexNoTex), 12, &Vb, &Pb, 1, sizeof Pb);
        int Lit = 0;
        for (uint32_t P : ReadBack()) Lit += P != 0;
        EXPECT_EQ(Lit, Case.Lit) << "comparison " << Case.Comparison;
    }
}

TEST_F(ShaderSet, TexturedQuadLosesTexelsBelowTheReference)
{
    // Texels of alpha 16 (left half) vanish, texels of alpha 240 (right half) stay, multiplied
    // by the vertex colour; both shader models draw the same.
    const uint32_t Texels[2] = {Rgba(255, 0, 0, 16), Rgba(0, 255, 0, 240)};
    Com<ID3D11ShaderResourceView> View;
    Com<ID3D11Texture2D> Texture;
    Texture.p = MakeTexture(2, 1, Texels, &View.p);
    ASSERT_NE(View.p, nullptr);
    const float X1 = 16, Y1 = 8, X2 = 48, Y2 = 40;
    const uint32_t White = Rgba(255, 255, 255, 255);
    const Vertex2D Vertices[6] = {{X1, Y1, 0, 1, White, 0, 0}, {X2, Y1, 0, 1, White, 1, 0}, {X1, Y2, 0, 1, White, 0, 1},
                                  {X2, Y1, 0, 1, White, 1, 0}, {X2, Y2, 0, 1, White, 1, 1}, {X1, Y2, 0, 1, White, 0, 1}};
    for (const char *Shader : {"textured_alphatest.pso", "textured_alphatest_sm5.pso"}) {
        SetUp();
        D3D.Context->PSSetShaderResources(0, 1, &View.p);
        VertexBase Vb;
        PixelBase Pb;
        Draw("base2d_tex1.vso", Shader, Vertices, sizeof(Vertex2D), 6, &Vb, &Pb, 1, sizeof Pb);
        const std::vector<uint32_t> Pixels = ReadBack();
        int Kept = 0, Wrong = 0;
        for (int Y = 0; Y < Size; ++Y)
            for (int X = 0; X < Size; ++X) {
                const bool Right = X >= 32 && X < X2 && Y >= Y1 && Y < Y2;
                const uint32_t Expected = Right ? Texels[1] : 0;
                Kept += Pixels[Y * Size + X] == Texels[1];
                Wrong += Pixels[Y * Size + X] != Expected;
            }
        EXPECT_EQ(Kept, 16 * 32) << Shader;
        EXPECT_EQ(Wrong, 0) << Shader << ": first pixels " << std::hex << Pixels[Size * 20 + 20] << " " << Pixels[Size * 20 + 40];
    }
}

TEST_F(ShaderSet, FilterSumsItsTapsAndAppliesItsToneCurve)
{
    // A uniform image (0.2, 0.6, 0.8, 1.0) through three taps of weights 0.5, 0.25, 0.25:
    // red = frc(0.2 * 2.25), green = 0.6 ^ 2, blue = sqrt(0.8), and the inverted variant.
    std::vector<uint32_t> Texels(16, Rgba(51, 153, 204, 255));
    Com<ID3D11ShaderResourceView> View;
    Com<ID3D11Texture2D> Texture;
    Texture.p = MakeTexture(4, 4, Texels.data(), &View.p);
    ASSERT_NE(View.p, nullptr);
    VertexTransfer8 Quad[6] = {};
    const float Corners[6][2] = {{-1, 1}, {1, 1}, {-1, -1}, {1, 1}, {1, -1}, {-1, -1}};
    for (int i = 0; i < 6; ++i) {
        Quad[i].X = Corners[i][0];
        Quad[i].Y = Corners[i][1];
        Quad[i].Uv[0][0] = (Corners[i][0] + 1) / 2;
        Quad[i].Uv[0][1] = (1 - Corners[i][1]) / 2;
    }
    // The transfer layout is the same quad's first 24 bytes per vertex.
    float Transfer[6][6] = {};
    for (int i = 0; i < 6; ++i) memcpy(Transfer[i], &Quad[i], sizeof Transfer[i]);

    const float Red = 0.2f * 2.25f - floorf(0.2f * 2.25f), Green = 0.36f, Blue = sqrtf(0.8f);
    for (const char *VertexShader : {"transfer.vso", "transfer8.vso"}) {
        for (float Invert : {0.0f, 1.0f}) {
            SetUp();
            D3D.Context->PSSetShaderResources(0, 1, &View.p);
            float Filter[64] = {3, 2.25f, Invert, 2.0f, 0, 0, 0.5f, 0, 0.25f, 0, 0.25f, 0, 0, 0.25f, 0.25f, 0};
            const bool Eight = strcmp(VertexShader, "transfer8.vso") == 0;
            Draw(VertexShader, "filter_tone.pso", Eight ? static_cast<const void *>(Quad) : Transfer,
                 Eight ? sizeof(VertexTransfer8) : sizeof Transfer[0], 6, nullptr, Filter, 3, sizeof Filter);
            auto Level = [&](float V) { return int(lroundf((Invert != 0 ? 1 - V : V) * 255)); };
            const int Expected[4] = {Level(Red), Level(Green), Level(Blue), 255};
            int Off = 0;
            uint32_t Sample = 0;
            for (uint32_t P : ReadBack()) {
                for (int c = 0; c < 4; ++c)
                    if (abs(int((P >> (8 * c)) & 0xff) - Expected[c]) > 1) {
                        ++Off;
                        Sample = P;
                        break;
                    }
            }
            EXPECT_EQ(Off, 0) << VertexShader << " invert " << Invert << ": e.g. " << std::hex << Sample << ", expected about "
                              << std::dec << Expected[0] << " " << Expected[1] << " " << Expected[2] << " " << Expected[3];
        }
    }
}
