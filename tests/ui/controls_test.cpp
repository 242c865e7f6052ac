// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/fixed_window.h"
#include "ui/graphic_button.h"
#include "ui/label.h"
#include "ui/slider.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace tamro::ui {
namespace {

TEST(Label, CaptionIsPlainTextFromBytes)
{
    Label label;
    label.setCaption("/music/<b>loud</b> & caf\xc3\xa9.mp3 - (03:06)");
    EXPECT_EQ(label.caption(), "/music/<b>loud</b> & caf\xc3\xa9.mp3 - (03:06)");
    EXPECT_EQ(label.text(), QString::fromUtf8("/music/<b>loud</b> & caf\xc3\xa9.mp3 - (03:06)"));
    EXPECT_EQ(label.textFormat(), Qt::PlainText);
}

TEST(Slider, TheProgramsOwnChangesNeverScroll)
{
    Slider slider;
    QSignalSpy scrolls(&slider, &Slider::scroll);
    slider.setMax(100);
    slider.setValue(40);
    slider.setMax(20);  // clamps the value: still the program's doing
    slider.setValue(-5);
    EXPECT_EQ(scrolls.count(), 0);
    EXPECT_EQ(slider.max(), 20);
}

TEST(Slider, TheUsersMovesScrollAndAReleaseClicks)
{
    Slider slider;
    slider.setMax(100);
    slider.setValue(10);
    slider.resize(180, 20);
    slider.show();
    QSignalSpy scrolls(&slider, &Slider::scroll);
    QSignalSpy clicks(&slider, &Slider::click);

    QTest::keyClick(&slider, Qt::Key_Right);
    EXPECT_EQ(scrolls.count(), 1);
    EXPECT_EQ(slider.value(), 11);

    QTest::mouseClick(&slider, Qt::LeftButton, {}, QPoint(150, 10));
    EXPECT_EQ(clicks.count(), 1);
}

TEST(CheckBox, StaysPressedUntilPressedAgain)
{
    CheckBox shuffle(QColor(192, 192, 192));
    shuffle.resize(23, 17);
    EXPECT_EQ(shuffle.value(), 0);
    QTest::mouseClick(&shuffle, Qt::LeftButton);
    EXPECT_EQ(shuffle.value(), 1);
    QTest::mouseClick(&shuffle, Qt::LeftButton);
    EXPECT_EQ(shuffle.value(), 0);
}

struct HeightCase {
    float set;
    float readBack;
};

TEST(FixedWindow, HeightCountsTheFrameAndReadsBackWhatWasSet)
{
    const HeightCase cases[] = {{1725.0f, 1725.0f}, {4170.0f, 4170.0f}, {375.0f, 375.0f},
                                {2000.0f, 1995.0f}, {1732.5f, 1725.0f}, {100.0f, 375.0f}};
    FixedWindow window(3360, 3795);
    EXPECT_EQ(window.heightTwips(), 4170.0f) << "the laid-out client area plus the frame";
    for (const HeightCase& c : cases) {
        window.setHeightTwips(c.set);
        EXPECT_EQ(window.heightTwips(), c.readBack) << "set " << c.set;
        EXPECT_EQ(window.width(), 224);
    }
}

}  // namespace
}  // namespace tamro::ui
