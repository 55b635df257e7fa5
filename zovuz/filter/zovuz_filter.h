// ZoVuz graph filters: the public API of the library's graph filters.
//
// The filters work on graphs through the Direct3D back ends; the graphics front end reaches them
// through the GraphFilterFunctions table (graphics_hardware.h), which the library's start-up
// registers. The calls the application and the other layers make of them are declared here;
// their state stays in the *_internal.h beside their code. There are no calls yet.
#pragma once

#include "zovuz/core/zovuz_core.h"
#include "zovuz/d3d11/zovuz_d3d11.h"
#include "zovuz/d3d9/zovuz_d3d9.h"
#include "zovuz/graphics/zovuz_graphics.h"
