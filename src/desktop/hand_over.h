// SPDX-License-Identifier: GPL-3.0-or-later
// One player per desktop: the first start holds a per-user lock for its display and listens on a local socket
// beside it; a later start hands its files over that socket and ends. No Qt here, so that the small launcher
// can do it before any library of the player is loaded.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tamro::desktop {

// The socket's path for this user and display: in $XDG_RUNTIME_DIR, else in a folder of the user's own in
// /tmp; nothing when neither is safe to use (a folder someone else owns or may write) or the path is too long.
std::optional<std::string> handOverSocketPath();

// The desktop's leave to raise the window, as it hands it to the program it starts: XDG_ACTIVATION_TOKEN on
// Wayland, DESKTOP_STARTUP_ID (the startup notification's id) on X11.
struct ActivationToken {
    enum class Kind : std::uint32_t { None = 0, Wayland = 1, X11 = 2 };
    Kind kind = Kind::None;
    std::string text;  // 1 to maxTokenBytes bytes of printable ASCII
    bool operator==(const ActivationToken&) const = default;
};
inline constexpr std::size_t maxTokenBytes = 1024;
// The token this process was started with (the Wayland one first); none when neither is set or one is not a
// token (empty, too long, not printable ASCII).
ActivationToken activationTokenFromEnvironment();

// The message: a count, then each path as a length and its bytes (32-bit little-endian numbers). With a token,
// the marker 0xFFFFFFFF, its kind, its length and its bytes come first; without one it is the message of the
// players before tokens, byte for byte.
struct HandOverMessage {
    std::vector<std::string> paths;
    ActivationToken token;
    bool operator==(const HandOverMessage&) const = default;
};
std::string encodeHandOver(const std::vector<std::string>& paths, const ActivationToken& token = {});
// What a complete message holds. Nothing while it is incomplete; `malformed` is set (and nothing returned) when
// it cannot become one: more than 32767 paths, a path longer than 64 KiB, a token of an unknown kind, empty,
// longer than maxTokenBytes or not printable ASCII, or bytes after its end.
std::optional<HandOverMessage> decodeHandOver(std::string_view bytes, bool& malformed);
// The one byte the player answers once the files are in its playlist.
inline constexpr char handOverDone = 'k';

enum class HandOverResult {
    Done,      // the running player took them
    NoPlayer,  // nobody listens
    Failed,    // a player listens but did not answer in time
};
// A player from before tokens, which refuses a message with one, is offered the files again without it.
HandOverResult handOver(const std::string& socketPath, const std::vector<std::string>& paths,
                        std::chrono::milliseconds timeout, const ActivationToken& token = {});

// The first start's claim: the lock (held until the process ends) and the listening socket.
struct InstanceClaim {
    bool handedOver = false;  // another player took the files: end with status 0
    int listeningSocket = -1;  // -1 when this player runs on its own (no socket to be had)
};
InstanceClaim claimInstance(const std::vector<std::string>& paths, const ActivationToken& token = {});

}  // namespace tamro::desktop
