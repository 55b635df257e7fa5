// The drawing front end's graph calls: a graph at a position, stretched, mirrored, cut out or on
// four free corners, and the batched rectangles of the string drawing.
#include "zovuz/graphics/draw_state_internal.h"
#include "zovuz/graphics/draw_steps_internal.h"
#include "zovuz/graphics/graph/graph_internal.h"
#include "zovuz/graphics/software/soft_draw_internal.h"

namespace {

// The graph of a drawing call after the shared steps (the library's start where asked, the draw
// area, the inactive wait, the handle, the blend graph, the movie, the 2D projection). Null with
// *Result 0 (nothing to draw) or -1 (a bad graph or blend graph).
GraphHandleData *BeginGraphDraw(int GraphHandle, bool NeedLibrary, int *Result, GraphHandleData **BlendGraph)
{
    *Result = -1;
    *BlendGraph = nullptr;
    if (NeedLibrary && !GraphicsLibraryInitialized()) return nullptr;
    if (!DrawAreaVisible()) {
        *Result = 0;
        return nullptr;
    }
    GraphHandleData *graph = GetGraphEntry(GraphHandle, 0);
    if (graph == nullptr || graph->Image == nullptr) return nullptr;
    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    if (d.BlendGraph > 0) {
        *BlendGraph = GetGraphEntry(d.BlendGraph, 0);
        // The software renderer reads the blend graph pixel for pixel under the graph.
        if (*BlendGraph != nullptr && !GraphicsState.HardwareInUseFlag &&
            ((*BlendGraph)->Width < graph->Width || (*BlendGraph)->Height < graph->Height))
            return nullptr;
    }
    AdvanceGraphMovie(graph);
    MakeTransform2DCurrent();
    return graph;
}

// The smallest rectangle holding four corners, each truncated toward zero.
ImageRect CornerBounds(const float Xs[4], const float Ys[4])
{
    float left = Xs[0], right = Xs[0], top = Ys[0], bottom = Ys[0];
    for (int i = 1; i < 4; ++i) {
        left = Xs[i] < left ? Xs[i] : left;
        right = Xs[i] > right ? Xs[i] : right;
        top = Ys[i] < top ? Ys[i] : top;
        bottom = Ys[i] > bottom ? Ys[i] : bottom;
    }
    return ImageRect{(int)left, (int)top, (int)right, (int)bottom};
}

int OnDevice(const GraphHandleData *Graph) { return Graph->Image->Format.HardwareFlag ? 1 : 0; }

// The software path of the graph calls: the graph's image from (X1, Y1) to (X2, Y2).
int SoftDrawGraphImage(GraphHandleData *Graph, int X1, int Y1, int X2, int Y2, int TransFlag)
{
    SoftImageSource source = GraphImageSource(&Graph->SoftImage, TransFlag);
    return SoftDrawImage(GetSoftwareDrawTarget(), X1, Y1, X2, Y2, &source);
}

int DrawGraphCore(int X, int Y, float XF, float YF, int GraphHandle, int TransFlag, int IntFlag)
{
    int result;
    GraphHandleData *blend;
    GraphHandleData *graph = BeginGraphDraw(GraphHandle, IntFlag != 0, &result, &blend);
    if (graph == nullptr) return result;
    int device = OnDevice(graph);
    ImageRect bounds = {X, Y, X + graph->Width, Y + graph->Height};
    return DrawThroughHooks(bounds, device, [&] {
        return device ? Graphics_Hardware_DrawGraph(X, Y, XF, YF, graph, blend, TransFlag, IntFlag)
                      : SoftDrawGraphImage(graph, X, Y, X + graph->Width, Y + graph->Height, TransFlag);
    });
}

int DrawExtendGraphCore(int X1, int Y1, int X2, int Y2, float X1F, float Y1F, float X2F, float Y2F, int GraphHandle,
                        int TransFlag, int IntFlag)
{
    int result;
    GraphHandleData *blend;
    GraphHandleData *graph = BeginGraphDraw(GraphHandle, false, &result, &blend);
    if (graph == nullptr) return result;
    if (X1 == X2 || Y1 == Y2) return 0;
    int device = OnDevice(graph);
    ImageRect bounds = {X1 < X2 ? X1 : X2, Y1 < Y2 ? Y1 : Y2, X1 < X2 ? X2 : X1, Y1 < Y2 ? Y2 : Y1};
    return DrawThroughHooks(bounds, device, [&] {
        return device ? Graphics_Hardware_DrawExtendGraph(X1, Y1, X2, Y2, X1F, Y1F, X2F, Y2F, graph, blend, TransFlag,
                                                          IntFlag)
                      : SoftDrawGraphImage(graph, X1, Y1, X2, Y2, TransFlag);
    });
}

// Draws a rectangle of a graph through a temporary graph derived from it.
template <class Draw>
int DrawDerived(int SrcX, int SrcY, int Width, int Height, int GraphHandle, Draw draw)
{
    if (Width < 1 || Height < 1) return -1;
    int derived = DeriveGraph(SrcX, SrcY, Width, Height, GraphHandle);
    if (derived < 0) return -1;
    draw(derived);
    DeleteGraph(derived);
    return 0;
}

}  // namespace

