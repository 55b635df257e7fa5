# The layering test's own rules, tried on a small tree: the real layer table (cmake/layers.cmake)
# over a few stand-in files, once clean and then with one planted file per row (a path ending in
# *N plants N files, each with its number for the @). Each row must fail with its message, or
# pass. Run as
#   cmake -DTARVEX_SOURCE_DIR=<top> -DSCRATCH=<empty folder> -P tests/tools/layering_rules_test.cmake
if(NOT TARVEX_SOURCE_DIR OR NOT SCRATCH)
  message(FATAL_ERROR "layering_rules_test: pass -DTARVEX_SOURCE_DIR=<top> and -DSCRATCH=<folder>")
endif()

# The clean tree: public headers, a room's internal header and its users as the table allows.
set(clean_files
  "zovuz/core/zovuz_core.h|#pragma once"
  "zovuz/graphics/zovuz_graphics.h|#include \"zovuz/graphics/image/image_types.h\""
  "zovuz/graphics/image/image_types.h|#pragma once"
  "zovuz/graphics/zovuz_graphics_backend.h|#include \"zovuz/graphics/zovuz_graphics.h\"\nextern int SharedWithTheBackEnds\;"
  "zovuz/graphics/graph/graph_internal.h|#include \"zovuz/graphics/zovuz_graphics.h\""
  "zovuz/graphics/image/memimg_internal.h|#include \"zovuz/graphics/image/image_types.h\""
  "zovuz/graphics/font/font_internal.h|#include \"zovuz/graphics/graph/graph_internal.h\""
  "zovuz/graphics/font/string_draw.cpp|#include \"zovuz/graphics/software/soft_draw_internal.h\""
  "zovuz/graphics/software/soft_draw_internal.h|#include \"zovuz/graphics/image/memimg_internal.h\""
  "zovuz/graphics/draw_graph.cpp|#include \"zovuz/graphics/software/soft_draw_internal.h\""
  "zovuz/graphics/graphics_startup.cpp|#include \"zovuz/graphics/font/font_internal.h\""
  "zovuz/d3d11/d3d11_device.cpp|#include \"zovuz/graphics/zovuz_graphics.h\""
  "zovuz/d3d11/zovuz_d3d11.h|struct GraphicsHardwareFunctions\;"
  "zovuz/zovuz.h|#include \"zovuz/graphics/zovuz_graphics.h\"\n#include \"zovuz/d3d11/zovuz_d3d11.h\"")

