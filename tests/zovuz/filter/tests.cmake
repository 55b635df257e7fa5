# The filter tests run on the graphics tests' software-renderer fixture.
foreach(target ${TARVEX_DIR_TARGETS})
  target_link_libraries(${target} PRIVATE test_support_zovuz_graphics)
endforeach()
# The Direct3D passes draw on the platform's devices in the library's main window.
tarvex_test_desktop(filter.d3d11_passes filter.d3d9_passes_library)
