// SPDX-License-Identifier: GPL-3.0-or-later
// The hand-over between starts: the message, and a real socket between a claiming player and a later start.
#include "desktop/hand_over.h"
#include "desktop/hand_over_server.h"

#include "support/temp_folder.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <future>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace tamro::desktop {
namespace {

using namespace std::chrono_literals;
using Paths = std::vector<std::string>;

TEST(HandOverMessage, ComesBackWhole)
{
    const std::vector<Paths> cases = {
        {},
        {"/m/a.mp3"},
        {"/m/a b.mp3", "/m/\xE9.wav", std::string("/m/with\0nul", 11), ""},
        {std::string(64 * 1024, 'x')},
    };
    for (const Paths& paths : cases) {
        const std::string message = encodeHandOver(paths);
        bool malformed = true;
        EXPECT_EQ(decodeHandOver(message, malformed), (HandOverMessage{paths, {}}));
        EXPECT_FALSE(malformed);
        // Arriving in pieces: every piece short of the whole is incomplete, and no fault.
        for (std::size_t size = 0; size < message.size(); size += std::max<std::size_t>(1, message.size() / 50)) {
            EXPECT_FALSE(decodeHandOver(std::string_view(message).substr(0, size), malformed)) << size;
            EXPECT_FALSE(malformed) << size;
        }
    }
}

std::string number(std::uint32_t n)
{
    return std::string{static_cast<char>(n), static_cast<char>(n >> 8), static_cast<char>(n >> 16),
                       static_cast<char>(n >> 24)};
}

TEST(HandOverMessage, CarriesTheDesktopsTokenBesideTheFiles)
{
    using Kind = ActivationToken::Kind;
    struct Case {
        const char* name;
        Paths paths;
        ActivationToken given;  // to encode
        ActivationToken sent;   // what arrives
    };
    const std::string longest(maxTokenBytes, 't');
    const std::vector<Case> cases = {
        {"no token", {"/m/a.mp3"}, {}, {}},
        {"a Wayland token", {"/m/a.mp3", "/m/b.wav"}, {Kind::Wayland, "kwin-42-1f3c"}, {Kind::Wayland, "kwin-42-1f3c"}},
        {"an X11 startup id, no files", {}, {Kind::X11, "host;1;2_TIME1234"}, {Kind::X11, "host;1;2_TIME1234"}},
        {"the longest token", {"/a"}, {Kind::X11, longest}, {Kind::X11, longest}},
        {"too long a token is left out", {"/a"}, {Kind::Wayland, longest + "t"}, {}},
        {"a token with a blank is left out", {"/a"}, {Kind::Wayland, "a b"}, {}},
        {"a token with a control byte is left out", {"/a"}, {Kind::X11, "a\nb"}, {}},
        {"an empty token is left out", {"/a"}, {Kind::Wayland, ""}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string message = encodeHandOver(c.paths, c.given);
        if (c.sent.kind == Kind::None) {
            EXPECT_EQ(message, encodeHandOver(c.paths)) << "the message of the players before tokens";
        }
        bool malformed = true;
        EXPECT_EQ(decodeHandOver(message, malformed), (HandOverMessage{c.paths, c.sent}));
        EXPECT_FALSE(malformed);
        for (std::size_t size = 0; size < message.size(); ++size) {
            ASSERT_FALSE(decodeHandOver(std::string_view(message).substr(0, size), malformed)) << size;
            ASSERT_FALSE(malformed) << size;
        }
    }
}

TEST(HandOverMessage, RefusesWhatNoStartSends)
{
    const std::string marker = number(0xFFFFFFFF);
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"more paths than a playlist holds", number(32768)},
        {"a path longer than 64 KiB", number(1) + number(64 * 1024 + 1)},
        {"bytes after the end", encodeHandOver({"/a"}) + "x"},
        {"a token of no known kind", marker + number(3) + number(1) + "t" + number(0)},
        {"an empty token", marker + number(1) + number(0) + number(0)},
        {"a token longer than any desktop gives", marker + number(2) + number(maxTokenBytes + 1)},
        {"a token of 4 GiB", marker + number(1) + number(0xFFFFFFFF)},
        {"a token with a NUL", marker + number(1) + number(3) + std::string("a\0b", 3) + number(0)},
        {"a token with bytes above ASCII", marker + number(2) + number(2) + "\xC3\xA9" + number(0)},
        {"two tokens", marker + number(1) + number(1) + "t" + marker + number(1) + number(1) + "t" + number(0)},
    };
    for (const auto& [name, message] : cases) {
        SCOPED_TRACE(name);
        bool malformed = false;
        EXPECT_FALSE(decodeHandOver(message, malformed));
        EXPECT_TRUE(malformed);
    }
}

