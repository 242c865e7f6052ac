// SPDX-License-Identifier: GPL-3.0-or-later
// Which paths are refused before a byte is read, and with which words.
#include "platform/audio/sound_file.h"

#include "base/failure.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace tamro::audio {
namespace {

namespace fs = std::filesystem;

class SoundFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() / ("tamro-sound-file-" + std::to_string(::getpid()));
        fs::create_directories(folder);
    }
    void TearDown() override
    {
        if (socketFd >= 0)
            ::close(socketFd);
        fs::remove_all(folder);
    }
    std::string path(const std::string& name) const { return (folder / name).string(); }
    std::string write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(path(name), std::ios::binary) << bytes;
        return path(name);
    }
    std::string refusalOf(const std::string& p) const
    {
        try {
            SoundFile::open(p);
        } catch (const Failure& failure) {
            return failure.description();
        }
        return "opened";
    }

    fs::path folder;
    int socketFd = -1;
};

TEST_F(SoundFileTest, RefusesWhatIsNotARegularReadableFileNamingPathAndReason)
{
    const std::string fifo = path("fifo.mp3");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string socketPath = path("socket.wav");
    socketFd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(socketFd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    fs::create_directory(path("folder.mp3"));
    write("empty.mp3", "");
    fs::create_symlink(path("nowhere.mp3"), path("dangling.mp3"));
    fs::create_symlink(path("loop-b.mp3"), path("loop-a.mp3"));
    fs::create_symlink(path("loop-a.mp3"), path("loop-b.mp3"));

    struct Case {
        std::string path;
        std::string reason;
    };
    const Case cases[] = {
        {"", "no file name given"},
        {path("missing.mp3"), "no such file"},
        {path("missing-folder/a.mp3"), "no such file"},
        {path("folder.mp3"), "it is a folder, not a file"},
        {fifo, "it is a pipe (FIFO), not a file"},  // and it does not wait for a writer
        {"/dev/null", "it is a device, not a file"},
        {"/dev/zero", "it is a device, not a file"},
        {socketPath, "it is a socket, not a file"},
        {path("empty.mp3"), "the file is empty"},
        {path("dangling.mp3"), "no such file"},
        {path("loop-a.mp3"), "too many levels of symbolic links"},
        {std::string(5000, 'x'), "the path is 5000 bytes long, and Linux opens none longer than 4095"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(refusalOf(c.path), "Cannot open '" + c.path + "': " + c.reason);
    // A NUL would end the name early at the system call, and the message where it is shown.
    EXPECT_EQ(refusalOf(path("a") + std::string(1, '\0') + ".mp3"),
              "Cannot open '" + path("a") + "\\0.mp3': the file name contains a NUL character");
}

TEST_F(SoundFileTest, RefusesAFileItMayNotRead)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    const std::string locked = write("locked.mp3", "ID3");
    fs::permissions(locked, fs::perms::none);
    EXPECT_EQ(refusalOf(locked), "Cannot open '" + locked + "': no permission");
}

TEST_F(SoundFileTest, ReadsAFileThroughASymbolicLinkAtAnyOffset)
{
    const std::string target = write("a.wav", "0123456789");
    fs::create_symlink(target, path("link.wav"));
    const SoundFile file = SoundFile::open(path("link.wav"));
    EXPECT_EQ(file.size(), 10);
    std::uint8_t bytes[8] = {};
    EXPECT_EQ(file.readAt(6, bytes), 4u);
    EXPECT_EQ(std::string(bytes, bytes + 4), "6789");
    EXPECT_EQ(file.readAt(10, bytes), 0u);
}

}  // namespace
}  // namespace tamro::audio
