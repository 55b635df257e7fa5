// The drawing front end's graph calls: a graph at a position, stretched, mirrored, cut out or on
// four free corners, and the batched rectangles of the string drawing.
#include <limits.h>
#include <string.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "zovuz/graphics/display_internal.h"
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

// The last graph copied onto the software screen pixel for pixel. A frame that shows what the one
// before showed (a window at rest: its draw screen stretched over the whole back screen sixty
// times a second) would copy the same pixels to the same place again; while nothing else has
// been drawn on the screen since, the copy is skipped, and the screen keeps what it holds.
struct ScreenCopyData
{
    int HeldFlag;            // a copy is remembered
    const MEMIMG *Source;    // the graph's image
    const uint8_t *Pixels;   // its first pixel then
    int Width, Height;       // its size then
    int Pitch;               // its row pitch then
    int X1, Y1, X2, Y2;      // where it went
    ImageRect DrawArea;      // the clip it went through
    uint32_t ScreenChanges;  // the screen's change count just after it
};

ScreenCopyData ScreenCopy = {};

size_t ImageRowBytes(const MEMIMG *Image) { return (size_t)Image->Width * GetMemImgPixelBytes(Image->Base); }

// Whether Bytes bytes at A and B are the same (the platform's memcmp goes byte by byte).
bool SameBytes(const uint8_t *A, const uint8_t *B, size_t Bytes)
{
    size_t i = 0;
#if defined(__SSE2__)
    for (; i + 64 <= Bytes; i += 64) {
        __m128i same =
            _mm_cmpeq_epi8(_mm_loadu_si128((const __m128i *)(A + i)), _mm_loadu_si128((const __m128i *)(B + i)));
        for (size_t k = 16; k < 64; k += 16)
            same = _mm_and_si128(same, _mm_cmpeq_epi8(_mm_loadu_si128((const __m128i *)(A + i + k)),
                                                      _mm_loadu_si128((const __m128i *)(B + i + k))));
        if (_mm_movemask_epi8(same) != 0xFFFF) return false;
    }
#endif
    return memcmp(A + i, B + i, Bytes - i) == 0;
}

bool SameArea(const ImageRect &A, const ImageRect &B)
{
    return A.left == B.left && A.top == B.top && A.right == B.right && A.bottom == B.bottom;
}

// The pixels of Image's row Y.
const uint8_t *ImageRow(const MEMIMG *Image, int Y) { return Image->UseImage + (size_t)Image->Base->Pitch * Y; }

// When drawing Source from (X1, Y1) to (X2, Y2) now would repeat the remembered copy but for some
// of its rows: the first and last source rows that differ from the copy's (none, First > Last: the
// draw repeats it whole). False when the draw is no repeat at all. Only the part of the source the
// draw area lets through is compared (a window smaller than the screen shows a corner of a graph
// stretched over all of it): the rest is not drawn, and the copy's rows matter only under the same
// draw area.
bool ChangedRowsSinceScreenCopy(const SoftImageSource &Source, int X1, int Y1, int X2, int Y2, int *First, int *Last)
{
    const ScreenCopyData &c = ScreenCopy;
    const MEMIMG *image = Source.Image;
    if (!c.HeldFlag || c.ScreenChanges != SoftwareScreen.Changes || !SoftwareDrawTargetIsScreen()) return false;
    if (image != c.Source || !CheckValidMemImg(image) || image->UseImage != c.Pixels || image->Width != c.Width ||
        image->Height != c.Height || image->Base->Pitch != c.Pitch)
        return false;
    if (X1 != c.X1 || Y1 != c.Y1 || X2 != c.X2 || Y2 != c.Y2 || !SameArea(MemImgManage.DrawArea, c.DrawArea))
        return false;
    if (!SoftDrawImageCopies(&SoftwareScreen.Screen, &Source)) return false;
    const size_t row = ImageRowBytes(image);
    const uint8_t *rows = (const uint8_t *)DrawWorkBuffer.ScreenCopyRows;
    if (rows == nullptr || (size_t)DrawWorkBuffer.ScreenCopyRowsSize < row * image->Height) return false;
    ImageRect part;
    if (!SoftImageSourcePart(&SoftwareScreen.Screen, image, X1, Y1, X2, Y2, &part)) {
        *First = 1, *Last = 0;  // nothing of it shows
        return true;
    }
    const size_t pixel = (size_t)GetMemImgPixelBytes(image->Base), from = pixel * part.left;
    const size_t bytes = pixel * (part.right - part.left);
    auto same = [&](int y) { return SameBytes(rows + row * y + from, ImageRow(image, y) + from, bytes); };
    int first = part.top, last = part.bottom - 1;
    while (first <= last && same(first)) ++first;
    while (last > first && same(last)) --last;
    *First = first;
    *Last = last;
    return true;
}

