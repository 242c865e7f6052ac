// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/mpeg_vbr_header.h"

#include <cstddef>
#include <cstring>

namespace tamro::audio::mpeg {

namespace {

std::uint32_t bigEndian32(const std::uint8_t* p)
{
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

}  // namespace

bool isTagFrame(FileWindow& w, std::int64_t offset, const FrameHeader& h, Gapless& gapless)
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

}  // namespace tamro::audio::mpeg
