// The geometry both Direct3D back ends draw graphs with: where a graph's pieces land on four free
// corners, the texture corners a caller's quad takes from a piece, the strips of a vertex grid and
// where a mip level's rectangle lands.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <tuple>
#include <vector>

#include "zovuz/graphics/zovuz_graphics_backend.h"

namespace {

// The piece (X, Y)-(X + W, Y + H) of a graph, texture corners u 0.25-0.75 and v 0.125-0.5; its
// corners on or above the graph's rising diagonal as OnDiagonal says.
GraphDrawPiece Piece(float X, float Y, float W, float H, const uint8_t OnDiagonal[4])
{
    GraphDrawPiece p = {};
    for (int k = 0; k < 4; ++k) {
        p.Vertex[k] = GraphDrawPieceVertex{X + (k & 1 ? W : 0), Y + (k & 2 ? H : 0), k & 1 ? 0.75f : 0.25f,
                                           k & 2 ? 0.5f : 0.125f};
        p.VertexOnDiagonal[k] = OnDiagonal[k];
    }
    return p;
}

// The lower-right quarter of a 32 x 24 graph: its top-left corner lies on the rising diagonal.
const uint8_t kQuarterOnDiagonal[4] = {1, 0, 0, 0};

// The non-degenerate triangles of a strip, each as its sorted vertex indices.
std::multiset<std::vector<int>> StripTriangles(const std::vector<int> &Strip)
{
    std::multiset<std::vector<int>> triangles;
    for (size_t i = 2; i < Strip.size(); ++i) {
        std::vector<int> t = {Strip[i - 2], Strip[i - 1], Strip[i]};
        std::sort(t.begin(), t.end());
        if (t[0] != t[1] && t[1] != t[2]) triangles.insert(t);
    }
    return triangles;
}

}  // namespace

TEST(GraphDrawGeometry, GridStripsCoverEveryCellOnceWithinTheListLimit)
{
    struct Case
    {
        int Width, Height, Lists;
    };
    // 250 columns: two rows and their join take 1,002 indices, two more than a list holds.
    for (const Case c : {Case{8, 8, 1}, Case{2, 2, 1}, Case{100, 20, 5}, Case{250, 3, 2}, Case{499, 3, 2}}) {
        SCOPED_TRACE(testing::Message() << c.Width << " x " << c.Height);
        std::vector<std::vector<int>> lists;
        ASSERT_EQ(0, BuildGraphGridStrips(
                         c.Width, c.Height,
                         [](void *Context, const uint16_t *Indices, int Num) {
                             ((std::vector<std::vector<int>> *)Context)->emplace_back(Indices, Indices + Num);
                         },
                         &lists));
        EXPECT_EQ((size_t)c.Lists, lists.size());
        std::multiset<std::vector<int>> drawn;
        for (const auto &list : lists) {
            EXPECT_LE(list.size(), (size_t)GRAPH_GRID_INDEX_MAXNUM);
            for (const auto &t : StripTriangles(list)) drawn.insert(t);
        }
        std::multiset<std::vector<int>> cells;
        for (int y = 0; y + 1 < c.Height; ++y)
            for (int x = 0; x + 1 < c.Width; ++x) {
                const int a = y * c.Width + x, b = a + 1, d = a + c.Width, e = d + 1;
                cells.insert({a, d, e});
                cells.insert({a, b, e});
            }
        EXPECT_EQ(cells, drawn);
    }
    for (const auto &size : {std::pair{1, 8}, std::pair{8, 1}, std::pair{500, 2}, std::pair{300, 300}})
        EXPECT_EQ(-1, BuildGraphGridStrips(
                          size.first, size.second, [](void *, const uint16_t *, int) {}, nullptr))
            << size.first << " x " << size.second;
}

