// ZoVuz Direct3D 11: the public API of the library's Direct3D 11 back end.
//
// The back end draws for the graphics front end: it fills one GraphicsHardwareFunctions table,
// which the library's start-up registers, and works on the records the front end hands it
// (zovuz_graphics_backend.h, through zovuz_graphics.h). The calls that other layers (the filters,
// the movies, start-up) make of it are declared here; its device, tables and state stay in the
// *_internal.h beside its code. It has no calls yet.
#pragma once

#include "zovuz/core/zovuz_core.h"
#include "zovuz/graphics/zovuz_graphics.h"
