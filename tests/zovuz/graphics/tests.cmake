# Tests that open the library's main window, or change the display mode, run on desktops of their
# own.
tarvex_test_desktop(graphics.display graphics.gdi_present graphics.front_screen_timer graphics.screen_drawing)
