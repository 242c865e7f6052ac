// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/mpeg_tags.h"

#include <cstring>

namespace tamro::audio::mpeg {

namespace {

std::uint32_t littleEndian32(const std::uint8_t* p)
{
    return (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
}

}  // namespace

std::int64_t skipId3v2(FileWindow& w, std::int64_t offset)
{
    while (const std::uint8_t* p = w.at(offset, 10)) {
        if (std::memcmp(p, "ID3", 3) != 0 || p[3] == 0xFF || p[4] == 0xFF || ((p[6] | p[7] | p[8] | p[9]) & 0x80))
            break;
        const std::int64_t size = (std::int64_t{p[6]} << 21) | (std::int64_t{p[7]} << 14) | (std::int64_t{p[8]} << 7) | p[9];
        offset += 10 + size + ((p[5] & 0x10) ? 10 : 0);
    }
    return offset;
}

std::int64_t endBeforeTags(FileWindow& w, std::int64_t end)
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

}  // namespace tamro::audio::mpeg
