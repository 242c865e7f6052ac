// SPDX-License-Identifier: GPL-3.0-or-later
// Opens arbitrary bytes as a sound file and decodes the start, a seek and the end: a refusal is fine, a crash,
// a hang, a leak or more frames than the length are not.
#include "base/failure.h"
#include "platform/audio/open_decoder.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

void require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "decoder: %s\n", what);
        std::abort();
    }
}

// The input as a file with a path, without touching the disk.
std::string asFile(const std::uint8_t* data, std::size_t size)
{
    static const int fd = ::memfd_create("sound", MFD_CLOEXEC);
    require(fd >= 0, "memfd_create failed");
    require(::ftruncate(fd, 0) == 0, "ftruncate failed");
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
        require(n > 0, "pwrite failed");
        done += static_cast<std::size_t>(n);
    }
    return "/proc/self/fd/" + std::to_string(fd);
}

// Reads up to `frames` and checks what comes out.
std::int64_t readSome(tamro::audio::Decoder& decoder, std::int64_t frames, std::vector<float>& block)
{
    constexpr std::size_t chunk = 4096;
    std::int64_t total = 0;
    while (total < frames) {
        const std::size_t n = decoder.read(block.data(), chunk);
        require(n <= chunk, "read more than asked");
        for (std::size_t i = 0; i < n * 2; ++i)
            require(std::isfinite(block[i]), "a sample is not finite");
        if (n == 0)
            break;
        total += static_cast<std::int64_t>(n);
    }
    return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = asFile(data, size);
    try {
        auto decoder = tamro::audio::openDecoder(path, {48000, 2});
        const std::int64_t length = decoder->lengthFrames();
        require(length >= 0, "negative length");
        std::vector<float> block(4096 * 2);
        require(readSome(*decoder, 48000, block) <= length, "more frames than the length");
        decoder->seek(length / 2);
        require(readSome(*decoder, 8192, block) <= length - length / 2, "more frames than the length after a seek");
        decoder->seek(length - 100);
        require(readSome(*decoder, 1 << 20, block) <= 100, "more frames than the length at the end");
    } catch (const tamro::Failure&) {
    }
    return 0;
}
