// ZoVuz Direct3D 9: the public API of the library's Direct3D 9 back end.
//
// The back end draws for the graphics front end when Direct3D 11 cannot start: it fills one
// GraphicsHardwareFunctions table and works on the records the front end hands it
// (zovuz_graphics_backend.h, through zovuz_graphics.h). The calls that other layers (the filters,
// the movies, start-up) make of it are declared here; its device, tables and state stay in the
// *_internal.h and windows/ headers beside its code.
#pragma once

#include "zovuz/core/zovuz_core.h"
#include "zovuz/graphics/zovuz_graphics.h"

// The back end's operations, for RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D9, ...). The
// table lives as long as the program.
const GraphicsHardwareFunctions *GetGraphicsD3D9Functions(void);

// 1 while the Direct3D 9 device exists, else 0.
int Direct3DDevice9_IsValid(void);
