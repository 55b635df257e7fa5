// The software renderer's primitive drawers: boxes, lines, circles, rings and quadrilaterals
// written into a MEMIMG, and the ring span table they share with the back ends.
#include <math.h>
#include <stdlib.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "zovuz/graphics/draw_steps_internal.h"
#include "zovuz/graphics/image/base_image_internal.h"
#include "zovuz/graphics/software/soft_draw_internal.h"
#include "zovuz/graphics/software/soft_pixel_internal.h"

using namespace softpixel;

namespace {

// The steps of a one-pixel line, in 64-bit terms so that end points anywhere in the 32-bit
// range neither overflow nor cost more than their visible pixels.
struct LineWalk
{
    int64_t Major0, Minor0;  // the start point on the longer and the shorter axis
    int64_t Long, Short;     // the distances along them
    int MajorStep, MinorStep;
    int64_t Err0;  // the error term at the start: Long / 2
};

// Minor-axis steps taken after I steps of the walk: the error term, Err0 less I * Short plus
// Long for each step, stays in 0 .. Long - 1.
int64_t MinorStepsAfter(const LineWalk &W, int64_t I)
{
    // I * Short is below 2^64: both are below 2^32.
    const uint64_t owed = (uint64_t)I * (uint64_t)W.Short;
    if (owed <= (uint64_t)W.Err0) return 0;
    return (int64_t)((owed - (uint64_t)W.Err0 + (uint64_t)W.Long - 1) / (uint64_t)W.Long);
}

// The first step (0 .. Long) whose minor-axis steps reach K; Long when none before it does. The
// steps after I are the least whole number above (I * Short - Err0) / Long, so they reach K >= 1
// once I * Short exceeds (K - 1) * Long + Err0: one division instead of a search. K and Long are
// below 2^32, the product below 2^64. The steps before Long never pass Short, so a K beyond it
// (the draw area's edge past the line's end) needs no division.
int64_t FirstStepReaching(const LineWalk &W, int64_t K)
{
    if (K <= 0) return 0;
    if (K > W.Short) return W.Long;
    const uint64_t bound = (uint64_t)(K - 1) * (uint64_t)W.Long + (uint64_t)W.Err0;
    const uint64_t step = bound / (uint64_t)W.Short + 1;
    return step < (uint64_t)W.Long ? (int64_t)step : W.Long;
}

// Steps I with Lo <= Origin + Step * I < Hi, as a half-open range of I.
void StepsInside(int64_t Origin, int Step, int64_t Lo, int64_t Hi, int64_t *First, int64_t *End)
{
    if (Step > 0) {
        *First = Lo - Origin;
        *End = Hi - Origin;
    } else {
        *First = Origin - Hi + 1;
        *End = Origin - Lo + 1;
    }
}

// ---- The canvas: one colour over one target ------------------------------------------------------

struct Canvas
{
    uint8_t *Pixels;
    int Pitch;
    ImageRect Clip;  // the draw area inside the image
    Family Fam;
    Rgba Paint;       // the colour tinted by the draw bright; A is the opacity
    uint32_t Packed;  // the opaque pixel
};

// False when nothing can be drawn: no image, a family the drawers do not write, an empty clip or
// an invisible blend.
bool OpenCanvas(Canvas &C, MEMIMG *Dest, unsigned int Color)
{
    if (!CheckValidMemImg(Dest)) return false;
    C.Fam = FamilyOf(Dest->Base);
    if (C.Fam < FAMILY_565 || C.Fam > FAMILY_ARGB) return false;
    int opacity = BlendOpacity();
    if (opacity == 0) return false;
    const MemImgManageData &m = MemImgManage;
    ImageRect clip = m.DrawArea;
    ImageRect image = {0, 0, Dest->Width, Dest->Height};
    ClipRect(&clip, &image);
    if (clip.left >= clip.right || clip.top >= clip.bottom) return false;
    C.Clip = clip;
    C.Pixels = Dest->UseImage;
    C.Pitch = Dest->Base->Pitch;
    int r, g, b;
    SplitColor(Color, &r, &g, &b);
    uint32_t bright = m.DrawBright;
    C.Paint = Rgba{m.MulTable[bright >> 16 & 0xFF][r], m.MulTable[bright >> 8 & 0xFF][g], m.MulTable[bright & 0xFF][b],
                   opacity};
    switch (C.Fam) {
        case FAMILY_565:
            C.Packed = F565::Pack(C.Paint.R, C.Paint.G, C.Paint.B, 255);
            break;
        case FAMILY_565A:
            C.Packed = F565A::Pack(C.Paint.R, C.Paint.G, C.Paint.B, 255);
            break;
        case FAMILY_XRGB:
            C.Packed = FXrgb::Pack(C.Paint.R, C.Paint.G, C.Paint.B, 255);
            break;
        default:
            C.Packed = FArgb::Pack(C.Paint.R, C.Paint.G, C.Paint.B, 255);
            break;
    }
    return true;
}

template <class F>
void FillRun(const Canvas &C, uint8_t *P, int Count)
{
    if (C.Paint.A == 255) {
        // The short runs of lines (a step or two of a joining line) are stored pixel by pixel.
        if (Count <= 4) {
            for (int i = 0; i < Count; ++i, P += F::Bytes) F::Store(P, C.Packed);
            return;
        }
        FillPatternBytes(P, (size_t)Count * F::Bytes, F::Bytes == 2 ? C.Packed * 0x00010001u : C.Packed);
        return;
    }
    // A run mostly crosses pixels of one value (a background): the blend of a value is worked out
    // once and stored again while the value repeats.
    uint32_t under = F::Raw(P), blended = under;
    BlendOver<F>((uint8_t *)&blended, C.Paint, C.Paint.A);
    for (int i = 0; i < Count; ++i, P += F::Bytes) {
#if defined(__SSE2__)
        // Four 32-bit pixels of the repeated value at once.
        if (F::Bytes == 4) {
            const __m128i same = _mm_set1_epi32((int)under), to = _mm_set1_epi32((int)blended);
            for (; i + 4 <= Count; i += 4, P += 16) {
                const __m128i four = _mm_loadu_si128((const __m128i *)P);
                if (_mm_movemask_epi8(_mm_cmpeq_epi32(four, same)) != 0xFFFF) break;
                _mm_storeu_si128((__m128i *)P, to);
            }
            if (i == Count) break;
        }
#endif
        uint32_t raw = F::Raw(P);
        if (raw != under) {
            under = blended = raw;
            BlendOver<F>((uint8_t *)&blended, C.Paint, C.Paint.A);
        }
        F::Store(P, blended);
    }
}

// Pixels X0 <= x < X1 of row Y, clipped.
void Span(const Canvas &C, int Y, int X0, int X1)
{
    if (Y < C.Clip.top || Y >= C.Clip.bottom) return;
    if (X0 < C.Clip.left) X0 = C.Clip.left;
    if (X1 > C.Clip.right) X1 = C.Clip.right;
    if (X0 >= X1) return;
    uint8_t *row = C.Pixels + (size_t)Y * C.Pitch;
    switch (C.Fam) {
        case FAMILY_565:
            FillRun<F565>(C, row + X0 * 2, X1 - X0);
            break;
        case FAMILY_565A:
            FillRun<F565A>(C, row + X0 * 4, X1 - X0);
            break;
        case FAMILY_XRGB:
            FillRun<FXrgb>(C, row + X0 * 4, X1 - X0);
            break;
        default:
            FillRun<FArgb>(C, row + X0 * 4, X1 - X0);
            break;
    }
}

// Steps First .. End - 1 of a line's walk, from the state the whole walk would have at First,
// one pixel each (the same pixel a one-pixel run there writes).
template <class F>
void WalkLine(const Canvas &C, const LineWalk &W, bool XMajor, int64_t First, int64_t End)
{
    const int64_t taken = MinorStepsAfter(W, First);
    int64_t err =
        (int64_t)((uint64_t)W.Err0 + (uint64_t)taken * (uint64_t)W.Long - (uint64_t)First * (uint64_t)W.Short);
    int64_t a = W.Major0 + W.MajorStep * First, b = W.Minor0 + W.MinorStep * taken;
    const ImageRect &clip = C.Clip;
    const bool opaque = C.Paint.A == 255;
    for (int64_t i = First; i < End; ++i) {
        const int64_t x = XMajor ? a : b, y = XMajor ? b : a;
        if (x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom) {
            uint8_t *p = C.Pixels + (size_t)y * C.Pitch + (size_t)x * F::Bytes;
            if (opaque)
                F::Store(p, C.Packed);
            else
                BlendOver<F>(p, C.Paint, C.Paint.A);
        }
        a += W.MajorStep;
        err -= W.Short;
        if (err < 0) {
            b += W.MinorStep;
            err += W.Long;
        }
    }
}

// [X1, X2) x [Y1, Y2) with ordered corners.
void FillRect(const Canvas &C, int X1, int Y1, int X2, int Y2)
{
    int top = Y1 > C.Clip.top ? Y1 : C.Clip.top;
    int bottom = Y2 < C.Clip.bottom ? Y2 : C.Clip.bottom;
    for (int y = top; y < bottom; ++y) Span(C, y, X1, X2);
}

// ---- Circles -----------------------------------------------------------------------------------

// Calls Plot(dx, dy) for the eight symmetric points of every step of the midpoint circle of radius
// R (decision value from 3 - 2R). A negative radius plots nothing.
template <class Plot>
void MidpointCircle(int R, Plot plot)
{
    int x = 0, y = R;
    int64_t d = 3 - 2 * (int64_t)R;
    while (x <= y) {
        plot(x, y), plot(-x, y), plot(x, -y), plot(-x, -y);
        plot(y, x), plot(-y, x), plot(y, -x), plot(-y, -x);
        if (d < 0) {
            d += 4 * (int64_t)x + 6;
        } else {
            d += 4 * ((int64_t)x - y) + 10;
            --y;
        }
        ++x;
    }
}

enum TraceMode {
    TRACE_OUTER,    // the outer edges keep the outermost point of each side
    TRACE_INNER,    // the inner edges the same, for the inner circle of a ring
    TRACE_OUTLINE,  // outer edges the outermost, inner edges the innermost point of each side
};

void KeepEdge(CircleRingSpan &Row, int16_t CircleRingSpan::*Edge, uint16_t Bit, int16_t X, bool KeepSmaller)
{
    if (!(Row.Flags & Bit) || (KeepSmaller ? X < Row.*Edge : X > Row.*Edge)) Row.*Edge = X;
    Row.Flags |= Bit;
}

// Writes one circle's points into the rows of Area (the table has a record per row from 0).
void TraceCircle(CircleRingSpan *Rows, const ImageRect &Area, int CX, int CY, int R, TraceMode Mode)
{
    MidpointCircle(R, [&](int DX, int DY) {
        int64_t y = (int64_t)CY + DY;
        if (y < Area.top || y >= Area.bottom) return;
        int64_t wide = (int64_t)CX + DX;
        // Kept to one pixel outside the area on either side: the clipped spans stay the same and the
        // value fits the table.
        int16_t x = (int16_t)(wide < Area.left - 1 ? Area.left - 1 : wide > Area.right ? Area.right : wide);
        CircleRingSpan &row = Rows[y];
        if (DX <= 0) {
            if (Mode == TRACE_INNER)
                KeepEdge(row, &CircleRingSpan::InnerLeft, CIRCLE_SPAN_INNER_LEFT, x, true);
            else
                KeepEdge(row, &CircleRingSpan::OuterLeft, CIRCLE_SPAN_OUTER_LEFT, x, true);
            if (Mode == TRACE_OUTLINE) KeepEdge(row, &CircleRingSpan::InnerLeft, CIRCLE_SPAN_INNER_LEFT, x, false);
        }
        if (DX >= 0) {
            if (Mode == TRACE_INNER)
                KeepEdge(row, &CircleRingSpan::InnerRight, CIRCLE_SPAN_INNER_RIGHT, x, false);
            else
                KeepEdge(row, &CircleRingSpan::OuterRight, CIRCLE_SPAN_OUTER_RIGHT, x, false);
            if (Mode == TRACE_OUTLINE) KeepEdge(row, &CircleRingSpan::InnerRight, CIRCLE_SPAN_INNER_RIGHT, x, true);
        }
    });
}

// The process-wide table with Area's rows cleared; null when it cannot grow.
CircleRingSpan *ClearedSpanTable(const ImageRect &Area)
{
    if (Area.bottom <= Area.top) return nullptr;
    DrawWorkBufferData &w = DrawWorkBuffer;
    void *table = GrowDrawWorkBuffer(&w.SpanTable, &w.SpanTableSize, Area.bottom * (int)sizeof(CircleRingSpan));
    if (table == nullptr) return nullptr;
    CircleRingSpan *rows = (CircleRingSpan *)table;
    for (int y = Area.top; y < Area.bottom; ++y) rows[y].Flags = 0;
    return rows;
}

CircleRingSpan *RingSpanTable(const ImageRect &Area, int X, int Y, int Radius, int Thickness)
{
    CircleRingSpan *rows = ClearedSpanTable(Area);
    if (rows == nullptr) return nullptr;
    int half = Thickness / 2;
    TraceCircle(rows, Area, X, Y, Radius + half, TRACE_OUTER);
    TraceCircle(rows, Area, X, Y, Radius - half + (Thickness % 2 == 0 ? 1 : 0), TRACE_INNER);
    return rows;
}

void DrawSpanRows(const Canvas &C, const CircleRingSpan *Rows)
{
    for (int y = C.Clip.top; y < C.Clip.bottom; ++y) {
        int spans[4];
        int n = GetCircleRingRowSpans(&Rows[y], spans);
        for (int i = 0; i < n; ++i) Span(C, y, spans[i * 2], spans[i * 2 + 1] + 1);
    }
}

}  // namespace

