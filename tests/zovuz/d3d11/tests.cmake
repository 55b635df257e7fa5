# The test on the platform's own device opens the library's main window.
tarvex_test_desktop(d3d11.real_device)
# The same program with d3d11.dll switched off: its load fails cleanly.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/testrun/d3d11.real_device_without_d3d11)
add_test(NAME d3d11.real_device_without_d3d11 COMMAND d3d11_real_device_test --gtest_filter=WithoutD3D11.*
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/testrun/d3d11.real_device_without_d3d11)
set_tests_properties(d3d11.real_device_without_d3d11 PROPERTIES LABELS d3d11 TIMEOUT 300
  ENVIRONMENT "${tarvex_test_environment};TARVEX_D3D11_DISABLED=1;WINEDLLOVERRIDES=mscoree,mshtml=\\;d3d11=d")
# The screen's tests present into the library's main window; the 3-D drawing and the drawing on the
# platform's device open it too, and the latter runs the graphics area's pixel cases.
tarvex_test_desktop(d3d11.screen d3d11.three_d_real_device d3d11.draw_real_device)
target_link_libraries(d3d11_draw_real_device_test PRIVATE test_support_zovuz_graphics)
# The cross-check starts graphics three times in the main window, to draw the graphics tests' scene.
tarvex_test_desktop(d3d11.cross_check)
target_link_libraries(d3d11_cross_check_test PRIVATE test_support_zovuz_graphics)
# The saved screen copy starts the graphics front end on the fake in the library's main window.
tarvex_test_desktop(d3d11.screen_copy)
target_link_libraries(d3d11_screen_copy_test PRIVATE test_support_zovuz_graphics)
# A frame that shows nothing new, on both renderers in the library's main window.
tarvex_test_desktop(d3d11.unchanged_frame)
target_link_libraries(d3d11_unchanged_frame_test PRIVATE test_support_zovuz_graphics)
