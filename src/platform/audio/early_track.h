// SPDX-License-Identifier: GPL-3.0-or-later
// The next track started early: once the track being decoded is all in the ring, the file the advance is expected
// to load next is opened and decoded right behind it, so that its first frame follows the last one in the same
// device buffer (gapless). The track before it then ends as that first frame is heard, and the advance's load of
// the same file takes it over; anything else (another file expected, a seek, a stop, another load) drops it, and
// the track before it comes back as it was.
//
// This class keeps where that stands and the track it was started behind; the decode loop does the decoding and
// the queueing. Threads: every call with the decode loop's lock held (it is one of the loop's guarded members).
#pragma once

#include "platform/audio/track_decoding.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tamro::audio {

class EarlyTrack {
public:
    enum class State {
        none,           // none started, or taken over by the UI thread
        queued,         // queued behind the last frames of the track before it, which has not ended yet
        previousEnded,  // the end of the track before it is posted; it waits for the advance to take it over
    };
    // The expected file to open, unlocked, behind the track of `id`, whose frames end at `end` in the ring.
    struct Opening {
        std::uint64_t id = 0;
        std::string path;
        std::uint64_t end = 0;
    };

    // From the UI thread: the file the advance would load next ("" for none). True when an early track of another
    // file is to go (unless heard: one already heard stays, for the advance to replace).
    bool expect(const std::string& path);

    // The file to open behind `current`, which is all decoded and whose frames end at `end` in the ring, with
    // `readIndex` read; once per track and file, and not once its last frames have gone out.
    std::optional<Opening> toOpen(const TrackDecoding& current, std::uint64_t end, std::uint64_t readIndex);
    // Whether an opened file may still start: nothing stopped, sought, loaded or was expected meanwhile, and the
    // track before it has not all gone out.
    bool mayStart(const Opening& opening, const TrackDecoding& current, std::uint64_t readIndex) const;
    // It starts: `before` is the track it follows, kept to go back to.
    void start(const Opening& opening, std::int64_t length, DecodedTrack before);
    // Taken back: the track before it, as it was, its end marked posted if it was.
    DecodedTrack takeBack();
    // The end of the track before it is posted.
    void previousEnded() { state_ = State::previousEnded; }
    // The advance loads `path`: when it is this one, it becomes the UI thread's; returns its length and the
    // decoder of the track before it, to close.
    struct TakenOver {
        std::int64_t length = 0;
        std::unique_ptr<Decoder> ended;
    };
    std::optional<TakenOver> takeOver(const std::string& path);

    State state() const { return state_; }
    bool started() const { return state_ != State::none; }
    // Whether it follows the track of segment `id`.
    bool follows(std::uint64_t id) const { return started() && before_.at.id == id; }
    std::uint64_t beforeId() const { return before_.at.id; }
    std::uint64_t beforeMark() const { return before_.at.mark; }
    const std::string& expected() const { return expected_; }
    // Forgets it without going back (the UI thread starts afresh over both).
    void forget() { state_ = State::none; }

private:
    std::string expected_;
    std::uint64_t triedFor_ = 0;  // one attempt per track and file
    std::string triedPath_;
    State state_ = State::none;
    std::string path_;
    std::int64_t length_ = 0;
    DecodedTrack before_;
};

}  // namespace tamro::audio
