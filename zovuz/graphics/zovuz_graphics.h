// ZoVuz graphics: the public API of the library's graphics, images and fonts.
//
// Images in memory (COLORDATA, BASEIMAGE and the calls on them) are the image room's: this header
// includes image/image_types.h and image/image_api.h.
#pragma once

#include <stdint.h>

#include "zovuz/graphics/image/image_api.h"
#include "zovuz/graphics/image/image_types.h"

// ---- Displays -----------------------------------------------------------------------------

struct DisplayRecordInfo;

// One display mode; all -1 for a mode that does not exist.
struct DISPLAYMODEDATA
{
    int Width, Height;
    int ColorBitDepth;  // bits per pixel
    int RefreshRate;    // Hz
};

// Modes listed for a display (16 bits or more), -1 for a display that does not exist.
int GetDisplayModeNum(int DisplayIndex);
// A listed mode, also written to *Mode when given; all -1 for an index out of range.
DISPLAYMODEDATA GetDisplayMode(DISPLAYMODEDATA *Mode, int ModeIndex, int DisplayIndex);

// Chooses the display used for the window and full screen (before or after start-up). 0, or -1
// for an index outside the display table (the display in use then stays).
int SetUseDisplayIndex(int Index);
// The display chosen by SetUseDisplayIndex, or 0 while none is (the library's start looks for the
// full-screen mode among its modes).
int GetUseDisplayIndex(void);

// The record of the display in use (display 0 until one is chosen). 0 / -1.
int GetUseDisplayRecord(DisplayRecordInfo *Record);

// Chooses the full-screen display mode for the current screen size and gives its size. 0 / -1.
int SelectFullScreenDisplayModeSize(int *Width, int *Height);

// ---- The vertical blank -------------------------------------------------------------------

// The DirectDraw object through which presents wait for the vertical blank: made at the start
// of the software renderer (and by the Direct3D 9 back end), released at its end. 0 / -1.
int DirectDraw7_Create(void);
int DirectDraw7_Release(void);
// The IDirectDraw7 object, or null.
void *DirectDraw7_GetObject(void);
// Measures the period of the vertical blank (at most 60 waits). 0.
int DirectDraw7_MeasureVSyncPeriod(void);
// Waits for the next vertical blank, sleeping until shortly before it. 0.
int DirectDraw7_WaitVSync(void);

// ---- Calls that other subsystems know by other names or shapes ------------------------------
//
// Each call has one name and one shape here, those of the graphics layer's own description:
// - ShrinkImageHalf: format, destination, destination pitch, source, source pitch, destination x,
//   y, source x, y, width, height (the Direct3D back ends pass the source before the destination
//   in their own description; they call this order);
// - SplitColor: bytes 2, 1, 0 of the value while a Direct3D back end is in use, the screen
//   format's masks (scaled to 0-255) on the software renderer;
// - SetColorData: nine arguments, without the extra 0 before the channel count;
// - the device capabilities: one record, GraphicsDeviceCaps (graphics_hardware.h);
// - the front-screen timer's procedure: FrontScreenTimerProc (graphics_hardware.h), shared by the
//   software renderer and both back ends.

struct HBITMAP__;

// Transfers a colour image and an optional alpha image into an existing graph at (X, Y): with
// BmpFlag the two GDI bitmaps (described by BmpColorData), else the two BASEIMAGEs. The source
// is kept for the restore after a device loss. 0, the transfer's failure code, or -1 before
// graphics start. (The Direct3D back ends call this "CreateGraphFromBitmap".)
int BltBmpOrBaseImageToGraph(const COLORDATA *BmpColorData, HBITMAP__ *RgbBmp, HBITMAP__ *AlphaBmp, int BmpFlag,
                             const BASEIMAGE *RgbImage, const BASEIMAGE *AlphaImage, int X, int Y, int GraphHandle);

// Locks Rect of a draw target for reading and describes its pixels as Image (the pixel pointer at
// the rectangle's first pixel): TargetHandle -1 = the current draw screen, else a graph (or a
// screen value); Surface and MipLevel choose the surface; TextureIndex the drawing piece of a
// graph held in several textures. 0, or -1 when the rectangle is not inside the target or the
// lock fails. UnlockDrawScreenBuffer ends the lock.
int LockDrawScreenBuffer(const ImageRect *Rect, BASEIMAGE *Image, int TargetHandle, int Surface, int MipLevel,
                         int ReadOnly, int TextureIndex);
int UnlockDrawScreenBuffer(void);

// ---- The draw state, the dispatch layer, shaders and lights ---------------------------------
// (These headers are part of this one: include zovuz_graphics.h, never them directly.)
#include "zovuz/graphics/graphics_hardware.h"
#include "zovuz/graphics/draw_state.h"
#include "zovuz/graphics/shader_light.h"
#include "zovuz/graphics/graph/graph_handle.h"
#include "zovuz/graphics/graph/graph_load.h"
#include "zovuz/graphics/draw_screen.h"
#include "zovuz/graphics/font/font.h"
#include "zovuz/graphics/draw_primitive.h"
#include "zovuz/graphics/font/string_draw.h"
// What the Direct3D back ends read and write of the front end: the draw settings, the screen, the
// graph, shader and buffer records (also part of this header).
#include "zovuz/graphics/zovuz_graphics_backend.h"
