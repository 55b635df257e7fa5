// The geometry of the Direct3D 11 back end's 2-D primitives as plain numbers: the colour of an
// untextured primitive, the corner offsets of lines and box outlines, the rows of filled circles
// and the diagonal a free quadrilateral is cut along. The drawing files of this room
// (windows/d3d11_draw_*_win.cpp) turn them into vertices; the tests check them without a device.
#pragma once

#include <stdint.h>

// ---- Colours -----------------------------------------------------------------------------------

// The packed colour of an untextured primitive: each of the caller's red, green and blue times the
// matching channel of the packed diffuse colour / 255 (rounded down), the diffuse alpha kept, all
// packed in the device's order (BGRAFlag: B8G8R8A8, else R8G8B8A8).
uint32_t D3D11PrimitiveColor(int Red, int Green, int Blue, uint32_t Diffuse, int BGRAFlag);

// Red and blue exchanged in a packed colour (the other byte order).
constexpr uint32_t D3D11SwapRedBlue(uint32_t Color)
{
    return (Color & 0xFF00FF00u) | ((Color >> 16) & 0xFFu) | ((Color & 0xFFu) << 16);
}

// ---- Lines and box outlines ----------------------------------------------------------------------

// The two ends of a one-pixel line as drawn (x1, y1, x2, y2): both moved to the pixel centre, a
// vertical or horizontal one pulled back by a tenth along its axis so that its end pixel stays
// unlit. False for equal ends (nothing is drawn).
bool D3D11LineEnds(int X1, int Y1, int X2, int Y2, float Ends[4]);

// The four one-pixel strips of a box outline (left, top, right, bottom each), top, right, left,
// bottom. Corners in the wrong order are exchanged as whole points.
void D3D11LineBoxStrips(int X1, int Y1, int X2, int Y2, float Strips[4][4]);

// ---- Circles -----------------------------------------------------------------------------------

// Receives one row of a filled circle: the row and the inclusive span from Left to Right.
typedef void (*D3D11CircleRowFunc)(void *Context, int Row, int Left, int Right);

// The rows of a filled circle of radius R around (X, Y) by the midpoint walk whose outline
// WalkCircleOutline gives (zovuz_graphics.h), AdjustX / AdjustY as there; a row may come more
// than once (the first one counts).
void D3D11WalkCircleRows(int X, int Y, int R, int AdjustX, int AdjustY, D3D11CircleRowFunc Row, void *Context);

// ---- Free quadrilaterals -----------------------------------------------------------------------

// (The shape test of a free quad and the strips of a mesh grid are the graphics layer's, shared
// with Direct3D 9: GraphQuadIsParallelogram, BuildGraphGridStrips.)

// Corners: top-left, top-right, bottom-left, bottom-right as (x, y) pairs.
// True when the quad is cut along the top-right to bottom-left diagonal (triangles 0-1-2 and
// 3-2-1), false when along top-left to bottom-right (0-1-3 and 0-3-2): a concave quad is cut
// through its reflex corner.
bool D3D11QuadUsesRisingDiagonal(const float Corners[4][2]);
