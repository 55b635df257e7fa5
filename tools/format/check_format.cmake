# The formatting test: every source and header of zovuz/ and app/ is as clang-format (with the
# .clang-format file nearest to it) writes it, so one house style holds across the library and
# the application. Run from the top of the sources:
#   cmake -DTARVEX_SOURCE_DIR=<top> -DCLANG_FORMAT=<program> -P tools/format/check_format.cmake
if(NOT TARVEX_SOURCE_DIR OR NOT CLANG_FORMAT)
  message(FATAL_ERROR "format: pass -DTARVEX_SOURCE_DIR=<top> and -DCLANG_FORMAT=<program>")
endif()
file(GLOB_RECURSE sources RELATIVE ${TARVEX_SOURCE_DIR}
  ${TARVEX_SOURCE_DIR}/zovuz/*.cpp ${TARVEX_SOURCE_DIR}/zovuz/*.h
  ${TARVEX_SOURCE_DIR}/app/*.cpp ${TARVEX_SOURCE_DIR}/app/*.h)
list(SORT sources)
list(LENGTH sources count)
execute_process(COMMAND ${CLANG_FORMAT} --dry-run --Werror ${sources}
  WORKING_DIRECTORY ${TARVEX_SOURCE_DIR}
  RESULT_VARIABLE result ERROR_VARIABLE report)
if(NOT result EQUAL 0)
  message("${report}")
  message(FATAL_ERROR "format: files of zovuz/ and app/ differ from clang-format's output "
    "(run clang-format -i on them)")
endif()
message("format: ${count} files of zovuz/ and app/ are formatted")
