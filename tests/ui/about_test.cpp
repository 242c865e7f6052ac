// SPDX-License-Identifier: GPL-3.0-or-later
// The About window: its layout, its two links, and the "?" button opening it afresh each time.
#include "support/fake_url_opener.h"
#include "ui/about.h"
#include "ui/about_links.h"

#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace tamro::ui {
namespace {

QLabel* control(About& about, const char* name)
{
    return about.findChild<QLabel*>(name);
}

TEST(AboutWindow, IsAFixedWindowWithCloseBoxOnly)
{
    QWidget frmmain;
    About about(&frmmain);
    EXPECT_EQ(about.windowTitle(), " About");
    EXPECT_EQ(about.size(), QSize(224, 137));  // 3360 x 2055 twips
    EXPECT_EQ(about.minimumSize(), about.maximumSize());
    const Qt::WindowFlags flags = about.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(about.windowIcon().isNull());
    EXPECT_EQ(about.palette().color(about.backgroundRole()), about.palette().color(QPalette::Button));
}

TEST(AboutWindow, OpensCentredOverTheMainWindowAndOnTheScreen)
{
    struct Case {
        const char* what;
        QRect frmmain;
        QPoint about;  // top-left of the client area, frame not counted
    };
    QWidget probe;
    probe.show();
    ASSERT_EQ(probe.screen()->availableGeometry(), QRect(0, 0, 800, 800));  // the offscreen screen
    const int frame = probe.geometry().left() - probe.frameGeometry().left();  // its windows' frame width
    const Case cases[] = {
        {"centred", {375, 182, 224, 253}, {375, 240}},
        {"compact main window", {375, 182, 224, 90}, {375, 158}},
        {"kept off the left and top edges", {0, 0, 100, 50}, {frame, frame}},
        {"kept off the right and bottom edges", {700, 750, 100, 50}, {800 - frame - 224, 800 - frame - 137}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QWidget frmmain;
        frmmain.setGeometry(c.frmmain);
        frmmain.show();
        About about(&frmmain);
        about.show();
        EXPECT_EQ(about.geometry(), QRect(c.about, QSize(224, 137)));
    }
}

struct Placed {
    const char* name;
    QRect pixels;  // Left, Top, Width, Height at 15 twips a pixel
    QString text;
    bool link;
};

TEST(AboutWindow, ControlsSitWhereTheLayoutPutsThem)
{
    const Placed table[] = {
        {"Label1", {8, 8, 208, 49},
         "Tamro?Player v3.0 is a small, but handy soundplayer. It supports: mp3, wma, wav, midi, mid, rmi, au, "
         "snd, pls and m3u files. Some playlist-features are available.",
         false},
        {"Label2", {8, 56, 209, 33}, "", false},  // the blurb is ours to choose; checked below
        {"Label3", {87, 77, 57, 17}, "tamro.example", true},
        {"Label4", {8, 96, 209, 17}, "May 2003,", false},
        {"Label5", {8, 108, 105, 17}, "Brumvale - free software", true},
        {"Label6", {8, 121, 161, 17}, "E-mail: tamro@brumvale.example", false},
    };
    QWidget frmmain;
    About about(&frmmain);
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        QLabel* label = control(about, row.name);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->geometry(), row.pixels);
        if (!row.text.isEmpty()) {
            EXPECT_EQ(label->text(), row.text);
        }
        EXPECT_TRUE(label->wordWrap());
        EXPECT_EQ(label->alignment(), Qt::AlignLeft | Qt::AlignTop);
        EXPECT_DOUBLE_EQ(label->font().pointSizeF(), 6.75);
        EXPECT_EQ(label->font().families().value(0), "MS Serif");
        EXPECT_EQ(label->font().weight(), QFont::Normal);
        EXPECT_EQ(label->font().underline(), row.link);
        const QColor ink = label->palette().color(label->foregroundRole());
        if (row.link) {
            EXPECT_EQ(ink, QColor(255, 0, 0));
            EXPECT_EQ(label->cursor().shape(), Qt::BitmapCursor);
            EXPECT_EQ(label->cursor().hotSpot(), QPoint(12, 1));
        } else {
            EXPECT_EQ(ink, about.palette().color(QPalette::ButtonText));
            EXPECT_NE(label->cursor().shape(), Qt::BitmapCursor);
        }
    }
    EXPECT_TRUE(about.Label2->text().contains("Tamro"));
    EXPECT_FALSE(about.Label3->text().startsWith("http://"));  // the link adds it

