// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/ring_buffer.h"

#include <gtest/gtest.h>

#include <numeric>
#include <thread>
#include <vector>

namespace tamro::audio {
namespace {

std::vector<float> counting(std::size_t frames, int channels, float from)
{
    std::vector<float> v(frames * static_cast<std::size_t>(channels));
    std::iota(v.begin(), v.end(), from);
    return v;
}

TEST(RingBuffer, FramesComeOutInOrderAcrossTheWrap)
{
    struct Case {
        const char* name;
        std::size_t firstWrite, firstRead, secondWrite;
    };
    const Case cases[] = {
        {"no wrap", 5, 5, 3},
        {"second write wraps", 6, 6, 7},
        {"exactly fills after the wrap", 8, 8, 8},
        {"write after partial read wraps", 8, 3, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RingBuffer ring(8, 2);
        const auto a = counting(c.firstWrite, 2, 0.0f);
        ASSERT_EQ(ring.write(a), c.firstWrite);
        std::vector<float> out(c.firstRead * 2);
        ASSERT_EQ(ring.read(out), c.firstRead);
        EXPECT_TRUE(std::equal(out.begin(), out.end(), a.begin()));
        const auto b = counting(c.secondWrite, 2, 1000.0f);
        ASSERT_EQ(ring.write(b), c.secondWrite);
        // What is left of the first write, then the second.
        std::vector<float> expected(a.begin() + static_cast<std::ptrdiff_t>(c.firstRead * 2), a.end());
        expected.insert(expected.end(), b.begin(), b.end());
        std::vector<float> rest(expected.size());
        ASSERT_EQ(ring.read(rest), expected.size() / 2);
        EXPECT_EQ(rest, expected);
        EXPECT_EQ(ring.readable(), 0u);
    }
}

TEST(RingBuffer, WritesOnlyWhatFitsAndReadsOnlyWhatIsThere)
{
    RingBuffer ring(4, 2);
    EXPECT_EQ(ring.write(counting(6, 2, 0.0f)), 4u);
    EXPECT_EQ(ring.writable(), 0u);
    std::vector<float> out(12, -1.0f);
    EXPECT_EQ(ring.read(out), 4u);
    EXPECT_EQ(out[8], -1.0f) << "nothing written past the frames that were there";
    ring.write(counting(2, 2, 0.0f));
    ring.reset();
    EXPECT_EQ(ring.readable(), 0u);
    EXPECT_EQ(ring.writable(), 4u);
}

// A producer and a consumer on two threads with odd block sizes: every sample arrives once, in order.
TEST(RingBuffer, ConcurrentProducerAndConsumerKeepTheStreamIntact)
{
    constexpr std::size_t total = 200000;
    RingBuffer ring(256, 2);
    std::thread producer([&] {
        float next = 0.0f;
        std::vector<float> block;
        for (std::size_t sent = 0; sent < total;) {
            const std::size_t n = std::min<std::size_t>(37, total - sent);
            block.resize(n * 2);
            for (std::size_t i = 0; i < n; ++i)
                block[2 * i] = block[2 * i + 1] = next + static_cast<float>(i);
            const std::size_t w = ring.write(std::span<const float>(block));
            next += static_cast<float>(w);
            sent += w;
            if (w == 0)
                std::this_thread::yield();
        }
    });
    std::vector<float> out(53 * 2);
    std::size_t received = 0;
    bool inOrder = true;
    while (received < total) {
        const std::size_t n = ring.read(out);
        for (std::size_t i = 0; i < n; ++i)
            inOrder = inOrder && out[2 * i] == static_cast<float>(received + i) && out[2 * i + 1] == out[2 * i];
        received += n;
        if (n == 0)
            std::this_thread::yield();
    }
    producer.join();
    EXPECT_TRUE(inOrder);
}

}  // namespace
}  // namespace tamro::audio
