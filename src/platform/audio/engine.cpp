#include "platform/audio/engine.h"

#include "base/failure.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace tamro::audio {
namespace {

// About a second and a half of audio at 48 kHz: the decode thread wakes about twice a second.
std::size_t ringFramesFor(const OutputFormat& format) { return static_cast<std::size_t>(format.sampleRate); }

// Frames decoded per step; the UI thread waits at most for one step when it seeks or loads.
constexpr std::size_t decodeChunkFrames = 4096;

// The published position: frame (34 bits: 99 hours at 48 kHz) | gliding flag | clock in µs, modulo 2^29
// (nine minutes; only differences over one device buffer are taken).
constexpr int frameShift = 30;
constexpr std::uint64_t glidingBit = std::uint64_t{1} << 29;
constexpr std::uint64_t clockMask = glidingBit - 1;
constexpr std::int64_t maxFrame = (std::int64_t{1} << 34) - 1;

std::uint64_t frozenAt(std::int64_t frame)
{
    return static_cast<std::uint64_t>(std::clamp<std::int64_t>(frame, 0, maxFrame)) << frameShift;
}
std::uint64_t glidingFrom(std::int64_t frame, std::int64_t clockMicros)
{
    return frozenAt(frame) | glidingBit | (static_cast<std::uint64_t>(clockMicros) & clockMask);
}
std::int64_t frameOf(std::uint64_t published) { return static_cast<std::int64_t>(published >> frameShift); }

std::string lostDescription(const std::string& reason) { return "The audio device was lost: " + reason; }

}  // namespace

Engine::Engine(std::unique_ptr<AudioOutput> output, DecoderFactory openDecoder, PostToUi postToUi)
    : output_(std::move(output)),
      format_(output_->format()),
      openDecoder_(std::move(openDecoder)),
      postToUi_(std::move(postToUi)),
      ring_(ringFramesFor(format_), format_.channels),
      scratch_(decodeChunkFrames * static_cast<std::size_t>(format_.channels)),
      glideMicros_(output_->periodFrames() * 1'000'000 / static_cast<std::size_t>(format_.sampleRate)),
      glideLimitMicros_(glideMicros_)
{
    if (!openDecoder_ || !postToUi_)
        throw Failure("The audio engine needs a decoder factory and a way to reach the UI thread");
    decodeThread_ = std::thread([this] { decodeLoop(); });
    output_->start([this](std::span<float> out) { return render(out); });
}

Engine::~Engine()
{
    *alive_ = false;
    output_->halt();
    {
        std::lock_guard lock(decodeMutex_);
        quit_ = true;
    }
    decodeWake_.notify_all();
    decodeThread_.join();
}

void Engine::setFileName(const std::string& path)
{
    throwIfDeviceLost();
    // Opened before anything changes, so that a refused file leaves the current track as it was.
    std::unique_ptr<Decoder> decoder = openDecoder_(path, format_);
    if (!decoder)
        throw Failure("Cannot open '" + path + "': no decoder understands it");
    const std::int64_t length = std::max<std::int64_t>(decoder->lengthFrames(), 0);
    {
        std::lock_guard lock(decodeMutex_);
        decoder_.swap(decoder);
        lengthFrames_ = length;
        loaded_ = true;
        loadedFile_ = path;
        beginSegment(0, true);
    }
    decodeWake_.notify_all();
    output_->wake();
    // The old decoder closes here, outside the locks.
}

void Engine::play()
{
    throwIfDeviceLost();
    if (!loaded_ || playing_)
        return;
    const std::int64_t at = frameOf(heard_.load(std::memory_order_relaxed));
    {
        std::lock_guard lock(decodeMutex_);
        beginSegment(ended_ || at >= lengthFrames_ ? 0 : at, true);
    }
    decodeWake_.notify_all();
    output_->wake();
}

void Engine::stop()
{
    if (!loaded_)
        return;
    {
        std::lock_guard lock(decodeMutex_);
        beginSegment(0, false);
    }
    decodeWake_.notify_all();
}

double Engine::length() { return static_cast<double>(lengthFrames_) / format_.sampleRate; }

double Engine::position()
{
    const std::uint64_t published = heard_.load(std::memory_order_acquire);
    std::int64_t frame = frameOf(published);
    if (published & glidingBit) {
        // Between two callbacks the device plays on: add the time since the last one, at most one buffer (or
        // the rest of the tail while the output rests behind it).
        // A glide may start in the future (a track queued behind another's tail): a negative difference,
        // that is the upper half of the clock's range, means not yet.
        const std::uint64_t elapsed = (static_cast<std::uint64_t>(output_->clockMicros()) - published) & clockMask;
        const std::uint64_t limit = glideLimitMicros_.load(std::memory_order_relaxed);
        if (elapsed < (clockMask >> 1)) {
            frame += static_cast<std::int64_t>(std::min(elapsed, limit)) * format_.sampleRate / 1'000'000;
            // A glide that has run its course is frozen where it stopped, before the clock field wraps round
            // (the output may rest for minutes behind a track's tail). A callback publishing meanwhile wins.
            if (elapsed >= limit) {
                std::uint64_t expected = published;
                heard_.compare_exchange_strong(expected, frozenAt(frame), std::memory_order_relaxed);
            }
        }
    }
    return static_cast<double>(std::min(frame, lengthFrames_)) / format_.sampleRate;
}

