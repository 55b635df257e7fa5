// Inside the library: the graph handles' creation, lookup and transfers, the kept sources for the
// restore after a device loss, the software screens and the mask screen. The records themselves
// (graphs, image records, creation settings, kept sources) are what the Direct3D back ends read,
// declared in zovuz_graphics_backend.h. Never included from app/.
#pragma once

#include <stdint.h>

#include "zovuz/graphics/draw_state_internal.h"
#include "zovuz/graphics/image/memimg_internal.h"

// ---- Creation settings ------------------------------------------------------------------------

// ---- Kept sources ----------------------------------------------------------------------------

// ---- Graph handles: creation and lookup ----------------------------------------------------------

// The transparent colour as a pixel of a software image's family.
inline uint32_t SoftwareColorKey(uint32_t Color, int ColorType)
{
    if (ColorType != MEMIMG_COLORTYPE_565) return Color & 0xFFFFFF;
    uint32_t r = (Color >> 16) & 0xFF, g = (Color >> 8) & 0xFF, b = Color & 0xFF;
    return (r >> 3) << 11 | (g >> 2) << 5 | b >> 3;
}

// The handle type's callbacks (graphics start-up registers type 1 with them).
int InitializeGraphHandle(HandleInfo *Info);
int TerminateGraphHandle(HandleInfo *Info);

// The creation settings: the current ones, those of a draw-valid graph, those of a loaded image.
void InitGraphCreateParam(GraphCreateParam *Param);
void InitDrawValidGraphCreateParam(GraphCreateParam *Param, int BitDepth, int AlphaFlag);

// The current creation settings the setters change (InitGraphCreateParam reads them).
struct GraphCreateSettingsData
{
    int ColorBitDepth;   // word 1
    int TextureOption;   // word 5
    int DrawValidFlag;   // word 12 (SetDrawValidGraphCreateFlag)
    int FontCacheFlag;   // word 26
    int FontOptionByte;  // word 10
};
extern GraphCreateSettingsData GraphCreateSettings;

void SetupGraphFormatRequest(GraphFormatRequest *Request, const GraphCreateParam *Param, int Width, int Height,
                             int AlphaFlag, int PaletteFlag, int PaletteBits, int FormatId, int TextureFlag,
                             int MipOverride);

// Builds the image record of a new graph, its size and its drawing pieces. 0 / -1.
// ASyncThread: called on an asynchronous-load worker (the back end then works on the main thread).
int SetupGraphImage(const GraphCreateParam *Param, int GraphHandle, int Width, int Height, int TextureFlag,
                    int AlphaFlag, int PaletteFlag, int PaletteBits, int FormatId, int MipOverride, int ASyncThread);
// The software view or the hardware drawing pieces of a graph for its offset and size. 0 / -1.
int SetupGraphDrawPieces(int GraphHandle);

// A graph showing a rectangle of another; with FloatFlag the float position and size count.
int DeriveGraphHandle(int X, int Y, int Width, int Height, float XF, float YF, float WidthF, float HeightF,
                      int SrcGraphHandle, int FloatFlag);
int DeriveGraphCore(int GraphHandle, int X, int Y, int Width, int Height, float XF, float YF, float WidthF,
                    float HeightF, int SrcGraphHandle, int FloatFlag);

// A graph from an image: the image record from the image's format, then the whole image into it.
int SetupGraphFromBaseImage(const GraphCreateParam *Param, int GraphHandle, const BASEIMAGE *Image,
                            const BASEIMAGE *AlphaImage, int TextureFlag, int ASyncThread);

// The texture pieces of one side: how many, written to Sizes (room for GRAPH_TEXTURE_MAXNUM).
// MaxSize 0 = the device's maximum. 0 pieces when more would be needed.
int CalcTexturePieceSizes(int Size, int *Sizes, int FitAllowed, int ForceSplit, int MaxSize, int BlockCompressed);

// The graph's keep word: graphs it is positive for stay at the first pass of graphics' end.
int IsGraphKeptInFirstPass(GraphHandleData *Graph);

// ---- Transfers ----------------------------------------------------------------------------------

