// The circle outline of the Direct3D back ends.
#include "zovuz/graphics/circle_walk.h"

void WalkCircleOutline(int X, int Y, int R, int AdjustX, int AdjustY, CircleOutlinePointFunc Point, void *Context)
{
    const int ax = AdjustX ? 1 : 0, ay = AdjustY ? 1 : 0;
    if (R == 0 && ax == 0 && ay == 0) {
        // The four extreme points are the centre.
        Point(Context, X, Y);
        return;
    }
    if (ay == 0) {
        Point(Context, X - R, Y);
        Point(Context, X + R - ax, Y);
    }
    if (ax == 0) {
        Point(Context, X, Y + R - ay);
        Point(Context, X, Y - R);
    }
    WalkMidpointCircle(R, [&](int A, int B, bool) {
        Point(Context, X + A - ax, Y + B - ay);
        Point(Context, X - A, Y + B - ay);
        Point(Context, X + A - ax, Y - B);
        Point(Context, X - A, Y - B);
        // On the diagonal the mirrored four are the same points.
        if (A == B) return;
        Point(Context, X + B - ax, Y + A - ay);
        Point(Context, X - B, Y + A - ay);
        Point(Context, X + B - ax, Y - A);
        Point(Context, X - B, Y - A);
    });
}