void Engine::setPosition(double seconds)
{
    throwIfDeviceLost();
    if (!loaded_)
        return;
    std::int64_t frame = 0;
    if (seconds > 0.0) {  // also maps NaN to the start
        const double frames = seconds * format_.sampleRate;
        frame = frames >= static_cast<double>(lengthFrames_) ? lengthFrames_ : std::llround(frames);
    }
    const bool keepPlaying = playing_;
    {
        std::lock_guard lock(decodeMutex_);
        beginSegment(frame, keepPlaying);
    }
    decodeWake_.notify_all();
    if (keepPlaying)
        output_->wake();
}

void Engine::setEndOfTrackHandler(EndOfTrackHandler handler) { endHandler_ = std::move(handler); }

void Engine::setDeviceLostHandler(std::function<void(const std::string&)> handler)
{
    lostHandler_ = std::move(handler);
}

bool Engine::waitUntilBuffered(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(decodeMutex_);
    wakeDecoder_ = true;
    decodeWake_.notify_all();
    return buffered_.wait_for(lock, timeout, [this] {
        return !decoder_ || decoderDone_.load(std::memory_order_acquire) || ring_.writable() == 0;
    });
}

void Engine::beginSegment(std::int64_t frame, bool playing)
{
    ++segmentId_;  // any end-of-track event still on its way belongs to an older segment and is dropped
    decoder_->seek(frame);
    decoderDone_.store(false, std::memory_order_relaxed);
    {
        // The callback holds this lock while it reads the ring, and the decode thread is parked by
        // decodeMutex_: nobody touches the ring while it is emptied.
        std::lock_guard lock(stateMutex_);
        ring_.reset();
        segment_ = Segment{};
        segment_.id = segmentId_;
        segment_.base = frame;
        segment_.end = lengthFrames_;
        segment_.playing = playing;
        wantsFrames_.store(playing, std::memory_order_release);
        heard_.store(frozenAt(frame), std::memory_order_relaxed);
    }
    playing_ = playing;
    ended_ = false;
    wakeDecoder_ = true;  // the ring is nearly empty: the decode thread must not sleep out its period
    // Prime one device buffer now, so the first callback after this plays at once.
    if (playing)
        fillRing(output_->periodFrames());
}

void Engine::fillRing(std::size_t frames)
{
    while (frames > 0 && !decoderDone_.load(std::memory_order_relaxed)) {
        const std::size_t want = std::min({frames, ring_.writable(), decodeChunkFrames});
        if (want == 0)
            return;
        const std::size_t got = decoder_->read(scratch_.data(), want);
        if (got == 0) {
            decoderDone_.store(true, std::memory_order_release);
            return;
        }
        ring_.write(std::span<const float>(scratch_.data(), got * static_cast<std::size_t>(format_.channels)));
        frames -= std::min(frames, got);
    }
}

bool Engine::render(std::span<float> out)
{
    const std::size_t channels = static_cast<std::size_t>(format_.channels);
    const std::size_t frames = out.size() / channels;
    // When a track starts the device asks for several buffers in a row, faster than the decode thread may get
    // scheduled on a busy machine. The device then holds at least a buffer, so wait a little rather than hand
    // it a gap of silence. The same patience lets the next track follow the end of one in the same buffer.
    const auto patience = std::chrono::microseconds(output_->renderMayWait() ? glideMicros_ / 4 : 0);
    awaitFrames(frames, std::chrono::steady_clock::now() + patience, false);
    std::unique_lock lock(stateMutex_, std::try_to_lock);
    if (!lock) {
        // The UI thread is switching segments this very moment: a buffer of silence, and try again.
        std::fill(out.begin(), out.end(), 0.0f);
        deviceFrames_ += static_cast<std::int64_t>(frames);
        return true;
    }
    std::size_t filled = 0;
    std::uint64_t ended = 0;   // the track whose last frames went out in this buffer
    std::uint64_t unposted = 0;  // a track ended here whose end is still to be posted
    for (;;) {
        filled = take(out, filled);
        Segment& s = segment_;
        if (!s.playing || !s.handedOut)
            break;
        // Every frame of the track is in the device: the track has played to its end as far as the engine is
        // concerned. Ending it now, rather than once the device has sounded the tail, lets the advance load the
        // next track while this buffer is still open, so that it follows without the silence that would
        // otherwise fill the buffer and the device.
        s.playing = false;
        ended = unposted = s.id;
        if (filled == frames || patience.count() == 0)
            break;
        lock.unlock();
        postEnd(std::exchange(unposted, 0));
        const bool next = awaitFrames(frames - filled, std::chrono::steady_clock::now() + patience, true);
        lock.lock();
        if (!next || !segment_.playing)
            break;
    }
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(filled * channels), out.end(), 0.0f);
    deviceFrames_ += static_cast<std::int64_t>(frames);
    publishHeard(ended);
    const bool more = segment_.playing;
    lock.unlock();

    if (unposted != 0)
        postEnd(unposted);
    return more;
}

