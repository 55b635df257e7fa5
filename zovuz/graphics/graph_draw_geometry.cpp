// The geometry of graph drawing both Direct3D back ends share: a piece's corners on the target,
// clipped to the draw area, on four free corners, and the blend graph's coordinates beside them.
#include "zovuz/graphics/graph_internal.h"

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
