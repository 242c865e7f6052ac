// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/engine.h"

#include "base/failure.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

namespace tamro::audio {
namespace {

// About a second and a half of audio at 48 kHz: the callback asks for a refill about every 0.7 s.
std::size_t ringFramesFor(const OutputFormat& format) { return static_cast<std::size_t>(format.sampleRate); }

// Frames decoded per step; the UI thread waits at most for one step when it seeks or loads.
constexpr std::size_t decodeChunkFrames = 4096;

}  // namespace

Engine::Engine(std::unique_ptr<AudioOutput> output, DecoderFactory openDecoder, PostToUi postToUi)
    : output_(std::move(output)),
      format_(output_->format()),
      openDecoder_(std::move(openDecoder)),
      postToUi_(std::move(postToUi)),
      ring_(ringFramesFor(format_), format_.channels),
      scratch_(decodeChunkFrames * static_cast<std::size_t>(format_.channels)),
      endClock_(output_->periodFrames(), periodMicros()),
      lease_(*output_),
      playout_(*output_, ring_, position_, lease_),
      position_(format_.sampleRate, output_->periodFrames())
{
    if (!openDecoder_ || !postToUi_)
        throw Failure("The audio engine needs a decoder factory and a way to reach the UI thread");
    output_->start([this](std::span<float> out) { return render(out); });
    decodeThread_ = std::thread([this] { decodeLoop(); });
}

Engine::~Engine()
{
    *alive_ = false;
    {
        Lock lock(decodeMutex_);
        quit_ = true;
    }
    wakeDecoder_.post();
    decodeThread_.join();
    lease_.close();
}

std::int64_t Engine::periodMicros() const
{
    return static_cast<std::int64_t>(output_->periodFrames()) * 1'000'000 / format_.sampleRate;
}

// --- UI thread ------------------------------------------------------------------------------------------------

void Engine::setFileName(const std::string& path)
{
    if (takeOverNext(path))
        return;
    // Opened before anything changes, so that a refused file leaves the current track as it was.
    std::unique_ptr<Decoder> decoder = openDecoder_(path, format_);
    if (!decoder)
        throw Failure("Cannot open '" + path + "': no decoder understands it");
    const std::int64_t length = std::max<std::int64_t>(decoder->lengthFrames(), 0);
    // Right after the end of a track (the advance), the new one follows the last frames still queued in the ring.
    const bool follow = loaded_ && ended_;
    {
        Lock lock(decodeMutex_);
        dropNext(false);
        decoder_.swap(decoder);
        lengthFrames_ = length;
        loaded_ = true;
        loadedFile_ = path;
        if (follow)
            queueSegment();
        else
            beginSegment(0, true);
    }
    // A track that follows is not heard before the last frames queued ahead of it: no need to wait for its first buffer.
    startPlaying(!follow);
    // The old decoder closes here, outside the locks.
}

void Engine::play()
{
    if (!loaded_)
        return;
    if (playing_) {
        if (!lease_.lost())
            return;
    }
    const std::int64_t at = position_.frame();
    {
        Lock lock(decodeMutex_);
        dropNext(false);
        beginSegment(ended_ || at >= lengthFrames_ ? 0 : at, true);
    }
    startPlaying(true);
}

void Engine::stop()
{
    if (!loaded_)
        return;
    {
        Lock lock(decodeMutex_);
        dropNext(false);
        beginSegment(0, false);
    }
    wakeDecoder_.post();
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
    {
        Lock lock(decodeMutex_);
        dropNext(false);
        beginSegment(frame, keepPlaying);
    }
    if (keepPlaying)
        startPlaying(true);
    else
        wakeDecoder_.post();
}

void Engine::setEndOfTrackHandler(EndOfTrackHandler handler) { endHandler_ = std::move(handler); }

void Engine::setMotionHandler(std::function<void()> handler) { motionHandler_ = std::move(handler); }

void Engine::expectNext(const std::string& path)
{
    // Told after every event, mostly the same: no lock then, which the decode thread may hold for a decode step.
    if (path == expected_)
        return;
    expected_ = path;
    {
        Lock lock(decodeMutex_);
        next_.expected = path;
        // Another file is expected now: an early track nobody hears yet goes (the track before it then ends as
        // it would without one); one already heard stays, for the advance to replace.
        if (next_.state != Early::none && next_.path != path)
            dropNext(true);
    }
    wakeDecoder_.post();
}

bool Engine::takeOverNext(const std::string& path)
{
    if (!advancing_)
        return false;
    std::unique_ptr<Decoder> ended;  // closed outside the lock
    {
        Lock lock(decodeMutex_);
        if (next_.state == Early::none || next_.path != path)
            return false;
        ended = std::move(next_.endingDecoder);
        next_.state = Early::none;
        lengthFrames_ = next_.length;
        loadedFile_ = path;
        playout_.takeOverEarly();
    }
    playing_ = true;
    ended_ = false;
    wakeDecoder_.post();  // its own end is now to be reported as any track's
    return true;
}

void Engine::dropNext(bool unlessHeard)
{
    if (next_.state == Early::none)
        return;
    const Playout::Drop drop = playout_.dropEarly(unlessHeard, EndClock::indexOf(next_.ending.mark), next_.endingId);
    if (drop == Playout::Drop::kept)
        return;
    if (drop == Playout::Drop::cut)
        endClock_.restore(next_.ending.mark);
    else
        endClock_.clear();
    std::unique_ptr<Decoder> early;
    early = std::move(decoder_);
    decoder_ = std::move(next_.endingDecoder);
    decoding_ = next_.ending;
    // The early track's id was never the UI thread's: the end still to come is the track before it's.
    segmentId_ = next_.endingId;
    if (next_.state == Early::previousEnded)
        decoding_.endPosted = true;
    next_.state = Early::none;
}

void Engine::setDeviceLostHandler(std::function<void(const std::string&)> handler)
{
    lostHandler_ = std::move(handler);
}

bool Engine::waitUntilBuffered(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    Lock lock(decodeMutex_);
    // At least one whole turn that begins after this call, so that it sees what the caller changed before (a
    // turn already under way may have looked past it); it also looks at the device (a lost one is reported),
    // which nothing else may ask for while the output's clock stands still.
    const std::uint64_t from = turnsBegun_;
    wakeDecoder_.post();
    while (turns_ <= from || !caughtUp()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        // The decode thread may sleep towards a time on the output's clock, which a test moves by hand.
        wakeDecoder_.post();
        buffered_.wait_for(decodeMutex_, std::chrono::milliseconds(5));
    }
    return true;
}

void Engine::restartDecoding(std::int64_t frame, bool playing)
{
    ++segmentId_;  // any end-of-track event still on its way belongs to an older segment and is dropped
    decoder_->seek(frame);
    decoding_ = Decoding{};
    decoding_.id = segmentId_;
    decoding_.active = playing;  // a stopped track is decoded when it plays, from where it plays
    decoding_.startedMicros = output_->clockMicros();
    playout_.setDecoderDone(false);
    endClock_.clear();
}

void Engine::beginSegment(std::int64_t frame, bool playing)
{
    restartDecoding(frame, playing);
    next_.state = Early::none;  // the UI thread dropped it first (dropNext)
    // The decode thread is parked by decodeMutex_, the callback by the playout's lock: nobody touches the ring
    // while it is emptied.
    playout_.begin(segmentId_, frame, lengthFrames_, playing);
    playing_ = playing;
    ended_ = false;
}

void Engine::queueSegment()
{
    if (queueBehind(lengthFrames_, false)) {
        position_.freeze(0);
    } else {
        beginSegment(0, true);  // more tracks within one device buffer than the queue holds: start this one afresh
    }
    playing_ = true;
    ended_ = false;
}

bool Engine::queueBehind(std::int64_t length, bool early)
{
    if (playout_.queueFull())
        return false;
    const std::uint64_t finished = decoding_.id;
    const std::int64_t written = decoding_.written;
    restartDecoding(0, true);
    playout_.queue(segmentId_, length, early, finished, written);
    return true;
}

void Engine::startPlaying(bool waitForFirstBuffer)
{
    wakeDecoder_.post();
    if (waitForFirstBuffer) {
        // The decode thread puts one device buffer in the ring first, so that the first callback plays at once.
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        Lock lock(decodeMutex_);
        while (!quit_ && decoding_.active && !decoding_.done && ring_.readable() < output_->periodFrames()
               && std::chrono::steady_clock::now() < until)
            buffered_.wait_for(decodeMutex_, std::chrono::milliseconds(20));
    }
    try {
        lease_.open();
    } catch (const Failure& failure) {
        {
            Lock lock(decodeMutex_);
            beginSegment(position_.frame(), false);
        }
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
    {
        Lock lock(decodeMutex_);
        const bool early = next_.state != Early::none && next_.endingId == segmentId;
        if (!early && segmentId != segmentId_)
            return;  // replaced, stopped or sought since the end was seen
    }
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
    Lock lock(decodeMutex_);
    if (next_.state != Early::none && next_.endingId == segmentId)
        dropNext(false);
}

// --- the device's callback -----------------------------------------------------------------------------------

bool Engine::render(std::span<float> out)
{
    const Playout::Rendered r = playout_.render(out);
    if (r.tellMotion)
        motionToPost_.store(true, std::memory_order_release);
    signalDecodeThread(r.active, r.nextHeard);
    return r.active;
}

void Engine::signalDecodeThread(bool active, bool nextHeard)
{
    const std::int64_t now = output_->clockMicros();
    lastCallbackMicros_.store(now, std::memory_order_relaxed);
    bool wake = false;
    if (lease_.onCallback(active, now))
        wake = true;  // to close the device once it has been idle long enough
    if (!playout_.decoderDone() && ring_.writable() >= ring_.capacity() / 2)
        wake = true;
    if (motionToPost_.load(std::memory_order_relaxed))
        wake = true;  // the decode thread posts the motion handler
    if (nextHeard)
        wake = true;  // the decode thread reports the end of the track before the early one
    if (endClock_.onCallback(ring_.readIndex(), now))
        wake = true;  // the decode thread posts the end when it is due
    if (wake)
        wakeDecoder_.post();
}

// --- the decode thread ---------------------------------------------------------------------------------------

void Engine::decodeLoop()
{
    for (;;) {
        std::vector<std::function<void()>> posts;
        const std::optional<std::int64_t> turn = decodeTurn(posts);
        if (!turn)
            return;
        std::int64_t lookAt = *turn;
        // Outside the lock: a test may run what is posted at once, and it calls back into the engine.
        for (auto& post : posts)
            postToUi_(std::move(post));
        {
            Lock lock(decodeMutex_);
            postsInFlight_ -= static_cast<int>(posts.size());
        }
        buffered_.notify_all();

        const DeviceLease::Check device = lease_.closeIfIdle();
        if (!device.lost.empty())
            reportNoSound(device.lost);
        const std::int64_t closeAt = device.lookAt;
        {
            Lock lock(decodeMutex_);
            ++turns_;
        }
        buffered_.notify_all();
        if (closeAt >= 0 && (lookAt < 0 || closeAt < lookAt))
            lookAt = closeAt;
        // Nothing to do until the callback, the UI thread or that time asks: no polling while idle.
        const std::int64_t micros =
            lookAt < 0 ? -1 : std::clamp<std::int64_t>(lookAt - output_->clockMicros(), 0, 1'000'000);
        wakeDecoder_.wait(micros);
    }
}

std::optional<std::int64_t> Engine::decodeTurn(std::vector<std::function<void()>>& posts)
{
    for (bool first = true;; first = false) {
        {
            Lock lock(decodeMutex_);
            if (quit_)
                return std::nullopt;
            if (first)
                ++turnsBegun_;
            if (!fillStep())
                break;
        }
        // Let a waiting UI thread in between steps, and tell it about the first buffer.
        buffered_.notify_all();
        std::this_thread::yield();
    }
    std::optional<NextOpening> opening;
    {
        Lock lock(decodeMutex_);
        if (quit_)
            return std::nullopt;
        const std::int64_t lookAt = afterFill(posts, opening);
        if (!opening)
            return collectPosts(posts, lookAt);
    }
    // A file that takes long to open (a SoundFont to load) keeps neither the UI thread nor the ring waiting.
    std::unique_ptr<Decoder> decoder;
    try {
        decoder = openDecoder_(opening->path, format_);
    } catch (const std::exception&) {
        // Not started early: the advance's own load meets the same failure and reports it as it does.
    }
    Lock lock(decodeMutex_);
    if (quit_)
        return std::nullopt;
    if (startNext(std::move(decoder), *opening))
        return collectPosts(posts, output_->clockMicros());  // fill the ring with it, then look again
    // Another track meanwhile: look at it at once.
    return collectPosts(posts, decoding_.id == opening->id ? postEndWhenDue(posts) : output_->clockMicros());
}

bool Engine::fillStep()
{
    while (decoder_ && decoding_.active && !decoding_.done && ring_.writable() > 0) {
        fillRing(decodeChunkFrames);
        // A track's first device buffer in one go: the callback starts a track only once that much is there.
        if (decoding_.written >= static_cast<std::int64_t>(output_->periodFrames()))
            return true;
    }
    return false;
}

std::int64_t Engine::collectPosts(std::vector<std::function<void()>>& posts, std::int64_t lookAt)
{
    if (motionToPost_.exchange(false, std::memory_order_acq_rel))
        posts.push_back([this, alive = alive_] {
            if (*alive && motionHandler_)
                motionHandler_();
        });
    postsInFlight_ += static_cast<int>(posts.size());
    return lookAt;
}

std::int64_t Engine::afterFill(std::vector<std::function<void()>>& posts, std::optional<NextOpening>& opening)
{
    if (next_.state != Early::none)
        return announceNext(posts);  // the early track's own end waits until the UI thread has taken it over
    if (!decoding_.active || !decoding_.done || decoding_.endPosted)
        return -1;
    if (decoding_.mark == EndClock::none) {
        // All of it is in the ring: from now on the callback can tell when its end is near. Already within the
        // next buffer, it is due counting from the callback's last call, or from the start of the track if none
        // came since.
        decoding_.mark = endClock_.mark(ring_.writeIndex());
        decoding_.due = endClock_.dueWhenMarked(
            decoding_.mark, ring_.readIndex(),
            std::max(lastCallbackMicros_.load(std::memory_order_relaxed), decoding_.startedMicros));
    }
    opening = nextToOpen();
    if (opening)
        return -1;
    return postEndWhenDue(posts);
}

std::int64_t Engine::postEndWhenDue(std::vector<std::function<void()>>& posts)
{
    decoding_.due = endClock_.due(decoding_.mark, decoding_.due);
    if (decoding_.due < 0)
        return -1;  // the callback wakes this thread when the end comes near
    if (output_->clockMicros() < decoding_.due)
        return decoding_.due;
    decoding_.endPosted = true;
    postEnd(posts, decoding_.id);
    return -1;
}

void Engine::postEnd(std::vector<std::function<void()>>& posts, std::uint64_t segmentId)
{
    posts.push_back([this, alive = alive_, segmentId] {
        if (*alive)
            onTrackEnded(segmentId);
    });
}

std::int64_t Engine::announceNext(std::vector<std::function<void()>>& posts)
{
    if (next_.state == Early::previousEnded)
        return -1;
    const std::int64_t heardAt = playout_.nextHeardMicros();
    if (heardAt < 0)
        return -1;  // the callback wakes this thread once the early track's first frame is out
    if (output_->clockMicros() < heardAt)
        return heardAt;
    next_.state = Early::previousEnded;
    postEnd(posts, next_.endingId);
    return -1;
}

std::optional<Engine::NextOpening> Engine::nextToOpen()
{
    const NextOpening opening{decoding_.id, next_.expected, EndClock::indexOf(decoding_.mark)};
    if (opening.path.empty() || (next_.triedFor == opening.id && next_.triedPath == opening.path)
        || ring_.readIndex() >= opening.end)
        return std::nullopt;
    next_.triedFor = opening.id;
    next_.triedPath = opening.path;
    return opening;
}

bool Engine::startNext(std::unique_ptr<Decoder> decoder, const NextOpening& opening)
{
    // Only what stopped, sought, loaded or expected meanwhile changes the plan; or a track before it that has all gone out.
    if (!decoder || decoding_.id != opening.id || decoding_.endPosted || next_.expected != opening.path
        || ring_.readIndex() >= opening.end)
        return false;
    NextTrack& n = next_;
    n.path = opening.path;
    n.length = std::max<std::int64_t>(decoder->lengthFrames(), 0);
    n.endingId = opening.id;
    n.ending = decoding_;
    n.endingDecoder = std::move(decoder_);
    decoder_ = std::move(decoder);
    playout_.forgetNextHeard();
    if (!queueBehind(n.length, true)) {
        decoder_.swap(n.endingDecoder);
        n.endingDecoder.reset();
        return false;
    }
    n.state = Early::queued;
    return true;
}

bool Engine::caughtUp()
{
    const bool filled = !decoder_ || !decoding_.active || decoding_.done || ring_.writable() == 0;
    const std::int64_t due = endClock_.due(decoding_.mark, decoding_.due);
    const std::int64_t nextHeard = playout_.nextHeardMicros();
    const bool endWaiting =
        next_.state != Early::none
            ? next_.state == Early::queued && nextHeard >= 0 && output_->clockMicros() >= nextHeard
            : decoding_.active && decoding_.done && !decoding_.endPosted
                  && (decoding_.mark == EndClock::none || (due >= 0 && output_->clockMicros() >= due));
    return filled && !endWaiting && postsInFlight_ == 0 && !motionToPost_.load(std::memory_order_acquire);
}

void Engine::fillRing(std::size_t frames)
{
    while (frames > 0 && !decoding_.done) {
        const std::size_t want = std::min({frames, ring_.writable(), decodeChunkFrames});
        if (want == 0)
            return;
        const std::size_t got = decoder_->read(scratch_.data(), want);
        if (got == 0) {
            decoding_.done = true;
            playout_.setDecoderDone(true);
            return;
        }
        ring_.write(std::span<const float>(scratch_.data(), got * static_cast<std::size_t>(format_.channels)));
        decoding_.written += static_cast<std::int64_t>(got);
        frames -= std::min(frames, got);
    }
}

}  // namespace tamro::audio
