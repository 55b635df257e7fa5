# Tests that play sound into the sound server's null sink hold the sound_sink lock, so that the
# recording test hears only its own tone. The recording test runs the device test's tone case
# while parec records the sink, then checks the recording with sox.
set_tests_properties(sound.dsound_device sound.soft_sound_device sound.xaudio2_device PROPERTIES RESOURCE_LOCK sound_sink)
add_test(NAME sound.tone_recording
  COMMAND ${PROJECT_SOURCE_DIR}/tests/support/retry_recording.sh ${CMAKE_CURRENT_LIST_DIR}/tone_recording.sh ${CMAKE_BINARY_DIR}/wine-run $<TARGET_FILE:sound_dsound_device_test>
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/testrun/sound.dsound_device)
set_tests_properties(sound.tone_recording PROPERTIES LABELS sound TIMEOUT 300 RESOURCE_LOCK sound_sink
  ENVIRONMENT "${tarvex_test_environment}")

# A SoftSound player fed by a 10 ms timer for 13 s while parec records the sink; the recording
# is checked sample by sample for lost, repeated or silent stretches. It runs alone: on a
# machine busy with the other tests Wine's own mixing falls behind and drops sound.
add_test(NAME sound.softsound_recording
  COMMAND ${PROJECT_SOURCE_DIR}/tests/support/retry_recording.sh ${CMAKE_CURRENT_LIST_DIR}/softsound_recording.sh ${CMAKE_BINARY_DIR}/wine-run $<TARGET_FILE:sound_soft_sound_device_test>
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/testrun/sound.soft_sound_device)
set_tests_properties(sound.softsound_recording PROPERTIES LABELS sound TIMEOUT 300 RESOURCE_LOCK sound_sink RUN_SERIAL ON
  ENVIRONMENT "${tarvex_test_environment}")

# The same player with its refill held back 100 ms and then 300 ms by its lock: the recording
# shows a short gap for each and no frame lost or repeated. It runs alone for the same reason.
add_test(NAME sound.late_refill_recording
  COMMAND ${PROJECT_SOURCE_DIR}/tests/support/retry_recording.sh ${CMAKE_CURRENT_LIST_DIR}/late_refill_recording.sh ${CMAKE_BINARY_DIR}/wine-run $<TARGET_FILE:sound_soft_sound_device_test>
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/testrun/sound.soft_sound_device)
set_tests_properties(sound.late_refill_recording PROPERTIES LABELS sound TIMEOUT 300 RESOURCE_LOCK sound_sink RUN_SERIAL ON
  ENVIRONMENT "${tarvex_test_environment}")

# The sound thread's tests open the library's main window, which all processes of the prefix share.
set_tests_properties(sound.sound_thread PROPERTIES RESOURCE_LOCK main_window)

# A stream sound with a loop point plays for 5 s while parec records the sink; the recording is
# checked sample by sample across three loop jumps. It runs alone for the same reason as the
# SoftSound recording.
set_tests_properties(sound.stream_sound_device PROPERTIES RESOURCE_LOCK sound_sink)
add_test(NAME sound.stream_recording
  COMMAND ${PROJECT_SOURCE_DIR}/tests/support/retry_recording.sh ${CMAKE_CURRENT_LIST_DIR}/stream_recording.sh ${CMAKE_BINARY_DIR}/wine-run $<TARGET_FILE:sound_stream_sound_device_test>
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/testrun/sound.stream_sound_device)
set_tests_properties(sound.stream_recording PROPERTIES LABELS sound TIMEOUT 300 RESOURCE_LOCK sound_sink RUN_SERIAL ON
  ENVIRONMENT "${tarvex_test_environment}")

# The XAudio2 device again with XAudio2_8.dll kept from loading (the 2.7 engine through COM with
# X3DAudio1_7.dll), and with no XAudio2 at all (the start falls back to DirectSound).
foreach(variant "27|2.7|xaudio2_8=d" "none|none|xaudio2_8,xaudio2_7,xaudio2_6=d")
  string(REPLACE "|" ";" parts "${variant}")
  list(GET parts 0 name)
  list(GET parts 1 expect)
  list(GET parts 2 overrides)
  set(workdir ${CMAKE_BINARY_DIR}/testrun/sound.xaudio2_device_${name})
  file(MAKE_DIRECTORY ${workdir})
  add_test(NAME sound.xaudio2_device_${name} COMMAND sound_xaudio2_device_test WORKING_DIRECTORY ${workdir})
  set_tests_properties(sound.xaudio2_device_${name} PROPERTIES LABELS sound TIMEOUT 300 RESOURCE_LOCK sound_sink
    ENVIRONMENT "${tarvex_test_environment};TARVEX_XAUDIO2_EXPECT=${expect};WINEDLLOVERRIDES=mscoree,mshtml=\;${overrides}")
endforeach()

# The same SoftSound recording with the device on XAudio2: the player's buffer is a source voice
# fed from its wave block.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/testrun/sound.xaudio2_recording)
add_test(NAME sound.xaudio2_recording
  COMMAND ${PROJECT_SOURCE_DIR}/tests/support/retry_recording.sh ${CMAKE_CURRENT_LIST_DIR}/softsound_recording.sh ${CMAKE_BINARY_DIR}/wine-run $<TARGET_FILE:sound_soft_sound_device_test>
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/testrun/sound.xaudio2_recording)
set_tests_properties(sound.xaudio2_recording PROPERTIES LABELS sound TIMEOUT 300 RESOURCE_LOCK sound_sink RUN_SERIAL ON
  ENVIRONMENT "${tarvex_test_environment};TARVEX_SOUND_OUTPUT=xaudio2")
