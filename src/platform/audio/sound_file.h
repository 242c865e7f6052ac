// SPDX-License-Identifier: GPL-3.0-or-later
// A local sound file opened for reading by path, refused with a readable reason unless it is a regular file.
#pragma once

#include "base/file_descriptor.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>

namespace tamro::audio {

class SoundFile {
public:
    // Opens `path` without following it anywhere but the local file system and without ever blocking:
    // FIFOs, devices, sockets and folders are refused before any byte is read. Throws Failure
    // "Cannot open '<path>': <reason>".
    static SoundFile open(const std::string& path);

    const std::string& path() const { return path_; }
    std::int64_t size() const { return size_; }

    // Reads up to out.size() bytes at `offset`; returns how many were read (fewer only at the end or on a read
    // error, which a decoder treats as the end of the file).
    std::size_t readAt(std::int64_t offset, std::span<std::uint8_t> out) const;

    // A Failure "Cannot open '<path>': <reason>".
    std::string refusal(const std::string& reason) const;

private:
    SoundFile(FileDescriptor fd, std::string path, std::int64_t size)
        : fd_(std::move(fd)), path_(std::move(path)), size_(size)
    {
    }
    FileDescriptor fd_;
    std::string path_;
    std::int64_t size_ = 0;
};

// The text of a refusal, shared by everything that opens sound files.
std::string cannotOpen(const std::string& path, const std::string& reason);

}  // namespace tamro::audio
