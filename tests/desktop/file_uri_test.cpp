// SPDX-License-Identifier: GPL-3.0-or-later
// Paths and file URIs: every byte survives the trip, and only local files are taken.
#include "desktop/file_uri.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace tamro::desktop {
namespace {

TEST(FileUri, EscapesWhatIsNotPlain)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/m/a.mp3", "file:///m/a.mp3"},
        {"/m/a b.mp3", "file:///m/a%20b.mp3"},
        {"/m/100%.wav", "file:///m/100%25.wav"},
        {"/m/#1?.mid", "file:///m/%231%3F.mid"},
        {"/m/caf\xC3\xA9.au", "file:///m/caf%C3%A9.au"},
        {"/m/\xE9t\xE9.snd", "file:///m/%E9t%E9.snd"},
        {"/m/a-b_c~d.e", "file:///m/a-b_c~d.e"},
    };
    for (const auto& [path, uri] : cases) {
        SCOPED_TRACE(path);
        EXPECT_EQ(fileUri(path), uri);
        EXPECT_EQ(localPath(uri), path);
    }
}

TEST(FileUri, EveryByteComesBack)
{
    std::string path = "/";
    for (int byte = 1; byte < 256; ++byte)
        path += static_cast<char>(byte);
    EXPECT_EQ(localPath(fileUri(path)), path);
}

TEST(FileUri, TakesOnlyLocalFiles)
{
    const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
        {"file:///m/a.mp3", "/m/a.mp3"},
        {"file://localhost/m/a.mp3", "/m/a.mp3"},
        {"FILE:///m/A.MP3", "/m/A.MP3"},
        {"file:/m/a.mp3", "/m/a.mp3"},
        {"file:///m/%e9", "/m/\xE9"},
        {"file://otherhost/m/a.mp3", std::nullopt},
        {"http://example.org/a.mp3", std::nullopt},
        {"smb://server/share/a.mp3", std::nullopt},
        {"file:relative.mp3", std::nullopt},
        {"file://", std::nullopt},
        {"file:///m/%00.mp3", std::nullopt},
        {"file:///m/%zz.mp3", std::nullopt},
        {"file:///m/a%2", std::nullopt},
        {"file:///m/a.mp3?x=1", std::nullopt},
        {"file:///m/a.mp3#t=10", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [uri, path] : cases) {
        SCOPED_TRACE(uri);
        EXPECT_EQ(localPath(uri), path);
    }
}

TEST(FileUri, ReadsAUriList)
{
    const std::string list = "# dragged from a file manager\r\n"
                             "file:///m/a%20b.mp3\r\n"
                             "http://example.org/c.mp3\r\n"
                             "\r\n"
                             "file:///m/%E9.wav\n"
                             "file:///m/last.mid";
    EXPECT_EQ(localPaths(list), (std::vector<std::string>{"/m/a b.mp3", "/m/\xE9.wav", "/m/last.mid"}));
    EXPECT_TRUE(localPaths("").empty());
    EXPECT_TRUE(localPaths("https://example.org/x.mp3\r\n").empty());
}

TEST(FileUri, MakesPathsAbsolute)
{
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        {"/m/a.mp3", "/home/u", "/m/a.mp3"},
        {"a.mp3", "/home/u", "/home/u/a.mp3"},
        {"a.mp3", "/", "/a.mp3"},
        {"a.mp3", "/home/u/", "/home/u/a.mp3"},
        {"./a.mp3", "/home/u", "/home/u/a.mp3"},
        {"./", "/home/u", "/home/u/./"},
        {"", "/home/u", ""},
    };
    for (const auto& [path, folder, absolute] : cases) {
        SCOPED_TRACE(path + " in " + folder);
        EXPECT_EQ(absolutePath(path, folder), absolute);
    }
}

}  // namespace
}  // namespace tamro::desktop
