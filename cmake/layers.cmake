# The link layers of the library and the application, lowest first: each target, the folder
# it is built from, and the targets it uses by name. This table is the one place the layering
# is written down. The build links each target to exactly what it uses (there are no link
# groups, so a cycle fails the link), the tests of a folder link only that folder's target, and
# the layering test (tools/layering/check_layers.cmake) checks every include against it.
#
# A target's folder is its own files and those of its windows/ folder, and those of its rooms:
# sub-folders that each hold one topic (ROOMS), again with a windows/ folder of their own. The
# files directly in a target's folder are its front. A room's *_internal.h belong to the room:
# they are included by the room's own files and by the front, or, where tarvex_room_internals()
# names them, only by the folders and files it names. Every other sub-folder of a target's folder
# is an error (its files would not be built). A subsystem publishes
# its calls in one header, zovuz/<sub>/zovuz_<sub>.h, which zovuz/zovuz.h includes; another
# target includes only that header, never the subsystem's other headers. A new subsystem adds
# its line here (after everything it uses) and its public header to zovuz/zovuz.h.
#
# A layer can offer the layers that extend it a second header beside its public one, its back-end
# header (tarvex_backend_header()): what they work with of its inside (records, module state, a
# dispatch table). Only the layers it names include it; no public header reaches it, so that
# zovuz/zovuz.h (what the application includes) holds none of it; and it is the one header outside
# an *_internal.h that may declare module state.
#
# A room can stand below the rest of its layer (tarvex_base_room()): its files include, of their own
# layer, only the room's own headers, so the rest of the layer builds on it and never the reverse.
#
# Read with include(): it defines tarvex_layer(), tarvex_room_internals(), tarvex_base_room(),
# tarvex_backend_header() and tarvex_layer_of(),
# and fills TARVEX_LAYERS (names, lowest first), TARVEX_LAYER_DIR_<name>, TARVEX_LAYER_USES_<name>,
# TARVEX_LAYER_ROOMS_<name> and, for each room folder given to tarvex_room_internals(),
# TARVEX_ROOM_INTERNALS_<room folder>, TARVEX_BASE_ROOM_<room folder>, TARVEX_BACKEND_HEADERS with
# TARVEX_BACKEND_USERS_<header>; and the folder-size rule, TARVEX_FOLDER_FILE_LIMIT.

set(TARVEX_LAYERS "")
macro(tarvex_layer name dir)
  cmake_parse_arguments(_layer "" "" "USES;ROOMS" ${ARGN})
  foreach(_used IN LISTS _layer_USES)
    if(NOT _used IN_LIST TARVEX_LAYERS)
      message(FATAL_ERROR "layers.cmake: ${name} uses ${_used}, which is not a lower layer")
    endif()
  endforeach()
  list(APPEND TARVEX_LAYERS ${name})
  set(TARVEX_LAYER_DIR_${name} ${dir})
  set(TARVEX_LAYER_USES_${name} ${_layer_USES})
  set(TARVEX_LAYER_ROOMS_${name} ${_layer_ROOMS})
endmacro()

# tarvex_room_internals(room users...): who besides the room itself may include the room's
# *_internal.h: folders (their own files and their windows/ folder, not their rooms) and files,
# relative to the top of the sources. Replaces the default (the front of the room's target).
macro(tarvex_room_internals room)
  set(TARVEX_ROOM_INTERNALS_${room} ${ARGN})
  set(TARVEX_ROOM_INTERNALS_SET_${room} TRUE)
endmacro()

# tarvex_base_room(room): the room folder stands below the rest of its layer.
macro(tarvex_base_room room)
  set(TARVEX_BASE_ROOM_${room} TRUE)
endmacro()

# tarvex_backend_header(header USERS layers...): the back-end header of the layer that owns it and
# the layers that may include it.
set(TARVEX_BACKEND_HEADERS "")
macro(tarvex_backend_header header)
  cmake_parse_arguments(_backend "" "" "USERS" ${ARGN})
  list(APPEND TARVEX_BACKEND_HEADERS ${header})
  set(TARVEX_BACKEND_USERS_${header} ${_backend_USERS})
endmacro()

# tarvex_layer_of(path out): the layer that owns a path relative to the top of the sources (the
# longest matching folder; the folder itself counts), or "" for none.
function(tarvex_layer_of path out)
  set(best "")
  set(best_length 0)
  foreach(layer ${TARVEX_LAYERS})
    set(dir ${TARVEX_LAYER_DIR_${layer}})
    string(LENGTH "${dir}" length)
    if((path STREQUAL dir OR path MATCHES "^${dir}/") AND length GREATER best_length)
      set(best ${layer})
      set(best_length ${length})
    endif()
  endforeach()
  set(${out} "${best}" PARENT_SCOPE)
endfunction()

