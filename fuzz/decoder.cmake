# Opening and decoding arbitrary bytes as a sound file: no crash, hang, leak or frames past the length.
add_executable(decoder_fuzzer ${CMAKE_CURRENT_LIST_DIR}/decoder_fuzzer.cpp)
target_link_libraries(decoder_fuzzer PRIVATE tamro_audio)
target_link_options(decoder_fuzzer PRIVATE -fsanitize=fuzzer)

# Seeds: tiny files of every format, generated; new inputs go to the build folder.
set(decoder_seeds ${CMAKE_CURRENT_BINARY_DIR}/decoder_seeds)
set(decoder_corpus ${CMAKE_CURRENT_BINARY_DIR}/decoder_corpus)
file(MAKE_DIRECTORY ${decoder_corpus})
add_test(NAME make_decoder_seeds COMMAND ${CMAKE_SOURCE_DIR}/tests/fixtures/make-fixtures --seeds ${decoder_seeds})
set_tests_properties(make_decoder_seeds PROPERTIES FIXTURES_SETUP decoder_seeds TIMEOUT 300)
add_test(NAME decoder_fuzz
  COMMAND decoder_fuzzer -max_total_time=60 -timeout=20 -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1
          ${decoder_corpus} ${decoder_seeds})
set_tests_properties(decoder_fuzz PROPERTIES TIMEOUT 300 COST 60 FIXTURES_REQUIRED decoder_seeds
  ENVIRONMENT "SDL_AUDIODRIVER=dummy")
