// Graphs on Direct3D 9: at a position, stretched, on four free corners, as rectangle lists; the
// caller's vertex arrays and vertex grids. The batched ones write VERTEX2D, or VERTEX_BLENDTEX_2D
// while a blend texture is bound, in whichever form the batch collects.
#include <string.h>

#include "zovuz/d3d9/draw/d3d9_graph_draw.h"
#include "zovuz/d3d9/d3d9_internal.h"
#include "zovuz/d3d9/device/windows/d3d9_device_win.h"
#include "zovuz/d3d9/draw/windows/d3d9_vertex_batch_win.h"

namespace {

D3D9DeviceStateCacheData &Cache = D3D9DeviceStateCache;

// Direct3D 9 samples pixels at their integer coordinates: graphs placed by pixel edges move half a
// pixel up and left.
constexpr float kHalf = 0.5f;

IDirect3DBaseTexture9 *PieceTexture(const GraphDrawPiece &Piece)
{
    const D3D9TextureObjects *objects = Piece.Texture != nullptr ? D3D9TextureObjectsOf(Piece.Texture->PF) : nullptr;
    return objects != nullptr ? objects->Texture : nullptr;
}
float TexWidth(const GraphDrawPiece &Piece) { return Piece.Texture != nullptr ? (float)Piece.Texture->TexWidth : 1.0f; }
float TexHeight(const GraphDrawPiece &Piece)
{
    return Piece.Texture != nullptr ? (float)Piece.Texture->TexHeight : 1.0f;
}

// Every piece has its texture on the device: a batch of textured vertices is never drawn untextured.
bool Drawable(const GraphHandleData *Graph)
{
    if (!Direct3DDevice9_IsValid() || Graph == nullptr || Graph->Image == nullptr || Graph->PieceNum < 1) return false;
    for (int i = 0; i < Graph->PieceNum; ++i)
        if (PieceTexture(Graph->Piece[i]) == nullptr) return false;
    return true;
}

unsigned GraphFlags(const GraphHandleData *Graph, int TransFlag)
{
    unsigned flags = D3D9_PREPARE_TEXTURED | (TransFlag ? D3D9_PREPARE_TRANS : 0u);
    if (Graph->Image->Format.AlphaChannelFlag) flags |= D3D9_PREPARE_ALPHA_CHANNEL;
    if (IsAlphaTestPixelFormat(Graph->Image->PixelFormat)) flags |= D3D9_PREPARE_ALPHA_TEST;
    return flags;
}

// The blend graph's piece for piece Index: the same index when both have as many pieces.
const GraphDrawPiece *BlendPieceOf(const GraphHandleData *Graph, const GraphHandleData *Blend, int Index)
{
    if (Blend == nullptr || Blend->PieceNum != Graph->PieceNum) return nullptr;
    const GraphDrawPiece *piece = &Blend->Piece[Index];
    return PieceTexture(*piece) != nullptr ? piece : nullptr;
}

using Corner = GraphQuadCorner;

// Binds a piece's texture (and blend texture); the draw state goes out at once between pieces and
// whenever the textures changed.
void UsePiece(const GraphDrawPiece &Piece, const GraphDrawPiece *Blend, bool Between)
{
    if (Blend != nullptr)
        Graphics_D3D9_DrawSetting_SetBlendTexture(PieceTexture(*Blend), Blend->Texture->TexWidth,
                                                  Blend->Texture->TexHeight);
    Graphics_D3D9_DrawSetting_SetTexture(PieceTexture(Piece));
    if (Between || Cache.Draw.TextureChangedFlag || Cache.Draw.DrawStateChangedFlag)
        Graphics_D3D9_ApplyDrawState(nullptr, 0, 0, 1);
}

// Opens a scene, binds the first piece and prepares with Flags when the prepared draw differs.
void BeginGraph(const GraphHandleData *Graph, const GraphHandleData *Blend, unsigned Flags)
{
    Direct3DDevice9_BeginSceneIfNeeded();
    Graphics_D3D9_DrawSetting_SetTexture(PieceTexture(Graph->Piece[0]));
    if (Graphics_D3D9_DrawNeedsPrepare(Flags)) Graphics_D3D9_PrepareDraw(Flags);
    UsePiece(Graph->Piece[0], BlendPieceOf(Graph, Blend, 0), false);
}

// The six vertices of a quad, (0, 1, 2) and (3, 2, 1) (or with the second and third of each
// exchanged), in the form the batch collects.
void AppendQuad(const Corner C[4], bool Reverse = false)
{
    static const int plain[6] = {0, 1, 2, 3, 2, 1}, reversed[6] = {0, 2, 1, 3, 1, 2};
    const int *order = Reverse ? reversed : plain;
    const float z = GraphicsDrawSettings.DrawZ;
    const D3DCOLOR color = Cache.Draw.DiffuseColor;
    if (Cache.Out.TextureMode == 2) {
        D3D9VertexBlendTex2D *v = (D3D9VertexBlendTex2D *)Graphics_D3D9_ReserveVertices(D3DPT_TRIANGLELIST, 6);
        if (v == nullptr) return;
        for (int i = 0; i < 6; ++i) {
            const Corner &c = C[order[i]];
            v[i] = D3D9VertexBlendTex2D{c.x, c.y, z, 1.0f, color, 0xFFFFFFFF, c.u, c.v, c.bu, c.bv};
        }
        return;
    }
    VERTEX2D *v = (VERTEX2D *)Graphics_D3D9_ReserveVertices(D3DPT_TRIANGLELIST, 6);
    if (v == nullptr) return;
    for (int i = 0; i < 6; ++i) {
        const Corner &c = C[order[i]];
        v[i].pos = VECTOR{c.x, c.y, z};
        v[i].rhw = 1.0f;
        memcpy(&v[i].dif, &color, sizeof color);
        v[i].u = c.u;
        v[i].v = c.v;
    }
}

// Every piece's corners scaled by (ScaleX, ScaleY) from (X, Y), clipped unless Inside to the draw
// area moved with the graphs.
void AppendPieces(const GraphHandleData *Graph, const GraphHandleData *Blend, float X, float Y, float ScaleX,
                  float ScaleY, bool Inside)
{
    const float *a = GraphicsDrawSettings.DrawAreaF;
    const float area[4] = {a[0] - kHalf, a[1] - kHalf, a[2] - kHalf, a[3] - kHalf};
    for (int i = 0; i < Graph->PieceNum; ++i) {
        const GraphDrawPiece &piece = Graph->Piece[i];
        const GraphDrawPiece *blend = BlendPieceOf(Graph, Blend, i);
        if (i > 0) UsePiece(piece, blend, true);
        Corner c[4];
        GraphPieceQuadCorners(piece, blend, X, Y, ScaleX, ScaleY, Inside ? nullptr : area, c);
        AppendQuad(c);
    }
}

}  // namespace

