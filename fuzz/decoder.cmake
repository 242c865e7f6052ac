# SPDX-License-Identifier: GPL-3.0-or-later
# Opening and decoding arbitrary bytes as a sound file: no crash, hang, leak or frames past the length.
add_executable(decoder_fuzzer ${CMAKE_CURRENT_LIST_DIR}/decoder_fuzzer.cpp)
target_link_libraries(decoder_fuzzer PRIVATE tamro_audio)
target_link_options(decoder_fuzzer PRIVATE -fsanitize=fuzzer)

# Seeds: tiny files of every format, as tests/fixtures/make-fixtures --seeds writes them.
tamro_fuzz_test(decoder_fuzz decoder_fuzzer 12 6000 60 decoder -timeout=20 -rss_limit_mb=2048 -max_len=65536)
