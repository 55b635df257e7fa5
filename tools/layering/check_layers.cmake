# The layering test: reads every source and header of zovuz/ and app/ and checks its includes
# against cmake/layers.cmake, the table the build links by. Run as
#   cmake -DTARVEX_SOURCE_DIR=<top> -P tools/layering/check_layers.cmake
# It prints one line per violation (file:line: rule) and fails when there is any:
# - zovuz/ never includes app/;
# - a target includes only its own headers and those of the targets it uses; from a library
#   subsystem it uses, only the public header zovuz/<sub>/zovuz_<sub>.h; the umbrella
#   zovuz/zovuz.h only where every library layer is used; never another target's *_internal.h;
# - <windows.h>, COM and other Windows headers, Boost's thread and Windows headers, the headers
#   of windows/ folders, and any header that includes one of them (followed through the tree)
#   only in files inside a windows/ folder.
cmake_minimum_required(VERSION 3.24)
if(NOT TARVEX_SOURCE_DIR)
  message(FATAL_ERROR "check_layers: pass -DTARVEX_SOURCE_DIR=<top of the sources>")
endif()
include(${TARVEX_SOURCE_DIR}/cmake/layers.cmake)

# System headers that bring in <windows.h> (or are Windows-only), compared in lower case.
set(windows_header_regex
  "^(windows|winbase|windef|winuser|wingdi|winnt|winnls|winerror|winreg|winver|winsock|winsock2|ws2tcpip|mmsystem|mmreg|msacm|objbase|ole2|oleauto|olectl|unknwn|combaseapi|objidl|comdef|comip|shlwapi|shlobj|shellapi|commdlg|commctrl|imm|msctf|dwmapi|dsound|dinput|xinput|xaudio2|ddraw|dshow|strmif|control|uuids|mfapi|mfidl|mfreadwrite|mferror|wincodec|tlhelp32|d3d9|d3d9types|d3d11|d3d11_1|d3dcompiler|dxgi|dxgi1_2)\\.h$|^boost/thread|^boost/winapi/|^boost/detail/winapi/|^boost/asio")

file(GLOB_RECURSE files RELATIVE ${TARVEX_SOURCE_DIR}
  ${TARVEX_SOURCE_DIR}/zovuz/*.h ${TARVEX_SOURCE_DIR}/zovuz/*.hpp ${TARVEX_SOURCE_DIR}/zovuz/*.c
  ${TARVEX_SOURCE_DIR}/zovuz/*.cpp ${TARVEX_SOURCE_DIR}/zovuz/*.inl
  ${TARVEX_SOURCE_DIR}/app/*.h ${TARVEX_SOURCE_DIR}/app/*.hpp ${TARVEX_SOURCE_DIR}/app/*.c
  ${TARVEX_SOURCE_DIR}/app/*.cpp ${TARVEX_SOURCE_DIR}/app/*.inl)
list(SORT files)

# Pass 1: every include of every file, as "line|kind|path" (kind q for "...", a for <...>).
foreach(file ${files})
  file(STRINGS ${TARVEX_SOURCE_DIR}/${file} lines)
  set(found "")
  set(number 0)
  foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    if(line MATCHES "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\"")
      list(APPEND found "${number}|q|${CMAKE_MATCH_1}")
    elseif(line MATCHES "^[ \t]*#[ \t]*include[ \t]*<([^>]+)>")
      list(APPEND found "${number}|a|${CMAKE_MATCH_1}")
    endif()
  endforeach()
  set(includes_${file} "${found}")
endforeach()

# Pass 2: which project files reach Windows headers, directly or through other project headers.
set(windows_files "")
foreach(file ${files})
  foreach(entry IN LISTS includes_${file})
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 2 path)
    string(TOLOWER "${path}" lower)
    if(lower MATCHES "${windows_header_regex}" OR path MATCHES "(^|/)windows/")
      list(APPEND windows_files ${file})
      break()
    endif()
  endforeach()
endforeach()
set(changed TRUE)
while(changed)
  set(changed FALSE)
  foreach(file ${files})
    if(file IN_LIST windows_files)
      continue()
    endif()
    foreach(entry IN LISTS includes_${file})
      string(REPLACE "|" ";" parts "${entry}")
      list(GET parts 2 path)
      if(path IN_LIST windows_files)
        list(APPEND windows_files ${file})
        set(changed TRUE)
        break()
      endif()
    endforeach()
  endforeach()
endwhile()

# Pass 3: the rules.
set(violations 0)
macro(violation file line text)
  message("${file}:${line}: ${text}")
  math(EXPR violations "${violations} + 1")
endmacro()

foreach(file ${files})
  tarvex_layer_of(${file} owner)
  set(in_windows FALSE)
  if(file MATCHES "(^|/)windows/")
    set(in_windows TRUE)
  endif()
  foreach(entry IN LISTS includes_${file})
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 line)
    list(GET parts 1 kind)
    list(GET parts 2 path)
    string(TOLOWER "${path}" lower)

    if(NOT in_windows)
      if(lower MATCHES "${windows_header_regex}")
        violation(${file} ${line} "<${path}> is a Windows or Boost thread header: only files in a windows/ folder may include it")
      elseif(path MATCHES "(^|/)windows/")
        violation(${file} ${line} "\"${path}\" is in a windows/ folder: only files in a windows/ folder may include it")
      elseif(path IN_LIST windows_files)
        violation(${file} ${line} "\"${path}\" brings in Windows headers: only files in a windows/ folder may include it")
      endif()
    endif()

    if(NOT kind STREQUAL "q" OR NOT path MATCHES "^(zovuz|app)/")
      continue()
    endif()
    if(file MATCHES "^zovuz/" AND path MATCHES "^app/")
      violation(${file} ${line} "the library never includes the application (\"${path}\")")
      continue()
    endif()
    if(NOT owner)
      continue()
    endif()
    if(path STREQUAL TARVEX_UMBRELLA_HEADER)
      foreach(needed ${TARVEX_UMBRELLA_LAYERS})
        if(NOT needed STREQUAL owner AND NOT needed IN_LIST TARVEX_LAYER_USES_${owner})
          violation(${file} ${line} "${owner} includes the whole library (${path}) but does not use ${needed}: include the public headers of what it uses")
          break()
        endif()
      endforeach()
      continue()
    endif()
    tarvex_layer_of(${path} target)
    if(NOT target OR target STREQUAL owner)
      continue()
    endif()
    if(NOT target IN_LIST TARVEX_LAYER_USES_${owner})
      violation(${file} ${line} "${owner} includes \"${path}\" of ${target}, which it does not use (cmake/layers.cmake)")
    elseif(path MATCHES "_internal\\.h$")
      violation(${file} ${line} "\"${path}\" is internal to ${target}")
    elseif(target MATCHES "^zovuz_" AND NOT path STREQUAL "${TARVEX_LAYER_DIR_${target}}/${target}.h")
      violation(${file} ${line} "\"${path}\" is not the public header of ${target} (${TARVEX_LAYER_DIR_${target}}/${target}.h)")
    endif()
  endforeach()
endforeach()

list(LENGTH files checked)
if(violations GREATER 0)
  message(FATAL_ERROR "layering: ${violations} violation(s) in ${checked} files")
endif()
message("layering: ${checked} files of zovuz/ and app/ follow cmake/layers.cmake")
