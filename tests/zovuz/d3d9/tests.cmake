# Direct3D 11 is switched off, as on a machine where only Direct3D 9 starts. The device tests open
# the library's main window.
foreach(test ${TARVEX_DIR_TESTS})
  set_tests_properties(${test} PROPERTIES
    ENVIRONMENT "${tarvex_test_environment};WINEDLLOVERRIDES=mscoree,mshtml=\\;d3d11=d")
endforeach()
tarvex_test_desktop(d3d9.device d3d9.device_state d3d9.shader_constant d3d9.draw_state d3d9.blend_picture
  d3d9.shader d3d9.shader_picture d3d9.shapes d3d9.graph_draw d3d9.mask d3d9.graph_texture
  d3d9.front_end_draw)
# The shader test builds base archives of its own.
target_link_libraries(d3d9_shader_test PRIVATE archive_writer_lib)
# The graph textures run graphics started on Direct3D 9 in the main window, the front end's drawing
# on Direct3D 9 and on the software renderer, drawing the graphics tests' scene.
target_link_libraries(d3d9_graph_texture_test PRIVATE test_support_zovuz_graphics)
target_link_libraries(d3d9_front_end_draw_test PRIVATE test_support_zovuz_graphics)
# A frame that shows nothing new, in the library's main window.
tarvex_test_desktop(d3d9.unchanged_frame)
target_link_libraries(d3d9_unchanged_frame_test PRIVATE test_support_zovuz_graphics)
