// Inside the library: the Direct3D 11 filter passes (windows/filter_d3d11_passes_win.cpp) that the
// tests call directly. The back end's table is registered by RegisterGraphFilterD3D11Passes.
#pragma once

#include "zovuz/filter/filter_d3d11_constants.h"
#include "zovuz/filter/filter_pass_internal.h"

// A Shader handle made from the Direct3D 11 filter archive's file FileName, or -1.
int Graphics_D3D11_Filter_CreateShader(const char *FileName, int VertexFlag);
// One pass with Shader from the pass's source rectangle to (DestX, DestY) of its destination,
// the blend graph (blend path) or Extra (when >= 0) as the second texture, the tap quad Vertices
// or none. 0 / -1.
int Graphics_D3D11_Filter_DrawPass(int Shader, GraphFilterInfo *Info, int LinearFlag, int Divisor, int Extra,
                                   const FilterD3D11TapVertex *Vertices);
