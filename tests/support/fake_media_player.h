// SPDX-License-Identifier: GPL-3.0-or-later
// A MediaPlayer for handler tests: records every call in order and fails the operations a test names.
#pragma once

#include "base/failure.h"
#include "platform/media_player.h"

#include <set>
#include <string>
#include <vector>

namespace tamro::testing {

class FakeMediaPlayer : public MediaPlayer {
public:
    // What a test sets up.
    double lengthValue = 0.0;
    double positionValue = 0.0;
    Motion motionValue;     // still unless a test makes the position move
    std::set<std::string> failing;  // names of operations that throw: "fileName", "play", "stop", "length", ...

    // What the handlers did: "fileName:<path>", "play", "stop", "length", "position", "setPosition:<s>".
    std::vector<std::string> calls;
    std::string fileName;  // the last accepted file name
    std::string expected;  // the last file told to expect next (not a call: the handlers never make it)

    void expectNext(const std::string& path) override { expected = path; }
    void setFileName(const std::string& path) override
    {
        record("fileName:" + path, "fileName");
        fileName = path;
        playing = true;  // a file starts when it is set, as with the engine
    }
    void play() override
    {
        record("play", "play");
        playing = true;
    }
    void stop() override
    {
        record("stop", "stop");
        playing = false;
    }
    double length() override
    {
        record("length", "length");
        return lengthValue;
    }
    double position() override
    {
        record("position", "position");
        return positionValue;
    }
    void setPosition(double seconds) override
    {
        record("setPosition:" + formatSeconds(seconds), "setPosition");
        positionValue = seconds;
    }
    void setEndOfTrackHandler(EndOfTrackHandler handler) override { endOfTrack = std::move(handler); }
    // Not recorded: the display schedule asks after every event.
    Motion motion() override { return motionValue; }
    void setMotionHandler(std::function<void()> handler) override { motionStarted = std::move(handler); }
    // Queries, not recorded: playing from an accepted file name or play until a stop.
    const std::string& loadedFile() const override { return fileName; }
    bool isPlaying() const override { return playing; }
    bool playing = false;

    // Raises the end-of-track event as the engine would on the UI thread.
    void fireEndOfTrack()
    {
        if (endOfTrack)
            endOfTrack(0);
    }

    // Tells the UI thread that the position moves, as the engine posts it.
    void fireMotion()
    {
        if (motionStarted)
            motionStarted();
    }

    // The calls, without the position reads the timers make.
    std::vector<std::string> commandCalls() const
    {
        std::vector<std::string> out;
        for (const auto& c : calls)
            if (c != "position")
                out.push_back(c);
        return out;
    }

private:
    EndOfTrackHandler endOfTrack;
    std::function<void()> motionStarted;

    void record(const std::string& call, const std::string& op)
    {
        calls.push_back(call);
        if (failing.count(op))
            throw Failure("Fake media player refuses " + op);
    }
    static std::string formatSeconds(double s)
    {
        std::string text = std::to_string(s);
        text.erase(text.find_last_not_of('0') + 1);
        if (!text.empty() && text.back() == '.')
            text.pop_back();
        return text;
    }
};

}  // namespace tamro::testing
