// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/player_window.h"

#include "support/fake_media_player.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace tamro::app {
namespace {

using Calls = std::vector<std::string>;

struct Program {
    testing::FakeMediaPlayer* play;
    PlayerWindow window;

    Program() : Program(std::make_unique<testing::FakeMediaPlayer>()) {}

    explicit Program(std::unique_ptr<testing::FakeMediaPlayer> fake) : play(fake.get()), window(std::move(fake))
    {
        window.loadAndShow();
    }
    ~Program()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<QMessageBox*>(w))
                w->close();
    }
    ui::Frmmain& f() { return window.frmmain; }
};

// Runs the event loop without pauses, as the program does.
void runFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until `done` holds or three seconds have passed (a busy machine delays the ticks).
template <class Condition>
void runUntil(Condition done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 15000)
        runFor(5);
}

int visibleBoxes()
{
    int count = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        count += qobject_cast<QMessageBox*>(w) != nullptr && w->isVisible();
    return count;
}

TEST(EventTable, StartsCompactWithTheClockHidden)
{
    Program p;
    EXPECT_EQ(p.f().heightTwips(), 1725.0f);
    EXPECT_FALSE(p.f().time.visible());
    EXPECT_EQ(p.f().last, 0);
    EXPECT_EQ(p.f().Songname.caption(), "");
}

TEST(EventTable, ButtonsRunTheirHandlers)
{
    Program p;
    QTest::mouseClick(&p.f().Command1, Qt::LeftButton);
    EXPECT_EQ(p.f().heightTwips(), 4170.0f);

    p.f().List1.replaceAll({"/a.mp3", "/b.mp3"});
    p.f().List1.setListIndex(1);
    QTest::mouseClick(&p.f().cmdplay, Qt::LeftButton);
    QTest::mouseClick(&p.f().Command2, Qt::LeftButton);
    QTest::mouseClick(&p.f().Back, Qt::LeftButton);  // last is 0: nothing
    EXPECT_EQ(p.play->commandCalls(), (Calls{"fileName:/b.mp3", "play", "length", "length", "stop"}));
    EXPECT_TRUE(p.f().time.visible());
}

TEST(EventTable, DoubleClickOnAnEntryStartsItAndSetsLast)
{
    Program p;
    QTest::mouseClick(&p.f().Command1, Qt::LeftButton);
    p.f().List1.replaceAll({"/a.mp3", "/b.mp3", "/c.mp3"});
    const QPoint onThird = p.f().List1.visualRect(p.f().List1.model()->index(2, 0)).center();
    QTest::mouseClick(p.f().List1.viewport(), Qt::LeftButton, {}, onThird);
    QTest::mouseDClick(p.f().List1.viewport(), Qt::LeftButton, {}, onThird);
    EXPECT_EQ(p.f().last, 2);
    EXPECT_EQ(p.play->commandCalls(), (Calls{"fileName:/c.mp3", "play", "length", "length"}));
}

TEST(EventTable, NextAndTheEndOfATrackRunTheAdvance)
{
    Program p;
    p.f().List1.replaceAll({"/x.mp3", "/y.mp3", "/z.mp3"});
    p.f().List1.setListIndex(0);
    p.f().last = 0;
    QTest::mouseClick(&p.f().Command3, Qt::LeftButton);
    EXPECT_EQ(p.f().List1.listIndex(), 1);
    EXPECT_EQ(p.f().last, 1);
    p.play->fireEndOfTrack();
    EXPECT_EQ(p.f().List1.listIndex(), 2);
    EXPECT_EQ(p.f().last, 2);
    EXPECT_EQ(p.play->commandCalls(),
              (Calls{"fileName:/y.mp3", "play", "length", "length", "fileName:/z.mp3", "play", "length", "length"}));
}

TEST(EventTable, ThePlayerIsToldWhatTheAdvanceWouldLoadAfterEveryChange)
{
    Program p;
    QTest::mouseClick(&p.f().Command1, Qt::LeftButton);
    p.f().List1.replaceAll({"/a.mp3", "/b.mp3", "/c.mp3"});
    const auto clickOn = [&](int row, bool twice) {
        const QPoint at = p.f().List1.visualRect(p.f().List1.model()->index(row, 0)).center();
        QTest::mouseClick(p.f().List1.viewport(), Qt::LeftButton, {}, at);
        if (twice)
            QTest::mouseDClick(p.f().List1.viewport(), Qt::LeftButton, {}, at);
    };
    clickOn(0, true);
    EXPECT_EQ(p.play->expected, "/b.mp3") << "after a handler";
    clickOn(2, false);
    EXPECT_EQ(p.play->expected, "") << "a selection on the last entry: the advance loads nothing";
    QTest::mouseClick(&p.f().Shuffle, Qt::LeftButton);
    const std::string pick = p.play->expected;
    EXPECT_NE(pick, "") << "shuffle on";
    QTest::mouseClick(&p.f().Command3, Qt::LeftButton);
    EXPECT_EQ(p.play->fileName, pick) << "the pick it was told is the one the advance made";
}

