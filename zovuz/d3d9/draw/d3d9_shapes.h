// The geometry of the Direct3D 9 back end's untextured shapes as plain numbers: the vertex colour,
// the midpoint walk of filled circles, the clip of a filled box, the bands of
// a box outline and the ends of a one-pixel line. draw/windows/d3d9_shapes_win.cpp turns them into
// vertices; the tests check them without a device.
#pragma once

#include <stdint.h>

// The vertex colour of a shape: each of red, green and blue times the matching channel of the
// packed diffuse colour / 255 (rounded down), the diffuse alpha kept; packed as A8R8G8B8.
uint32_t D3D9ShapeColor(int Red, int Green, int Blue, uint32_t Diffuse);

// Receives one row of a filled circle: the row and its inclusive span Left to Right. A row may
// come more than once; only its first span counts (the widest one).
typedef void (*D3D9CircleSpanFunc)(void *Context, int Row, int Left, int Right);

// The spans of a filled circle of radius R around (X, Y) by the midpoint walk whose outline
// WalkCircleOutline gives (zovuz_graphics.h). RightMinusOne / BottomMinusOne (0 or 1) draw the
// right / lower half one pixel further in.
void D3D9WalkCircleSpans(int X, int Y, int R, int RightMinusOne, int BottomMinusOne, D3D9CircleSpanFunc Span,
                         void *Context);

// A filled box with its axes ordered and clipped to the draw area (Area: left, top, right, bottom;
// right and bottom exclusive). False when nothing is left.
bool D3D9ClipFillBox(int X1, int Y1, int X2, int Y2, const int Area[4], int Box[4]);

// The four one-pixel bands (left, top, right, bottom each) of a box outline, in the order top,
// right, left, bottom. A first corner right of or below the second exchanges the corners as whole
// points. Nothing is clipped.
void D3D9LineBoxBands(int X1, int Y1, int X2, int Y2, int Bands[4][4]);

// The two ends of a one-pixel line as drawn (x1, y1, x2, y2): a vertical or horizontal line has its
// end moved a tenth toward its start, so that the end pixel stays unlit, and runs toward larger
// coordinates. False for equal ends (nothing is drawn).
bool D3D9LineEnds(int X1, int Y1, int X2, int Y2, float Ends[4]);

// ---- The back end's shape operations (draw/windows/d3d9_shapes_win.cpp) --------------------------

// Each opens a scene and draws untextured in the vertex colour with flat shading. 0, or -1
// without a device.
int Graphics_D3D9_DrawFillBox(int X1, int Y1, int X2, int Y2, unsigned int Color);
int Graphics_D3D9_DrawLineBox(int X1, int Y1, int X2, int Y2, unsigned int Color);
int Graphics_D3D9_DrawLine(int X1, int Y1, int X2, int Y2, unsigned int Color);
// Also -1 when a work buffer cannot be reserved.
int Graphics_D3D9_DrawCircle(int X, int Y, int Radius, unsigned int Color, int FillFlag, int RightMinusOne,
                             int BottomMinusOne);
// Also -1 for a thickness below 2.
int Graphics_D3D9_DrawCircleThickness(int X, int Y, int Radius, unsigned int Color, int Thickness);
