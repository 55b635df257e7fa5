// Inside the graphics layer: the steps every drawing call goes through on its way from the front
// end to the software drawers or the back end (the draw area narrowed and put back, the empty-area
// and inactive-window step, the 2D projection, a movie graph's frame, the mask-screen and
// subtractive-blend hooks around the draw), and the work buffers that drawing grows. Never
// included from app/.
#pragma once

#include <stdint.h>

#include "zovuz/graphics/zovuz_graphics_backend.h"

// ---- Steps ---------------------------------------------------------------------------------------

// The draw area narrowed for one draw and put back after it (the software renderer's too).
struct DrawAreaSave
{
    ImageRect Area;
    float AreaF[4];
};
// Narrows the draw area to Area within the current one: 1, or 0 (nothing changed) when that
// leaves no pixel.
int NarrowDrawArea(ImageRect Area, DrawAreaSave *Save);
// Puts the saved area back: through SetDrawArea while the mask is in effect, else as it was.
void RestoreDrawArea(const DrawAreaSave *Save);

// The draw-area and inactive-window steps of every drawing call: 0 when the draw area is empty
// (the call draws nothing and returns 0), else 1 after waiting for an active window.
int DrawAreaVisible(void);
// With a device, makes the 2D projection current (the batch drawn first).
void MakeTransform2DCurrent(void);
// A graph that shows a movie first advances the movie's frame.
void AdvanceGraphMovie(GraphHandleData *Graph);

// What BeginDrawHooks started: the subtractive-blend emulation (a device without subtractive
// blending drawing in blend mode 3) and the mask screen, over a rectangle.
struct DrawHookState
{
    int Emulate;     // the emulation's white boxes bracket the draw
    int Mask;        // the mask screen brackets the draw
    ImageRect Rect;  // the primitive's bounds clamped into the draw area
    int BlendParam;  // the caller's blend parameter
};
// Bounds: the primitive's bounding rectangle; DeviceDraws: a device draws this primitive.
DrawHookState BeginDrawHooks(ImageRect Bounds, int DeviceDraws);
void EndDrawHooks(const DrawHookState *State);

// Runs Draw (the primitive through the dispatch layer or a software drawer) inside the hooks that
// are in effect; Draw's result.
template <class DrawFunction>
inline int DrawThroughHooks(ImageRect Bounds, int DeviceDraws, DrawFunction Draw)
{
    DrawHookState state = BeginDrawHooks(Bounds, DeviceDraws);
    int result = Draw();
    EndDrawHooks(&state);
    return result;
}

// 1 when the draw bright is white (nothing is tinted).
inline bool DrawBrightIsWhite(const GraphicsDrawSettingsData &d)
{
    return d.DrawBrightRed == 255 && d.DrawBrightGreen == 255 && d.DrawBrightBlue == 255;
}

// Each corner of Rect kept inside the draw area.
ImageRect ClampIntoDrawArea(ImageRect Rect);

// ---- Work buffers ------------------------------------------------------------------------------

// The drawing calls' buffers that only grow (freed at graphics' end).
struct DrawWorkBufferData
{
    void *SpanTable;    // the ring span table
    int SpanTableSize;  // bytes
    void *SourceMap;    // a stretched image's source column per target column
    int SourceMapSize;
    void *VertexCopy;  // user vertices with the draw bright and blend applied
    int VertexCopySize;
    void *ScreenCopyRows;  // the rows of the graph last copied onto the screen, as they were then
    int ScreenCopyRowsSize;
    void *DeviceCopyPixels;  // the pixels of the graph the device last copied onto the back screen
    int DeviceCopyPixelsSize;
};
extern DrawWorkBufferData DrawWorkBuffer;
// The buffer *Buffer of at least Size bytes (grown as needed), or null (the old one then stays).
void *GrowDrawWorkBuffer(void **Buffer, int *BufferSize, int Size);
void ReleaseDrawWorkBuffers(void);

// Frees the three shared work buffers (ReserveWorkBuffer, zovuz_graphics_backend.h).
void ReleaseWorkBuffers(void);
