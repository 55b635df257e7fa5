// The plain geometry of the Direct3D 11 back end's 2-D primitives.
#include "zovuz/d3d11/draw/d3d11_draw_geometry.h"

#include <math.h>

#include "zovuz/graphics/zovuz_graphics_backend.h"

uint32_t D3D11PrimitiveColor(int Red, int Green, int Blue, uint32_t Diffuse, int BGRAFlag)
{
    // The diffuse colour is packed in the device's order: find its red and blue first.
    const int diffuseRed = (int)(BGRAFlag ? (Diffuse >> 16) & 0xFF : Diffuse & 0xFF);
    const int diffuseGreen = (int)((Diffuse >> 8) & 0xFF);
    const int diffuseBlue = (int)(BGRAFlag ? Diffuse & 0xFF : (Diffuse >> 16) & 0xFF);
    const uint32_t red = (uint32_t)((Red & 0xFF) * diffuseRed / 255);
    const uint32_t green = (uint32_t)((Green & 0xFF) * diffuseGreen / 255);
    const uint32_t blue = (uint32_t)((Blue & 0xFF) * diffuseBlue / 255);
    return (Diffuse & 0xFF000000u) | ((BGRAFlag ? red : blue) << 16) | (green << 8) | (BGRAFlag ? blue : red);
}

bool D3D11LineEnds(int X1, int Y1, int X2, int Y2, float Ends[4])
{
    if (X1 == X2 && Y1 == Y2) return false;
    float x1 = (float)X1 + 0.5f, y1 = (float)Y1 + 0.5f, x2 = (float)X2 + 0.5f, y2 = (float)Y2 + 0.5f;
    // Pulled back a little along its own axis, the end lies inside its pixel's diamond and is not
    // lit, while the start still leaves its own.
    if (X1 == X2) {
        const float pull = Y1 < Y2 ? -0.1f : 0.1f;
        y1 += pull;
        y2 += pull;
    } else if (Y1 == Y2) {
        const float pull = X1 < X2 ? -0.1f : 0.1f;
        x1 += pull;
        x2 += pull;
    }
    Ends[0] = x1;
    Ends[1] = y1;
    Ends[2] = x2;
    Ends[3] = y2;
    return true;
}

void D3D11LineBoxStrips(int X1, int Y1, int X2, int Y2, float Strips[4][4])
{
    if (X1 > X2 || Y1 > Y2) {
        const int x = X1, y = Y1;
        X1 = X2;
        Y1 = Y2;
        X2 = x;
        Y2 = y;
    }
    const float x1 = (float)X1, y1 = (float)Y1, x2 = (float)X2, y2 = (float)Y2;
    const float strips[4][4] = {
        {x1, y1, x2, y1 + 1.0f},                // top
        {x2 - 1.0f, y1 + 1.0f, x2, y2},         // right
        {x1, y1 + 1.0f, x1 + 1.0f, y2},         // left
        {x1 + 1.0f, y2 - 1.0f, x2 - 1.0f, y2},  // bottom
    };
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++) Strips[i][j] = strips[i][j];
}

void D3D11WalkCircleRows(int X, int Y, int R, int AdjustX, int AdjustY, D3D11CircleRowFunc Row, void *Context)
{
    const int ax = AdjustX ? 1 : 0, ay = AdjustY ? 1 : 0;
    if (ay == 0) Row(Context, Y, X - R, X + R - ax);
    WalkMidpointCircle(R, [&](int A, int B, bool) {
        Row(Context, Y + B - ay, X - A, X + A - ax);
        Row(Context, Y - B, X - A, X + A - ax);
        Row(Context, Y + A - ay, X - B, X + B - ax);
        Row(Context, Y - A, X - B, X + B - ax);
    });
}

bool D3D11QuadUsesRisingDiagonal(const float Corners[4][2])
{
    // The turns of the outline 0-1-3-2 at the top-left and at the bottom-right corner. A concave
    // quad must be cut through its reflex corner: when one of these two is it, they turn apart.
    auto cross = [&](int a, int b, int c) {
        return (Corners[b][0] - Corners[a][0]) * (Corners[c][1] - Corners[b][1]) -
               (Corners[b][1] - Corners[a][1]) * (Corners[c][0] - Corners[b][0]);
    };
    const float atTopLeft = cross(2, 0, 1), atBottomRight = cross(1, 3, 2);
    return (atTopLeft >= 0.0f) == (atBottomRight >= 0.0f);
}