// ---- Graphs --------------------------------------------------------------------------------------

int Graphics_D3D9_DrawGraph(int X, int Y, float XF, float YF, GraphHandleData *Graph, GraphHandleData *BlendGraph,
                            int TransFlag, int PixelExact)
{
    if (!Drawable(Graph)) return -1;
    BeginGraph(Graph, BlendGraph, GraphFlags(Graph, TransFlag) | (PixelExact ? D3D9_PREPARE_EXACT : 0u));
    const bool inside = GraphRectInsideDrawArea(X, Y, X + Graph->Width, Y + Graph->Height);
    AppendPieces(Graph, BlendGraph, XF - kHalf, YF - kHalf, 1.0f, 1.0f, inside);
    return 0;
}

int Graphics_D3D9_DrawExtendGraph(int X1, int Y1, int X2, int Y2, float X1F, float Y1F, float X2F, float Y2F,
                                  GraphHandleData *Graph, GraphHandleData *BlendGraph, int TransFlag, int PixelExact)
{
    if (!Drawable(Graph) || X1 == X2 || Y1 == Y2) return -1;
    const bool exact = PixelExact && GraphicsDrawSettings.DrawMode != 1;
    BeginGraph(Graph, BlendGraph, GraphFlags(Graph, TransFlag) | (exact ? D3D9_PREPARE_EXACT : 0u));
    const float scaleX = (X2F - X1F) / Graph->WidthF, scaleY = (Y2F - Y1F) / Graph->HeightF;
    const bool inside =
        GraphRectInsideDrawArea(X1 < X2 ? X1 : X2, Y1 < Y2 ? Y1 : Y2, X1 < X2 ? X2 : X1, Y1 < Y2 ? Y2 : Y1);
    AppendPieces(Graph, BlendGraph, X1F - kHalf, Y1F - kHalf, scaleX, scaleY, inside);
    return 0;
}

