// Inside the library: the graph filters' front end, its records, the kernels' entry points, the
// work images of the processor path and the dispatchers of the hardware passes.
//
// One call of GraphFilterBase fills a GraphFilterInfo and a GraphFilterParams on its stack and
// runs a loop of passes. Each pass calls one kernel entry point (GraphFilter_Mono, ...), which
// either hands its converted arguments to its Graphics_Hardware_* dispatcher (programmable shaders
// in use) or fetches the pass's pixels into 32-bit work images, runs the processor kernel
// (kernels/filter_kernels_internal.h) and writes the result back.
//
// Everything runs on the caller's thread under the library's API lock; the state below is plain.
#pragma once

#include <stdint.h>

#include "zovuz/filter/kernels/filter_kernels_internal.h"
#include "zovuz/filter/zovuz_filter.h"
#include "zovuz/graphics/zovuz_graphics_backend.h"

// ---- The records of one call -------------------------------------------------------------------

// The converted arguments of whichever filter or blend runs: 160 bytes, zeroed for every call.
struct GraphFilterParams
{
    int GaussPixelWidth;
    float GaussStrength;  // value / 100
    int BrightClipCompare;
    float BrightClipValue;  // unscaled
    int BrightClipFillFlag;
    float BrightClipFillColor[4];  // red, green, blue, alpha, each / 255
    int BrightnessScaleMin, BrightnessScaleMax;
    int HsbType;
    float HsbHue;                    // degrees
    float HsbSaturation, HsbBright;  // value x 100 / 255
    float MonoCb, MonoCr;            // value x 100 / 255
    float LevelMin, LevelMax;        // unscaled
    float LevelGamma;                // value / 100
    float LevelAfterMin, LevelAfterMax;
    float TwoColorThreshold;
    float TwoColorLow[4], TwoColorHigh[4];
    int GradientGraph, GradientReverse;
    int YUVChromaGraph;           // -1 = none
    int ScaleWidth, ScaleHeight;  // Bicubic, Lanczos3
    int RGBAMixSelector[4];       // red, green, blue, alpha
};
static_assert(sizeof(GraphFilterParams) == 160, "forty 32-bit words");

// The record of one call, handed to the pass framework and to every kernel.
struct GraphFilterInfo
{
    int IsBlend;       // 1 on the blend path
    int Type;          // filter id or blend type
    int SrcGraph;      // source of the current pass (a graph or a shadow map)
    int BlendGraph;    // -1 on the filter path
    int DestGraph;     // destination of the current pass
    int ClearSrcRect;  // 1 for DownScale
    float BlendRatio;  // 0.0-1.0
    int PassIndex;
    int SrcX1, SrcY1, SrcX2, SrcY2;  // the clipped source rectangle, right and bottom exclusive
    int DivideRatio;                 // DownScale's 2, 4 or 8; else 1
    int BlendX, BlendY;
    int BlendPosFlag;  // passed through
    int DestX, DestY;
    int PassCount;                              // set by Graphics_Hardware_Filter_Begin
    int UseWorkTexture;                         // set by Graphics_Hardware_Filter_Begin
    int ImageWidth, ImageHeight;                // the processor path's destination image
    BASEIMAGE SrcImage, BlendImage, DestImage;  // the processor path's work images
    GraphHandleData *SrcGraphData;              // null for a shadow map
    GraphHandleData *DestGraphData;             // null for a shadow map
    GraphHandleData *BlendGraphData;            // null on the filter path
    // Bicubic and Lanczos3 scale the source rectangle onto OutputWidth x OutputHeight at
    // (DestX, DestY), the part of the scaled picture inside the destination; ScaleSrc holds the
    // source coordinates (texels: left, top, right, bottom) at that rectangle's edges.
    int OutputWidth, OutputHeight;
    float ScaleSrc[4];
};

