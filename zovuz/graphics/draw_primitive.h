// ZoVuz graphics: 2D drawing on the current draw target: clearing, boxes, lines, circles, graphs
// at a position, stretched, mirrored, cut out or on four free corners, and user vertex lists;
// part of the public graphics API (zovuz_graphics.h includes it).
//
// Geometry every back end produces: boxes and stretched graphs cover [x1, x2) x [y1, y2) (right
// and bottom exclusive), lines light their start point but not their end point. A colour is a
// GetColorValue value of which only red, green and blue count; the opacity of a drawing comes
// from the blend mode and its parameter, and the draw-bright colour tints it. Everything is
// clipped to the draw area; with an empty draw area every call draws nothing and returns 0.
//
// With a Direct3D back end the primitives go to its vertex batch. On the software renderer the
// library's own drawers write the software draw target: boxes, lines, circles, rings,
// quadrilaterals (thick lines) and graphs with nearest filtering, in blend modes none and alpha;
// other blend modes, free-quadrilateral graphs and user vertex lists draw nothing there.
#pragma once

#include <stdint.h>

#include "zovuz/graphics/graphics_hardware.h"

struct ImageRect;

// "No graph" for the user vertex lists.
#define DX_NONE_GRAPH (-5)
// Primitive type of a triangle strip.
#define DX_PRIMTYPE_TRIANGLESTRIP 5

// The vertex of DrawPrimitive2D: 20 bytes.
struct VERTEX_UV_2D
{
    float x, y;
    float u, v;
    COLOR_U8 dif;  // blue, green, red, alpha
};

// One batch of rectangles of one graph (the string drawing's glyphs): four vertices per
// rectangle (top left, top right, bottom left, bottom right).
struct DrawGraphRectsVertex
{
    float x, y;
    float u, v;
};
struct DrawGraphRectsParam
{
    int RectNum;
    const DrawGraphRectsVertex *Vertex;
    int GraphHandle;
    int TransFlag;
};

// ---- Clearing -------------------------------------------------------------------------------

// Clears the draw target (the rectangle only, when one with left and top not negative is given)
// to the background colour. 0.
int ClearDrawScreen(const ImageRect *ClearRect);

// ---- Primitives ------------------------------------------------------------------------------

// FillFlag non-zero: DrawFillBox, else DrawLineBox.
int DrawBox(int X1, int Y1, int X2, int Y2, unsigned int Color, int FillFlag);
// Every pixel with min(x1, x2) <= x < max(x1, x2) and the same for y.
int DrawFillBox(int X1, int Y1, int X2, int Y2, unsigned int Color);
// The one-pixel ring of the box DrawFillBox fills (callers pass x1 <= x2, y1 <= y2).
int DrawLineBox(int X1, int Y1, int X2, int Y2, unsigned int Color);
// A line from (X1, Y1) up to the pixel before (X2, Y2); a Thickness above 1 draws DrawThickLine.
int DrawLine(int X1, int Y1, int X2, int Y2, unsigned int Color, int Thickness = 1);
// A band Thickness wide around the centre line (a box for odd widths on a row or a column).
int DrawThickLine(int X1, int Y1, int X2, int Y2, unsigned int Color, int Thickness);
// Thickness 1: a circle (a disc with FillFlag); any other thickness a ring of that width. Nothing
// for a negative radius.
int DrawCircle(int X, int Y, int Radius, unsigned int Color, int FillFlag = 1, int LineThickness = 1);

// ---- Graphs ------------------------------------------------------------------------------------
// TransFlag: the graph's transparent colour (or its alpha channel) makes pixels see-through.
// Each call gives -1 for a handle that is not a ready graph (or a blend graph smaller than it on the
// software renderer), and DrawGraph also before the library's start.

int DrawGraph(int X, int Y, int GraphHandle, int TransFlag);
int DrawGraphF(float X, float Y, int GraphHandle, int TransFlag);
// Left edge on X1, right edge on X2 (mirrored when X1 > X2), top on Y1, bottom on Y2; the
// filtering follows the draw mode.
int DrawExtendGraph(int X1, int Y1, int X2, int Y2, int GraphHandle, int TransFlag);
int DrawExtendGraphF(float X1, float Y1, float X2, float Y2, int GraphHandle, int TransFlag);
// The graph mirrored left to right at (X, Y).
int DrawTurnGraph(int X, int Y, int GraphHandle, int TransFlag);
int DrawTurnGraphF(float X, float Y, int GraphHandle, int TransFlag);
// The graph's top-left, top-right, bottom-right and bottom-left corners on points 1 to 4.
int DrawModiGraph(float X1, float Y1, float X2, float Y2, float X3, float Y3, float X4, float Y4, int GraphHandle,
                  int TransFlag);
// The rectangle (SrcX, SrcY, Width, Height) of the graph at (X, Y), mirrored with TurnFlag; -1 for a
// width or height below 1.
int DrawRectGraph(int X, int Y, int SrcX, int SrcY, int Width, int Height, int GraphHandle, int TransFlag,
                  int TurnFlag);
int DrawRectGraphF(float X, float Y, int SrcX, int SrcY, int Width, int Height, int GraphHandle, int TransFlag,
                   int TurnFlag);
int DrawRectExtendGraphF(float X1, float Y1, float X2, float Y2, int SrcX, int SrcY, int Width, int Height,
                         int GraphHandle, int TransFlag);
// One batch of rectangles of one graph; only graphs on a device draw.
int DrawGraphRects(const DrawGraphRectsParam *Param);

// ---- User vertex lists (drawn with a device only) ------------------------------------------------

// GraphHandle DX_NONE_GRAPH for untextured primitives.
int DrawPrimitive2D(const VERTEX_UV_2D *Vertex, int Num, int PrimitiveType, int GraphHandle, int TransFlag,
                    int Option = 0);
int DrawPrimitive2DToShader(const VERTEX2D *Vertex, int Num, int PrimitiveType, int GraphHandle, int TransFlag);

// ---- The ring span table (the software ring; the back ends draw rings from it too) -------------

// One row: the outer circle's left and right x, the inner circle's, and which of them were met.
struct CircleRingSpan
{
    int16_t OuterLeft, OuterRight, InnerLeft, InnerRight;
    uint16_t Flags;  // CIRCLE_SPAN_*
};
#define CIRCLE_SPAN_OUTER_LEFT 1
#define CIRCLE_SPAN_OUTER_RIGHT 2
#define CIRCLE_SPAN_INNER_LEFT 4
#define CIRCLE_SPAN_INNER_RIGHT 8

// The rows 0 up to the draw area's bottom of a ring of radius Radius and width Thickness around
// (X, Y): outer radius r + t/2, inner r - t/2 (+1 for an even t). Only the draw area's rows are
// written, x values are kept to the draw area widened by one pixel. The table lives until the
// next call; null when it cannot grow.
const CircleRingSpan *CalcCircleRingSpanTable(int X, int Y, int Radius, int Thickness);
// A row's spans as inclusive (left, right) pairs: 0, 1 or 2 of them.
int GetCircleRingRowSpans(const CircleRingSpan *Row, int Spans[4]);
