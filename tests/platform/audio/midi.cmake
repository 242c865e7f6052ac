# SPDX-License-Identifier: GPL-3.0-or-later
# MIDI and RMI playback: parsing, tempo-mapped length, rendering through the shared FluidSynth synthesizer.
tamro_add_test(midi_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/midi_length_test.cpp ${CMAKE_CURRENT_LIST_DIR}/midi_render_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/midi_corrupt_test.cpp ${CMAKE_CURRENT_LIST_DIR}/soundfont_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/midi_engine_test.cpp ${CMAKE_CURRENT_LIST_DIR}/soft_limit_test.cpp
  LIBS tamro_audio)
