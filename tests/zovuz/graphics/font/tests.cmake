# The font tests build font data images with the library's LZ packing.
target_link_libraries(test_support_zovuz_graphics_font PUBLIC archive_writer_lib)
