# The program test runs tarvex.exe, whose main window (class "tarvex") every process of the Wine
# prefix shares with the library's window tests.
add_dependencies(shell_tarvex_program_test tarvex)
set_tests_properties(shell.tarvex_program PROPERTIES RESOURCE_LOCK main_window)
# The plug-in window tests put their windows on the shared desktop.
set_tests_properties(shell.plugin_window PROPERTIES RESOURCE_LOCK main_window)