int Graphics_D3D9_DrawModiTexQuad(const float Corners[4][2], const GraphDrawPiece *Piece, int SimpleFlag)
{
    if (!Direct3DDevice9_IsValid() || Piece == nullptr || PieceTexture(*Piece) == nullptr) return -1;
    Graphics_D3D9_DrawSetting_SetTexture(PieceTexture(*Piece));
    Graphics_D3D9_ApplyDrawState(nullptr, 0, 0, 1);
    const float s1 = Piece->Vertex[0].u, t1 = Piece->Vertex[0].v, s2 = Piece->Vertex[3].u, t2 = Piece->Vertex[3].v;
    if (!SimpleFlag && !GraphQuadIsParallelogram(Corners)) {
        VERTEX2D grid[GRAPH_MODI_GRID_SIZE * GRAPH_MODI_GRID_SIZE];
        GraphModiGridVertices(Corners, s1, t1, s2, t2, Piece->WidthF, Piece->HeightF, Cache.Draw.DiffuseColor,
                              GraphicsDrawSettings.DrawZ, grid);
        return Graphics_D3D9_DrawVertexGrid(grid, GRAPH_MODI_GRID_SIZE, GRAPH_MODI_GRID_SIZE);
    }
    // A sixteenth of a texel in on every side: the edges never sample the neighbour.
    const float insetU = 0.0625f / TexWidth(*Piece), insetV = 0.0625f / TexHeight(*Piece);
    const float us[4] = {s1 + insetU, s2 - insetU, s1 + insetU, s2 - insetU};
    const float vs[4] = {t1 + insetV, t1 + insetV, t2 - insetV, t2 - insetV};
    Corner c[4];
    for (int k = 0; k < 4; ++k) c[k] = Corner{Corners[k][0], Corners[k][1], us[k], vs[k], 0.0f, 0.0f};
    AppendQuad(c, D3D9QuadReversesWinding(Corners));
    return 0;
}

int Graphics_D3D9_DrawModiGraph(float X1, float Y1, float X2, float Y2, float X3, float Y3, float X4, float Y4,
                                GraphHandleData *Graph, GraphHandleData *BlendGraph, int TransFlag, int PixelExact)
{
    if (!Drawable(Graph)) return -1;
    if (GraphicsDrawSettings.BlendGraph >= 1 && BlendGraph != nullptr) {
        auto nearest = [](float v) { return (int)(v < 0.0f ? v - 0.5f : v + 0.5f); };
        return Graphics_D3D9_DrawModiGraphInt(nearest(X1), nearest(Y1), nearest(X2), nearest(Y2), nearest(X3),
                                              nearest(Y3), nearest(X4), nearest(Y4), Graph, BlendGraph, TransFlag,
                                              PixelExact);
    }
    Direct3DDevice9_BeginSceneIfNeeded();
    Graphics_D3D9_DrawSetting_SetTexture(PieceTexture(Graph->Piece[0]));
    const unsigned flags = GraphFlags(Graph, TransFlag);
    if (Graphics_D3D9_DrawNeedsPrepare(flags)) Graphics_D3D9_PrepareDraw(flags);
    const float corners[4][2] = {
        {X1 - kHalf, Y1 - kHalf}, {X2 - kHalf, Y2 - kHalf}, {X3 - kHalf, Y3 - kHalf}, {X4 - kHalf, Y4 - kHalf}};
    if (Graph->PieceNum == 1) return Graphics_D3D9_DrawModiTexQuad(corners, &Graph->Piece[0], 0);
    for (int i = 0; i < Graph->PieceNum; ++i) {
        float pieceCorners[4][2];
        GraphModiPieceCorners(corners, Graph->WidthF, Graph->HeightF, Graph->Piece[i], pieceCorners);
        Graphics_D3D9_DrawModiTexQuad(pieceCorners, &Graph->Piece[i], 0);
    }
    return 0;
}

