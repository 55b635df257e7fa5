// Graphs on Direct3D 11: at a position, stretched (mirrored when the corners cross), on four free
// corners, as rectangle lists; caller vertex arrays; mesh grids; and the blend graph of the draw
// settings.
#include <string.h>

#include "zovuz/d3d11/draw/d3d11_draw_geometry.h"
#include "zovuz/d3d11/draw/windows/d3d11_3d_draw_win.h"
#include "zovuz/d3d11/state/windows/d3d11_device_state_win.h"
#include "zovuz/d3d11/draw/windows/d3d11_draw_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_graph_texture_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_shadow_map_win.h"
#include "zovuz/d3d11/draw/windows/d3d11_vertex_batch_win.h"
#include "zovuz/d3d11/windows/d3d11_handle_objects_win.h"

namespace {

D3D11DeviceStateCache &S = D3D11DeviceState;

// The caller arrays' copies (colour order, texture corners) go into work buffer 2.
constexpr int kVertexCopyWorkIndex = 2;

// Free corners are never rounded (free-corner mode 0).
constexpr int kFreeCornerMode = 0;

// VERTEX2D and VERTEX_BLENDTEX_2D.
struct TexVertex
{
    float x, y, z, rhw;
    uint32_t Color;
    float u, v;
};
static_assert(sizeof(TexVertex) == 28 && sizeof(TexVertex) == sizeof(VERTEX2D), "VERTEX2D is 28 bytes");
struct BlendTexVertex
{
    float x, y, z, rhw;
    uint32_t Color;
    uint32_t Specular;  // not written
    float u, v;         // the graph's own coordinates (texture 0)
    float su, sv;       // the blend graph's (texture 1)
};
static_assert(sizeof(BlendTexVertex) == 40, "VERTEX_BLENDTEX_2D is 40 bytes");

ID3D11Texture2D *PieceTexture(const GraphDrawPiece &Piece)
{
    const D3D11GraphTextureObjects *objects = Piece.Texture != nullptr ? D3D11GraphObjects(*Piece.Texture) : nullptr;
    return objects != nullptr ? objects->Texture : nullptr;
}
ID3D11ShaderResourceView *PieceView(const GraphDrawPiece &Piece)
{
    const D3D11GraphTextureObjects *objects = Piece.Texture != nullptr ? D3D11GraphObjects(*Piece.Texture) : nullptr;
    return objects != nullptr ? objects->View : nullptr;
}
float TexWidth(const GraphDrawPiece &Piece) { return Piece.Texture != nullptr ? (float)Piece.Texture->TexWidth : 1.0f; }
float TexHeight(const GraphDrawPiece &Piece)
{
    return Piece.Texture != nullptr ? (float)Piece.Texture->TexHeight : 1.0f;
}

// A graph whose every piece has its texture on the device (a batch of textured vertices must
// never be drawn untextured).
bool Drawable(const GraphHandleData *Graph)
{
    if (Graph == nullptr || Graph->Image == nullptr || Graph->PieceNum < 1) return false;
    for (int i = 0; i < Graph->PieceNum; i++)
        if (PieceView(Graph->Piece[i]) == nullptr) return false;
    return true;
}

using Corner = GraphQuadCorner;

// The blend graph's piece that goes with piece Index of the graph: the same index when both have
// as many pieces, else the first.
const GraphDrawPiece *BlendPieceOf(const GraphHandleData *Graph, const GraphHandleData *Blend, int Index)
{
    if (Blend == nullptr || Blend->PieceNum < 1) return nullptr;
    const GraphDrawPiece *piece = &Blend->Piece[Blend->PieceNum == Graph->PieceNum ? Index : 0];
    return PieceView(*piece) != nullptr ? piece : nullptr;
}

// Binds a piece's texture (and its blend piece) for the next vertices. Between pieces the draw
// state is chosen again at once; the first piece leaves that to the preparation.
void UsePiece(const GraphDrawPiece &Piece, const GraphDrawPiece *Blend, bool Between)
{
    if (Blend != nullptr)
        Graphics_D3D11_SetBlendTexture(PieceTexture(*Blend), PieceView(*Blend), Blend->Texture->TexWidth,
                                       Blend->Texture->TexHeight);
    Graphics_D3D11_SetTexture(PieceTexture(Piece), PieceView(Piece));
    if (Between || S.TextureChangedFlag) Graphics_D3D11_ApplyDrawState();
}

// Writes the six vertices of a quad (triangles 0-1-2 and 3-2-1, or with the falling diagonal
// 0-1-3 and 0-3-2) in the format the batch collects now.
void AppendQuad(const Corner C[4], bool RisingDiagonal = true)
{
    static const int rising[6] = {0, 1, 2, 3, 2, 1}, falling[6] = {0, 1, 3, 0, 3, 2};
    const int *order = RisingDiagonal ? rising : falling;
    const float z = GraphicsDrawSettings.DrawZ;
    const uint32_t color = D3D11Batch.DiffuseColor;
    if (D3D11Batch.Kind == 2) {
        BlendTexVertex v[6];
        for (int i = 0; i < 6; i++) {
            const Corner &c = C[order[i]];
            v[i] = BlendTexVertex{c.x, c.y, z, 1.0f, color, 0, c.u, c.v, c.bu, c.bv};
        }
        Graphics_D3D11_AppendBatchVertices(v, 6, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    } else {
        TexVertex v[6];
        for (int i = 0; i < 6; i++) {
            const Corner &c = C[order[i]];
            v[i] = TexVertex{c.x, c.y, z, 1.0f, color, c.u, c.v};
        }
        Graphics_D3D11_AppendBatchVertices(v, 6, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    }
}

// Graphs at a position and stretched: every piece's corners scaled by (ScaleX, ScaleY) from the
// graph's origin at (X, Y) on the target, clipped unless Inside.
void AppendPieces(const GraphHandleData *Graph, const GraphHandleData *Blend, float X, float Y, float ScaleX,
                  float ScaleY, bool Inside)
{
    for (int i = 0; i < Graph->PieceNum; i++) {
        const GraphDrawPiece &piece = Graph->Piece[i];
        const GraphDrawPiece *blend = BlendPieceOf(Graph, Blend, i);
        if (i > 0) UsePiece(piece, blend, true);
        Corner c[4];
        GraphPieceQuadCorners(piece, blend, X, Y, ScaleX, ScaleY, Inside ? nullptr : GraphicsDrawSettings.DrawAreaF, c);
        AppendQuad(c);
    }
}

// Binds the first piece and prepares with Flags.
void BeginGraph(const GraphHandleData *Graph, const GraphHandleData *Blend, uint32_t Flags)
{
    UsePiece(Graph->Piece[0], BlendPieceOf(Graph, Blend, 0), false);
    Graphics_D3D11_PrepareDrawIfNeeded(Flags);
}

// One piece of a texture on four corners (top-left, top-right, bottom-left, bottom-right).
void DrawModiTexture(const float Corners[4][2], const GraphHandleData *Graph, int PieceIndex,
                     const GraphHandleData *Blend)
{
    const GraphDrawPiece &piece = Graph->Piece[PieceIndex];
    const GraphDrawPiece *blend = BlendPieceOf(Graph, Blend, PieceIndex);
    UsePiece(piece, blend, PieceIndex > 0);
    const float s1 = piece.Vertex[0].u, t1 = piece.Vertex[0].v, s2 = piece.Vertex[3].u, t2 = piece.Vertex[3].v;

    if (!GraphQuadIsParallelogram(Corners)) {
        // Cut into 7 x 7 cells, so that the texture bends with the quad.
        VERTEX2D grid[GRAPH_MODI_GRID_SIZE * GRAPH_MODI_GRID_SIZE];
        GraphModiGridVertices(Corners, s1, t1, s2, t2, piece.WidthF, piece.HeightF, D3D11Batch.DiffuseColor,
                              GraphicsDrawSettings.DrawZ, grid);
        Graphics_D3D11_DrawMeshGrid(grid, GRAPH_MODI_GRID_SIZE, GRAPH_MODI_GRID_SIZE);
        return;
    }

    // A sixteenth of a texel inside on every side: the edges never sample the neighbour.
    const float insetU = 1.0f / (16.0f * TexWidth(piece)), insetV = 1.0f / (16.0f * TexHeight(piece));
    const float us[4] = {s1 + insetU, s2 - insetU, s1 + insetU, s2 - insetU};
    const float vs[4] = {t1 + insetV, t1 + insetV, t2 - insetV, t2 - insetV};
    Corner c[4];
    for (int k = 0; k < 4; k++) {
        c[k] = Corner{Corners[k][0], Corners[k][1], us[k], vs[k], 0.0f, 0.0f};
        PlaceGraphBlendCorner(c[k], piece.Vertex[k].x, piece.Vertex[k].y, 0.0f, 0.0f, blend);
    }
    AppendQuad(c, D3D11QuadUsesRisingDiagonal(Corners));
}

}  // namespace

// ---- Flags -------------------------------------------------------------------------------------

uint32_t Graphics_D3D11_GraphDrawFlags(const GraphHandleData *Graph, int TransFlag, int AlphaKeepFlag)
{
    uint32_t flags = D3D11_PREPARE_TEXTURED;
    if (TransFlag) flags |= D3D11_PREPARE_TRANS;
    if (AlphaKeepFlag) flags |= D3D11_PREPARE_KEEP_ALPHA;
    if (Graph == nullptr || Graph->Image == nullptr) return flags;
    if (Graph->Image->Format.AlphaChannelFlag) flags |= D3D11_PREPARE_ALPHA_CHANNEL;
    if (IsAlphaTestPixelFormat(Graph->Image->PixelFormat)) flags |= D3D11_PREPARE_ALPHA_TEST;
    return flags;
}

// ---- Graphs ------------------------------------------------------------------------------------

int Graphics_D3D11_DrawGraph(int X, int Y, float XF, float YF, GraphHandleData *Graph, GraphHandleData *BlendGraph,
                             int TransFlag, int AlphaKeepFlag)
{
    if (!D3D11Device_IsValid() || !Drawable(Graph)) return -1;
    BeginGraph(Graph, BlendGraph, Graphics_D3D11_GraphDrawFlags(Graph, TransFlag, AlphaKeepFlag) | D3D11_PREPARE_CULL);
    const bool inside = GraphRectInsideDrawArea(X, Y, X + Graph->Width, Y + Graph->Height);
    AppendPieces(Graph, BlendGraph, XF, YF, 1.0f, 1.0f, inside);
    return 0;
}

int Graphics_D3D11_DrawExtendGraph(int X1, int Y1, int X2, int Y2, float X1F, float Y1F, float X2F, float Y2F,
                                   GraphHandleData *Graph, GraphHandleData *BlendGraph, int TransFlag,
                                   int AlphaKeepFlag)
{
    if (!D3D11Device_IsValid() || !Drawable(Graph) || X1 == X2 || Y1 == Y2) return -1;
    // Under bilinear filtering a cut-out edge is blended instead of tested, whatever is asked.
    const int keep = AlphaKeepFlag && GraphicsDrawSettings.DrawMode != 1;
    BeginGraph(Graph, BlendGraph, Graphics_D3D11_GraphDrawFlags(Graph, TransFlag, keep));
    const float scaleX = (X2F - X1F) / Graph->WidthF, scaleY = (Y2F - Y1F) / Graph->HeightF;
    const bool inside =
        GraphRectInsideDrawArea(X1 < X2 ? X1 : X2, Y1 < Y2 ? Y1 : Y2, X1 < X2 ? X2 : X1, Y1 < Y2 ? Y2 : Y1);
    AppendPieces(Graph, BlendGraph, X1F, Y1F, scaleX, scaleY, inside);
    return 0;
}

int Graphics_D3D11_DrawModiGraph(float X1, float Y1, float X2, float Y2, float X3, float Y3, float X4, float Y4,
                                 GraphHandleData *Graph, GraphHandleData *BlendGraph, int TransFlag)
{
    if (!D3D11Device_IsValid() || !Drawable(Graph)) return -1;
    if (kFreeCornerMode > 0) {
        auto nearest = [](float v) { return (int)(v < 0.0f ? v - 0.5f : v + 0.5f); };
        return Graphics_D3D11_DrawModiGraphInt(nearest(X1), nearest(Y1), nearest(X2), nearest(Y2), nearest(X3),
                                               nearest(Y3), nearest(X4), nearest(Y4), Graph, BlendGraph, TransFlag);
    }
    BeginGraph(Graph, BlendGraph, Graphics_D3D11_GraphDrawFlags(Graph, TransFlag, 0));
    const float corners[4][2] = {{X1, Y1}, {X2, Y2}, {X3, Y3}, {X4, Y4}};
    if (Graph->PieceNum == 1) {
        DrawModiTexture(corners, Graph, 0, BlendGraph);
        return 0;
    }
    for (int i = 0; i < Graph->PieceNum; i++) {
        float pieceCorners[4][2];
        GraphModiPieceCorners(corners, Graph->WidthF, Graph->HeightF, Graph->Piece[i], pieceCorners);
        DrawModiTexture(pieceCorners, Graph, i, BlendGraph);
    }
    return 0;
}

int Graphics_D3D11_DrawModiGraphInt(int X1, int Y1, int X2, int Y2, int X3, int Y3, int X4, int Y4,
                                    GraphHandleData *Graph, GraphHandleData *BlendGraph, int TransFlag)
{
    if (!D3D11Device_IsValid() || !Drawable(Graph)) return -1;
    if (X1 == X3 && X2 == X4 && Y1 == Y2 && Y3 == Y4)
        return Graphics_D3D11_DrawExtendGraph(X1, Y1, X4, Y4, (float)X1, (float)Y1, (float)X4, (float)Y4, Graph,
                                              BlendGraph, TransFlag, 1);
    if (kFreeCornerMode <= 0)
        return Graphics_D3D11_DrawModiGraph((float)X1, (float)Y1, (float)X2, (float)Y2, (float)X3, (float)Y3, (float)X4,
                                            (float)Y4, Graph, BlendGraph, TransFlag);

    BeginGraph(Graph, BlendGraph, Graphics_D3D11_GraphDrawFlags(Graph, TransFlag, 1));
    const int xs[4] = {X1, X2, X3, X4}, ys[4] = {Y1, Y2, Y3, Y4};
    for (int i = 0; i < Graph->PieceNum; i++) {
        const GraphDrawPiece &piece = Graph->Piece[i];
        const GraphDrawPiece *blend = BlendPieceOf(Graph, BlendGraph, i);
        if (i > 0) UsePiece(piece, blend, true);
        Corner c[4];
        for (int k = 0; k < 4; k++) {
            const GraphDrawPieceVertex &pv = piece.Vertex[k];
            c[k] = Corner{0.0f, 0.0f, pv.u, pv.v, 0.0f, 0.0f};
            GraphModiIntPieceCorner(xs, ys, Graph->WidthF, Graph->HeightF, piece, k, 0.0f, &c[k].x, &c[k].y);
            PlaceGraphBlendCorner(c[k], pv.x, pv.y, 0.0f, 0.0f, blend);
        }
        AppendQuad(c);
    }
    return 0;
}

int Graphics_D3D11_DrawGraphRects(const DrawGraphRectsParam *Param, GraphHandleData *Graph, GraphHandleData *BlendGraph)
{
    if (!D3D11Device_IsValid() || Param == nullptr || !Drawable(Graph)) return -1;
    if (Graph->PieceNum != 1) return -1;
    if (Param->RectNum < 1 || Param->Vertex == nullptr) return 0;
    BeginGraph(Graph, BlendGraph, Graphics_D3D11_GraphDrawFlags(Graph, Param->TransFlag, 0));
    const GraphDrawPiece *blend = BlendPieceOf(Graph, BlendGraph, 0);
    for (int r = 0; r < Param->RectNum; r++) {
        const DrawGraphRectsVertex *v = Param->Vertex + r * 4;
        Corner c[4];
        for (int k = 0; k < 4; k++) {
            c[k] = Corner{v[k].x, v[k].y, v[k].u, v[k].v, 0.0f, 0.0f};
            PlaceGraphBlendCorner(c[k], v[k].x, v[k].y, 0.0f, 0.0f, blend);
        }
        AppendQuad(c);
    }
    return 0;
}

// ---- Caller vertex arrays and grids --------------------------------------------------------------

namespace {

// The device objects of a selected user shader of the kind, or null.
const D3D11ShaderObjects *UserShaderObjects(int Handle, int IsVertexShader)
{
    const ShaderHandleData *shader =
        Handle > 0 ? GetTypedHandle<ShaderHandleData>(Handle, DX_HANDLETYPE_SHADER, 0) : nullptr;
    if (shader == nullptr || shader->IsVertexShader != IsVertexShader) return nullptr;
    return D3D11ShaderObjectsOf(shader);
}
ID3D11PixelShader *UserPixelShader(int Handle)
{
    const D3D11ShaderObjects *objects = UserShaderObjects(Handle, 0);
    return objects != nullptr ? objects->Pixel : nullptr;
}
ID3D11VertexShader *UserVertexShader(int Handle)
{
    const D3D11ShaderObjects *objects = UserShaderObjects(Handle, 1);
    return objects != nullptr ? objects->Vertex : nullptr;
}

// The shader-resource slots the user's textures take for one draw, and the views they held.
struct UserTextureSlots
{
    int First = 0, End = 0;  // slots First .. End - 1
    ID3D11ShaderResourceView *Kept[DX_SHADER_TEXTURE_STAGE_NUM] = {};
};

// The user's shaders and shader textures (SetUseVertexShader, SetUsePixelShader,
// SetUseTextureToShader) over what the preparation chose. A user vertex shader takes the
// VERTEX2D input as the standard one does. The textures sit on the slots of their stages; stage 0
// only when the draw has no graph of its own. The views they replace are kept in Slots, for the
// draw to put back: the library's own drawing finds its bindings as it left them.
void BindUserShaders(bool DrawHasTexture, UserTextureSlots *Slots)
{
    const DrawShaderSelection &selection = GraphicsDrawSettings.Shader;
    if (ID3D11PixelShader *pixel = UserPixelShader(selection.PixelShader))
        Graphics_D3D11_DeviceState_SetPixelShader(pixel, 0);
    if (ID3D11VertexShader *vertex = UserVertexShader(selection.VertexShader))
        Graphics_D3D11_DeviceState_SetVertexShader(vertex, 0);

    Slots->First = Slots->End = DrawHasTexture ? 1 : 0;
    memcpy(Slots->Kept, S.PSShaderResource, sizeof(Slots->Kept));
    for (int stage = Slots->First; stage < DX_SHADER_TEXTURE_STAGE_NUM; stage++) {
        const GraphHandleData *graph =
            selection.Texture[stage] > 0
                ? GetTypedHandle<GraphHandleData>(selection.Texture[stage], DX_HANDLETYPE_GRAPH, 0)
                : nullptr;
        if (graph == nullptr || graph->PieceNum < 1) continue;
        ID3D11ShaderResourceView *view = PieceView(graph->Piece[0]);
        if (view == nullptr) continue;
        Graphics_D3D11_DeviceState_SetPSShaderResources(stage, 1, &view);
        Slots->End = stage + 1;
    }
}

int DrawCallerVertices(const VERTEX2D *Vertex, int Num, int Topology, GraphHandleData *Graph, int TransFlag,
                       uint32_t ModeFlags, int GraphUVFlag, int MirrorFlag, int PieceIndex, int ShadowMapFlag,
                       bool UserShaders = false)
{
    if (!D3D11Device_IsValid() || Vertex == nullptr || Num < 1 || Num > 0x7FFFFFFF / (int)sizeof(VERTEX2D) ||
        Topology < D3D11_PRIMITIVE_TOPOLOGY_POINTLIST || Topology > D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP)
        return -1;
    const GraphDrawPiece *piece = nullptr;
    if (Graph != nullptr && !ShadowMapFlag) {
        if (PieceIndex < 0 || PieceIndex >= Graph->PieceNum) return -1;
        piece = &Graph->Piece[PieceIndex];
    }
    Graphics_D3D11_RenderVertexBuffer(-1, 0);

    uint32_t flags = (TransFlag ? D3D11_PREPARE_TRANS : 0) | ModeFlags;
    bool prepare = true;
    if (ShadowMapFlag) {
        // The graph argument is a shadow map's record: its depth image is the texture.
        ShadowMapHandleData *map = (ShadowMapHandleData *)(void *)Graph;
        const D3D11ShadowMapObjects *objects = D3D11ShadowMapObjectsOf(map);
        prepare = objects != nullptr && objects->View != nullptr;
        if (prepare) {
            Graphics_D3D11_SetTexture(objects->ColorTexture, objects->View);
            flags |= D3D11_PREPARE_TEXTURED;
        }
    } else if (piece != nullptr) {
        Graphics_D3D11_SetTexture(PieceTexture(*piece), PieceView(*piece));
        flags |= Graphics_D3D11_GraphDrawFlags(Graph, 0, 0);
    } else {
        Graphics_D3D11_SetTexture(nullptr, nullptr);
    }
    if (prepare) Graphics_D3D11_PrepareDrawIfNeeded(flags);

    // The caller's array is read only: texture corners and the device's colour order go into a copy.
    const bool corners = GraphUVFlag == 1 && piece != nullptr;
    const bool swap = !GraphicsDeviceCaps.VertexColorBGRAFlag;
    const VERTEX2D *draw = Vertex;
    if (corners || swap) {
        VERTEX2D *copy = (VERTEX2D *)ReserveWorkBuffer(kVertexCopyWorkIndex, Num * (int)sizeof(VERTEX2D));
        if (copy == nullptr) return -1;
        memcpy(copy, Vertex, (size_t)Num * sizeof(VERTEX2D));
        if (corners) SetGraphCornerUV(copy, Num, *piece, MirrorFlag);
        if (swap)
            for (int i = 0; i < Num; i++) {
                const uint8_t red = copy[i].dif.r;
                copy[i].dif.r = copy[i].dif.b;
                copy[i].dif.b = red;
            }
        draw = copy;
    }
    UserTextureSlots userSlots;
    if (UserShaders) BindUserShaders(piece != nullptr, &userSlots);
    const bool userVertexShader = UserShaders && UserVertexShader(GraphicsDrawSettings.Shader.VertexShader) != nullptr;
    const int result = Graphics_D3D11_CommonBuffer_Draw(D3D11_VERTEX_2D, (D3D11_PRIMITIVE_TOPOLOGY)Topology, draw, Num,
                                                        userVertexShader ? 0 : 1);
    if (userSlots.End > userSlots.First)
        Graphics_D3D11_DeviceState_SetPSShaderResources(userSlots.First, userSlots.End - userSlots.First,
                                                        userSlots.Kept + userSlots.First);
    return result < 0 ? -1 : 0;
}

}  // namespace

int Graphics_D3D11_DrawPrimitive2D(const VERTEX2D *Vertex, int Num, int Topology, GraphHandleData *Graph, int TransFlag,
                                   int GraphUVFlag, int Fog3DFlag, int MirrorFlag, int PieceIndex, int ShadowMapFlag)
{
    uint32_t mode = GraphUVFlag == 1 ? D3D11_PREPARE_ADDRESS : D3D11_PREPARE_ADDRESS | D3D11_PREPARE_CULL;
    if (Fog3DFlag) mode |= D3D11_PREPARE_FOG | D3D11_PREPARE_Z3D;
    return DrawCallerVertices(Vertex, Num, Topology, Graph, TransFlag, mode, GraphUVFlag, MirrorFlag, PieceIndex,
                              ShadowMapFlag);
}

int Graphics_D3D11_DrawPrimitive2DToShader(const VERTEX2D *Vertex, int Num, int Topology, GraphHandleData *Graph,
                                           int TransFlag, int Fog3DFlag, int PieceIndex)
{
    uint32_t mode = D3D11_PREPARE_ADDRESS | D3D11_PREPARE_CULL;
    if (Fog3DFlag) mode |= D3D11_PREPARE_FOG | D3D11_PREPARE_Z3D;
    return DrawCallerVertices(Vertex, Num, Topology, Graph, TransFlag, mode, 0, 0, PieceIndex, 0, true);
}

int Graphics_D3D11_DrawMeshGrid(const VERTEX2D *Vertex, int Columns, int Rows)
{
    if (!D3D11Device_IsValid() || Vertex == nullptr) return -1;
    // The sizes are checked before the batch is drawn: a refused grid changes nothing.
    if (BuildGraphGridStrips(
            Columns, Rows, [](void *, const uint16_t *, int) {}, nullptr) < 0)
        return -1;
    Graphics_D3D11_RenderVertexBuffer(-1, 0);
    struct Grid
    {
        const VERTEX2D *Vertex;
        int Num;
    } grid = {Vertex, Columns * Rows};
    BuildGraphGridStrips(
        Columns, Rows,
        [](void *Context, const uint16_t *Indices, int Num) {
            const Grid &g = *(const Grid *)Context;
            Graphics_D3D11_CommonBuffer_DrawIndexed(D3D11_VERTEX_2D, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP, g.Vertex,
                                                    g.Num, Indices, Num, DXGI_FORMAT_R16_UINT, 1);
        },
        &grid);
    return 0;
}

// ---- The blend graph -----------------------------------------------------------------------------

int Graphics_D3D11_SetBlendGraphParam(GraphHandleData *BlendGraph, int BlendType, const int *Param)
{
    if (!D3D11Device_IsValid()) return -1;
    if (BlendGraph != nullptr && BlendGraph->PieceNum >= 1 && PieceTexture(BlendGraph->Piece[0]) != nullptr) {
        const GraphDrawPiece &piece = BlendGraph->Piece[0];
        Graphics_D3D11_SetBlendTexture(PieceTexture(piece), PieceView(piece), piece.Texture->TexWidth,
                                       piece.Texture->TexHeight);
        Graphics_D3D11_SetBlendTextureParam(BlendType, Param);
        return 0;
    }
    GraphicsDrawSettings.BlendGraph = -1;
    if (S.BlendTexture == nullptr && !S.ForceFlag) return 0;
    if (!S.ForceFlag) Graphics_D3D11_RenderVertexBuffer(-1, 0);
    S.BlendTexture = nullptr;
    S.BlendTextureView = nullptr;
    S.BlendChangedFlag = 1;
    S.DrawStateDirtyFlag = 1;
    S.ReChooseFlag = 1;
    return 0;
}
