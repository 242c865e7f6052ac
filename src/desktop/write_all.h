// SPDX-License-Identifier: GPL-3.0-or-later
// Writes every byte to a socket or a file, going on after an interrupted call.
#pragma once

#include <cerrno>
#include <cstddef>
#include <string_view>
#include <sys/socket.h>
#include <unistd.h>

namespace tamro::desktop {

inline bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        // A socket whose peer went away answers with an error, not with SIGPIPE; a file takes plain writes.
        ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == ENOTSOCK)
            n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace tamro::desktop
