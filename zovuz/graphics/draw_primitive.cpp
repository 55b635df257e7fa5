// The drawing front end's primitives: clearing the draw target, boxes, lines, circles and user
// vertex lists.
#include <limits.h>
#include <math.h>

#include "zovuz/graphics/draw_state_internal.h"
#include "zovuz/graphics/draw_steps_internal.h"
#include "zovuz/graphics/graph/graph_internal.h"
#include "zovuz/graphics/software/soft_draw_internal.h"

namespace {

// The bounds of a line of thickness T.
ImageRect LineBounds(int X1, int Y1, int X2, int Y2, int T)
{
    int left = X1 < X2 ? X1 : X2, right = X1 < X2 ? X2 : X1;
    int top = Y1 < Y2 ? Y1 : Y2, bottom = Y1 < Y2 ? Y2 : Y1;
    return ImageRect{left - T, top - T, right + 1 + T, bottom + 1 + T};
}

// The draw bright and blend applied to a vertex colour through the product tables.
void ScaleVertexColor(COLOR_U8 &Color, const GraphicsDrawSettingsData &d)
{
    const MemImgManageData &m = MemImgManage;
    Color.r = (uint8_t)m.MulTable[d.DrawBrightRed][Color.r];
    Color.g = (uint8_t)m.MulTable[d.DrawBrightGreen][Color.g];
    Color.b = (uint8_t)m.MulTable[d.DrawBrightBlue][Color.b];
    if (d.BlendMode != DX_BLENDMODE_NOBLEND) Color.a = (uint8_t)m.MulTable[d.BlendParam & 0xFF][Color.a];
}

// The graph of a user vertex list: null for DX_NONE_GRAPH, else a ready graph whose movie has
// advanced; *Bad is set for a handle that is not one.
GraphHandleData *VertexListGraph(int GraphHandle, bool *Bad)
{
    *Bad = false;
    if (GraphHandle == DX_NONE_GRAPH) return nullptr;
    GraphHandleData *graph = GetGraphEntry(GraphHandle, 0);
    if (graph == nullptr) {
        *Bad = true;
        return nullptr;
    }
    AdvanceGraphMovie(graph);
    return graph;
}

}  // namespace

// ---- Clearing ------------------------------------------------------------------------------------

int ClearDrawScreen(const ImageRect *ClearRect)
{
    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    if (d.MaskValidFlag) MaskDrawEnd(d.DrawArea.left, d.DrawArea.top, d.DrawArea.right, d.DrawArea.bottom);
    if (ClearRect != nullptr && (ClearRect->left < 0 || ClearRect->top < 0)) ClearRect = nullptr;
    if (GraphicsState.HardwareInUseFlag) {
        Graphics_Hardware_ClearDrawScreen(ClearRect);
        return 0;
    }
    MEMIMG *target = GetSoftwareDrawTargetImage();
    if (CheckValidMemImg(target)) {
        const GraphicsStateData &g = GraphicsState;
        uint32_t value =
            MakeColorDataValue(target->Base->ColorData, g.BackgroundRed, g.BackgroundGreen, g.BackgroundBlue, 0);
        FillMemImg(target, ClearRect, value);
    }
    return 0;
}

// ---- Boxes, lines and circles --------------------------------------------------------------------

int DrawBox(int X1, int Y1, int X2, int Y2, unsigned int Color, int FillFlag)
{
    return FillFlag ? DrawFillBox(X1, Y1, X2, Y2, Color) : DrawLineBox(X1, Y1, X2, Y2, Color);
}

namespace {

// A box by the device or the software drawer, bounded by its corners.
int DrawBoxWith(int X1, int Y1, int X2, int Y2, unsigned int Color, int (*Hardware)(int, int, int, int, unsigned int),
                int (*Software)(MEMIMG *, int, int, int, int, unsigned int))
{
    if (!DrawAreaVisible()) return 0;
    MakeTransform2DCurrent();
    int device = GraphicsState.HardwareInUseFlag;
    return DrawThroughHooks(ImageRect{X1, Y1, X2, Y2}, device, [&] {
        return device ? Hardware(X1, Y1, X2, Y2, Color) : Software(GetSoftwareDrawTarget(), X1, Y1, X2, Y2, Color);
    });
}

}  // namespace

int DrawFillBox(int X1, int Y1, int X2, int Y2, unsigned int Color)
{
    return DrawBoxWith(X1, Y1, X2, Y2, Color, Graphics_Hardware_DrawFillBox, SoftDrawFillBox);
}

