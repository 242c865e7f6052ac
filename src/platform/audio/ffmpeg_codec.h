// SPDX-License-Identifier: GPL-3.0-or-later
// An FFmpeg codec opened for a file's sound, and the loop that feeds it packets until it gives a frame.
#pragma once

#include "platform/audio/ffmpeg_handles.h"
#include "platform/audio/sound_file.h"

namespace tamro::audio::ffmpeg {

// The decoder for `parameters`, single-threaded. Throws Failure naming the encoding when none here plays it.
CodecContextPtr openCodec(const SoundFile& file, const AVCodecParameters& parameters, AVRational timeBase);

// A codec fed packets of one stream from a source of its owner's. `Read` fills the packet it is given and
// returns 0, or an AVERROR code (AVERROR_EOF at the end): `int read(AVPacket&)`.
class PacketDecoder {
public:
    // Throws Failure as openCodec does, or when out of memory.
    PacketDecoder(const SoundFile& file, const AVCodecParameters& parameters, AVRational timeBase, int stream);

    // The next decoded frame into frame(); false at the end or at an error it cannot get past.
    template <class Read>
    bool receive(Read&& read)
    {
        // Bounded, so that a file which keeps failing in the same place ends instead of spinning.
        for (int failures = 0; failures < 1000;) {
            const int received = avcodec_receive_frame(codec_.get(), frame_.get());
            if (received == 0)
                return true;
            if (received != AVERROR(EAGAIN) || draining_)
                return false;
            const int got = read(*packet_);
            if (got < 0) {
                if (got != AVERROR_EOF && ++failures < 32)
                    continue;
                draining_ = true;
                avcodec_send_packet(codec_.get(), nullptr);
                continue;
            }
            if (packet_->stream_index == stream_ && avcodec_send_packet(codec_.get(), packet_.get()) < 0)
                ++failures;
            av_packet_unref(packet_.get());
        }
        return false;
    }

    // Forgets what the codec holds, before packets from elsewhere in the file.
    void flush();

    AVFrame& frame() const { return *frame_; }

private:
    CodecContextPtr codec_;
    FramePtr frame_;
    PacketPtr packet_;
    int stream_;
    bool draining_ = false;
};

}  // namespace tamro::audio::ffmpeg
