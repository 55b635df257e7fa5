// Inside the library: the framework of the filters' hardware passes, shared by the Direct3D 9 and
// Direct3D 11 passes.
//
// - The shader-slot table: one slot of GraphFilterShaderHandles per shader variant, and its file
//   name on each back end.
// - Begin (the Direct3D 11 and software rule), SetupPass with the parity rule and the source copy,
//   the work textures cached by size, the final copy and the shaders made by file name.
//
// The decisions are plain code over FilterPassTarget records; the calls at the bottom (describe a
// handle, make a graph, copy pieces, make a shader) go through FilterPassDeviceCalls, which a test
// replaces with a fake handle model. Main thread, under the library's API lock.
#pragma once

#include "zovuz/filter/graph_filter_internal.h"

// ---- Shader slots --------------------------------------------------------------------------------

// The slots of GraphFilterShaderHandles::Shader, in the order of the file-name table. Each "_PMA"
// variant sits right after its plain one.
enum FilterShaderSlot {
    FILTER_SLOT_MONO = 0,
    FILTER_SLOT_GAUSS = 1,          // 8, 16, 32 pixels
    FILTER_SLOT_DOWN_SCALE = 4,     // x2, x4, x8
    FILTER_SLOT_BRIGHT_CLIP = 7,    // + PMA + (fill + 2 x greater) x 2
    FILTER_SLOT_BRIGHT_SCALE = 15,  // + PMA
    FILTER_SLOT_HSB = 17,           // + PMA + k x 2 (Direct3D 11: k = type)
    FILTER_SLOT_INVERT = 23,        // + PMA
    FILTER_SLOT_LEVEL = 25,         // + PMA
    FILTER_SLOT_TWO_COLOR = 27,     // + PMA
    FILTER_SLOT_GRADIENT_MAP = 29,  // + PMA + reverse x 2
    FILTER_SLOT_PREMUL_ALPHA = 33,
    FILTER_SLOT_INTERP_ALPHA = 34,
    FILTER_SLOT_YUV = 35,  // + (RRA ? 2 : 0) + (chroma graph ? 1 : 0)
    FILTER_SLOT_BICUBIC = 39,
    FILTER_SLOT_LANCZOS3 = 40,
    FILTER_SLOT_BLEND = 41,      // + blend type's shader number (0-31)
    FILTER_SLOT_MIX_READY = 73,  // + PMA + (a + (b + (g + r x 4) x 4) x 4) x 2: 512 code-table shaders
    FILTER_SLOT_MIX_GREY = 585,  // + PMA + ((a - 4) + r x 4) x 2: one colour channel to grey
    FILTER_SLOT_MIX_RGB = 609,   // + PMA + (a - 4) x 2: the colour kept, alpha from the other graph
    FILTER_SLOT_MIX_BASE = 617,  // + PMA: selectors from constants
    FILTER_SLOT_END = 619,
};
static_assert(FILTER_SLOT_END <= GRAPH_FILTER_SHADER_SLOT_NUM, "the table holds every variant");

// Shader files of the filter archive by slot, per back end (GRAPHICS_API_D3D9 or GRAPHICS_API_D3D11).
// Null for a slot without a file (the ready channel-mix shaders, the blend types that are the channel
// mix, the Direct3D 11 HSB slots beyond its four names) and for a slot out of range.
const char *FilterShaderFileName(int APIType, int Slot);
// The blend shader's number (0-31) of a GraphBlendType, or -1 for the channel mix (1, 18).
int FilterBlendShaderNumber(int BlendType);
// The file name of a named channel-mix shader: "RGBAMix_S%sS%sS%sB%s%s.pso" with the letters of the
// selectors r, g, b (0-3), the blend side's alpha letter (0-3) and "_PMA" or nothing.
void FilterChannelMixName(char *Out, int OutSize, int Red, int Green, int Blue, int BlendAlpha, int Pma);

// The variant slots the passes choose (the same on both back ends but for HSB).
int FilterGaussSlot(int PixelWidth);                           // 8, 16, 32; any other width the first
int FilterDownScaleSlot(int Ratio);                            // 2, 4, 8
int FilterBrightClipSlot(int Compare, int FillFlag, int Pma);  // compare 5 greater, else less
int FilterHsbSlot(int APIType, int Type, int PassIndex, int Pma);
int FilterGradientMapSlot(int Reverse, int Pma);
int FilterYuvSlot(int FilterId, int HasChromaGraph);

