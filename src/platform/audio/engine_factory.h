// SPDX-License-Identifier: GPL-3.0-or-later
// Makes the player's engine: SDL2 output, FFmpeg and MIDI decoders. What the application calls.
#pragma once

#include "platform/media_player.h"

#include <functional>
#include <memory>
#include <string>

namespace tamro::audio {

// `postToUi` must run the function it gets on the UI thread, later, and be callable from any thread, e.g.
//     [](std::function<void()> f) { QMetaObject::invokeMethod(qApp, std::move(f), Qt::QueuedConnection); }
// The end-of-track handler then runs on the UI thread. No device is opened here: the engine opens one when a
// track starts and closes it once the output has rested. `onDeviceLost` runs on the UI thread with a description
// for the user when there is no sound: once when the device stops working ("The audio device was lost: ..."),
// and on each start that cannot open one ("Cannot open the audio device: ...", which that start also throws).
std::unique_ptr<MediaPlayer> createEngine(std::function<void(std::function<void()>)> postToUi,
                                          std::function<void(const std::string&)> onDeviceLost = {});

}  // namespace tamro::audio
