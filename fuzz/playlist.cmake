# SPDX-License-Identifier: GPL-3.0-or-later
# The playlist file reader: no crash or hang on any input, and what the writer wrote always reads back.
add_executable(playlist_reader_fuzzer ${CMAKE_CURRENT_LIST_DIR}/playlist_reader_fuzzer.cpp)
target_link_libraries(playlist_reader_fuzzer PRIVATE tamro_playlist_file)
target_link_options(playlist_reader_fuzzer PRIVATE -fsanitize=fuzzer)

tamro_fuzz_test(playlist_reader_fuzz playlist_reader_fuzzer 12 400000 40 playlist -timeout=10 -rss_limit_mb=2048)
