# SPDX-License-Identifier: GPL-3.0-or-later
# The engine on a virtual clock, the ring buffer, and one pass through real SDL (disk driver).
tamro_add_test(engine_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ring_buffer_test.cpp ${CMAKE_CURRENT_LIST_DIR}/engine_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/engine_advance_test.cpp ${CMAKE_CURRENT_LIST_DIR}/engine_device_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/engine_motion_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/playback_position_test.cpp ${CMAKE_CURRENT_LIST_DIR}/end_clock_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/early_track_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/sdl_output_test.cpp
  LIBS tamro_audio)
# The opening of a real sound server's stream.
add_test(NAME SdlOutputAtPulseAudio COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/with_pulse.sh
         $<TARGET_FILE:engine_tests> --gtest_filter=SdlOutputAtPulseAudio.*)
set_tests_properties(SdlOutputAtPulseAudio PROPERTIES TIMEOUT 120)
