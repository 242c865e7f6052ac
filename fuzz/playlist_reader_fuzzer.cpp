// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the playlist file reader, and checks that the writer's output always reads back.
#include "playlist/playlist_file.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

void require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "playlist reader: %s\n", what);
        std::abort();
    }
}

// The input cut at each double quote: entries of any bytes but the one the format cannot hold.
std::vector<std::string> entriesOf(std::string_view bytes)
{
    std::vector<std::string> entries;
    std::size_t start = 0;
    for (;;) {
        const std::size_t quote = bytes.find('"', start);
        entries.emplace_back(bytes.substr(start, quote == std::string_view::npos ? quote : quote - start));
        if (quote == std::string_view::npos)
            return entries;
        start = quote + 1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tamro::playlist;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // Any text: every field is kept or counted, whatever the limit.
    const Fields all = readFields(bytes, SIZE_MAX);
    require(all.leftOut == 0, "fields left out below an unlimited limit");
    const std::size_t limit = size % 7;
    const Fields some = readFields(bytes, limit);
    require(some.entries.size() + some.leftOut == all.entries.size(), "a limit changed the number of fields");
    for (std::size_t i = 0; i < some.entries.size(); ++i)
        require(some.entries[i] == all.entries[i], "a limit changed a field");

    // What the writer wrote: the same entries come back, in order.
    const std::vector<std::string> entries = entriesOf(bytes);
    const Fields back = readFields(writeEntries(entries), SIZE_MAX);
    require(back.entries == entries, "saved entries did not read back unchanged");

    // Entries of any bytes, quotes included (split at 0x01): every one Save accepts reads back unchanged.
    std::vector<std::string> any;
    for (std::size_t start = 0;;) {
        const std::size_t cut = bytes.find('\x01', start);
        any.emplace_back(bytes.substr(start, cut == std::string_view::npos ? cut : cut - start));
        if (cut == std::string_view::npos)
            break;
        start = cut + 1;
    }
    if (unstorableEntries(any).empty())
        require(readFields(writeEntries(any), SIZE_MAX).entries == any, "entries Save accepts did not read back");
    return 0;
}
