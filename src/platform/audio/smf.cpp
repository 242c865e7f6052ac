// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/smf.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace tamro::audio {
namespace {

// Bounds-checked reading of one chunk; every read either succeeds or reports that the bytes ran out.
class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    bool atEnd() const { return pos_ >= bytes_.size(); }
    std::size_t remaining() const { return bytes_.size() - pos_; }

    std::optional<std::uint8_t> byte()
    {
        if (atEnd())
            return std::nullopt;
        return bytes_[pos_++];
    }

    std::optional<std::uint8_t> peek() const
    {
        if (atEnd())
            return std::nullopt;
        return bytes_[pos_];
    }

    // A variable-length quantity: at most four bytes, so at most 0x0FFFFFFF.
    std::optional<std::uint32_t> vlq()
    {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const auto b = byte();
            if (!b)
                return std::nullopt;
            value = (value << 7) | (*b & 0x7Fu);
            if ((*b & 0x80u) == 0)
                return value;
        }
        return std::nullopt;
    }

    std::optional<std::span<const std::uint8_t>> take(std::size_t n)
    {
        if (n > remaining())
            return std::nullopt;
        auto part = bytes_.subspan(pos_, n);
        pos_ += n;
        return part;
    }

    // A length as a variable-length quantity and then that many bytes, as system exclusive and meta events
    // carry their payload.
    std::optional<std::span<const std::uint8_t>> lengthPrefixed()
    {
        const auto length = vlq();
        if (!length)
            return std::nullopt;
        return take(*length);
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
};

