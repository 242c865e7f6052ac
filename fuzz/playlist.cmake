# The playlist file reader: no crash or hang on any input, and what the writer wrote always reads back.
add_executable(playlist_reader_fuzzer ${CMAKE_CURRENT_LIST_DIR}/playlist_reader_fuzzer.cpp)
target_link_libraries(playlist_reader_fuzzer PRIVATE tamro_playlist_file)
target_link_options(playlist_reader_fuzzer PRIVATE -fsanitize=fuzzer)

# New inputs go to the build folder; the seeds in the source tree are only read.
set(playlist_corpus ${CMAKE_CURRENT_BINARY_DIR}/playlist_corpus)
file(MAKE_DIRECTORY ${playlist_corpus})
add_test(NAME playlist_reader_fuzz
  COMMAND playlist_reader_fuzzer -max_total_time=40 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
          ${playlist_corpus} ${CMAKE_CURRENT_LIST_DIR}/corpus/playlist)
set_tests_properties(playlist_reader_fuzz PROPERTIES TIMEOUT 180 COST 40)
