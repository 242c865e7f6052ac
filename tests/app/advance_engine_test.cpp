// SPDX-License-Identifier: GPL-3.0-or-later
// Next and the end-of-track advance in the program's window with the real engine, through SDL's disk driver: what was written to the "device" is checked
// tone by tone, and the silence between two tracks is measured.
#include "app/player_window.h"
#include "platform/audio/engine.h"
#include "platform/audio/open_decoder.h"
#include "platform/audio/sdl_output.h"
#include "support/forwarding_media_player.h"
#include "player/random_source.h"

#include "support/recording_output.h"
#include "support/tone.h"
#include "support/tone_wav.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#include <unistd.h>

namespace tamro::player {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr double toneSeconds = 0.6;
const double pitches[] = {440.0, 660.0, 990.0};

// One stretch of the recording with one tone in it (or silence, tone -1), in frames.
struct ToneRun {
    int tone;
    std::int64_t first;
    std::int64_t end;
};

// Labels 10 ms windows by the loudest of the three pitches, or silence, and joins equal neighbours.
// Windows that straddle a change of tone are dropped as too short to count.
std::vector<ToneRun> toneRuns(const std::vector<float>& left, int rate)
{
    const std::int64_t window = rate / 100;
    std::vector<ToneRun> runs;
    for (std::int64_t at = 0; at + window <= static_cast<std::int64_t>(left.size()); at += window) {
        const std::span<const float> w(left.data() + at, static_cast<std::size_t>(window));
        int tone = -1;
        if (testing::rms(w) > 1e-3) {
            double best = 0.0;
            for (int t = 0; t < 3; ++t) {
                const double p = testing::powerAt(w, rate, pitches[t]);
                if (p > best) {
                    best = p;
                    tone = t;
                }
            }
        }
        if (!runs.empty() && runs.back().tone == tone)
            runs.back().end = at + window;
        else
            runs.push_back({tone, at, at + window});
    }
    std::vector<ToneRun> kept;
    for (const ToneRun& r : runs) {
        if (r.tone >= 0 && r.end - r.first < 3 * window)
            continue;
        if (!kept.empty() && kept.back().tone == r.tone)
            kept.back().end = r.end;
        else
            kept.push_back(r);
    }
    return kept;
}

std::vector<ToneRun> tonesOnly(const std::vector<ToneRun>& runs)
{
    std::vector<ToneRun> out;
    for (const ToneRun& r : runs)
        if (r.tone >= 0)
            out.push_back(r);
    return out;
}

std::vector<float> readFloats(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<float> samples(fs::file_size(path) / sizeof(float));
    in.read(reinterpret_cast<char*>(samples.data()), static_cast<std::streamsize>(samples.size() * sizeof(float)));
    return samples;
}

// Runs the Qt event loop (where the engine delivers the end of a track) for a while.
void runEvents(std::chrono::milliseconds duration)
{
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

// The engine as the window sees it, noting when each end of track reaches the window's handler and when
// that handler is done.
class TimedPlayer final : public testing::ForwardingMediaPlayer {
public:
    using Clock = testing::RecordingOutput::Clock;
    struct Timing {
        Clock::time_point reported, done;
    };

    explicit TimedPlayer(std::unique_ptr<MediaPlayer> engine, std::vector<Timing>& timings)
        : ForwardingMediaPlayer(std::move(engine)), timings_(timings)
    {
    }
    void setEndOfTrackHandler(EndOfTrackHandler handler) override
    {
        inner().setEndOfTrackHandler([this, handler = std::move(handler)](std::int32_t code) {
            const auto reported = Clock::now();
            handler(code);
            timings_.push_back({reported, Clock::now()});
        });
    }

private:
    std::vector<Timing>& timings_;
};

// The program's window with the real engine, SDL's disk driver as its device, and a playlist of three tones.
class RealAdvance : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = fs::temp_directory_path() / ("tamro-advance-" + std::to_string(getpid()) + "-"
                                               + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder_);
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", (folder_ / "device.raw").c_str(), 1);
        auto recording = std::make_unique<testing::RecordingOutput>(std::make_unique<audio::SdlOutput>());
        recording_ = recording.get();
        rate_ = recording->format().sampleRate;
        toneFrames_ = std::llround(toneSeconds * rate_);
        // The engine reports the end once the device has played the last frame, and the next track then queues
        // behind a device buffer: about three buffers between two tracks.
        handOverSeconds = 3.5 * static_cast<double>(recording_->periodFrames()) / rate_ + 0.1;
        auto engine = std::make_unique<audio::Engine>(std::move(recording), &audio::openDecoder,
                                                      [](std::function<void()> f) {
                                                          QMetaObject::invokeMethod(qApp, std::move(f),
                                                                                    Qt::QueuedConnection);
                                                      });
        window_ = std::make_unique<app::PlayerWindow>(std::make_unique<TimedPlayer>(std::move(engine), advances_));
        window_->loadAndShow();
        for (int t = 0; t < 3; ++t) {
            const fs::path path = folder_ / ("tone" + std::to_string(t) + ".wav");
            testing::writeToneWav(path, pitches[t], toneFrames_, rate_);
            f().List1.addItem(path.string());
        }
    }

