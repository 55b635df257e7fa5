// Inside the library: the graph filters' passes on Direct3D 9. One function per filter and blend
// chooses its shader variant, writes its constants and draws one quad; Begin and End keep the draw
// state around the passes. The device work at the bottom (scenes, targets, constants, the quad)
// goes through FilterD3D9Device, the back end's calls by default, a recording fake in tests.
#pragma once

#include <stdint.h>

#include "zovuz/d3d9/zovuz_d3d9.h"
#include "zovuz/filter/filter_pass_internal.h"

// The pre-transformed vertex of a pass: position, rhw, two colours the shaders do not read, and two
// texture-coordinate pairs (source, second texture).
struct FilterPassVertex
{
    float x, y, z, rhw;
    uint32_t Diffuse, Specular;
    float u0, v0, u1, v1;
};
static_assert(sizeof(FilterPassVertex) == 40, "40-byte vertices");
#define FILTER_PASS_FVF 0x2C4  // XYZRHW | DIFFUSE | SPECULAR | TEX2

// The vertex of the Bicubic and Lanczos3 passes: eight texture-coordinate pairs.
struct FilterTapVertex
{
    float x, y, z, rhw;
    uint32_t Diffuse;
    float uv[8][2];
};
static_assert(sizeof(FilterTapVertex) == 84, "84-byte vertices");
#define FILTER_TAP_FVF 0x844  // XYZRHW | DIFFUSE | TEX8

// One pass's draw, as the back end takes it.
using FilterD3D9Draw = D3D9FilterQuad;

struct FilterD3D9DeviceCalls
{
    // Opens a scene unless one is open; closes the open one. 0 / -1.
    int (*BeginScene)(void);
    int (*EndScene)(void);
    // Keeps the bound render targets and the depth-stencil surface and unbinds what a pass must not
    // draw into; puts them back (and the draw area's viewport). 0.
    int (*SaveTargets)(void);
    int (*RestoreTargets)(void);
    // Pixel-shader float constants of usage set 1 from register 0, sets 0 and 1 in force; the
    // range released after the draw. 0 / -1.
    int (*SetPixelConstants)(const float *Values, int Registers);
    int (*ReleasePixelConstants)(int Registers);
    // Draws one pass. 0, or -1 when a handle is not valid or the device refuses.
    int (*DrawQuad)(const FilterD3D9Draw *Draw);
    // DrawPrimitive2DToShader into the current pass destination (the Gauss row fill). 0 / -1.
    int (*DrawRows)(const VERTEX2D *Vertex, int Num, int GraphHandle);
};
extern FilterD3D9DeviceCalls FilterD3D9Device;
void ResetFilterD3D9DeviceCalls(void);

// The Direct3D 9 filter passes' table (registered for GRAPHICS_API_D3D9 by the filters' state).
const GraphFilterBackendFunctions *GetD3D9FilterPasses(void);

int Graphics_D3D9_Filter_Begin(GraphFilterInfo *Info, GraphFilterParams *Params);
int Graphics_D3D9_Filter_End(void);
int Graphics_D3D9_Filter_RestoreDrawState(void);
// Copies (X1, Y1)-(X2, Y2) of one graph or shadow map to (DestX, DestY) of another by a quad: the
// graph layer's copy takes graphs only. Inside a filter call or after its end. 0 / -1.
int Graphics_D3D9_Filter_CopyShadowMapRect(int SrcGraph, int X1, int Y1, int X2, int Y2, int DestX, int DestY,
                                           int DestGraph);
// One pass from Info's source rectangle to its destination position, the rectangle's size divided
// by Divisor; Taps (four FilterTapVertex) replace the pass's own vertices. 0 / -1.
int Graphics_D3D9_Filter_DrawPass(GraphFilterInfo *Info, int PixelShader, int SecondGraph, int Divisor,
                                  const FilterTapVertex *Taps);