int Graphics_D3D9_DrawModiGraphInt(int X1, int Y1, int X2, int Y2, int X3, int Y3, int X4, int Y4,
                                   GraphHandleData *Graph, GraphHandleData *BlendGraph, int TransFlag, int PixelExact)
{
    if (!Drawable(Graph)) return -1;
    if (X1 == X3 && X2 == X4 && Y1 == Y2 && Y3 == Y4)
        return Graphics_D3D9_DrawExtendGraph(X1, Y1, X4, Y4, (float)X1, (float)Y1, (float)X4, (float)Y4, Graph,
                                             BlendGraph, TransFlag, PixelExact);
    if (GraphicsDrawSettings.BlendGraph < 1 || BlendGraph == nullptr)
        return Graphics_D3D9_DrawModiGraph((float)X1, (float)Y1, (float)X2, (float)Y2, (float)X3, (float)Y3, (float)X4,
                                           (float)Y4, Graph, nullptr, TransFlag, PixelExact);

    // Each piece corner by the affine map of the triangle its corner byte names: the upper-left one
    // anchored at the top-left corner, the lower-right one at the bottom-right.
    BeginGraph(Graph, BlendGraph, GraphFlags(Graph, TransFlag) | D3D9_PREPARE_EXACT);
    const int xs[4] = {X1, X2, X3, X4}, ys[4] = {Y1, Y2, Y3, Y4};
    for (int i = 0; i < Graph->PieceNum; ++i) {
        const GraphDrawPiece &piece = Graph->Piece[i];
        const GraphDrawPiece *blend = BlendPieceOf(Graph, BlendGraph, i);
        if (i > 0) UsePiece(piece, blend, true);
        Corner c[4];
        for (int k = 0; k < 4; ++k) {
            const GraphDrawPieceVertex &pv = piece.Vertex[k];
            c[k] = Corner{0.0f, 0.0f, pv.u, pv.v, 0.0f, 0.0f};
            GraphModiIntPieceCorner(xs, ys, Graph->WidthF, Graph->HeightF, piece, k, -kHalf, &c[k].x, &c[k].y);
            PlaceGraphBlendCorner(c[k], pv.x, pv.y, 0.0f, 0.0f, blend);
        }
        AppendQuad(c);
    }
    return 0;
}

int Graphics_D3D9_DrawGraphRects(const DrawGraphRectsParam *Param, GraphHandleData *Graph, GraphHandleData *BlendGraph)
{
    if (Param == nullptr || !Drawable(Graph) || Graph->PieceNum != 1) return -1;
    if (Param->RectNum < 1 || Param->Vertex == nullptr) return 0;
    BeginGraph(Graph, BlendGraph, GraphFlags(Graph, Param->TransFlag));
    const GraphDrawPiece *blend = BlendPieceOf(Graph, BlendGraph, 0);
    for (int r = 0; r < Param->RectNum; ++r) {
        const DrawGraphRectsVertex *v = Param->Vertex + r * 4;
        Corner c[4];
        for (int k = 0; k < 4; ++k) {
            c[k] = Corner{v[k].x, v[k].y, v[k].u, v[k].v, 0.0f, 0.0f};
            PlaceGraphBlendCorner(c[k], v[k].x, v[k].y, 0.0f, 0.0f, blend);
        }
        AppendQuad(c);
    }
    return 0;
}

// ---- Vertex grids and the caller's vertices ------------------------------------------------------

int Graphics_D3D9_DrawVertexGrid(const VERTEX2D *Vertices, int Width, int Height)
{
    if (!Direct3DDevice9_IsValid() || Vertices == nullptr) return -1;
    // Refused before anything is drawn.
    if (BuildGraphGridStrips(
            Width, Height, [](void *, const uint16_t *, int) {}, nullptr) < 0)
        return -1;
    Graphics_D3D9_RenderVertexBuffer(0);
    Graphics_D3D9_SetVertexType(2);
    struct Grid
    {
        const VERTEX2D *Vertices;
        int Num;
    } grid = {Vertices, Width * Height};
    BuildGraphGridStrips(
        Width, Height,
        [](void *Context, const uint16_t *Indices, int Num) {
            const Grid &g = *(const Grid *)Context;
            Direct3DDevice9_DrawIndexedPrimitiveUP(D3DPT_TRIANGLESTRIP, 0, (UINT)g.Num, (UINT)(Num - 2), Indices,
                                                   D3DFMT_INDEX16, g.Vertices, (UINT)sizeof(VERTEX2D));
        },
        &grid);
    return 0;
}

