// ZoVuz graph filters: the public API of the library's graph filters.
//
// A filter reads a rectangle of a graph (or of a shadow map), changes its pixels and writes the
// result into the same or another graph; a blend mixes a second graph into it. With programmable
// shaders in use each pass is drawn by the Direct3D back end; otherwise (the software renderer,
// or a device without shaders) the processor computes it, exact to the pixel. The graphics front
// end reaches the filters through the GraphFilterFunctions table (graphics_hardware.h), which the
// library's start-up registers.
//
// Every call returns 0 on success (also when clipping leaves nothing to do) and -1 on failure:
// a bad, deleted or loading handle, an empty rectangle, an unknown filter or blend type, or a
// pass that failed.
#pragma once

#include <stdarg.h>

struct GraphFilterFunctions;

// Filter ids and the int arguments that follow the id, in order. A colour is a library colour
// value (GetColor) with an alpha 0-255 after it. Ids 18-24 are 3, 4, 5, 6, 7, 8, 9 on graphs
// whose colour is premultiplied by alpha.
#define DX_GRAPH_FILTER_MONO 0               // Cb, Cr (-255..255)
#define DX_GRAPH_FILTER_GAUSS 1              // pixel width (8, 16, 32), strength x 100
#define DX_GRAPH_FILTER_DOWN_SCALE 2         // ratio (2, 4 or 8)
#define DX_GRAPH_FILTER_BRIGHT_CLIP 3        // compare (2 less, 5 greater), value, fill flag[, colour, alpha]
#define DX_GRAPH_FILTER_BRIGHT_SCALE 4       // min, max
#define DX_GRAPH_FILTER_HSB 5                // type (1 sets the hue), hue (degrees), saturation, bright
#define DX_GRAPH_FILTER_INVERT 6             // none
#define DX_GRAPH_FILTER_LEVEL 7              // min, max, gamma x 100, after-min, after-max
#define DX_GRAPH_FILTER_TWO_COLOR 8          // threshold, low colour, alpha, high colour, alpha
#define DX_GRAPH_FILTER_GRADIENT_MAP 9       // gradient graph, reverse flag
#define DX_GRAPH_FILTER_PREMUL_ALPHA 10      // none
#define DX_GRAPH_FILTER_INTERP_ALPHA 11      // none
#define DX_GRAPH_FILTER_YUV_TO_RGB 12        // none (hardware only)
#define DX_GRAPH_FILTER_Y2UV1_TO_RGB 13      // chroma graph
#define DX_GRAPH_FILTER_YUV_TO_RGB_RRA 14    // none (hardware only); alpha in the right half
#define DX_GRAPH_FILTER_Y2UV1_TO_RGB_RRA 15  // chroma graph; alpha in the right half
#define DX_GRAPH_FILTER_BICUBIC_SCALE 16     // destination width, height (hardware only)
#define DX_GRAPH_FILTER_LANCZOS3_SCALE 17    // destination width, height (hardware only)
#define DX_GRAPH_FILTER_PMA_BRIGHT_CLIP 18
#define DX_GRAPH_FILTER_PMA_BRIGHT_SCALE 19
#define DX_GRAPH_FILTER_PMA_HSB 20
#define DX_GRAPH_FILTER_PMA_INVERT 21
#define DX_GRAPH_FILTER_PMA_LEVEL 22
#define DX_GRAPH_FILTER_PMA_TWO_COLOR 23
#define DX_GRAPH_FILTER_PMA_GRADIENT_MAP 24
#define DX_GRAPH_FILTER_NUM 25

// Blend types (GraphFilterBase with the blend flag). Type 1 takes four channel selectors for
// red, green, blue and alpha (0-3 the source's red, green, blue, alpha; 4-7 the blend graph's);
// the others take none. Types 17-33 are 0-16 on premultiplied graphs.
#define DX_GRAPH_BLEND_NORMAL 0
#define DX_GRAPH_BLEND_RGBA_SELECT_MIX 1
#define DX_GRAPH_BLEND_MULTIPLE 2
#define DX_GRAPH_BLEND_DIFFERENCE 3
#define DX_GRAPH_BLEND_ADD 4
#define DX_GRAPH_BLEND_SCREEN 5
#define DX_GRAPH_BLEND_OVERLAY 6
#define DX_GRAPH_BLEND_DODGE 7
#define DX_GRAPH_BLEND_BURN 8
#define DX_GRAPH_BLEND_DARKEN 9
#define DX_GRAPH_BLEND_LIGHTEN 10
#define DX_GRAPH_BLEND_SOFTLIGHT 11
#define DX_GRAPH_BLEND_HARDLIGHT 12
#define DX_GRAPH_BLEND_EXCLUSION 13
#define DX_GRAPH_BLEND_NORMAL_ALPHACH 14
#define DX_GRAPH_BLEND_ADD_ALPHACH 15
#define DX_GRAPH_BLEND_MULTIPLE_A_ONLY 16
#define DX_GRAPH_BLEND_PMA_BASE 17  // 17-33: 0-16 premultiplied
#define DX_GRAPH_BLEND_NUM 34

// The whole graph, filtered in place.
int GraphFilter(int GraphHandle, int FilterType, ...);
// The whole source, filtered into the destination at (0, 0).
int GraphFilterBlt(int SrcGraph, int DestGraph, int FilterType, ...);
// The rectangle (SrcX1, SrcY1)-(SrcX2, SrcY2) of the source, filtered to (DestX, DestY).
int GraphFilterRectBlt(int SrcGraph, int DestGraph, int SrcX1, int SrcY1, int SrcX2, int SrcY2, int DestX, int DestY,
                       int FilterType, ...);

// The core of the three: with IsBlend 1 the blend Type mixes BlendGraph into the source rectangle
// (BlendRatio 0-255); else the filter Type runs. Args holds the type's arguments. The rectangle
// is clipped to the source and, moved to (DestX, DestY), to the destination; BlendX and BlendY
// move with it.
int GraphFilterBase(int IsBlend, int SrcGraph, int BlendGraph, int DestGraph, int BlendRatio, int Type, int SrcX1,
                    int SrcY1, int SrcX2, int SrcY2, int BlendX, int BlendY, int BlendPosFlag, int DestX, int DestY,
                    va_list Args);

// Forgets the filter shaders made by the Direct3D passes (and the Level filter's gamma graph):
// a back end calls it, through the GraphFilterFunctions table, when it initialises its device
// state. 0.
int GraphFilter_ResetShaderHandles(void);

// The table the library's start-up registers with RegisterGraphFilterFunctions.
const GraphFilterFunctions *GetGraphFilterFunctionTable(void);

// Registers the Direct3D 11 filter passes, which run while Direct3D 11 is the graphics API. 0.
int RegisterGraphFilterD3D11Passes(void);