// 1 for Bicubic and Lanczos3, whose output rectangle is not the source rectangle's size.
int FilterScales(const GraphFilterInfo *Info);
// The size of the rectangle a call writes at (DestX, DestY): the source rectangle's, divided by
// DownScale's ratio, or the scalers' output rectangle.
void FilterOutputSize(const GraphFilterInfo *Info, int *Width, int *Height);
// Where the blend graph is read: at (BlendX, BlendY) with BlendPosFlag 1, else at the source
// rectangle's own coordinates; the rectangle has the source rectangle's size on both paths.
void FilterBlendOrigin(const GraphFilterInfo *Info, int *X, int *Y);
// The part of the rectangle the blend graph covers, read at FilterBlendOrigin: the blend is drawn
// there, and the rest of the rectangle takes the source's pixels. Columns Left-Right and rows
// Top-Bottom from the rectangle's corner, inside the rectangle; an empty part when it covers none.
// A call without a blend graph record counts as covered whole (the blend's own to refuse).
struct FilterBlendCover
{
    int Left, Top, Right, Bottom;
    int Width, Height;  // the rectangle's
    bool Whole() const { return Left == 0 && Top == 0 && Right == Width && Bottom == Height; }
    bool Empty() const { return Right == Left || Bottom == Top; }
};
FilterBlendCover FilterBlendCoverOf(const GraphFilterInfo *Info);

struct GraphFilterBackendFunctions;

// ---- State kept between calls ------------------------------------------------------------------

// The shader handles the Direct3D passes cache, one slot per filter shader variant (-1 = not
// made), with the Level filter's gamma graph for the hardware pass and the gamma it holds.
#define GRAPH_FILTER_SHADER_SLOT_NUM 629
struct GraphFilterShaderHandles
{
    int Shader[GRAPH_FILTER_SHADER_SLOT_NUM];
    int LevelGammaGraph;   // 256 x 1, -1 = none
    float LevelGammaHeld;  // the gamma it was written for
};
static_assert(sizeof(GraphFilterShaderHandles) == 2524, "the table of 631 handles");

struct GraphFilterStateData
{
    GraphFilterShaderHandles ShaderHandles;  // reset by every device-state initialisation
    int LevelGammaTable[256];                // the processor's gamma curve
    float LevelGammaTableHeld;               // the gamma it was built for, -1.0e7 at first
    float GaussWeights[GAUSS_WEIGHT_MAX];    // shared by both paths
    int GaussWidthHeld;                      // N they were built for
    float GaussStrengthHeld;                 // the caller's strength they were built for, -1.0e7 at first
    const GraphFilterBackendFunctions *Backend[GRAPHICS_API_D3D11 + 1];  // by API type; null = none
};
extern GraphFilterStateData GraphFilterState;

// ---- Handles ---------------------------------------------------------------------------------------

// A filter's source or destination: a graph or a shadow map that is live and not loading.
struct FilterTarget
{
    GraphHandleData *Graph;          // null for a shadow map
    ShadowMapHandleData *ShadowMap;  // null for a graph
    int Width, Height;
};
// 0, or -1 when the handle is neither.
int GetFilterTarget(int Handle, FilterTarget *Target);
GraphHandleData *GetFilterGraph(int Handle);  // a live graph that is not loading, or null

// ---- Work images of the processor path (filter_image.cpp) -------------------------------------

// The whole graph (Rect null) or a rectangle of it as a new 32-bit ARGB image. 0, or -1 with no
// pixels left in Out.
int GraphFilter_GetGraphImage(int GraphHandle, BASEIMAGE *Out, const ImageRect *Rect);
// The work images of the current pass: the source (and blend) image of Rect (null = the pass
// rectangle), and a destination image of Width x Height (both >= 0, else the rectangle's size),
// new with NewDestFlag 1, else the destination's present pixels at (DestX, DestY). 0, or -1 with
// none left.
int GraphFilter_LockImages(GraphFilterInfo *Info, int NewDestFlag, int Width, int Height, const ImageRect *Rect);
// Frees the source and blend images, writes the destination image to (DestX, DestY) of the pass
// destination and frees it. 0.
int GraphFilter_WriteBackImage(GraphFilterInfo *Info);
// The in-place DownScale's clearing of the source rectangle to transparent black. 0, or -1 when
// the clearing image cannot be made (nothing is then cleared).
int GraphFilter_ClearSourceRect(const GraphFilterInfo *Info);