std::uint32_t bigEndian32(const std::uint8_t* p)
{
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

std::uint16_t bigEndian16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

Division parseDivision(std::uint16_t raw)
{
    Division d;
    if (raw & 0x8000u) {
        d.smpte = true;
        d.framesPerSecond = -static_cast<int>(static_cast<std::int8_t>(raw >> 8));
        d.ticksPerFrame = raw & 0xFF;
        const int fps = d.framesPerSecond;
        if ((fps != 24 && fps != 25 && fps != 29 && fps != 30) || d.ticksPerFrame == 0)
            throw MidiFormatError("the time division of the MIDI header is invalid");
    } else {
        d.ticksPerQuarter = raw;
        if (d.ticksPerQuarter == 0)
            throw MidiFormatError("the MIDI header gives zero ticks per quarter note");
    }
    return d;
}

// Number of data bytes after a channel message's status byte.
int dataBytes(std::uint8_t status)
{
    const int kind = status & 0xF0;
    return (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
}

// Ticks beyond this cannot come from a real file and would only risk overflow later.
constexpr std::int64_t maxTick = std::int64_t{1} << 56;

// Appends the track's events up to its end-of-track event, or up to the last whole event when the bytes
// run out or stop making sense.
void parseTrack(std::span<const std::uint8_t> chunk, MidiSong& song)
{
    ByteReader in(chunk);
    std::int64_t tick = 0;
    std::uint8_t running = 0;  // last channel status, for running status
    while (!in.atEnd()) {
        const auto delta = in.vlq();
        if (!delta)
            return;
        tick += *delta;
        if (tick > maxTick)
            return;
        const auto first = in.peek();
        if (!first)
            return;

        std::uint8_t status = *first;
        if (status & 0x80u)
            in.byte();
        else if (running != 0)
            status = running;
        else
            return;  // a data byte with no status to run on

        MidiEvent event;
        event.tick = tick;
        event.status = status;
        if (status < 0xF0) {
            running = status;
            const auto d1 = in.byte();
            if (!d1 || (*d1 & 0x80u))
                return;
            event.data1 = *d1;
            if (dataBytes(status) == 2) {
                const auto d2 = in.byte();
                if (!d2 || (*d2 & 0x80u))
                    return;
                event.data2 = *d2;
            }
            song.events.push_back(event);
            song.lastTick = std::max(song.lastTick, tick);
        } else if (status == 0xF0 || status == 0xF7) {
            const auto payload = in.lengthPrefixed();
            if (!payload)
                return;
            // Only a whole F0 ... F7 message is sent; escapes and split messages mark time only.
            if (status == 0xF0 && payload->size() > 1 && payload->back() == 0xF7) {
                if (song.sysex.size() >= 0xFFFFFFFFu)
                    return;
                event.sysex = static_cast<std::uint32_t>(song.sysex.size());
                song.sysex.emplace_back(payload->begin(), payload->end() - 1);
                song.events.push_back(event);
            }
            song.lastTick = std::max(song.lastTick, tick);
        } else if (status == 0xFF) {
            const auto type = in.byte();
            if (!type)
                return;
            const auto payload = in.lengthPrefixed();
            if (!payload)
                return;
            song.lastTick = std::max(song.lastTick, tick);  // meta events mark time; none is sent
            if (*type == 0x51 && payload->size() >= 3) {
                const std::uint32_t micros = (std::uint32_t{(*payload)[0]} << 16) |
                                             (std::uint32_t{(*payload)[1]} << 8) | (*payload)[2];
                if (micros > 0)
                    song.tempos.push_back({tick, micros});
            } else if (*type == 0x2F) {
                return;
            }
        } else {
            return;  // real-time and common messages have no place in a file
        }
    }
}

}  // namespace

MidiSong parseSmf(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < 14 || std::memcmp(bytes.data(), "MThd", 4) != 0)
        throw MidiFormatError("it is not a Standard MIDI File (no MThd header)");
    const std::uint32_t headerLength = bigEndian32(bytes.data() + 4);
    if (headerLength < 6 || headerLength > bytes.size() - 8)
        throw MidiFormatError("the MIDI header is corrupt");
    const std::uint16_t format = bigEndian16(bytes.data() + 8);
    if (format == 2)
        throw MidiFormatError("MIDI format 2 (independent sequences) is not supported");
    if (format > 2)
        throw MidiFormatError("unknown MIDI format " + std::to_string(format));

    MidiSong song;
    song.division = parseDivision(bigEndian16(bytes.data() + 12));
    // Sized from the bytes really there, never from a count in the file: a usual event takes three or four.
    song.events.reserve(bytes.size() / 3);
    std::vector<std::size_t> trackStarts;

    // Every track is read, whatever count the header claims; a chunk longer than the file is read as far
    // as it goes.
    std::size_t pos = 8 + std::size_t{headerLength};
    int tracks = 0;
    while (bytes.size() - pos >= 8) {
        const std::uint8_t* id = bytes.data() + pos;
        const std::size_t declared = bigEndian32(id + 4);
        pos += 8;
        const std::size_t length = std::min(declared, bytes.size() - pos);
        if (std::memcmp(id, "MTrk", 4) == 0) {
            ++tracks;
            trackStarts.push_back(song.events.size());
            parseTrack(bytes.subspan(pos, length), song);
        }
        pos += length;
    }
    if (tracks == 0)
        throw MidiFormatError("the MIDI file has no tracks");

    // Each track is in time order already: merging neighbours pairwise keeps track order, then file order,
    // at equal ticks, in n log(tracks) steps.
    auto byTick = [](const auto& a, const auto& b) { return a.tick < b.tick; };
    trackStarts.push_back(song.events.size());
    for (std::size_t width = 1; width + 1 < trackStarts.size(); width *= 2) {
        for (std::size_t first = 0; first + width + 1 < trackStarts.size(); first += 2 * width) {
            const std::size_t last = std::min(first + 2 * width, trackStarts.size() - 1);
            const auto begin = song.events.begin();
            std::inplace_merge(begin + static_cast<std::ptrdiff_t>(trackStarts[first]),
                               begin + static_cast<std::ptrdiff_t>(trackStarts[first + width]),
                               begin + static_cast<std::ptrdiff_t>(trackStarts[last]), byTick);
        }
    }
    std::stable_sort(song.tempos.begin(), song.tempos.end(), byTick);
    return song;
}

}  // namespace tamro::audio