    void TearDown() override
    {
        window_.reset();
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    ui::Frmmain& f() { return window_->frmmain; }

    // The user double-clicks the first entry (the click before it selects it).
    void doubleClickFirst()
    {
        f().List1.setListIndex(0);
        emit f().List1.dblClick();
    }

    // What the disk driver wrote (left channel), once the engine has closed the device.
    std::vector<float> writtenLeft()
    {
        window_.reset();
        return testing::channel(readFloats(folder_ / "device.raw"), 2);
    }

    fs::path folder_;
    testing::RecordingOutput* recording_ = nullptr;
    int rate_ = 0;
    std::int64_t toneFrames_ = 0;
    double handOverSeconds = 0.0;
    std::vector<TimedPlayer::Timing> advances_;
    std::unique_ptr<app::PlayerWindow> window_;
};

TEST_F(RealAdvance, PlaysTheThreeEntriesInOrderEachToItsEndThenSilence)
{
    doubleClickFirst();
    runEvents(std::chrono::milliseconds(static_cast<int>((3 * (toneSeconds + handOverSeconds) + 0.6) * 1000)));
    const auto testEnd = testing::RecordingOutput::Clock::now();
    EXPECT_EQ(f().last, 2);
    EXPECT_EQ(f().List1.listIndex(), 2);
    EXPECT_EQ(window_->failures.openBox(), nullptr);

    // Measured on what the engine rendered, with the moment each block was rendered.
    const std::vector<float> rendered = testing::channel(recording_->samples(), 2);
    const auto blocks = recording_->blocks();
    const std::size_t period = recording_->periodFrames();
    const std::vector<float> written = writtenLeft();
    ASSERT_GE(written.size(), rendered.size() - 2 * period)
        << "the disk file holds what was rendered";

    const std::vector<ToneRun> tones = tonesOnly(toneRuns(written, rate_));
    ASSERT_EQ(tones.size(), 3u) << "three tones, then nothing";
    const double window = rate_ / 100.0;
    for (int t = 0; t < 3; ++t) {
        EXPECT_EQ(tones[t].tone, t) << "in playlist order";
        EXPECT_NEAR(static_cast<double>(tones[t].end - tones[t].first), static_cast<double>(toneFrames_), 2 * window)
            << "tone " << t << " plays to its end";
    }
    // The output rests once nothing plays, so the file stops there: the silence is the time that went by.
    const std::vector<ToneRun> all = toneRuns(written, rate_);
    EXPECT_EQ(all.back().tone, -1);
    EXPECT_GT(std::chrono::duration<double>(testEnd - testing::renderedAt(blocks, tones[2].end - 1, rate_)).count(),
              handOverSeconds + 0.2)
        << "long enough after the last entry for another track to have started";

    // Frame-exact gaps on the rendered stream: the first loud frame of each track, its known length.
    auto loudFrom = [&](std::int64_t from) {
        while (from < static_cast<std::int64_t>(rendered.size()) && std::fabs(rendered[static_cast<std::size_t>(from)]) < 0.4f)
            ++from;
        return from;
    };
    std::int64_t start = loudFrom(0);
    for (int t = 0; t < 2; ++t) {
        const std::int64_t end = start + toneFrames_;
        const std::int64_t next = loudFrom(end);
        ASSERT_LT(next, static_cast<std::int64_t>(rendered.size()));
        const double silentMs = 1000.0 * static_cast<double>(next - end) / rate_;
        const double wallMs = std::chrono::duration<double, std::milli>(testing::renderedAt(blocks, next, rate_)
                                                                        - testing::renderedAt(blocks, end - 1, rate_))
                                  .count()
                              - 1000.0 / rate_;
        using Ms = std::chrono::duration<double, std::milli>;
        const TimedPlayer::Timing& a = advances_.at(static_cast<std::size_t>(t));
        const double advanceMs = Ms(a.done - a.reported).count();
        auto blockOf = [&](std::int64_t frame) {
            return std::find_if(blocks.begin(), blocks.end(), [&](const auto& b) { return frame < b.firstFrame + b.frames; })
                   - blocks.begin();
        };
        const auto buffers = blockOf(next) - blockOf(end - 1);
        std::printf("gap %d->%d: %.1f ms of silent frames written, %.1f ms between the tracks in time "
                    "(device buffer %zu frames at %d Hz); the advance took %.2f ms; the next track's first frame went "
                    "out %s\n",
                    t, t + 1, silentMs, std::max(wallMs, 0.0), period, rate_, advanceMs,
                    buffers == 0 ? "in the same device buffer as the last frame before it"
                                 : (std::to_string(buffers) + " device buffer(s) after the last frame before it").c_str());
        RecordProperty("gap" + std::to_string(t) + "_advance_ms", std::to_string(advanceMs));
        RecordProperty("gap" + std::to_string(t) + "_silent_ms", std::to_string(silentMs));
        RecordProperty("gap" + std::to_string(t) + "_wall_ms", std::to_string(wallMs));
        start = next;
    }
}

TEST_F(RealAdvance, InShuffleModeKeepsPlayingPicks)
{
    f().Shuffle.setChecked(true);
    doubleClickFirst();
    runEvents(std::chrono::milliseconds(static_cast<int>((4 * (toneSeconds + handOverSeconds) + 0.2) * 1000)));
    const auto testEnd = testing::RecordingOutput::Clock::now();
    const auto blocks = recording_->blocks();

    const std::vector<float> written = writtenLeft();
    const std::vector<ToneRun> all = toneRuns(written, rate_);
    const std::vector<ToneRun> tones = tonesOnly(all);
    ASSERT_GE(tones.size(), 2u);
    EXPECT_EQ(tones.front().tone, 0) << "the double-clicked entry first";
    // The file may run on past the blocks seen at the end of the test: then the tone was still sounding.
    const std::int64_t seen = blocks.empty() ? 0 : blocks.back().firstFrame + blocks.back().frames;
    const std::int64_t lastToneFrame = std::min(tones.back().end, seen) - 1;
    EXPECT_LT(std::chrono::duration<double>(testEnd - testing::renderedAt(blocks, lastToneFrame, rate_)).count(),
              handOverSeconds + 1.0)
        << "still playing, or between two picks, when the test ends";

    // The same generator, fresh, predicts the picks. A pick of the entry that just ended starts it again, which
    // may sound as one longer run of that tone, so equal neighbours are joined on both sides.
    auto joined = [](const std::vector<int>& picks) {
        std::vector<int> out;
        for (int t : picks)
            if (out.empty() || out.back() != t)
                out.push_back(t);
        return out;
    };
    RandomSource predicted;
    std::vector<int> expected{0};
    for (int i = 0; i < 20; ++i)
        expected.push_back(static_cast<int>(std::floor(static_cast<double>(predicted.next()) * 3)));
    std::vector<int> heard;
    for (const ToneRun& r : tones)
        heard.push_back(r.tone);
    heard = joined(heard);
    expected = joined(expected);
    ASSERT_LE(heard.size(), expected.size());
    EXPECT_EQ(heard, std::vector<int>(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(heard.size())));
    std::int64_t total = 0;
    for (const ToneRun& r : tones)
        total += r.end - r.first;
    EXPECT_GT(static_cast<double>(total), 3.5 * static_cast<double>(toneFrames_)) << "picks follow one another";
}

}  // namespace
}  // namespace tamro::player
