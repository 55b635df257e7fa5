# Cross build for 32-bit Windows with mingw-w64 (posix thread model), run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(TARVEX_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${TARVEX_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARVEX_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TARVEX_TRIPLE}-windres)
set(CMAKE_AR ${TARVEX_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${TARVEX_TRIPLE}-ranlib CACHE FILEPATH "")

# The third-party libraries live in the deps cache made by scripts/build-deps.
set(TARVEX_DEPS_DIR "" CACHE PATH "Folder of the cross-built third-party libraries")
set(CMAKE_FIND_ROOT_PATH /usr/${TARVEX_TRIPLE} ${TARVEX_DEPS_DIR})
set(CMAKE_PREFIX_PATH ${TARVEX_DEPS_DIR})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
