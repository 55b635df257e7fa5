# Compiler settings, third-party libraries and the helpers that make the library,
# test and benchmark targets from the source tree.

# Repeatable single-precision results (no x87 excess precision); narrow literals in
# code page 932, sources in UTF-8; everything static (missing DLLs fail silently under Wine).
# (C and C++ only: the resource compiler takes none of these.)
add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:-msse2> $<$<COMPILE_LANGUAGE:C,CXX>:-mfpmath=sse>
  $<$<COMPILE_LANGUAGE:C,CXX>:-finput-charset=UTF-8> $<$<COMPILE_LANGUAGE:C,CXX>:-fexec-charset=CP932>
  $<$<COMPILE_LANGUAGE:C,CXX>:-Wall> $<$<COMPILE_LANGUAGE:C,CXX>:-Wno-unknown-pragmas>)
# Warnings fail the build where scripts/test builds (CI runs it): TARVEX_WERROR=ON.
option(TARVEX_WERROR "Treat compiler warnings as errors" OFF)
if(TARVEX_WERROR)
  add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:-Werror>)
endif()
add_compile_definitions(_WIN32_WINNT=0x0A00 WINVER=0x0A00 STRSAFE_NO_DEPRECATE NOMINMAX)
add_link_options(-static -static-libgcc -static-libstdc++)
include_directories(${CMAKE_SOURCE_DIR})

# --- third-party libraries from the deps cache -------------------------------------------
if(NOT TARVEX_DEPS_DIR OR NOT EXISTS ${TARVEX_DEPS_DIR}/.complete)
  message(FATAL_ERROR "TARVEX_DEPS_DIR (${TARVEX_DEPS_DIR}) is not a finished deps cache: run scripts/bootstrap")
endif()

add_library(tarvex_thirdparty INTERFACE)
foreach(lib opusfile opus vorbisfile vorbis theoradec theora ogg png16 jpeg tiff)
  find_library(TARVEX_LIB_${lib} NAMES ${lib} PATHS ${TARVEX_DEPS_DIR}/lib NO_DEFAULT_PATH REQUIRED)
  target_link_libraries(tarvex_thirdparty INTERFACE ${TARVEX_LIB_${lib}})
endforeach()
find_library(TARVEX_LIB_z NAMES z REQUIRED)
target_link_libraries(tarvex_thirdparty INTERFACE ${TARVEX_LIB_z})
target_include_directories(tarvex_thirdparty SYSTEM INTERFACE ${TARVEX_DEPS_DIR}/include ${TARVEX_DEPS_DIR}/include/opus)

# Boost is header-only here. Only the boost folder of the host is exposed, never the host's
# /usr/include. Only targets that link tarvex_boost see it (the engine, behind its lock header,
# and the shell, for its ini files);
# a file that needs Boost's Windows declarations defines BOOST_USE_WINDOWS_H itself.
set(TARVEX_BOOST_INCLUDE ${CMAKE_BINARY_DIR}/boost-include)
if(NOT EXISTS ${TARVEX_BOOST_INCLUDE}/boost)
  file(MAKE_DIRECTORY ${TARVEX_BOOST_INCLUDE})
  file(CREATE_LINK /usr/include/boost ${TARVEX_BOOST_INCLUDE}/boost SYMBOLIC)
endif()
add_library(tarvex_boost INTERFACE)
target_include_directories(tarvex_boost SYSTEM INTERFACE ${TARVEX_BOOST_INCLUDE})
target_compile_definitions(tarvex_boost INTERFACE BOOST_ALL_NO_LIB)

# ssp: the deps' opus is built with fortified string calls (__memcpy_chk).
add_library(tarvex_system_libs INTERFACE)
target_link_libraries(tarvex_system_libs INTERFACE
  comdlg32 shlwapi shell32 winmm ole32 oleaut32 uuid strmiids dxguid mfuuid gdi32 user32 version ssp)

find_package(GTest CONFIG REQUIRED PATHS ${TARVEX_DEPS_DIR} NO_DEFAULT_PATH)

# Targets that must exist before any test runs (test plug-ins, fixtures); tools add to it.
add_custom_target(tarvex_test_support)

# tarvex_add_library(name dir [ROOMS rooms...] [EXCLUDE files...]): a static library of every
# .c/.cpp file in dir and dir/windows, and in dir/<room> and dir/<room>/windows for each room
# (cmake/layers.cmake). A folder without sources yet gets an empty placeholder unit, so that
# callers can link to a subsystem before it has code.
function(tarvex_add_library name dir)
  cmake_parse_arguments(ARG "" "" "ROOMS;EXCLUDE" ${ARGN})
  set(patterns "")
  foreach(folder ${dir} ${dir}/windows)
    list(APPEND patterns ${CMAKE_SOURCE_DIR}/${folder}/*.cpp ${CMAKE_SOURCE_DIR}/${folder}/*.c)
  endforeach()
  foreach(room ${ARG_ROOMS})
    foreach(folder ${dir}/${room} ${dir}/${room}/windows)
      list(APPEND patterns ${CMAKE_SOURCE_DIR}/${folder}/*.cpp ${CMAKE_SOURCE_DIR}/${folder}/*.c)
    endforeach()
  endforeach()
  file(GLOB sources CONFIGURE_DEPENDS ${patterns})
  foreach(ex ${ARG_EXCLUDE})
    list(REMOVE_ITEM sources ${CMAKE_SOURCE_DIR}/${ex})
  endforeach()
  if(NOT sources)
    set(sources ${CMAKE_BINARY_DIR}/empty/${name}.cpp)
    file(WRITE ${sources} "// ${dir} has no sources yet\n")
  endif()
  add_library(${name} STATIC ${sources})
  target_link_libraries(${name} PUBLIC tarvex_thirdparty tarvex_system_libs)
endfunction()

# The whole program: what the benchmarks link.
add_library(tarvex_everything INTERFACE)
target_link_libraries(tarvex_everything INTERFACE tarvex_shell)

# tarvex_add_resources(target files...): the program's resource scripts in a target. They are
# UTF-8 (Japanese menu texts) and take the icon that tools/ui_images draws into the build.
function(tarvex_add_resources target)
  target_sources(${target} PRIVATE ${ARGN})
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:RC>:--codepage=65001>
    $<$<COMPILE_LANGUAGE:RC>:-I${CMAKE_BINARY_DIR}/ui_images>)
  set_source_files_properties(${ARGN} TARGET_DIRECTORY ${target} PROPERTIES
    OBJECT_DEPENDS ${CMAKE_BINARY_DIR}/ui_images/tarvex.ico)
  add_dependencies(${target} ui_images)
endfunction()
