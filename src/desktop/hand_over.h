// SPDX-License-Identifier: GPL-3.0-or-later
// One player per desktop: the first start holds a per-user lock for its display and listens on a local socket
// beside it; a later start hands its files over that socket and ends. No Qt here, so that the small launcher
// can do it before any library of the player is loaded.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tamro::desktop {

// The socket's path for this user and display: in $XDG_RUNTIME_DIR, else in a folder of the user's own in
// /tmp; nothing when neither is safe to use (a folder someone else owns or may write) or the path is too long.
std::optional<std::string> handOverSocketPath();

// The message: a count, then each path as a length and its bytes (32-bit little-endian numbers).
std::string encodeHandOver(const std::vector<std::string>& paths);
// What a complete message holds. Nothing while it is incomplete; `malformed` is set (and nothing returned) when
// it cannot become one: more than 32767 paths, a path longer than 64 KiB, or bytes after its end.
std::optional<std::vector<std::string>> decodeHandOver(std::string_view bytes, bool& malformed);
// The one byte the player answers once the files are in its playlist.
inline constexpr char handOverDone = 'k';

enum class HandOverResult {
    Done,      // the running player took them
    NoPlayer,  // nobody listens
    Failed,    // a player listens but did not answer in time
};
HandOverResult handOver(const std::string& socketPath, const std::vector<std::string>& paths,
                        std::chrono::milliseconds timeout);

// The first start's claim: the lock (held until the process ends) and the listening socket.
struct InstanceClaim {
    bool handedOver = false;  // another player took the files: end with status 0
    int listeningSocket = -1;  // -1 when this player runs on its own (no socket to be had)
};
InstanceClaim claimInstance(const std::vector<std::string>& paths);

}  // namespace tamro::desktop
