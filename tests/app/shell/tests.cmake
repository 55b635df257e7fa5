# The program test runs tarvex.exe, whose main window (class "tarvex") every process of the Wine
# prefix shares with the library's window tests.
add_dependencies(shell_tarvex_program_test tarvex)
set_tests_properties(shell.tarvex_program PROPERTIES RESOURCE_LOCK main_window)
# The plug-in window tests put their windows on the shared desktop.
set_tests_properties(shell.plugin_window PROPERTIES RESOURCE_LOCK main_window)
# The song session starts the program in-process: the library's main window with the program's
# menu (its resources linked in), and the MDX songs of the engine tests' builder.
tarvex_add_resources(shell_song_session_test ${PROJECT_SOURCE_DIR}/app/shell/tarvex.rc)
target_link_libraries(shell_song_session_test PRIVATE test_support_app_engine)
set_tests_properties(shell.song_session PROPERTIES RESOURCE_LOCK main_window)
# The project and render sessions start the program in-process as the song session does.
foreach(topic project_session render_session)
  tarvex_add_resources(shell_${topic}_test ${PROJECT_SOURCE_DIR}/app/shell/tarvex.rc)
  set_tests_properties(shell.${topic} PROPERTIES RESOURCE_LOCK main_window)
endforeach()
# The track views draw on the library's software renderer, in its main window.
set_tests_properties(shell.track_views PROPERTIES RESOURCE_LOCK main_window)
