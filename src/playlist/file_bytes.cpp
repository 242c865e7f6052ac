// SPDX-License-Identifier: GPL-3.0-or-later
#include "playlist/file_bytes.h"

#include "base/errno_text.h"
#include "base/failure.h"
#include "base/file_descriptor.h"

#include <cerrno>
#include <algorithm>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tamro::playlist {
namespace {

std::string quoted(const std::string& path) { return "'" + path + "'"; }

[[noreturn]] void fail(const std::string& action, const std::string& path, int error)
{
    throw Failure(action + " " + quoted(path) + ": " + errnoText(error));
}

[[noreturn]] void failWriting(const std::string& path, int error)
{
    const std::string reason = errnoText(error);
    if (error == ENOSPC || error == EDQUOT || error == EFBIG)
        throw Failure("Cannot save " + quoted(path) + ": " + reason);
    throw Failure("Cannot save " + quoted(path) + ": write error (" + reason + ")");
}

std::string folderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// The file a chain of symbolic links ends at (which need not exist yet), or the path itself.
std::string followLinks(const std::string& path)
{
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 0) + 256, '\0');
        const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
        if (n < 0)
            fail("Cannot save", path, errno);
        target.resize(static_cast<std::size_t>(n));
        current = (!target.empty() && target.front() == '/') ? target : folderOf(current) + "/" + target;
    }
    fail("Cannot save", path, ELOOP);
}

// A new, empty file in `folder` under a name no other file has; the umask applies to its permissions.
struct Temporary {
    std::string name;
    FileDescriptor fd;
};

Temporary createTemporary(const std::string& folder, const std::string& path)
{
    static std::mt19937_64 random{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = folder + "/.tamro-save-" + std::to_string(::getpid()) + "-" +
                                 std::to_string(random() % 1000000000) + ".tmp";
        FileDescriptor fd(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd.valid())
            return {name, std::move(fd)};
        // The new file is written beside the old one: a writable file in a folder that takes no new files
        // cannot be saved, and "no permission" alone would point at the file.
        if (errno == EACCES || errno == EPERM)
            throw Failure("Cannot save " + quoted(path) + ": its folder " + quoted(folder) +
                          " is not writable, and saving writes a new file there to replace it safely");
        if (errno != EEXIST && errno != EINTR)
            fail("Cannot create", path, errno);
    }
    fail("Cannot create", path, EEXIST);
}

// Removes the temporary file unless it has become the saved file.
class TemporaryGuard {
public:
    explicit TemporaryGuard(std::string name) : name_(std::move(name)) {}
    TemporaryGuard(const TemporaryGuard&) = delete;
    TemporaryGuard& operator=(const TemporaryGuard&) = delete;
    ~TemporaryGuard()
    {
        if (!name_.empty())
            ::unlink(name_.c_str());
    }
    const std::string& name() const { return name_; }
    void release() { name_.clear(); }

private:
    std::string name_;
};

}  // namespace

std::string readWholeFile(const std::string& path, std::size_t maxBytes)
{
    // O_NONBLOCK keeps a named pipe from hanging the open; it changes nothing for regular files.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid())
        fail("Cannot open", path, errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        fail("Cannot read", path, errno);
    if (S_ISDIR(st.st_mode))
        fail("Cannot open", path, EISDIR);
    if (!S_ISREG(st.st_mode))
        throw Failure("Cannot open " + quoted(path) + ": it is not a regular file");

    std::string bytes;
    bytes.reserve(std::min<std::size_t>(static_cast<std::size_t>(st.st_size), maxBytes) + 1);
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail("Cannot read", path, errno);
        }
        if (n == 0)
            return bytes;
        if (bytes.size() + static_cast<std::size_t>(n) > maxBytes)
            throw Failure("Cannot load " + quoted(path) + ": it is larger than " +
                          std::to_string(maxBytes >> 20) + " MiB, too large for a playlist");
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

void replaceFile(const std::string& path, std::string_view bytes)
{
    const std::string target = followLinks(path);

    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT)
        fail("Cannot save", path, errno);
    if (exists && S_ISDIR(old.st_mode))
        fail("Cannot save", path, EISDIR);
    if (exists && !S_ISREG(old.st_mode))
        throw Failure("Cannot save " + quoted(path) + ": it is not a regular file");
    // A read-only file stays protected, although the folder would let us rename over it.
    if (exists && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        fail("Cannot replace", path, errno);

    Temporary created = createTemporary(folderOf(target), path);
    FileDescriptor fd = std::move(created.fd);
    TemporaryGuard temporary(created.name);

    if (exists) {
        // Only root may hand the file to another owner; anyone else keeps it as their own. The owner goes
        // first, since a change of owner may clear mode bits.
        if (::geteuid() == 0 && ::fchown(fd.get(), old.st_uid, old.st_gid) != 0)
            fail("Cannot give the saved file the owner of", path, errno);
        if (::fchmod(fd.get(), old.st_mode & 07777) != 0)
            fail("Cannot give the saved file the permissions of", path, errno);
    }

    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd.get(), bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            failWriting(path, errno);
        }
        written += static_cast<std::size_t>(n);
    }
    if (::fsync(fd.get()) != 0)
        failWriting(path, errno);
    if (fd.close() != 0)
        failWriting(path, errno);

    if (::rename(temporary.name().c_str(), target.c_str()) != 0)
        fail("Cannot replace", path, errno);
    temporary.release();

    // Makes the rename itself last through a power cut. The new file is already in place and complete, so a
    // folder that cannot be flushed is no reason to call the save failed.
    FileDescriptor folder(::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.valid())
        ::fsync(folder.get());
}

}  // namespace tamro::playlist