int DrawLineBox(int X1, int Y1, int X2, int Y2, unsigned int Color)
{
    return DrawBoxWith(X1, Y1, X2, Y2, Color, Graphics_Hardware_DrawLineBox, SoftDrawLineBox);
}

int DrawLine(int X1, int Y1, int X2, int Y2, unsigned int Color, int Thickness)
{
    if (Thickness > 1) return DrawThickLine(X1, Y1, X2, Y2, Color, Thickness);
    if (!DrawAreaVisible()) return 0;
    MakeTransform2DCurrent();
    int device = GraphicsState.HardwareInUseFlag;
    return DrawThroughHooks(LineBounds(X1, Y1, X2, Y2, 1), device, [&] {
        return device ? Graphics_Hardware_DrawLine(X1, Y1, X2, Y2, Color)
                      : SoftDrawLine(GetSoftwareDrawTarget(), X1, Y1, X2, Y2, Color);
    });
}

int DrawThickLine(int X1, int Y1, int X2, int Y2, unsigned int Color, int Thickness)
{
    const int t = Thickness, half = Thickness / 2;
    if (t % 2 == 1 && X1 == X2) return DrawFillBox(X1 - half, Y1, X1 - half + t, Y2, Color);
    if (t % 2 == 1 && Y1 == Y2) return DrawFillBox(X1, Y1 - half, X2, Y1 - half + t, Color);

    // A band around the centre line: the corners one half width off it on either side.
    double dx = (double)X2 - X1, dy = (double)Y2 - Y1;
    double length = sqrt(dx * dx + dy * dy);
    if (length == 0.0) return 0;
    float k = (float)(t / 2.0f / length);
    float ox = k * (float)dy, oy = k * (float)-dx;
    float corners[4][2] = {{X1 + ox, Y1 + oy}, {X2 + ox, Y2 + oy}, {X1 - ox, Y1 - oy}, {X2 - ox, Y2 - oy}};
    if (GraphicsState.HardwareInUseFlag) {
        int red, green, blue;
        SplitColor(Color, &red, &green, &blue);
        VERTEX_UV_2D vertex[4];
        for (int i = 0; i < 4; ++i)
            vertex[i] = VERTEX_UV_2D{corners[i][0], corners[i][1], 0.0f, 0.0f,
                                     COLOR_U8{(uint8_t)blue, (uint8_t)green, (uint8_t)red, 255}};
        DrawPrimitive2D(vertex, 4, DX_PRIMTYPE_TRIANGLESTRIP, DX_NONE_GRAPH, 0);
        return 0;
    }
    if (!DrawAreaVisible()) return 0;
    int p[4][2];
    for (int i = 0; i < 4; ++i) {
        p[i][0] = (int)corners[i][0];
        p[i][1] = (int)corners[i][1];
    }
    DrawThroughHooks(LineBounds(X1, Y1, X2, Y2, t), 0, [&] {
        return SoftDrawQuadrangle(GetSoftwareDrawTarget(), p[0][0], p[0][1], p[1][0], p[1][1], p[2][0], p[2][1],
                                  p[3][0], p[3][1], Color);
    });
    return 0;
}

int DrawCircle(int X, int Y, int Radius, unsigned int Color, int FillFlag, int LineThickness)
{
    if (Radius < 0 || !DrawAreaVisible()) return 0;
    MakeTransform2DCurrent();
    int device = GraphicsState.HardwareInUseFlag;
    ImageRect bounds = {X - Radius - 1, Y - Radius - 1, X + Radius + 1, Y + Radius + 1};
    return DrawThroughHooks(bounds, device, [&] {
        MEMIMG *target = device ? nullptr : GetSoftwareDrawTarget();
        if (LineThickness == 1)
            return device ? Graphics_Hardware_DrawCircle(X, Y, Radius, Color, FillFlag, 0, 0)
                          : SoftDrawCircle(target, X, Y, Radius, Color, FillFlag);
        return device ? Graphics_Hardware_DrawCircleThickness(X, Y, Radius, Color, LineThickness)
                      : SoftDrawCircleThickness(target, X, Y, Radius, Color, LineThickness);
    });
}

// ---- User vertex lists ---------------------------------------------------------------------------

