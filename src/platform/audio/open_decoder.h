// SPDX-License-Identifier: GPL-3.0-or-later
// Opens a sound file by path for the engine: checks the path, recognises MIDI/RMI, and hands the rest to FFmpeg.
#pragma once

#include "platform/audio/decoder.h"

#include <memory>
#include <string>

namespace tamro::audio {

// Throws Failure naming the path and the reason: empty path, missing file, directory, FIFO or device,
// no permission, no audio stream, no decoder. Never blocks on a FIFO and never opens anything but the
// local file itself.
std::unique_ptr<Decoder> openDecoder(const std::string& path, const OutputFormat& format);

}  // namespace tamro::audio
