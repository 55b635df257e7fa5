# The archive reader's tests build their archives with the archive writer (tools/archive_writer).
target_link_libraries(core_archive_test PRIVATE archive_writer_lib)
