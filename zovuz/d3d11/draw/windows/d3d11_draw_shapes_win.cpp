// The untextured 2-D primitives on Direct3D 11: filled boxes, box outlines and lines through the
// batch; circle outlines, filled circles and rings through the common vertex buffer.
#include <string.h>

#include "zovuz/d3d11/draw/d3d11_draw_geometry.h"
#include "zovuz/d3d11/draw/windows/d3d11_3d_draw_win.h"
#include "zovuz/d3d11/state/windows/d3d11_device_state_win.h"
#include "zovuz/d3d11/draw/windows/d3d11_draw_win.h"
#include "zovuz/d3d11/draw/windows/d3d11_vertex_batch_win.h"

namespace {

// VERTEX_NOTEX_2D.
struct NoTexVertex
{
    float x, y, z, rhw;
    uint32_t Color;
};
static_assert(sizeof(NoTexVertex) == 20, "VERTEX_NOTEX_2D is 20 bytes");

// The circles' vertices go into work buffer 0: 2000 of them, drawn whenever it is full.
constexpr int kCircleWorkIndex = 0;
constexpr int kCircleVertexNum = 2000;
constexpr int kCircleWorkSize = kCircleVertexNum * (int)sizeof(NoTexVertex);
// The filled circle flags the rows it drew in work buffer 1.
constexpr int kCircleRowWorkIndex = 1;

NoTexVertex Vertex(float X, float Y, uint32_t Color)
{
    return NoTexVertex{X, Y, GraphicsDrawSettings.DrawZ, 1.0f, Color};
}

// The caller's colour through the diffuse colour, in the device's order.
uint32_t ShapeColor(unsigned int Color)
{
    int red = 0, green = 0, blue = 0;
    SplitColor(Color, &red, &green, &blue);
    return D3D11PrimitiveColor(red, green, blue, D3D11Batch.DiffuseColor, GraphicsDeviceCaps.VertexColorBGRAFlag);
}

// No texture, and the untextured preparation when it is not in force.
void PrepareUntextured()
{
    Graphics_D3D11_SetTexture(nullptr, nullptr);
    Graphics_D3D11_PrepareDrawIfNeeded(D3D11_PREPARE_UNTEXTURED);
}

// Two triangles over [X1, X2) x [Y1, Y2): (x1, y1), (x2, y1), (x1, y2), then (x2, y2), (x1, y2),
// (x2, y1).
void QuadVertices(float X1, float Y1, float X2, float Y2, uint32_t Color, NoTexVertex *Out)
{
    Out[0] = Vertex(X1, Y1, Color);
    Out[1] = Vertex(X2, Y1, Color);
    Out[2] = Vertex(X1, Y2, Color);
    Out[3] = Vertex(X2, Y2, Color);
    Out[4] = Vertex(X1, Y2, Color);
    Out[5] = Vertex(X2, Y1, Color);
}

// The circles' vertex list in the work buffer, drawn as Topology each time it fills.
struct CircleVertices
{
    NoTexVertex *Buffer;
    int Num;
    D3D11_PRIMITIVE_TOPOLOGY Topology;
    uint32_t Color;
    ImageRect Area;

    void Flush()
    {
        if (Num > 0) Graphics_D3D11_CommonBuffer_Draw(D3D11_VERTEX_NOTEX_2D, Topology, Buffer, Num, 1);
        Num = 0;
    }
    void Add(float X, float Y)
    {
        if (Num == kCircleVertexNum) Flush();
        Buffer[Num++] = Vertex(X, Y, Color);
    }
    // A span of pixels Left-Right (inclusive) of Row as one line, RowOffset down into the row.
    void Span(int Row, int Left, int Right, float RowOffset)
    {
        const int left = Left > Area.left ? Left : Area.left;
        const int right = Right < Area.right - 1 ? Right : Area.right - 1;
        if (left > right) return;  // wholly outside the draw area
        if (Num + 2 > kCircleVertexNum) Flush();
        Add((float)left + 0.1f, (float)Row + RowOffset);
        Add((float)right + 1.0f + 0.1f, (float)Row + RowOffset);
    }
};

// Draws the batch, reserves the work buffer and prepares. False without memory.
bool BeginCircle(CircleVertices &List, unsigned int Color, D3D11_PRIMITIVE_TOPOLOGY Topology)
{
    Graphics_D3D11_RenderVertexBuffer(-1, 0);
    List.Buffer = (NoTexVertex *)ReserveWorkBuffer(kCircleWorkIndex, kCircleWorkSize);
    if (List.Buffer == nullptr) return false;
    List.Num = 0;
    List.Topology = Topology;
    List.Color = ShapeColor(Color);
    List.Area = GraphicsDrawSettings.DrawArea;
    PrepareUntextured();
    return true;
}

struct FilledCircle
{
    CircleVertices *List;
    uint8_t *Drawn;  // one byte per row from 0 to the draw area's bottom
};

}  // namespace

void Graphics_D3D11_PrepareDrawIfNeeded(uint32_t Flags)
{
    const D3D11DeviceStateCache &s = D3D11DeviceState;
    if (GraphicsState.DrawStateChangedFlag || s.DrawStateDirtyFlag || s.PrepareDrawFlags != Flags)
        Graphics_D3D11_PrepareDraw(Flags);
    // The batch must collect the format its vertices are written in. After the device state's
    // initialisation it expects textured vertices, which an untextured draw does not change.
    const int kind = s.Texture == nullptr ? 0 : s.BlendTexture == nullptr ? 1 : 2;
    if (D3D11Batch.Kind != kind) Graphics_D3D11_ApplyDrawState();
}

