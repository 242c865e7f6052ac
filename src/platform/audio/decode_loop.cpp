// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/decode_loop.h"

#include <algorithm>
#include <utility>

namespace tamro::audio {
namespace {

std::int64_t periodMicrosOf(const AudioOutput& output)
{
    return static_cast<std::int64_t>(output.periodFrames()) * 1'000'000 / output.format().sampleRate;
}

}  // namespace

DecodeLoop::DecodeLoop(AudioOutput& output, RingBuffer& ring, Playout& playout, DeviceLease& lease,
                       DecoderFactory openDecoder, PostToUi postToUi, Events events)
    : output_(output),
      format_(output.format()),
      ring_(ring),
      playout_(playout),
      lease_(lease),
      openDecoder_(std::move(openDecoder)),
      postToUi_(std::move(postToUi)),
      events_(std::move(events)),
      endClock_(output.periodFrames(), periodMicrosOf(output)),
      scratch_(chunkFrames * static_cast<std::size_t>(format_.channels))
{
}

DecodeLoop::~DecodeLoop() { quit(); }

void DecodeLoop::start() { thread_ = std::thread([this] { run(); }); }

void DecodeLoop::quit()
{
    {
        Lock lock(mutex_);
        quit_ = true;
    }
    wake_.post();
    if (thread_.joinable())
        thread_.join();
}

// --- the UI thread ------------------------------------------------------------------------------------------------

void DecodeLoop::begin(std::int64_t frame, std::int64_t length, bool playing)
{
    {
        Lock lock(mutex_);
        dropNext(false);
        beginLocked(frame, length, playing);
    }
    wake_.post();
}

DecodeLoop::Loaded DecodeLoop::load(std::unique_ptr<Decoder> decoder, std::int64_t length, bool follow)
{
    Loaded loaded;
    {
        Lock lock(mutex_);
        dropNext(false);
        current_.decoder.swap(decoder);
        loaded.queued = follow && queueBehind(length, false);
        if (!loaded.queued)
            beginLocked(0, length, true);
    }
    wake_.post();
    loaded.old = std::move(decoder);
    return loaded;
}

void DecodeLoop::expect(const std::string& path)
{
    {
        Lock lock(mutex_);
        if (next_.expect(path))
            dropNext(true);
    }
    wake_.post();
}

std::optional<EarlyTrack::TakenOver> DecodeLoop::takeOver(const std::string& path)
{
    std::optional<EarlyTrack::TakenOver> taken;
    {
        Lock lock(mutex_);
        taken = next_.takeOver(path);
        if (!taken)
            return taken;
        playout_.takeOverEarly();
    }
    wake_.post();  // its own end is now to be reported as any track's
    return taken;
}

bool DecodeLoop::endStands(std::uint64_t id)
{
    Lock lock(mutex_);
    return next_.follows(id) || id == segmentId_;
}

void DecodeLoop::afterAdvance(std::uint64_t id)
{
    Lock lock(mutex_);
    if (next_.follows(id))
        dropNext(false);
}

void DecodeLoop::waitForFirstBuffer()
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    Lock lock(mutex_);
    while (!quit_ && current_.at.active && !current_.at.done && ring_.readable() < output_.periodFrames()
           && std::chrono::steady_clock::now() < until)
        progressed_.wait_for(mutex_, std::chrono::milliseconds(20));
}

bool DecodeLoop::waitUntilBuffered(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    Lock lock(mutex_);
    // A turn already under way may have looked past what the caller changed before; the turn also looks at the
    // device (a lost one is reported), which nothing else may ask for while the output's clock stands still.
    const std::uint64_t from = turnsBegun_;
    wake_.post();
    while (turns_ <= from || !caughtUp()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        // The loop may sleep towards a time on the output's clock, which a test moves by hand.
        wake_.post();
        progressed_.wait_for(mutex_, std::chrono::milliseconds(5));
    }
    return true;
}

void DecodeLoop::restart(std::int64_t frame, bool playing)
{
    ++segmentId_;  // any end still on its way belongs to an older segment and is dropped
    current_.decoder->seek(frame);
    current_.at = TrackDecoding{};
    current_.at.id = segmentId_;
    current_.at.active = playing;  // a stopped track is decoded when it plays, from where it plays
    current_.at.startedMicros = output_.clockMicros();
    playout_.setDecoderDone(false);
    endClock_.clear();
}

void DecodeLoop::beginLocked(std::int64_t frame, std::int64_t length, bool playing)
{
    restart(frame, playing);
    // This thread is parked by mutex_, the callback by the playout's lock: nobody touches the ring while it is
    // emptied.
    playout_.begin(segmentId_, frame, length, playing);
}

bool DecodeLoop::queueBehind(std::int64_t length, bool early)
{
    if (playout_.queueFull())
        return false;
    const std::uint64_t finished = current_.at.id;
    const std::int64_t written = current_.at.written;
    restart(0, true);
    playout_.queue(segmentId_, length, early, finished, written);
    return true;
}

void DecodeLoop::dropNext(bool unlessHeard)
{
    if (!next_.started())
        return;
    const Playout::Drop drop = playout_.dropEarly(unlessHeard, EndClock::indexOf(next_.beforeMark()), next_.beforeId());
    if (drop == Playout::Drop::kept)
        return;
    if (drop == Playout::Drop::cut)
        endClock_.restore(next_.beforeMark());
    else
        endClock_.clear();
    DecodedTrack early = std::exchange(current_, next_.takeBack());
    // The early track's segment was never the UI thread's: the end still to come is the track before it's.
    segmentId_ = current_.at.id;
}

bool DecodeLoop::startNext(std::unique_ptr<Decoder> decoder, const EarlyTrack::Opening& opening)
{
    if (!decoder || !next_.mayStart(opening, current_.at, ring_.readIndex()) || playout_.queueFull())
        return false;
    const std::int64_t length = std::max<std::int64_t>(decoder->lengthFrames(), 0);
    DecodedTrack before{std::exchange(current_.decoder, std::move(decoder)), current_.at};
    next_.start(opening, length, std::move(before));
    playout_.forgetNextHeard();
    queueBehind(length, true);  // not full: only the callback changes the queue meanwhile, and it only empties it
    return true;
}

// --- the device's callback ---------------------------------------------------------------------------------------

void DecodeLoop::afterRender(const Playout::Rendered& rendered)
{
    if (rendered.tellMotion)
        motionToPost_.store(true, std::memory_order_release);
    const std::int64_t now = output_.clockMicros();
    lastCallbackMicros_.store(now, std::memory_order_relaxed);
    bool wake = false;
    if (lease_.onCallback(rendered.active, now))
        wake = true;  // to close the device once it has been idle long enough
    if (!playout_.decoderDone() && ring_.writable() >= ring_.capacity() / 2)
        wake = true;
    if (motionToPost_.load(std::memory_order_relaxed))
        wake = true;  // the loop posts the motion handler
    if (rendered.nextHeard)
        wake = true;  // the loop reports the end of the track before the early one
    if (endClock_.onCallback(ring_.readIndex(), now))
        wake = true;  // the loop posts the end when it is due
    if (wake)
        wake_.post();
}
}  // namespace tamro::audio
