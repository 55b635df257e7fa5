# Tests that open the library's main window, or change the display mode, share one desktop with
# every process of the prefix.
set_tests_properties(graphics.display graphics.gdi_present PROPERTIES RESOURCE_LOCK main_window)
set_tests_properties(graphics.front_screen_timer PROPERTIES RESOURCE_LOCK main_window)
set_tests_properties(graphics.screen_drawing PROPERTIES RESOURCE_LOCK main_window)
