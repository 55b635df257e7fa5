// Blend modes on the platform's own device: an untextured, half-transparent quad drawn through the
// batch onto a known background must give, pixel for pixel, what the blend equation of its mode
// gives, and cover exactly its rectangle.
#include "tests/zovuz/d3d9/d3d9_fixture.h"

#include <algorithm>
#include <cmath>

#include "zovuz/d3d9/draw/windows/d3d9_vertex_batch_win.h"

namespace {

// The blend table of the library's blend modes: destination and source factor, the stage type
// that makes the source colour, the operation, and whether blending is on.
enum Factor { Leave, Zero, One, SrcColor, SrcAlpha, InvSrcAlpha, InvDestColor };
enum Op { Add, RevSubtract };
struct Mode
{
    Factor Dest, Src;
    int StageType;
    Op Operation;
    bool Blend;
};
const Mode Modes[23] = {
    {Leave, Leave, 0, Add, false},
    {InvSrcAlpha, SrcAlpha, 0, Add, true},
    {One, SrcAlpha, 0, Add, true},
    {Zero, InvDestColor, 0, Add, true},
    {SrcColor, Zero, 0, Add, true},
    {One, SrcAlpha, 0, Add, true},
    {Leave, Leave, 0, Add, false},
    {Leave, Leave, 0, Add, false},
    {One, Zero, 0, Add, true},
    {Zero, InvDestColor, 0, Add, true},
    {InvSrcAlpha, SrcAlpha, 2, Add, true},
    {SrcColor, Zero, 1, Add, true},
    {InvSrcAlpha, SrcAlpha, 3, Add, true},
    {One, SrcAlpha, 3, Add, true},
    {Zero, One, 0, Add, true},
    {InvSrcAlpha, One, 0, Add, true},
    {One, SrcAlpha, 0, RevSubtract, true},
    {InvSrcAlpha, One, 4, Add, true},
    {One, One, 4, Add, true},
    {One, One, 4, RevSubtract, true},
    {InvSrcAlpha, One, 5, Add, true},
    {InvSrcAlpha, One, 6, Add, true},
    {One, One, 6, Add, true},
};
const int SubtractMode = 3, SubtractRow = 16;

// What the untextured stages make of the vertex colour d with alpha a.
double SourceChannel(int StageType, double D, double A)
{
    switch (StageType) {
        case 1:
            return D * A + (1 - A);  // towards the white texture factor
        case 2:
            return 1 - D;
        case 3:
            return std::min(4 * D, 1.0);
        case 4:
            return D * A;
        case 5:
            return (1 - D) * A;
        case 6:
            return std::min(4 * D, 1.0) * A;
        default:
            return D;
    }
}

double Weight(Factor F, double Source, double A, double Dest)
{
    switch (F) {
        case Zero:
            return 0;
        case One:
            return 1;
        case SrcColor:
            return Source;
        case SrcAlpha:
            return A;
        case InvSrcAlpha:
            return 1 - A;
        case InvDestColor:
            return 1 - Dest;
        default:
            return 0;
    }
}

int Expected(const Mode &M, int Vertex, int Alpha, int Background)
{
    const double d = Vertex / 255.0, a = Alpha / 255.0, dest = Background / 255.0;
    const double source = SourceChannel(M.StageType, d, a);
    double result = source;
    if (M.Blend) {
        const double s = source * Weight(M.Src, source, a, dest), t = dest * Weight(M.Dest, source, a, dest);
        result = M.Operation == Add ? s + t : t - s;
    }
    return (int)std::lround(std::clamp(result, 0.0, 1.0) * 255.0);
}

class D3D9BlendPicture : public D3D9DrawTest
{
protected:
    static constexpr D3DCOLOR Background = 0xFF2878C8;  // 40, 120, 200
    void Clear()
    {
        Graphics_D3D9_RenderVertexBuffer(0);
        Direct3DDevice9_Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, Background, 1.0f, 0);
    }
    // A 1 x 1 texture of one colour, released with the test.
    IDirect3DTexture9 *MakeColorTexture(D3DCOLOR Color)
    {
        IDirect3DTexture9 *source = nullptr, *texture = MakeTexture();
        if (texture == nullptr ||
            FAILED(Direct3DDevice9_CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &source, nullptr)))
            return texture;
        D3DLOCKED_RECT locked = {};
        if (SUCCEEDED(Direct3DTexture9_LockRect(source, 0, &locked, nullptr, 0))) {
            *(D3DCOLOR *)locked.pBits = Color;
            Direct3DTexture9_UnlockRect(source, 0);
            Direct3DDevice9_UpdateTexture(source, texture);
        }
        Direct3D9_ReleaseObject(source);
        return texture;
    }
    // A two-triangle quad through the batch: untextured in Colors, or white and textured (with a
    // blend texture's second coordinate set).
    void Quad(float X1, float Y1, float X2, float Y2, const D3DCOLOR Colors[4], bool BlendTexture = false)
    {
        void *at = Graphics_D3D9_ReserveVertices(D3DPT_TRIANGLELIST, 6);
        ASSERT_NE(nullptr, at);
        const float xs[4] = {X1, X2, X1, X2}, ys[4] = {Y1, Y1, Y2, Y2};
        const int order[6] = {0, 1, 2, 3, 2, 1};
        for (int i = 0; i < 6; ++i) {
            const float x = xs[order[i]], y = ys[order[i]];
            if (Colors != nullptr) {
                D3D9VertexNoTex2D &v = ((D3D9VertexNoTex2D *)at)[i];
                v.x = x, v.y = y, v.dif = Colors[order[i]];
            } else if (BlendTexture) {
                D3D9VertexBlendTex2D &v = ((D3D9VertexBlendTex2D *)at)[i];
                v.x = x, v.y = y, v.dif = 0xFFFFFFFF;
                v.u = v.v = v.su = v.sv = 0.5f;
            } else {
                VERTEX2D &v = ((VERTEX2D *)at)[i];
                v.pos.x = x, v.pos.y = y, v.dif = {255, 255, 255, 255};
                v.u = v.v = 0.5f;
            }
        }
        Graphics_D3D9_RenderVertexBuffer(0);
    }
};

