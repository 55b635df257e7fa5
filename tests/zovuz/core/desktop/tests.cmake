# Tests that open the library's main window, activate it and type into it.
tarvex_test_desktop(core.main_window core.message_pump core.ime core.input core.window_activation)

# The main-window test's menu resource (Japanese texts, UTF-8 source).
target_sources(core_main_window_test PRIVATE ${CMAKE_CURRENT_LIST_DIR}/main_window_test.rc)
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/main_window_test.rc PROPERTIES COMPILE_OPTIONS "-c;65001")
