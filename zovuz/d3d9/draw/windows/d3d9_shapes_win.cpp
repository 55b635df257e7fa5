// The untextured 2-D shapes on Direct3D 9: filled boxes, box outlines and lines through the vertex
// batch; circle outlines, filled circles and rings from work buffer 0, drawn on their own.
#include <string.h>

#include "zovuz/d3d9/d3d9_internal.h"
#include "zovuz/d3d9/draw/d3d9_shapes.h"
#include "zovuz/d3d9/device/windows/d3d9_device_win.h"
#include "zovuz/d3d9/draw/windows/d3d9_vertex_batch_win.h"

namespace {

// The circles' vertices: work buffer 0, drawn whenever 2000 are collected.
constexpr int kCircleVertexNum = 2000;
constexpr int kCircleWorkSize = kCircleVertexNum * (int)sizeof(D3D9VertexNoTex2D);
constexpr int kNoTex2DVertexType = 1;

D3D9VertexNoTex2D Vertex(float X, float Y, D3DCOLOR Color)
{
    return D3D9VertexNoTex2D{X, Y, GraphicsDrawSettings.DrawZ, 1.0f, Color};
}

// The caller's colour through the diffuse colour.
D3DCOLOR ShapeColor(unsigned int Color)
{
    int red = 0, green = 0, blue = 0;
    SplitColor(Color, &red, &green, &blue);
    return D3D9ShapeColor(red, green, blue, D3D9DeviceStateCache.Draw.DiffuseColor);
}

// A scene, no texture, and the untextured preparation when it is not in force.
void PrepareUntextured()
{
    Direct3DDevice9_BeginSceneIfNeeded();
    Graphics_D3D9_DrawSetting_SetTexture(nullptr);
    if (Graphics_D3D9_DrawNeedsPrepare(D3D9_PREPARE_VERTEX_COLOR)) Graphics_D3D9_PrepareDraw(D3D9_PREPARE_VERTEX_COLOR);
}

// The circles' vertex list, drawn as Type each time it fills.
struct CircleVertices
{
    D3D9VertexNoTex2D *Buffer;
    int Num;
    D3DPRIMITIVETYPE Type;
    D3DCOLOR Color;
    ImageRect Area;

    void Flush()
    {
        if (Num > 0) {
            Graphics_D3D9_SetVertexType(kNoTex2DVertexType);
            Direct3DDevice9_DrawPrimitiveUP(Type, (UINT)(Type == D3DPT_POINTLIST ? Num : Num / 2), Buffer,
                                            (UINT)sizeof(D3D9VertexNoTex2D));
        }
        Num = 0;
    }
    void Point(int X, int Y)
    {
        if (X < Area.left || X >= Area.right || Y < Area.top || Y >= Area.bottom) return;
        if (Num == kCircleVertexNum) Flush();
        Buffer[Num++] = Vertex((float)X, (float)Y, Color);
    }
    // Pixels Left to Right (inclusive) of Row as one line; StartOffset and EndOffset move its ends.
    void Span(int Row, int Left, int Right, float StartOffset, float EndOffset)
    {
        const int left = Left > Area.left ? Left : Area.left;
        const int right = Right < Area.right - 1 ? Right : Area.right - 1;
        if (left > right) return;
        if (Num + 2 > kCircleVertexNum) Flush();
        Buffer[Num++] = Vertex((float)left + StartOffset, (float)Row, Color);
        Buffer[Num++] = Vertex((float)(right + 1) + EndOffset, (float)Row, Color);
    }
};

// Draws the batch, reserves work buffer 0, opens a scene and prepares. False without a device or
// memory.
bool BeginCircle(CircleVertices &List, unsigned int Color, D3DPRIMITIVETYPE Type)
{
    Graphics_D3D9_RenderVertexBuffer(0);
    if (!Direct3DDevice9_IsValid()) return false;
    List.Buffer = (D3D9VertexNoTex2D *)ReserveWorkBuffer(0, kCircleWorkSize);
    if (List.Buffer == nullptr) return false;
    PrepareUntextured();
    List.Num = 0;
    List.Type = Type;
    List.Color = ShapeColor(Color);
    List.Area = GraphicsDrawSettings.DrawArea;
    return true;
}

// The rows of the draw area in work buffer 1, one flag byte each, cleared; null without memory.
uint8_t *ReserveRowFlags(int Bytes)
{
    if (Bytes <= 0) Bytes = 1;
    uint8_t *flags = (uint8_t *)ReserveWorkBuffer(1, Bytes);
    if (flags != nullptr) memset(flags, 0, (size_t)Bytes);
    return flags;
}

struct FilledCircle
{
    CircleVertices *List;
    uint8_t *Filled;  // a row already has its span
};

// Appends Num vertices of one primitive type to the batch.
void AppendToBatch(D3DPRIMITIVETYPE Type, const D3D9VertexNoTex2D *Vertices, int Num)
{
    void *at = Graphics_D3D9_ReserveVertices(Type, Num);
    if (at != nullptr) memcpy(at, Vertices, sizeof *Vertices * (size_t)Num);
}

// Two triangles over a rectangle: (x1, y1), (x2, y1), (x1, y2), then (x2, y2), (x1, y2), (x2, y1).
void QuadVertices(const int Rect[4], D3DCOLOR FirstColor, D3DCOLOR OtherColor, D3D9VertexNoTex2D *Out)
{
    const float x1 = (float)Rect[0], y1 = (float)Rect[1], x2 = (float)Rect[2], y2 = (float)Rect[3];
    Out[0] = Vertex(x1, y1, FirstColor);
    Out[1] = Vertex(x2, y1, OtherColor);
    Out[2] = Vertex(x1, y2, OtherColor);
    Out[3] = Vertex(x2, y2, FirstColor);
    Out[4] = Vertex(x1, y2, OtherColor);
    Out[5] = Vertex(x2, y1, OtherColor);
}

}  // namespace