    QLabel* image = control(about, "Image1");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->geometry(), QRect(168, 88, 38, 41));
    EXPECT_TRUE(image->hasScaledContents());
    EXPECT_EQ(image->pixmap().size(), QSize(70, 97));
    EXPECT_FALSE(image->toolTip().isEmpty());
    EXPECT_FALSE(image->toolTip().contains('\n'));
    // Nothing covers the emblem.
    EXPECT_EQ(about.childAt(image->geometry().center()), image);
}

class AboutLinksTest : public ::testing::Test {
protected:
    QWidget frmmain;
    About about{&frmmain};
    testing::FakeUrlOpener opener;
    AboutLinks links{about, opener};

    void SetUp() override
    {
        QObject::connect(about.Label3, &LinkLabel::clicked, &about, [this] { links.Label3_Click(); });
        QObject::connect(about.Label5, &LinkLabel::clicked, &about, [this] { links.Label5_Click(); });
        about.show();
    }
};

TEST_F(AboutLinksTest, BandLinkOpensHttpAndTheCaptionAsItReadsNow)
{
    QTest::mouseClick(about.Label3, Qt::LeftButton);
    about.Label3->setText("www.brumvale.example/band");
    QTest::mouseClick(about.Label3, Qt::LeftButton);
    EXPECT_EQ(opener.opened,
              (std::vector<QString>{"http://tamro.example", "http://www.brumvale.example/band"}));
    EXPECT_TRUE(about.isVisible());
}

TEST_F(AboutLinksTest, MakerLinkOpensTheFixedAddressWhateverItsCaption)
{
    QTest::mouseClick(about.Label5, Qt::LeftButton);
    about.Label5->setText("tamro.example");
    QTest::mouseClick(about.Label5, Qt::LeftButton);
    EXPECT_EQ(opener.opened, (std::vector<QString>{"http://brumvale.example", "http://brumvale.example"}));
    EXPECT_TRUE(about.isVisible());
}

TEST_F(AboutLinksTest, OnlyALeftClickOnALinkOpensAnything)
{
    for (QWidget* other : std::initializer_list<QWidget*>{about.Label1, about.Label2, about.Label4, about.Label6,
                                                          about.Image1, &about})
        QTest::mouseClick(other, Qt::LeftButton);
    QTest::mouseClick(about.Label3, Qt::RightButton);
    QTest::mouseClick(about.Label5, Qt::MiddleButton);
    // Pressed on the link, released after moving off it: no click.
    QTest::mousePress(about.Label3, Qt::LeftButton);
    QTest::mouseRelease(about.Label3, Qt::LeftButton, {}, QPoint(about.Label3->width() + 5, 3));
    EXPECT_TRUE(opener.opened.empty());
}

// Runs `step` on the modal window once the event loop of the "?" button is up.
void whenModal(std::function<void(About&)> step)
{
    QTimer::singleShot(0, [step] {
        auto* about = qobject_cast<About*>(QApplication::activeModalWidget());
        if (!about) {
            ADD_FAILURE() << "the About window is not the active modal window";
            return;
        }
        step(*about);
        about->close();
    });
}

TEST(QuestionButton, OpensTheWindowModallyAndAfreshEachTime)
{
    QWidget frmmain;
    frmmain.setGeometry(375, 182, 224, 253);
    frmmain.show();
    testing::FakeUrlOpener opener;
    int ticks = 0;
    QTimer timer;
    timer.setInterval(1);
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start();

    QPointer<About> first;
    whenModal([&](About& about) {
        first = &about;
        EXPECT_TRUE(about.isModal());
        EXPECT_EQ(about.geometry().center(), frmmain.geometry().center());
        QTest::mouseClick(about.Label3, Qt::LeftButton);
        QTest::mouseClick(about.Label5, Qt::LeftButton);
        about.Label3->setText("changed");
        QTest::qWait(30);  // the main window's timers go on under the modal window
        EXPECT_GT(ticks, 0);
    });
    Command5_Click(frmmain, opener);
    EXPECT_TRUE(first.isNull());  // closing unloads it

    bool reopened = false;
    whenModal([&](About& about) {
        reopened = true;
        EXPECT_EQ(about.Label3->text(), "tamro.example");
        QTest::mouseClick(about.Label3, Qt::LeftButton);
    });
    Command5_Click(frmmain, opener);
    EXPECT_TRUE(reopened);
    EXPECT_EQ(opener.opened, (std::vector<QString>{"http://tamro.example", "http://brumvale.example",
                                                   "http://tamro.example"}));
}

}  // namespace
}  // namespace tamro::ui