const CircleRingSpan *CalcCircleRingSpanTable(int X, int Y, int Radius, int Thickness)
{
    return RingSpanTable(GraphicsDrawSettings.DrawArea, X, Y, Radius, Thickness);
}

int GetCircleRingRowSpans(const CircleRingSpan *Row, int Spans[4])
{
    const uint16_t outer = CIRCLE_SPAN_OUTER_LEFT | CIRCLE_SPAN_OUTER_RIGHT;
    const uint16_t inner = CIRCLE_SPAN_INNER_LEFT | CIRCLE_SPAN_INNER_RIGHT;
    if ((Row->Flags & outer) != outer) return 0;
    if ((Row->Flags & inner) == inner && Row->InnerLeft < Row->InnerRight) {
        Spans[0] = Row->OuterLeft;
        Spans[1] = Row->InnerLeft;
        Spans[2] = Row->InnerRight;
        Spans[3] = Row->OuterRight;
        return 2;
    }
    Spans[0] = Row->OuterLeft;
    Spans[1] = Row->OuterRight;
    return 1;
}

// ---- The drawers ---------------------------------------------------------------------------------

int SoftDrawFillBox(MEMIMG *Dest, int X1, int Y1, int X2, int Y2, unsigned int Color)
{
    Canvas c;
    if (!OpenCanvas(c, Dest, Color)) return 0;
    FillRect(c, X1 < X2 ? X1 : X2, Y1 < Y2 ? Y1 : Y2, X1 < X2 ? X2 : X1, Y1 < Y2 ? Y2 : Y1);
    return 0;
}

