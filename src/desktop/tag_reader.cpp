// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/tag_reader.h"

#include <QMetaObject>

#include <cerrno>
#include <sys/resource.h>
#include <unistd.h>

namespace tamro::desktop {

TagReader::TagReader(Ready ready, Read read) : ready_(std::move(ready)), read_(std::move(read))
{
    if (!read_)
        read_ = [](const std::string& path, const std::atomic<bool>& cancel) {
            return audio::readSoundTags(path, cancel);
        };
}

TagReader::~TagReader()
{
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        cancel_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable())
        thread_.join();
}

void TagReader::request(const std::string& path)
{
    {
        std::lock_guard lock(mutex_);
        wanted_ = path;
        ++generation_;
        cancel_ = true;
    }
    if (!thread_.joinable())
        thread_ = std::thread([this] { run(); });
    else
        wake_.notify_one();
}

void TagReader::run()
{
    // Behind the sound: the tags are asked for just as the device opens and the sound server starts its stream,
    // and a cover of megabytes keeps the reader busy for tens of milliseconds. On a busy machine it yields to
    // them. (On Linux a thread's nice value is its own; a player started nicer than that stays so.)
    const auto self = static_cast<id_t>(::gettid());
    errno = 0;
    if (const int nice = ::getpriority(PRIO_PROCESS, self); errno == 0 && nice < readerNice)
        ::setpriority(PRIO_PROCESS, self, readerNice);
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return quit_ || wanted_; });
        if (quit_)
            return;
        const std::string path = std::move(*wanted_);
        wanted_.reset();
        const std::uint64_t generation = generation_;
        cancel_ = false;
        lock.unlock();

        auto info = std::make_shared<TrackInfo>();
        info->path = path;
        info->tags = read_(path, cancel_);
        if (!info->tags.picture.empty() && !cancel_)
            info->art = ArtFile::write(info->tags.picture, info->tags.pictureExtension);
        info->tags.picture = {};
        info->tags.picture.shrink_to_fit();
        info->artPath = info->art ? info->art->path() : cancel_ ? std::string() : coverBeside(path);

        lock.lock();
        if (quit_)
            return;
        if (generation == generation_)
            QMetaObject::invokeMethod(
                &context_, [this, info = std::shared_ptr<const TrackInfo>(std::move(info))] { ready_(info); },
                Qt::QueuedConnection);
    }
}

}  // namespace tamro::desktop
