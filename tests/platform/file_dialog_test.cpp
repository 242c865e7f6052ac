// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/file_dialog.h"
#include "platform/qt_file_dialog.h"

#include "support/fake_file_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMimeDatabase>
#include <QTimer>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdlib.h>

namespace tamro {
namespace {

using testing::FakeFileDialog;
using Calls = std::vector<std::string>;

TEST(FileChoice, SetsUpTheDialogShowsItAndEmptiesTheNameAfterAChoice)
{
    FakeFileDialog dialog;
    dialog.choices = {"/music/a.mp3", "/lists/x.m3u"};
    EXPECT_EQ(chooseFile(dialog, DialogKind::Open, "A|*.a"), "/music/a.mp3");
    EXPECT_EQ(dialog.calls, (Calls{"cancelError:0", "filter:A|*.a", "showOpen", "setFileName:"}));
    EXPECT_EQ(dialog.fileName(), "");

    dialog.calls.clear();
    EXPECT_EQ(chooseFile(dialog, DialogKind::Save, "B|*.b"), "/lists/x.m3u");
    EXPECT_EQ(dialog.calls, (Calls{"cancelError:0", "filter:B|*.b", "showSave", "setFileName:"}));
}

TEST(FileChoice, CancelIsAnEmptyChoiceAndNoFailure)
{
    FakeFileDialog dialog;
    dialog.choices = {""};
    EXPECT_EQ(chooseFile(dialog, DialogKind::Open, "A|*.a"), std::nullopt);
    EXPECT_EQ(dialog.calls, (Calls{"cancelError:0", "filter:A|*.a", "showOpen"}));
}

struct FilterCase {
    const char* filter;
    QStringList shown;
};

TEST(QtNameFilters, ShowEachDescriptionWithItsPatterns)
{
    const FilterCase cases[] = {
        {"Supported Sound files |*.mp3;*.wav;*.wma;*.mid;*.rmi;*.midi;*.au;*.snd;|MP3 Files (*.mp3)|*.mp3|Wave "
         "Files (*.wav)|*.wav|Midi Files (*.mid,*.midi,*.rmi)|*.mid;*.midi;*.rmi|Windows Media Audio Files "
         "(*.wma)|*.wma|Unix Files (*.au,*.snd)|*.au;*.snd",
            {"Supported Sound files (*.mp3 *.wav *.wma *.mid *.rmi *.midi *.au *.snd)", "MP3 Files (*.mp3)",
                "Wave Files (*.wav)", "Midi Files (*.mid *.midi *.rmi)", "Windows Media Audio Files (*.wma)",
                "Unix Files (*.au *.snd)"}},
        {"Playlist files (*.m3u,*.pls)|*.m3u;*.pls", {"Playlist files (*.m3u *.pls)"}},
        {"WinAmp Playlist (*.m3u)|*.m3u|XMPlay Playlist (*.pls)|*.pls|Text file (*.txt)|*.txt",
            {"WinAmp Playlist (*.m3u)", "XMPlay Playlist (*.pls)", "Text file (*.txt)"}},
        {"Everything", {"Everything (*)"}},
        {"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(qtNameFilters(c.filter), c.shown) << c.filter;
}

// Runs `user` on the modal QFileDialog as soon as it is shown.
void whenShown(std::function<void(QFileDialog&)> user)
{
    QTimer::singleShot(0, [user] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        user(*dialog);
    });
}

TEST(QtFileDialog, CancelGivesTheEmptyFileName)
{
    QtFileDialog dialog(nullptr);
    dialog.setFilter("Playlist files (*.m3u,*.pls)|*.m3u;*.pls");
    whenShown([](QFileDialog& shown) { shown.reject(); });
    dialog.showOpen();
    EXPECT_EQ(dialog.fileName(), "");
}

TEST(QtFileDialog, OpenReturnsTheChosenPathWithTheFirstFilterPreselected)
{
    const std::string path = (std::filesystem::temp_directory_path() / "tamro dialog test.m3u").string();
    std::fclose(std::fopen(path.c_str(), "w"));
    QtFileDialog dialog(nullptr);
    dialog.setFilter("WinAmp Playlist (*.m3u)|*.m3u|XMPlay Playlist (*.pls)|*.pls");
    QString preselected;
    whenShown([&](QFileDialog& shown) {
        preselected = shown.selectedNameFilter();
        shown.selectFile(QString::fromStdString(path));
        static_cast<QDialog&>(shown).accept();  // as the dialog's own button does
    });
    dialog.showOpen();
    EXPECT_EQ(dialog.fileName(), path);
    EXPECT_EQ(preselected, "WinAmp Playlist (*.m3u)");
    std::remove(path.c_str());
}

TEST(QtFileDialog, FileNameThatIsNotUtf8ComesBackAsItsOwnBytes)
{
    char folder[] = "/tmp/tamro-dialog-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string name = "caf\xE9 \xFF.mp3";
    const std::string path = std::string(folder) + "/" + name;
    std::fclose(std::fopen(path.c_str(), "w"));
    QtFileDialog dialog(nullptr);
    dialog.setFilter("MP3 Files (*.mp3)|*.mp3");
    whenShown([&](QFileDialog& shown) {
        // As the user does: open the folder, pick the file by the name the dialog shows for it.
        shown.setDirectory(QString::fromLatin1(folder));
        shown.selectFile(QFile::decodeName(QByteArray::fromStdString(name)));
        static_cast<QDialog&>(shown).accept();
    });
    dialog.showOpen();
    EXPECT_EQ(dialog.fileName(), path);
    std::filesystem::remove_all(folder);
}

TEST(QtFileDialog, SaveReplacesWithoutAskingAndAddsNoExtension)
{
    const std::string path = (std::filesystem::temp_directory_path() / "tamro-dialog-no-extension").string();
    QtFileDialog dialog(nullptr);
    dialog.setFilter("Text file (*.txt)|*.txt");
    bool confirms = true;
    whenShown([&](QFileDialog& shown) {
        confirms = !shown.testOption(QFileDialog::DontConfirmOverwrite);
        shown.selectFile(QString::fromStdString(path));
        static_cast<QDialog&>(shown).accept();  // as the dialog's own button does
    });
    dialog.showSave();
    EXPECT_EQ(dialog.fileName(), path);
    EXPECT_FALSE(confirms);
}

// Qt reads quotes in the name field as a list of names; on Linux they are part of a name.
TEST(QtFileDialog, ANameWithDoubleQuotesComesBackAsTyped)
{
    char folder[] = "/tmp/tamro-dialog-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    for (const char* name : {"a\"b.mp3", "\"quoted\".m3u", "x \"y\" \"z\".m3u"}) {
        for (const bool save : {false, true}) {
            QtFileDialog dialog(nullptr);
            dialog.setFilter("Everything|*");
            whenShown([&](QFileDialog& shown) {
                shown.setDirectory(QString::fromLatin1(folder));
                auto* edit = shown.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                ASSERT_NE(edit, nullptr);
                edit->setText(QString::fromUtf8(name));
                static_cast<QDialog&>(shown).accept();  // as Enter in the name field does
            });
            save ? dialog.showSave() : dialog.showOpen();
            EXPECT_EQ(dialog.fileName(), std::string(folder) + "/" + name) << (save ? "save " : "open ") << name;
        }
    }
    std::filesystem::remove_all(folder);
}

// Telling a type by content reads the file, and some reads never return (/proc/kmsg): names only.
TEST(PlayerFileDialog, TellsFileTypesByNameNeverByContent)
{
    char folder[] = "/tmp/tamro-dialog-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string picture = std::string(folder) + "/picture";
    const std::string zeros = std::string(folder) + "/zeros";
    std::ofstream(picture, std::ios::binary) << std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) << std::string(64, '\0');
    std::ofstream(zeros, std::ios::binary) << std::string(80, '\0');
    std::ofstream(std::string(folder) + "/song.mp3") << "not even MPEG audio";
    PlayerFileDialog dialog;
    QAbstractFileIconProvider* icons = dialog.iconProvider();
    ASSERT_NE(icons, nullptr);
    EXPECT_EQ(icons->type(QFileInfo(QString::fromStdString(picture))), icons->type(QFileInfo(QString::fromStdString(zeros))));
    EXPECT_EQ(icons->type(QFileInfo(QString::fromStdString(std::string(folder) + "/song.mp3"))),
        QMimeDatabase().mimeTypeForName(QStringLiteral("audio/mpeg")).comment());
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace tamro