TEST_F(D3D9BlendPicture, EveryBlendModeGivesItsEquationInsideItsRectangleOnly)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    d.DrawBrightRed = 200, d.DrawBrightGreen = 100, d.DrawBrightBlue = 30;
    d.BlendParam = 96;  // not half: swapped blend arguments must show
    const int x1 = 10, y1 = 20, x2 = 42, y2 = 36;
    for (int mode = 0; mode < 23; ++mode) {
        SCOPED_TRACE(mode);
        d.BlendMode = mode;
        Graphics_D3D9_UpdateDiffuseColor();
        Graphics_D3D9_PrepareDraw(D3D9_PREPARE_VERTEX_COLOR);
        Clear();
        const D3DCOLOR color = D3D9DeviceStateCache.Draw.DiffuseColor;
        const D3DCOLOR colors[4] = {color, color, color, color};
        Quad(x1, y1, x2, y2, colors);
        const std::vector<uint32_t> pixels = ReadTarget(D3D9DeviceCapsInfo.BackBuffer);
        ASSERT_EQ(640u * 480u, pixels.size());

        const int row = mode == SubtractMode && D3D9DeviceCapsInfo.SubtractiveBlendFlag ? SubtractRow : mode;
        const int alpha = (int)(color >> 24), shifts[3] = {16, 8, 0};
        int expected[3];
        for (int c = 0; c < 3; ++c)
            expected[c] =
                Expected(Modes[row], (int)(color >> shifts[c]) & 0xFF, alpha, (int)(Background >> shifts[c]) & 0xFF);
        int wrongInside = 0, wrongOutside = 0;
        for (int y = y1 - 2; y < y2 + 2; ++y)
            for (int x = x1 - 2; x < x2 + 2; ++x) {
                const uint32_t pixel = pixels[y * 640 + x];
                if (x >= x1 && x < x2 && y >= y1 && y < y2) {
                    for (int c = 0; c < 3; ++c)
                        if (std::abs((int)((pixel >> shifts[c]) & 0xFF) - expected[c]) > 1) {
                            if (wrongInside++ == 0)
                                ADD_FAILURE()
                                    << std::hex << "pixel " << pixel << " channel " << c << " expected " << expected[c];
                        }
                } else {
                    wrongOutside += pixel != (Background & 0xFFFFFF);
                }
            }
        EXPECT_EQ(0, wrongInside);
        EXPECT_EQ(0, wrongOutside);
    }
    d.BlendMode = 0;
    d.BlendParam = 255;
    d.DrawBrightRed = d.DrawBrightGreen = d.DrawBrightBlue = 255;
}

