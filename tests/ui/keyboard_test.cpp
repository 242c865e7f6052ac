// SPDX-License-Identifier: GPL-3.0-or-later
// The window by keyboard: Tab through what the window's height shows, Return and Enter on a button, and a
// focus marker that stands out on every control.
#include "ui/enter_as_space.h"
#include "ui/frmmain.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

namespace tamro::ui {
namespace {

// A shown, active window with the focus on Back, as it opens.
void showActive(Frmmain& f)
{
    f.show();
    f.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    f.Back.setFocus();
    ASSERT_EQ(QApplication::focusWidget(), &f.Back);
}

struct TabCase {
    const char* name;
    float heightTwips;
    bool editorShown;
};

TEST(Keyboard, TabVisitsOnlyTheControlsTheWindowShowsInTheLaidOutOrder)
{
    const TabCase cases[] = {{"compact", 1725.0f, false}, {"expanded", 4170.0f, true},
                             {"compact again", 1725.0f, false}};
    Frmmain f;
    for (const TabCase& c : cases) {
        SCOPED_TRACE(c.name);
        f.setHeightTwips(c.heightTwips);
        showActive(f);
        std::vector<QWidget*> expected{&f.Back, &f.cmdplay, &f.Command2, &f.Command3, &f.open};
        if (c.editorShown)
            expected.insert(expected.end(), {&f.Rem, &f.Add, &f.Savelist, &f.Command4, &f.Command6, &f.List1});
        expected.insert(expected.end(), {&f.Command1, &f.Slider1, &f.Shuffle, &f.Command5, &f.Back});
        std::vector<QWidget*> visited{QApplication::focusWidget()};
        for (std::size_t i = 1; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited.push_back(QApplication::focusWidget());
        }
        EXPECT_EQ(visited, expected);
        for (QWidget* editor : std::initializer_list<QWidget*>{&f.List1, &f.Add, &f.Command6, &f.Label1})
            EXPECT_EQ(editor->isVisible(), c.editorShown);
    }
}

struct KeyCase {
    const char* name;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int clicks;
};

TEST(Keyboard, ReturnAndEnterPressAFocusedButtonAsSpaceDoes)
{
    const KeyCase cases[] = {{"Space", Qt::Key_Space, Qt::NoModifier, 1},
                             {"Return", Qt::Key_Return, Qt::NoModifier, 1},
                             {"keypad Enter", Qt::Key_Enter, Qt::KeypadModifier, 1},
                             {"Ctrl+Return", Qt::Key_Return, Qt::ControlModifier, 0},
                             {"Escape", Qt::Key_Escape, Qt::NoModifier, 0}};
    Frmmain f;
    showActive(f);
    const std::initializer_list<QAbstractButton*> buttons{&f.cmdplay, &f.Add, &f.Command1, &f.Command5};
    for (QAbstractButton* button : buttons) {
        for (const KeyCase& c : cases) {
            SCOPED_TRACE(button->accessibleName().toStdString() + button->text().toStdString() + ", " + c.name);
            button->setFocus();
            QSignalSpy clicked(button, &QAbstractButton::clicked);
            QTest::keyPress(button, c.key, c.modifiers);
            EXPECT_EQ(clicked.count(), 0) << "a button goes down on the key and is clicked on its release";
            EXPECT_EQ(button->isDown(), c.clicks == 1);
            QTest::keyRelease(button, c.key, c.modifiers);
            EXPECT_EQ(clicked.count(), c.clicks);
        }
    }
}

// Pixels that the focus changes: `plain` ones stand out from what was beneath (lightness apart by 96 of 255
// or more: a dot on the edge of a letter still does), `faint` ones are a tint.
struct Change {
    int plain = 0;
    int faint = 0;
};

Change focusChange(QWidget& control)
{
    control.clearFocus();
    const QImage before = control.grab().toImage();
    control.setFocus();
    const QImage after = control.grab().toImage();
    Change change;
    for (int y = 0; y < before.height(); ++y)
        for (int x = 0; x < before.width(); ++x) {
            const int apart = std::abs(before.pixelColor(x, y).lightness() - after.pixelColor(x, y).lightness());
            if (before.pixel(x, y) != after.pixel(x, y))
                ++(apart >= 96 ? change.plain : change.faint);
        }
    return change;
}

TEST(Keyboard, TheFocusMarkerIsPlainOnEveryControl)
{
    Frmmain f;
    f.List1.addItem("/music/a.mp3");
    f.List1.addItem("/music/b.mp3");
    f.List1.setListIndex(0);
    f.Slider1.setMax(10);
    showActive(f);
    const Change clicked = focusChange(f.Back);
    EXPECT_EQ(clicked.plain + clicked.faint, 0) << "no marker before the keyboard is used, as on the desktop";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    const std::initializer_list<QWidget*> controls{&f.Back, &f.open, &f.Add, &f.Shuffle, &f.Slider1, &f.List1};
    for (QWidget* control : controls) {
        SCOPED_TRACE(control->accessibleName().toStdString() + control->toolTip().toStdString());
        const Change change = focusChange(*control);
        EXPECT_GE(change.plain, 10);
        EXPECT_EQ(change.faint, 0);
    }
    f.List1.clear();
    EXPECT_GE(focusChange(f.List1).plain, 10) << "an empty list shows the focus too";
}

}  // namespace
}  // namespace tamro::ui
