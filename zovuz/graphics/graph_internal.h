// Inside the library: the graph handles' records, their creation settings and the image records
// behind them, the kept sources for the restore after a device loss, the software screens and the
// mask screen. The Direct3D back ends read these records; never included from app/.
#pragma once

#include <stdint.h>

#include "zovuz/graphics/draw_state_internal.h"

// ---- Creation settings ------------------------------------------------------------------------

// The creation settings of one graph, filled from the current settings by InitGraphCreateParam.
// Each field is one of the 27 words in their order; the words the system never changes stay 0.
struct GraphCreateParam
{
    int TransColor;              // 0: transparent colour 0x00RRGGBB
    int ColorBitDepth;           // 1: 0 = the screen's depth
    int FloatTypeFlag;           // 2: floating-point pixels (read only with ChannelNum >= 1)
    int ChannelNum;              // 3: channel count
    int ChannelBitDepth;         // 4: bits per channel
    int TextureOption;           // 5: texture option passed into the request
    int AlphaChannelFlag;        // 6: an alpha channel
    int CubeMapFlag;             // 7: six faces
    int BlendImageFlag;          // 8: (no blend images)
    int TextureOptionByte;       // 9: option byte copied into the request
    int FontOptionByte;          // 10: option byte the font module sets
    int OptionByte11;            // 11: option byte copied into the request
    int DrawValidFlag;           // 12: the graph can be drawn into (render target)
    int DrawValidAlphaFlag;      // 13: alpha of a draw-valid graph
    int DrawValidFloatTypeFlag;  // 14: floating-point pixels of a draw-valid graph
    int DrawValidZBufferFlag;    // 15: a Z buffer for a draw-valid graph
    int DrawValidMipLevels;      // 16: (one mip level for draw-valid graphs)
    int DrawValidChannelNum;     // 17: channel count of a draw-valid graph
    int ZBufferBitDepth;         // 18: 24 or 32, else the default
    int DrawTargetOption;        // 19: (no draw-target options)
    int Word20;                  // 20: (unused)
    int MipLevels;               // 21: -1 the full chain, 0 one level, else the count
    int MaxTextureSize;          // 22: 0 = the device's maximum
    int Word23;                  // 23: set by the two fillers
    int NotLoadAlphaImageFlag;   // 24: the image loaders look for no alpha image
    int NotUsePaletteFlag;       // 25: (palette textures allowed)
    int FontCacheFlag;           // 26: copied into the graph
};
static_assert(sizeof(GraphCreateParam) == 27 * 4, "27 words");

// What a graph's image is made of, built by SetupGraphFormatRequest.
struct GraphFormatRequest
{
    uint8_t HardwareFlag;  // hardware rendering is in use
    uint8_t CubeMapFlag;
    uint8_t AlphaChannelFlag;
    uint8_t DrawValidFlag;  // render target
    uint8_t DrawTargetOption;
    uint8_t PaletteFlag;        // the caller's palette flag
    uint8_t PaletteBits;        // hardware palette textures: 4 or 8
    uint8_t FormatId;           // the caller's format byte: 0, or 1-9 (1-5 DXT1-DXT5)
    uint8_t TextureFlag;        // made as a texture (MakeGraph's !notUse3D)
    uint8_t TextureOptionByte;  // words 9, 10 and 11
    uint8_t FontOptionByte;
    uint8_t OptionByte11;
    uint8_t FloatTypeFlag;
    int ColorBitDepth;
    int ChannelNum, ChannelBitDepth;
    int MipLevels;
    int TextureOption;    // word 5
    uint32_t TransColor;  // software: the transparent colour
};

// ---- Image records ------------------------------------------------------------------------------

#define GRAPH_TEXTURE_MAXNUM 256  // textures of one image record
#define GRAPH_DRAW_PIECE_ROOM 4   // drawing pieces a graph record holds before it is resized

// Pixel formats of software image records.
#define GRAPH_SOFT_FORMAT_RGB16 49
#define GRAPH_SOFT_FORMAT_ALPHA_RGB16 50
#define GRAPH_SOFT_FORMAT_RGB32 51
#define GRAPH_SOFT_FORMAT_ALPHA_RGB32 52

// One device texture of a hardware image record.
struct GraphTextureEntry
{
    GraphicsBackendObjectData *PF;  // the back end's texture objects (in the record's allocation)
    int X, Y;                       // where the texture's pixels start in the image
    int Width, Height;              // the part of the image it holds (clipped to the image)
    int TexWidth, TexHeight;        // the texture's own size
};

// The pixels behind one or more graphs (a divided image's pieces, derived graphs). A hardware
// record is one allocation: this head, the texture entries, then one back-end part per entry.
struct GraphImageRecord
{
    int RefCount;         // graphs that use it
    int PixelFormat;      // hardware: pixel-format table index; software: 49-52
    uint32_t TransColor;  // 0x00RRGGBB
    GraphFormatRequest Format;
    int Width, Height;           // the whole image
    int ZBufferFlag;             // draw-target graphs with a Z buffer
    int ZBufferBitDepthIndex;    // 24 -> 1, 32 -> 2, else 0
    int MipLevels;               // hardware
    int TextureNum;              // hardware
    GraphTextureEntry *Texture;  // hardware: TextureNum entries after this head
    MEMIMG SoftImage;            // software: the whole image
};

// One texture's part of a hardware graph, as the graph draws it.
struct GraphDrawPieceVertex
{
    float x, y;  // inside the graph
    float u, v;  // texture coordinates
};
struct GraphDrawPiece
{
    int DrawX, DrawY;  // where the piece starts inside the graph
    float DrawXF, DrawYF;
    int UsePosX, UsePosY;  // where it starts inside its texture
    float UsePosXF, UsePosYF;
    int Width, Height;
    float WidthF, HeightF;
    GraphDrawPieceVertex Vertex[4];  // top left, top right, bottom left, bottom right
    uint8_t VertexOnDiagonal[4];     // on or above the graph's bottom-left to top-right diagonal
    GraphTextureEntry *Texture;
};

