// Graph drawing on Direct3D 9: the shape and winding of free quads as plain numbers, and graphs
// drawn on the platform's own device from test-made graph records whose pieces hold real textures,
// read back texel for texel.
#include "tests/zovuz/d3d9/d3d9_fixture.h"

#include <functional>
#include <memory>

#include "zovuz/d3d9/draw/d3d9_graph_draw.h"
#include "zovuz/d3d9/d3d9_internal.h"
#include "zovuz/d3d9/draw/windows/d3d9_vertex_batch_win.h"

namespace {

// ---- Geometry -------------------------------------------------------------------------------------

TEST(D3D9GraphGeometry, AQuadIsTwoTrianglesOnlyWhenItIsAParallelogram)
{
    struct Case
    {
        const char *Name;
        float Corners[4][2];  // top-left, top-right, bottom-left, bottom-right
        bool Parallelogram, Reversed;
    };
    const Case cases[] = {
        {"rectangle", {{0, 0}, {32, 0}, {0, 24}, {32, 24}}, true, false},
        {"sheared", {{10, 0}, {42, 0}, {0, 24}, {32, 24}}, true, false},
        {"rotated", {{16, 0}, {32, 16}, {0, 16}, {16, 32}}, true, false},
        {"within a pixel", {{0, 0}, {32, 0}, {0, 24}, {32.9f, 24.9f}}, true, false},
        {"a pixel off", {{0, 0}, {32, 0}, {0, 24}, {33, 24}}, false, false},
        {"trapezoid", {{8, 0}, {24, 0}, {0, 24}, {32, 24}}, false, false},
        {"mirrored", {{32, 0}, {0, 0}, {32, 24}, {0, 24}}, true, true},
        {"upside down", {{0, 24}, {32, 24}, {0, 0}, {32, 0}}, true, true},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.Parallelogram, GraphQuadIsParallelogram(c.Corners)) << c.Name;
        EXPECT_EQ(c.Reversed, D3D9QuadReversesWinding(c.Corners)) << c.Name;
    }
}

// ---- On the device ---------------------------------------------------------------------------------

// Every texel its own colour.
uint32_t Texel(int X, int Y)
{
    return (uint32_t)(X * 15 + 10) << 16 | (uint32_t)(Y * 20 + 5) << 8 | (uint32_t)(X * Y + 40);
}

// A graph record as the front end makes it, its pieces side by side, each on a real texture.
struct FakeGraph
{
    GraphHandleData Graph = {};
    GraphImageRecord Image = {};
    std::vector<GraphTextureEntry> Textures;
    std::vector<GraphicsBackendObjectData> Objects;

    ~FakeGraph()
    {
        for (auto &o : Objects)
            if (IDirect3DBaseTexture9 *texture = D3D9TextureObjectsOf(&o)->Texture) Direct3D9_ReleaseObject(texture);
    }
};

// A Width x Height graph of Texel colours in PieceNum pieces of equal width, each on a 16 x 16 texture.
std::unique_ptr<FakeGraph> MakeGraph(int Width, int Height, int PieceNum = 1)
{
    auto g = std::make_unique<FakeGraph>();
    const int pieceWidth = Width / PieceNum, texSize = 16;
    g->Textures.resize(PieceNum);
    g->Objects.resize(PieceNum);
    for (int p = 0; p < PieceNum; ++p) {
        IDirect3DTexture9 *source = nullptr, *texture = nullptr;
        EXPECT_EQ(D3D_OK, Direct3DDevice9_CreateTexture(texSize, texSize, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM,
                                                        &source, nullptr));
        EXPECT_EQ(D3D_OK, Direct3DDevice9_CreateTexture(texSize, texSize, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT,
                                                        &texture, nullptr));
        D3DLOCKED_RECT locked = {};
        if (source != nullptr && SUCCEEDED(Direct3DTexture9_LockRect(source, 0, &locked, nullptr, 0))) {
            for (int y = 0; y < texSize; ++y)
                for (int x = 0; x < texSize; ++x)
                    ((uint32_t *)((char *)locked.pBits + y * locked.Pitch))[x] = Texel(p * pieceWidth + x, y);
            Direct3DTexture9_UnlockRect(source, 0);
            Direct3DDevice9_UpdateTexture(source, texture);
        }
        if (source != nullptr) Direct3D9_ReleaseObject(source);
        D3D9TextureObjectsOf(&g->Objects[p])->Texture = texture;
        g->Textures[p] = GraphTextureEntry{&g->Objects[p], p * pieceWidth, 0, pieceWidth, Height, texSize, texSize};
        GraphDrawPiece &piece = g->Graph.Piece[p];
        piece.DrawX = p * pieceWidth;
        piece.Width = pieceWidth, piece.Height = Height;
        piece.WidthF = (float)pieceWidth, piece.HeightF = (float)Height;
        const float x0 = (float)(p * pieceWidth), x1 = x0 + pieceWidth, u = (float)pieceWidth / texSize,
                    v = (float)Height / texSize;
        piece.Vertex[0] = {x0, 0, 0, 0};
        piece.Vertex[1] = {x1, 0, u, 0};
        piece.Vertex[2] = {x0, (float)Height, 0, v};
        piece.Vertex[3] = {x1, (float)Height, u, v};
        piece.VertexOnDiagonal[0] = piece.VertexOnDiagonal[1] = piece.VertexOnDiagonal[2] = 1;
        piece.Texture = &g->Textures[p];
    }
    g->Image.Width = Width, g->Image.Height = Height;
    g->Image.TextureNum = PieceNum;
    g->Image.Texture = g->Textures.data();
    g->Image.PixelFormat = PIXEL_FORMAT_RGB32;
    g->Graph.Image = &g->Image;
    g->Graph.Width = Width, g->Graph.Height = Height;
    g->Graph.WidthF = (float)Width, g->Graph.HeightF = (float)Height;
    g->Graph.PieceNum = PieceNum;
    return g;
}

