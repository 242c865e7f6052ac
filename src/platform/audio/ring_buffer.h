// SPDX-License-Identifier: GPL-3.0-or-later
// A lock-free single-producer single-consumer ring of interleaved float frames, between the decode thread and
// the audio callback. One thread writes and one reads; reset() only while neither does.
#pragma once

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tamro::audio {

class RingBuffer {
public:
    // The capacity is rounded up to a power of two so that an index maps to a slot with a mask.
    RingBuffer(std::size_t capacityFrames, int channels)
        : channels_(static_cast<std::size_t>(channels)),
          capacity_(std::bit_ceil(std::max<std::size_t>(capacityFrames, 1))),
          samples_(capacity_ * channels_)
    {
    }
    RingBuffer(const RingBuffer&) = delete;
    RingBuffer& operator=(const RingBuffer&) = delete;

    std::size_t capacity() const { return capacity_; }
    int channels() const { return static_cast<int>(channels_); }

    // Frames waiting to be read (exact for the consumer, a lower bound for anyone else).
    std::size_t readable() const
    {
        return static_cast<std::size_t>(write_.load(std::memory_order_acquire) - read_.load(std::memory_order_acquire));
    }
    // Room for frames (exact for the producer, a lower bound for anyone else).
    std::size_t writable() const { return capacity_ - readable(); }

    // Frames ever written and ever read since the last reset: the producer's and the consumer's own counters
    // (exact for their owner, a lower bound for anyone else).
    std::uint64_t writeIndex() const { return write_.load(std::memory_order_acquire); }
    std::uint64_t readIndex() const { return read_.load(std::memory_order_acquire); }

    // Producer: copies as many whole frames as fit; returns how many.
    std::size_t write(std::span<const float> interleaved)
    {
        const std::uint64_t w = write_.load(std::memory_order_relaxed);
        const std::uint64_t r = read_.load(std::memory_order_acquire);
        const std::size_t room = capacity_ - static_cast<std::size_t>(w - r);
        const std::size_t frames = std::min(room, interleaved.size() / channels_);
        copyIn(w, interleaved.data(), frames);
        write_.store(w + frames, std::memory_order_release);
        return frames;
    }

    // Consumer: copies up to out.size() / channels frames; returns how many.
    std::size_t read(std::span<float> out)
    {
        const std::uint64_t r = read_.load(std::memory_order_relaxed);
        const std::uint64_t w = write_.load(std::memory_order_acquire);
        const std::size_t frames = std::min(static_cast<std::size_t>(w - r), out.size() / channels_);
        copyOut(r, out.data(), frames);
        read_.store(r + frames, std::memory_order_release);
        return frames;
    }

    // Forgets what was written from writeIndex on, none of which has been read. Only while neither side runs.
    void truncate(std::uint64_t writeIndex) { write_.store(writeIndex, std::memory_order_relaxed); }

    // Empties the ring. Only while neither side runs (the engine holds both sides' locks).
    void reset()
    {
        read_.store(0, std::memory_order_relaxed);
        write_.store(0, std::memory_order_relaxed);
    }

private:
    void copyIn(std::uint64_t index, const float* from, std::size_t frames)
    {
        const std::size_t slot = static_cast<std::size_t>(index & (capacity_ - 1));
        const std::size_t first = std::min(frames, capacity_ - slot);
        std::copy_n(from, first * channels_, samples_.data() + slot * channels_);
        std::copy_n(from + first * channels_, (frames - first) * channels_, samples_.data());
    }
    void copyOut(std::uint64_t index, float* to, std::size_t frames) const
    {
        const std::size_t slot = static_cast<std::size_t>(index & (capacity_ - 1));
        const std::size_t first = std::min(frames, capacity_ - slot);
        std::copy_n(samples_.data() + slot * channels_, first * channels_, to);
        std::copy_n(samples_.data(), (frames - first) * channels_, to + first * channels_);
    }

    const std::size_t channels_;
    const std::size_t capacity_;
    std::vector<float> samples_;
    // Frame counters that only grow; their difference is the fill. Apart, so the two threads do not share a line.
    alignas(64) std::atomic<std::uint64_t> write_{0};
    alignas(64) std::atomic<std::uint64_t> read_{0};
};

}  // namespace tamro::audio
