// SPDX-License-Identifier: GPL-3.0-or-later
// The tags of MIDI and RMI files: the first track's name and an RMI's RIFF INFO list. Every length in the
// file is checked against the bytes there are.
#include "platform/audio/sound_tags.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace tamro::audio {
namespace {

std::uint32_t little32(std::string_view s, std::size_t at)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(s[at + static_cast<std::size_t>(i)]);
    return v;
}

std::uint32_t big32(std::string_view s, std::size_t at)
{
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i)
        v = (v << 8) | static_cast<unsigned char>(s[at + i]);
    return v;
}

// Calls `chunk(id, body)` for each RIFF chunk of `s` until it returns true; a body is cut to what the bytes hold.
template <class Chunk>
void walkRiff(std::string_view s, Chunk chunk)
{
    std::size_t at = 0;
    while (s.size() - at >= 8) {
        const std::string_view id = s.substr(at, 4);
        const std::size_t size = little32(s, at + 4);
        at += 8;
        const std::string_view body = s.substr(at, std::min(size, s.size() - at));
        if (chunk(id, body))
            return;
        at += body.size() + (body.size() & 1);
        at = std::min(at, s.size());
    }
}

std::optional<std::uint32_t> vlq(std::string_view s, std::size_t& at)
{
    std::uint32_t v = 0;
    for (int i = 0; i < 4 && at < s.size(); ++i) {
        const auto b = static_cast<unsigned char>(s[at++]);
        v = (v << 7) | (b & 0x7Fu);
        if ((b & 0x80u) == 0)
            return v;
    }
    return std::nullopt;
}

// The text of the first track's first name event (meta 0x03), "" for none.
std::string firstTrackName(std::string_view smf)
{
    if (smf.size() < 14 || smf.substr(0, 4) != "MThd")
        return {};
    // The first MTrk chunk after the header, whatever lies between.
    std::size_t at = 8 + std::min<std::size_t>(big32(smf, 4), smf.size() - 8);
    std::string_view track;
    while (smf.size() - at >= 8 && track.empty()) {
        const std::size_t size = std::min<std::size_t>(big32(smf, at + 4), smf.size() - at - 8);
        if (smf.substr(at, 4) == "MTrk")
            track = smf.substr(at + 8, size);
        at += 8 + size;
    }
    std::size_t p = 0;
    unsigned running = 0;
    while (p < track.size()) {
        if (!vlq(track, p) || p >= track.size())
            return {};
        unsigned status = static_cast<unsigned char>(track[p]);
        if (status >= 0x80) {
            ++p;
        } else if (running != 0) {
            status = running;  // running status: the byte is the first data byte
        } else {
            return {};
        }
        if (status == 0xFF) {
            if (p >= track.size())
                return {};
            const auto type = static_cast<unsigned char>(track[p++]);
            const auto length = vlq(track, p);
            if (!length || *length > track.size() - p)
                return {};
            if (type == 0x03)
                return std::string(track.substr(p, *length));
            if (type == 0x2F)
                return {};  // end of track
            p += *length;
        } else if (status == 0xF0 || status == 0xF7) {
            const auto length = vlq(track, p);
            if (!length || *length > track.size() - p)
                return {};
            p += *length;
        } else if (status >= 0x80 && status < 0xF0) {
            running = status;
            p += (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 1 : 2;
        } else {
            return {};
        }
    }
    return {};
}

// An INFO string ends at its first NUL.
std::string_view infoText(std::string_view body) { return body.substr(0, body.find('\0')); }

}  // namespace

SoundTags midiTags(std::string_view bytes)
{
    SoundTags tags;
    std::string_view smf = bytes;
    if (bytes.size() >= 12 && bytes.substr(0, 4) == "RIFF" && bytes.substr(8, 4) == "RMID") {
        smf = {};
        walkRiff(bytes.substr(12), [&](std::string_view id, std::string_view body) {
            if (id == "data" && smf.empty())
                smf = body;
            if (id == "LIST" && body.size() >= 4 && body.substr(0, 4) == "INFO") {
                walkRiff(body.substr(4), [&](std::string_view key, std::string_view text) {
                    const std::string clean = cleanTagText(infoText(text));
                    if (key == "INAM" && tags.title.empty())
                        tags.title = clean;
                    else if (key == "IART" && tags.artists.empty() && !clean.empty())
                        tags.artists.push_back(clean);
                    else if (key == "IPRD" && tags.album.empty())
                        tags.album = clean;
                    else if (key == "IGNR" && tags.genre.empty())
                        tags.genre = clean;
                    else if (key == "ICRD" && tags.date.empty())
                        tags.date = isoDate(clean);
                    else if ((key == "ITRK" || key == "IPRT") && tags.trackNumber == 0)
                        tags.trackNumber = trackNumberOf(clean);
                    return false;
                });
            }
            return false;
        });
    }
    if (tags.title.empty())
        tags.title = cleanTagText(firstTrackName(smf));
    return tags;
}

}  // namespace tamro::audio