# One planted file per row: path|content|the message it must fail with ("" = it must pass). The
# folder-size rows count the files directly in a folder (zovuz/graphics/ holds 4 clean ones and
# its rooms 5 more): 35 pass, 36 fail, in any folder of the tree but the fuzz corpora.
set(rows
  "zovuz/graphics/font/font_cache.cpp|#include \"zovuz/graphics/image/memimg_internal.h\"|internal to the room zovuz/graphics/image"
  "zovuz/graphics/image/bmp_load.cpp|#include \"zovuz/graphics/font/font_internal.h\"|internal to the room zovuz/graphics/font"
  "zovuz/graphics/draw_state.cpp|#include \"zovuz/graphics/software/soft_draw_internal.h\"|internal to the room zovuz/graphics/software"
  "zovuz/graphics/font/string_core.cpp|#include \"zovuz/graphics/software/soft_draw_internal.h\"|internal to the room zovuz/graphics/software"
  "zovuz/graphics/software/soft_image.cpp|#include \"zovuz/graphics/image/memimg_internal.h\"|"
  "zovuz/graphics/image/png_load.cpp|#include \"zovuz/graphics/graph/graph_internal.h\"|internal to the room zovuz/graphics/graph"
  "zovuz/graphics/image/png_load.cpp|#include \"zovuz/graphics/zovuz_graphics_backend.h\"|zovuz/graphics/image stands below the rest of zovuz_graphics"
  "zovuz/graphics/image/windows/png_win.cpp|#include \"zovuz/graphics/image/memimg_internal.h\"|"
  "zovuz/d3d11/d3d11_graph.cpp|#include \"zovuz/graphics/graph/graph_internal.h\"|is internal to zovuz_graphics"
  "zovuz/d3d11/d3d11_texture.cpp|#include \"zovuz/graphics/zovuz_graphics_backend.h\"|"
  "zovuz/d3d11/d3d11_texture.cpp|#include \"zovuz/graphics/graphics_hardware.h\"|is not the public header of zovuz_graphics"
  "app/shell/frame.cpp|#include \"zovuz/graphics/zovuz_graphics_backend.h\"|is the back-end header of zovuz_graphics"
  "zovuz/graphics/zovuz_graphics.h|#include \"zovuz/graphics/zovuz_graphics_backend.h\"|zovuz_graphics.h:1: is reached from the public headers and includes the back-end header"
  "zovuz/d3d11/zovuz_d3d11.h|#include \"zovuz/graphics/zovuz_graphics_backend.h\"|zovuz_d3d11.h:1: is reached from the public headers and includes the back-end header"
  "zovuz/core/zovuz_core.h|extern int PlantedState\;|declares module state in a public header"
  "zovuz/core/zovuz_core.h|extern void (*PlantedHook)(int)\;|declares module state in a public header"
  "zovuz/core/zovuz_core.h|extern \"C\" int PlantedCall(void)\;|"
  "zovuz/graphics/misc/loose.cpp|int Loose\;|neither windows/ nor one of its rooms"
  "zovuz/d3d11/draw/d3d11_draw_geometry.cpp|#include \"zovuz/d3d11/shader/d3d11_shader_pack_internal.h\"|internal to the room zovuz/d3d11/shader"
  "zovuz/d3d11/windows/d3d11_filter_hooks_win.cpp|#include \"zovuz/d3d11/shader/d3d11_shader_pack_internal.h\"|"
  "zovuz/graphics/draw_@.cpp*31|int Drawn\;|"
  "zovuz/graphics/draw_@.cpp*32|int Drawn\;|zovuz/graphics/:0: holds 36 files, more than 35"
  "tests/data/sound/tone_@.wav*36|RIFF|tests/data/sound/:0: holds 36 files, more than 35"
  "fuzz/mml_compile/corpus/found-@*36|o4 c|")

function(write_tree dir)
  file(REMOVE_RECURSE ${dir})
  file(MAKE_DIRECTORY ${dir}/cmake)
  file(COPY ${TARVEX_SOURCE_DIR}/cmake/layers.cmake DESTINATION ${dir}/cmake)
  foreach(entry ${ARGN})
    string(FIND "${entry}" "|" bar)
    string(SUBSTRING "${entry}" 0 ${bar} path)
    math(EXPR bar "${bar} + 1")
    string(SUBSTRING "${entry}" ${bar} -1 content)
    if(path MATCHES "^(.*)\\*([0-9]+)$")
      set(pattern ${CMAKE_MATCH_1})
      foreach(number RANGE 1 ${CMAKE_MATCH_2})
        string(REPLACE "@" ${number} one ${pattern})
        file(WRITE ${dir}/${one} "${content}\n")
      endforeach()
    else()
      file(WRITE ${dir}/${path} "${content}\n")
    endif()
  endforeach()
endfunction()

function(check dir expected label)
  execute_process(COMMAND ${CMAKE_COMMAND} -DTARVEX_SOURCE_DIR=${dir}
    -P ${TARVEX_SOURCE_DIR}/tools/layering/check_layers.cmake
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(expected STREQUAL "" AND NOT result EQUAL 0)
    message(SEND_ERROR "${label}: refused, should pass:\n${out}")
  elseif(NOT expected STREQUAL "" AND (result EQUAL 0 OR NOT out MATCHES "${expected}"))
    message(SEND_ERROR "${label}: should fail with \"${expected}\", gave:\n${out}")
  endif()
endfunction()

write_tree(${SCRATCH}/clean ${clean_files})
check(${SCRATCH}/clean "" "the clean tree")
set(number 0)
foreach(row ${rows})
  math(EXPR number "${number} + 1")
  string(REGEX MATCH "^([^|]*)\\|(.*)\\|([^|]*)$" matched "${row}")
  set(path ${CMAKE_MATCH_1})
  set(content "${CMAKE_MATCH_2}")
  set(expected "${CMAKE_MATCH_3}")
  write_tree(${SCRATCH}/row${number} ${clean_files} "${path}|${content}")
  check(${SCRATCH}/row${number} "${expected}" "${path}: ${content}")
endforeach()
message("layering rules: the clean tree and ${number} planted files judged as expected")
