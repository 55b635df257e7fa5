# The whole-library tests open the library's main window.
tarvex_test_desktop(${TARVEX_DIR_TESTS})

# The application's window set-up and the child-process runner of the core's window tests.
foreach(target ${TARVEX_DIR_TARGETS})
  target_link_libraries(${target} PRIVATE test_support_zovuz_core_desktop)
endforeach()

# The asynchronous graph loads use the graphics tests' image builders and counting file table.
target_link_libraries(core_graph_load_async_test PRIVATE test_support_zovuz_graphics)

# The library on Direct3D 11 is a test of that back end; run once more with d3d11.dll switched
# off, graphics fall back to the next renderer.
set_tests_properties(core.d3d11_screen PROPERTIES LABELS d3d11)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/testrun/core.d3d11_screen_without_d3d11)
add_test(NAME core.d3d11_screen_without_d3d11 COMMAND core_d3d11_screen_test
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/testrun/core.d3d11_screen_without_d3d11)
set_tests_properties(core.d3d11_screen_without_d3d11 PROPERTIES LABELS d3d11 TIMEOUT 300
  ENVIRONMENT "${tarvex_test_environment};TARVEX_D3D11_DISABLED=1;WINEDLLOVERRIDES=mscoree,mshtml=\\;d3d11=d")
tarvex_test_desktop(core.d3d11_screen_without_d3d11)
# The movie test plays the movie tests' encoded files.
target_link_libraries(core_movie_library_end_test PRIVATE test_support_zovuz_graphics)
add_dependencies(core_movie_library_end_test movie_test_files)

# The library on the Direct3D 9 back end: Direct3D 11 switched off, as on a machine where only
# Direct3D 9 starts; run again with Direct3D 9 switched off too, it lands on the software renderer.
set_tests_properties(core.d3d9_backend PROPERTIES LABELS d3d9
  ENVIRONMENT "${tarvex_test_environment};WINEDLLOVERRIDES=mscoree,mshtml=\\;d3d11=d")
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/testrun/core.d3d9_backend_without_d3d9)
add_test(NAME core.d3d9_backend_without_d3d9 COMMAND core_d3d9_backend_test
  --gtest_filter=D3D9StartupWithoutD3D9.*
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/testrun/core.d3d9_backend_without_d3d9)
set_tests_properties(core.d3d9_backend_without_d3d9 PROPERTIES LABELS d3d9 TIMEOUT 300
  ENVIRONMENT "${tarvex_test_environment};TARVEX_D3D9_DISABLED=1;WINEDLLOVERRIDES=mscoree,mshtml=\\;d3d11,d3d9=d")
tarvex_test_desktop(core.d3d9_backend_without_d3d9)

# The Direct3D 11 device's life (draw screens, the rebuild, the mode change) is a test of that
# back end.
set_tests_properties(core.d3d11_draw_screens PROPERTIES LABELS d3d11)
# ... and draws through the mask like the graphics tests, and with user pixel shaders the emitter
# makes.
target_link_libraries(core_d3d11_draw_screens_test PRIVATE shader_emitter_cross test_support_zovuz_graphics)
# Graphs on the Direct3D 11 back end are a test of that back end; they use the graphics tests'
# image builders.
set_tests_properties(core.d3d11_graph_texture PROPERTIES LABELS d3d11)
target_link_libraries(core_d3d11_graph_texture_test PRIVATE test_support_zovuz_graphics)
# ... with the Direct3D 9 tests' recording hooks, and the graphics tests' image builders.
target_link_libraries(core_d3d9_backend_test PRIVATE test_support_zovuz_d3d9 test_support_zovuz_graphics)

# Theora movies on Direct3D 9 through the device's YUV surface (Direct3D 11 switched off), played
# from the movie tests' encoded files.
add_dependencies(core_theora_surface_d3d9_test movie_test_files)
set_tests_properties(core.theora_surface_d3d9 PROPERTIES LABELS movie
  ENVIRONMENT "${tarvex_test_environment};WINEDLLOVERRIDES=mscoree,mshtml=\\;d3d11=d")
