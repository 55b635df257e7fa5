# The movies the tests play are made at build time by tests/data/movie/make_movies.sh (Theora
# from theora_encoder_example, the sound track from sox) into <build>/testdata/movie.
set(movie_data_dir ${CMAKE_BINARY_DIR}/testdata/movie)
set(movie_files ${movie_data_dir}/gray_64x48.ogv ${movie_data_dir}/gray_60x44.ogv ${movie_data_dir}/gray_64x48_vorbis.ogv
  ${movie_data_dir}/pattern_64x48.ogv ${movie_data_dir}/pattern_60x44.ogv ${movie_data_dir}/pattern_61x45.ogv)
add_custom_command(OUTPUT ${movie_files}
  COMMAND ${PROJECT_SOURCE_DIR}/tests/data/movie/make_movies.sh ${movie_data_dir}
  DEPENDS ${PROJECT_SOURCE_DIR}/tests/data/movie/make_movies.sh
  COMMENT "Encoding the movie tests' Theora files")
add_custom_target(movie_test_files DEPENDS ${movie_files})
add_dependencies(tarvex_test_support movie_test_files)
# The playback tests draw movie graphs on the graphics tests' software-renderer fixture, and play
# the sound tracks on the sound tests' scripted device.
foreach(target ${TARVEX_DIR_TARGETS})
  target_link_libraries(${target} PRIVATE test_support_zovuz_graphics test_support_zovuz_sound)
  add_dependencies(${target} movie_test_files)
endforeach()
# The fixture starts the sound system on the real device, which under Wine waits while another
# process plays into the sound server's sink: these tests play on desktops of their own.
tarvex_test_desktop(movie.movie_playback movie.theora_decode movie.theora_hostile movie.movie_platform_nodecoder)
# Without GStreamer's plug-ins Wine's Media Foundation and DirectShow decode nothing: this test
# sees every platform open and both platform sound conversions fail. A registry file of its own leaves the other tests' registry alone.
set(no_gstreamer_dir ${CMAKE_BINARY_DIR}/testrun/movie.movie_platform_nodecoder/no_gstreamer)
file(MAKE_DIRECTORY ${no_gstreamer_dir})
set_property(TEST movie.movie_platform_nodecoder APPEND PROPERTY ENVIRONMENT
  "GST_PLUGIN_SYSTEM_PATH_1_0=${no_gstreamer_dir}" "GST_PLUGIN_PATH_1_0=${no_gstreamer_dir}"
  "GST_REGISTRY_1_0=${no_gstreamer_dir}/registry.bin")
# The platform sound conversions' files (tests/data/sound_platform/make_fixtures.sh).
set(sound_platform_dir ${CMAKE_BINARY_DIR}/testdata/sound_platform)
set(sound_platform_files ${sound_platform_dir}/tone_440_stereo.mp3 ${sound_platform_dir}/tone_440_stereo.wav
  ${sound_platform_dir}/tone_440_source.wav ${sound_platform_dir}/six_channels.wav)
add_custom_command(OUTPUT ${sound_platform_files}
  COMMAND ${PROJECT_SOURCE_DIR}/tests/data/sound_platform/make_fixtures.sh ${sound_platform_dir}
  DEPENDS ${PROJECT_SOURCE_DIR}/tests/data/sound_platform/make_fixtures.sh
  COMMENT "Making the platform sound conversion files")
add_custom_target(sound_platform_test_files DEPENDS ${sound_platform_files})
foreach(target ${TARVEX_DIR_TARGETS})
  add_dependencies(${target} sound_platform_test_files)
endforeach()