int SoftDrawLineBox(MEMIMG *Dest, int X1, int Y1, int X2, int Y2, unsigned int Color)
{
    Canvas c;
    if (!OpenCanvas(c, Dest, Color)) return 0;
    FillRect(c, X1, Y1, X2, Y1 + 1);          // top
    FillRect(c, X2 - 1, Y1 + 1, X2, Y2);      // right
    FillRect(c, X1 + 1, Y2 - 1, X2 - 1, Y2);  // bottom
    FillRect(c, X1, Y1 + 1, X1 + 1, Y2);      // left
    return 0;
}

int SoftDrawLine(MEMIMG *Dest, int X1, int Y1, int X2, int Y2, unsigned int Color)
{
    Canvas c;
    if ((X1 == X2 && Y1 == Y2) || !OpenCanvas(c, Dest, Color)) return 0;
    if (Y1 == Y2) {
        // The run clipped first, so that end points at the ends of the integer range are safe.
        int64_t from = X1 < X2 ? X1 : (int64_t)X2 + 1, to = X1 < X2 ? X2 : (int64_t)X1 + 1;
        if (from < c.Clip.left) from = c.Clip.left;
        if (to > c.Clip.right) to = c.Clip.right;
        if (from < to) Span(c, Y1, (int)from, (int)to);
        return 0;
    }
    // Bresenham's walk over the longer axis, one pixel per step, the end point left out; only
    // the steps inside the draw area are taken.
    const int64_t dx = (int64_t)X2 - X1, dy = (int64_t)Y2 - Y1;
    const bool xMajor = (dx < 0 ? -dx : dx) >= (dy < 0 ? -dy : dy);
    LineWalk w;
    w.Major0 = xMajor ? X1 : Y1;
    w.Minor0 = xMajor ? Y1 : X1;
    const int64_t major = xMajor ? dx : dy, minor = xMajor ? dy : dx;
    w.Long = major < 0 ? -major : major;
    w.Short = minor < 0 ? -minor : minor;
    w.MajorStep = major < 0 ? -1 : 1;
    w.MinorStep = minor < 0 ? -1 : 1;
    w.Err0 = w.Long / 2;
    const ImageRect &clip = c.Clip;
    int64_t first, end, minorFirst, minorEnd;
    StepsInside(w.Major0, w.MajorStep, xMajor ? clip.left : clip.top, xMajor ? clip.right : clip.bottom, &first, &end);
    StepsInside(w.Minor0, w.MinorStep, xMajor ? clip.top : clip.left, xMajor ? clip.bottom : clip.right, &minorFirst,
                &minorEnd);
    if (first < 0) first = 0;
    if (end > w.Long) end = w.Long;
    if (minorFirst > 0) {
        int64_t reach = FirstStepReaching(w, minorFirst);
        if (reach > first) first = reach;
    }
    int64_t leave = FirstStepReaching(w, minorEnd);
    if (leave < end) end = leave;
    if (first >= end) return 0;

    switch (c.Fam) {
        case FAMILY_565:
            WalkLine<F565>(c, w, xMajor, first, end);
            break;
        case FAMILY_565A:
            WalkLine<F565A>(c, w, xMajor, first, end);
            break;
        case FAMILY_XRGB:
            WalkLine<FXrgb>(c, w, xMajor, first, end);
            break;
        default:
            WalkLine<FArgb>(c, w, xMajor, first, end);
            break;
    }
    return 0;
}