// The image from its point (X, Y) on into the graph; (X, Y) becomes the graph's source position.
int BltBaseImageToGraphWhole(const BASEIMAGE *Image, const BASEIMAGE *AlphaImage, int X, int Y, int GraphHandle,
                             int TransferOption2, int AcceptLoadingFlag);
// Rect of the image to (X, Y) of the graph.
int BltBaseImageToGraphAt(const BASEIMAGE *Image, const BASEIMAGE *AlphaImage, const ImageRect *Rect, int X, int Y,
                          int GraphHandle, int TransferOption2, int AcceptLoadingFlag);

// ---- Kept sources -------------------------------------------------------------------------------

// Replaces the graph's kept source: the given source (a file name, memory images, or images
// copied with their pixels), or ShareFrom's, or none. 0 / -1 (logged).
int KeepGraphSourceImage(int GraphHandle, const wchar_t *FileName, const void *Memory, int MemorySize,
                         const void *AlphaMemory, int AlphaMemorySize, const BASEIMAGE *Image,
                         const BASEIMAGE *AlphaImage, int Option1, int Option2, int ShareFrom, int AllowLoading);
// Drops the graph's reference to its kept source (the record goes with its last graph).
void ReleaseGraphSourceKeep(GraphHandleData *Graph);

// ---- Graphics start-up -------------------------------------------------------------------------

// The software screens of the screen size: 0, or -1 (logged) with what was made released.
int CreateTemporaryScreenMemImg(void);
void TerminateTemporaryScreenMemImg(void);

// Fills every graph that kept its source again from it (files loaded once for all their graphs);
// the restore callback while no other is set.
int RestoreAllGraphs(void);

// ---- The draw screen -------------------------------------------------------------------------

// The draw screen's own state beside the draw settings.
struct DrawScreenStateData
{
    int FlippingFlag;  // ScreenFlip runs
    int LockedFlag;    // LockDrawScreenBuffer holds a lock
    int WhiteGraph;    // the library's white graph, -1 until made
    // The last present, while the window still shows it, and the screen's write count just after
    // it. A flip that finds the count where the present left it has nothing new to show.
    int ShownFlag;
    uint32_t WritesShown;
};
extern DrawScreenStateData DrawScreenState;

// What software drawing writes into: the mask's work image while the mask is in effect, else the
// draw-target graph's image, else the screen.
MEMIMG *GetSoftwareDrawTarget(void);
// The draw target's own image: the draw-target graph's, else the screen. Each time it is the
// screen, the screen's change count goes up (SoftwareScreenData).
MEMIMG *GetSoftwareDrawTargetImage(void);
// 1 when software drawing would write the screen itself (no draw-target graph, no mask); the
// change count stays as it is.
int SoftwareDrawTargetIsScreen(void);
// 1 for the screen values that stand for a handle: -2, -3, -4 and -16.
int IsScreenValue(int DrawScreen);

// ---- The mask screen --------------------------------------------------------------------------

struct MaskScreenData
{
    int InitializeFlag;   // between InitializeMaskSystem and TerminateMaskSystem
    uint8_t *MaskBuffer;  // Pitch x Height bytes: 0 = drawing allowed; null when absent
    int Width, Height;
    int Pitch;          // Width rounded up to a multiple of 4
    int CreatedFlag;    // the mask screen was created (nothing in this system sets it)
    int HookCount;      // MaskDrawBegin / MaskDrawEnd nesting
    MEMIMG WorkImage;   // the software draw target while the mask is in effect
    int WorkImageFlag;  // WorkImage was made here
};
extern MaskScreenData MaskScreen;

// A Mask handle (type 7).
struct MaskHandleData
{
    HandleInfo Info;
    void *ImageBuffer;  // freed with the handle
};

int InitializeMaskSystem(void);
int TerminateMaskSystem(void);
int CreateMaskScreen(int CreateFlag, int Width, int Height);
int DeleteMaskScreen(void);
int MaskDrawBegin(int X1, int Y1, int X2, int Y2);
int MaskDrawEnd(int X1, int Y1, int X2, int Y2);
