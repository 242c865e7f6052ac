// SPDX-License-Identifier: GPL-3.0-or-later
#include "playlist/playlist_file.h"

#include "base/failure.h"
#include "support/temp_folder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tamro::playlist {
namespace {

using ::testing::HasSubstr;
using namespace tamro::testing;  // TempFolder, readBytes, writeBytes
using Entries = std::vector<std::string>;

const Entries twoEntries{"C:\\a.mp3", "D:\\b, c.wav"};

enum class As { Me, Nobody };

// Runs `action` in a child process and returns the description of the Failure it threw, or "" when it threw
// none. As::Nobody drops to the unprivileged user "nobody" when the tests run as root, who may write anywhere.
std::string failureInChild(const std::function<void()>& action, As as = As::Nobody)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return "pipe failed";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        std::string message;
        if (as == As::Nobody && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            message = "cannot drop privileges";
        else {
            try {
                action();
            } catch (const Failure& failure) {
                message = failure.description();
            }
        }
        [[maybe_unused]] auto n = ::write(pipeFds[1], message.data(), message.size());
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    std::string message;
    char buffer[512];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0)
        message.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return message;
}

std::size_t filesIn(const std::string& folder)
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

mode_t modeOf(const std::string& path)
{
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

TEST(SavePlaylistFile, KeepsThePermissionsOfTheFileItReplaces)
{
    TempFolder folder;
    const std::string path = folder.file("list.txt");
    writeBytes(path, "old");
    ::chmod(path.c_str(), 0640);
    savePlaylistFile(path, twoEntries);
    EXPECT_EQ(modeOf(path), 0640u);
    EXPECT_EQ(loadPlaylistFile(path).entries, twoEntries);
    EXPECT_EQ(filesIn(folder.path()), 1u) << "no temporary file is left behind";

    const std::string fresh = folder.file("new.txt");
    savePlaylistFile(fresh, twoEntries);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(modeOf(fresh), 0666u & ~mask) << "a new file gets the usual permissions, not a temporary file's";
}

TEST(SavePlaylistFile, ThroughASymbolicLinkReplacesTheFileItNamesAndKeepsTheLink)
{
    TempFolder folder;
    writeBytes(folder.file("real.m3u"), "old");
    std::filesystem::create_symlink("real.m3u", folder.file("link.m3u"));
    savePlaylistFile(folder.file("link.m3u"), twoEntries);
    EXPECT_TRUE(std::filesystem::is_symlink(folder.file("link.m3u")));
    EXPECT_EQ(loadPlaylistFile(folder.file("real.m3u")).entries, twoEntries);
}

struct Unwritable {
    const char* name;
    const char* target;  // relative to the test folder
    const char* reason;
};

class SaveFailure : public ::testing::TestWithParam<Unwritable> {};

TEST_P(SaveFailure, IsReportedWithThePathAndTheReason)
{
    TempFolder folder;
    std::filesystem::create_directory(folder.file("folder"));
    writeBytes(folder.file("file"), "x");
    const std::string path = folder.file(GetParam().target);
    try {
        savePlaylistFile(path, twoEntries);
        FAIL() << "saving to " << path << " succeeded";
    } catch (const Failure& failure) {
        EXPECT_THAT(failure.description(), HasSubstr("'" + path + "'"));
        EXPECT_THAT(failure.description(), HasSubstr(GetParam().reason));
    }
    EXPECT_EQ(filesIn(folder.path()), 2u);
}

INSTANTIATE_TEST_SUITE_P(Targets, SaveFailure,
    ::testing::Values(Unwritable{"MissingFolder", "missing/list.m3u", "Cannot create"},
        Unwritable{"TargetIsAFolder", "folder", "it is a folder"},
        Unwritable{"PathThroughAFile", "file/list.m3u", "not a folder"}),
    [](const auto& info) { return info.param.name; });

TEST(SavePlaylistFile, FailedWriteLeavesTheOldFileIntact)
{
    TempFolder folder;
    const std::string path = folder.file("list.m3u");
    writeBytes(path, "\"kept\"\r\n");
    // The system refuses to let the process write a file past 100 bytes, as a full disk would.
    const std::string message = failureInChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{100, RLIM_INFINITY};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        savePlaylistFile(path, Entries(50, "/music/a long enough path.mp3"));
    }, As::Me);
    EXPECT_THAT(message, HasSubstr("Cannot save '" + path + "'"));
    EXPECT_EQ(readBytes(path), "\"kept\"\r\n");
    EXPECT_EQ(filesIn(folder.path()), 1u);
}

TEST(SavePlaylistFile, ReadOnlyFileIsNotReplaced)
{
    TempFolder folder;
    ::chmod(folder.path().c_str(), 0777);
    const std::string path = folder.file("list.m3u");
    writeBytes(path, "\"kept\"\r\n");
    ::chmod(path.c_str(), 0444);
    const std::string message = failureInChild([&] { savePlaylistFile(path, twoEntries); });
    EXPECT_THAT(message, HasSubstr("Cannot replace '" + path + "': no permission"));
    EXPECT_EQ(readBytes(path), "\"kept\"\r\n");
}

TEST(SavePlaylistFile, FolderWithoutWritePermissionIsReported)
{
    // A new file, and a writable file there: both need a new file in the folder, and the message says so.
    TempFolder folder;
    const std::string writable = folder.file("writable.m3u");
    writeBytes(writable, "\"kept\"\r\n");
    ::chmod(writable.c_str(), 0666);
    ::chmod(folder.path().c_str(), 0555);
    for (const std::string& path : {folder.file("list.m3u"), writable})
        EXPECT_EQ(failureInChild([&] { savePlaylistFile(path, twoEntries); }),
            "Cannot save '" + path + "': its folder '" + folder.path() +
                "' is not writable, and saving writes a new file there to replace it safely");
    EXPECT_FALSE(std::filesystem::exists(folder.file("list.m3u")));
    EXPECT_EQ(readBytes(writable), "\"kept\"\r\n");
}

TEST(LoadPlaylistFile, FailuresNameTheFileAndTheReason)
{
    TempFolder folder;
    ::chmod(folder.path().c_str(), 0755);
    EXPECT_EQ(failureInChild([&] { loadPlaylistFile(folder.file("typo.m3u")); }),
        "Cannot open '" + folder.file("typo.m3u") + "': no such file");
    EXPECT_EQ(failureInChild([&] { loadPlaylistFile(folder.path()); }),
        "Cannot open '" + folder.path() + "': it is a folder");

    writeBytes(folder.file("secret.m3u"), "\"a\"\r\n");
    ::chmod(folder.file("secret.m3u").c_str(), 0);
    EXPECT_EQ(failureInChild([&] { loadPlaylistFile(folder.file("secret.m3u")); }),
        "Cannot open '" + folder.file("secret.m3u") + "': no permission");

    EXPECT_THAT(failureInChild([] { loadPlaylistFile("/dev/zero"); }), HasSubstr("not a regular file"));
}

}  // namespace
}  // namespace tamro::playlist