// Keeps source rows First to Last of Image as the copy's.
void KeepScreenCopyRows(const MEMIMG *Image, int First, int Last)
{
    const size_t row = ImageRowBytes(Image);
    uint8_t *rows = (uint8_t *)DrawWorkBuffer.ScreenCopyRows;
    for (int y = First; y <= Last; ++y) memcpy(rows + row * y, ImageRow(Image, y), row);
}

// Remembers a draw onto Target that has just been made, when it was a copy onto the screen.
void RememberScreenCopy(const MEMIMG *Target, const SoftImageSource &Source, int X1, int Y1, int X2, int Y2)
{
    if (Target != &SoftwareScreen.Screen) return;  // the screen's change count stands for the rest
    ScreenCopyData &c = ScreenCopy;
    c.HeldFlag = 0;
    const MEMIMG *image = Source.Image;
    if (!SoftDrawImageCopies(Target, &Source)) return;
    const size_t bytes = ImageRowBytes(image) * image->Height;
    DrawWorkBufferData &w = DrawWorkBuffer;
    if (bytes > INT_MAX || GrowDrawWorkBuffer(&w.ScreenCopyRows, &w.ScreenCopyRowsSize, (int)bytes) == nullptr) return;
    KeepScreenCopyRows(image, 0, image->Height - 1);
    c.Source = image;
    c.Pixels = image->UseImage;
    c.Width = image->Width;
    c.Height = image->Height;
    c.Pitch = image->Base->Pitch;
    c.X1 = X1, c.Y1 = Y1, c.X2 = X2, c.Y2 = Y2;
    c.DrawArea = MemImgManage.DrawArea;
    c.ScreenChanges = SoftwareScreen.Changes;
    c.HeldFlag = 1;
}

// Draws again only the screen rows that show source rows First to Last of the remembered copy:
// the rest of the screen already shows what the draw would put there.
int RedrawScreenCopyRows(const SoftImageSource &Source, int X1, int Y1, int X2, int Y2, int First, int Last)
{
    MEMIMG *target = GetSoftwareDrawTarget();
    MemImgManageData &m = MemImgManage;
    const ImageRect area = m.DrawArea;
    ImageRect band = {area.left, 0, area.right, 0};
    const int top = Y1 < Y2 ? Y1 : Y2, bottom = Y1 < Y2 ? Y2 : Y1;
    const int from = top > area.top ? top : area.top, to = bottom < area.bottom ? bottom : area.bottom;
    bool inside = false;
    for (int y = from; y < to; ++y) {
        const int row = SoftImageSourceRow(y, Y1, Y2, Source.Image->Height);
        if (row < First || row > Last) {
            if (inside) break;
            continue;
        }
        if (!inside) band.top = y;
        band.bottom = y + 1;
        inside = true;
    }
    int result = 0;
    if (inside) {
        m.DrawArea = band;
        result = SoftDrawImage(target, X1, Y1, X2, Y2, &Source);
        m.DrawArea = area;
    }
    if (result == 0) {
        KeepScreenCopyRows(Source.Image, First, Last);
        ScreenCopy.ScreenChanges = SoftwareScreen.Changes;
    } else {
        ScreenCopy.HeldFlag = 0;
    }
    return result;
}

