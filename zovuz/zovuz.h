// ZoVuz: the library's public API, one header per subsystem.
//
// Each subsystem publishes what the application and the other subsystems call in exactly one
// header, zovuz/<sub>/zovuz_<sub>.h, included here in layer order (cmake/layers.cmake). A new
// subsystem adds its include below and its line to cmake/layers.cmake. Its internals stay in
// *_internal.h beside its code. This umbrella is for the shell: the engine and the subsystems
// include only the public headers of the layers they use (the layering test checks this).
#pragma once
#include "zovuz/core/zovuz_core.h"
#include "zovuz/sound/zovuz_sound.h"
#include "zovuz/graphics/zovuz_graphics.h"
#include "zovuz/d3d11/zovuz_d3d11.h"
#include "zovuz/d3d9/zovuz_d3d9.h"
#include "zovuz/filter/zovuz_filter.h"
#include "zovuz/movie/zovuz_movie.h"
#include "zovuz/startup/zovuz_startup.h"
