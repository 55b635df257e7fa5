// ZoVuz movies: the public API of the library's movie playback and its DirectShow filter classes.
//
// A movie plays into a graph: the graphics front end reaches the movie code through the
// MovieFunctions table (graphics_hardware.h), which the library's start-up registers. The calls
// the application and the other layers make of it are declared here; its state stays in the
// *_internal.h beside its code. There are no calls yet.
#pragma once

#include "zovuz/core/zovuz_core.h"
#include "zovuz/d3d11/zovuz_d3d11.h"
#include "zovuz/d3d9/zovuz_d3d9.h"
#include "zovuz/graphics/zovuz_graphics.h"
#include "zovuz/sound/zovuz_sound.h"
