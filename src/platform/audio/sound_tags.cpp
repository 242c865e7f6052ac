// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/sound_tags.h"

#include "base/file_descriptor.h"
#include "platform/audio/ffmpeg_file_io.h"
#include "platform/audio/ffmpeg_handles.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace tamro::audio {
namespace {

// The next code point of valid UTF-8 (no overlong forms, no surrogates, at most U+10FFFF), or nothing.
std::optional<char32_t> nextUtf8(std::string_view s, std::size_t& at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        ++at;
        return lead;
    }
    int extra = 0;
    char32_t cp = 0;
    char32_t least = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1, cp = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, cp = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, cp = lead & 0x07, least = 0x10000;
    } else {
        return std::nullopt;
    }
    if (s.size() - at <= static_cast<std::size_t>(extra))
        return std::nullopt;
    for (int i = 1; i <= extra; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return std::nullopt;
        cp = (cp << 6) | (byte(at + i) & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return std::nullopt;
    at += static_cast<std::size_t>(extra) + 1;
    return cp;
}

bool validUtf8(std::string_view s)
{
    for (std::size_t at = 0; at < s.size();)
        if (!nextUtf8(s, at))
            return false;
    return true;
}

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::size_t utf8Length(char32_t cp) { return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4; }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// --- FFmpeg ------------------------------------------------------------------------------------------------------

// The formats the player plays through FFmpeg; no other demuxer sees the bytes.
constexpr const char* tagFormatList = "mp3,wav,w64,au,asf,flac,ogg,aiff,caf,aac,ac3,eac3,wv,ape,tta,mpc,mpc8,mov,matroska,voc,amr,dts";

// FFmpeg reads the file through the descriptor already checked to be a regular file (a name may meanwhile
// stand for a FIFO, which would block a read for ever), and stops once cancelled or out of time.
struct FileReader {
    int fd = -1;
    std::int64_t size = 0;
    std::int64_t at = 0;
    std::chrono::steady_clock::time_point end;
    const std::atomic<bool>* cancel = nullptr;

    bool stopped() const { return cancel->load(std::memory_order_relaxed) || std::chrono::steady_clock::now() >= end; }
};

int interrupted(void* opaque) { return static_cast<const FileReader*>(opaque)->stopped(); }

int readPacket(void* opaque, std::uint8_t* buffer, int size)
{
    auto& r = *static_cast<FileReader*>(opaque);
    if (r.stopped())
        return AVERROR_EXIT;
    const ssize_t n = ::pread(r.fd, buffer, static_cast<std::size_t>(size), r.at);
    if (n < 0)
        return AVERROR(errno);
    if (n == 0)
        return AVERROR_EOF;
    r.at += n;
    return static_cast<int>(n);
}

std::int64_t seekTo(void* opaque, std::int64_t offset, int whence)
{
    auto& r = *static_cast<FileReader*>(opaque);
    return ffmpeg::seekIn(r.at, r.size, offset, whence);
}

std::string_view value(const AVDictionary* dict, const char* key)
{
    const AVDictionaryEntry* entry = av_dict_get(dict, key, nullptr, 0);
    return entry && entry->value ? std::string_view(entry->value) : std::string_view{};
}

// Fills what `tags` still lacks from one dictionary (the container's first, then the audio stream's).
void take(SoundTags& tags, const AVDictionary* dict)
{
    if (!dict)
        return;
    auto first = [&](std::string& field, std::initializer_list<const char*> keys) {
        for (const char* key : keys)
            if (field.empty())
                field = cleanTagText(value(dict, key));
    };
    first(tags.title, {"title"});
    first(tags.album, {"album"});
    first(tags.albumArtist, {"album_artist", "albumartist", "album artist"});
    first(tags.genre, {"genre"});
    if (tags.artists.empty()) {
        const AVDictionaryEntry* entry = nullptr;
        while (tags.artists.size() < maxTagValues && (entry = av_dict_get(dict, "artist", entry, 0)))
            if (std::string artist = cleanTagText(entry->value ? entry->value : ""); !artist.empty())
                tags.artists.push_back(std::move(artist));
    }
    if (tags.trackNumber == 0)
        tags.trackNumber = trackNumberOf(value(dict, "track"));
    for (const char* key : {"date", "year", "creation_date"})
        if (tags.date.empty())
            tags.date = isoDate(value(dict, key));
}

const char* pictureExtension(AVCodecID codec)
{
    switch (codec) {
    case AV_CODEC_ID_MJPEG:
        return "jpg";
    case AV_CODEC_ID_PNG:
        return "png";
    case AV_CODEC_ID_GIF:
        return "gif";
    case AV_CODEC_ID_BMP:
        return "bmp";
    case AV_CODEC_ID_WEBP:
        return "webp";
    default:
        return nullptr;
    }
}

SoundTags ffmpegTags(const std::string& path, FileReader& reader)
{
    SoundTags tags;
    constexpr int bufferSize = 64 * 1024;
    auto* buffer = static_cast<unsigned char*>(av_malloc(bufferSize));
    if (!buffer)
        return tags;
    const ffmpeg::IoContextPtr io(avio_alloc_context(buffer, bufferSize, 0, &reader, &readPacket, nullptr, &seekTo));
    if (!io) {
        av_free(buffer);
        return tags;
    }
    AVFormatContext* raw = avformat_alloc_context();
    if (!raw)
        return tags;
    raw->pb = io.get();
    raw->interrupt_callback = {&interrupted, &reader};
    AVDictionary* options = nullptr;
    av_dict_set(&options, "format_whitelist", tagFormatList, 0);
    av_dict_set(&options, "protocol_whitelist", "none", 0);
    // The path only for the demuxers' guess by its extension: the bytes come through `reader`.
    const int opened = avformat_open_input(&raw, path.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0)  // raw has been freed
        return tags;
    const ffmpeg::FormatContextPtr format(raw);
    take(tags, format->metadata);
    const AVStream* front = nullptr;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream& stream = *format->streams[i];
        if (stream.codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
            take(tags, stream.metadata);
        } else if ((stream.disposition & AV_DISPOSITION_ATTACHED_PIC) && stream.attached_pic.size > 0 &&
                   static_cast<std::size_t>(stream.attached_pic.size) <= maxPictureBytes &&
                   pictureExtension(stream.codecpar->codec_id)) {
            // The front cover where the tag says which picture is which, else the first.
            if (!front || (value(front->metadata, "comment") != "Cover (front)" &&
                           value(stream.metadata, "comment") == "Cover (front)"))
                front = &stream;
        }
    }
    if (front) {
        tags.picture.assign(reinterpret_cast<const char*>(front->attached_pic.data),
                            static_cast<std::size_t>(front->attached_pic.size));
        tags.pictureExtension = pictureExtension(front->codecpar->codec_id);
    }
    return tags;
}

