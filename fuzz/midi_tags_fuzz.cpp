// SPDX-License-Identifier: GPL-3.0-or-later
// The tags of MIDI and RMI files, and the cleaning of any tag's bytes, on arbitrary bytes: no fault, and every
// text that comes out is bounded and clean (cleaning it again changes nothing).
#include "platform/audio/sound_tags.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void expectClean(const std::string& text)
{
    if (text.size() > tamro::audio::maxTagBytes || tamro::audio::cleanTagText(text) != text)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const tamro::audio::SoundTags tags = tamro::audio::midiTags(bytes);
    for (const std::string* text : {&tags.title, &tags.album, &tags.albumArtist, &tags.genre, &tags.date})
        expectClean(*text);
    if (tags.artists.size() > tamro::audio::maxTagValues)
        std::abort();
    for (const std::string& artist : tags.artists)
        expectClean(artist);
    expectClean(tamro::audio::cleanTagText(bytes));
    tamro::audio::isoDate(bytes);
    tamro::audio::trackNumberOf(bytes);
    return 0;
}
