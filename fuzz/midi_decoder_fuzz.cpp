// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes opened as a MIDI decoder, then read at the start, after a seek to the middle, and to the end.
#include "base/failure.h"
#include "platform/audio/midi_decoder.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tamro::audio;
    std::unique_ptr<Decoder> decoder;
    try {
        decoder = openMidiDecoder(std::span<const std::uint8_t>(data, size), "fuzz.mid", {22050, 2});
    } catch (const tamro::Failure&) {
        return 0;
    }
    const std::int64_t length = decoder->lengthFrames();
    std::vector<float> buffer(2 * 512);
    const auto readOnce = [&] { return static_cast<std::int64_t>(decoder->read(buffer.data(), 512)); };
    if (readOnce() > length)
        std::abort();
    decoder->seek(length / 2);
    if (readOnce() > length - length / 2)
        std::abort();
    // Reads stop exactly at the length.
    decoder->seek(length - 700);
    std::int64_t tail = 0;
    while (const std::int64_t n = readOnce())
        tail += n;
    if (tail != std::min<std::int64_t>(700, length))
        std::abort();
    return 0;
}