// The whole of a file of `size` bytes; "" when it is larger than `limit`.
std::string readSmallFile(int fd, std::int64_t size, std::int64_t limit)
{
    if (size > limit)
        return {};
    std::string bytes(static_cast<std::size_t>(size), '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::pread(fd, bytes.data() + got, bytes.size() - got, static_cast<off_t>(got));
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}

}  // namespace

std::string cleanTagText(std::string_view raw)
{
    // No more is looked at than could be kept; a cut in the middle of a character is moved back before it.
    if (raw.size() > 4 * maxTagBytes) {
        std::size_t cut = 4 * maxTagBytes;
        for (int back = 0; back < 3 && (static_cast<unsigned char>(raw[cut]) & 0xC0) == 0x80; ++back)
            --cut;
        raw = raw.substr(0, cut);
    }
    const bool utf8 = validUtf8(raw);
    std::string out;
    out.reserve(std::min(raw.size(), maxTagBytes));
    for (std::size_t at = 0; at < raw.size();) {
        char32_t cp = utf8 ? *nextUtf8(raw, at) : static_cast<unsigned char>(raw[at++]);
        if (cp == '\t' || cp == '\n' || cp == '\r')
            cp = ' ';
        if (cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp < 0xA0) || cp == 0xFEFF)
            continue;
        if (cp == ' ' && (out.empty() || out.back() == ' '))
            continue;  // blanks trimmed at the start, runs of them made one
        if (out.size() + utf8Length(cp) > maxTagBytes)
            break;
        appendUtf8(out, cp);
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

std::string isoDate(std::string_view raw)
{
    while (!raw.empty() && raw.front() == ' ')
        raw.remove_prefix(1);
    auto digits = [&](std::size_t at, std::size_t n) {
        if (raw.size() < at + n)
            return -1;
        int v = 0;
        for (std::size_t i = at; i < at + n; ++i) {
            if (!isDigit(raw[i]))
                return -1;
            v = v * 10 + (raw[i] - '0');
        }
        return v;
    };
    const int year = digits(0, 4);
    if (year <= 0 || (raw.size() > 4 && isDigit(raw[4])))
        return {};
    int month = 1;
    int day = 1;
    if (raw.size() > 4 && raw[4] == '-') {
        const int m = digits(5, 2);
        if (m >= 1 && m <= 12) {
            month = m;
            if (raw.size() > 7 && raw[7] == '-')
                if (const int d = digits(8, 2); d >= 1 && d <= 31)
                    day = d;
        }
    }
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT00:00:00Z", year, month, day);
    return text;
}

std::int32_t trackNumberOf(std::string_view raw)
{
    while (!raw.empty() && raw.front() == ' ')
        raw.remove_prefix(1);
    std::int32_t n = 0;
    for (std::size_t i = 0; i < raw.size() && i < 9 && isDigit(raw[i]); ++i)
        n = n * 10 + (raw[i] - '0');
    return n;
}

SoundTags readSoundTags(const std::string& path, const std::atomic<bool>& cancel, std::chrono::milliseconds budget)
{
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat info = {};
    if (!fd.valid() || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    char head[12] = {};
    const bool midi = ::pread(fd.get(), head, sizeof head, 0) == static_cast<ssize_t>(sizeof head) &&
                      (std::memcmp(head, "MThd", 4) == 0 ||
                       (std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "RMID", 4) == 0));
    // MIDI files are small; one larger than this is no song the player would have opened.
    if (midi)
        return midiTags(readSmallFile(fd.get(), info.st_size, 64 * 1024 * 1024));
    FileReader reader{fd.get(), info.st_size, 0, std::chrono::steady_clock::now() + budget, &cancel};
    return ffmpegTags(path, reader);
}

}  // namespace tamro::audio
