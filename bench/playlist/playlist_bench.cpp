// SPDX-License-Identifier: GPL-3.0-or-later
// How long the playlist commands take on a full playlist of realistic paths: Load and show, Save, Del all, and
// scrolling the list, each beside a plain reference measured in the same run.
#include "playlist/playlist_editing.h"
#include "playlist/playlist_file.h"
#include "playlist/playlist_files.h"
#include "support/fake_file_dialog.h"
#include "support/fake_media_player.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QListWidget>
#include <QScrollBar>
#include <QVBoxLayout>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

namespace tamro::playlist {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int fullCount = 32767;

// Paths like a music collection's: about 80 bytes, some of them with accented letters.
std::vector<std::string> realisticPaths()
{
    static const char* artists[] = {"Nina Simone", "Daft Punk", "Bj\xC3\xB6rk", "The Beatles", "Mot\xC3\xB6rhead",
        "Miles Davis", "Caf\xC3\xA9 Tacvba", "Radiohead"};
    static const char* kinds[] = {".mp3", ".wav", ".wma", ".mid", ".au"};
    std::mt19937 random(7);
    std::vector<std::string> paths;
    paths.reserve(fullCount);
    for (int i = 0; i < fullCount; ++i) {
        const std::string artist = artists[random() % 8];
        std::string path = "/home/listener/Music/" + artist + "/Album " + std::to_string(i / 12 + 1) + " (" +
                           std::to_string(1960 + i % 60) + ")/" + std::to_string(i % 12 + 1) + " - Track title " +
                           std::to_string(i) + " live";
        path.resize(std::max<std::size_t>(path.size(), 76), '_');
        paths.push_back(path + kinds[random() % 5]);
    }
    return paths;
}

const std::vector<std::string>& paths()
{
    static const std::vector<std::string> all = realisticPaths();
    return all;
}

std::string folder()
{
    static const std::string path = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "tamro-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        return pattern;
    }();
    return path;
}

// A window the player's size, shown as the screen would show it.
struct ShownWindow {
    QWidget window;

    void show()
    {
        window.resize(240, 270);
        window.show();
        settle();
    }
    // Runs the layout Qt posts for later and paints the window now.
    void settle()
    {
        QCoreApplication::processEvents();
        window.repaint();
    }
};

// The playlist editor as the window lays it out: the list at 209 x 123 pixels and the item count label.
struct Editor : ShownWindow {
    ui::ListBox list1{&window};
    ui::Label label1{&window};
    testing::FakeFileDialog dialog;
    testing::FakeMediaPlayer play;
    ui::Slider slider1;
    ui::Label songname;
    ui::Label time;
    player::TrackStart steps{play, list1, slider1, songname, time};
    PlaylistEditing editing{list1, label1, dialog, steps};
    PlaylistFiles files{list1, label1, dialog};

    Editor()
    {
        list1.setGeometry(8, 104, 209, 123);
        label1.setGeometry(8, 240, 120, 16);
        show();
    }
};

// The same, on Qt's own QListWidget: what a plain list widget costs for the same work.
struct PlainList : ShownWindow {
    QListWidget list{&window};
    PlainList()
    {
        list.setGeometry(8, 104, 209, 123);
        list.setUniformItemSizes(true);
        show();
    }
    static QStringList texts()
    {
        QStringList out;
        out.reserve(fullCount);
        for (const auto& path : paths())
            out << QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
        return out;
    }
};

