# The archive writer program's test reads what the program wrote with the library's reader.
target_link_libraries(tools_archive_writer_test PRIVATE archive_writer_lib)
