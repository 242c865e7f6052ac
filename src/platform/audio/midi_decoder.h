// SPDX-License-Identifier: GPL-3.0-or-later
// MIDI and RMI files rendered by FluidSynth with a General MIDI SoundFont, ended by the file's tempo map.
#pragma once

#include "platform/audio/decoder.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace tamro::audio {

// True when the first bytes are a Standard MIDI File ("MThd") or a RIFF "RMID" file.
bool looksLikeMidi(std::span<const std::uint8_t> head);

// Parses the whole file (unwrapping RMI), computes the exact length from the tempo map and prepares the
// synthesizer (the SoundFont is loaded once per process, on first use). Throws Failure naming `path` and the
// reason: not a MIDI file, corrupt, or no SoundFont installed (naming the package to install).
std::unique_ptr<Decoder> openMidiDecoder(std::span<const std::uint8_t> fileBytes, const std::string& path,
                                         const OutputFormat& format);

}  // namespace tamro::audio
