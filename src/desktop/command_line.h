// SPDX-License-Identifier: GPL-3.0-or-later
// What the program was asked on its command line: files to play, or a short answer (help, version, misuse).
#pragma once

#include <span>
#include <string>
#include <vector>

namespace tamro::desktop {

struct CommandLine {
    // The files given, in their order: bytes exactly as the system handed them over, made absolute.
    std::vector<std::string> files;
    // Set when the program answers and ends at once: the text for stdout (help, version) or stderr (misuse).
    bool answered = false;
    int exitStatus = 0;
    std::string out;
    std::string err;
};

// `arguments` without the program's own name; relative paths are taken in `workingDirectory`. "--" ends the
// options: every later argument is a file, also one that starts with "-". A lone "-" is a file name.
CommandLine parseCommandLine(std::span<const char* const> arguments, const std::string& version,
                             const std::string& workingDirectory);
// Prints the answer to stdout and stderr; returns the exit status.
int printAnswer(const CommandLine& line);

}  // namespace tamro::desktop
