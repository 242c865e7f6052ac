// Makes the player's engine: SDL2 output, FFmpeg and MIDI decoders. What the application calls.
#pragma once

#include "platform/media_player.h"

#include <functional>
#include <memory>
#include <string>

namespace tamro::audio {

// `postToUi` must run the function it gets on the UI thread, later, and be callable from any thread, e.g.
//     [](std::function<void()> f) { QMetaObject::invokeMethod(qApp, std::move(f), Qt::QueuedConnection); }
// The end-of-track handler then runs on the UI thread. Opens the audio device (once per process); throws
// Failure when there is none. `onDeviceLost` runs once on the UI thread if the device stops working later,
// with a description for the user ("The audio device was lost: ..."); from then on setFileName, play and
// setPosition throw a Failure with that description.
std::unique_ptr<MediaPlayer> createEngine(std::function<void(std::function<void()>)> postToUi,
                                          std::function<void(const std::string&)> onDeviceLost = {});

}  // namespace tamro::audio