namespace {

// The checks of a user vertex list: -1 for no vertices or a bad graph; 0 when nothing is drawn
// (the software renderer draws no user vertices; an empty draw area); 1 to draw, with *Graph the
// list's graph or null.
int BeginVertexList(const void *Vertex, int Num, int GraphHandle, GraphHandleData **Graph)
{
    *Graph = nullptr;
    // The lists are copied into a work buffer sized in an int: a count whose copy could not be
    // sized so is refused rather than wrapped to a small buffer.
    if (Vertex == nullptr || Num < 1 || Num > INT_MAX / (int)sizeof(VERTEX2D)) return -1;
    bool bad;
    *Graph = VertexListGraph(GraphHandle, &bad);
    if (bad) return -1;
    int device = *Graph != nullptr ? (*Graph)->Image->Format.HardwareFlag : GraphicsState.HardwareInUseFlag;
    return device && DrawAreaVisible() ? 1 : 0;
}

}  // namespace

int DrawPrimitive2D(const VERTEX_UV_2D *Vertex, int Num, int PrimitiveType, int GraphHandle, int TransFlag, int Option)
{
    (void)Option;
    GraphHandleData *graph;
    int start = BeginVertexList(Vertex, Num, GraphHandle, &graph);
    if (start <= 0) return start;

    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    DrawWorkBufferData &w = DrawWorkBuffer;
    VERTEX2D *buffer = (VERTEX2D *)GrowDrawWorkBuffer(&w.VertexCopy, &w.VertexCopySize, Num * (int)sizeof(VERTEX2D));
    if (buffer == nullptr) return -1;
    // A graph that is one piece of a larger texture takes its coordinates in its own 0-1 range.
    float scaleU = 1.0f, scaleV = 1.0f, offsetU = 0.0f, offsetV = 0.0f;
    if (graph != nullptr && graph->PieceNum == 1 && graph->Piece[0].Texture != nullptr) {
        const GraphDrawPiece &p = graph->Piece[0];
        scaleU = p.WidthF / (float)p.Texture->TexWidth;
        scaleV = p.HeightF / (float)p.Texture->TexHeight;
        offsetU = p.UsePosXF / (float)p.Texture->TexWidth;
        offsetV = p.UsePosYF / (float)p.Texture->TexHeight;
    }
    float minX = 1e8f, minY = 1e8f, maxX = -1e8f, maxY = -1e8f;
    for (int i = 0; i < Num; ++i) {
        const VERTEX_UV_2D &v = Vertex[i];
        VERTEX2D &out = buffer[i];
        out.pos = VECTOR{v.x, v.y, d.DrawZ};
        out.rhw = 1.0f;
        out.dif = v.dif;
        ScaleVertexColor(out.dif, d);
        out.u = v.u * scaleU + offsetU;
        out.v = v.v * scaleV + offsetV;
        minX = v.x < minX ? v.x : minX;
        maxX = v.x > maxX ? v.x : maxX;
        minY = v.y < minY ? v.y : minY;
        maxY = v.y > maxY ? v.y : maxY;
    }
    MakeTransform2DCurrent();
    ImageRect bounds = {(int)(minX - 1.0f), (int)(minY - 1.0f), (int)(maxX + 1.0f), (int)(maxY + 1.0f)};
    return DrawThroughHooks(ClampIntoDrawArea(bounds), 1, [&] {
        return Graphics_Hardware_DrawPrimitive2D(buffer, Num, PrimitiveType, graph, TransFlag, 0, 0, 0, 0, 0);
    });
}

int DrawPrimitive2DToShader(const VERTEX2D *Vertex, int Num, int PrimitiveType, int GraphHandle, int TransFlag)
{
    GraphHandleData *graph;
    int start = BeginVertexList(Vertex, Num, GraphHandle, &graph);
    if (start <= 0) return start;

    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    const VERTEX2D *vertex = Vertex;
    if (!DrawBrightIsWhite(d) || (d.BlendMode != DX_BLENDMODE_NOBLEND && d.BlendParam != 255)) {
        DrawWorkBufferData &w = DrawWorkBuffer;
        VERTEX2D *copy = (VERTEX2D *)GrowDrawWorkBuffer(&w.VertexCopy, &w.VertexCopySize, Num * (int)sizeof(VERTEX2D));
        if (copy == nullptr) return -1;
        for (int i = 0; i < Num; ++i) {
            copy[i] = Vertex[i];
            ScaleVertexColor(copy[i].dif, d);
        }
        vertex = copy;
    }
    MakeTransform2DCurrent();
    return DrawThroughHooks(d.DrawArea, 1, [&] {
        return Graphics_Hardware_DrawPrimitive2DToShader(vertex, Num, PrimitiveType, graph, TransFlag, 0, 0, 0);
    });
}
