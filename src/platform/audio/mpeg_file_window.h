// SPDX-License-Identifier: GPL-3.0-or-later
// A cached stretch of the file, so that walking frame headers costs one read per megabyte, not one per frame.
#pragma once

#include "platform/audio/mpeg_audio_index.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tamro::audio::mpeg {

class FileWindow {
public:
    FileWindow(std::int64_t size, const ReadAt& read) : size_(size), read_(read), buffer_(1 << 20) {}

    // The `n` bytes at `offset`, or nullptr when they are not all in the file.
    const std::uint8_t* at(std::int64_t offset, std::size_t n)
    {
        if (offset < 0 || n > buffer_.size() || offset + static_cast<std::int64_t>(n) > size_)
            return nullptr;
        if (offset < start_ || offset + static_cast<std::int64_t>(n) > start_ + static_cast<std::int64_t>(length_)) {
            start_ = offset;
            length_ = read_(offset, buffer_);
            if (length_ < n) {
                start_ = -1;
                length_ = 0;
                return nullptr;
            }
        }
        return buffer_.data() + (offset - start_);
    }

private:
    std::int64_t size_;
    const ReadAt& read_;
    std::vector<std::uint8_t> buffer_;
    std::int64_t start_ = -1;
    std::size_t length_ = 0;
};

}  // namespace tamro::audio::mpeg
