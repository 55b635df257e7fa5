# The filter tests run on the graphics tests' software-renderer fixture.
foreach(target ${TARVEX_DIR_TARGETS})
  target_link_libraries(${target} PRIVATE test_support_zovuz_graphics)
endforeach()
# The Direct3D 11 passes draw on the platform's device in the library's main window.
set_tests_properties(filter.d3d11_passes PROPERTIES RESOURCE_LOCK main_window)
set_tests_properties(filter.d3d9_passes_library PROPERTIES RESOURCE_LOCK main_window)