TEST(GraphDrawGeometry, PiecesFollowTheFreeCorners)
{
    struct Case
    {
        const char *Name;
        int X[4], Y[4];         // top-left, top-right, bottom-left, bottom-right
        float Bilinear[4][2];   // the piece's corners placed bilinearly
        float Triangles[4][2];  // ... and by the triangle each lies in (integer corners)
    } cases[] = {
        // On a parallelogram both placements are the one affine map.
        {"parallelogram",
         {10, 42, 14, 46},
         {20, 22, 44, 46},
         {{28, 33}, {44, 34}, {30, 45}, {46, 46}},
         {{28, 33}, {44, 34}, {30, 45}, {46, 46}}},
        // The bottom-right corner pulled out: the lower triangle follows it, the upper one not.
        {"trapezoid",
         {0, 32, 0, 40},
         {0, 0, 24, 30},
         {{18, 13.5f}, {36, 15}, {20, 27}, {40, 30}},
         {{16, 12}, {36, 15}, {20, 27}, {40, 30}}},
    };
    const GraphDrawPiece piece = Piece(16, 12, 16, 12, kQuarterOnDiagonal);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        const float corners[4][2] = {{(float)c.X[0], (float)c.Y[0]},
                                     {(float)c.X[1], (float)c.Y[1]},
                                     {(float)c.X[2], (float)c.Y[2]},
                                     {(float)c.X[3], (float)c.Y[3]}};
        float bilinear[4][2];
        GraphModiPieceCorners(corners, 32, 24, piece, bilinear);
        for (int k = 0; k < 4; ++k) {
            EXPECT_FLOAT_EQ(c.Bilinear[k][0], bilinear[k][0]) << k;
            EXPECT_FLOAT_EQ(c.Bilinear[k][1], bilinear[k][1]) << k;
            // Direct3D 9 places them half a pixel up and left.
            for (float offset : {0.0f, -0.5f}) {
                float x = 0, y = 0;
                GraphModiIntPieceCorner(c.X, c.Y, 32, 24, piece, k, offset, &x, &y);
                EXPECT_FLOAT_EQ(c.Triangles[k][0] + offset, x) << k;
                EXPECT_FLOAT_EQ(c.Triangles[k][1] + offset, y) << k;
            }
        }
    }
}

TEST(GraphDrawGeometry, CallerQuadsTakeThePieceCornersMirroredOnRequest)
{
    const GraphDrawPiece piece = Piece(0, 0, 16, 16, kQuarterOnDiagonal);
    // Six vertices a quad: top-left, top-right, bottom-left, bottom-right, bottom-left, top-right.
    const bool right[6] = {false, true, false, true, false, true}, bottom[6] = {false, false, true, true, true, false};
    for (int mirror = 0; mirror < 2; ++mirror) {
        VERTEX2D v[8] = {};
        SetGraphCornerUV(v, 8, piece, mirror);
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(right[i % 6] != (mirror != 0) ? 0.75f : 0.25f, v[i].u) << mirror << " " << i;
            EXPECT_EQ(bottom[i % 6] ? 0.5f : 0.125f, v[i].v) << mirror << " " << i;
        }
    }
}

TEST(GraphTransfer, EachMipLevelGetsTheRectangleHalvedAndNeverEmpty)
{
    struct Case
    {
        ImageRect Rect;
        int Level;
        ImageRect Expected;
    } cases[] = {
        {{0, 0, 8, 8}, 2, {0, 0, 2, 2}},
        {{2, 6, 6, 7}, 1, {1, 3, 3, 4}},
        {{5, 5, 6, 6}, 1, {2, 2, 3, 3}},
        {{0, 0, 3, 3}, 3, {0, 0, 1, 1}},
    };
    for (const Case &c : cases) {
        const ImageRect r = GraphMipLevelRect(c.Rect, c.Level), &e = c.Expected;
        EXPECT_EQ(std::make_tuple(r.left, r.top, r.right, r.bottom), std::make_tuple(e.left, e.top, e.right, e.bottom))
            << c.Level;
    }
}
