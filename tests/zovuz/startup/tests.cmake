# The start-up tests open the library's main window (class "tarvex"), which all processes of one
# Wine prefix share.
set_tests_properties(${TARVEX_DIR_TESTS} PROPERTIES RESOURCE_LOCK main_window)

# The application's window set-up and the child-process runner of the core's window tests.
foreach(target ${TARVEX_DIR_TARGETS})
  target_link_libraries(${target} PRIVATE test_support_zovuz_core_window)
endforeach()

# The asynchronous graph loads use the graphics tests' image builders and counting file table.
target_link_libraries(core_graph_load_async_test PRIVATE test_support_zovuz_graphics)

# The movie test plays the movie tests' encoded files.
target_link_libraries(core_movie_library_end_test PRIVATE test_support_zovuz_graphics)
add_dependencies(core_movie_library_end_test movie_test_files)
set_tests_properties(core.movie_library_end PROPERTIES RESOURCE_LOCK "main_window;sound_sink")