TEST(EventTable, PlaylistEditingKeysAndButtons)
{
    Program p;
    QTest::mouseClick(&p.f().Command1, Qt::LeftButton);
    p.f().List1.replaceAll({"/x.mp3", "/y.mp3"});
    p.f().List1.setListIndex(1);
    QTest::keyClick(&p.f().List1, Qt::Key_Delete);
    EXPECT_EQ(p.f().List1.listCount(), 1);
    EXPECT_EQ(p.f().Label1.caption(), "1 item(s)");
    QTest::mouseClick(&p.f().Command6, Qt::LeftButton);
    EXPECT_EQ(p.f().List1.listCount(), 0);
    EXPECT_EQ(p.f().Label1.caption(), "0 item(s)");
}

TEST(EventTable, TheTicksFollowThePositionAndTheSliderSeeks)
{
    Program p;
    p.f().Slider1.setMax(100);
    p.play->positionValue = 61.5;
    p.play->fireMotion();  // the engine says the position moves: shown at once
    EXPECT_EQ(p.f().Slider1.value(), 62);
    EXPECT_EQ(p.f().time.caption(), "01:02");
    EXPECT_TRUE(p.play->commandCalls().empty()) << "following never seeks";

    QTest::keyClick(&p.f().Slider1, Qt::Key_Right);
    EXPECT_EQ(p.play->commandCalls(), Calls{"setPosition:63"});
    EXPECT_EQ(p.f().time.caption(), "01:03") << "the seek is shown before the event loop turns again";
}

TEST(EventTable, TicksComeWhileThePositionMovesAndStopWhenItRests)
{
    Program p;
    p.f().Slider1.setMax(100);
    const auto ticks = [&] { return std::count(p.play->calls.begin(), p.play->calls.end(), "position"); };
    p.play->positionValue = 10.2;
    p.play->motionValue = {true, 0.0};
    p.play->fireMotion();
    p.play->positionValue = 10.7;  // the fake does not glide: the next change is missed until a tick comes
    runUntil([&] { return p.f().time.caption() == "00:11"; });
    EXPECT_EQ(p.f().Slider1.value(), 11);

    p.play->motionValue = {};
    p.play->fireMotion();
    const auto resting = ticks();
    runFor(400);
    EXPECT_EQ(ticks(), resting) << "nothing ticks while the position rests";
}

TEST(EventTable, AFailureIsReportedOnceAndTheProgramGoesOn)
{
    Program p;
    p.play->failing = {"stop"};
    QTest::mouseClick(&p.f().Command2, Qt::LeftButton);
    ASSERT_NE(p.window.failures.openBox(), nullptr);
    EXPECT_EQ(p.window.failures.openBox()->text(), "Fake media player refuses stop");
    EXPECT_EQ(visibleBoxes(), 1);
}

TEST(EventTable, AFailingTickOpensOneBoxNotOnePerTick)
{
    Program p;
    p.play->failing = {"position"};
    const auto ticks = [&] { return std::count(p.play->calls.begin(), p.play->calls.end(), "position"); };
    for (int i = 0; i < 20; ++i)
        QTest::mouseClick(&p.f().Command1, Qt::LeftButton);
    EXPECT_GT(ticks(), 40);
    EXPECT_EQ(visibleBoxes(), 1);

    p.window.failures.openBox()->close();
    EXPECT_EQ(visibleBoxes(), 1) << "closed, the box comes back with the next tick, as long as the tick fails";
    p.play->failing.clear();
    p.window.failures.openBox()->close();
    EXPECT_EQ(visibleBoxes(), 0);
}

TEST(EventTable, TheAdvanceRecoversSilentlyButAFailureInItsRecoveryIsReported)
{
    for (bool fromButton : {true, false}) {
        Program p;
        p.f().List1.replaceAll({"/a.mp3"});
        p.f().List1.setListIndex(0);
        p.play->failing = {"fileName"};  // caught: the recovery runs
        fromButton ? QTest::mouseClick(&p.f().Command3, Qt::LeftButton) : p.play->fireEndOfTrack();
        EXPECT_EQ(visibleBoxes(), 0) << fromButton;

        p.play->failing = {"length"};  // fails at the normal end, and again in the recovery
        fromButton ? QTest::mouseClick(&p.f().Command3, Qt::LeftButton) : p.play->fireEndOfTrack();
        ASSERT_NE(p.window.failures.openBox(), nullptr) << fromButton;
        EXPECT_EQ(p.window.failures.openBox()->text(), "Fake media player refuses length");
    }
}

}  // namespace
}  // namespace tamro::app
