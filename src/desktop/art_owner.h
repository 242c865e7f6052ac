// SPDX-License-Identifier: GPL-3.0-or-later
// Whose a cover's picture file is: its name carries the player's process (id and start time) and host, so that a
// player starting up can remove the files of players that ended without removing their own (a crash), and leave
// those of players still running, on this display or another sharing the folder.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tamro::desktop {

struct ArtOwner {
    std::int64_t pid = 0;
    std::uint64_t started = 0;  // the process's start, in clock ticks since boot: a reused id is another process
    std::string host;
    bool operator==(const ArtOwner&) const = default;
};

// This process.
ArtOwner thisPlayer();
// Whether the owner runs: on this host, a process of that id started then. An owner on another host runs as far
// as this host can tell, and so does every owner where /proc cannot be read.
bool stillRunning(const ArtOwner& owner);

// "cover-<pid>-<started>-<host>-": the start of the owner's file names (a unique part and the extension follow).
std::string artNamePrefix(const ArtOwner& owner);
// The owner a file name carries; nothing for a name not made by artNamePrefix.
std::optional<ArtOwner> artOwnerOf(std::string_view fileName);

// Removes the regular files in `folder` whose owner does not run; names of no owner are left. How many went.
int removeStaleArt(const std::string& folder, const std::function<bool(const ArtOwner&)>& running = stillRunning);

}  // namespace tamro::desktop
