// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/hand_over.h"

#include "desktop/private_folder.h"
#include "desktop/write_all.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace tamro::desktop {
namespace {

constexpr std::uint32_t maxPaths = 32767;  // as many as the playlist holds
constexpr std::uint32_t maxPathBytes = 64 * 1024;
constexpr std::uint32_t tokenMarker = 0xFFFFFFFF;  // more paths than any count: a player before tokens refuses it

bool tokenText(std::string_view text)
{
    if (text.empty() || text.size() > maxTokenBytes)
        return false;
    for (const char c : text)
        if (c < 0x21 || c > 0x7E)
            return false;
    return true;
}

void putNumber(std::string& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out += static_cast<char>((value >> shift) & 0xFF);
}

bool getNumber(std::string_view& in, std::uint32_t& value)
{
    if (in.size() < 4)
        return false;
    value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(in[i])) << (8 * i);
    in.remove_prefix(4);
    return true;
}

// The display's name as a file name: ":0" gives "_0", "wayland-0" stays.
std::string displayKey()
{
    const char* display = std::getenv("WAYLAND_DISPLAY");
    if (!display || !*display)
        display = std::getenv("DISPLAY");
    std::string key = display && *display ? display : "none";
    for (char& c : key)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-'))
            c = '_';
    return key;
}

bool fillAddress(const std::string& path, sockaddr_un& address)
{
    address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

}  // namespace

std::optional<std::string> handOverSocketPath()
{
    std::string folder;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime && privateFolder(runtime)) {
        folder = runtime;
    } else {
        folder = "/tmp/tamroplayer30-" + std::to_string(::getuid());
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
            return std::nullopt;
        if (!privateFolder(folder))
            return std::nullopt;
    }
    std::string path = folder + "/tamroplayer30-" + displayKey() + ".socket";
    sockaddr_un address;
    if (!fillAddress(path, address))
        return std::nullopt;
    return path;
}

ActivationToken activationTokenFromEnvironment()
{
    for (const auto& [name, kind] : {std::pair{"XDG_ACTIVATION_TOKEN", ActivationToken::Kind::Wayland},
                                     std::pair{"DESKTOP_STARTUP_ID", ActivationToken::Kind::X11}})
        if (const char* text = std::getenv(name); text && tokenText(text))
            return {kind, text};
    return {};
}

std::string encodeHandOver(const std::vector<std::string>& paths, const ActivationToken& token)
{
    std::string out;
    if (token.kind != ActivationToken::Kind::None && tokenText(token.text)) {
        putNumber(out, tokenMarker);
        putNumber(out, static_cast<std::uint32_t>(token.kind));
        putNumber(out, static_cast<std::uint32_t>(token.text.size()));
        out += token.text;
    }
    putNumber(out, static_cast<std::uint32_t>(paths.size()));
    for (const std::string& path : paths) {
        putNumber(out, static_cast<std::uint32_t>(path.size()));
        out += path;
    }
    return out;
}

std::optional<HandOverMessage> decodeHandOver(std::string_view bytes, bool& malformed)
{
    malformed = false;
    HandOverMessage message;
    std::uint32_t count = 0;
    if (!getNumber(bytes, count))
        return std::nullopt;
    if (count == tokenMarker) {
        std::uint32_t kind = 0;
        std::uint32_t size = 0;
        if (!getNumber(bytes, kind))
            return std::nullopt;
        if (kind != static_cast<std::uint32_t>(ActivationToken::Kind::Wayland) &&
            kind != static_cast<std::uint32_t>(ActivationToken::Kind::X11)) {
            malformed = true;
            return std::nullopt;
        }
        if (!getNumber(bytes, size))
            return std::nullopt;
        if (size == 0 || size > maxTokenBytes) {
            malformed = true;
            return std::nullopt;
        }
        if (bytes.size() < size)
            return std::nullopt;
        if (!tokenText(bytes.substr(0, size))) {
            malformed = true;
            return std::nullopt;
        }
        message.token = {static_cast<ActivationToken::Kind>(kind), std::string(bytes.substr(0, size))};
        bytes.remove_prefix(size);
        if (!getNumber(bytes, count))
            return std::nullopt;
    }
    if (count > maxPaths) {
        malformed = true;
        return std::nullopt;
    }
    std::vector<std::string>& paths = message.paths;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t size = 0;
        if (!getNumber(bytes, size))
            return std::nullopt;
        if (size > maxPathBytes) {
            malformed = true;
            return std::nullopt;
        }
        if (bytes.size() < size)
            return std::nullopt;
        paths.emplace_back(bytes.substr(0, size));
        bytes.remove_prefix(size);
    }
    if (!bytes.empty()) {
        malformed = true;
        return std::nullopt;
    }
    return message;
}

namespace {

// One connection: the message, then the answer. `refused` when the player closed it without one (or before the
// message was whole), as a player does with a message it cannot read.
HandOverResult offer(const sockaddr_un& address, std::string_view message, std::chrono::milliseconds timeout,
                     bool& refused)
{
    refused = false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return HandOverResult::NoPlayer;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return HandOverResult::NoPlayer;
    }
    HandOverResult result = HandOverResult::Failed;
    if (writeAll(fd, message)) {
        pollfd wait = {fd, POLLIN, 0};
        char answer = 0;
        int ready = 0;
        do {
            ready = ::poll(&wait, 1, static_cast<int>(timeout.count()));
        } while (ready < 0 && errno == EINTR);
        const ssize_t got = ready == 1 ? ::recv(fd, &answer, 1, 0) : -1;
        if (got == 1 && answer == handOverDone)
            result = HandOverResult::Done;
        refused = ready == 1 && (got == 0 || (got < 0 && errno == ECONNRESET));
    } else {
        refused = errno == EPIPE || errno == ECONNRESET;
    }
    ::close(fd);
    return result;
}

}  // namespace

HandOverResult handOver(const std::string& socketPath, const std::vector<std::string>& paths,
                        std::chrono::milliseconds timeout, const ActivationToken& token)
{
    sockaddr_un address;
    if (!fillAddress(socketPath, address))
        return HandOverResult::NoPlayer;
    bool refused = false;
    HandOverResult result = offer(address, encodeHandOver(paths, token), timeout, refused);
    // A player from before tokens refuses the whole message, having taken nothing: it gets the files without one.
    if (result == HandOverResult::Failed && refused && token.kind != ActivationToken::Kind::None)
        result = offer(address, encodeHandOver(paths), timeout, refused);
    return result;
}

InstanceClaim claimInstance(const std::vector<std::string>& paths, const ActivationToken& token)
{
    InstanceClaim claim;
    const std::optional<std::string> path = handOverSocketPath();
    if (!path)
        return claim;
    // Held for the life of the process, and let go by the system however it ends: a socket left behind by a
    // player that crashed is then known to be stale.
    const int lock = ::open((*path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lock < 0)
        return claim;
    if (::flock(lock, LOCK_EX | LOCK_NB) != 0) {
        ::close(lock);
        // A player runs: it may still be getting its socket ready.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        for (;;) {
            const HandOverResult result = handOver(*path, paths, std::chrono::seconds(5), token);
            if (result == HandOverResult::Done) {
                claim.handedOver = true;
                return claim;
            }
            if (result == HandOverResult::Failed || std::chrono::steady_clock::now() >= deadline)
                return claim;  // frozen or gone: run on our own
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    sockaddr_un address;
    fillAddress(*path, address);
    ::unlink(path->c_str());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return claim;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 8) != 0) {
        ::close(fd);
        return claim;
    }
    claim.listeningSocket = fd;
    return claim;
}

}  // namespace tamro::desktop
