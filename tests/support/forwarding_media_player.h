// SPDX-License-Identifier: GPL-3.0-or-later
// A MediaPlayer that hands every call to another one: tests and benchmarks derive from it to note what passes.
#pragma once

#include "platform/media_player.h"

#include <memory>
#include <utility>

namespace tamro::testing {

class ForwardingMediaPlayer : public MediaPlayer {
public:
    explicit ForwardingMediaPlayer(std::unique_ptr<MediaPlayer> inner) : inner_(std::move(inner)) {}
    void setFileName(const std::string& path) override { inner_->setFileName(path); }
    void play() override { inner_->play(); }
    void stop() override { inner_->stop(); }
    double length() override { return inner_->length(); }
    double position() override { return inner_->position(); }
    void setPosition(double seconds) override { inner_->setPosition(seconds); }
    Motion motion() override { return inner_->motion(); }
    void setMotionHandler(std::function<void()> handler) override { inner_->setMotionHandler(std::move(handler)); }
    const std::string& loadedFile() const override { return inner_->loadedFile(); }
    bool isPlaying() const override { return inner_->isPlaying(); }
    void setEndOfTrackHandler(EndOfTrackHandler handler) override { inner_->setEndOfTrackHandler(std::move(handler)); }
    void expectNext(const std::string& path) override { inner_->expectNext(path); }

protected:
    MediaPlayer& inner() { return *inner_; }

private:
    std::unique_ptr<MediaPlayer> inner_;
};

}  // namespace tamro::testing
