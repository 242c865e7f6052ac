// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/ffmpeg_input_rules.h"

extern "C" {
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <mutex>
#include <string_view>

namespace tamro::audio::ffmpeg {

namespace {

constexpr std::array<std::string_view, 22> soundFormats{
    "mp3", "wav", "w64", "au", "asf", "flac", "ogg", "aiff", "caf", "aac", "ac3", "eac3",
    "wv", "ape", "tta", "mpc", "mpc8", "mov", "matroska", "voc", "amr", "dts"};

constexpr std::size_t maxFfmpegBlock = std::size_t{256} << 20;

}  // namespace

const char* const soundFormatList = "mp3,wav,w64,au,asf,flac,ogg,aiff,caf,aac,ac3,eac3,wv,ape,tta,mpc,mpc8,mov,matroska,voc,amr,dts";

void setUpFfmpeg()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // Corrupt files make FFmpeg log on every frame; the player reports failures itself.
        av_log_set_level(AV_LOG_FATAL);
        // A chunk size in a damaged header has FFmpeg allocate and clear as much as it says (a 1 KB WAV
        // asking for 1.7 GB). No sound file needs a single block of more than this: cover art is the largest.
        av_max_alloc(maxFfmpegBlock);
    });
}

bool isSoundFormat(const AVInputFormat& format)
{
    std::string_view names = format.name;
    while (!names.empty()) {
        const auto comma = names.find(',');
        const auto name = names.substr(0, comma);
        if (std::find(soundFormats.begin(), soundFormats.end(), name) != soundFormats.end())
            return true;
        names = comma == std::string_view::npos ? std::string_view{} : names.substr(comma + 1);
    }
    return false;
}

int refuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**)
{
    return AVERROR(EPERM);
}

}  // namespace tamro::audio::ffmpeg