// The last draw-valid graph the device copied onto the back screen. The device's idle frame
// (its draw screen stretched over the whole back screen sixty times a second) would draw the
// same again; while nothing else was written on the back screen since, the draw settings are
// the same and the graph reads back the same pixels, the copy is skipped. The graph's pixels are
// kept in DrawWorkBuffer.DeviceCopyPixels.
struct DeviceScreenCopyData
{
    int HeldFlag;                       // a copy is remembered
    int PixelsHeldFlag;                 // the kept pixels are the graph's as last read
    int GraphHandle;                    // the graph
    float X1, Y1, X2, Y2;               // where it went
    int TransFlag, IntFlag;             // how
    GraphicsDrawSettingsData Settings;  // the draw settings it went with
    uint32_t ScreenWrites;              // the back screen's write count just after it
    int Width, Height;                  // the size its pixels were kept at
};

DeviceScreenCopyData DeviceScreenCopy = {};

// Whether a device draw of Graph could be a repeat worth checking: a single-texture draw-valid
// graph drawn onto the back screen, without a blend graph, while no lock is held.
bool DeviceCopyCandidate(const GraphHandleData *Graph)
{
    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    return Graph->Image->Format.DrawValidFlag && Graph->Image->TextureNum == 1 && d.RenderTarget[0] == DX_SCREEN_BACK &&
           d.BlendGraph <= 0 && !DrawScreenState.LockedFlag;
}

// Reads Graph's pixels back and compares them with the kept ones, keeping what it read: 1 the
// same, 0 different (or nothing kept before), -1 when they cannot be read (nothing is kept then).
int ReadBackAndCompare(int GraphHandle, const GraphHandleData *Graph)
{
    DeviceScreenCopyData &c = DeviceScreenCopy;
    const bool held = c.PixelsHeldFlag && c.Width == Graph->Width && c.Height == Graph->Height;
    c.PixelsHeldFlag = 0;
    const ImageRect whole = {0, 0, Graph->Width, Graph->Height};
    BASEIMAGE image;
    if (LockDrawScreenBuffer(&whole, &image, GraphHandle, 0, 0, 1, 0) < 0) return -1;
    const size_t row = (size_t)image.Width * image.ColorData.PixelBytes, bytes = row * image.Height;
    DrawWorkBufferData &w = DrawWorkBuffer;
    if (row == 0 || bytes > INT_MAX ||
        GrowDrawWorkBuffer(&w.DeviceCopyPixels, &w.DeviceCopyPixelsSize, (int)bytes) == nullptr) {
        UnlockDrawScreenBuffer();
        return -1;
    }
    uint8_t *kept = (uint8_t *)w.DeviceCopyPixels;
    bool same = held;
    for (int y = 0; y < image.Height; ++y) {
        const uint8_t *pixels = (const uint8_t *)image.Pixels + (size_t)image.Pitch * y;
        if (same && SameBytes(kept + row * y, pixels, row)) continue;
        same = false;
        memcpy(kept + row * y, pixels, row);
    }
    UnlockDrawScreenBuffer();
    c.Width = Graph->Width;
    c.Height = Graph->Height;
    c.PixelsHeldFlag = 1;
    return same ? 1 : 0;
}

// Whether the device draw of Graph from (X1, Y1) to (X2, Y2) would repeat the remembered copy
// onto a back screen that still shows it. The graph is read back only when all else agrees;
// *Read tells that it was (its kept pixels are then the current ones).
bool RepeatsDeviceScreenCopy(int GraphHandle, const GraphHandleData *Graph, float X1, float Y1, float X2, float Y2,
                             int TransFlag, int IntFlag, bool *Read)
{
    const DeviceScreenCopyData &c = DeviceScreenCopy;
    *Read = false;
    uint32_t writes;
    if (!c.HeldFlag || GetScreenWriteCount(&writes) < 0 || writes != c.ScreenWrites || GraphHandle != c.GraphHandle ||
        X1 != c.X1 || Y1 != c.Y1 || X2 != c.X2 || Y2 != c.Y2 || TransFlag != c.TransFlag || IntFlag != c.IntFlag ||
        memcmp(&GraphicsDrawSettings, &c.Settings, sizeof c.Settings) != 0)
        return false;
    const int same = ReadBackAndCompare(GraphHandle, Graph);
    *Read = same >= 0;
    return same == 1;
}

