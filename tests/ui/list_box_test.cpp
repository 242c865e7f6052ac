// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/failure.h"
#include "base/numbers.h"
#include "ui/label.h"
#include "ui/list_box.h"

#include <QElapsedTimer>

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>

namespace tamro::ui {
namespace {

void fill(ListBox& list, int count)
{
    for (int i = 0; i < count; ++i)
        list.addItem("entry " + std::to_string(i));
}

// A playlist line of ten megabytes: kept byte for byte, drawn cut, and selecting and painting it cost no seconds.
TEST(LongEntry, IsKeptWholeAndDrawnCut)
{
    const std::string huge = "/m/" + std::string(10 << 20, 'x') + ".mp3";
    ListBox list;
    list.resize(300, 200);
    list.addItem("/m/short.mp3");
    list.addItem(huge);
    QElapsedTimer clock;
    clock.start();
    list.setListIndex(1);
    list.grab();
    Label title;
    title.setCaption(huge + " - (00:01)");
    title.grab();
    EXPECT_LT(clock.elapsed(), 1000);

    EXPECT_EQ(list.text(), huge);
    const QString shown = list.model()->index(1, 0).data().toString();
    EXPECT_LE(shown.size(), 4100);
    EXPECT_TRUE(shown.startsWith("/m/xxx") && shown.endsWith("xxx.mp3"));
    EXPECT_EQ(title.caption(), huge + " - (00:01)");
    EXPECT_LE(title.text().size(), 4100);
    EXPECT_TRUE(title.text().endsWith("xxx.mp3 - (00:01)"));
}

struct SelectCase {
    const char* name;
    int count;
    std::int32_t index;
    bool accepted;
};

void PrintTo(const SelectCase& c, std::ostream* os)
{
    *os << c.name;
}

class SelectTest : public ::testing::TestWithParam<SelectCase> {};

TEST_P(SelectTest, SelectionOutsideTheListIsRefusedAndLeavesTheSelection)
{
    const SelectCase& c = GetParam();
    ListBox list;
    fill(list, c.count);
    if (c.count > 0)
        list.setListIndex(0);
    const std::int16_t before = list.listIndex();
    if (c.accepted) {
        list.setListIndex(c.index);
        EXPECT_EQ(list.listIndex(), c.index);
    } else {
        EXPECT_THROW(list.setListIndex(c.index), Failure);
        EXPECT_EQ(list.listIndex(), before);
    }
}

INSTANTIATE_TEST_SUITE_P(
    ListBox, SelectTest,
    ::testing::Values(SelectCase{"minus_two", 3, -2, false}, SelectCase{"none", 3, -1, true},
                      SelectCase{"first", 3, 0, true}, SelectCase{"last", 3, 2, true},
                      SelectCase{"past_the_end", 3, 3, false}, SelectCase{"none_in_empty_list", 0, -1, true},
                      SelectCase{"first_of_empty_list", 0, 0, false},
                      SelectCase{"beyond_16_bits", 3, 40000, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ListBox, TextOfNoSelectionAndOfIndicesOutsideTheListIsEmpty)
{
    ListBox list;
    fill(list, 2);
    EXPECT_EQ(list.listIndex(), -1);
    EXPECT_EQ(list.text(), "");
    EXPECT_EQ(list.list(-1), "");
    EXPECT_EQ(list.list(2), "");
    EXPECT_EQ(list.list(1), "entry 1");
    list.setListIndex(1);
    EXPECT_EQ(list.text(), "entry 1");
}

TEST(ListBox, EntriesAreKeptByteForByteAndShownWithReplacementCharacters)
{
    ListBox list;
    const std::string latin1Path = "/music/caf\xe9 \"live\".mp3";
    const std::string withNul("a\0b", 3);
    list.addItem(latin1Path);
    list.addItem(withNul);
    EXPECT_EQ(list.list(0), latin1Path);
    EXPECT_EQ(list.list(1), withNul);
    const QString shown = list.model()->index(0, 0).data().toString();
    EXPECT_EQ(shown, QString::fromUtf8("/music/caf\xef\xbf\xbd \"live\".mp3"));
}

TEST(ListBox, AddKeepsTheSelectionAndRemoveClearsIt)
{
    ListBox list;
    list.addItem("a");
    EXPECT_EQ(list.listIndex(), -1) << "adding to an empty list selects nothing";
    fill(list, 3);
    list.setListIndex(2);
    list.addItem("z");
    EXPECT_EQ(list.listIndex(), 2);

    list.removeItem(1);
    EXPECT_EQ(list.listIndex(), -1);
    EXPECT_EQ(list.listCount(), 4);
    EXPECT_EQ(list.list(1), "entry 1") << "the entries after the removed one move up";
    EXPECT_THROW(list.removeItem(4), Failure);
    EXPECT_THROW(list.removeItem(-1), Failure);
    EXPECT_EQ(list.listCount(), 4);
}

TEST(ListBox, AFullListRefusesOneMoreEntry)
{
    ListBox list;
    std::vector<std::string> entries(maxEntries, std::string("/music/track.mp3"));
    const auto start = std::chrono::steady_clock::now();
    list.replaceAll(entries);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(elapsed, std::chrono::milliseconds(500));
    EXPECT_EQ(list.listCount(), 32767);
    try {
        list.addItem("one more");
        FAIL() << "no failure";
    } catch (const Failure& f) {
        EXPECT_EQ(f.description(), "The playlist is full: it holds 32767 entries.");
    }
    EXPECT_EQ(list.listCount(), 32767);
    list.setListIndex(32766);
    EXPECT_EQ(list.listIndex(), 32766);

    entries.push_back("too many");
    EXPECT_THROW(list.replaceAll(entries), Failure);
    EXPECT_EQ(list.listCount(), 32767);
}

TEST(ListBox, ReportsKeysBeforeItsOwnHandlingAndDoubleClicksOnEntries)
{
    ListBox list;
    fill(list, 3);
    list.resize(200, 100);
    list.show();
    QSignalSpy keys(&list, &ListBox::keyDown);
    QSignalSpy doubles(&list, &ListBox::dblClick);

    QTest::keyClick(&list, Qt::Key_Delete, Qt::ShiftModifier);  // Shift goes down first, then Delete
    ASSERT_EQ(keys.count(), 2);
    EXPECT_EQ(keys.at(1).at(0).toInt(), Qt::Key_Delete);
    EXPECT_EQ(keys.at(1).at(1).value<Qt::KeyboardModifiers>(), Qt::ShiftModifier);

    const QPoint onSecond = list.visualRect(list.model()->index(1, 0)).center();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, onSecond);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, onSecond);
    EXPECT_EQ(doubles.count(), 1);
    EXPECT_EQ(list.listIndex(), 1);
}

struct DoubleClickCase {
    Qt::MouseButton button;
    int starts;
};

TEST(ListBox, OnlyThePrimaryButtonsDoubleClickStartsAnEntry)
{
    const DoubleClickCase cases[] = {{Qt::LeftButton, 1},       {Qt::RightButton, 0}, {Qt::MiddleButton, 0},
                                     {Qt::BackButton, 0},       {Qt::ForwardButton, 0}, {Qt::ExtraButton4, 0}};
    for (const DoubleClickCase& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.button));
        ListBox list;
        fill(list, 3);
        list.resize(200, 100);
        list.show();
        QSignalSpy doubles(&list, &ListBox::dblClick);
        QSignalSpy activated(&list, &QAbstractItemView::activated);
        const QPoint onSecond = list.visualRect(list.model()->index(1, 0)).center();
        // As the desktop delivers a double-click: a click, then the second press as a double-click.
        QTest::mouseClick(list.viewport(), c.button, {}, onSecond);
        QTest::mouseDClick(list.viewport(), c.button, {}, onSecond);
        EXPECT_EQ(doubles.count(), c.starts);
        EXPECT_EQ(activated.count(), c.starts);
    }
}

}  // namespace
}  // namespace tamro::ui
