# The native fuzz build (fuzz/CMakeLists.txt), built beside the cross build with clang, and the
# replay of every fuzz target's committed corpus and regression inputs as the CTest test
# fuzz.<target>, label "fuzz". The replay runs natively, not under Wine: it executes each input
# once with the sanitizers on and fails on the first finding or broken invariant.
include(ExternalProject)

find_program(TARVEX_CLANGXX NAMES clang++ clang++-14 REQUIRED
  DOC "clang++ for the native fuzz build (scripts/bootstrap installs it)")
set(TARVEX_FUZZ_BUILD_DIR ${CMAKE_BINARY_DIR}/fuzz-native)

ExternalProject_Add(tarvex_fuzz_native
  SOURCE_DIR ${CMAKE_SOURCE_DIR}/fuzz
  BINARY_DIR ${TARVEX_FUZZ_BUILD_DIR}
  CMAKE_GENERATOR ${CMAKE_GENERATOR}
  CMAKE_ARGS -DCMAKE_CXX_COMPILER=${TARVEX_CLANGXX} -DCMAKE_BUILD_TYPE=RelWithDebInfo
             -DTARVEX_WERROR=${TARVEX_WERROR}
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  USES_TERMINAL_BUILD ON)

# The shader-pack builder first, on its own: the cross build's Direct3D 11 library compiles the
# source it writes (tools/shader_pack/CMakeLists.txt) and need not wait for the fuzz targets. It
# runs when a file the native build may read for it has changed (the library, the tools, the fuzz
# project's platform stand-in and CMake files: more than the builder reads, never less), so a
# build with nothing changed (each start of scripts/run) does not run it.
file(GLOB_RECURSE tarvex_shader_pack_inputs CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/zovuz/*.cpp ${CMAKE_SOURCE_DIR}/zovuz/*.h ${CMAKE_SOURCE_DIR}/zovuz/*.inc
  ${CMAKE_SOURCE_DIR}/tools/*.cpp ${CMAKE_SOURCE_DIR}/tools/*.h ${CMAKE_SOURCE_DIR}/tools/*.txt
  ${CMAKE_SOURCE_DIR}/fuzz/native/* ${CMAKE_SOURCE_DIR}/cmake/*)
ExternalProject_Add_Step(tarvex_fuzz_native shader_pack
  COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target shader_pack
  DEPENDEES configure
  DEPENDERS build
  DEPENDS ${tarvex_shader_pack_inputs} ${CMAKE_SOURCE_DIR}/fuzz/CMakeLists.txt
  BYPRODUCTS ${TARVEX_FUZZ_BUILD_DIR}/shader_pack/shader_pack)
ExternalProject_Add_StepTargets(tarvex_fuzz_native shader_pack)

# Each replay also carries the label of the area whose reader it drives, so that
# `ctest -L engine` replays the engine's inputs too.
set(tarvex_fuzz_area_archive core)
set(tarvex_fuzz_area_char_code core)
set(tarvex_fuzz_area_format_print core)
set(tarvex_fuzz_area_loop_info sound)
set(tarvex_fuzz_area_sound_convert sound)
set(tarvex_fuzz_area_font_data graphics)
set(tarvex_fuzz_area_image_load graphics)
set(tarvex_fuzz_area_mdx_load engine)
set(tarvex_fuzz_area_mml_compile engine)
set(tarvex_fuzz_area_sample_load engine)
set(tarvex_fuzz_area_project_read shell)
set(tarvex_fuzz_area_mdx_text shell)
set(tarvex_fuzz_area_theora_open movie)
set(tarvex_fuzz_area_d3d9_shader_code d3d9)

file(GLOB tarvex_fuzz_targets CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/*/*_fuzz.cpp)
foreach(file ${tarvex_fuzz_targets})
  get_filename_component(dir ${file} DIRECTORY)
  get_filename_component(name ${dir} NAME)
  set(workdir ${CMAKE_BINARY_DIR}/testrun/fuzz.${name})
  file(MAKE_DIRECTORY ${workdir})
  # -runs=0: every input of the corpus (regressions/ included) once, no mutation. A finding
  # is written to the test's folder.
  add_test(NAME fuzz.${name}
    COMMAND ${TARVEX_FUZZ_BUILD_DIR}/${name}_fuzz -runs=0 -artifact_prefix=${workdir}/ ${dir}/corpus
    WORKING_DIRECTORY ${workdir})
  if(NOT DEFINED tarvex_fuzz_area_${name})
    message(FATAL_ERROR "fuzz target ${name}: name its area in cmake/fuzz.cmake")
  endif()
  set_tests_properties(fuzz.${name} PROPERTIES LABELS "fuzz;${tarvex_fuzz_area_${name}}" TIMEOUT 120)
endforeach()
