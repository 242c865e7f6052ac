// SPDX-License-Identifier: GPL-3.0-or-later
// The playlist file: one quoted entry per line when writing, comma- and line-delimited fields when reading.
//
// Entries are bytes, written and read back unchanged (no code-page conversion, no escaping).
//
// Writing: each entry as `"` entry `"` CR LF; an empty playlist is an empty file. An entry holding a `"` is
// written bare (entry CR LF) where that reads back, else as `"` up to its first `"`, `"`, the rest, CR LF.
//
// Reading, field by field until the end of the text:
//   - a line ends at CR LF, a lone LF or a lone CR;
//   - blanks (spaces and tabs) before a field are skipped;
//   - a field that begins with `"` runs to the next `"`, across commas, blanks and line ends; any text between
//     the closing quote and the next comma or line end is kept, appended to the value with its trailing
//     blanks dropped; when no `"` follows anywhere in the file, the opening quote is dropped and the field
//     read as an unquoted one;
//   - any other field runs to the next comma or line end, and its trailing blanks are dropped (a `"` inside
//     it is an ordinary character);
//   - the delimiter after a field (one comma or one line end) is consumed with it, so an empty line is one
//     empty field and the line end that closes the last line gives no extra field.
// Every list of entries reads back exactly as it was written, except entries that hold a `"` followed by a
// comma or a line end, or a `"` and a blank at their end: Save refuses those.
#pragma once

#include "base/numbers.h"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tamro::playlist {

struct Fields {
    std::vector<std::string> entries;  // the first fields, up to the limit
    std::size_t leftOut = 0;           // how many fields came after those
};

// Splits a playlist text into its fields; keeps the first `limit` and counts the rest.
Fields readFields(std::string_view text, std::size_t limit = maxEntries);

// The bytes Save writes for these entries: each in quotes, or, when it holds a quote itself, in a form that
// reads back as it is (bare, or in quotes up to its first quote).
std::string writeEntries(std::span<const std::string> entries);

// The indices of the entries no line reads back as: those holding a quote followed by a comma or a line end,
// or a quote and a blank at their end.
std::vector<std::size_t> unstorableEntries(std::span<const std::string> entries);

// Reads the whole file, then splits it (after a UTF-8 byte order mark, if it starts with one). Failure (naming the file and the reason) when it cannot be read.
Fields loadPlaylistFile(const std::string& path, std::size_t limit = maxEntries);

// Replaces the file with these entries, all or nothing: the old file stays as it was unless every byte of
// the new one reached the disk. Failure (naming the file and the reason) when it cannot be saved, also
// when an entry would not read back (naming the entries; the file is not touched).
void savePlaylistFile(const std::string& path, std::span<const std::string> entries);

}  // namespace tamro::playlist
