# The filter tests run on the graphics tests' software-renderer fixture.
foreach(target ${TARVEX_DIR_TARGETS})
  target_link_libraries(${target} PRIVATE test_support_zovuz_graphics)
endforeach()
