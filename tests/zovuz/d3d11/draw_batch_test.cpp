// The 2-D primitives against the recording fake: where their vertices land, which flags word they
// prepare with, when the batch breaks, the mesh grid's indexed strips, and the refusals.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "tests/zovuz/d3d11/d3d11_fixture.h"
#include "zovuz/d3d11/draw/d3d11_draw_geometry.h"
#include "zovuz/d3d11/zovuz_d3d11.h"
#include "zovuz/graphics/zovuz_graphics_backend.h"
#include "zovuz/d3d11/state/windows/d3d11_device_state_win.h"
#include "zovuz/d3d11/draw/windows/d3d11_draw_win.h"
#include "zovuz/d3d11/draw/windows/d3d11_vertex_batch_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_graph_texture_win.h"

namespace {

constexpr int kTargetWidth = 640, kTargetHeight = 480;

// A graph of Pieces side by side, each a 32 x 16 piece of its own 64 x 16 texture on the fake.
struct FakeGraph
{
    GraphicsBackendObjectData Objects[2] = {};
    GraphTextureEntry Textures[2] = {};
    GraphImageRecord Image = {};
    GraphHandleData Graph = {};

    void Make(int Pieces, int AlphaChannel)
    {
        Image.Format.AlphaChannelFlag = (uint8_t)AlphaChannel;
        Image.Format.HardwareFlag = 1;
        Image.TextureNum = Pieces;
        Image.Texture = Textures;
        Graph.Image = &Image;
        Graph.Width = 32 * Pieces;
        Graph.Height = 16;
        Graph.WidthF = (float)Graph.Width;
        Graph.HeightF = 16.0f;
        Graph.PieceNum = Pieces;
        for (int i = 0; i < Pieces; ++i) {
            D3D11_TEXTURE2D_DESC desc = {64, 16, 1, 1, DXGI_FORMAT_R8G8B8A8_UNORM, {1, 0}, D3D11_USAGE_DEFAULT,
                                         D3D11_BIND_SHADER_RESOURCE, 0, 0};
            ID3D11Texture2D *texture = nullptr;
            ID3D11ShaderResourceView *view = nullptr;
            ASSERT_EQ(S_OK, D3D11Device_CreateTexture2D(&desc, nullptr, &texture));
            ASSERT_EQ(S_OK, D3D11Device_CreateShaderResourceView(texture, nullptr, &view));
            Textures[i] = GraphTextureEntry{&Objects[i], 32 * i, 0, 32, 16, 64, 16};
            D3D11GraphObjects(Textures[i])->Texture = texture;
            D3D11GraphObjects(Textures[i])->View = view;
            GraphDrawPiece &p = Graph.Piece[i];
            p.Texture = &Textures[i];
            const float x0 = 32.0f * i, x1 = x0 + 32.0f;
            p.Vertex[0] = GraphDrawPieceVertex{x0, 0.0f, 0.0f, 0.0f};
            p.Vertex[1] = GraphDrawPieceVertex{x1, 0.0f, 0.5f, 0.0f};
            p.Vertex[2] = GraphDrawPieceVertex{x0, 16.0f, 0.0f, 1.0f};
            p.Vertex[3] = GraphDrawPieceVertex{x1, 16.0f, 0.5f, 1.0f};
            p.WidthF = 32.0f;
            p.HeightF = 16.0f;
        }
    }
    void Release()
    {
        for (GraphicsBackendObjectData &o : Objects) {
            D3D11GraphTextureObjects &objects = *GraphicsBackendRecord<D3D11GraphTextureObjects>(&o);
            if (objects.View != nullptr) D3D11ShaderResourceView_Release(objects.View);
            if (objects.Texture != nullptr) D3D11Texture2D_Release(objects.Texture);
            o = GraphicsBackendObjectData();
        }
    }
};

class Draw2D : public FakeD3D11DrawingTest
{
protected:
    void SetUp() override
    {
        FakeD3D11DrawingTest::SetUp();
        GraphicsDrawSettingsData &d = GraphicsDrawSettings;
        d = GraphicsDrawSettingsData();
        d.AlphaTestMode = -1;
        d.FillMode = 3;
        for (int i = 0; i < 16; ++i) d.TexAddressModeU[i] = d.TexAddressModeV[i] = d.TexAddressModeW[i] = 3;
        SetArea(0, 0, kTargetWidth, kTargetHeight);
        Graphics_D3D11_RenderVertexBuffer(-1, 0);
        ForgetCalls();
    }
    void TearDown() override
    {
        Graphics_D3D11_SetTexture(nullptr, nullptr);
        Graphics_D3D11_SetBlendTexture(nullptr, nullptr, 0, 0);
        graphs_[0].Release();
        graphs_[1].Release();
        GraphicsDrawSettings = GraphicsDrawSettingsData();
        FakeD3D11DrawingTest::TearDown();
    }
    static void SetArea(int Left, int Top, int Right, int Bottom)
    {
        GraphicsDrawSettingsData &d = GraphicsDrawSettings;
        d.DrawArea = ImageRect{Left, Top, Right, Bottom};
        d.DrawAreaF[0] = (float)Left;
        d.DrawAreaF[1] = (float)Top;
        d.DrawAreaF[2] = (float)Right;
        d.DrawAreaF[3] = (float)Bottom;
    }
    // The (x, y) of each pending vertex and, for textured batches, its (u, v).
    static std::vector<std::vector<float>> Pending()
    {
        const int stride = D3D11Batch.Kind == 0 ? 20 : D3D11Batch.Kind == 1 ? 28 : 40;
        const int uvAt = D3D11Batch.Kind == 1 ? 20 : 24;
        std::vector<std::vector<float>> out;
        for (int i = 0; i < D3D11Batch.Count; ++i) {
            const float *v = (const float *)(D3D11Batch.Mapped + i * stride);
            if (D3D11Batch.Kind == 0)
                out.push_back({v[0], v[1]});
            else
                out.push_back({v[0], v[1], v[uvAt / 4], v[uvAt / 4 + 1]});
        }
        return out;
    }
    FakeGraph graphs_[2];
};

using Rows = std::vector<std::vector<float>>;

TEST_F(Draw2D, ShapesPutTheirVerticesWhereThePixelsMustLight)
{
    const struct
    {
        const char *name;
        void (*draw)();
        Rows vertices;  // the first few pending vertices
        int count;
    } cases[] = {
        {"a vertical line is pulled back a tenth so that its end stays unlit",
         [] { Graphics_D3D11_DrawLine(5, 5, 5, 10, 0xFFFFFF); }, {{5.5f, 5.4f}, {5.5f, 10.4f}}, 2},
        {"a horizontal line drawn leftwards is pushed the other way",
         [] { Graphics_D3D11_DrawLine(10, 3, 0, 3, 0xFFFFFF); }, {{10.6f, 3.5f}, {0.6f, 3.5f}}, 2},
        {"a diagonal line only moves to the pixel centres", [] { Graphics_D3D11_DrawLine(0, 0, 8, 8, 0xFFFFFF); },
         {{0.5f, 0.5f}, {8.5f, 8.5f}}, 2},
        {"a line of no length draws nothing", [] { Graphics_D3D11_DrawLine(5, 5, 5, 5, 0xFFFFFF); }, {}, 0},
        {"a filled box is ordered and clipped to the draw area",
         [] {
             SetArea(12, 12, 15, 100);
             Graphics_D3D11_DrawFillBox(20, 20, 10, 10, 0xFFFFFF);
         },
         {{12, 12}, {15, 12}, {12, 20}, {15, 20}, {12, 20}, {15, 12}}, 6},
        {"a box clipped away draws nothing",
         [] {
             SetArea(30, 30, 40, 40);
             Graphics_D3D11_DrawFillBox(0, 0, 10, 10, 0xFFFFFF);
         },
         {}, 0},
        {"an outline's top strip covers the whole width, its bottom leaves both corners to the sides",
         [] { Graphics_D3D11_DrawLineBox(10, 10, 20, 20, 0xFFFFFF); },
         {{10, 10}, {20, 10}, {10, 11}, {20, 11}, {10, 11}, {20, 10}}, 24},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Graphics_D3D11_RenderVertexBuffer(-1, 0);
        SetArea(0, 0, kTargetWidth, kTargetHeight);
        c.draw();
        const Rows got = Pending();
        ASSERT_EQ(c.count, (int)got.size());
        for (size_t i = 0; i < c.vertices.size(); ++i) {
            EXPECT_FLOAT_EQ(c.vertices[i][0], got[i][0]) << "vertex " << i;
            EXPECT_FLOAT_EQ(c.vertices[i][1], got[i][1]) << "vertex " << i;
        }
    }
    // The outline's bottom strip: x 11-19 by y 19-20.
    const Rows box = Pending();
    EXPECT_EQ((std::vector<float>{11, 19}), box[18]);
    EXPECT_EQ((std::vector<float>{19, 20}), box[21]);
}

TEST_F(Draw2D, BoxesShareOneBatchUntilItsCapacity)
{
    // 545 boxes are 3270 VERTEX_NOTEX_2D; the 546th would reach the 3276 that fit.
    for (int i = 0; i < 545; ++i) ASSERT_EQ(0, Graphics_D3D11_DrawFillBox(i % 600, 0, i % 600 + 4, 4, 0xFF0000));
    EXPECT_EQ(0, FakeD3D11Count("Draw"));
    ASSERT_EQ(0, Graphics_D3D11_DrawFillBox(0, 0, 4, 4, 0xFF0000));
    EXPECT_EQ(std::vector<std::string>({"Draw 3270 0"}), FakeD3D11CallsStartingWith("Draw "));
    EXPECT_EQ(6, D3D11Batch.Count);

    // A line changes the topology, a graph the texture and the format: each draws what is batched.
    ASSERT_EQ(0, Graphics_D3D11_DrawLine(0, 0, 8, 0, 0xFF0000));
    graphs_[0].Make(1, 0);
    ASSERT_EQ(0, Graphics_D3D11_DrawGraph(0, 0, 0, 0, &graphs_[0].Graph, nullptr, 0, 1));
    ASSERT_EQ(0, Graphics_D3D11_DrawGraph(40, 0, 40, 0, &graphs_[0].Graph, nullptr, 0, 1));
    EXPECT_EQ(std::vector<std::string>({"Draw 3270 0", "Draw 6 0", "Draw 2 6"}), FakeD3D11CallsStartingWith("Draw "));
    EXPECT_EQ(12, D3D11Batch.Count);
}

TEST_F(Draw2D, AFrameOfQuadsAndGlyphsDrawsAsTheBatchRulesPredict)
{
    // The benchmark's frame on the back end: 2,000 quads of one graph, then 200 strings of ten
    // glyphs from another. A VERTEX2D batch holds 389 quads (six more vertices must stay under its
    // 2,340), so each graph draws in six batches, the quads' last one at the texture switch. Each
    // string sets its colour as the draw bright and puts the bright back, through the front end:
    // the bright goes into each vertex as it is batched, so neither change breaks the batch.
    const int apiType = GraphicsAPIType, inUse = GraphicsState.HardwareInUseFlag;
    RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, GetGraphicsD3D11Functions());
    GraphicsAPIType = GRAPHICS_API_D3D11;
    GraphicsState.HardwareInUseFlag = 1;
    graphs_[0].Make(1, 0);
    graphs_[1].Make(1, 1);
    std::vector<DrawGraphRectsVertex> glyphs(40);
    for (int i = 0; i < 2000; ++i)
        ASSERT_EQ(0, Graphics_D3D11_DrawGraph(i % 600, i % 400, (float)(i % 600), (float)(i % 400), &graphs_[0].Graph,
                                              nullptr, 1, 1));
    const DrawGraphRectsParam rects = {10, glyphs.data(), 0, 1};
    uint32_t textColor = 0;
    for (int i = 0; i < 200; ++i) {
        SetDrawBright(220, 200, 180);
        textColor = Graphics_D3D11_GetDiffuseColor();
        ASSERT_EQ(0, Graphics_D3D11_DrawGraphRects(&rects, &graphs_[1].Graph, nullptr));
        SetDrawBright(255, 255, 255);
    }
    ASSERT_GT(D3D11Batch.Count, 0);
    uint32_t lastColor;
    memcpy(&lastColor, D3D11Batch.Mapped + (D3D11Batch.Count - 1) * 28 + 16, 4);
    EXPECT_EQ(textColor, lastColor);
    EXPECT_NE(textColor, Graphics_D3D11_GetDiffuseColor());
    Graphics_D3D11_RenderVertexBuffer(-1, 0);
    EXPECT_EQ(12, FakeD3D11Count("Draw"));
    GraphicsState.HardwareInUseFlag = inUse;
    GraphicsAPIType = apiType;
    RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, nullptr);
}

