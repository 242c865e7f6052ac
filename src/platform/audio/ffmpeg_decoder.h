// SPDX-License-Identifier: GPL-3.0-or-later
// Decoders for every sound format FFmpeg reads (MP3, WAV, WMA, AU/SND, FLAC, Ogg, ...), from a local file only.
#pragma once

#include "platform/audio/decoder.h"
#include "platform/audio/sound_file.h"

#include <memory>

namespace tamro::audio {

// Recognises the format from the file's content, finds the exact length and prepares decoding to `format`.
// MPEG audio is framed here, from its headers; everything else goes through FFmpeg's demuxers, limited to
// sound formats and to the one file given: nested opens, protocols and playlists are refused. Throws Failure
// naming the path and the reason (not a sound file, no audio stream, no decoder, length unknown).
std::unique_ptr<Decoder> openFfmpegDecoder(SoundFile file, const OutputFormat& format);

}  // namespace tamro::audio
