# The start-up tests open the library's main window (class "tarvex"), which all processes of one
# Wine prefix share.
set_tests_properties(${TARVEX_DIR_TESTS} PROPERTIES RESOURCE_LOCK main_window)