TEST_F(Draw2D, EachPrimitivePreparesWithItsFlagsWord)
{
    graphs_[0].Make(1, 1);
    FakeGraph &g = graphs_[0];
    const struct
    {
        const char *name;
        void (*draw)(GraphHandleData *);
        uint32_t flags;
    } cases[] = {
        {"boxes are untextured", [](GraphHandleData *) { Graphics_D3D11_DrawFillBox(0, 0, 4, 4, 0xFFFFFF); }, 0x20},
        {"a graph adds its cull bit and its image's alpha channel",
         [](GraphHandleData *G) { Graphics_D3D11_DrawGraph(0, 0, 0, 0, G, nullptr, 1, 0); }, 0x1 | 0x4000 | 0x8000 | 0x10000},
        {"a transparent colour's format asks for the alpha test",
         [](GraphHandleData *G) {
             G->Image->PixelFormat = PIXEL_FORMAT_ALPHATEST_RGB32;
             Graphics_D3D11_DrawGraph(0, 0, 0, 0, G, nullptr, 1, 0);
             G->Image->PixelFormat = 0;
         },
         0x1 | 0x4000 | 0x8000 | 0x10000 | 0x20000},
        {"the integer-position flag keeps the alpha",
         [](GraphHandleData *G) { Graphics_D3D11_DrawGraph(0, 0, 0, 0, G, nullptr, 0, 1); }, 0x2 | 0x4000 | 0x8000 | 0x10000},
        {"a stretch keeps the alpha unless filtered bilinearly",
         [](GraphHandleData *G) {
             GraphicsDrawSettings.DrawMode = 1;
             Graphics_D3D11_DrawExtendGraph(0, 0, 8, 8, 0, 0, 8, 8, G, nullptr, 1, 1);
             GraphicsDrawSettings.DrawMode = 0;
         },
         0x1 | 0x8000 | 0x10000},
        {"caller vertices with the graph's corners",
         [](GraphHandleData *G) {
             VERTEX2D v[3] = {};
             Graphics_D3D11_DrawPrimitive2D(v, 3, 4, G, 0, 1, 0, 0, 0, 0);
         },
         0x1000 | 0x8000 | 0x10000},
        {"caller vertices with their own coordinates and the 3-D fog",
         [](GraphHandleData *) {
             VERTEX2D v[3] = {};
             Graphics_D3D11_DrawPrimitive2D(v, 3, 4, nullptr, 1, 0, 1, 0, 0, 0);
         },
         0x1 | 0x880 | 0x5000},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        c.draw(&g.Graph);
        EXPECT_EQ(c.flags, D3D11DeviceState.PrepareDrawFlags);
    }
}

