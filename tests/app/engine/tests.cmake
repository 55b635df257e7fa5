# The sequencer's end-to-end test starts the library as the application does (LibraryInit opens
# its main window) and plays into the sound server's null sink. Its recording test runs it for
# 6 s while parec records the sink, then compares the recording with the WAV render of the same
# song frame by frame (sequencer_sink.sh, sequencer_sink_judge.py), in a folder of its own.
target_link_libraries(engine_sequencer_sink_test PRIVATE zovuz_startup)
tarvex_test_desktop(engine.sequencer_sink)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/testrun/engine.sequencer_sink_recording)
add_test(NAME engine.sequencer_sink_recording
  COMMAND ${PROJECT_SOURCE_DIR}/tests/support/retry_recording.sh ${CMAKE_CURRENT_LIST_DIR}/sequencer_sink.sh ${CMAKE_BINARY_DIR}/wine-run $<TARGET_FILE:engine_sequencer_sink_test>
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/testrun/engine.sequencer_sink_recording)
set_tests_properties(engine.sequencer_sink_recording PROPERTIES LABELS engine TIMEOUT 120
  ENVIRONMENT "${tarvex_test_environment}")
tarvex_test_recording(engine.sequencer_sink_recording)
add_test(NAME engine.sequencer_sink_judge COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/sequencer_sink_judge_test.py)
set_tests_properties(engine.sequencer_sink_judge PROPERTIES LABELS engine TIMEOUT 60)
# The songs of the tests are written with the song writer's builders (tools/song_writer/).
target_link_libraries(test_support_app_engine PUBLIC song_writer_lib)
