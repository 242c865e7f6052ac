// SPDX-License-Identifier: GPL-3.0-or-later
// The tags in MPRIS2's Metadata: read off the UI thread, always of the track the media player holds, and the
// embedded picture's file alive exactly as long as its track is loaded.
#include "desktop/mpris.h"

#include "support/fake_media_player.h"
#include "support/temp_folder.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <future>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tamro::desktop {
namespace {

using namespace std::chrono_literals;

struct Player {
    testing::TempFolder runtime;
    testing::FakeMediaPlayer play;
    std::promise<void> slowGate;
    std::shared_future<void> slow = slowGate.get_future().share();
    std::unique_ptr<Mpris> mpris;
    int shown = 0;
    std::atomic<int> readerNice{0};  // the reading thread's, as it read

    Player()
    {
        ::chmod(runtime.path().c_str(), 0700);
        ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
        mpris = std::make_unique<Mpris>([this](const std::string& path, const std::atomic<bool>&) {
            readerNice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
            if (path == "/m/slow.mp3")
                slow.wait();
            audio::SoundTags tags;
            tags.title = "Tag of " + path;
            if (path == "/m/pictured.mp3") {
                tags.picture = std::string(3 * 1024 * 1024, '\xD8');
                tags.pictureExtension = "jpg";
            }
            return tags;
        });
        QObject::connect(mpris.get(), &Mpris::tagsShown, [this] { ++shown; });
        mpris->attach(play, {});
    }
    ~Player() { slowGate.set_value(); }
    void load(const std::string& path)
    {
        play.fileName = path;
        mpris->afterEvent(false);
    }
    QString title() const { return mpris->metadata().value("xesam:title").toString(); }
    std::string art() const
    {
        const QString url = mpris->metadata().value("mpris:artUrl").toString();
        return url.startsWith("file://") ? url.mid(7).toStdString() : std::string();
    }
    bool waitShown(int count)
    {
        QElapsedTimer clock;
        clock.start();
        while (shown < count && clock.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return shown >= count;
    }
};

bool exists(const std::string& path)
{
    struct stat info = {};
    return ::stat(path.c_str(), &info) == 0;
}
unsigned mode(const std::string& path)
{
    struct stat info = {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 0777;
}

TEST(MprisTags, TheMetadataNamesTheTrackLoadedNow)
{
    Player p;
    p.load("/m/a.mp3");
    EXPECT_EQ(p.title(), "a.mp3") << "the file's name until its tags are read";
    ASSERT_TRUE(p.waitShown(1));
    EXPECT_EQ(p.title(), "Tag of /m/a.mp3");
    EXPECT_GE(p.readerNice, TagReader::readerNice) << "the reader yields to the sound";

    // A track replaced while its tags are read: they never name the one that follows.
    p.load("/m/slow.mp3");
    p.load("/m/b.mp3");
    EXPECT_EQ(p.title(), "b.mp3") << "not the tags of the track before";
    p.slowGate.set_value();
    p.slowGate = {};
    ASSERT_TRUE(p.waitShown(2));
    QCoreApplication::processEvents();
    EXPECT_EQ(p.title(), "Tag of /m/b.mp3");
    EXPECT_EQ(p.shown, 2);

    p.load("");
    EXPECT_EQ(p.mpris->metadata().size(), 1) << "only the track id of no track";
}

TEST(MprisTags, TheEmbeddedPictureLivesAsLongAsItsTrack)
{
    std::string art;
    {
        Player p;
        p.load("/m/pictured.mp3");
        ASSERT_TRUE(p.waitShown(1));
        art = p.art();
        ASSERT_FALSE(art.empty());
        EXPECT_EQ(art.rfind(p.runtime.path() + "/tamroplayer30-art/cover-", 0), 0u) << art;
        EXPECT_EQ(art.substr(art.size() - 4), ".jpg");
        EXPECT_EQ(mode(art), 0600u);
        EXPECT_EQ(mode(p.runtime.path() + "/tamroplayer30-art"), 0700u);
        struct stat info = {};
        ::stat(art.c_str(), &info);
        EXPECT_EQ(info.st_size, 3 * 1024 * 1024);

        p.load("/m/a.mp3");
        EXPECT_FALSE(exists(art)) << "removed when the track changes";
        ASSERT_TRUE(p.waitShown(2));
        EXPECT_EQ(p.art(), "");

        p.load("/m/pictured.mp3");
        ASSERT_TRUE(p.waitShown(3));
        art = p.art();
        EXPECT_TRUE(exists(art));
    }
    EXPECT_FALSE(exists(art)) << "removed when the player ends";
}

}  // namespace
}  // namespace tamro::desktop
