# Direct3D 11 is switched off, as on a machine where only Direct3D 9 starts. The device tests open
# the library's main window (class "tarvex"), which all processes of one Wine prefix share.
foreach(test ${TARVEX_DIR_TESTS})
  set_tests_properties(${test} PROPERTIES
    ENVIRONMENT "${tarvex_test_environment};WINEDLLOVERRIDES=mscoree,mshtml=\\;d3d11=d")
endforeach()
set_tests_properties(d3d9.device PROPERTIES RESOURCE_LOCK main_window)
set_tests_properties(d3d9.device_state PROPERTIES RESOURCE_LOCK main_window)
set_tests_properties(d3d9.shader_constant PROPERTIES RESOURCE_LOCK main_window)
set_tests_properties(d3d9.draw_state PROPERTIES RESOURCE_LOCK main_window)
set_tests_properties(d3d9.blend_picture PROPERTIES RESOURCE_LOCK main_window)
set_tests_properties(d3d9.shader PROPERTIES RESOURCE_LOCK main_window)
# The shader test builds base archives of its own.
target_link_libraries(d3d9_shader_test PRIVATE archive_writer_lib)
set_tests_properties(d3d9.shader_picture PROPERTIES RESOURCE_LOCK main_window)
set_tests_properties(d3d9.shapes PROPERTIES RESOURCE_LOCK main_window)
set_tests_properties(d3d9.graph_draw PROPERTIES RESOURCE_LOCK main_window)
set_tests_properties(d3d9.mask PROPERTIES RESOURCE_LOCK main_window)
# The graph textures run graphics started on Direct3D 9 in the main window.
set_tests_properties(d3d9.graph_texture PROPERTIES RESOURCE_LOCK main_window)
target_link_libraries(d3d9_graph_texture_test PRIVATE test_support_zovuz_graphics)
# The front end's drawing starts graphics on Direct3D 9 (and on the software renderer) in the main window,
# and draws the graphics tests' scene.
set_tests_properties(d3d9.front_end_draw PROPERTIES RESOURCE_LOCK main_window)
target_link_libraries(d3d9_front_end_draw_test PRIVATE test_support_zovuz_graphics)
