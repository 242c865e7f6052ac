// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/open_decoder.h"

#include "base/failure.h"
#include "platform/audio/ffmpeg_decoder.h"
#include "platform/audio/midi_decoder.h"
#include "platform/audio/sound_file.h"

#include <array>
#include <cstdint>
#include <vector>

namespace tamro::audio {

namespace {

// Far above any real song; it keeps a mislabelled huge file from being read into memory whole.
constexpr std::int64_t maxMidiBytes = 64LL * 1024 * 1024;

}  // namespace

std::unique_ptr<Decoder> openDecoder(const std::string& path, const OutputFormat& format)
{
    SoundFile file = SoundFile::open(path);
    std::array<std::uint8_t, 16> head{};
    const std::size_t got = file.readAt(0, head);
    if (!looksLikeMidi(std::span(head).first(got)))
        return openFfmpegDecoder(std::move(file), format);

    if (file.size() > maxMidiBytes)
        throw Failure(file.refusal("it is too large for a MIDI file"));
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.size()));
    if (file.readAt(0, bytes) != bytes.size())
        throw Failure(file.refusal("it could not be read to its end"));
    return openMidiDecoder(bytes, path, format);
}

}  // namespace tamro::audio
