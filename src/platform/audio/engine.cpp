// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/engine.h"

#include "base/failure.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace tamro::audio {
namespace {

// About a second and a half of audio at 48 kHz: the callback asks for a refill about every 0.7 s.
std::size_t ringFramesFor(const OutputFormat& format) { return static_cast<std::size_t>(format.sampleRate); }

}  // namespace

Engine::Engine(std::unique_ptr<AudioOutput> output, DecoderFactory openDecoder, PostToUi postToUi)
    : output_(std::move(output)),
      format_(output_->format()),
      openDecoder_(std::move(openDecoder)),
      postToUi_(std::move(postToUi)),
      ring_(ringFramesFor(format_), format_.channels),
      lease_(*output_),
      position_(format_.sampleRate, output_->periodFrames()),
      playout_(*output_, ring_, position_, lease_),
      loop_(*output_, ring_, playout_, lease_, openDecoder_, postToUi_, events())
{
    if (!openDecoder_ || !postToUi_)
        throw Failure("The audio engine needs a decoder factory and a way to reach the UI thread");
    output_->start([this](std::span<float> out) { return render(out); });
    loop_.start();
}

Engine::~Engine()
{
    *alive_ = false;
    loop_.quit();
    lease_.close();
}

DecodeLoop::Events Engine::events()
{
    DecodeLoop::Events events;
    events.trackEnded = [this, alive = alive_](std::uint64_t segmentId) {
        if (*alive)
            onTrackEnded(segmentId);
    };
    events.motion = [this, alive = alive_] {
        if (*alive && motionHandler_)
            motionHandler_();
    };
    events.noSound = [this](const std::string& description) { reportNoSound(description); };
    return events;
}

// --- UI thread ------------------------------------------------------------------------------------------------

void Engine::setFileName(const std::string& path)
{
    if (advancing_) {
        if (std::optional<EarlyTrack::TakenOver> taken = loop_.takeOver(path)) {
            lengthFrames_ = taken->length;
            loadedFile_ = path;
            playing_ = true;
            ended_ = false;
            return;  // the decoder of the track before it closes here, unlocked
        }
    }
    // Opened before anything changes, so that a refused file leaves the current track as it was.
    std::unique_ptr<Decoder> decoder = openDecoder_(path, format_);
    if (!decoder)
        throw Failure("Cannot open '" + path + "': no decoder understands it");
    const std::int64_t length = std::max<std::int64_t>(decoder->lengthFrames(), 0);
    // Right after the end of a track (the advance), the new one follows the last frames still queued in the ring.
    const bool follow = loaded_ && ended_;
    lengthFrames_ = length;
    loaded_ = true;
    loadedFile_ = path;
    const DecodeLoop::Loaded loaded = loop_.load(std::move(decoder), length, follow);
    if (loaded.queued)
        position_.freeze(0);
    playing_ = true;
    ended_ = false;
    // A track that follows is not heard before the last frames queued ahead of it: no need to wait for its first
    // buffer.
    startPlaying(!follow);
    // The old decoder closes here, unlocked.
}

void Engine::play()
{
    if (!loaded_)
        return;
    if (playing_ && !lease_.lost())
        return;
    const std::int64_t at = position_.frame();
    loop_.begin(ended_ || at >= lengthFrames_ ? 0 : at, lengthFrames_, true);
    playing_ = true;
    ended_ = false;
    startPlaying(true);
}

void Engine::stop()
{
    if (!loaded_)
        return;
    loop_.begin(0, lengthFrames_, false);
    playing_ = false;
    ended_ = false;
}

double Engine::length() { return static_cast<double>(lengthFrames_) / format_.sampleRate; }

double Engine::position()
{
    return static_cast<double>(std::min(position_.frameAt(output_->clockMicros()), lengthFrames_)) / format_.sampleRate;
}

MediaPlayer::Motion Engine::motion() { return position_.motionAt(output_->clockMicros()); }

void Engine::setPosition(double seconds)
{
    if (!loaded_)
        return;
    std::int64_t frame = 0;
    if (seconds > 0.0) {  // also maps NaN to the start
        const double frames = seconds * format_.sampleRate;
        frame = frames >= static_cast<double>(lengthFrames_) ? lengthFrames_ : std::llround(frames);
    }
    const bool keepPlaying = playing_;
    loop_.begin(frame, lengthFrames_, keepPlaying);
    playing_ = keepPlaying;
    ended_ = false;
    if (keepPlaying)
        startPlaying(true);
}

void Engine::setEndOfTrackHandler(EndOfTrackHandler handler) { endHandler_ = std::move(handler); }

void Engine::setMotionHandler(std::function<void()> handler) { motionHandler_ = std::move(handler); }

void Engine::setDeviceLostHandler(std::function<void(const std::string&)> handler)
{
    lostHandler_ = std::move(handler);
}

void Engine::expectNext(const std::string& path)
{
    // Told after every event, mostly the same: no lock then, which the decode loop may hold for a decode step.
    if (path == expected_)
        return;
    expected_ = path;
    loop_.expect(path);
}

void Engine::startPlaying(bool waitForFirstBuffer)
{
    if (waitForFirstBuffer)
        loop_.waitForFirstBuffer();  // so that the first callback plays at once
    try {
        lease_.open();
    } catch (const Failure& failure) {
        loop_.begin(position_.frame(), lengthFrames_, false);
        playing_ = false;
        ended_ = false;
        reportNoSound(failure.what());
        throw;
    }
}

void Engine::reportNoSound(const std::string& description)
{
    postToUi_([this, alive = alive_, description] {
        if (*alive && lostHandler_)
            lostHandler_(description);
    });
}

void Engine::onTrackEnded(std::uint64_t segmentId)
{
    if (!loop_.endStands(segmentId))
        return;  // replaced, stopped or sought since the end was seen
    playing_ = false;
    ended_ = true;
    if (endHandler_) {
        struct Advancing {
            bool& flag;
            explicit Advancing(bool& f) : flag(f) { flag = true; }
            ~Advancing() { flag = false; }
        } advancing(advancing_);
        endHandler_(0);
    }
    // The advance loaded another file, or none: the early track goes, and the track before it has ended.
    loop_.afterAdvance(segmentId);
}

// --- the device's callback -----------------------------------------------------------------------------------

bool Engine::render(std::span<float> out)
{
    const Playout::Rendered rendered = playout_.render(out);
    loop_.afterRender(rendered);
    return rendered.active;
}

}  // namespace tamro::audio
