# The program test runs tarvex.exe and finds its main window (class "tarvex").
add_dependencies(shell_tarvex_program_test tarvex)
# The plug-in window tests activate and click their windows.
tarvex_test_desktop(shell.tarvex_program shell.plugin_window)
# The song session starts the program in-process: the library's main window with the program's
# menu (its resources linked in), and the MDX songs of the engine tests' builder.
tarvex_add_resources(shell_song_session_test ${PROJECT_SOURCE_DIR}/app/shell/tarvex.rc)
target_link_libraries(shell_song_session_test PRIVATE test_support_app_engine)
# The project and render sessions start the program in-process as the song session does.
foreach(topic project_session render_session)
  tarvex_add_resources(shell_${topic}_test ${PROJECT_SOURCE_DIR}/app/shell/tarvex.rc)
endforeach()
# The track views and the side panes draw on the library's software renderer, in its main window.
tarvex_test_desktop(shell.song_session shell.project_session shell.render_session shell.track_views
  shell.side_panes)

# The end-to-end road: tarvex.exe driven from another process by the application driver
# (tools/app_driver/). Each step is a test of its own on a desktop of its own, run on the default
# renderer; the steps whose pictures, clicks or redraws go through the renderer's present run once
# more on the software renderer (Direct3D 11 and 9 refused by Wine), and the see step on Direct3D 9
# too (Direct3D 11 refused). The step that hears the program records the sink around the program's
# part (e2e_hear.sh). Each step starts from a copy of the working folder that
# scripts/workdir makes ready (shell.e2e_workdir, once a run); the road's own instrument and songs
# are added by its fixture.
target_link_libraries(test_support_app_shell PUBLIC app_driver_lib test_support_app_engine)
add_dependencies(shell_e2e_road_test tarvex tarvex_driver)
set(e2e_workdir ${CMAKE_BINARY_DIR}/testrun/e2e_workdir)
add_test(NAME shell.e2e_workdir COMMAND sh -c "rm -rf '${e2e_workdir}' && '${PROJECT_SOURCE_DIR}/scripts/workdir' '${e2e_workdir}'")
set_tests_properties(shell.e2e_workdir PROPERTIES LABELS shell FIXTURES_SETUP e2e_workdir
  ENVIRONMENT "TARVEX_BUILD_DIR=${CMAKE_BINARY_DIR}")
set(e2e_steps
  "start:StartReopensTheLastProject"
  "hear:OpenAndHear"
  "see:SeeTheTransportBar"
  "keys:KeysPauseRestartAndQuit"
  "render:RenderToWav"
  "save:SaveAndReopen"
  "bad_input:BadInputSongsAndProjects"
  "track_list:TrackListScrollsSelectsMutesAndEnds"
  "piano_roll:PianoRollPeaksRowsZoomAndWheel"
  "instrument_pane:InstrumentPaneLoadsAnInstrumentAndSurvivesABadOne"
  "inspector:InspectorMasterFaderSavesAndPanesToggle"
  "first_run:E2eFirstRun.ExamplesOpenPlayAndSound"
  "tone_render:RenderedToneHasItsPitchAndStart"
  "capture:CaptureAfterEnlargingAndAfterADialog"
  "menu_escape:EscapeClosesTheMenuAndOnTheWindowEndsTheProgram")
set(e2e_steps_on_both_renderers see track_list piano_roll inspector capture)
# Steps whose checks the renderer does not change run on the software renderer only.
set(e2e_software_steps
  "load_commands:ExitChosenWhileASongOpensEndsTheProgram"
  "muted_render:AnMdxRenderKeepsTheUsersMutes")
