// SPDX-License-Identifier: GPL-3.0-or-later
// RIFF MIDI (.rmi): a Standard MIDI File wrapped in a RIFF "RMID" container's "data" chunk.
#pragma once

#include <cstdint>
#include <span>

namespace tamro::audio {

// True when the bytes start with a RIFF header of form type "RMID".
bool isRmi(std::span<const std::uint8_t> bytes);

// The Standard MIDI File inside an RMI file (a view into `bytes`); a "data" chunk that claims more bytes
// than the file holds yields what is there. Throws MidiFormatError when there is no "data" chunk.
std::span<const std::uint8_t> unwrapRmi(std::span<const std::uint8_t> bytes);

}  // namespace tamro::audio
