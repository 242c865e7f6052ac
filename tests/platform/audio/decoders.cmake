# SPDX-License-Identifier: GPL-3.0-or-later
# Decoder tests. The sound files they play are generated into the build tree by a CTest fixture first.
set(TAMRO_SOUND_FIXTURES ${CMAKE_BINARY_DIR}/fixtures/sound)
add_test(NAME make_sound_fixtures COMMAND ${CMAKE_SOURCE_DIR}/tests/fixtures/make-fixtures ${TAMRO_SOUND_FIXTURES})
set_tests_properties(make_sound_fixtures PROPERTIES FIXTURES_SETUP sound_files TIMEOUT 600)

# tamro_add_sound_test(name SOURCES... LIBS...): like tamro_add_test, for tests that need the sound files
# (their folder is TAMRO_SOUND_FIXTURES in the code).
function(tamro_add_sound_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE TAMRO_SOUND_FIXTURES="${TAMRO_SOUND_FIXTURES}")
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES FIXTURES_REQUIRED sound_files
               ENVIRONMENT "SDL_AUDIODRIVER=dummy;ASAN_OPTIONS=detect_leaks=1")
endfunction()

tamro_add_test(mpeg_audio_index_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/mpeg_audio_index_test.cpp LIBS tamro_audio)
tamro_add_test(sound_file_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/sound_file_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ffmpeg_file_io_test.cpp LIBS tamro_audio)
tamro_add_sound_test(ffmpeg_decoder_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/ffmpeg_decoder_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ffmpeg_decoder_damage_test.cpp LIBS tamro_audio)
tamro_add_sound_test(open_decoder_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/open_decoder_test.cpp LIBS tamro_audio)
tamro_add_test(sound_tags_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/sound_tags_test.cpp LIBS tamro_audio)
