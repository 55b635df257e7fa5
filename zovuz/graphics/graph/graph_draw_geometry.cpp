// The geometry of graph drawing both Direct3D back ends share: a piece's corners on the target,
// clipped to the draw area, on four free corners, and the blend graph's coordinates beside them;
// the shape test of a free quad, the grid a bent one is drawn as and the strips of a vertex grid.
#include "zovuz/graphics/graph/graph_internal.h"

#include <math.h>
#include <string.h>

namespace {

// The front end keeps no blend-graph position: blend coordinates are placed from the graph's own
// corners (placement mode 0, position 0, 0).
constexpr int kBlendPlacementMode = 0;
constexpr float kBlendX = 0.0f, kBlendY = 0.0f;

float TexWidth(const GraphDrawPiece &Piece) { return Piece.Texture != nullptr ? (float)Piece.Texture->TexWidth : 1.0f; }
float TexHeight(const GraphDrawPiece &Piece)
{
    return Piece.Texture != nullptr ? (float)Piece.Texture->TexHeight : 1.0f;
}

// Moves a corner onto Area (left, top, right, bottom); its coordinates follow by the distance moved
// over the texture's size in target pixels.
void ClampCorner(GraphQuadCorner &C, const float Area[4], float TexPixelsX, float TexPixelsY, float BlendPixelsX,
                 float BlendPixelsY)
{
    const float x = C.x < Area[0] ? Area[0] : C.x > Area[2] ? Area[2] : C.x;
    const float y = C.y < Area[1] ? Area[1] : C.y > Area[3] ? Area[3] : C.y;
    const float dx = x - C.x, dy = y - C.y;
    C.u += dx / TexPixelsX;
    C.v += dy / TexPixelsY;
    if (BlendPixelsX != 0.0f) C.bu += dx / BlendPixelsX;
    if (BlendPixelsY != 0.0f) C.bv += dy / BlendPixelsY;
    C.x = x;
    C.y = y;
}

}  // namespace

void PlaceGraphBlendCorner(GraphQuadCorner &C, float CX, float CY, float PosX, float PosY, const GraphDrawPiece *Blend)
{
    if (Blend == nullptr) return;
    const float bx = Blend->Vertex[0].x, by = Blend->Vertex[0].y;
    if (kBlendPlacementMode == 1) {
        C.bu = (PosX + CX - bx - kBlendX) / TexWidth(*Blend);
        C.bv = (PosY + CY - by - kBlendY) / TexHeight(*Blend);
    } else {
        C.bu = (CX - bx + kBlendX) / TexWidth(*Blend);
        C.bv = (CY - by + kBlendY) / TexHeight(*Blend);
    }
}

void GraphPieceQuadCorners(const GraphDrawPiece &Piece, const GraphDrawPiece *Blend, float X, float Y, float ScaleX,
                           float ScaleY, const float *ClipArea, GraphQuadCorner Out[4])
{
    for (int k = 0; k < 4; ++k) {
        const GraphDrawPieceVertex &pv = Piece.Vertex[k];
        Out[k] = GraphQuadCorner{X + pv.x * ScaleX, Y + pv.y * ScaleY, pv.u, pv.v, 0.0f, 0.0f};
        PlaceGraphBlendCorner(Out[k], pv.x, pv.y, X, Y, Blend);
        if (ClipArea != nullptr)
            ClampCorner(Out[k], ClipArea, TexWidth(Piece) * ScaleX, TexHeight(Piece) * ScaleY,
                        Blend != nullptr ? TexWidth(*Blend) * ScaleX : 0.0f,
                        Blend != nullptr ? TexHeight(*Blend) * ScaleY : 0.0f);
    }
}

int GraphRectInsideDrawArea(int Left, int Top, int Right, int Bottom)
{
    const ImageRect &a = GraphicsDrawSettings.DrawArea;
    return Left >= a.left && Top >= a.top && Right <= a.right && Bottom <= a.bottom;
}

void GraphModiPieceCorners(const float Corners[4][2], double Width, double Height, const GraphDrawPiece &Piece,
                           float Out[4][2])
{
    for (int k = 0; k < 4; ++k) {
        const double u = Piece.Vertex[k].x / Width, v = Piece.Vertex[k].y / Height;
        for (int axis = 0; axis < 2; ++axis) {
            const double top = Corners[0][axis] + (Corners[1][axis] - Corners[0][axis]) * u;
            const double bottom = Corners[2][axis] + (Corners[3][axis] - Corners[2][axis]) * u;
            Out[k][axis] = (float)(top + (bottom - top) * v);
        }
    }
}