// Times `work` once an iteration, after `prepare` has run untimed.
template <typename Prepare, typename Work>
void timeEach(benchmark::State& state, Prepare prepare, Work work)
{
    for (auto _ : state) {
        prepare();
        const auto start = Clock::now();
        work();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
}

template <typename Work>
void timeEach(benchmark::State& state, Work work)
{
    timeEach(state, [] {}, work);
}

// From the dialog's answer to the list shown and the label written.
void LoadAndShow(benchmark::State& state)
{
    const std::string file = folder() + "/full.m3u";
    savePlaylistFile(file, paths());
    Editor editor;
    timeEach(state, [&] {
        editor.dialog.choices = {file};
        editor.files.Command4_Click();
        editor.settle();
    });
    if (editor.list1.listCount() != fullCount || editor.label1.caption() != "32767 item(s)")
        state.SkipWithError("the playlist was not loaded");
}

// Reference: the same file read and split, and the same texts put into a QListWidget and shown.
void LoadAndShowPlainListWidget(benchmark::State& state)
{
    const std::string file = folder() + "/full.m3u";
    savePlaylistFile(file, paths());
    PlainList plain;
    timeEach(state, [&] {
        const Fields fields = loadPlaylistFile(file);
        QStringList texts;
        texts.reserve(static_cast<qsizetype>(fields.entries.size()));
        for (const auto& entry : fields.entries)
            texts << QString::fromUtf8(entry.data(), static_cast<qsizetype>(entry.size()));
        plain.list.clear();
        plain.list.addItems(texts);
        plain.settle();
    });
}

// From the dialog's answer to the file safely on the disk (written, flushed, renamed) and the last entry selected.
void Save(benchmark::State& state)
{
    const std::string file = folder() + "/saved.m3u";
    Editor editor;
    editor.list1.replaceAll(paths());
    editor.settle();
    timeEach(state, [&] {
        editor.dialog.choices = {file};
        editor.files.Savelist_Click();
        editor.settle();
    });
}

// Reference: the same bytes written with one stream, not flushed to the disk and with no selection moved.
void SavePlainStream(benchmark::State& state)
{
    const std::string file = folder() + "/plain.m3u";
    timeEach(state, [&] {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        for (const auto& path : paths())
            out << '"' << path << "\"\r\n";
    });
}

void DelAll(benchmark::State& state)
{
    Editor editor;
    timeEach(state,
        [&] {
            editor.list1.replaceAll(paths());
            editor.list1.setListIndex(fullCount / 2);
            editor.settle();
        },
        [&] {
            editor.editing.Command6_Click();
            editor.settle();
        });
}

void DelAllPlainListWidget(benchmark::State& state)
{
    PlainList plain;
    const QStringList texts = PlainList::texts();
    timeEach(state,
        [&] {
            plain.list.addItems(texts);
            plain.settle();
        },
        [&] {
            plain.list.clear();
            plain.settle();
        });
}

// One page down (wrapping at the end) and the list painted: one frame of scrolling.
template <typename View>
void scrollPages(benchmark::State& state, View& view, QWidget& paintTarget)
{
    QScrollBar* bar = view.verticalScrollBar();
    timeEach(state, [&] {
        bar->setValue(bar->value() >= bar->maximum() ? 0 : bar->value() + bar->pageStep());
        paintTarget.repaint();
    });
}

void ScrollPage(benchmark::State& state)
{
    Editor editor;
    editor.list1.replaceAll(paths());
    editor.settle();
    scrollPages(state, editor.list1, *editor.list1.viewport());
}

void ScrollPagePlainListWidget(benchmark::State& state)
{
    PlainList plain;
    plain.list.addItems(PlainList::texts());
    plain.settle();
    scrollPages(state, plain.list, *plain.list.viewport());
}

void measured(benchmark::internal::Benchmark* b)
{
    b->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
}

BENCHMARK(LoadAndShow)->Apply(measured)->Iterations(20);
BENCHMARK(LoadAndShowPlainListWidget)->Apply(measured)->Iterations(20);
BENCHMARK(Save)->Apply(measured)->Iterations(20);
BENCHMARK(SavePlainStream)->Apply(measured)->Iterations(20);
BENCHMARK(DelAll)->Apply(measured)->Iterations(20);
BENCHMARK(DelAllPlainListWidget)->Apply(measured)->Iterations(20);
BENCHMARK(ScrollPage)->Apply(measured)->Iterations(200);
BENCHMARK(ScrollPagePlainListWidget)->Apply(measured)->Iterations(200);

}  // namespace
}  // namespace tamro::playlist

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(tamro::playlist::folder());
    return 0;
}