class D3D9GraphDraw : public D3D9DrawTest
{
protected:
    void SetUp() override
    {
        D3D9DrawTest::SetUp();
        UseDrawArea(ImageRect{0, 0, 640, 480});
        GraphicsDrawSettings.DrawZ = 0.0f;
        GraphicsDrawSettings.BlendGraph = -1;
        Graphics_D3D9_UpdateDiffuseColor();
        ClearBackBuffer();
    }
};

// What a draw must give: the graph texel shown at a target pixel, or the background (-1, -1).
using Mapping = std::function<std::pair<int, int>(int X, int Y)>;

// The texels Want maps inside the draw area, the background elsewhere.
void ExpectPicture(const std::vector<uint32_t> &Got, const Mapping &Want, ImageRect Area)
{
    ExpectCorner(Got, 160, 120, [&](int X, int Y) {
        const auto [tx, ty] = Want(X, Y);
        const bool inside = X >= Area.left && X < Area.right && Y >= Area.top && Y < Area.bottom;
        return tx < 0 || !inside ? 0 : Texel(tx, ty);
    });
}

// The texel of a W x H graph drawn at (X, Y) scaled by (SX, SY), or none.
Mapping Placed(int X, int Y, int W, int H, int SX = 1, int SY = 1)
{
    return [=](int PX, int PY) {
        const int gx = PX - X, gy = PY - Y;
        if (gx < 0 || gy < 0 || gx >= W * SX || gy >= H * SY) return std::pair{-1, -1};
        return std::pair{gx / SX, gy / SY};
    };
}

