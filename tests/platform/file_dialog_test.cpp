#include "platform/file_dialog.h"
#include "platform/qt_file_dialog.h"

#include "support/fake_file_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QTimer>

#include <cstdio>
#include <filesystem>
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

QApplication& application()
{
    static int argc = 1;
    static char name[] = "file_dialog_test";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
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
    application();
    QtFileDialog dialog(nullptr);
    dialog.setFilter("Playlist files (*.m3u,*.pls)|*.m3u;*.pls");
    whenShown([](QFileDialog& shown) { shown.reject(); });
    dialog.showOpen();
    EXPECT_EQ(dialog.fileName(), "");
}

TEST(QtFileDialog, OpenReturnsTheChosenPathWithTheFirstFilterPreselected)
{
    application();
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
    application();
    char folderName[] = "/tmp/tamro-dialog-\xE9-XXXXXX";
    ASSERT_NE(::mkdtemp(folderName), nullptr);
    const std::string path = std::string(folderName) + "/caf\xE9 \xFF.mp3";
    std::fclose(std::fopen(path.c_str(), "w"));
    QtFileDialog dialog(nullptr);
    dialog.setFilter("MP3 Files (*.mp3)|*.mp3");
    whenShown([&](QFileDialog& shown) {
        shown.selectFile(QFile::decodeName(QByteArray::fromStdString(path)));
        static_cast<QDialog&>(shown).accept();
    });
    dialog.showOpen();
    EXPECT_EQ(dialog.fileName(), path);
    std::filesystem::remove_all(folderName);
}

TEST(QtFileDialog, SaveReplacesWithoutAskingAndAddsNoExtension)
{
    application();
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

}  // namespace
}  // namespace tamro
