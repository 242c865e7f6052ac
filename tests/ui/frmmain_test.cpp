// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/frmmain.h"

#include "ui/glyphs.h"

#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <vector>

namespace tamro::ui {
namespace {

struct Layout {
    const char* name;
    QWidget* control;
    QRect pixels;  // twips / 15
    const char* caption;
    const char* tip;
};

TEST(Frmmain, EveryControlSitsWhereTheLayoutPutsItWithItsCaptionAndTip)
{
    Frmmain f;
    const Layout table[] = {
        {"Shape1", &f.Shape1, {8, 8, 209, 33}, "", ""},
        {"Songname", &f.Songname, {16, 13, 192, 23}, "", ""},
        {"Slider1", &f.Slider1, {4, 50, 180, 9}, "", ""},
        {"time", &f.time, {184, 48, 35, 17}, "", ""},
        {"Back", &f.Back, {8, 64, 22, 22}, "", "Previous"},
        {"cmdplay", &f.cmdplay, {32, 64, 22, 22}, "", "Play"},
        {"Command2", &f.Command2, {56, 64, 22, 22}, "", "Stop"},
        {"Command3", &f.Command3, {80, 64, 22, 22}, "", "Next"},
        {"open", &f.open, {104, 64, 22, 22}, "", "Open"},
        {"Shuffle", &f.Shuffle, {133, 70, 23, 17}, "Rnd", "Shuffle playlist"},
        {"Command1", &f.Command1, {160, 70, 39, 17}, "Playlist", "Playlist editor"},
        {"Command5", &f.Command5, {202, 70, 15, 17}, "?", "About"},
        {"List1", &f.List1, {8, 104, 209, 123}, "", ""},
        {"Add", &f.Add, {8, 232, 27, 17}, "Add", "Add file"},
        {"Rem", &f.Rem, {32, 232, 27, 17}, "Del", "Delete selected file"},
        {"Command6", &f.Command6, {56, 232, 35, 17}, "Del all", "Delete all"},
        {"Label1", &f.Label1, {100, 235, 49, 12}, "", ""},
        {"Command4", &f.Command4, {158, 232, 30, 17}, "Load", "Load playlist"},
        {"Savelist", &f.Savelist, {187, 232, 30, 17}, "Save", "Save playlist"},
    };
    for (const Layout& row : table) {
        EXPECT_EQ(row.control->geometry(), row.pixels) << row.name;
        EXPECT_EQ(row.control->toolTip(), QString::fromUtf8(row.tip)) << row.name;
        QString caption;
        if (auto* button = qobject_cast<QAbstractButton*>(row.control))
            caption = button->text();
        else if (auto* label = qobject_cast<QLabel*>(row.control))
            caption = label->text();
        EXPECT_EQ(caption, QString::fromUtf8(row.caption)) << row.name;
    }
}

TEST(Frmmain, WindowAsCreatedBeforeItsLoadSteps)
{
    Frmmain f;
    EXPECT_EQ(f.windowTitle(), "Tamro?Player v3.0");
    EXPECT_EQ(f.heightTwips(), 4170.0f);
    EXPECT_EQ(f.size(), QSize(224, 253));
    EXPECT_EQ(f.geometry().topLeft(), QPoint(375, 182));
    EXPECT_EQ(f.minimumSize(), f.maximumSize()) << "the user cannot resize it";
    EXPECT_TRUE(f.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(f.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(f.palette().color(QPalette::Window), QColor(192, 192, 192));
    EXPECT_EQ(f.last, 0);
    EXPECT_EQ(f.List1.listCount(), 0);
    EXPECT_EQ(f.List1.listIndex(), -1);
    EXPECT_EQ(f.Shuffle.value(), 0);
    EXPECT_EQ(f.Label1.caption(), "") << "no item count before the first edit";
    for (const QTimer* timer : f.findChildren<QTimer*>())
        EXPECT_FALSE(timer->isActive() && !timer->isSingleShot()) << "nothing ticks in an idle window";
}

TEST(Frmmain, TheCompactWindowShowsTheTransportAndCutsOffThePlaylistEditor)
{
    Frmmain f;
    const int compactClient = (1725 - 375) / 15;
    for (QWidget* shown : std::initializer_list<QWidget*>{&f.Songname, &f.Slider1, &f.time, &f.Back, &f.cmdplay,
                                                          &f.Command2, &f.Command3, &f.open, &f.Shuffle,
                                                          &f.Command1, &f.Command5})
        EXPECT_LE(shown->geometry().bottom(), compactClient - 1) << shown->toolTip().toStdString();
    for (QWidget* cut : std::initializer_list<QWidget*>{&f.List1, &f.Add, &f.Rem, &f.Command6, &f.Label1,
                                                        &f.Command4, &f.Savelist})
        EXPECT_GE(cut->geometry().top(), compactClient);
}

TEST(Frmmain, AnEntrySelectedWhileTheEditorIsClosedIsInViewWhenItOpens)
{
    Frmmain f;
    for (int i = 0; i < 200; ++i)
        f.List1.addItem("/music/" + std::to_string(i) + ".mp3");
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    f.setHeightTwips(1725);
    QCoreApplication::processEvents();
    f.List1.setListIndex(150);  // as the advance selects the next entry
    f.setHeightTwips(4170);
    QCoreApplication::processEvents();
    const QRect entry = f.List1.visualRect(f.List1.model()->index(150, 0));
    EXPECT_TRUE(f.List1.viewport()->rect().contains(entry)) << entry.y();
}

TEST(Frmmain, FocusFollowsTheTabOrderStartingAtBack)
{
    Frmmain f;
    const std::vector<QWidget*> expected{&f.Back,     &f.cmdplay,  &f.Command2, &f.Command3, &f.open,
                                         &f.Rem,      &f.Add,      &f.Savelist, &f.Command4, &f.Command6,
                                         &f.List1,    &f.Command1, &f.Slider1,  &f.Shuffle,  &f.Command5};
    std::vector<QWidget*> chain;
    for (QWidget* w = f.nextInFocusChain(); w != &f; w = w->nextInFocusChain())
        if (w->focusPolicy() & Qt::TabFocus)
            chain.push_back(w);
    EXPECT_EQ(chain, expected);
}

TEST(Frmmain, FontsAndColours)
{
    Frmmain f;
    for (QWidget* w : std::initializer_list<QWidget*>{&f.Songname, &f.time, &f.Shuffle, &f.Command1, &f.List1,
                                                      &f.Add, &f.Label1, &f.Savelist}) {
        EXPECT_EQ(w->font().family(), "MS Serif");
        EXPECT_DOUBLE_EQ(w->font().pointSizeF(), 6.75);
    }
    EXPECT_NE(f.Command5.font().family(), "MS Serif") << "the ? button keeps the default font";
    EXPECT_EQ(f.Songname.palette().color(QPalette::WindowText), QColor(255, 255, 0));
    EXPECT_EQ(f.List1.palette().color(QPalette::Text), QColor(255, 255, 0));
}

// What a shown window holds on screen once its posted repaints are done.
QImage onScreen(Frmmain& f)
{
    QCoreApplication::processEvents();
    return f.screen()->grabWindow(f.winId()).toImage();
}

TEST(Frmmain, TheClockAndSliderRepaintedAloneShowWhatTheWholeWindowDrawnAsBeforeShows)
{
    struct Step {
        std::int32_t value;
        const char* clock;
    };
    const Step steps[] = {{0, "00:00"}, {1, "00:01"}, {7, "00:07"}, {10, "01:40"}, {-3, "00:00"}, {99, "59:59"}};
    std::vector<QImage> repainted;
    {
        Frmmain f;
        f.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
        onScreen(f);
        for (const Step& step : steps) {
            f.Slider1.setValue(step.value);
            f.time.setCaption(step.clock);
            repainted.push_back(onScreen(f));
        }
    }
    ASSERT_FALSE(repainted[0] == repainted[1]) << "the screen shows the step";
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        // Drawn whole, with the window's background painted beneath a see-through slider.
        Frmmain before;
        before.Slider1.setAutoFillBackground(false);
        before.Slider1.setValue(steps[i].value);
        before.time.setCaption(steps[i].clock);
        before.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&before));
        EXPECT_TRUE(repainted[i] == onScreen(before)) << steps[i].clock;
    }
}

TEST(Glyphs, EachIsItsOwnGreySymbolOnBlack)
{
    std::set<QByteArray> distinct;
    for (Glyph g : {Glyph::Previous, Glyph::Play, Glyph::Stop, Glyph::Next, Glyph::Open}) {
        const QImage image = drawGlyph(g).toImage();
        ASSERT_EQ(image.size(), QSize(20, 20));
        int grey = 0;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x) {
                const QColor c = image.pixelColor(x, y);
                ASSERT_TRUE(c == QColor(Qt::black) || c == QColor(128, 128, 128)) << x << "," << y;
                grey += c != QColor(Qt::black);
            }
        EXPECT_GT(grey, 30);
        distinct.insert(QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()));
    }
    EXPECT_EQ(distinct.size(), 5u);
}

}  // namespace
}  // namespace tamro::ui
