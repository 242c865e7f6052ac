// SPDX-License-Identifier: GPL-3.0-or-later
// The file as FFmpeg reads it: only through these callbacks, on the descriptor already open.
#pragma once

#include "platform/audio/ffmpeg_handles.h"
#include "platform/audio/sound_file.h"

#include <cstdint>

namespace tamro::audio::ffmpeg {

// FFmpeg's seek on a reader at `position` in a file of `size` bytes: moves `position` and returns it, or returns
// the size when asked for it, or an error for a place before the start or past what 64 bits hold (a demuxer
// reading a hostile file may ask for any offset).
std::int64_t seekIn(std::int64_t& position, std::int64_t size, std::int64_t offset, int whence);

class FileIo {
public:
    // Throws Failure when out of memory.
    explicit FileIo(SoundFile file);
    AVIOContext* get() const { return io_.get(); }
    SoundFile& file() { return file_; }

private:
    static int read(void* opaque, std::uint8_t* buffer, int size);
    static std::int64_t seek(void* opaque, std::int64_t offset, int whence);

    SoundFile file_;
    std::int64_t position_ = 0;
    IoContextPtr io_;
};

}  // namespace tamro::audio::ffmpeg
