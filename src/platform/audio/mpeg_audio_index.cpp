// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/mpeg_audio_index.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>

namespace tamro::audio {

namespace {

// What every MP3 decoder adds in front of the signal (the synthesis filter bank), on top of the encoder's delay.
constexpr std::int64_t decoderDelay = 529;

// Bytes searched for a frame, over the whole file, before the rest is taken for no audio. Real files hold a
// few kilobytes of junk at most; a sparse 2 GiB file of zeros would otherwise keep the window waiting for
// seconds on every start of it.
constexpr std::int64_t maxJunkBytes = std::int64_t{4} << 20;

// Frames kept in an index at most: about 60 hours at 44.1 kHz, 128 MiB. Past them a large file plays on, its
// frames found as they come.
constexpr std::size_t maxFrames = std::size_t{1} << 23;

// Bytes searched for a frame located by the average bit rate (after a seek into the part not walked yet).
constexpr std::int64_t locateBytes = std::int64_t{1} << 20;

// Bytes searched for a frame at each step of the search for where the frames of a large file stop.
constexpr std::int64_t probeBytes = 64 * 1024;

// Frames before the end from which the end of a large file is walked to count its frames exactly.
constexpr std::int64_t tailFrames = 8;

struct Header {
    int version = 0;   // 3 = MPEG-1, 2 = MPEG-2, 0 = MPEG-2.5
    int layer = 0;
    int rateIndex = 0;
    int bitrateIndex = 0;
    int bitrate = 0;  // bits per second
    bool mono = false;
    std::uint32_t size = 0;
    int samplesPerFrame = 0;
    int sampleRate = 0;
};

constexpr std::array<std::array<int, 15>, 5> bitrates{{
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},  // MPEG-1 layer I
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},     // MPEG-1 layer II
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},      // MPEG-1 layer III
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},     // MPEG-2/2.5 layer I
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},          // MPEG-2/2.5 layers II, III
}};

std::optional<Header> parseHeader(const std::uint8_t* p)
{
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
        return std::nullopt;
    Header h;
    h.version = (p[1] >> 3) & 3;
    const int layerBits = (p[1] >> 1) & 3;
    const int bitrateIndex = p[2] >> 4;
    h.rateIndex = (p[2] >> 2) & 3;
    // Free-format streams (bit rate index 0) are not supported: their frame size is not in the header.
    if (h.version == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || h.rateIndex == 3)
        return std::nullopt;
    h.layer = 4 - layerBits;
    const bool mpeg1 = h.version == 3;
    const int table = mpeg1 ? h.layer - 1 : (h.layer == 1 ? 3 : 4);
    const int bitrate = bitrates[static_cast<std::size_t>(table)][static_cast<std::size_t>(bitrateIndex)] * 1000;
    h.bitrateIndex = bitrateIndex;
    h.bitrate = bitrate;
    static constexpr std::array<int, 3> baseRates{44100, 48000, 32000};
    h.sampleRate = baseRates[static_cast<std::size_t>(h.rateIndex)] >> (mpeg1 ? 0 : (h.version == 2 ? 1 : 2));
    const int padding = (p[2] >> 1) & 1;
    h.mono = (p[3] >> 6) == 3;
    if (h.layer == 1) {
        h.size = static_cast<std::uint32_t>((12 * bitrate / h.sampleRate + padding) * 4);
        h.samplesPerFrame = 384;
    } else if (h.layer == 2 || mpeg1) {
        h.size = static_cast<std::uint32_t>(144 * bitrate / h.sampleRate + padding);
        h.samplesPerFrame = 1152;
    } else {
        h.size = static_cast<std::uint32_t>(72 * bitrate / h.sampleRate + padding);
        h.samplesPerFrame = 576;
    }
    return h;
}

bool sameStream(const Header& a, const Header& b)
{
    return a.version == b.version && a.layer == b.layer && a.rateIndex == b.rateIndex && a.mono == b.mono;
}