foreach(renderer default software d3d9)
  set(environment ${tarvex_test_environment})
  set(suffix "")
  set(steps ${e2e_steps})
  if(renderer STREQUAL "software")
    list(APPEND environment "TARVEX_RENDERER=software")
    set(suffix "_software")
    list(APPEND steps ${e2e_software_steps})
  elseif(renderer STREQUAL "d3d9")
    list(APPEND environment "TARVEX_RENDERER=d3d9")
    set(suffix "_d3d9")
    set(steps "see:SeeTheTransportBar")
  endif()
  foreach(step ${steps})
    string(REPLACE ":" ";" parts "${step}")
    list(GET parts 0 name)
    list(GET parts 1 filter)
    if(renderer STREQUAL "software" AND NOT name IN_LIST e2e_steps_on_both_renderers
       AND NOT step IN_LIST e2e_software_steps)
      continue()
    endif()
    if(NOT filter MATCHES "\\.")
      set(filter E2eRoadTest.${filter})
    endif()
    set(test shell.e2e_${name}${suffix})
    set(workdir ${CMAKE_BINARY_DIR}/testrun/${test})
    file(MAKE_DIRECTORY ${workdir})
    if(name STREQUAL "hear")
      add_test(NAME ${test}
        COMMAND ${PROJECT_SOURCE_DIR}/tests/support/retry_recording.sh ${CMAKE_CURRENT_LIST_DIR}/e2e_hear.sh
          ${CMAKE_BINARY_DIR}/wine-run $<TARGET_FILE:shell_e2e_road_test> --gtest_filter=${filter}
        WORKING_DIRECTORY ${workdir})
    else()
      add_test(NAME ${test} COMMAND shell_e2e_road_test --gtest_filter=${filter} WORKING_DIRECTORY ${workdir})
    endif()
    set_tests_properties(${test} PROPERTIES LABELS shell TIMEOUT 120
      ENVIRONMENT "${environment}" FIXTURES_REQUIRED e2e_workdir)
    if(name STREQUAL "see")
      set_tests_properties(${test} PROPERTIES FIXTURES_SETUP e2e_see_pictures)
    endif()
    if(name STREQUAL "hear")
      tarvex_test_recording(${test})
    else()
      tarvex_test_desktop(${test})
    endif()
  endforeach()
endforeach()
# The program's own test name runs what no single step does: the renderers' pictures compared.
# It reads the pictures and the log the see steps keep: it runs after them, and not at all when
# one of them failed (CTest then names the failed step).
set_tests_properties(shell.e2e_road PROPERTIES
  ENVIRONMENT "${tarvex_test_environment};GTEST_FILTER=E2eRenderers.*" FIXTURES_REQUIRED e2e_see_pictures)
# tarvex_driver.exe runs a script of the driver's steps by hand: here a short one in a copy of the
# ready working folder whose name has a space (start, an example opened and rendered to a path with
# a space, a look at the windows, a picture, the close box, exit code 0), so the program stays in
# step with the library and the script takes quoted paths.
set(driver_script_dir ${CMAKE_BINARY_DIR}/testrun/shell.e2e_driver_script)
set(driver_folder "${driver_script_dir}/a folder")
file(MAKE_DIRECTORY ${driver_script_dir})
file(WRITE ${driver_script_dir}/script.txt
  "# started by CTest\nstart \"Z:${CMAKE_BINARY_DIR}/tarvex.exe\" \"Z:${driver_folder}\" TARVEX_LOG=1\n"
  "dialog 114\nfile Z:${driver_folder}/first_steps.zms\nrender \"Z:${driver_folder}/a render\" 0:01\n"
  "sleep 2000\nwindows\ncapture driver_script.png\nclose\nexit 10000 0\n")
add_test(NAME shell.e2e_driver_script
  COMMAND sh -c "rm -rf '${driver_folder}' && cp -r '${e2e_workdir}' '${driver_folder}' && '${CMAKE_BINARY_DIR}/wine-run' '$<TARGET_FILE:tarvex_driver>' script.txt && test -s '${driver_folder}/a render.wav'"
  WORKING_DIRECTORY ${driver_script_dir})
set_tests_properties(shell.e2e_driver_script PROPERTIES LABELS shell TIMEOUT 60
  ENVIRONMENT "${tarvex_test_environment}" FIXTURES_REQUIRED e2e_workdir)
tarvex_test_desktop(shell.e2e_driver_script)
# End-to-end programs of their own, on the fixture of the road: plug-in windows that reopen from a
# project, and renders that cannot keep their audio. What they check does not depend on the
# renderer: the software renderer only.
foreach(topic e2e_plugin_windows e2e_render_failures)
  add_dependencies(shell_${topic}_test tarvex tarvex_driver)
  set_tests_properties(shell.${topic} PROPERTIES TIMEOUT 120
    ENVIRONMENT "${tarvex_test_environment};TARVEX_RENDERER=software" FIXTURES_REQUIRED e2e_workdir)
  tarvex_test_desktop(shell.${topic})
endforeach()
# Behind the precompiled header, GCC 12 takes a wide string built from a literal in this test for an
# out-of-bounds copy (-Warray-bounds, inside the C library's wmemcpy); parsed in the test's own
# order, it does not.
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/e2e_plugin_windows_test.cpp PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
