# MIDI/RMI: the parser and tempo map on arbitrary bytes, and the decoder reading and seeking what opens.
# CTest runs each for a bounded time from seeds written by midi_fuzz_seeds.
add_executable(midi_fuzz_seeds ${CMAKE_CURRENT_LIST_DIR}/midi_fuzz_seeds.cpp)
target_include_directories(midi_fuzz_seeds PRIVATE ${CMAKE_SOURCE_DIR}/tests)

set(midi_corpus ${CMAKE_CURRENT_BINARY_DIR}/midi_corpus)
add_test(NAME midi_fuzz_seeds COMMAND midi_fuzz_seeds ${midi_corpus})
set_tests_properties(midi_fuzz_seeds PROPERTIES FIXTURES_SETUP midi_corpus)

foreach(target_and_time IN ITEMS "midi_parser_fuzz;40" "midi_decoder_fuzz;20")
  list(GET target_and_time 0 name)
  list(GET target_and_time 1 seconds)
  add_executable(${name} ${CMAKE_CURRENT_LIST_DIR}/${name}.cpp)
  target_link_libraries(${name} PRIVATE tamro_audio)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  add_test(NAME ${name}
    COMMAND ${name} -max_total_time=${seconds} -rss_limit_mb=2048 -timeout=10
            -dict=${CMAKE_CURRENT_LIST_DIR}/midi.dict ${midi_corpus}/${name})
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED midi_corpus TIMEOUT 300 COST ${seconds})
endforeach()