int Graphics_D3D11_DrawFillBox(int X1, int Y1, int X2, int Y2, unsigned int Color)
{
    if (!D3D11Device_IsValid()) return -1;
    const ImageRect &area = GraphicsDrawSettings.DrawArea;
    auto atLeast = [](int V, int Low) { return V > Low ? V : Low; };
    auto atMost = [](int V, int High) { return V < High ? V : High; };
    const ImageRect box = {atLeast(X1 < X2 ? X1 : X2, area.left), atLeast(Y1 < Y2 ? Y1 : Y2, area.top),
                           atMost(X1 < X2 ? X2 : X1, area.right), atMost(Y1 < Y2 ? Y2 : Y1, area.bottom)};
    if (box.left >= box.right || box.top >= box.bottom) return 0;
    const uint32_t color = ShapeColor(Color);
    PrepareUntextured();
    NoTexVertex v[6];
    QuadVertices((float)box.left, (float)box.top, (float)box.right, (float)box.bottom, color, v);
    Graphics_D3D11_AppendBatchVertices(v, 6, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    return 0;
}

int Graphics_D3D11_DrawLineBox(int X1, int Y1, int X2, int Y2, unsigned int Color)
{
    if (!D3D11Device_IsValid()) return -1;
    const uint32_t color = ShapeColor(Color);
    PrepareUntextured();
    float strips[4][4];
    D3D11LineBoxStrips(X1, Y1, X2, Y2, strips);
    NoTexVertex v[24];
    for (int i = 0; i < 4; i++) QuadVertices(strips[i][0], strips[i][1], strips[i][2], strips[i][3], color, v + i * 6);
    Graphics_D3D11_AppendBatchVertices(v, 24, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    return 0;
}

int Graphics_D3D11_DrawLine(int X1, int Y1, int X2, int Y2, unsigned int Color)
{
    if (!D3D11Device_IsValid()) return -1;
    float ends[4];
    if (!D3D11LineEnds(X1, Y1, X2, Y2, ends)) return 0;
    const uint32_t color = ShapeColor(Color);
    PrepareUntextured();
    const NoTexVertex v[2] = {Vertex(ends[0], ends[1], color), Vertex(ends[2], ends[3], color)};
    Graphics_D3D11_AppendBatchVertices(v, 2, D3D11_PRIMITIVE_TOPOLOGY_LINELIST);
    return 0;
}

int Graphics_D3D11_DrawCircle(int X, int Y, int Radius, unsigned int Color, int FillFlag, int AdjustX, int AdjustY)
{
    if (!D3D11Device_IsValid()) return -1;
    CircleVertices list;
    if (!FillFlag) {
        // Points, each lit where it falls: a tenth into its pixel.
        if (!BeginCircle(list, Color, D3D11_PRIMITIVE_TOPOLOGY_POINTLIST)) return -1;
        WalkCircleOutline(
            X, Y, Radius, AdjustX, AdjustY,
            [](void *Context, int PX, int PY) {
                CircleVertices &l = *(CircleVertices *)Context;
                if (PX >= l.Area.left && PX < l.Area.right && PY >= l.Area.top && PY < l.Area.bottom)
                    l.Add((float)PX + 0.1f, (float)PY + 0.1f);
            },
            &list);
        list.Flush();
        return 0;
    }

    // Each row once: the walk meets some rows more than once.
    const int bottom = GraphicsDrawSettings.DrawArea.bottom;
    uint8_t *drawn = bottom > 0 ? (uint8_t *)ReserveWorkBuffer(kCircleRowWorkIndex, bottom) : nullptr;
    if (bottom > 0 && drawn == nullptr) {
        AddLogStringWide(L"メモリの確保に失敗しました in G_D3D_DrawCircle\n");
        return -1;
    }
    if (!BeginCircle(list, Color, D3D11_PRIMITIVE_TOPOLOGY_LINELIST)) return -1;
    if (drawn != nullptr) memset(drawn, 0, (size_t)bottom);
    FilledCircle fill = {&list, drawn};
    D3D11WalkCircleRows(
        X, Y, Radius, AdjustX, AdjustY,
        [](void *Context, int Row, int Left, int Right) {
            FilledCircle &f = *(FilledCircle *)Context;
            const ImageRect &area = f.List->Area;
            if (Row < area.top || Row >= area.bottom || f.Drawn[Row]) return;
            f.Drawn[Row] = 1;
            f.List->Span(Row, Left, Right, 0.2f);
        },
        &fill);
    list.Flush();
    return 0;
}

int Graphics_D3D11_DrawCircleThickness(int X, int Y, int Radius, unsigned int Color, int Thickness)
{
    if (!D3D11Device_IsValid() || Thickness < 2) return -1;
    CircleVertices list;
    if (!BeginCircle(list, Color, D3D11_PRIMITIVE_TOPOLOGY_LINELIST)) return -1;
    const CircleRingSpan *rows = CalcCircleRingSpanTable(X, Y, Radius, Thickness);
    if (rows == nullptr) return -1;
    for (int y = list.Area.top; y < list.Area.bottom; y++) {
        int spans[4];
        const int num = GetCircleRingRowSpans(&rows[y], spans);
        for (int i = 0; i < num; i++) list.Span(y, spans[i * 2], spans[i * 2 + 1], 0.1f);
    }
    list.Flush();
    return 0;
}