// A runtime folder of the test's own, as the session gives one, and a display of its own.
struct Desktop {
    testing::TempFolder folder;
    Desktop()
    {
        ::chmod(folder.path().c_str(), 0700);
        ::setenv("XDG_RUNTIME_DIR", folder.path().c_str(), 1);
        ::setenv("DISPLAY", ":hand-over-test", 1);
        ::unsetenv("WAYLAND_DISPLAY");
    }
};

template <class Condition>
void runUntil(Condition done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

TEST(HandOver, ALaterStartHandsItsFilesToTheFirst)
{
    Desktop desktop;
    const auto path = handOverSocketPath();
    ASSERT_TRUE(path);
    EXPECT_EQ(*path, desktop.folder.path() + "/tamroplayer30-_hand-over-test.socket");
    EXPECT_EQ(handOver(*path, {"/a.mp3"}, 100ms), HandOverResult::NoPlayer);

    const InstanceClaim first = claimInstance({});
    ASSERT_FALSE(first.handedOver);
    ASSERT_GE(first.listeningSocket, 0);
    std::vector<Paths> opened;
    std::vector<ActivationToken> tokens;
    HandOverServer server(first.listeningSocket, [&](const Paths& paths, const ActivationToken& token) {
        opened.push_back(paths);
        tokens.push_back(token);
    });

    // A second claim finds the lock held and hands over, as a start while the player runs.
    const Paths files = {"/m/long 330.wav", "/m/l\xE5ng.wav"};
    auto second = std::async(std::launch::async, [&] { return claimInstance(files); });
    runUntil([&] { return second.wait_for(0ms) == std::future_status::ready; });
    const InstanceClaim claim = second.get();
    EXPECT_TRUE(claim.handedOver);
    EXPECT_EQ(claim.listeningSocket, -1);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], files);

    // With no files, the player is still told (it raises its window), with the desktop's token.
    const ActivationToken token{ActivationToken::Kind::Wayland, "token-of-the-click"};
    auto third = std::async(std::launch::async, [&] { return handOver(*path, {}, 5s, token); });
    runUntil([&] { return third.wait_for(0ms) == std::future_status::ready; });
    EXPECT_EQ(third.get(), HandOverResult::Done);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_TRUE(opened[1].empty());
    EXPECT_EQ(tokens, (std::vector<ActivationToken>{{}, token}));
}

TEST(HandOver, APlayerFromBeforeTokensStillTakesTheFiles)
{
    Desktop desktop;
    const std::string path = desktop.folder.path() + "/old.socket";
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(fd, 4), 0);
    // As the player read its messages before tokens: a count above 32767 is refused by closing.
    auto oldPlayer = std::async(std::launch::async, [fd] {
        std::vector<Paths> taken;
        for (int connection = 0; connection < 2 && taken.empty(); ++connection) {
            const int c = ::accept(fd, nullptr, nullptr);
            std::string received;
            char buffer[4096];
            for (;;) {
                bool malformed = false;
                const auto message = decodeHandOver(received, malformed);
                if (malformed || (received.size() >= 4 && received.compare(0, 4, number(0xFFFFFFFF)) == 0))
                    break;
                if (message) {
                    taken.push_back(message->paths);
                    ::send(c, &handOverDone, 1, MSG_NOSIGNAL);
                    break;
                }
                const ssize_t n = ::recv(c, buffer, sizeof buffer, 0);
                if (n <= 0)
                    break;
                received.append(buffer, static_cast<std::size_t>(n));
            }
            ::close(c);
        }
        return taken;
    });
    const ActivationToken token{ActivationToken::Kind::X11, "host;1;2_TIME5"};
    EXPECT_EQ(handOver(path, {"/m/a.mp3"}, 5s, token), HandOverResult::Done);
    EXPECT_EQ(oldPlayer.get(), std::vector<Paths>{{"/m/a.mp3"}}) << "taken once, without the token";
    ::close(fd);
}

TEST(HandOver, APlayerThatDoesNotAnswerIsGivenUp)
{
    Desktop desktop;
    const std::string path = desktop.folder.path() + "/frozen.socket";
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(fd, 4), 0);  // connections wait, and nobody reads them
    EXPECT_EQ(handOver(path, {"/a.mp3"}, 100ms), HandOverResult::Failed);
    ::close(fd);
    // Left behind by a player that is gone: nobody listens.
    EXPECT_EQ(handOver(path, {"/a.mp3"}, 100ms), HandOverResult::NoPlayer);
}

TEST(HandOver, NoSocketInAFolderOthersMayEnter)
{
    Desktop desktop;
    ::chmod(desktop.folder.path().c_str(), 0755);
    const auto path = handOverSocketPath();
    // The runtime folder is not private: the one in /tmp of this user's own is taken instead.
    ASSERT_TRUE(path);
    EXPECT_EQ(path->rfind("/tmp/tamroplayer30-" + std::to_string(::getuid()) + "/", 0), 0u) << *path;
    struct stat info = {};
    ASSERT_EQ(::stat(path->substr(0, path->rfind('/')).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

}  // namespace
}  // namespace tamro::desktop
