// SPDX-License-Identifier: GPL-3.0-or-later
// The covers' picture files left by players that ended without removing them: whose a file is, from its name, and
// which go at a player's start (those of players no longer running) and which stay (a running player's, another
// host's, files of no owner, anything but a plain file).
#include "desktop/art_file.h"
#include "desktop/art_owner.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tamro::desktop {
namespace {

// The id of a process that has ended (and been reaped).
std::int64_t endedProcess()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

TEST(ArtOwner, TheNameTellsWhoseItIs)
{
    struct Case {
        const char* name;
        std::optional<ArtOwner> owner;
    };
    const Case cases[] = {
        {"cover-123-456-box-AbC123.jpg", ArtOwner{123, 456, "box"}},
        {"cover-7-0-my-host.lan-x9Y8z7.png", ArtOwner{7, 0, "my-host.lan"}},
        {"cover-AbC123.jpg", std::nullopt},            // of no owner: older players named them so
        {"cover-123-456-AbC123.jpg", std::nullopt},    // no host
        {"cover-123-456--AbC123.jpg", std::nullopt},   // an empty host
        {"cover-0-456-box-AbC123.jpg", std::nullopt},  // no process has id 0
        {"cover--5-456-box-AbC123.jpg", std::nullopt},
        {"cover-123x-456-box-AbC123.jpg", std::nullopt},
        {"cover-99999999999999999999-1-box-AbC123.jpg", std::nullopt},
        {"Cover-123-456-box-AbC123.jpg", std::nullopt},
        {"notes.txt", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(artOwnerOf(c.name), c.owner) << c.name;
    EXPECT_EQ(artOwnerOf(artNamePrefix(thisPlayer()) + "AbC123.jpg"), thisPlayer());
}

TEST(ArtOwner, RunningIsThisProcessAsItStartedOrAnotherHostsPlayer)
{
    const ArtOwner self = thisPlayer();
    ASSERT_GT(self.started, 0u);
    struct Case {
        const char* what;
        ArtOwner owner;
        bool running;
    };
    const Case cases[] = {
        {"this process", self, true},
        {"its id, started at another time (reused)", {self.pid, self.started + 1, self.host}, false},
        {"a process that ended", {endedProcess(), self.started, self.host}, false},
        {"another host's player, whatever runs here", {endedProcess(), 1, self.host + "-elsewhere"}, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(stillRunning(c.owner), c.running) << c.what;
}

TEST(ArtOwner, AtStartTheFilesOfPlayersNoLongerRunningGo)
{
    testing::TempFolder folder;
    const ArtOwner self = thisPlayer();
    const std::string ended = artNamePrefix({endedProcess(), self.started, self.host});
    struct Case {
        std::string name;
        bool stays;
    };
    const Case cases[] = {
        {artNamePrefix(self) + "AbC123.jpg", true},
        {ended + "AbC123.jpg", false},
        {ended + "DeF456.png", false},
        {artNamePrefix({self.pid, self.started + 1, self.host}) + "AbC123.jpg", false},
        {artNamePrefix({1, 1, self.host + "-elsewhere"}) + "AbC123.jpg", true},
        {"cover-AbC123.jpg", true},
        {"notes.txt", true},
    };
    for (const Case& c : cases)
        testing::writeBytes(folder.file(c.name), "picture");
    // Not plain files, though named as a gone player's: left alone.
    ::mkdir(folder.file(ended + "Folder.jpg").c_str(), 0700);
    std::filesystem::create_symlink(folder.file("notes.txt"), folder.file(ended + "Link12.jpg"));

    EXPECT_EQ(removeStaleArt(folder.path()), 3);
    for (const Case& c : cases)
        EXPECT_EQ(std::filesystem::exists(folder.file(c.name)), c.stays) << c.name;
    EXPECT_TRUE(std::filesystem::is_directory(folder.file(ended + "Folder.jpg")));
    EXPECT_TRUE(std::filesystem::is_symlink(folder.file(ended + "Link12.jpg")));
}

TEST(ArtOwner, ThePictureFileNamesThisPlayerAndOutlivesTheSweep)
{
    testing::TempFolder runtime;
    ::chmod(runtime.path().c_str(), 0700);
    ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    const auto art = ArtFile::write("picture", "jpg");
    ASSERT_NE(art, nullptr);
    EXPECT_EQ(artOwnerOf(std::filesystem::path(art->path()).filename().string()), thisPlayer());
    removeStaleArtFiles();
    EXPECT_TRUE(std::filesystem::exists(art->path()));
}

}  // namespace
}  // namespace tamro::desktop
