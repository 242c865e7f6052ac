// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/mpeg_frame_search.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace tamro::audio::mpeg {

namespace {

// The first byte 0xFF (the start of every frame header) at or after `from`, or `end` when none comes before it.
std::int64_t nextSyncByte(FileWindow& w, std::int64_t from, std::int64_t end)
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

}  // namespace

std::optional<FrameHeader> confirmedFrame(FileWindow& w, std::int64_t offset, std::int64_t end, const FrameHeader* ref)
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

std::int64_t nextConfirmedFrame(FileWindow& w, std::int64_t from, std::int64_t end, const FrameHeader* ref,
                                std::int64_t& budget, std::optional<FrameHeader>* found)
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

}  // namespace tamro::audio::mpeg
