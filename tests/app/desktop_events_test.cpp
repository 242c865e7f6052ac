// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop's ways in on the real window: files given, files dropped and the player controls each run the
// handlers a click would run, with the same results and the same reports.
#include "app/desktop_events.h"
#include "app/event_table.h"
#include "app/player_window.h"
#include "app/window_activation.h"
#include "base/numbers.h"
#include "desktop/mpris_adaptors.h"

#include "support/fake_file_dialog.h"
#include "support/fake_media_player.h"

#include <QMimeData>
#include <QTest>

#include <gtest/gtest.h>

namespace tamro::app {
namespace {

using Entries = std::vector<std::string>;

struct Program {
    testing::FakeMediaPlayer* play;
    testing::FakeFileDialog* dialog;
    PlayerWindow window;
    std::vector<std::string> reports;
    desktop::Mpris mpris;

    Program() : Program(std::make_unique<testing::FakeMediaPlayer>(), std::make_unique<testing::FakeFileDialog>()) {}
    Program(std::unique_ptr<testing::FakeMediaPlayer> fakePlay, std::unique_ptr<testing::FakeFileDialog> fakeDialog)
        : play(fakePlay.get()), dialog(fakeDialog.get()), window(std::move(fakePlay), std::move(fakeDialog))
    {
        window.report = [this](const std::string& description) { reports.push_back(description); };
        connectDesktop(window, &mpris, -1);
        window.loadAndShow();
    }
    ui::Frmmain& f() { return window.frmmain; }
    Entries entries()
    {
        Entries out;
        for (int i = 0; i < f().List1.listCount(); ++i)
            out.push_back(f().List1.list(i));
        return out;
    }
    // Adds through the Add button and its dialog, as a user would.
    void add(const Entries& paths)
    {
        for (const auto& path : paths) {
            dialog->choices.push_back(path);
            QTest::mouseClick(&f().Add, Qt::LeftButton);
        }
    }
    desktop::PlayerAdaptor& player() { return *mpris.findChild<desktop::PlayerAdaptor*>(); }
};

// What the media player was told to do; the controls read its length and position besides the handlers.
std::vector<std::string> orders(const testing::FakeMediaPlayer& play)
{
    std::vector<std::string> out;
    for (const auto& call : play.commandCalls())
        if (call != "length")
            out.push_back(call);
    return out;
}

// What a run of the player leaves: the media player's orders, `last`, the selection and the labels.
struct Outcome {
    std::vector<std::string> calls;
    std::int32_t last;
    std::int16_t selected;
    std::string title, count;
    bool clock;
    bool operator==(const Outcome&) const = default;
};
Outcome outcome(Program& p)
{
    return {orders(*p.play), p.f().last, p.f().List1.listIndex(), p.f().Songname.caption(),
            p.f().Label1.caption(), p.f().time.visible()};
}

TEST(FilesGiven, AreAddedAsAddAddsThemAndTheFirstStartsAsADoubleClickStartsIt)
{
    const Entries before = {"/m/old.mp3"};
    const Entries given = {"/m/a b.mp3", "/m/\xE9t\xE9.wav", "/m/c.mid"};

    Program reference;
    reference.play->lengthValue = 185.6;
    reference.add(before);
    reference.add(given);
    reference.play->calls.clear();
    reference.f().List1.setListIndex(1);
    emit reference.f().List1.dblClick();

    Program p;
    p.play->lengthValue = 185.6;
    p.add(before);
    p.play->calls.clear();
    openGivenFiles(p.window, given);

    EXPECT_EQ(p.entries(), (Entries{"/m/old.mp3", "/m/a b.mp3", "/m/\xE9t\xE9.wav", "/m/c.mid"}));
    EXPECT_EQ(outcome(p), outcome(reference));
    EXPECT_EQ(p.f().last, 1);
    EXPECT_EQ(p.f().Songname.caption(), "/m/a b.mp3 - (03:06)");
    EXPECT_EQ(p.f().Label1.caption(), "4 item(s)");
    EXPECT_TRUE(p.reports.empty());
}

TEST(FilesGiven, FailuresAreReportedAsTheHandlersReportThem)
{
    struct Case {
        const char* name;
        Entries given;
        std::set<std::string> failing;
        Entries entries;
        std::vector<std::string> reports;
        std::string count;
    };
    const std::vector<Case> cases = {
        {"a file the player refuses is reported as a double-click reports it, and stays listed",
         {"/m/missing.mp3", "/m/b.mp3"}, {"fileName"}, {"/m/missing.mp3", "/m/b.mp3"},
         {"Fake media player refuses fileName"}, "2 item(s)"},
        {"empty arguments are passed over", {"", "/m/b.mp3", ""}, {}, {"/m/b.mp3"}, {}, "1 item(s)"},
        {"nothing but empty arguments changes nothing", {"", ""}, {}, {}, {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Program p;
        p.play->failing = c.failing;
        openGivenFiles(p.window, c.given);
        EXPECT_EQ(p.entries(), c.entries);
        EXPECT_EQ(p.reports, c.reports);
        EXPECT_EQ(p.f().Label1.caption(), c.count);
    }
}

TEST(FilesGiven, AFullPlaylistTakesWhatFitsAndSaysSoOnce)
{
    Program p;
    p.f().List1.replaceAll(Entries(maxEntries - 1, "/m/x.mp3"));
    openGivenFiles(p.window, {"/m/last.mp3", "/m/more.mp3", "/m/andmore.mp3"});
    EXPECT_EQ(p.f().List1.listCount(), maxEntries);
    ASSERT_EQ(p.reports.size(), 1u);
    EXPECT_NE(p.reports[0].find("The playlist is full"), std::string::npos);
    EXPECT_EQ(p.f().last, maxEntries - 1);
    EXPECT_EQ(p.play->fileName, "/m/last.mp3");
}

void drop(QWidget& target, const QByteArray& uriList, bool& accepted)
{
    QMimeData data;
    data.setData(QStringLiteral("text/uri-list"), uriList);
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &enter);
    accepted = enter.isAccepted();
    if (!accepted)
        return;
    QDropEvent event(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &event);
}

TEST(FilesDropped, LocalFilesAreAddedAndNothingStarts)
{
    struct Case {
        const char* name;
        QByteArray uriList;
        bool accepted;
        Entries entries;
        std::string count;
    };
    const std::vector<Case> cases = {
        {"local files, escapes decoded to their bytes", "file:///m/a%20b.mp3\r\nfile:///m/%E9.wav\r\n", true,
         {"/m/old.mp3", "/m/a b.mp3", "/m/\xE9.wav"}, "3 item(s)"},
        {"web addresses among them are left out", "http://example.org/x.mp3\r\nfile:///m/c.mid\r\n", true,
         {"/m/old.mp3", "/m/c.mid"}, "2 item(s)"},
        {"nothing local: the drag is refused", "https://example.org/x.mp3\r\n", false, {"/m/old.mp3"},
         "1 item(s)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Program p;
        p.add({"/m/old.mp3"});
        p.play->calls.clear();
        bool accepted = false;
        drop(p.f(), c.uriList, accepted);
        EXPECT_EQ(accepted, c.accepted);
        EXPECT_EQ(p.entries(), c.entries);
        EXPECT_EQ(p.f().Label1.caption(), c.count);
        EXPECT_TRUE(p.play->commandCalls().empty());
        EXPECT_EQ(p.f().List1.listIndex(), -1);
    }
}

TEST(PlayerControls, EachRunsTheHandlerItsButtonRuns)
{
    using Action = std::function<void(Program&)>;
    struct Case {
        const char* name;
        Action control;
        Action button;
    };
    const std::vector<Case> cases = {
        {"Play is the Play button", [](Program& p) { p.player().Play(); },
         [](Program& p) { QTest::mouseClick(&p.f().cmdplay, Qt::LeftButton); }},
        {"Stop is the Stop button", [](Program& p) { p.player().Stop(); },
         [](Program& p) { QTest::mouseClick(&p.f().Command2, Qt::LeftButton); }},
        {"Next is the Next button", [](Program& p) { p.player().Next(); },
         [](Program& p) { QTest::mouseClick(&p.f().Command3, Qt::LeftButton); }},
        {"Previous is the Previous button", [](Program& p) { p.player().Previous(); },
         [](Program& p) { QTest::mouseClick(&p.f().Back, Qt::LeftButton); }},
        {"PlayPause while playing is Stop", [](Program& p) { p.player().PlayPause(); },
         [](Program& p) { QTest::mouseClick(&p.f().Command2, Qt::LeftButton); }},
        {"Pause does nothing", [](Program& p) { p.player().Pause(); }, [](Program&) {}},
        {"Seek past the end is Next", [](Program& p) { p.player().Seek(200'000'000); },
         [](Program& p) { QTest::mouseClick(&p.f().Command3, Qt::LeftButton); }},
        {"SetPosition for another track does nothing",
         [](Program& p) { p.player().SetPosition(desktop::trackIdOf("/m/a.mp3"), 20'000'000); }, [](Program&) {}},
        {"SetPosition sets the slider and runs its click",
         [](Program& p) { p.player().SetPosition(desktop::trackIdOf("/m/b.mp3"), 20'400'000); },
         [](Program& p) {
             p.f().Slider1.setValue(20);
             emit p.f().Slider1.click();
         }},
        {"Seek moves from the position, as the slider would",
         [](Program& p) { p.player().Seek(-7'600'000); },
         [](Program& p) {
             p.f().Slider1.setValue(3);  // 10.5 - 7.6 = 2.9, rounded
             emit p.f().Slider1.click();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Program byControl;
        Program byButton;
        for (Program* p : {&byControl, &byButton}) {
            p->play->lengthValue = 120.0;
            p->add({"/m/a.mp3", "/m/b.mp3", "/m/c.mp3"});
            p->f().List1.setListIndex(1);
            emit p->f().List1.dblClick();  // b plays, `last` 1
            p->play->positionValue = 10.5;
            p->play->calls.clear();
        }
        c.control(byControl);
        c.button(byButton);
        EXPECT_EQ(outcome(byControl), outcome(byButton));
        EXPECT_EQ(byControl.f().Slider1.value(), byButton.f().Slider1.value());
        EXPECT_TRUE(byControl.reports.empty());
    }
}

TEST(PlayerControls, PlayPauseWhileStoppedIsPlay)
{
    Program p;
    p.add({"/m/a.mp3"});
    p.f().List1.setListIndex(0);
    EXPECT_EQ(p.player().playbackStatus(), "Stopped");
    p.player().PlayPause();
    EXPECT_EQ(orders(*p.play), (std::vector<std::string>{"fileName:/m/a.mp3", "play"}));
    EXPECT_EQ(p.player().playbackStatus(), "Playing");
}

TEST(PlayerControls, TellWhatPlays)
{
    Program p;
    EXPECT_EQ(p.player().metadata().value("mpris:trackid").value<QDBusObjectPath>().path(),
              "/org/mpris/MediaPlayer2/TrackList/NoTrack");
    p.play->lengthValue = 185.6;
    p.player().OpenUri(QStringLiteral("file:///m/caf%C3%A9%20bar.mp3"));
    EXPECT_EQ(p.entries(), Entries{"/m/caf\xC3\xA9 bar.mp3"});
    EXPECT_EQ(p.f().last, 0);

    const QVariantMap data = p.player().metadata();
    EXPECT_EQ(data.value("xesam:title").toString(), QString::fromUtf8("caf\xC3\xA9 bar.mp3"));
    EXPECT_EQ(data.value("xesam:url").toString(), "file:///m/caf%C3%A9%20bar.mp3");
    EXPECT_EQ(data.value("mpris:length").toLongLong(), 185'600'000);
    EXPECT_EQ(data.value("mpris:trackid").value<QDBusObjectPath>(), desktop::trackIdOf("/m/caf\xC3\xA9 bar.mp3"));
    EXPECT_NE(desktop::trackIdOf("/m/a.mp3"), desktop::trackIdOf("/m/b.mp3"));
    EXPECT_EQ(p.player().playbackStatus(), "Playing");
    p.play->positionValue = 12.25;
    EXPECT_EQ(p.player().position(), 12'250'000);

    p.player().OpenUri(QStringLiteral("http://example.org/x.mp3"));
    EXPECT_EQ(p.f().List1.listCount(), 1);
}

// The time of the click that started a later start, as an X11 desktop writes it into the startup id.
TEST(WindowActivation, TheStartupIdsTime)
{
    const std::vector<std::pair<std::string, std::uint32_t>> cases = {
        {"gnome-shell/TamroPlayer30/2356-1-host_TIME4242", 4242},
        {"host;1234;5_TIME4294967295", 4294967295u},
        {"host;1234;5_TIME4294967296", 0},  // beyond X11's 32-bit time
        {"host_TIMEx", 0},
        {"host_TIME", 0},
        {"no time at all", 0},
        {"a_TIME1_TIME7", 7},
    };
    for (const auto& [id, time] : cases)
        EXPECT_EQ(startupIdTime(id), time) << id;
}

}  // namespace
}  // namespace tamro::app