// Remembers a device copy of Graph onto the back screen that has just been made: where, how,
// the back screen's write count after it and the graph's pixels (read back unless just read).
void RememberDeviceScreenCopy(int GraphHandle, const GraphHandleData *Graph, float X1, float Y1, float X2, float Y2,
                              int TransFlag, int IntFlag, bool PixelsRead)
{
    DeviceScreenCopyData &c = DeviceScreenCopy;
    c.HeldFlag = 0;
    if (!PixelsRead && ReadBackAndCompare(GraphHandle, Graph) < 0) return;
    if (GetScreenWriteCount(&c.ScreenWrites) < 0) return;
    c.GraphHandle = GraphHandle;
    c.X1 = X1, c.Y1 = Y1, c.X2 = X2, c.Y2 = Y2, c.TransFlag = TransFlag, c.IntFlag = IntFlag;
    memcpy(&c.Settings, &GraphicsDrawSettings, sizeof c.Settings);
    c.HeldFlag = 1;
}

// The device path of a graph call that copies a whole graph: Draw makes the draw, unless it
// would repeat the last copy onto the back screen. Draws onto anything else leave the copy
// remembered: whatever they change on the back screen, its write count tells.
template <class Draw>
int DeviceDrawGraphImage(int GraphHandle, const GraphHandleData *Graph, float X1, float Y1, float X2, float Y2,
                         int TransFlag, int IntFlag, Draw draw)
{
    if (!DeviceCopyCandidate(Graph)) return draw();
    bool read = false;
    if (RepeatsDeviceScreenCopy(GraphHandle, Graph, X1, Y1, X2, Y2, TransFlag, IntFlag, &read)) return 0;
    const int result = draw();
    if (result == 0) RememberDeviceScreenCopy(GraphHandle, Graph, X1, Y1, X2, Y2, TransFlag, IntFlag, read);
    return result;
}

// The software path of the graph calls: the graph's image from (X1, Y1) to (X2, Y2).
int SoftDrawGraphImage(GraphHandleData *Graph, int X1, int Y1, int X2, int Y2, int TransFlag)
{
    SoftImageSource source = GraphImageSource(&Graph->SoftImage, TransFlag);
    int first, last;
    if (ChangedRowsSinceScreenCopy(source, X1, Y1, X2, Y2, &first, &last))
        return first > last ? 0 : RedrawScreenCopyRows(source, X1, Y1, X2, Y2, first, last);
    MEMIMG *target = GetSoftwareDrawTarget();
    int result = SoftDrawImage(target, X1, Y1, X2, Y2, &source);
    if (result == 0) RememberScreenCopy(target, source, X1, Y1, X2, Y2);
    return result;
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
        if (!device) return SoftDrawGraphImage(graph, X, Y, X + graph->Width, Y + graph->Height, TransFlag);
        return DeviceDrawGraphImage(
            GraphHandle, graph, XF, YF, XF + graph->Width, YF + graph->Height, TransFlag, IntFlag,
            [&] { return Graphics_Hardware_DrawGraph(X, Y, XF, YF, graph, blend, TransFlag, IntFlag); });
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
        if (!device) return SoftDrawGraphImage(graph, X1, Y1, X2, Y2, TransFlag);
        return DeviceDrawGraphImage(GraphHandle, graph, X1F, Y1F, X2F, Y2F, TransFlag, IntFlag, [&] {
            return Graphics_Hardware_DrawExtendGraph(X1, Y1, X2, Y2, X1F, Y1F, X2F, Y2F, graph, blend, TransFlag,
                                                     IntFlag);
        });
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
