// SPDX-License-Identifier: GPL-3.0-or-later
// The owner of one POSIX file descriptor: closed exactly once, when its owner goes.
#pragma once

#include <unistd.h>

#include <utility>

namespace tamro {

class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept
    {
        if (this != &other) {
            close();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { close(); }

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

    // Closes now and returns close()'s result, so that a late write error (some file systems report them
    // only here) is seen. Closing nothing succeeds.
    int close() { return fd_ < 0 ? 0 : ::close(std::exchange(fd_, -1)); }

private:
    int fd_ = -1;
};

}  // namespace tamro
