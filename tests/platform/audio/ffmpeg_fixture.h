// SPDX-License-Identifier: GPL-3.0-or-later
// The FFmpeg decoder's tests: the generated sound files opened at CD format, four seconds long.
#pragma once

#include "platform/audio/ffmpeg_decoder.h"

#include "support/sound_fixtures.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tamro::audio::fixture {

inline constexpr OutputFormat cd{44100, 2};
inline constexpr std::int64_t fourSeconds = 4 * 44100;

inline std::unique_ptr<Decoder> open(const std::string& name, const OutputFormat& format = cd)
{
    return openFfmpegDecoder(SoundFile::open(testing::soundFixture(name)), format);
}

}  // namespace tamro::audio::fixture