std::uint32_t bigEndian32(const std::uint8_t* p)
{
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

std::uint32_t littleEndian32(const std::uint8_t* p)
{
    return (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
}

// A cached stretch of the file, so that walking headers costs one read per megabyte, not one per frame.
class Window {
public:
    Window(std::int64_t size, const ReadAt& read) : size_(size), read_(read), buffer_(1 << 20) {}

    // The `n` bytes at `offset`, or nullptr when they are not all in the file.
    const std::uint8_t* at(std::int64_t offset, std::size_t n)
    {
        if (offset < 0 || n > buffer_.size() || offset + static_cast<std::int64_t>(n) > size_)
            return nullptr;
        if (offset < start_ || offset + static_cast<std::int64_t>(n) > start_ + static_cast<std::int64_t>(length_)) {
            start_ = offset;
            length_ = read_(offset, buffer_);
            if (length_ < n) {
                start_ = -1;
                length_ = 0;
                return nullptr;
            }
        }
        return buffer_.data() + (offset - start_);
    }

private:
    std::int64_t size_;
    const ReadAt& read_;
    std::vector<std::uint8_t> buffer_;
    std::int64_t start_ = -1;
    std::size_t length_ = 0;
};

std::optional<Header> confirmedFrame(Window& w, std::int64_t offset, std::int64_t end, const Header* ref);

// The first byte 0xFF (the start of every frame header) at or after `from`, or `end` when none comes before it.
std::int64_t nextSyncByte(Window& w, std::int64_t from, std::int64_t end)
{
    constexpr std::int64_t step = 64 * 1024;
    while (from < end) {
        const auto n = static_cast<std::size_t>(std::min(step, end - from));
        const std::uint8_t* p = w.at(from, n);
        if (!p)
            return end;
        if (const void* hit = std::memchr(p, 0xFF, n))
            return from + (static_cast<const std::uint8_t*>(hit) - p);
        from += static_cast<std::int64_t>(n);
    }
    return end;
}

// The next confirmed frame of the stream `ref` (any stream when null) at or after `from`, searching no further
// than `budget` bytes, which is lowered by what was searched. `end` when there is none within it.
std::int64_t nextConfirmedFrame(Window& w, std::int64_t from, std::int64_t end, const Header* ref, std::int64_t& budget,
                                std::optional<Header>* found = nullptr)
{
    const std::int64_t limit = from + std::min(budget, end - from);
    std::int64_t at = from;
    for (;;) {
        at = nextSyncByte(w, at, limit);
        if (at + 4 > end || at >= limit)
            break;
        if (auto h = confirmedFrame(w, at, end, ref)) {
            if (found)
                *found = h;
            budget -= at - from;
            return at;
        }
        ++at;
    }
    budget -= limit - from;
    return end;
}

std::int64_t skipId3v2(Window& w, std::int64_t offset)
{
    while (const std::uint8_t* p = w.at(offset, 10)) {
        if (std::memcmp(p, "ID3", 3) != 0 || p[3] == 0xFF || p[4] == 0xFF || ((p[6] | p[7] | p[8] | p[9]) & 0x80))
            break;
        const std::int64_t size = (std::int64_t{p[6]} << 21) | (std::int64_t{p[7]} << 14) | (std::int64_t{p[8]} << 7) | p[9];
        offset += 10 + size + ((p[5] & 0x10) ? 10 : 0);
    }
    return offset;
}

std::int64_t endBeforeTags(Window& w, std::int64_t end)
{
    if (const std::uint8_t* p = w.at(end - 128, 3); p && std::memcmp(p, "TAG", 3) == 0)
        end -= 128;
    if (const std::uint8_t* p = w.at(end - 32, 32); p && std::memcmp(p, "APETAGEX", 8) == 0) {
        const std::int64_t size = std::int64_t{littleEndian32(p + 12)} + ((littleEndian32(p + 20) & 0x80000000u) ? 32 : 0);
        if (size <= end)
            end -= size;
    }
    return end;
}

// A frame at `offset` of the stream `ref` that is followed by another one, or by the end.
std::optional<Header> confirmedFrame(Window& w, std::int64_t offset, std::int64_t end, const Header* ref)
{
    const std::uint8_t* p = w.at(offset, 4);
    if (!p || p[0] != 0xFF)
        return std::nullopt;
    auto h = parseHeader(p);
    if (!h || (ref && !sameStream(*ref, *h)) || offset + h->size > end)
        return std::nullopt;
    const std::int64_t next = offset + h->size;
    if (next == end)
        return h;
    const std::uint8_t* q = next + 4 <= end ? w.at(next, 4) : nullptr;
    if (!q)
        return std::nullopt;
    auto following = parseHeader(q);
    if (!following || !sameStream(*h, *following))
        return std::nullopt;
    return h;
}

struct Gapless {
    bool known = false;
    std::int64_t delay = 0;
    std::int64_t padding = 0;
    std::int64_t frames = 0;  // as the tag counts them, 0 when it does not say
    // What a Xing/Info or VBRI header says of the audio frames after it and of the bytes with it: 0 when it
    // does not say both.
    std::int64_t headerFrames = 0;
    std::int64_t headerBytes = 0;
};

// Whether the frame at `offset` is a Xing/Info or VBRI tag rather than audio; fills in what a LAME tag says.
bool isTagFrame(Window& w, std::int64_t offset, const Header& h, Gapless& gapless)
{
    if (h.layer != 3)
        return false;
    const std::uint8_t* frame = w.at(offset, h.size);
    if (!frame)
        return false;
    const std::size_t sideInfo = h.version == 3 ? (h.mono ? 17 : 32) : (h.mono ? 9 : 17);
    const std::size_t xing = 4 + sideInfo;
    if (xing + 8 <= h.size && (std::memcmp(frame + xing, "Xing", 4) == 0 || std::memcmp(frame + xing, "Info", 4) == 0)) {
        const std::uint32_t flags = bigEndian32(frame + xing + 4);
        std::size_t at = xing + 8;
        std::int64_t bytes = 0;
        if (flags & 1) {
            if (at + 4 <= h.size)
                gapless.frames = bigEndian32(frame + at);
            at += 4;
        }
        if (flags & 2) {
            if (at + 4 <= h.size)
                bytes = bigEndian32(frame + at);
            at += 4;
        }
        if (gapless.frames > 0 && bytes > 0) {
            gapless.headerFrames = gapless.frames;
            gapless.headerBytes = bytes;
        }
        at += (flags & 4) ? 100 : 0;
        at += (flags & 8) ? 4 : 0;
        if (at + 24 <= h.size) {
            const std::uint8_t* lame = frame + at;
            if (std::memcmp(lame, "LAME", 4) == 0 || std::memcmp(lame, "Lavf", 4) == 0 || std::memcmp(lame, "Lavc", 4) == 0) {
                gapless.known = true;
                gapless.delay = (lame[21] << 4) | (lame[22] >> 4);
                gapless.padding = ((lame[22] & 0x0F) << 8) | lame[23];
            }
        }
        return true;
    }
    if (36 + 18 > h.size || std::memcmp(frame + 36, "VBRI", 4) != 0)
        return false;
    gapless.headerBytes = bigEndian32(frame + 36 + 10);
    gapless.headerFrames = bigEndian32(frame + 36 + 14);
    return true;
}

// The size of a frame of `h`'s stream at the lowest and at the highest bit rate (with padding).
std::pair<double, double> frameSizeRange(const Header& h)
{
    const bool mpeg1 = h.version == 3;
    const auto& table = bitrates[static_cast<std::size_t>(mpeg1 ? h.layer - 1 : (h.layer == 1 ? 3 : 4))];
    const double bytesPerBit = h.samplesPerFrame / 8.0 / h.sampleRate;
    return {table[1] * 1000 * bytesPerBit, table[14] * 1000 * bytesPerBit + (h.layer == 1 ? 4 : 1)};
}

// Whether a header's count of bytes fits the size of the audio and its count of frames the bytes after the
// `walked` ones, at a mean frame size not far from theirs: a header left over from an edit or a join does not.
bool headerFits(const Gapless& g, std::int64_t audioBytes, std::int64_t walked, double walkedMean, std::int64_t restBytes,
                const Header& h)
{
    if (g.headerFrames <= walked || g.headerBytes <= 0)
        return false;
    if (std::abs(g.headerBytes - audioBytes) > audioBytes / 100)
        return false;
    const auto [smallest, largest] = frameSizeRange(h);
    const auto rest = static_cast<double>(g.headerFrames - walked);
    const double restMean = static_cast<double>(restBytes) / rest;
    return restMean >= smallest - 1 && restMean <= largest && restMean >= walkedMean / 1.5 && restMean <= walkedMean * 1.5;
}

// Where the frames after `from` stop. They normally run up to the tags at the end; where the last bytes hold none
// (a file padded with zeros), the stretch between a place with frames and one without is halved until it is
// small, and the frames are walked from there.
std::int64_t framesEnd(Window& w, std::int64_t from, std::int64_t end, const Header& stream)
{
    const auto framesAt = [&](std::int64_t offset) {
        std::int64_t budget = probeBytes;
        return nextConfirmedFrame(w, offset, end, &stream, budget);
    };
    std::int64_t none = std::max(from, end - probeBytes);
    if (framesAt(none) < end)
        return end;
    std::int64_t some = from;
    while (none - some > probeBytes) {
        const std::int64_t middle = some + (none - some) / 2;
        if (framesAt(middle) < end)
            some = middle;
        else
            none = middle;
    }
    std::int64_t at = framesAt(some);
    while (at + 4 <= end) {
        const std::uint8_t* p = w.at(at, 4);
        const auto h = p ? parseHeader(p) : std::nullopt;
        if (!h || !sameStream(stream, *h) || at + h->size > end)
            break;
        at += h->size;
    }
    return std::min(at, end);
}

}  // namespace

std::optional<MpegAudioIndex> indexMpegAudio(std::int64_t fileSize, const ReadAt& read, std::int64_t walkLimit)
{
    Window w(fileSize, read);
    const std::int64_t end = endBeforeTags(w, fileSize);
    std::int64_t offset = skipId3v2(w, 0);

    // The first frame: the first header followed by a matching one.
    std::int64_t junkBudget = maxJunkBytes;
    std::optional<Header> first;
    offset = nextConfirmedFrame(w, offset, end, nullptr, junkBudget, &first);
    if (!first)
        return std::nullopt;

    MpegAudioIndex index;
    index.layer = first->layer;
    index.sampleRate = first->sampleRate;
    index.channels = first->mono ? 1 : 2;
    index.samplesPerFrame = first->samplesPerFrame;
    index.audioEnd = end;
    // Grown as frames are found: a file padded with gigabytes of zeros would otherwise reserve for them.
    index.frames.reserve(static_cast<std::size_t>(std::min<std::int64_t>((end - offset) / first->size + 16, 1 << 16)));

    Gapless gapless;
    const std::int64_t audioStart = offset;
    if (isTagFrame(w, offset, *first, gapless))
        offset += first->size;

    std::optional<Header> audio;  // the first audio frame's
    int bitrateIndex = 0;         // of every audio frame walked, 0 once they differ
    while (offset + 4 <= end && index.frames.size() < maxFrames) {
        if (offset >= walkLimit) {
            index.complete = false;
            break;
        }
        const std::uint8_t* p = w.at(offset, 4);
        auto h = p ? parseHeader(p) : std::nullopt;
        if (h && sameStream(*first, *h) && offset + h->size <= end) {
            if (index.frames.empty()) {
                audio = h;
                bitrateIndex = h->bitrateIndex;
            } else if (bitrateIndex != h->bitrateIndex) {
                bitrateIndex = 0;
            }
            index.frames.push_back({offset, h->size});
            offset += h->size;
            continue;
        }
        // Not a frame where one should start: look for the next confirmed one, within what junk may cost.
        if (junkBudget <= 0)
            break;
        offset = nextConfirmedFrame(w, offset + 1, end, &*first, junkBudget);
    }
    if (index.frames.empty())
        return std::nullopt;
    index.junkBudget = junkBudget;
    const auto walked = static_cast<std::int64_t>(index.frames.size());
    index.frameCount = walked;

    if (!index.complete) {
        const MpegFrame& last = index.frames.back();
        index.audioEnd = framesEnd(w, last.offset + last.size, end, *audio);
        index.complete = index.audioEnd - (last.offset + last.size) < 4;
    }
    if (!index.complete) {
        // The rest, from the size: as the header counts it where one fits, at the one bit rate of a constant
        // stream, or at the walked frames' mean.
        const MpegFrame& last = index.frames.back();
        const std::int64_t restStart = last.offset + last.size;
        const std::int64_t restBytes = index.audioEnd - restStart;
        const std::int64_t spf = index.samplesPerFrame;
        bool counted = false;
        const double walkedMean = static_cast<double>(restStart - index.frames.front().offset) / static_cast<double>(walked);
        const double nominal = static_cast<double>(spf) * audio->bitrate / 8.0 / audio->sampleRate;
        if (headerFits(gapless, index.audioEnd - audioStart, walked, walkedMean, restBytes, *audio)) {
            index.frameCount = gapless.headerFrames;
            index.bytesPerFrame = static_cast<double>(restBytes) / static_cast<double>(gapless.headerFrames - walked);
            counted = true;
        } else if (bitrateIndex != 0) {
            // An encoder pads frames so that their sizes add up to the nominal bit rate's within a byte: then
            // that mean locates a frame to the byte however far it is. A stream that does not pad has its own.
            const bool padded = std::abs(walkedMean - nominal) * static_cast<double>(walked) <= 2;
            index.bytesPerFrame = padded ? nominal : walkedMean;
            index.frameCount = walked + static_cast<std::int64_t>(static_cast<double>(restBytes) / index.bytesPerFrame);
        } else {
            index.bytesPerFrame = walkedMean;
            index.frameCount = walked + std::llround(static_cast<double>(restBytes) / index.bytesPerFrame);
        }
        if (!counted) {
            // The last frames, walked from where the count puts them, say where the count really ends.
            MpegFrameWalker tail(index, read);
            tail.restart(index.frameCount - tailFrames);
            std::int64_t lastNumber = -1;
            std::optional<MpegFrameWalker::Found> found;
            for (int steps = 0; steps <= 4 * tailFrames && (found = tail.next()); ++steps)
                lastNumber = found->number;
            if (!found && lastNumber >= walked)
                index.frameCount = lastNumber + 1;
            index.frames.resize(static_cast<std::size_t>(walked));
        }
    }

    const std::int64_t spf = index.samplesPerFrame;
    const std::int64_t total = index.frameCount * spf;
    if (gapless.known) {
        // A large file's tag counts only where it fits the size.
        const bool trusted = index.complete || index.frameCount == gapless.frames;
        const std::int64_t frames = gapless.frames > 0 && trusted ? gapless.frames : index.frameCount;
        index.skipStart = std::min(total, gapless.delay + decoderDelay);
        const std::int64_t endSample = std::min(total, frames * spf - gapless.padding + decoderDelay);
        index.lengthSamples = std::max<std::int64_t>(0, endSample - index.skipStart);
    } else {
        index.lengthSamples = total;
    }
    return index;
}

struct MpegFrameWalker::State {
    State(std::int64_t fileSize, const ReadAt& read) : window(fileSize, read) {}
    Window window;
    Header stream;
    std::int64_t number = 0;
    std::int64_t offset = 0;  // where frame `number` starts, or where the search for it starts
    bool walkedOn = true;     // frame `number` follows the walked ones: found, it joins the index
    bool locating = false;    // `offset` is where the average bit rate puts it: search from there
    std::int64_t junkBudget = maxJunkBytes;
};

MpegFrameWalker::MpegFrameWalker(MpegAudioIndex& index, ReadAt read)
    : index_(index), read_(std::move(read)), state_(std::make_unique<State>(index.audioEnd, read_))
{
    if (!index_.frames.empty()) {
        if (const std::uint8_t* p = state_->window.at(index_.frames.front().offset, 4))
            state_->stream = parseHeader(p).value_or(Header{});
    }
    restart(0);
}

MpegFrameWalker::~MpegFrameWalker() = default;

void MpegFrameWalker::restart(std::int64_t number)
{
    State& s = *state_;
    s.number = std::max<std::int64_t>(number, 0);
    s.junkBudget = index_.junkBudget;
    s.locating = false;
    s.walkedOn = true;
    const auto known = static_cast<std::int64_t>(index_.frames.size());
    if (s.number < known || index_.complete || known == 0)
        return;
    const MpegFrame& last = index_.frames.back();
    const std::int64_t base = last.offset + last.size;
    const std::int64_t beyond = s.number - known;
    s.offset = base;
    if (beyond > 0) {
        // A frame may start a byte before or after where the mean puts it: search from just before.
        const auto estimate = base + static_cast<std::int64_t>(static_cast<double>(beyond) * index_.bytesPerFrame) - 2;
        s.offset = std::clamp(estimate, base, index_.audioEnd);
        s.locating = true;
        s.walkedOn = false;
    }
}

std::optional<MpegFrameWalker::Found> MpegFrameWalker::next()
{
    State& s = *state_;
    auto& frames = index_.frames;
    if (s.number < static_cast<std::int64_t>(frames.size())) {
        const MpegFrame frame = frames[static_cast<std::size_t>(s.number)];
        s.offset = frame.offset + frame.size;
        s.walkedOn = true;
        s.locating = false;
        return Found{s.number++, frame};
    }
    if (index_.complete || s.stream.layer == 0)
        return std::nullopt;
    const std::int64_t end = index_.audioEnd;
    if (s.locating) {
        s.locating = false;
        std::int64_t budget = locateBytes;
        s.offset = nextConfirmedFrame(s.window, s.offset, end, &s.stream, budget);
    }
    for (;;) {
        if (s.offset + 4 > end)
            return std::nullopt;
        const std::uint8_t* p = s.window.at(s.offset, 4);
        auto h = p ? parseHeader(p) : std::nullopt;
        if (h && sameStream(s.stream, *h) && s.offset + h->size <= end) {
            const Found found{s.number, {s.offset, h->size}};
            if (s.walkedOn && s.number == static_cast<std::int64_t>(frames.size()) && frames.size() < maxFrames)
                frames.push_back(found.frame);
            ++s.number;
            s.offset += h->size;
            return found;
        }
        if (s.junkBudget <= 0)
            return std::nullopt;
        s.offset = nextConfirmedFrame(s.window, s.offset + 1, end, &s.stream, s.junkBudget);
    }
}

}  // namespace tamro::audio