// The shader choice of a channel mix, after the graphs are swapped as the choice asks.
struct FilterChannelMixChoice
{
    int Slot;         // shader slot
    int Ready;        // 1: the slot's code comes from the back end's code table, index ReadyIndex
    int ReadyIndex;   // 0-511
    int Swap;         // 1: the source and blend graphs trade places for the pass
    int Selector[4];  // the selectors as the shader's constants give them, relative to the swap
    char Name[64];    // the file name, "" for a ready shader
};
void ChooseFilterChannelMix(int Red, int Green, int Blue, int Alpha, int Pma, FilterChannelMixChoice *Out);

// ---- The calls at the bottom ---------------------------------------------------------------------

// What a pass needs to know of a source or a destination.
struct FilterPassTarget
{
    int IsShadowMap;                  // else a graph
    int DrawValid;                    // a graph that can be drawn into
    int FloatFlag, FloatBits;         // the format class: float flag, and 16 or 32 for a float
    int Width, Height;                // the graph's (shadow map's) size
    int TextureWidth, TextureHeight;  // GetGraphTextureSize
    int OneTextureAtOrigin;           // one texture piece, at the texture's origin
};

// Filled by member name; the library's own calls by default. A test replaces entries and puts
// the defaults back with ResetFilterPassDeviceCalls.
struct FilterPassDeviceCalls
{
    // 1 when the passes draw with pixel shaders (FilterUsesShaders).
    int (*UsesShaders)(void);
    // 0 with Out filled, or -1 when the handle is neither a graph nor a shadow map.
    int (*DescribeTarget)(int APIType, int Handle, FilterPassTarget *Out);
    // A Width x Height draw-valid graph of 32-bit colour with alpha (or of float channels). Handle
    // or -1.
    int (*MakeWorkGraph)(int APIType, int FloatFlag, int Bits, int Width, int Height);
    // Registers Slot as the handle's delete notify (null clears it).
    int (*WatchHandle)(int Handle, int *Slot);
    // Deletes a handle. 0 / -1.
    int (*DeleteHandle)(int Handle);
    // Copies every texture piece of SrcGraph into WorkGraph at the piece's position. 0 / -1.
    int (*CopyPieces)(int APIType, int SrcGraph, int WorkGraph);
    // BltRectGraphToGraph of (X1, Y1)-(X2, Y2) to (DestX, DestY); piece by piece into a draw-valid
    // graph when a graph on either side is not one texture at its origin. 0 / -1.
    int (*BltRect)(int SrcGraph, int X1, int Y1, int X2, int Y2, int DestX, int DestY, int DestGraph);
    // A pixel shader from the back end's filter archive by file name. Handle, or -1 (also when the
    // archive is not open or has no such file).
    int (*CreateShader)(int APIType, const char *FileName);
    // A pixel shader from the back end's ready channel-mix table (0-511). Handle or -1.
    int (*CreateReadyShader)(int APIType, int Index);
    // What was drawn into the draw target (a graph) made visible to sampling: the batch drawn and a
    // multisampled target resolved into its texture. 0 / -1.
    int (*ResolveDrawTarget)(int APIType, int Handle);
};
extern FilterPassDeviceCalls FilterPassDevice;
void ResetFilterPassDeviceCalls(void);

// ---- The pass framework ---------------------------------------------------------------------------

// Work textures: 4 format classes x 16 sizes x 2 slots. Direct3D 9 indexes slot + ((format x 16) + k)
// x 2 with format 0 integer, 2 16-bit float, 3 32-bit float; Direct3D 11 slot + ((float x 16) + k) x 2.
#define FILTER_WORK_TEXTURE_NUM 128
struct FilterWorkTextureCache
{
    int Handle[FILTER_WORK_TEXTURE_NUM];  // -1 = none; each handle's delete notify points at its entry
};
FilterWorkTextureCache *FilterWorkTextures(int APIType);  // null for another API type

