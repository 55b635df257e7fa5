// The geometry both Direct3D back ends draw graphs with: where a graph's pieces land on four free
// corners, and the texture corners a caller's quad takes from a piece.
#include <gtest/gtest.h>

#include "zovuz/graphics/zovuz_graphics.h"

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

}  // namespace

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