// A work image as the kernels take it.
FilterPixels FilterPixelsOf(const BASEIMAGE &Image);
// The shared multiply and divide tables.
FilterTables GetFilterTables(void);
// 1 when the kernels draw with the back end's pixel shaders.
int FilterUsesShaders(void);

// ---- Kernel entry points (filter_kernel_calls.cpp): 0, or -1 when the pass failed -------------

int GraphFilter_Mono(GraphFilterInfo *Info, float Cb, float Cr);
int GraphFilter_Gauss(GraphFilterInfo *Info, int PixelWidth, float Strength);
int GraphFilter_DownScale(GraphFilterInfo *Info, int DivideRatio);
int GraphFilter_BrightClip(GraphFilterInfo *Info, int Compare, float Value, int FillFlag, const float *FillColor,
                           int Pma);
int GraphFilter_BrightnessScale(GraphFilterInfo *Info, int Min, int Max, int Pma);
int GraphFilter_Hsb(GraphFilterInfo *Info, int Type, float Hue, float Saturation, float Bright, int Pma);
int GraphFilter_Invert(GraphFilterInfo *Info, int Pma);
int GraphFilter_Level(GraphFilterInfo *Info, float Min, float Max, float Gamma, float AfterMin, float AfterMax,
                      int Pma);
int GraphFilter_TwoColor(GraphFilterInfo *Info, float Threshold, const float *LowColor, const float *HighColor,
                         int Pma);
int GraphFilter_GradientMap(GraphFilterInfo *Info, int GradientGraph, int Reverse, int Pma);
int GraphFilter_PremultipliedAlpha(GraphFilterInfo *Info);
int GraphFilter_InterpolatedAlpha(GraphFilterInfo *Info);
int GraphFilter_YUVToRGB(GraphFilterInfo *Info, int ChromaGraph);
int GraphFilter_Bicubic(GraphFilterInfo *Info, int Width, int Height);
int GraphFilter_Lanczos3(GraphFilterInfo *Info, int Width, int Height);
int GraphBlend_Basic(GraphFilterInfo *Info, int Pma);
int GraphBlend_RGBAMix(GraphFilterInfo *Info, int Red, int Green, int Blue, int Alpha, int Pma);

// ---- The hardware dispatchers and the pass framework (filter_dispatch.cpp) --------------------

// One Direct3D back end's filter passes, filled by member name. A null entry (or a back end with
// no table) answers as the software renderer does: 0, drawing nothing; Begin and SetupPass then
// take the software side.
struct GraphFilterBackendFunctions
{
    int (*GraphBlend_Basic)(GraphFilterInfo *Info);
    int (*GraphBlend_RGBAMix)(GraphFilterInfo *Info, int Red, int Green, int Blue, int Alpha, int Pma);
    int (*Filter_Bicubic)(GraphFilterInfo *Info, int Width, int Height);
    int (*Filter_BrightClip)(GraphFilterInfo *Info, int Compare, float Value, int FillFlag, const float *FillColor,
                             int Pma);
    int (*Filter_BrightnessScale)(GraphFilterInfo *Info, int Min, int Max, int Pma);
    int (*Filter_SetupPass)(GraphFilterInfo *Info, int *SrcGraph, int *DestGraph);
    int (*Filter_Copy)(GraphFilterInfo *Info, int LastDestGraph, int KernelResult);
    int (*Filter_DownScale)(GraphFilterInfo *Info, int Ratio);
    int (*Filter_Gauss)(GraphFilterInfo *Info, int Width, float Strength, const float *Weights);
    int (*Filter_GradientMap)(GraphFilterInfo *Info, int GradientGraph, int Reverse, int Pma);
    int (*Filter_Hsb)(GraphFilterInfo *Info, int Type, float Hue6, float Saturation, float Bright, int Pma);
    int (*Filter_InterpolatedAlpha)(GraphFilterInfo *Info);
    int (*Filter_Invert)(GraphFilterInfo *Info, int Pma);
    int (*Filter_Lanczos3)(GraphFilterInfo *Info, int Width, int Height);
    int (*Filter_Level)(GraphFilterInfo *Info, float Min, float Max, float Gamma, float AfterMin, float AfterMax,
                        int Pma);
    int (*Filter_Mono)(GraphFilterInfo *Info, float Cb, float Cr);
    int (*Filter_PremultipliedAlpha)(GraphFilterInfo *Info);
    int (*Filter_Begin)(GraphFilterInfo *Info, GraphFilterParams *Params);
    int (*Filter_End)(void);
    int (*Filter_TwoColor)(GraphFilterInfo *Info, float Threshold, const float *LowColor, const float *HighColor,
                           int Pma);
    int (*Filter_YUVToRGB)(GraphFilterInfo *Info, int ChromaGraph);
    // The code of a shader of the back end's filter archive by file name (code page 32765), and of
    // a ready channel-mix shader of its code table (0-511): 0, or -1 when the archive or table is
    // not loaded or holds no such shader.
    int (*FindShaderCode)(const char *FileName, const void **Code, int *Size);
    int (*ChannelMixCode)(int Index, const void **Code, int *Size);
};

