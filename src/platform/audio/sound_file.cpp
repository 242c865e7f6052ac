// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/sound_file.h"

#include "base/errno_text.h"
#include "base/failure.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tamro::audio {

namespace {

constexpr std::size_t maxPathBytes = 4096;

// Empty when the file type can be played from; otherwise why not.
std::string reasonForType(mode_t mode)
{
    if (S_ISREG(mode))
        return {};
    if (S_ISDIR(mode))
        return "it is a folder, not a file";
    if (S_ISFIFO(mode))
        return "it is a pipe (FIFO), not a file";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "it is a device, not a file";
    if (S_ISSOCK(mode))
        return "it is a socket, not a file";
    return "it is not a regular file";
}

}  // namespace

std::string cannotOpen(const std::string& path, const std::string& reason)
{
    // A NUL would cut the message short where it is shown: write it out.
    std::string shown;
    for (char c : path)
        shown += c == '\0' ? std::string("\\0") : std::string(1, c);
    return "Cannot open '" + shown + "': " + reason;
}

SoundFile SoundFile::open(const std::string& path)
{
    if (path.empty())
        throw Failure(cannotOpen(path, "no file name given"));
    if (path.find('\0') != std::string::npos)
        throw Failure(cannotOpen(path, "the file name contains a NUL character"));
    // Linux takes paths of up to 4,095 bytes (PATH_MAX with its NUL); say so rather than "name too long".
    if (path.size() >= maxPathBytes)
        throw Failure(cannotOpen(path, "the path is " + std::to_string(path.size()) + " bytes long, and Linux opens none longer than " +
                                           std::to_string(maxPathBytes - 1)));

    // Look before opening: opening some devices has effects of its own.
    struct stat before {};
    if (::stat(path.c_str(), &before) != 0)
        throw Failure(cannotOpen(path, errnoText(errno)));
    if (auto reason = reasonForType(before.st_mode); !reason.empty())
        throw Failure(cannotOpen(path, reason));

    // O_NONBLOCK: should the path have been swapped for a FIFO since the stat, open must not wait for a writer.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd.valid())
        throw Failure(cannotOpen(path, errnoText(errno)));
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        throw Failure(cannotOpen(path, errnoText(errno)));
    if (auto reason = reasonForType(st.st_mode); !reason.empty())
        throw Failure(cannotOpen(path, reason));
    if (st.st_size == 0)
        throw Failure(cannotOpen(path, "the file is empty"));
    return SoundFile(std::move(fd), path, st.st_size);
}

std::size_t SoundFile::readAt(std::int64_t offset, std::span<std::uint8_t> out) const
{
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::pread(fd_.get(), out.data() + done, out.size() - done, static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

std::string SoundFile::refusal(const std::string& reason) const
{
    return cannotOpen(path_, reason);
}

}  // namespace tamro::audio