TEST_F(Draw2D, AGraphOutsideTheDrawAreaIsClippedWithoutStretching)
{
    graphs_[0].Make(2, 0);  // 64 x 16: two 32-pixel pieces, each half of a 64-texel texture
    SetArea(16, 4, 48, 480);
    ASSERT_EQ(0, Graphics_D3D11_DrawGraph(0, 0, 0, 0, &graphs_[0].Graph, nullptr, 0, 1));
    // Both pieces were batched: the first (drawn when the texture changed) and the second.
    const Rows second = Pending();
    ASSERT_EQ(6u, second.size());
    // The second piece spans x 32-64: its right edge moved 16 pixels in, 16 / 64 of its texture.
    EXPECT_EQ((std::vector<float>{32, 4, 0.0f, 4.0f / 16}), second[0]);
    EXPECT_EQ((std::vector<float>{48, 4, 0.25f, 4.0f / 16}), second[1]);
    EXPECT_EQ((std::vector<float>{48, 16, 0.25f, 1.0f}), second[3]);

    // A stretch by 2 moves the coordinates half as far for the same distance.
    Graphics_D3D11_RenderVertexBuffer(-1, 0);
    SetArea(8, 0, 640, 480);
    graphs_[1].Make(1, 0);
    ASSERT_EQ(0, Graphics_D3D11_DrawExtendGraph(0, 0, 64, 32, 0, 0, 64, 32, &graphs_[1].Graph, nullptr, 0, 1));
    EXPECT_EQ((std::vector<float>{8, 0, 8.0f / 128, 0}), Pending()[0]);
    // Mirrored, the left edge is the graph's right one.
    Graphics_D3D11_RenderVertexBuffer(-1, 0);
    SetArea(0, 0, 640, 480);
    ASSERT_EQ(0, Graphics_D3D11_DrawExtendGraph(64, 0, 0, 32, 64, 0, 0, 32, &graphs_[1].Graph, nullptr, 0, 1));
    EXPECT_EQ((std::vector<float>{64, 0, 0, 0}), Pending()[0]);
    EXPECT_EQ((std::vector<float>{0, 0, 0.5f, 0}), Pending()[1]);
}

