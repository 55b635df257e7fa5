// The Direct3D 9 shapes' geometry.
#include "zovuz/d3d9/draw/d3d9_shapes.h"

#include <utility>

#include "zovuz/graphics/zovuz_graphics_backend.h"

uint32_t D3D9ShapeColor(int Red, int Green, int Blue, uint32_t Diffuse)
{
    const uint32_t red = (uint32_t)Red * (Diffuse >> 16 & 0xFF) / 255;
    const uint32_t green = (uint32_t)Green * (Diffuse >> 8 & 0xFF) / 255;
    const uint32_t blue = (uint32_t)Blue * (Diffuse & 0xFF) / 255;
    return (Diffuse & 0xFF000000u) | red << 16 | green << 8 | blue;
}

void D3D9WalkCircleSpans(int X, int Y, int R, int RightMinusOne, int BottomMinusOne, D3D9CircleSpanFunc Span,
                         void *Context)
{
    const int rm = RightMinusOne, bm = BottomMinusOne;
    auto span = [&](int Row, int Half) { Span(Context, Row, X - Half, X + Half - rm); };
    if (!bm) span(Y, R);
    // A radius below 2 takes no step: its top and bottom rows are single pixels.
    if (R <= 1) {
        span(Y + R - bm, 0);
        span(Y - R, 0);
    }
    WalkMidpointCircle(R, [&](int J, int I, bool Moves) {
        span(Y + I - bm, J);
        span(Y - I, J);
        // Rows +-j are met again at every step until j moves: only their widest span is drawn.
        if (Moves) {
            span(Y + J - bm, I);
            span(Y - J, I);
        }
    });
}

bool D3D9ClipFillBox(int X1, int Y1, int X2, int Y2, const int Area[4], int Box[4])
{
    auto order = [](int &A, int &B) {
        if (A > B) {
            const int t = A;
            A = B;
            B = t;
        }
    };
    order(X1, X2);
    order(Y1, Y2);
    Box[0] = X1 > Area[0] ? X1 : Area[0];
    Box[1] = Y1 > Area[1] ? Y1 : Area[1];
    Box[2] = X2 < Area[2] ? X2 : Area[2];
    Box[3] = Y2 < Area[3] ? Y2 : Area[3];
    return Box[0] < Box[2] && Box[1] < Box[3];
}

void D3D9LineBoxBands(int X1, int Y1, int X2, int Y2, int Bands[4][4])
{
    int l = X1, t = Y1, r = X2, b = Y2;
    if (X1 > X2 || Y1 > Y2) l = X2, t = Y2, r = X1, b = Y1;
    const int bands[4][4] = {{l, t, r, t + 1}, {r - 1, t + 1, r, b}, {l, t + 1, l + 1, b}, {l + 1, b - 1, r - 1, b}};
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < 4; ++k) Bands[i][k] = bands[i][k];
}

bool D3D9LineEnds(int X1, int Y1, int X2, int Y2, float Ends[4])
{
    if (X1 == X2 && Y1 == Y2) return false;
    // Wine leaves the first pixel of an axis-aligned line unlit when the line runs toward smaller
    // coordinates: such a line is drawn the other way round over the same pixels (its start kept
    // lit, its end left unlit).
    if (Y1 == Y2 && X2 < X1) X1 += 1, X2 += 1, std::swap(X1, X2);
    if (X1 == X2 && Y2 < Y1) Y1 += 1, Y2 += 1, std::swap(Y1, Y2);
    Ends[0] = (float)X1, Ends[1] = (float)Y1, Ends[2] = (float)X2, Ends[3] = (float)Y2;
    if (X1 == X2) Ends[3] -= 0.1f;
    if (Y1 == Y2) Ends[2] -= 0.1f;
    return true;
}
