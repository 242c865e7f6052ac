// SPDX-License-Identifier: GPL-3.0-or-later
// How long the worst files a user may meet hold the window: each action the UI thread runs on them, timed
// from the click's handler to its end (the list or the message box painted). Target: 250 ms for every one.
#include "base/failure.h"
#include "platform/audio/mpeg_audio_index.h"
#include "platform/audio/open_decoder.h"
#include "platform/audio/sound_file.h"
#include "playlist/playlist_files.h"
#include "support/fake_file_dialog.h"
#include "ui/failure_report.h"
#include "ui/label.h"
#include "ui/list_box.h"

#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace tamro;

constexpr std::int64_t GiB = std::int64_t{1} << 30;

fs::path folder;

std::string at(const std::string& name) { return (folder / name).string(); }

void write(const std::string& name, const std::string& bytes, std::int64_t sparseSize = 0)
{
    std::ofstream(at(name), std::ios::binary) << bytes;
    if (sparseSize > 0)
        fs::resize_file(at(name), static_cast<std::uintmax_t>(sparseSize));
}

std::string le(std::uint32_t value, int bytes)
{
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

std::string fixture(const std::string& name)
{
    std::ifstream in(std::string(TAMRO_SOUND_FIXTURES) + "/" + name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct Row {
    std::string what;
    std::string outcome;
    double median = 0;  // the whole action
    double held = 0;    // the longest stretch of it in which the window's event loop did not run, slowest run
};

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Runs `action` `runs` times (after `prepare`, untimed). A 1 ms timer shows how long the window went without
// its event loop (painting, timers) at a stretch: all of the action when it runs on the UI thread alone.
Row measure(const std::string& what, int runs, const std::function<std::string()>& action,
            const std::function<void()>& prepare = [] {})
{
    std::vector<double> times;
    double held = 0;
    std::string outcome;
    for (int i = 0; i < runs; ++i) {
        prepare();
        auto last = Clock::now();
        Clock::duration longest{};
        QTimer ticks;
        ticks.setInterval(1);
        QObject::connect(&ticks, &QTimer::timeout, [&] {
            const auto now = Clock::now();
            longest = std::max(longest, now - last);
            last = now;
        });
        ticks.start();
        const auto start = Clock::now();
        last = start;
        outcome = action();
        const auto end = Clock::now();
        longest = std::max(longest, end - last);
        times.push_back(ms(end - start));
        held = std::max(held, ms(longest));
    }
    std::sort(times.begin(), times.end());
    return {what, outcome, times[times.size() / 2], held};
}

// What the UI thread does when a track starts: open it (length known) and decode the first device buffer.
std::string start(const std::string& path)
{
    try {
        auto decoder = audio::openDecoder(path, {48000, 2});
        std::vector<float> buffer(8192 * 2);
        decoder->read(buffer.data(), 8192);
        return "plays, " + std::to_string(decoder->lengthFrames() / 48000) + " s";
    } catch (const Failure& failure) {
        std::string text = failure.description();
        const auto reason = text.find("': ");
        return "refused: " + (reason == std::string::npos ? text : text.substr(reason + 3)).substr(0, 90);
    }
}

// The audio frames of an MP3 (no tags, no Xing/Info frame) and its first frame, to build large files from.
struct Frames {
    std::string audio;
    std::string first;
    std::int64_t count = 0;
};
Frames framesOf(const std::string& mp3)
{
    auto index = audio::indexMpegAudio(static_cast<std::int64_t>(mp3.size()), [&](std::int64_t offset, std::span<std::uint8_t> out) {
        const auto from = static_cast<std::size_t>(std::min<std::int64_t>(offset, static_cast<std::int64_t>(mp3.size())));
        const std::size_t n = std::min(out.size(), mp3.size() - from);
        std::memcpy(out.data(), mp3.data() + from, n);
        return n;
    });
    if (!index)
        std::abort();
    const auto begin = static_cast<std::size_t>(index->frames.front().offset);
    const auto end = static_cast<std::size_t>(index->frames.back().offset + index->frames.back().size);
    const auto id3 = static_cast<std::size_t>(mp3.find('\xFF'));
    return {mp3.substr(begin, end - begin), mp3.substr(id3, begin - id3), static_cast<std::int64_t>(index->frames.size())};
}

// `frames` repeated to `size` bytes (whole copies), after `head`; returns the number of copies.
std::int64_t writeRepeated(const std::string& name, const std::string& head, const std::string& frames, std::int64_t size)
{
    std::string block;
    while (block.size() + frames.size() <= (std::size_t{64} << 20))
        block += frames;
    const auto perBlock = static_cast<std::int64_t>(block.size() / frames.size());
    std::ofstream out(at(name), std::ios::binary);
    out << head;
    std::int64_t written = static_cast<std::int64_t>(head.size());
    std::int64_t copies = 0;
    while (written + static_cast<std::int64_t>(block.size()) <= size) {
        out << block;
        written += static_cast<std::int64_t>(block.size());
        copies += perBlock;
    }
    while (written + static_cast<std::int64_t>(frames.size()) <= size) {
        out << frames;
        written += static_cast<std::int64_t>(frames.size());
        ++copies;
    }
    return copies;
}

std::string be32(std::uint32_t value)
{
    return {static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8), static_cast<char>(value)};
}

// The length a walk of every frame finds (what the file's start gave before large files were walked only so far).
std::string wholeWalk(const std::string& path)
{
    const auto file = audio::SoundFile::open(path);
    const auto index = audio::indexMpegAudio(file.size(), [&](std::int64_t offset, std::span<std::uint8_t> out) { return file.readAt(offset, out); },
                                             std::numeric_limits<std::int64_t>::max());
    return std::to_string(index->lengthSamples / index->sampleRate) + " s";
}

// What a seek in the middle of a large file costs the UI thread: the seek and the first device buffer after it.
std::string seekTo(audio::Decoder& decoder, double fraction)
{
    const auto frame = static_cast<std::int64_t>(static_cast<double>(decoder.lengthFrames()) * fraction);
    decoder.seek(frame);
    std::vector<float> buffer(8192 * 2);
    const std::size_t got = decoder.read(buffer.data(), 8192);
    return "sought to " + std::to_string(frame / 48000) + " s, " + std::to_string(got) + " frames decoded";
}

// The playlist editor: the list at its laid-out size in a shown window, Load through a dialog's answer.
struct Editor {
    QWidget window;
    ui::ListBox list1{&window};
    ui::Label label1{&window};
    ui::Label songname{&window};
    testing::FakeFileDialog dialog;
    playlist::PlaylistFiles files{list1, label1, dialog};
    ui::FailureReport failures{&window};

    Editor()
    {
        window.resize(240, 270);
        list1.setGeometry(8, 104, 209, 123);
        label1.setGeometry(8, 240, 120, 16);
        songname.setGeometry(8, 8, 220, 16);
        window.show();
        settle();
    }
    void settle()
    {
        QCoreApplication::processEvents();
        window.repaint();
    }
    std::string load(const std::string& path)
    {
        dialog.choices = {path};
        try {
            files.Command4_Click();
        } catch (const Failure& failure) {
            failures.report(failure.description());
        }
        settle();
        return label1.caption();
    }
};

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    std::string pattern = (fs::temp_directory_path() / "tamro-hostile-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        return 1;
    folder = pattern;
    std::vector<Row> rows;

    // Sound files: sparse where the size comes from zeros, so they cost no disk.
    const std::string mp3 = fixture("tone-cbr.mp3");
    std::string oneHertz = "RIFF" + le(36 + (1 << 20), 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(1, 2) + le(1, 4) +
                           le(1, 4) + le(1, 2) + le(8, 2) + "data" + le(1 << 20, 4) + std::string(1 << 20, '\x40');
    write("one-hertz.wav", oneHertz);
    write("one-hertz.flac", fixture("one-hertz.flac"));
    write("padded.mp3", mp3, 2 * GiB);
    write("one-header.mp3", std::string("\xFF\xFB\x90\x64", 4), 2 * GiB);
    write("zeros.mp3", "", 4 * GiB - 1);
    write("zeros.wav", "", 4 * GiB - 1);
    {
        // Frames scattered through 4 GiB: the tone, then 64 MiB of zeros, again and again.
        std::ofstream out(at("scattered.mp3"), std::ios::binary);
        for (std::int64_t offset = 0; offset + 64 * (1 << 20) < 4 * GiB; offset += 64 * (1 << 20)) {
            out.seekp(offset);
            out << mp3;
        }
    }
    {
        // Real frames, back to back: 128 MiB of a tone without a header that would give its length.
        const std::string frames = fixture("tone-vbr-noheader.mp3");
        std::ofstream out(at("long.mp3"), std::ios::binary);
        for (std::int64_t size = 0; size < 128 * (1 << 20); size += static_cast<std::int64_t>(frames.size()))
            out << frames;
    }
    // Genuine large MP3s, frames of real files back to back: a constant bit rate with an Info frame in front and
    // a variable one with a Xing frame in front, each counting the frames and bytes of the whole file; the
    // variable one without a header; the constant one, 96 MiB of it, padded with zeros to 4 GiB.
    {
        const auto large = [](const std::string& name, const std::string& mp3, std::int64_t size, std::int64_t sparseSize) {
            const Frames frames = framesOf(mp3);
            std::string header = frames.first;
            const std::int64_t copies = writeRepeated(name, header, frames.audio, size);
            const auto tag = header.find("Xing") != std::string::npos ? header.find("Xing") : header.find("Info");
            if (tag != std::string::npos) {
                // Flags 0x0F: the counts of frames and bytes follow the flags.
                header.replace(tag + 8, 4, be32(static_cast<std::uint32_t>(frames.count * copies)));
                header.replace(tag + 12, 4, be32(static_cast<std::uint32_t>(static_cast<std::int64_t>(header.size()) +
                                                                            copies * static_cast<std::int64_t>(frames.audio.size()))));
                std::fstream patch(at(name), std::ios::binary | std::ios::in | std::ios::out);
                patch << header;
            }
            if (sparseSize > 0)
                fs::resize_file(at(name), static_cast<std::uintmax_t>(sparseSize));
        };
        large("large-cbr.mp3", mp3, 4 * GiB - 1, 0);
        large("large-vbr-xing.mp3", fixture("tone-vbr-lame.mp3"), GiB, 0);
        writeRepeated("large-vbr.mp3", "", framesOf(fixture("tone-vbr-noheader.mp3")).audio, GiB);
        large("large-cbr-padded.mp3", mp3, 96 << 20, 4 * GiB - 1);
    }
    const struct {
        const char* name;
        const char* what;
    } sounds[] = {
        {"one-hertz.wav", "1 MiB 8-bit mono WAV whose header says 1 Hz"},
        {"one-hertz.flac", "FLAC at 1 Hz with 32,000-sample frames"},
        {"padded.mp3", "4 s MP3 padded with zeros to 2 GiB (sparse)"},
        {"one-header.mp3", "2 GiB: one MPEG frame header, then zeros (sparse)"},
        {"zeros.mp3", "4 GiB of zeros named .mp3 (sparse)"},
        {"zeros.wav", "4 GiB of zeros named .wav (sparse)"},
        {"scattered.mp3", "4 GiB: a 4 s MP3 every 64 MiB, zeros between (sparse)"},
        {"long.mp3", "128 MiB of real MP3 frames back to back"},
        {"large-cbr.mp3", "4 GiB of genuine CBR MP3 frames (128 kbit/s), an Info frame in front"},
        {"large-vbr-xing.mp3", "1 GiB of genuine VBR MP3 frames, a Xing frame in front counting them"},
        {"large-vbr.mp3", "1 GiB of genuine VBR MP3 frames, no header"},
        {"large-cbr-padded.mp3", "96 MiB of genuine CBR MP3 frames padded with zeros to 4 GiB (sparse)"},
    };
    for (const auto& sound : sounds) {
        rows.push_back(measure(std::string("Start: ") + sound.what, 5, [&] { return start(at(sound.name)); }));
        const std::string name = sound.name;
        if (name == "long.mp3" || name == "large-vbr-xing.mp3" || name == "large-vbr.mp3" || name == "large-cbr-padded.mp3")
            rows.back().outcome += " (every frame walked: " + wholeWalk(at(name)) + ")";
    }
    for (const char* name : {"large-cbr.mp3", "large-vbr-xing.mp3", "large-vbr.mp3"}) {
        auto decoder = audio::openDecoder(at(name), {48000, 2});
        const double fractions[] = {0.5, 0.999, 0.01};
        for (const double fraction : fractions)
            rows.push_back(measure(std::string("Seek: ") + name + " to " + std::to_string(fraction).substr(0, 5) + " of it, first buffer decoded", 5,
                                   [&] { return seekTo(*decoder, fraction); }));
    }

    // Playlists: one line of 10 MB among ordinary ones; the whole read limit of short lines.
    {
        std::string text = "/m/a.mp3\r\n/" + std::string(10 << 20, 'x') + ".mp3\r\n/m/b.mp3\r\n";
        write("long-line.m3u", text);
        std::string many;
        many.reserve(256u << 20);
        while (many.size() + 24 < (256u << 20))
            many += "/m/" + std::to_string(many.size() % 100000) + ".mp3\r\n";
        write("read-limit.m3u", many);
    }
    Editor editor;
    rows.push_back(measure("Load a playlist with one 10 MB line, list painted", 5,
        [&] { return editor.load(at("long-line.m3u")); }));
    rows.push_back(measure("Select the 10 MB entry, then another, list painted", 5, [&] {
        editor.list1.setListIndex(1);
        editor.settle();
        editor.list1.setListIndex(2);
        editor.settle();
        return std::string("selected");
    }));
    rows.push_back(measure("Title line of the 10 MB entry set and painted", 5, [&] {
        editor.songname.setCaption(editor.list1.list(1) + " - (00:04)");
        editor.settle();
        return std::string("shown");
    }, [&] { editor.songname.setCaption(""); }));
    const std::string megabytePath = "/" + std::string(1 << 20, 'y') + ".mp3";
    rows.push_back(measure("Start of a 1 MB entry: refusal shown in a message box", 5, [&] {
        editor.failures.report(audio::cannotOpen(megabytePath, "the path is too long"));
        editor.settle();
        return std::string(editor.failures.openBox() ? "box shown" : "no box");
    }, [&] {
        if (editor.failures.openBox())
            editor.failures.openBox()->accept();
        editor.settle();
    }));
    rows.push_back(measure("Load a 256 MiB playlist (the read limit) of short lines", 3,
        [&] { return editor.load(at("read-limit.m3u")); }));
    {
        // The longest playlist the list holds: 32,767 entries of 4,095 bytes, 128 MiB.
        std::vector<std::string> longest;
        for (int i = 0; i < 32767; ++i) {
            // Appended to "/": GCC 12 at -O3 takes "/" + a string for an overlapping copy (-Wrestrict).
            const std::string number = std::to_string(i);
            std::string entry = "/";
            entry += number;
            entry.append(4094 - number.size(), 'z');
            longest.push_back(std::move(entry));
        }
        editor.list1.replaceAll(std::move(longest));
        editor.settle();
    }
    rows.push_back(measure("Save 32,767 entries of 4,095 bytes (128 MiB), flushed to the disk", 3, [&] {
        editor.dialog.choices = {at("saved.m3u")};
        editor.files.Savelist_Click();
        editor.settle();
        return std::to_string(fs::file_size(at("saved.m3u")) >> 20) + " MiB written";
    }));

    std::printf("| Action | Outcome | Median of the action (ms) | Window held at most (ms) |\n|---|---|---|---|\n");
    for (const auto& row : rows)
        std::printf("| %s | %s | %.1f | %.1f |\n", row.what.c_str(), row.outcome.c_str(), row.median, row.held);
    fs::remove_all(folder);
    return 0;
}
