// SPDX-License-Identifier: GPL-3.0-or-later
// TamroPlayer30 as the desktop starts it: hands the files to the player running on this display, or starts
// the player. Small on purpose: a second start loads none of the player's libraries.
#include "base/product.h"
#include "desktop/command_line.h"
#include "desktop/file_uri.h"
#include "desktop/hand_over.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

int main(int argc, char** argv)
{
    const tamro::desktop::CommandLine command = tamro::desktop::parseCommandLine(
        {argv + 1, argv + argc}, TAMRO_VERSION_TEXT, tamro::desktop::workingDirectory());
    if (command.answered)
        return tamro::desktop::printAnswer(command);
    if (const auto socket = tamro::desktop::handOverSocketPath()) {
        using namespace std::chrono_literals;
        // The desktop's leave to raise the window goes with the files, to the player that shows it.
        if (tamro::desktop::handOver(*socket, command.files, 5s, tamro::desktop::activationTokenFromEnvironment()) ==
            tamro::desktop::HandOverResult::Done)
            return 0;
    }

    // The player lies where it is installed relative to this program, in the build tree as when installed.
    char self[PATH_MAX] = {};
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string player = length > 0 ? std::string(self, static_cast<std::size_t>(length)) : std::string(argv[0]);
    player = player.substr(0, player.find_last_of('/') + 1) + TAMRO_PLAYER_RELATIVE;
    ::execv(player.c_str(), argv);
    std::fprintf(stderr, "%s: cannot start %s: %s\n", tamro::executableName, player.c_str(), std::strerror(errno));
    return 127;
}