// Flat-shaded shapes take their colour from one vertex of each triangle: the first one.
TEST_F(D3D9BlendPicture, FlatShadingTakesTheFirstVertexColour)
{
    Graphics_D3D9_UpdateDiffuseColor();
    Graphics_D3D9_PrepareDraw(D3D9_PREPARE_VERTEX_COLOR);
    ASSERT_EQ(D3DSHADE_FLAT, D3D9DeviceStateCache.ShadeMode);
    Clear();
    const D3DCOLOR colors[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
    Quad(100, 100, 200, 200, colors);
    const std::vector<uint32_t> pixels = ReadTarget(D3D9DeviceCapsInfo.BackBuffer);
    ASSERT_EQ(640u * 480u, pixels.size());
    EXPECT_EQ(0xFF0000u, pixels[110 * 640 + 110]) << std::hex << pixels[110 * 640 + 110];
    // The second triangle starts at the bottom-right corner.
    EXPECT_EQ(0xFFFFFFu, pixels[190 * 640 + 190]) << std::hex << pixels[190 * 640 + 190];
}

// Textured draws: a texture's own alpha blends, a cross-fade mixes two textures by its ratio, and a
// hard wipe keeps exactly the pixels whose blend alpha reaches the border.
TEST_F(D3D9BlendPicture, TexturesReachThePictureThroughTheirStagePrograms)
{
    struct Case
    {
        const char *Name;
        D3DCOLOR Main, Blend;
        int BlendType, Param;
        unsigned Flags;
        int Red, Green, Blue;  // -1: the background stays
    };
    const unsigned textured = D3D9_PREPARE_TEXTURED, alpha = textured | D3D9_PREPARE_TRANS | D3D9_PREPARE_ALPHA_CHANNEL;
    const Case cases[] = {
        {"texture alpha", 0x80FF0000, 0, -1, 0, alpha, 255 * 128 / 255 + 40 * 127 / 255, 120 * 127 / 255,
         200 * 127 / 255},
        {"cross-fade at 64", 0xFFFF0000, 0xFF0000FF, 0, 64, textured, 191, 0, 64},
        {"hard wipe below the blend alpha", 0xFF00FF00, 0x64000000, 1, 50, textured, 0, 255, 0},
        {"hard wipe above the blend alpha", 0xFF00FF00, 0x64000000, 1, 150, textured, -1, -1, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        Graphics_D3D9_DrawSetting_SetTexture(MakeColorTexture(c.Main));
        Graphics_D3D9_DrawSetting_SetBlendTexture(c.BlendType >= 0 ? MakeColorTexture(c.Blend) : nullptr, 1, 1);
        const int params[2] = {c.Param, 1};
        Graphics_D3D9_DrawSetting_SetBlendTextureParam(c.BlendType >= 0 ? c.BlendType : 0, params);
        Graphics_D3D9_PrepareDraw(c.Flags);
        Clear();
        Quad(100, 100, 140, 130, nullptr, c.BlendType >= 0);
        const std::vector<uint32_t> pixels = ReadTarget(D3D9DeviceCapsInfo.BackBuffer);
        ASSERT_EQ(640u * 480u, pixels.size());
        const uint32_t pixel = pixels[115 * 640 + 120];
        const uint32_t want = c.Red < 0 ? Background & 0xFFFFFF : (uint32_t)(c.Red << 16 | c.Green << 8 | c.Blue);
        for (int shift = 0; shift < 24; shift += 8)
            EXPECT_LE(std::abs((int)((pixel >> shift) & 0xFF) - (int)((want >> shift) & 0xFF)), 1)
                << std::hex << pixel << " wanted " << want;
    }
    Graphics_D3D9_DrawSetting_SetTexture(nullptr);
    Graphics_D3D9_DrawSetting_SetBlendTexture(nullptr, 0, 0);
}

}  // namespace
