# The archive reader's and the streams' tests build their archives with the archive writer
# (tools/archive_writer).
target_link_libraries(core_archive_test PRIVATE archive_writer_lib)
target_link_libraries(core_stream_test PRIVATE archive_writer_lib)
