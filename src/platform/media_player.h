// SPDX-License-Identifier: GPL-3.0-or-later
// The media component as the handlers see it: load, play, stop, length, position and its motion, the end of a
// track, and the file expected next.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tamro {

// Every operation may throw Failure with a description that names the file and the reason.
class MediaPlayer {
public:
    virtual ~MediaPlayer() = default;

    // Loads the file synchronously (length() is right as soon as this returns) and starts it from 0.
    // A refused file leaves the track loaded before untouched, still playing if it was.
    virtual void setFileName(const std::string& path) = 0;
    // Plays the loaded file: no restart while it plays, from the start once it has played to its end.
    virtual void play() = 0;
    // Halts playback and rewinds to 0.
    virtual void stop() = 0;
    // Length of the loaded file in seconds.
    virtual double length() = 0;
    // The position being heard, in seconds, 0..length; stays at the end after the track has ended.
    virtual double position() = 0;
    // Seeks, clamped to 0..length; playback goes on from there if it was playing.
    virtual void setPosition(double seconds) = 0;

    // What the desktop's player controls show; neither ever fails.
    // The file the last accepted setFileName gave, as given; "" before the first.
    virtual const std::string& loadedFile() const = 0;
    // Whether the loaded track is playing: not stopped, and not played to its end.
    virtual bool isPlaying() const = 0;

    // How the position goes on without any further call: whether it moves on its own (playing, or gliding
    // through the tail after the last track), and after how many seconds it starts to (a track queued behind
    // the tail of the one before reads its start until its first frame is due). Moving, it advances one second
    // per second from then on, until it stops at a moment no one can predict (the device falls behind, the
    // tail ends), which the next call tells. Cheap: a couple of atomic loads.
    struct Motion {
        bool moving = false;
        double startsIn = 0.0;
    };
    virtual Motion motion() = 0;
    // Called on the UI thread, posted and coalesced, when the position starts moving on its own after motion()
    // last said it would not (the first buffer after a rest or a seek, a device that comes back, ...), and when
    // it steps ahead of the course motion() last said by more than a few milliseconds (a device that calls back
    // early), so that what was planned from that course is planned again.
    virtual void setMotionHandler(std::function<void()> handler) = 0;

    // Called on the UI thread, once for each track that played to its end, as its last samples go to the device
    // (a little before they are heard, so that the next track can follow without a gap), or, when the file
    // expected next was started behind it, as that file is heard. Never for a track replaced by a new file name
    // or halted by stop().
    using EndOfTrackHandler = std::function<void(std::int32_t)>;
    virtual void setEndOfTrackHandler(EndOfTrackHandler handler) = 0;

    // The file that the end-of-track handler would load if the track ended now ("" for none), told after
    // anything that can change it. A player may start it right behind the tail; the handler's setFileName of
    // that same file then takes it over as it plays, and any other call puts things back as they would be
    // without it. A hint: ignoring it is correct, only the hand-over comes earlier.
    virtual void expectNext(const std::string& /*path*/) {}
};

}  // namespace tamro