// ---- Kept sources ----------------------------------------------------------------------------

// The source of one or more graphs, kept to fill them again after a device loss. One allocation:
// this head, then the file name, the images with their pixels and the memory images it points at.
struct GraphSourceKeep
{
    wchar_t *FileName;      // or null
    BASEIMAGE *Image;       // a copy, or null
    BASEIMAGE *AlphaImage;  // a copy, or null
    void *Memory;           // a copy of a memory image, or null
    int MemorySize;
    void *AlphaMemory;  // a copy of its alpha image, or null
    int AlphaMemorySize;
    int Option1, Option2;  // the loader options: mirror, and the alpha image's source
    int RefCount;          // graphs that keep it
};

// ---- Graph handles ---------------------------------------------------------------------------

struct GraphHandleData
{
    HandleInfo Info;
    int *LostFlag;            // set to 1 when the graph is deleted (SetGraphLostFlag)
    int MovieHandle;          // the movie that feeds the graph, -1 = none
    GraphSourceKeep *Source;  // kept source, or null
    int SourceX, SourceY;     // this graph's position inside its kept source image
    float SourceXF, SourceYF;
    GraphImageRecord *Image;
    int OffsetX, OffsetY;  // this graph's position inside the record's image
    float OffsetXF, OffsetYF;
    int Width, Height;
    float WidthF, HeightF;
    void *WorkBuffer[2];                          // freed with the graph
    int FontCacheFlag;                            // a font's glyph cache (kept at the first pass of the end)
    int InternalFlag;                             // made by the library for itself
    int FloatPositionFlag;                        // derived with float positions
    MEMIMG SoftImage;                             // software: a view of the record's image at the offset and size
    int PieceNum;                                 // hardware: drawing pieces
    GraphDrawPiece Piece[GRAPH_DRAW_PIECE_ROOM];  // more when the record was resized for them
};

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
void InitLoadGraphParam(GraphCreateParam *Param, int BitDepth, int AlphaFlag, int Option5);

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

int MakeGraphWithCreateParam(const GraphCreateParam *Param, int Width, int Height, int NotUse3DFlag, int PaletteFlag,
                             int PaletteBits, int ASyncFlag, int ASyncThread);
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
// Both sides halved once per level (integer division), never below 1.
void CalcMipLevelSize(int Width, int Height, int Level, int *OutWidth, int *OutHeight);

// Deletes every live graph the library made for itself (after a device reset).
int DeleteInternalGraphs(void);
// The graph's keep word: graphs it is positive for stay at the first pass of graphics' end.
int IsGraphKeptInFirstPass(GraphHandleData *Graph);

// ---- Transfers ----------------------------------------------------------------------------------

// One texture's part of an image, for the clip of a transfer against it.
struct GraphTransferPiece
{
    int X, Y;        // its position in the full image
    int TexX, TexY;  // its offset inside the texture
    int Width, Height;
};

// The part of a Width x Height area at (DestX, DestY) that a piece holds: the rectangle inside
// the texture (offset added) and inside the area (origin added); with BlockCompressed every value
// rounded up to a multiple of 4. 0, or -1 when they do not overlap.
int CalcTextureTransferRect(const GraphTransferPiece *Piece, int OriginX, int OriginY, int Width, int Height, int DestX,
                            int DestY, ImageRect *TexRect, ImageRect *ImageRectOut, int BlockCompressed);
// The same against a drawing piece of a graph: Source inside the area, Dest inside the texture
// shifted by (OffsetX, OffsetY).
int CalcDrawPartTransferRect(const GraphDrawPiece *Piece, int OffsetX, int OffsetY, int Width, int Height, int X, int Y,
                             ImageRect *SourceRect, ImageRect *DestRect, int BlockCompressed);

// Moves SrcRect of Image (and AlphaImage) to (DestX, DestY) of the graph: graph coordinates, or
// with WholeFlag those of the graph's whole image. 0 (also when nothing is left) / -1.
int BltBaseImageToGraph(const ImageRect *SrcRect, int DestX, int DestY, int GraphHandle, const BASEIMAGE *Image,
                        const BASEIMAGE *AlphaImage, int TransferOption1, int TransferOption2, int WholeFlag,
                        int AcceptLoadingFlag);
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

// Three shared buffers that only grow: the buffer of at least Size bytes, or null for an index
// outside 0-2 or no memory (the buffer then stays as it was).
void *ReserveWorkBuffer(int Index, int Size);
void ReleaseWorkBuffers(void);

// ---- The draw screen -------------------------------------------------------------------------

// The draw screen's own state beside the draw settings.
struct DrawScreenStateData
{
    int FlippingFlag;  // ScreenFlip runs
    int LockedFlag;    // LockDrawScreenBuffer holds a lock
    int WhiteGraph;    // the library's white graph, -1 until made
};
extern DrawScreenStateData DrawScreenState;

// What software drawing writes into: the mask's work image while the mask is in effect, else the
// draw-target graph's image, else the screen.
MEMIMG *GetSoftwareDrawTarget(void);
// The draw target's own image: the draw-target graph's, else the screen.
MEMIMG *GetSoftwareDrawTargetImage(void);
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
int ReCreateMaskScreen(void);
int ReleaseMaskScreen(void);
int MaskDrawBegin(int X1, int Y1, int X2, int Y2);
int MaskDrawEnd(int X1, int Y1, int X2, int Y2);
