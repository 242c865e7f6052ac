// SPDX-License-Identifier: GPL-3.0-or-later
// The tags as the desktop is shown them: hostile texts made bounded and clean, dates and track numbers read, and
// the names MIDI and RMI files carry.
#include "platform/audio/sound_tags.h"

#include <gtest/gtest.h>

namespace tamro::audio {
namespace {

bool validUtf8AndClean(const std::string& s)
{
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 || c == 0x7F)
            return false;
    }
    // Round trip through cleanTagText keeps valid, clean UTF-8 as it is.
    return cleanTagText(s) == s;
}

TEST(SoundTags, TextsComeOutBoundedAndClean)
{
    const std::string e = "\xC3\xA9";  // é
    struct Case {
        const char* name;
        std::string raw;
        std::string clean;
    };
    const std::vector<Case> cases = {
        {"plain", "Real Title", "Real Title"},
        {"UTF-8 kept", "Caf" + e + " \xE2\x99\xAB \xF0\x9F\x8E\xB5", "Caf" + e + " \xE2\x99\xAB \xF0\x9F\x8E\xB5"},
        {"Latin-1 (ID3v1, RIFF INFO) read as such", "Caf\xE9", "Caf" + e},
        {"invalid UTF-8 read as Latin-1", "\xC3(\xFF", "\xC3\x83(\xC3\xBF"},
        {"an overlong form is not UTF-8", "\xC0\xAF", "\xC3\x80\xC2\xAF"},
        {"a surrogate is not UTF-8", "\xED\xA0\x80", "\xC3\xAD\xC2\xA0"},
        {"control characters dropped", "a\x01\x1B[31mb\x7F", "a[31mb"},
        {"C1 controls dropped", "a\xC2\x85\xC2\x9B" "b", "ab"},
        {"line breaks and tabs become one blank", "one\r\n\ttwo", "one two"},
        {"blanks trimmed", "  \n padded \t ", "padded"},
        {"a byte order mark dropped", "\xEF\xBB\xBFTitle", "Title"},
        {"nothing but controls", "\x01\x02\x03", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(cleanTagText(c.raw), c.clean);
    }
    for (const std::string& huge : {std::string(10'000'000, 'x'), [&] {
             std::string s;
             for (int i = 0; i < 1'000'000; ++i)
                 s += e;
             return s;
         }(), std::string(1'000'000, '\xFF'), std::string(100'000, '\x01') + "tail"}) {
        const std::string clean = cleanTagText(huge);
        EXPECT_LE(clean.size(), maxTagBytes);
        EXPECT_TRUE(validUtf8AndClean(clean));
    }
    EXPECT_EQ(cleanTagText(std::string(5000, 'x')).size(), maxTagBytes);
    EXPECT_EQ(cleanTagText(std::string(5000, '\xE9')).size(), maxTagBytes) << "cut between characters";
}

TEST(SoundTags, DatesAndTrackNumbers)
{
    const std::vector<std::pair<std::string, std::string>> dates = {
        {"2003", "2003-01-01T00:00:00Z"},
        {"2003-05", "2003-05-01T00:00:00Z"},
        {"2003-05-17", "2003-05-17T00:00:00Z"},
        {"2003-05-17T10:20:30", "2003-05-17T00:00:00Z"},
        {" 1999", "1999-01-01T00:00:00Z"},
        {"2003-13-01", "2003-01-01T00:00:00Z"},
        {"20030517", ""},
        {"0000", ""},
        {"03", ""},
        {"May 2003", ""},
        {"", ""},
    };
    for (const auto& [raw, iso] : dates)
        EXPECT_EQ(isoDate(raw), iso) << raw;
    const std::vector<std::pair<std::string, std::int32_t>> tracks = {
        {"3", 3}, {"03/12", 3}, {" 7", 7}, {"12 of 14", 12}, {"", 0}, {"x", 0}, {"99999999999999", 999999999},
    };
    for (const auto& [raw, n] : tracks)
        EXPECT_EQ(trackNumberOf(raw), n) << raw;
}

// --- MIDI and RMI, built byte by byte ------------------------------------------------------------------------

std::string big32(std::uint32_t n)
{
    return {static_cast<char>(n >> 24), static_cast<char>(n >> 16), static_cast<char>(n >> 8), static_cast<char>(n)};
}
std::string little32(std::uint32_t n)
{
    return {static_cast<char>(n), static_cast<char>(n >> 8), static_cast<char>(n >> 16), static_cast<char>(n >> 24)};
}
std::string chunk(const std::string& id, const std::string& body, bool riff)
{
    const auto size = static_cast<std::uint32_t>(body.size());
    return id + (riff ? little32(size) : big32(size)) + body + (riff && (body.size() & 1) ? std::string(1, '\0') : "");
}
std::string trackName(const std::string& name)
{
    return std::string("\x00\xFF\x03", 3) + static_cast<char>(name.size()) + name;
}
const std::string notes = std::string("\x00\x90\x3C\x40\x60\x3C\x00", 7);  // note on, then off by running status
const std::string endOfTrack = std::string("\x00\xFF\x2F\x00", 4);
std::string smf(std::initializer_list<std::string> tracks)
{
    std::string out = chunk("MThd", std::string("\x00\x01\x00", 3) + static_cast<char>(tracks.size()) + "\x01\xE0", false);
    for (const std::string& t : tracks)
        out += chunk("MTrk", t, false);
    return out;
}
std::string rmi(const std::string& midi, const std::string& info)
{
    std::string body = "RMID" + chunk("data", midi, true);
    if (!info.empty())
        body += chunk("LIST", "INFO" + info, true);
    return chunk("RIFF", body, true);
}

TEST(SoundTags, MidiAndRmiNames)
{
    const std::string song = smf({trackName("Song Title") + notes + endOfTrack, trackName("Piano") + notes + endOfTrack});
    const std::string info = chunk("INAM", std::string("Info Title\0", 11), true) +
                             chunk("IART", std::string("Info Artist\0", 12), true) +
                             chunk("IPRD", "Info Album", true) + chunk("IGNR", "Game", true) +
                             chunk("ICRD", "1996-04-02", true) + chunk("ITRK", "5", true);
    SoundTags full;
    full.title = "Info Title";
    full.artists = {"Info Artist"};
    full.album = "Info Album";
    full.genre = "Game";
    full.date = "1996-04-02T00:00:00Z";
    full.trackNumber = 5;
    SoundTags named;
    named.title = "Song Title";
    struct Case {
        const char* name;
        std::string bytes;
        SoundTags tags;
    };
    std::string lying = rmi(song, info);
    lying.replace(lying.find("LIST") + 4, 4, little32(0x7FFFFFF0));
    SoundTags latin;
    latin.title = "Caf\xC3\xA9 \xC3\xA0 la carte";
    const std::vector<Case> cases = {
        {"the first track's name", song, named},
        {"the first track's name after notes in running status",
         smf({notes + trackName("Song Title") + endOfTrack}), named},
        {"no name", smf({notes + endOfTrack}), {}},
        {"a name after the end of the track is not read", smf({endOfTrack + trackName("Later")}), {}},
        {"a name longer than its track", smf({std::string("\x00\xFF\x03\x7F", 4) + "short"}), {}},
        {"a name in Latin-1", smf({trackName("Caf\xE9 \xE0 la carte") + endOfTrack}), latin},
        {"a header that claims more than the file", "MThd" + big32(0xFFFFFFFF) + std::string(8, '\0'), {}},
        {"RMI with an INFO list", rmi(song, info), full},
        {"RMI without one: the track's name", rmi(song, ""), named},
        {"RMI whose INFO list claims more than the file", lying, full},
        {"cut short anywhere", rmi(song, info).substr(0, 40), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(midiTags(c.bytes), c.tags);
        // Every cut of the bytes is read without a fault.
        for (std::size_t size = 0; size < c.bytes.size(); ++size)
            midiTags(std::string_view(c.bytes).substr(0, size));
    }
}

}  // namespace
}  // namespace tamro::audio