TEST_F(Draw2D, GridsDrawJoinedStripsAndRefuseWhatTheListCannotHold)
{
    std::vector<VERTEX2D> vertices(600 * 4);
    const struct
    {
        const char *name;
        int columns, rows, result;
        std::vector<std::string> draws;
    } cases[] = {
        {"8 x 8: seven strips of 16 joined by 12 indices", 8, 8, 0, {"DrawIndexed 124 0 0"}},
        {"300 columns: each row pair fills the list alone", 300, 4, 0,
         {"DrawIndexed 600 0 0", "DrawIndexed 600 0 0", "DrawIndexed 600 0 0"}},
        {"499 columns still fit with their join", 499, 2, 0, {"DrawIndexed 998 0 0"}},
        {"600 columns cannot fit one row pair", 600, 2, -1, {}},
        {"one row is no grid", 8, 1, -1, {}},
        {"more vertices than 16-bit indices reach", 2, 32769, -1, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        FakeD3D11.Calls.clear();
        if ((size_t)c.columns * c.rows > vertices.size()) vertices.resize((size_t)c.columns * c.rows);
        EXPECT_EQ(c.result, Graphics_D3D11_DrawMeshGrid(vertices.data(), c.columns, c.rows));
        EXPECT_EQ(c.draws, FakeD3D11CallsStartingWith("DrawIndexed"));
    }
}

TEST_F(Draw2D, CallsRefuseWhatTheyCannotDraw)
{
    graphs_[0].Make(2, 0);
    DrawGraphRectsVertex corners[4] = {};
    const DrawGraphRectsParam rects = {1, corners, 0, 0};
    EXPECT_EQ(-1, Graphics_D3D11_DrawGraphRects(&rects, &graphs_[0].Graph, nullptr));
    VERTEX2D v[3] = {};
    EXPECT_EQ(-1, Graphics_D3D11_DrawPrimitive2D(v, 3, 6, nullptr, 0, 0, 0, 0, 0, 0));  // no fans
    EXPECT_EQ(-1, Graphics_D3D11_DrawPrimitive2D(v, 3, 4, &graphs_[0].Graph, 0, 0, 0, 0, 2, 0));
    EXPECT_EQ(-1, Graphics_D3D11_DrawCircleThickness(10, 10, 5, 0xFFFFFF, 1));
    EXPECT_EQ(-1, Graphics_D3D11_DrawExtendGraph(4, 0, 4, 8, 4, 0, 4, 8, &graphs_[0].Graph, nullptr, 0, 0));
    EXPECT_EQ(0, FakeD3D11Count("Draw") + FakeD3D11Count("DrawIndexed"));
    EXPECT_EQ(0, D3D11Batch.Count);

    // Without a device every primitive fails.
    graphs_[0].Release();
    Graphics_D3D11_ReleaseDevice();
    EXPECT_EQ(-1, Graphics_D3D11_DrawFillBox(0, 0, 4, 4, 0));
    EXPECT_EQ(-1, Graphics_D3D11_DrawCircle(10, 10, 4, 0, 1, 0, 0));
    EXPECT_EQ(-1, Graphics_D3D11_DrawGraphRects(&rects, &graphs_[0].Graph, nullptr));
}

TEST_F(Draw2D, CallerColoursAreSwappedInACopyForRGBADevices)
{
    VERTEX2D v[3] = {};
    for (VERTEX2D &one : v) one.dif = COLOR_U8{0x11, 0x22, 0x33, 0x44};
    const int bgra = GraphicsDeviceCaps.VertexColorBGRAFlag;
    for (int flag : {1, 0}) {
        SCOPED_TRACE(flag);
        GraphicsDeviceCaps.VertexColorBGRAFlag = flag;
        memset(ReserveWorkBuffer(2, sizeof(v)), 0, sizeof(v));
        ASSERT_EQ(0, Graphics_D3D11_DrawPrimitive2D(v, 3, 4, nullptr, 0, 0, 0, 0, 0, 0));
        EXPECT_EQ(0x11, v[2].dif.b);  // the caller's array is never written
        EXPECT_EQ(0x33, v[2].dif.r);
        const VERTEX2D *drawn = (const VERTEX2D *)ReserveWorkBuffer(2, sizeof(v));
        EXPECT_EQ(flag ? 0x00 : 0x33, drawn[2].dif.b);  // the copy is made only to swap
    }
    GraphicsDeviceCaps.VertexColorBGRAFlag = bgra;
    EXPECT_EQ(2, FakeD3D11Count("Draw"));
}

}  // namespace
