// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/failure_report.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

namespace tamro::ui {
namespace {

int visibleBoxes()
{
    int count = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        count += qobject_cast<QMessageBox*>(w) != nullptr && w->isVisible();
    return count;
}

TEST(FailureReport, OneBoxAtATimeWithRepeatsCoalesced)
{
    QWidget window;
    {
        FailureReport report(&window);
        for (int tick = 0; tick < 1000; ++tick)
            report.report("Cannot read the position of '/a.mp3': device gone");
        ASSERT_NE(report.openBox(), nullptr);
        EXPECT_EQ(report.openBox()->text(), "Cannot read the position of '/a.mp3': device gone");
        EXPECT_EQ(visibleBoxes(), 1);

        report.report("Cannot open '/b.mp3': no such file");
        report.report("Cannot open '/b.mp3': no such file");
        EXPECT_EQ(visibleBoxes(), 1);
        EXPECT_EQ(report.waiting(), 1u);

        report.openBox()->accept();
        QApplication::processEvents();
        ASSERT_NE(report.openBox(), nullptr);
        EXPECT_EQ(report.openBox()->text(), "Cannot open '/b.mp3': no such file");
        EXPECT_EQ(report.waiting(), 0u);
        EXPECT_EQ(visibleBoxes(), 1);

        report.openBox()->accept();
        QApplication::processEvents();
        EXPECT_EQ(report.openBox(), nullptr);
        EXPECT_EQ(visibleBoxes(), 0);
    }
    EXPECT_EQ(visibleBoxes(), 0);
}

TEST(FailureReport, TheBoxDoesNotBlockTheCallerOrTheTimers)
{
    QWidget window;
    FailureReport report(&window);
    int ticks = 0;
    QTimer timer;
    timer.setInterval(1);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++ticks;
        report.report("Tick failed");
    });
    timer.start();
    // The box is open after the first tick; the loop must go on ticking behind it.
    QElapsedTimer clock;
    clock.start();
    while (ticks < 20 && clock.elapsed() < 15000) {
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    EXPECT_GE(ticks, 20);
    EXPECT_EQ(visibleBoxes(), 1);
}

TEST(FailureReport, AMessageNamingAHugePathIsShownCutAndKeepsItsReason)
{
    QWidget window;
    FailureReport report(&window);
    const std::string path = "/m/" + std::string(1 << 20, 'y') + ".mp3";
    QElapsedTimer clock;
    clock.start();
    report.report("Cannot open '" + path + "': the path is too long");
    QApplication::processEvents();
    EXPECT_LT(clock.elapsed(), 1000);
    ASSERT_NE(report.openBox(), nullptr);
    const QString text = report.openBox()->text();
    EXPECT_LE(text.size(), 4100);
    EXPECT_TRUE(text.startsWith("Cannot open '/m/yyy")) << text.left(20).toStdString();
    EXPECT_TRUE(text.endsWith("yyy.mp3': the path is too long")) << text.right(40).toStdString();
}

TEST(FailureReport, ABoundedNumberOfDifferentFailuresWait)
{
    QWidget window;
    FailureReport report(&window);
    for (int i = 0; i < 100; ++i)
        report.report("Failure " + std::to_string(i));
    EXPECT_EQ(report.waiting(), FailureReport::maxWaiting);
    EXPECT_EQ(visibleBoxes(), 1);
}

}  // namespace
}  // namespace tamro::ui