int Graphics_D3D9_DrawFillBox(int X1, int Y1, int X2, int Y2, unsigned int Color)
{
    if (!Direct3DDevice9_IsValid()) return -1;
    const ImageRect &a = GraphicsDrawSettings.DrawArea;
    const int area[4] = {a.left, a.top, a.right, a.bottom};
    int box[4];
    if (!D3D9ClipFillBox(X1, Y1, X2, Y2, area, box)) return 0;
    PrepareUntextured();
    // Flat shading colours each triangle from its first vertex: only those two need the colour.
    D3D9VertexNoTex2D v[6];
    QuadVertices(box, ShapeColor(Color), 0, v);
    AppendToBatch(D3DPT_TRIANGLELIST, v, 6);
    return 0;
}

int Graphics_D3D9_DrawLineBox(int X1, int Y1, int X2, int Y2, unsigned int Color)
{
    if (!Direct3DDevice9_IsValid()) return -1;
    PrepareUntextured();
    const D3DCOLOR color = ShapeColor(Color);
    int bands[4][4];
    D3D9LineBoxBands(X1, Y1, X2, Y2, bands);
    D3D9VertexNoTex2D v[24];
    for (int i = 0; i < 4; ++i) QuadVertices(bands[i], color, color, v + i * 6);
    AppendToBatch(D3DPT_TRIANGLELIST, v, 24);
    return 0;
}

int Graphics_D3D9_DrawLine(int X1, int Y1, int X2, int Y2, unsigned int Color)
{
    if (!Direct3DDevice9_IsValid()) return -1;
    float ends[4];
    if (!D3D9LineEnds(X1, Y1, X2, Y2, ends)) return 0;
    PrepareUntextured();
    const D3DCOLOR color = ShapeColor(Color);
    const D3D9VertexNoTex2D v[2] = {Vertex(ends[0], ends[1], color), Vertex(ends[2], ends[3], color)};
    AppendToBatch(D3DPT_LINELIST, v, 2);
    return 0;
}

int Graphics_D3D9_DrawCircle(int X, int Y, int Radius, unsigned int Color, int FillFlag, int RightMinusOne,
                             int BottomMinusOne)
{
    CircleVertices list;
    if (!FillFlag) {
        if (!BeginCircle(list, Color, D3DPT_POINTLIST)) return -1;
        WalkCircleOutline(
            X, Y, Radius, RightMinusOne, BottomMinusOne,
            [](void *Context, int PX, int PY) { ((CircleVertices *)Context)->Point(PX, PY); }, &list);
        list.Flush();
        return 0;
    }
    if (!BeginCircle(list, Color, D3DPT_LINELIST)) return -1;
    FilledCircle fill = {&list, ReserveRowFlags(list.Area.bottom)};
    if (fill.Filled == nullptr) {
        // A failed reservation is a failure, not the log call's result.
        AddLogStringWide(L"メモリの確保に失敗しました in G_D3D_DrawCircle\n");
        return -1;
    }
    D3D9WalkCircleSpans(
        X, Y, Radius, RightMinusOne, BottomMinusOne,
        [](void *Context, int Row, int Left, int Right) {
            FilledCircle &f = *(FilledCircle *)Context;
            const ImageRect &area = f.List->Area;
            if (Row < area.top || Row >= area.bottom || Right < area.left || Left >= area.right || f.Filled[Row])
                return;
            f.Filled[Row] = 1;
            f.List->Span(Row, Left, Right, D3D9Backend.TexelOffsetX[0], D3D9Backend.TexelOffsetX[1]);
        },
        &fill);
    list.Flush();
    return 0;
}

int Graphics_D3D9_DrawCircleThickness(int X, int Y, int Radius, unsigned int Color, int Thickness)
{
    if (Thickness < 2) return -1;
    CircleVertices list;
    if (!BeginCircle(list, Color, D3DPT_LINELIST)) return -1;
    const CircleRingSpan *rows = CalcCircleRingSpanTable(X, Y, Radius, Thickness);
    if (rows == nullptr) return -1;
    for (int y = list.Area.top; y < list.Area.bottom; ++y) {
        int spans[4];
        const int num = y >= 0 ? GetCircleRingRowSpans(&rows[y], spans) : 0;
        for (int i = 0; i < num; ++i) list.Span(y, spans[i * 2], spans[i * 2 + 1], 0.0f, 0.0f);
    }
    list.Flush();
    return 0;
}