// The side's exponent k: the smallest power of two at least as large as Width and Height.
int FilterWorkTextureSizeClass(int Width, int Height);
// The cache entry's index (the layout above), or -1.
int FilterWorkTextureIndex(int APIType, int FloatFlag, int Bits, int SizeClass, int Slot);
// The work texture of the class and slot, made on first use. Handle, or -1 (logged).
int Filter_CreateWorkTexture(int APIType, int FloatFlag, int Bits, int Width, int Height, int Slot);

// The framework's entries as a back end's table takes them (Direct3D 11; Direct3D 9 has its own
// Begin and End around the same set-up and copy).
int FilterPass_D3D11Begin(GraphFilterInfo *Info, GraphFilterParams *Params);
int FilterPass_D3D11Setup(GraphFilterInfo *Info, int *SrcGraph, int *DestGraph);
int FilterPass_D3D11Copy(GraphFilterInfo *Info, int LastDestGraph, int KernelResult);

// Begin on Direct3D 11 and on the software side: two passes and a work texture for Gauss (with
// shaders), else one; the work texture also whenever the source and destination positions differ.
void FilterPass_BeginCommon(GraphFilterInfo *Info);
// The draw target resolved when the call reads it (as its source, blend graph, gradient graph or
// chroma graph): a pass samples textures, and drawing into a multisampled target reaches its
// texture only when it is resolved.
void FilterPass_ResolveDrawTargetRead(int APIType, const GraphFilterInfo *Info, const GraphFilterParams *Params);
// True for the passes whose shaders may leave a pixel of their rectangle unwritten (they discard
// it, tools/shader_emitter): BrightClip, which keeps the destination's pixel where it clips
// without a fill, and the blends with an alpha channel (14, 15 and their premultiplied forms),
// which keep it where neither image has alpha. Every other pass writes its whole rectangle.
bool FilterPassMayDiscard(const GraphFilterInfo *Info);
// One pass's source and destination (Direct3D 9 or Direct3D 11 rule). 0 / -1.
int FilterPass_Setup(int APIType, GraphFilterInfo *Info, int *SrcGraph, int *DestGraph);
// A graph a pass samples beside its source (the blend, gradient or chroma graph) as the shaders
// read it, one texture at its origin: the graph itself when it is one (or not a graph), else a new
// draw-valid graph of its size holding its pixels, which the caller deletes (DeleteHandle). -1
// when the copy cannot be made.
int FilterPass_SampledGraph(int APIType, int Graph);
// The size of the call's source graph (a pass may read it from a copy in a larger work texture).
void FilterSourceSize(int APIType, const GraphFilterInfo *Info, int *Width, int *Height);
// The final copy from the last pass's output into the destination. 0 / -1.
int FilterPass_Copy(GraphFilterInfo *Info, int LastDestGraph, int KernelResult);
// DownScale's pass on either back end reduces whole Ratio x Ratio blocks only, as the processor
// kernel does: Blocks is the pass's record with the source rectangle cut after the last whole
// block. False when no whole block is left: the reduced picture is empty and nothing is drawn.
bool FilterPass_DownScaleBlocks(const GraphFilterInfo *Info, int Ratio, GraphFilterInfo *Blocks);
// The channel mix's swap of the source and the blend graph, with their rectangles: the blend
// graph's rectangle becomes the pass rectangle and the other way round. A second swap undoes it.
void FilterPass_SwapBlend(GraphFilterInfo *Info);
// The shader in a slot, made by file name on first use. Handle, or -1 with the failure logged
// ("フィルター用シェーダーの作成に失敗しました %s") and the slot left at -1.
int FilterPass_ShaderInSlot(int APIType, int Slot);
// A ready channel-mix shader of the back end's code table (Index 0-511) in its slot; logs
// "RGBAMixS フィルター用シェーダーの作成に失敗しました" when it cannot be made.
int FilterPass_ReadyShaderInSlot(int APIType, int Slot, int Index);
// The same for a shader whose name is not the slot table's (the named channel-mix shaders),
// logging LogFormat with the name.
int FilterPass_NamedShaderInSlot(int APIType, int Slot, const char *FileName, const wchar_t *LogFormat);
