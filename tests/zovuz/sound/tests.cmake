# Tests that play sound into the sound server's null sink run on desktops of their own, so that
# the recording tests hear only their own sound. Each recording test records the sink while a
# device test program plays (the scripts beside this file), in a folder of its own, then checks
# the recording with sox or sample by sample.
tarvex_test_desktop(sound.dsound_device sound.soft_sound_device sound.xaudio2_device sound.stream_sound_device)
# The sound thread's tests open the library's main window.
tarvex_test_desktop(sound.sound_thread)

# tarvex_sound_recording(<name> <script> <program> [environment...])
function(tarvex_sound_recording name script program)
  set(workdir ${CMAKE_BINARY_DIR}/testrun/sound.${name})
  file(MAKE_DIRECTORY ${workdir})
  add_test(NAME sound.${name}
    COMMAND ${PROJECT_SOURCE_DIR}/tests/support/retry_recording.sh ${CMAKE_CURRENT_LIST_DIR}/${script} ${CMAKE_BINARY_DIR}/wine-run $<TARGET_FILE:${program}>
    WORKING_DIRECTORY ${workdir})
  set(environment ${tarvex_test_environment} ${ARGN})
  set_tests_properties(sound.${name} PROPERTIES LABELS sound TIMEOUT 300 ENVIRONMENT "${environment}")
  tarvex_test_recording(sound.${name})
endfunction()
# The judge of the numbered-signal recordings, on recordings made up from the signal.
add_test(NAME sound.recording_judge COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/recording/recording_judge_test.py)
set_tests_properties(sound.recording_judge PROPERTIES LABELS sound TIMEOUT 300)
# The device test's tone case.
tarvex_sound_recording(tone_recording tone_recording.sh sound_dsound_device_test)
# A SoftSound player fed by a 10 ms timer for 8 s; the recording is checked frame by frame for
# lost, repeated or silent stretches (recording_judge.py).
tarvex_sound_recording(softsound_recording softsound_recording.sh sound_soft_sound_device_test)
# The same player with its refill held back 100 ms and then 300 ms by its lock: the recording
# shows a short gap for each and no frame lost or repeated.
tarvex_sound_recording(late_refill_recording late_refill_recording.sh sound_soft_sound_device_test)
# A stream sound with a loop point plays for 4 s; the recording is checked frame by frame across
# three loop jumps (recording_judge.py).
tarvex_sound_recording(stream_recording stream_recording.sh sound_stream_sound_device_test)
# The SoftSound recording with the device on XAudio2: the player's buffer is a source voice fed
# from its wave block.
tarvex_sound_recording(xaudio2_recording softsound_recording.sh sound_soft_sound_device_test
  TARVEX_SOUND_OUTPUT=xaudio2)

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
  set_tests_properties(sound.xaudio2_device_${name} PROPERTIES LABELS sound TIMEOUT 300
    ENVIRONMENT "${tarvex_test_environment};TARVEX_XAUDIO2_EXPECT=${expect};WINEDLLOVERRIDES=mscoree,mshtml=\;${overrides}")
  tarvex_test_desktop(sound.xaudio2_device_${name})
endforeach()