void GraphModiIntPieceCorner(const int X[4], const int Y[4], float Width, float Height, const GraphDrawPiece &Piece,
                             int K, float Offset, float *OutX, float *OutY)
{
    const GraphDrawPieceVertex &pv = Piece.Vertex[K];
    const float w = Width, h = Height;
    if (Piece.VertexOnDiagonal[K]) {
        *OutX = X[0] + Offset + pv.x * (X[1] - X[0]) / w + pv.y * (X[2] - X[0]) / h;
        *OutY = Y[0] + Offset + pv.x * (Y[1] - Y[0]) / w + pv.y * (Y[2] - Y[0]) / h;
    } else {
        *OutX = X[3] + Offset + (pv.x - w) * (X[3] - X[2]) / w + (pv.y - h) * (X[3] - X[1]) / h;
        *OutY = Y[3] + Offset + (pv.x - w) * (Y[3] - Y[2]) / w + (pv.y - h) * (Y[3] - Y[1]) / h;
    }
}

void SetGraphCornerUV(VERTEX2D *Vertices, int Num, const GraphDrawPiece &Piece, int Mirror)
{
    float left = Piece.Vertex[0].u, right = Piece.Vertex[3].u;
    const float top = Piece.Vertex[0].v, bottom = Piece.Vertex[3].v;
    if (Mirror) {
        const float u = left;
        left = right;
        right = u;
    }
    const float us[6] = {left, right, left, right, left, right}, vs[6] = {top, top, bottom, bottom, bottom, top};
    for (int i = 0; i < Num; ++i) {
        Vertices[i].u = us[i % 6];
        Vertices[i].v = vs[i % 6];
    }
}

bool GraphQuadIsParallelogram(const float C[4][2])
{
    for (int axis = 0; axis < 2; ++axis) {
        const float top = C[1][axis] - C[0][axis], bottom = C[3][axis] - C[2][axis];
        const float left = C[2][axis] - C[0][axis], right = C[3][axis] - C[1][axis];
        if (fabsf(top - bottom) >= 1.0f || fabsf(left - right) >= 1.0f) return false;
    }
    return true;
}

void GraphModiGridVertices(const float C[4][2], float U1, float V1, float U2, float V2, float PieceWidth,
                           float PieceHeight, uint32_t Color, float Z, VERTEX2D Out[64])
{
    // A side inside the texture borders another piece: a thousandth of a pixel in keeps its
    // neighbour's texels out.
    const float du = PieceWidth > 0.0f ? (U2 - U1) / PieceWidth * 0.001f : 0.0f;
    const float dv = PieceHeight > 0.0f ? (V2 - V1) / PieceHeight * 0.001f : 0.0f;
    float u1 = U1, u2 = U2, v1 = V1, v2 = V2;
    if (U1 >= 1e-06f) u1 += du;
    if (U2 <= 0.99999f) u2 -= du;
    if (V1 >= 1e-06f) v1 += dv;
    if (V2 <= 0.99999f) v2 -= dv;
    const int n = GRAPH_MODI_GRID_SIZE;
    for (int row = 0; row < n; ++row) {
        const float fy = (float)row / (float)(n - 1);
        const float lx = C[0][0] + (C[2][0] - C[0][0]) * fy, ly = C[0][1] + (C[2][1] - C[0][1]) * fy;
        const float rx = C[1][0] + (C[3][0] - C[1][0]) * fy, ry = C[1][1] + (C[3][1] - C[1][1]) * fy;
        for (int col = 0; col < n; ++col) {
            const float fx = (float)col / (float)(n - 1);
            VERTEX2D &v = Out[row * n + col];
            v.pos = VECTOR{lx + (rx - lx) * fx, ly + (ry - ly) * fx, Z};
            v.rhw = 1.0f;
            memcpy(&v.dif, &Color, sizeof Color);
            v.u = u1 + (u2 - u1) * fx;
            v.v = v1 + (v2 - v1) * fy;
        }
    }
}

int BuildGraphGridStrips(int Width, int Height, GraphGridStripFunc Strip, void *Context)
{
    if (Width < 2 || Height < 2) return -1;
    // A row must fit one list with its join, and every vertex must be reachable by a 16-bit index.
    if (2 * Width + 2 > GRAPH_GRID_INDEX_MAXNUM || (long long)Width * Height > 65536) return -1;
    uint16_t list[GRAPH_GRID_INDEX_MAXNUM];
    int num = 0;
    for (int row = 0; row + 1 < Height; ++row) {
        const int start = row * Width;
        if (num + 2 + 2 * Width > GRAPH_GRID_INDEX_MAXNUM) {
            Strip(Context, list, num);
            num = 0;
        } else if (num > 0) {
            // Two degenerate triangles join this row to the last.
            list[num] = list[num - 1];
            list[num + 1] = (uint16_t)(start + Width);
            num += 2;
        }
        for (int k = 0; k < Width; ++k) {
            list[num++] = (uint16_t)(start + k + Width);
            list[num++] = (uint16_t)(start + k);
        }
    }
    if (num > 0) Strip(Context, list, num);
    return 0;
}
