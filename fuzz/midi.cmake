# SPDX-License-Identifier: GPL-3.0-or-later
# MIDI/RMI: the parser and tempo map on arbitrary bytes, the decoder reading and seeking what opens, and the
# tags (with the cleaning of any tag's text).
# midi_fuzz_seeds wrote the seeds in corpus/midi (midi_fuzz_seeds DIR; the fuzzers start from the same).
add_executable(midi_fuzz_seeds ${CMAKE_CURRENT_LIST_DIR}/midi_fuzz_seeds.cpp)
target_include_directories(midi_fuzz_seeds PRIVATE ${CMAKE_SOURCE_DIR}/tests)

foreach(name_runs_cost IN ITEMS "midi_parser_fuzz;400000;40" "midi_decoder_fuzz;30000;20" "midi_tags_fuzz;200000;10")
  list(GET name_runs_cost 0 name)
  list(GET name_runs_cost 1 runs)
  list(GET name_runs_cost 2 cost)
  add_executable(${name} ${CMAKE_CURRENT_LIST_DIR}/${name}.cpp)
  target_link_libraries(${name} PRIVATE tamro_audio)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  tamro_fuzz_test(${name} ${name} 12 ${runs} ${cost} midi -rss_limit_mb=2048 -timeout=10
                  -dict=${CMAKE_CURRENT_LIST_DIR}/midi.dict)
endforeach()
