// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/ffmpeg_file_io.h"

#include "base/failure.h"

extern "C" {
#include <libavutil/mem.h>
}

#include <cerrno>
#include <cstdio>
#include <utility>

namespace tamro::audio::ffmpeg {

FileIo::FileIo(SoundFile file) : file_(std::move(file))
{
    constexpr int bufferSize = 64 * 1024;
    auto* buffer = static_cast<unsigned char*>(av_malloc(bufferSize));
    if (!buffer)
        throw Failure(file_.refusal("out of memory"));
    io_.reset(avio_alloc_context(buffer, bufferSize, 0, this, &FileIo::read, nullptr, &FileIo::seek));
    if (!io_) {
        av_free(buffer);
        throw Failure(file_.refusal("out of memory"));
    }
}

int FileIo::read(void* opaque, std::uint8_t* buffer, int size)
{
    auto& self = *static_cast<FileIo*>(opaque);
    const std::size_t n = self.file_.readAt(self.position_, {buffer, static_cast<std::size_t>(size)});
    if (n == 0)
        return AVERROR_EOF;
    self.position_ += static_cast<std::int64_t>(n);
    return static_cast<int>(n);
}

std::int64_t FileIo::seek(void* opaque, std::int64_t offset, int whence)
{
    auto& self = *static_cast<FileIo*>(opaque);
    return seekIn(self.position_, self.file_.size(), offset, whence);
}

std::int64_t seekIn(std::int64_t& position, std::int64_t size, std::int64_t offset, int whence)
{
    std::int64_t to = 0;
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return size;
    case SEEK_SET:
        to = offset;
        break;
    case SEEK_CUR:
        if (__builtin_add_overflow(position, offset, &to))
            return AVERROR(EINVAL);
        break;
    case SEEK_END:
        if (__builtin_add_overflow(size, offset, &to))
            return AVERROR(EINVAL);
        break;
    default:
        return AVERROR(EINVAL);
    }
    if (to < 0)
        return AVERROR(EINVAL);
    position = to;
    return to;
}

}  // namespace tamro::audio::ffmpeg
