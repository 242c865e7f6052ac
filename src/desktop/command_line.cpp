// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/command_line.h"

#include "base/product.h"
#include "desktop/file_uri.h"

#include <cstdio>

namespace tamro::desktop {
namespace {

std::string usageLine()
{
    return std::string("Usage: ") + executableName + " [--help] [--version] [FILE...]\n";
}

CommandLine answer(int status, std::string out, std::string err)
{
    CommandLine line;
    line.answered = true;
    line.exitStatus = status;
    line.out = std::move(out);
    line.err = std::move(err);
    return line;
}

}  // namespace

CommandLine parseCommandLine(std::span<const char* const> arguments, const std::string& version,
                             const std::string& workingDirectory)
{
    CommandLine line;
    bool options = true;
    for (const char* argument : arguments) {
        const std::string arg(argument);
        if (options && arg == "--") {
            options = false;
        } else if (options && (arg == "--help" || arg == "-h")) {
            return answer(0,
                          usageLine() + productName +
                              ": adds the sound files given to the playlist and plays the first.\n"
                              "A running player on the same desktop takes them over instead.\n"
                              "  -h, --help  show this help and exit\n"
                              "  --version   show the version and exit\n",
                          "");
        } else if (options && arg == "--version") {
            return answer(0, std::string(productName) + " " + version + "\n", "");
        } else if (options && arg.size() > 1 && arg[0] == '-') {
            return answer(2, "", std::string(executableName) + ": unknown option '" + arg + "'\n" + usageLine());
        } else {
            line.files.push_back(absolutePath(arg, workingDirectory));
        }
    }
    return line;
}

int printAnswer(const CommandLine& line)
{
    std::fputs(line.out.c_str(), stdout);
    std::fputs(line.err.c_str(), stderr);
    return line.exitStatus;
}

}  // namespace tamro::desktop
