// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/engine_factory.h"

#include "platform/audio/engine.h"
#include "platform/audio/open_decoder.h"
#include "platform/audio/sdl_output.h"

namespace tamro::audio {

std::unique_ptr<MediaPlayer> createEngine(std::function<void(std::function<void()>)> postToUi,
                                          std::function<void(const std::string&)> onDeviceLost)
{
    auto engine = std::make_unique<Engine>(std::make_unique<SdlOutput>(), &openDecoder, std::move(postToUi));
    engine->setDeviceLostHandler(std::move(onDeviceLost));
    return engine;
}

}  // namespace tamro::audio
