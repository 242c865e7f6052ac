// SPDX-License-Identifier: GPL-3.0-or-later
// What a screen reader is told of each control: its role and name, the position as a time, the links' action.
#include "ui/about.h"
#include "ui/frmmain.h"

#include <QAccessible>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace tamro::ui {
namespace {

struct Named {
    QObject* control;
    QAccessible::Role role;
    const char* name;
};

TEST(Accessible, EveryControlHasItsRoleAndName)
{
    Frmmain f;
    f.Songname.setCaption("/music/a.mp3 - (03:06)");
    About about(nullptr);
    const Named table[] = {
        {&f.Back, QAccessible::Button, "Previous"},      {&f.cmdplay, QAccessible::Button, "Play"},
        {&f.Command2, QAccessible::Button, "Stop"},      {&f.Command3, QAccessible::Button, "Next"},
        {&f.open, QAccessible::Button, "Open"},          {&f.Command5, QAccessible::Button, "About"},
        {&f.Command1, QAccessible::Button, "Playlist"},  {&f.Add, QAccessible::Button, "Add"},
        {&f.Shuffle, QAccessible::CheckBox, "Rnd"},      {&f.Slider1, QAccessible::Slider, "Position"},
        {&f.List1, QAccessible::List, "Playlist"},       {&f.Songname, QAccessible::StaticText, "Title"},
        {&f.time, QAccessible::StaticText, "Time"},      {about.Label3, QAccessible::Link, "tamro.example"},
        {about.Label5, QAccessible::Link, "Brumvale - free software"},
        {about.Image1, QAccessible::Graphic, "Play it loud, share it free!"},
    };
    for (const Named& row : table) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(row.control);
        ASSERT_NE(accessible, nullptr) << row.name;
        EXPECT_EQ(accessible->role(), row.role) << row.name;
        EXPECT_EQ(accessible->text(QAccessible::Name), QString::fromUtf8(row.name));
    }
    EXPECT_EQ(QAccessible::queryAccessibleInterface(&f.Songname)->text(QAccessible::Description),
              "/music/a.mp3 - (03:06)")
        << "the title line tells what it shows";
}

TEST(Accessible, ThePositionReadsAsMinutesAndSeconds)
{
    const std::pair<int, const char*> cases[] = {{0, "00:00"}, {65, "01:05"}, {3725, "62:05"}};
    Frmmain f;
    f.Slider1.setMax(4000);
    QAccessibleInterface* slider = QAccessible::queryAccessibleInterface(&f.Slider1);
    ASSERT_NE(slider->valueInterface(), nullptr);
    for (const auto& [seconds, text] : cases) {
        f.Slider1.setValue(seconds);
        EXPECT_EQ(slider->text(QAccessible::Value), text);
        EXPECT_EQ(slider->text(QAccessible::Description), text) << "Qt's AT-SPI bridge carries this one";
        EXPECT_EQ(slider->valueInterface()->currentValue().toInt(), seconds);
    }
}

TEST(Accessible, EachLinkHasOneActionAndItClicks)
{
    About about(nullptr);
    for (LinkLabel* link : {about.Label3, about.Label5}) {
        QAccessibleActionInterface* actions = QAccessible::queryAccessibleInterface(link)->actionInterface();
        ASSERT_NE(actions, nullptr);
        EXPECT_EQ(actions->actionNames(), QStringList{QAccessibleActionInterface::pressAction()});
        QSignalSpy clicked(link, &LinkLabel::clicked);
        actions->doAction(QAccessibleActionInterface::pressAction());
        EXPECT_EQ(clicked.count(), 1);
    }
}

}  // namespace
}  // namespace tamro::ui
