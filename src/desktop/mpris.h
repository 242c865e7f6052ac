// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop's player controls: MPRIS2 on the session bus, as media keys, sound applets and playerctl use
// them. Every call runs the handler a click would run;
// the properties are read from the media player when asked; their changes are signalled after each handler.
// The loaded track's tags and cover are read off the UI thread (tag_reader.h) and signalled once they are there.
#pragma once

#include "desktop/tag_reader.h"
#include "platform/media_player.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tamro::desktop {

inline constexpr const char* mprisService = "org.mpris.MediaPlayer2.tamroplayer30";
inline constexpr const char* mprisPath = "/org/mpris/MediaPlayer2";

// What the controls ask of the player; app/ connects each to its handler.
struct PlayerCommands {
    std::function<void()> play;
    std::function<void()> stop;
    std::function<void()> next;
    std::function<void()> previous;
    std::function<void()> raise;
    std::function<void()> quit;
    // As the slider seeks: its value set to `seconds` rounded to a whole second, then its click.
    std::function<void(double seconds)> seek;
    // Files given (absolute paths): appended and the first started, and the window raised.
    std::function<void(const std::vector<std::string>& paths)> open;
};

// The object at /org/mpris/MediaPlayer2. Calls arrive only from the event loop, so it can be put on the bus
// before the window exists, as long as attach() comes before the loop runs.
class Mpris : public QObject {
    Q_OBJECT
public:
    // `readTags` reads a file's tags (off the UI thread); without one, the file's own tags are read.
    explicit Mpris(TagReader::Read readTags = nullptr);
    ~Mpris() override;

    // Puts the object on the connection; false when the path is taken.
    bool exportOn(QDBusConnection connection);
    void attach(MediaPlayer& play, PlayerCommands commands);

    // After each handler: PropertiesChanged for what differs from what was last signalled, and Seeked when the
    // handler moved the position.
    void afterEvent(bool seeked);

    // What the properties read.
    QString playbackStatus() const;
    QVariantMap metadata() const;
    QDBusObjectPath trackId() const;
    qint64 positionMicros() const;
    qint64 lengthMicros() const;
    const PlayerCommands& commands() const { return commands_; }
    // Seek by an offset, and to a position of the track `track`, as the MPRIS2 methods ask.
    void seekBy(qint64 offsetMicros);
    void seekTo(const QDBusObjectPath& track, qint64 positionMicros);

signals:
    void seeked(qint64 positionMicros);
    // The loaded track's tags arrived and were signalled.
    void tagsShown();

private:
    // What was last signalled, compared after every handler (the clock's ticks too), so without copies.
    struct Shown {
        bool playing = false;
        std::string file;
        qint64 length = 0;
    };
    bool playing() const;
    const std::string& file() const;
    void tagsRead(std::shared_ptr<const TrackInfo> info);
    void sendChanged(const QVariantMap& changed);

    MediaPlayer* play_ = nullptr;
    PlayerCommands commands_;
    QDBusConnection connection_{QString()};
    Shown signalled_;
    // The tags of the loaded track once read: always of the file the media player holds now, never of one
    // it only started early behind the tail of the one heard.
    std::shared_ptr<const TrackInfo> tags_;
    std::string tagsAskedFor_;
    TagReader reader_;
};

// The track id MPRIS2 names a loaded file by: the same path always gives the same id.
QDBusObjectPath trackIdOf(const std::string& path);

}  // namespace tamro::desktop
