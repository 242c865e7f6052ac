// SPDX-License-Identifier: GPL-3.0-or-later
// Reads the loaded track's tags and cover on a thread of its own, so that neither the sound nor the window waits
// for them, and hands the result to the UI thread. Only the newest request counts: one still running is
// cancelled, and a result for a track no longer asked for is dropped (its picture file removed).
#pragma once

#include "desktop/art_file.h"
#include "platform/audio/sound_tags.h"

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace tamro::desktop {

// What the desktop is shown of one track besides its path and length.
struct TrackInfo {
    std::string path;
    audio::SoundTags tags;  // without the picture's bytes
    std::shared_ptr<const ArtFile> art;  // the embedded picture's file while it is shown
    std::string artPath;    // that file, or a cover beside the track; "" for none
};

class TagReader {
public:
    // The reading thread's nice value, at the least.
    static constexpr int readerNice = 10;
    using Ready = std::function<void(std::shared_ptr<const TrackInfo>)>;  // on the UI thread
    using Read = std::function<audio::SoundTags(const std::string& path, const std::atomic<bool>& cancel)>;
    explicit TagReader(Ready ready, Read read = nullptr);
    // Waits for a read under way (cancelled: it stops at its next step); what was not delivered is dropped.
    ~TagReader();
    TagReader(const TagReader&) = delete;
    TagReader& operator=(const TagReader&) = delete;

    // UI thread. The thread starts with the first request; it sleeps while there is nothing to read.
    void request(const std::string& path);

private:
    void run();

    Ready ready_;
    Read read_;
    QObject context_;  // the UI thread's end: results posted to it die with it
    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<std::string> wanted_;  // guarded by mutex_
    std::uint64_t generation_ = 0;       // guarded by mutex_: requests so far
    bool quit_ = false;                  // guarded by mutex_
    std::atomic<bool> cancel_{false};
    std::thread thread_;
};

}  // namespace tamro::desktop