std::size_t Engine::take(std::span<float> out, std::size_t filled)
{
    Segment& s = segment_;
    if (!s.playing || s.handedOut)
        return filled;
    const std::size_t channels = static_cast<std::size_t>(format_.channels);
    const std::size_t frames = out.size() / channels;
    const std::size_t left = static_cast<std::size_t>(std::max<std::int64_t>(s.end - s.base - s.consumed, 0));
    const std::size_t got = ring_.read(out.subspan(filled * channels, std::min(frames - filled, left) * channels));
    s.consumed += static_cast<std::int64_t>(got);
    filled += got;
    if (got > 0)
        s.lastRealEnd = deviceFrames_ + static_cast<std::int64_t>(filled);
    // Done when the length is reached, or when the decoder ended early (a corrupt tail) and all it gave is out.
    if (s.base + s.consumed >= s.end
        || (filled < frames && decoderDone_.load(std::memory_order_acquire) && ring_.readable() == 0))
        s.handedOut = true;
    wantsFrames_.store(!s.handedOut, std::memory_order_relaxed);
    return filled;
}

bool Engine::awaitFrames(std::size_t frames, std::chrono::steady_clock::time_point deadline, bool nextTrack)
{
    for (;;) {
        const bool wants = wantsFrames_.load(std::memory_order_acquire);
        if (wants && (ring_.readable() >= frames || decoderDone_.load(std::memory_order_acquire)))
            return true;
        if ((!wants && !nextTrack) || std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(250));
    }
}

void Engine::publishHeard(std::uint64_t ended)
{
    const Segment& s = segment_;
    if (!s.playing && s.id != ended)
        return;  // stopped, sought while stopped, or over: the UI thread or an earlier callback published it
    // Track frames handed out after the point being heard now; more than were handed out while the device
    // still sounds what came before them (the previous track's tail).
    const std::int64_t heardDevice = deviceFrames_ - output_->delayFrames();
    const std::int64_t ahead = s.lastRealEnd - heardDevice;
    const std::int64_t unheard = std::clamp<std::int64_t>(ahead, 0, s.consumed);
    const auto rate = static_cast<std::int64_t>(format_.sampleRate);
    const auto micros = [rate](std::int64_t frames) { return (frames * 1'000'000 + rate - 1) / rate; };
    if (s.playing && s.consumed == 0) {
        heard_.store(frozenAt(s.base), std::memory_order_release);  // nothing of it is in the device yet
    } else if (s.playing) {
        // Glide on for one buffer at most, starting once the track's first frame is due.
        glideLimitMicros_.store(glideMicros_, std::memory_order_relaxed);
        const std::int64_t due = micros(std::max<std::int64_t>(ahead - s.consumed, 0));
        heard_.store(glidingFrom(s.base + s.consumed - unheard, output_->clockMicros() + due), std::memory_order_release);
    } else {
        // No callback may come until the next track: glide through the tail to the length (rounded up to whole
        // microseconds, which still gives less than one frame more). A track that decoded short ends at its
        // length all the same.
        glideLimitMicros_.store(static_cast<std::uint64_t>(micros(unheard)), std::memory_order_relaxed);
        heard_.store(glidingFrom(s.end - unheard, output_->clockMicros()), std::memory_order_release);
    }
}

void Engine::postEnd(std::uint64_t segmentId)
{
    postToUi_([this, alive = alive_, segmentId] {
        if (*alive)
            onTrackEnded(segmentId);
    });
}

void Engine::onTrackEnded(std::uint64_t segmentId)
{
    if (segmentId != segmentId_)
        return;  // replaced, stopped or sought since the callback saw the end
    playing_ = false;
    ended_ = true;
    if (endHandler_)
        endHandler_(0);
}

void Engine::decodeLoop()
{
    std::unique_lock lock(decodeMutex_);
    while (!quit_) {
        wakeDecoder_ = false;
        while (!quit_ && decoder_ && !decoderDone_.load(std::memory_order_relaxed) && ring_.writable() > 0) {
            fillRing(decodeChunkFrames);
            // Let a waiting UI thread in between steps.
            lock.unlock();
            std::this_thread::yield();
            lock.lock();
        }
        buffered_.notify_all();

        const std::string lost = output_->lostReason();
        if (!lost.empty() && !lostReported_) {
            lostReported_ = true;
            postToUi_([this, alive = alive_, description = lostDescription(lost)] {
                if (*alive && lostHandler_)
                    lostHandler_(description);
            });
        }

        // Sleep until half the ring has been played, or until told to look again.
        const auto sleep =
            std::chrono::milliseconds(500 * static_cast<long long>(ring_.capacity()) / format_.sampleRate);
        decodeWake_.wait_for(lock, sleep, [this] { return quit_ || wakeDecoder_; });
    }
}

void Engine::throwIfDeviceLost() const
{
    const std::string lost = output_->lostReason();
    if (!lost.empty())
        throw Failure(lostDescription(lost));
}

}  // namespace tamro::audio