# 1. Core services: below everything. It reaches higher subsystems at run time only through
#    the hook table that start-up fills.
tarvex_layer(zovuz_core     zovuz/core ROOMS text memory handle file desktop)
# The desktop room (the main window, its message pump, keyboard, mouse, IME and joypad input)
# drives the others: its start-up and pump reach into their internals, as the front does.
tarvex_room_internals(zovuz/core/text zovuz/core zovuz/core/file zovuz/core/desktop)
tarvex_room_internals(zovuz/core/memory zovuz/core zovuz/core/desktop)
tarvex_room_internals(zovuz/core/handle zovuz/core zovuz/core/desktop)
tarvex_room_internals(zovuz/core/file zovuz/core zovuz/core/desktop)
# 2-4. The subsystems built on core.
tarvex_layer(zovuz_sound    zovuz/sound    USES zovuz_core)
tarvex_layer(zovuz_graphics zovuz/graphics USES zovuz_core ROOMS image font graph software)
# Images and their formats, the loaders and the software renderer's images: the front, the graphs
# made from them and the software drawers work on them. Images know nothing of the rest of
# graphics (draw state, fonts, graphs, back ends): the room stands at the bottom of the layer.
tarvex_room_internals(zovuz/graphics/image zovuz/graphics zovuz/graphics/graph zovuz/graphics/software)
tarvex_base_room(zovuz/graphics/image)
# Graph handles: their creation, loading, pieces, transfers and restore. The front (the drawing
# calls, the draw screen, start-up) and the fonts' glyph graphs work on them; the software drawers
# see only the images the drawing calls hand them.
tarvex_room_internals(zovuz/graphics/graph zovuz/graphics zovuz/graphics/font)
# The software renderer's drawers: only the drawing calls that hand work to them (graphs,
# primitives, strings), after the steps every drawing call goes through (draw_steps_internal.h).
tarvex_room_internals(zovuz/graphics/software
  zovuz/graphics/draw_graph.cpp zovuz/graphics/draw_primitive.cpp zovuz/graphics/font/string_draw.cpp)
tarvex_layer(zovuz_d3d11    zovuz/d3d11    USES zovuz_graphics zovuz_core
  ROOMS calls device state texture draw shader)
# The Direct3D 11 back end: its call layer (the only code that calls an interface method), the
# device with its swap chains, present and screen mode, the device-state cache with its state
# objects, buffers and draw preparation, graph textures with transfers, read-back, mask and shadow
# maps, the drawing of graphs, shapes and 3-D through the vertex batch, and the shaders with their
# packs. The operation table, the handles' objects and the graph filters' hooks are the front.
tarvex_layer(zovuz_d3d9     zovuz/d3d9     USES zovuz_graphics zovuz_core
  ROOMS calls device state texture draw shader)
# The Direct3D 9 back end in the same rooms: the call layer; the device, its start-up, present
# and screen; the device-state cache and the draw-state flush; graph textures, their transfer,
# read-back, mask and the system-memory caches; graphs, shapes and the vertex batch; the base
# shaders, their packs and the shader-constant manager.
tarvex_layer(zovuz_filter   zovuz/filter   USES zovuz_d3d11 zovuz_d3d9 zovuz_graphics zovuz_core ROOMS kernels)
# The filters' processor kernels: pure functions over 32-bit pixels, which the front fetches and
# writes back.
tarvex_layer(zovuz_movie    zovuz/movie    USES zovuz_d3d11 zovuz_d3d9 zovuz_graphics zovuz_sound zovuz_core
  ROOMS dshow renderer playback sound_convert)
# The movies: the DirectShow class tree with its stock filters (dshow/), the renderer filters
# (renderer/), the platform's movie playback through Media Foundation and DirectShow (playback/),
# and the sound layer's conversion through DirectShow and Media Foundation (sound_convert/). The
# Theora decoder, the clock, the frames and the handles are the front.
# 5. Start-up and shut-down: names every subsystem's start and end calls; nothing below calls it.
tarvex_layer(zovuz_startup  zovuz/startup
  USES zovuz_movie zovuz_filter zovuz_d3d11 zovuz_d3d9 zovuz_graphics zovuz_sound zovuz_core)
# What the graphics front end hands to the layers that extend it: the Direct3D back ends, the
# filters and the movies work on its records and state, and start-up starts and ends it.
tarvex_backend_header(zovuz/graphics/zovuz_graphics_backend.h
  USERS zovuz_d3d11 zovuz_d3d9 zovuz_filter zovuz_movie zovuz_startup)
# 6. The application: the engine on the library, the shell on both.
tarvex_layer(tarvex_engine  app/engine     USES zovuz_sound zovuz_core
  ROOMS mml mdx plugin sequencer mixer)
# The engine: the MML compiler and the song's samples (mml/), the MDX player with its loaders and
# ADPCM (mdx/), the plug-in host (plugin/), the MML sequencer (sequencer/), and the mixing stages,
# the engines' sound players and the WAV render they share (mixer/). The locks and the MIDI input
# are the front.
tarvex_layer(tarvex_shell   app/shell
  USES tarvex_engine zovuz_startup zovuz_movie zovuz_filter zovuz_d3d11 zovuz_d3d9 zovuz_graphics
       zovuz_sound zovuz_core
  ROOMS panes tracks plugin_window project render)
# The application: the side panes and the widgets they share (panes/), the track list and the
# piano roll (tracks/), the plug-in slot windows (plugin_window/), projects, settings and song
# files (project/), and the render to WAV (render/). The state, the frame loop, the menu, the
# transport bar, the program's start and its resources are the front.

# Folders stay small enough to take in at a glance: no folder of the repository holds more than
# this many files directly (its sub-folders count on their own); one that grows past it splits into
# rooms of one topic each. Exempt are the fuzz targets' corpora: inputs the seed writer and the
# campaigns add by the dozen, named by their content, which the fuzzer reads as one set.
set(TARVEX_FOLDER_FILE_LIMIT 35)
set(TARVEX_FOLDER_LIMIT_EXEMPT "^fuzz/[^/]+/corpus$")

# Module state (a global variable) is declared in the *_internal.h beside its code, or in a back-end
# header and the headers of its layer it includes. A public header (zovuz/<sub>/zovuz_<sub>.h and
# the headers of its layer that it includes) declares none.

# The umbrella header zovuz/zovuz.h stands for the whole library: only a target that uses every
# library layer (the shell) may include it.
set(TARVEX_UMBRELLA_HEADER zovuz/zovuz.h)
set(TARVEX_UMBRELLA_LAYERS
  zovuz_core zovuz_sound zovuz_graphics zovuz_d3d11 zovuz_d3d9 zovuz_filter zovuz_movie zovuz_startup)
