// SPDX-License-Identifier: GPL-3.0-or-later
// Paths as bytes and file URIs: what a second start, a drop and the desktop's player controls exchange.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tamro::desktop {

// An absolute path for `path` as given in `workingDirectory`: kept byte for byte when it is absolute already,
// else the folder, "/" and the path, with any leading "./" dropped. Empty stays empty.
std::string absolutePath(std::string_view path, std::string_view workingDirectory);

// The process's working directory as bytes; "/" when it cannot be read (removed meanwhile).
std::string workingDirectory();

// "file://" and the path with every byte outside the unreserved characters and "/" percent-encoded.
std::string fileUri(std::string_view path);

// The local path of a file URI ("file:///p", "file://localhost/p" or "file:/p"), its escapes decoded to the exact bytes;
// nothing for other schemes, other hosts, a malformed or NUL escape, or a path that is not absolute.
std::optional<std::string> localPath(std::string_view uri);

// The local paths of a text/uri-list (one URI a line, CR LF or LF, "#" lines are comments), in order;
// every URI that is not a local file is left out.
std::vector<std::string> localPaths(std::string_view uriList);

}  // namespace tamro::desktop