namespace {

int DrawCallerVertices(const VERTEX2D *Vertices, int Num, int PrimitiveType, GraphHandleData *Graph, int TransFlag,
                       unsigned Flags, int GraphUV, int Reverse, int PieceIndex, int IsShadowMap, bool KeepShaders)
{
    if (!Direct3DDevice9_IsValid() || Vertices == nullptr || Num < 1 || D3D9PrimitiveCount(PrimitiveType, Num) < 1 ||
        Num > 0x7FFFFFFF / (int)sizeof(VERTEX2D))
        return -1;
    const GraphDrawPiece *piece = nullptr;
    IDirect3DBaseTexture9 *texture = nullptr;
    if (Graph != nullptr && IsShadowMap) {
        const ShadowMapHandleData *map = (const ShadowMapHandleData *)(const void *)Graph;
        if (const D3D9TextureObjects *objects = D3D9TextureObjectsOf(map->PF)) texture = objects->Texture;
    } else if (Graph != nullptr) {
        if (Graph->Image == nullptr || PieceIndex < 0 || PieceIndex >= Graph->PieceNum) return -1;
        piece = &Graph->Piece[PieceIndex];
        texture = PieceTexture(*piece);
        if (texture == nullptr) return -1;
    }
    Graphics_D3D9_RenderVertexBuffer(0);
    Direct3DDevice9_BeginSceneIfNeeded();
    Graphics_D3D9_DrawSetting_SetBlendTexture(nullptr, 0, 0);
    Graphics_D3D9_DrawSetting_SetTexture(texture);
    if (TransFlag) Flags |= D3D9_PREPARE_TRANS;
    if (piece != nullptr)
        Flags |= GraphFlags(Graph, 0);
    else if (texture != nullptr)
        Flags |= D3D9_PREPARE_TEXTURED;
    if (KeepShaders) Flags |= D3D9_PREPARE_KEEP_SHADER;
    if (Graphics_D3D9_DrawNeedsPrepare(Flags)) Graphics_D3D9_PrepareDraw(Flags);
    if (Cache.Draw.TextureChangedFlag || Cache.Draw.DrawStateChangedFlag)
        Graphics_D3D9_ApplyDrawState(nullptr, 0, 0, 1);

    // The caller's array is read only: the graph's corner coordinates go into a copy.
    const VERTEX2D *draw = Vertices;
    if (GraphUV && piece != nullptr) {
        VERTEX2D *copy = (VERTEX2D *)ReserveWorkBuffer(2, Num * (int)sizeof(VERTEX2D));
        if (copy == nullptr) return -1;
        memcpy(copy, Vertices, (size_t)Num * sizeof(VERTEX2D));
        SetGraphCornerUV(copy, Num, *piece, Reverse);
        draw = copy;
    }
    Graphics_D3D9_SetVertexType(0);
    return FAILED(Direct3DDevice9_DrawPrimitiveUP((D3DPRIMITIVETYPE)PrimitiveType,
                                                  (UINT)D3D9PrimitiveCount(PrimitiveType, Num), draw,
                                                  (UINT)sizeof(VERTEX2D)))
               ? -1
               : 0;
}

// 0x5078: untextured, vertex colour and alpha, Gouraud, the front end's addressing and culling.
constexpr unsigned kCallerFlags = D3D9_PREPARE_CULL | D3D9_PREPARE_ADDRESS | D3D9_PREPARE_VERTEX_ALPHA |
                                  D3D9_PREPARE_VERTEX_COLOR | 0x10 | D3D9_PREPARE_GOURAUD;
static_assert(kCallerFlags == 0x5078, "the caller arrays' draw flags");

}  // namespace

int Graphics_D3D9_DrawPrimitive2D(const VERTEX2D *Vertices, int Num, int PrimitiveType, GraphHandleData *Graph,
                                  int TransFlag, int Mode, int ThreeD, int Reverse, int PieceIndex, int IsShadowMap)
{
    unsigned flags = Mode == 1 ? (unsigned)D3D9_PREPARE_ADDRESS : kCallerFlags;
    if (ThreeD) flags |= D3D9_PREPARE_FOG | D3D9_PREPARE_Z3D;
    return DrawCallerVertices(Vertices, Num, PrimitiveType, Graph, TransFlag, flags, Mode == 1, Reverse, PieceIndex,
                              IsShadowMap, false);
}

int Graphics_D3D9_DrawPrimitive2DToShader(const VERTEX2D *Vertices, int Num, int PrimitiveType, GraphHandleData *Graph,
                                          int TransFlag, int ThreeD, int Reverse, int PieceIndex)
{
    unsigned flags = kCallerFlags;
    if (ThreeD) flags |= D3D9_PREPARE_FOG | D3D9_PREPARE_Z3D;
    return DrawCallerVertices(Vertices, Num, PrimitiveType, Graph, TransFlag, flags, 0, Reverse, PieceIndex, 0, true);
}