// Registers (or, with null, removes) the filter passes of GRAPHICS_API_D3D9 or GRAPHICS_API_D3D11.
// 0, or -1 for another API type.
int RegisterGraphFilterBackend(int APIType, const GraphFilterBackendFunctions *Functions);

int Graphics_Hardware_GraphBlend_Basic(GraphFilterInfo *Info);
int Graphics_Hardware_GraphBlend_RGBAMix(GraphFilterInfo *Info, int Red, int Green, int Blue, int Alpha, int Pma);
int Graphics_Hardware_Filter_Bicubic(GraphFilterInfo *Info, int Width, int Height);
int Graphics_Hardware_Filter_BrightClip(GraphFilterInfo *Info, int Compare, float Value, int FillFlag,
                                        const float *FillColor, int Pma);
int Graphics_Hardware_Filter_BrightnessScale(GraphFilterInfo *Info, int Min, int Max, int Pma);
// Chooses the pass's destination; without a back end's own set-up it is DestGraph. Negative on
// failure.
int Graphics_Hardware_Filter_SetupPass(GraphFilterInfo *Info, int *SrcGraph, int *DestGraph);
int Graphics_Hardware_Filter_Copy(GraphFilterInfo *Info, int LastDestGraph, int KernelResult);
int Graphics_Hardware_Filter_DownScale(GraphFilterInfo *Info, int Ratio);
int Graphics_Hardware_Filter_Gauss(GraphFilterInfo *Info, int Width, float Strength, const float *Weights);
int Graphics_Hardware_Filter_GradientMap(GraphFilterInfo *Info, int GradientGraph, int Reverse, int Pma);
int Graphics_Hardware_Filter_Hsb(GraphFilterInfo *Info, int Type, float Hue6, float Saturation, float Bright, int Pma);
int Graphics_Hardware_Filter_InterpolatedAlpha(GraphFilterInfo *Info);
int Graphics_Hardware_Filter_Invert(GraphFilterInfo *Info, int Pma);
int Graphics_Hardware_Filter_Lanczos3(GraphFilterInfo *Info, int Width, int Height);
int Graphics_Hardware_Filter_Level(GraphFilterInfo *Info, float Min, float Max, float Gamma, float AfterMin,
                                   float AfterMax, int Pma);
int Graphics_Hardware_Filter_Mono(GraphFilterInfo *Info, float Cb, float Cr);
int Graphics_Hardware_Filter_PremultipliedAlpha(GraphFilterInfo *Info);
// Sets PassCount and UseWorkTexture; without a back end's own begin: two passes for Gauss with
// shaders, else one, and the work texture when the source and destination positions differ.
int Graphics_Hardware_Filter_Begin(GraphFilterInfo *Info, GraphFilterParams *Params);
int Graphics_Hardware_Filter_End(void);
int Graphics_Hardware_Filter_TwoColor(GraphFilterInfo *Info, float Threshold, const float *LowColor,
                                      const float *HighColor, int Pma);
int Graphics_Hardware_Filter_YUVToRGB(GraphFilterInfo *Info, int ChromaGraph);
