// SPDX-License-Identifier: GPL-3.0-or-later
// Text as it is drawn or quoted on screen: a very long one cut in the middle, so that laying it out stays fast.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tamro {

// The longest path Linux opens; any entry or message up to this length is shown whole.
inline constexpr std::size_t maxShownBytes = 4096;

namespace detail {
inline bool continuesCharacter(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }
}  // namespace detail

// `text` itself when it has at most `limit` bytes; otherwise its start, "…" and its end (where a path has its
// file name and a message its reason), cut between UTF-8 characters. The bytes kept are never changed.
inline std::string shownText(std::string_view text, std::size_t limit = maxShownBytes)
{
    if (text.size() <= limit)
        return std::string(text);
    std::size_t head = limit * 3 / 4;
    std::size_t tail = text.size() - limit / 4;
    for (int i = 0; i < 3 && head > 0 && detail::continuesCharacter(text[head]); ++i)
        --head;
    for (int i = 0; i < 3 && tail < text.size() && detail::continuesCharacter(text[tail]); ++i)
        ++tail;
    std::string shown(text.substr(0, head));
    shown += "\u2026";
    shown += text.substr(tail);
    return shown;
}

}  // namespace tamro
