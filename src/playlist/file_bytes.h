// SPDX-License-Identifier: GPL-3.0-or-later
// Whole-file reads and all-or-nothing file replacement on POSIX, with failures a user can read.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tamro::playlist {

// Reads every byte of the file. Failure when it cannot be opened or read, or is larger than maxBytes.
std::string readWholeFile(const std::string& path, std::size_t maxBytes);

// Writes the bytes to a new file in the same folder, flushes it to the disk, gives it the old file's
// permissions and renames it over `path`. On any failure the old file is untouched, the new one removed,
// and a Failure says what went wrong (cannot create, no permission, disk full, write error).
// A symbolic link at `path` is followed, so the file it names is replaced and the link kept.
void replaceFile(const std::string& path, std::string_view bytes);

}  // namespace tamro::playlist
