// SPDX-License-Identifier: GPL-3.0-or-later
// What FFmpeg may do with a sound file: which demuxers read it, no file or URL opened from inside it, no single
// allocation larger than a sound file needs, and no logging of its damage.
#pragma once

extern "C" {
#include <libavformat/avformat.h>
}

namespace tamro::audio::ffmpeg {

// Sets FFmpeg's process-wide limits, once per process.
void setUpFfmpeg();

// Whether a demuxer is one a sound file may be read with (not a playlist, concatenation, HLS/DASH, image or
// device demuxer: they open further files or URLs named inside the file).
bool isSoundFormat(const AVInputFormat& format);

// The same demuxers as FFmpeg's "format_whitelist" option takes them.
extern const char* const soundFormatList;

// An io_open callback that refuses every nested open.
int refuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**);

}  // namespace tamro::audio::ffmpeg
