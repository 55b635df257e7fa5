# The archive writer program's test reads what the program wrote with the library's reader.
target_link_libraries(tools_archive_writer_test PRIVATE archive_writer_lib)

# The Direct3D 11 shader tests read the emitter's output and build shaders with its library.
target_link_libraries(test_support_tools PUBLIC shader_emitter_cross)
# The standard shaders are drawn as the program carries them: the back end's packs and loader.
target_link_libraries(tools_standard_shaders_d3d11_test PRIVATE zovuz_d3d11)
target_link_libraries(tools_three_d_shaders_d3d11_test PRIVATE zovuz_d3d11)
# The filter shaders are drawn by the filters' own Direct3D 9 passes.
target_link_libraries(tools_filter_shaders_d3d9_test PRIVATE zovuz_filter)

# The host tests below run with the address checker. Its quarantine keeps 256 MB of freed blocks
# from reuse by default, so that building a shader set (thousands of shaders on several threads)
# touches fresh pages for almost every block and spends half its time in page faults; 32 MB is
# still far more than one shader's build frees, so a use after free within it is still caught.
set(tarvex_host_asan_options ASAN_OPTIONS=quarantine_size_mb=32)

# The shader emitter's host tests are native programs built by its own project
# (tools/shader_emitter); they run here like every other test of the area.
file(GLOB host_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/host/*_test.cpp)
foreach(src ${host_tests})
  get_filename_component(program ${src} NAME_WE)
  string(REGEX REPLACE "_test$" "" topic ${program})
  add_test(NAME tools.${topic} COMMAND ${CMAKE_BINARY_DIR}/host/shader_emitter/${program})
  set_tests_properties(tools.${topic} PROPERTIES LABELS tools TIMEOUT 300
    ENVIRONMENT "TARVEX_TEST_DATA_DIR=${CMAKE_SOURCE_DIR}/tests/data;${tarvex_host_asan_options}")
endforeach()

# The shader-pack builder's host tests are built by the native build with the builder
# (tools/shader_pack); they run here too.
file(GLOB pack_host_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/host/shader_pack/*_test.cpp)
foreach(src ${pack_host_tests})
  get_filename_component(program ${src} NAME_WE)
  string(REGEX REPLACE "_test$" "" topic ${program})
  add_test(NAME tools.${topic} COMMAND ${CMAKE_BINARY_DIR}/fuzz-native/shader_pack/${program})
  set_tests_properties(tools.${topic} PROPERTIES LABELS tools TIMEOUT 300
    ENVIRONMENT "TARVEX_TEST_DATA_DIR=${CMAKE_SOURCE_DIR}/tests/data;${tarvex_host_asan_options}")
endforeach()

# These draw in a window of their own.
tarvex_test_desktop(tools.shader_d3d11 tools.shader_instructions tools.standard_shaders_d3d11
  tools.three_d_shaders_d3d11)

# The song writer's text reader and bank builder.
target_link_libraries(tools_song_text_test PRIVATE song_writer_lib)
# The driver script's reading of its lines.
target_link_libraries(tools_driver_script_test PRIVATE app_driver_lib)

# The test runner's wrapper around wine, with a stand-in for wine.
add_test(NAME tools.wine_run COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/wine_run_test.sh ${CMAKE_BINARY_DIR}/wine-run)
set_tests_properties(tools.wine_run PROPERTIES LABELS tools TIMEOUT 120)

# scripts/run's choice of the prefix whose window management it sets, with stand-ins.
add_test(NAME tools.run_script COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/run_script_test.sh ${CMAKE_SOURCE_DIR})
set_tests_properties(tools.run_script PROPERTIES LABELS tools TIMEOUT 60)

# The bootstrap's way past an archive in the middle of a sync, with stand-ins for apt and dpkg.
add_test(NAME tools.apt_tolerant COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/apt_tolerant_test.sh ${CMAKE_SOURCE_DIR})
set_tests_properties(tools.apt_tolerant PROPERTIES LABELS tools TIMEOUT 120)
