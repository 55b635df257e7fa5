# Tests that open the library's main window share one desktop with every process of the prefix.
set_tests_properties(core.main_window core.message_pump core.ime core.input PROPERTIES RESOURCE_LOCK main_window)

# The main-window test's menu resource (Japanese texts, UTF-8 source).
target_sources(core_main_window_test PRIVATE ${CMAKE_CURRENT_LIST_DIR}/main_window_test.rc)
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/main_window_test.rc PROPERTIES COMPILE_OPTIONS "-c;65001")
set_tests_properties(core.window_activation PROPERTIES RESOURCE_LOCK main_window)
