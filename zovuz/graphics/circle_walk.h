// The midpoint walk that the Direct3D back ends draw circles with, and the outline it gives: one
// walk, so that both back ends light the same pixels.
#pragma once

#include <stdint.h>

// The midpoint walk of radius R after its extreme points (decision value from 3 - 2R): Step(A, B,
// Moves) for each (A, B) with A >= B >= 1, B the step's distance from the centre along the axis the
// walk advances and A along the other; Moves says that A shrinks after this step. A radius below 2
// takes no step.
template <class Step>
void WalkMidpointCircle(int R, Step step)
{
    int64_t a = R, d = 3 - 2 * a;
    if (d >= 0) {
        a -= 1;
        d -= 4 * a;
    }
    d += 6;
    for (int64_t b = 1; a >= b; ++b) {
        const bool moves = d >= 0;
        step((int)a, (int)b, moves);
        if (moves) {
            a -= 1;
            d -= 4 * a;
        }
        d += 4 * b + 6;
    }
}

// Receives one point of a circle outline (before the draw-area test).
typedef void (*CircleOutlinePointFunc)(void *Context, int X, int Y);

// The outline of a circle of radius R around (X, Y): the extreme points, then the eight mirrored
// points of each step of the walk. AdjustX / AdjustY (0 or not) pull the points right of / below
// the centre in by one pixel; an extreme point that would then fall on another is left out. Each
// point comes once, so that a blended outline shows one colour.
void WalkCircleOutline(int X, int Y, int R, int AdjustX, int AdjustY, CircleOutlinePointFunc Point, void *Context);