int SoftDrawCircle(MEMIMG *Dest, int X, int Y, int Radius, unsigned int Color, int FillFlag)
{
    Canvas c;
    if (Radius < 0 || !OpenCanvas(c, Dest, Color)) return 0;
    CircleRingSpan *rows = ClearedSpanTable(c.Clip);
    if (rows == nullptr) return -1;
    TraceCircle(rows, c.Clip, X, Y, Radius, FillFlag ? TRACE_OUTER : TRACE_OUTLINE);
    DrawSpanRows(c, rows);
    return 0;
}

int SoftDrawCircleThickness(MEMIMG *Dest, int X, int Y, int Radius, unsigned int Color, int Thickness)
{
    Canvas c;
    if (!OpenCanvas(c, Dest, Color)) return 0;
    const CircleRingSpan *rows = RingSpanTable(c.Clip, X, Y, Radius, Thickness);
    if (rows == nullptr) return -1;
    DrawSpanRows(c, rows);
    return 0;
}

int SoftDrawQuadrangle(MEMIMG *Dest, int X1, int Y1, int X2, int Y2, int X3, int Y3, int X4, int Y4, unsigned int Color)
{
    Canvas c;
    if (!OpenCanvas(c, Dest, Color)) return 0;
    // The strip's two triangles (1, 2, 3) and (2, 3, 4) make the outline 1, 2, 4, 3.
    const double px[4] = {(double)X1, (double)X2, (double)X4, (double)X3};
    const double py[4] = {(double)Y1, (double)Y2, (double)Y4, (double)Y3};
    double minY = py[0], maxY = py[0];
    for (int i = 1; i < 4; ++i) {
        minY = py[i] < minY ? py[i] : minY;
        maxY = py[i] > maxY ? py[i] : maxY;
    }
    int top = (int)floor(minY) > c.Clip.top ? (int)floor(minY) : c.Clip.top;
    int bottom = (int)ceil(maxY) < c.Clip.bottom ? (int)ceil(maxY) : c.Clip.bottom;
    for (int y = top; y < bottom; ++y) {
        // Where the row's centre line crosses the outline; pixels whose centre lies between.
        double centre = y + 0.5, lo = 1e300, hi = -1e300;
        for (int i = 0; i < 4; ++i) {
            int j = (i + 1) % 4;
            if ((py[i] <= centre && centre < py[j]) || (py[j] <= centre && centre < py[i])) {
                double x = px[i] + (centre - py[i]) * (px[j] - px[i]) / (py[j] - py[i]);
                lo = x < lo ? x : lo;
                hi = x > hi ? x : hi;
            }
        }
        if (lo < hi) Span(c, y, (int)ceil(lo - 0.5), (int)ceil(hi - 0.5));
    }
    return 0;
}