int DrawGraph(int X, int Y, int GraphHandle, int TransFlag)
{
    return DrawGraphCore(X, Y, (float)X, (float)Y, GraphHandle, TransFlag, 1);
}

int DrawGraphF(float X, float Y, int GraphHandle, int TransFlag)
{
    return DrawGraphCore((int)X, (int)Y, X, Y, GraphHandle, TransFlag, 0);
}

int DrawExtendGraph(int X1, int Y1, int X2, int Y2, int GraphHandle, int TransFlag)
{
    return DrawExtendGraphCore(X1, Y1, X2, Y2, (float)X1, (float)Y1, (float)X2, (float)Y2, GraphHandle, TransFlag, 1);
}

int DrawExtendGraphF(float X1, float Y1, float X2, float Y2, int GraphHandle, int TransFlag)
{
    return DrawExtendGraphCore((int)X1, (int)Y1, (int)X2, (int)Y2, X1, Y1, X2, Y2, GraphHandle, TransFlag, 0);
}

int DrawTurnGraph(int X, int Y, int GraphHandle, int TransFlag)
{
    GraphHandleData *graph = GetGraphEntry(GraphHandle, 0);
    if (graph == nullptr) return -1;
    return DrawExtendGraph(X + graph->Width, Y, X, Y + graph->Height, GraphHandle, TransFlag);
}

int DrawTurnGraphF(float X, float Y, int GraphHandle, int TransFlag)
{
    GraphHandleData *graph = GetGraphEntry(GraphHandle, 0);
    if (graph == nullptr) return -1;
    return DrawExtendGraphF(X + graph->WidthF, Y, X, Y + graph->HeightF, GraphHandle, TransFlag);
}

int DrawModiGraph(float X1, float Y1, float X2, float Y2, float X3, float Y3, float X4, float Y4, int GraphHandle,
                  int TransFlag)
{
    int result;
    GraphHandleData *blend;
    GraphHandleData *graph = BeginGraphDraw(GraphHandle, false, &result, &blend);
    if (graph == nullptr) return result;
    int device = OnDevice(graph);
    if (!device) return 0;  // the software renderer draws no free quadrilaterals
    const float xs[4] = {X1, X2, X3, X4}, ys[4] = {Y1, Y2, Y3, Y4};
    ImageRect bounds = CornerBounds(xs, ys);
    return DrawThroughHooks(bounds, device, [&] {
        return Graphics_Hardware_DrawModiGraph(X1, Y1, X2, Y2, X4, Y4, X3, Y3, graph, blend, TransFlag, 0);
    });
}

int DrawRectGraph(int X, int Y, int SrcX, int SrcY, int Width, int Height, int GraphHandle, int TransFlag, int TurnFlag)
{
    if (Width < 1 || Height < 1) return -1;
    GraphHandleData *graph = GetGraphEntry(GraphHandle, 0);
    if (graph == nullptr) return -1;
    // The draw area narrowed to the destination rectangle cuts the graph drawn around it.
    DrawAreaSave saved;
    if (!NarrowDrawArea(ImageRect{X, Y, X + Width, Y + Height}, &saved)) return 0;
    int result = TurnFlag ? DrawTurnGraph(X - graph->Width + SrcX + Width, Y - SrcY, GraphHandle, TransFlag)
                          : DrawGraph(X - SrcX, Y - SrcY, GraphHandle, TransFlag);
    RestoreDrawArea(&saved);
    return result;
}

int DrawRectGraphF(float X, float Y, int SrcX, int SrcY, int Width, int Height, int GraphHandle, int TransFlag,
                   int TurnFlag)
{
    return DrawDerived(SrcX, SrcY, Width, Height, GraphHandle, [&](int Derived) {
        return TurnFlag ? DrawTurnGraphF(X, Y, Derived, TransFlag) : DrawGraphF(X, Y, Derived, TransFlag);
    });
}

int DrawRectExtendGraphF(float X1, float Y1, float X2, float Y2, int SrcX, int SrcY, int Width, int Height,
                         int GraphHandle, int TransFlag)
{
    return DrawDerived(SrcX, SrcY, Width, Height, GraphHandle,
                       [&](int Derived) { return DrawExtendGraphF(X1, Y1, X2, Y2, Derived, TransFlag); });
}

int DrawGraphRects(const DrawGraphRectsParam *Param)
{
    if (Param == nullptr || Param->Vertex == nullptr || Param->RectNum < 1) return -1;
    int result;
    GraphHandleData *blend;
    GraphHandleData *graph = BeginGraphDraw(Param->GraphHandle, true, &result, &blend);
    if (graph == nullptr) return result;
    if (!OnDevice(graph)) return 0;  // only a device draws batched rectangles
    // The first rectangle stands for the batch (callers keep the others inside it).
    const DrawGraphRectsVertex *v = Param->Vertex;
    const float xs[4] = {v[0].x, v[1].x, v[2].x, v[3].x}, ys[4] = {v[0].y, v[1].y, v[2].y, v[3].y};
    ImageRect bounds = CornerBounds(xs, ys);
    return DrawThroughHooks(bounds, 1, [&] { return Graphics_Hardware_DrawGraphRects(Param, graph, blend); });
}