TEST_F(D3D9GraphDraw, GraphsLandTexelForTexel)
{
    auto graph = MakeGraph(16, 12);
    auto pieces = MakeGraph(16, 12, 2);
    GraphHandleData *g = &graph->Graph;
    struct Case
    {
        const char *Name;
        std::function<int()> Draw;
        Mapping Want;
        ImageRect Area = {0, 0, 640, 480};
    };
    DrawGraphRectsVertex rects[8] = {{20, 30, 0, 0}, {36, 30, 1, 0},    {20, 42, 0, 0.75f}, {36, 42, 1, 0.75f},
                                     {50, 30, 0, 0}, {58, 30, 0.5f, 0}, {50, 42, 0, 0.75f}, {58, 42, 0.5f, 0.75f}};
    for (auto &r : rects) r.x -= 0.5f, r.y -= 0.5f;  // the font layer's half-pixel placement
    const DrawGraphRectsParam rectList = {2, rects, 0, 0};
    const Case cases[] = {
        {"at a position", [&] { return Graphics_D3D9_DrawGraph(20, 30, 20, 30, g, nullptr, 0, 0); },
         Placed(20, 30, 16, 12)},
        {"in two pieces", [&] { return Graphics_D3D9_DrawGraph(20, 30, 20, 30, &pieces->Graph, nullptr, 0, 0); },
         Placed(20, 30, 16, 12)},
        {"cut by the draw area's left and top edges",
         [&] { return Graphics_D3D9_DrawGraph(20, 30, 20, 30, g, nullptr, 0, 0); }, Placed(20, 30, 16, 12),
         {27, 33, 640, 480}},
        {"in two pieces, cut",
         [&] { return Graphics_D3D9_DrawGraph(20, 30, 20, 30, &pieces->Graph, nullptr, 0, 0); },
         Placed(20, 30, 16, 12), {23, 0, 33, 40}},
        {"stretched twice",
         [&] { return Graphics_D3D9_DrawExtendGraph(20, 30, 52, 54, 20, 30, 52, 54, g, nullptr, 0, 0); },
         Placed(20, 30, 16, 12, 2, 2)},
        {"stretched twice, cut",
         [&] { return Graphics_D3D9_DrawExtendGraph(20, 30, 52, 54, 20, 30, 52, 54, g, nullptr, 0, 0); },
         Placed(20, 30, 16, 12, 2, 2), {25, 35, 45, 50}},
        {"on its own rectangle's free corners",
         [&] { return Graphics_D3D9_DrawModiGraph(20, 30, 36, 30, 20, 42, 36, 42, g, nullptr, 0, 0); },
         Placed(20, 30, 16, 12)},
        {"on integer corners of a rectangle",
         [&] { return Graphics_D3D9_DrawModiGraphInt(20, 30, 52, 30, 20, 54, 52, 54, g, nullptr, 0, 0); },
         Placed(20, 30, 16, 12, 2, 2)},
        {"as a rectangle list", [&] { return Graphics_D3D9_DrawGraphRects(&rectList, g, nullptr); },
         [](int X, int Y) {
             if (Y >= 30 && Y < 42 && X >= 20 && X < 36) return std::pair{X - 20, Y - 30};
             if (Y >= 30 && Y < 42 && X >= 50 && X < 58) return std::pair{X - 50, Y - 30};
             return std::pair{-1, -1};
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        UseDrawArea(c.Area);
        ClearBackBuffer();
        EXPECT_EQ(0, c.Draw());
        UseDrawArea(ImageRect{0, 0, 640, 480});
        ExpectPicture(BackBufferPixels(), c.Want, c.Area);
    }
}

// A bent quad is drawn as a grid: inside its corners only, with the texture's corners at its own.
TEST_F(D3D9GraphDraw, ABentQuadBendsTheGraphInsideItsCorners)
{
    auto graph = MakeGraph(16, 12);
    ASSERT_EQ(0, Graphics_D3D9_DrawModiGraph(40, 40, 100, 40, 40, 90, 120, 110, &graph->Graph, nullptr, 0, 0));
    ExpectCorner(BackBufferPixels(), 160, 160, [](int X, int Y) {
        if (X == 41 && Y == 41) return Texel(0, 0);
        if (X == 117 && Y == 108) return Texel(15, 11);
        return X < 40 || Y < 40 || X >= 120 || Y >= 110 ? 0 : kAnyPixel;
    });
}

// The caller's vertices are drawn as given.
TEST_F(D3D9GraphDraw, CallerVerticesAreDrawnAsGiven)
{
    VERTEX2D quad[6];
    const float xs[6] = {20, 36, 20, 36, 20, 36}, ys[6] = {30, 30, 42, 42, 42, 30};
    for (int i = 0; i < 6; ++i) {
        quad[i] = {};
        quad[i].pos = VECTOR{xs[i] - 0.5f, ys[i] - 0.5f, 0};
        quad[i].rhw = 1;
        quad[i].dif = COLOR_U8{0x30, 0x20, 0x10, 255};
    }
    ASSERT_EQ(0, Graphics_D3D9_DrawPrimitive2D(quad, 6, D3DPT_TRIANGLELIST, nullptr, 0, 0, 0, 0, 0, 0));
    ExpectCorner(BackBufferPixels(), 60, 60,
                 [](int X, int Y) { return X >= 20 && X < 36 && Y >= 30 && Y < 42 ? 0x102030u : 0u; });
}

TEST_F(D3D9GraphDraw, GraphsWithoutTexturesOrAreaAreRefused)
{
    auto graph = MakeGraph(16, 12);
    auto pieces = MakeGraph(16, 12, 2);
    GraphHandleData empty = {};
    const DrawGraphRectsParam rects = {1, nullptr, 0, 0};
    EXPECT_EQ(-1, Graphics_D3D9_DrawGraph(0, 0, 0, 0, &empty, nullptr, 0, 0));
    EXPECT_EQ(-1, Graphics_D3D9_DrawExtendGraph(10, 10, 10, 30, 10, 10, 10, 30, &graph->Graph, nullptr, 0, 0));
    EXPECT_EQ(-1, Graphics_D3D9_DrawGraphRects(&rects, &pieces->Graph, nullptr));
    EXPECT_EQ(-1, Graphics_D3D9_DrawVertexGrid(nullptr, 8, 8));
    EXPECT_TRUE(BackBufferPixels() == std::vector<uint32_t>(640 * 480, 0));
}

}  // namespace
