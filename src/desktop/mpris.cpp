// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/mpris.h"

#include "desktop/file_uri.h"
#include "desktop/mpris_adaptors.h"
#include "base/product.h"

#include <QDBusMessage>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tamro::desktop {
namespace {

constexpr const char* noTrack = "/org/mpris/MediaPlayer2/TrackList/NoTrack";

qint64 micros(double seconds)
{
    return std::isfinite(seconds) ? static_cast<qint64>(std::llround(seconds * 1e6)) : 0;
}

}  // namespace

QDBusObjectPath trackIdOf(const std::string& path)
{
    if (path.empty())
        return QDBusObjectPath(QString::fromLatin1(noTrack));
    // FNV-1a: a path element may only hold letters, digits and "_", so the path itself cannot be used.
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : path) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    char id[64];
    std::snprintf(id, sizeof id, "/org/tamro/TamroPlayer30/track/t%016llx", static_cast<unsigned long long>(hash));
    return QDBusObjectPath(QString::fromLatin1(id));
}

Mpris::Mpris(TagReader::Read readTags)
    : reader_([this](std::shared_ptr<const TrackInfo> info) { tagsRead(std::move(info)); }, std::move(readTags))
{
    new RootAdaptor(*this);
    new PlayerAdaptor(*this);
}

Mpris::~Mpris()
{
    if (connection_.isConnected())
        connection_.unregisterObject(QString::fromLatin1(mprisPath));
}

bool Mpris::exportOn(QDBusConnection connection)
{
    if (!connection.registerObject(QString::fromLatin1(mprisPath), this, QDBusConnection::ExportAdaptors))
        return false;
    connection_ = connection;
    return true;
}

void Mpris::attach(MediaPlayer& play, PlayerCommands commands)
{
    play_ = &play;
    commands_ = std::move(commands);
    signalled_ = {playing(), file(), lengthMicros()};
}

bool Mpris::playing() const { return play_ && play_->isPlaying(); }

const std::string& Mpris::file() const
{
    static const std::string none;
    return play_ ? play_->loadedFile() : none;
}

QString Mpris::playbackStatus() const
{
    return playing() ? QStringLiteral("Playing") : QStringLiteral("Stopped");
}

QDBusObjectPath Mpris::trackId() const { return trackIdOf(file()); }

QVariantMap Mpris::metadata() const
{
    QVariantMap data;
    const std::string& path = file();
    data.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(trackIdOf(path)));
    if (path.empty())
        return data;
    const std::string name = path.substr(path.find_last_of('/') + 1);
    // Without a title of its own, shown as the playlist shows its entries.
    data.insert(QStringLiteral("xesam:title"), QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    data.insert(QStringLiteral("xesam:url"), QString::fromLatin1(fileUri(path)));
    data.insert(QStringLiteral("mpris:length"), lengthMicros());
    if (!tags_ || tags_->path != path)
        return data;
    const audio::SoundTags& t = tags_->tags;
    auto text = [](const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); };
    auto put = [&](const char* key, const std::string& value) {
        if (!value.empty())
            data.insert(QString::fromLatin1(key), text(value));
    };
    put("xesam:title", t.title);
    put("xesam:album", t.album);
    put("xesam:contentCreated", t.date);
    if (!t.artists.empty()) {
        QStringList artists;
        for (const std::string& artist : t.artists)
            artists << text(artist);
        data.insert(QStringLiteral("xesam:artist"), artists);
    }
    if (!t.albumArtist.empty())
        data.insert(QStringLiteral("xesam:albumArtist"), QStringList{text(t.albumArtist)});
    if (!t.genre.empty())
        data.insert(QStringLiteral("xesam:genre"), QStringList{text(t.genre)});
    if (t.trackNumber > 0)
        data.insert(QStringLiteral("xesam:trackNumber"), t.trackNumber);
    if (!tags_->artPath.empty())
        data.insert(QStringLiteral("mpris:artUrl"), QString::fromLatin1(fileUri(tags_->artPath)));
    return data;
}

void Mpris::tagsRead(std::shared_ptr<const TrackInfo> info)
{
    // A track replaced meanwhile: its tags go (and its picture file with them).
    if (info->path != file())
        return;
    tags_ = std::move(info);
    sendChanged({{QStringLiteral("Metadata"), metadata()}});
    emit tagsShown();
}

qint64 Mpris::positionMicros() const
{
    try {
        return play_ ? micros(play_->position()) : 0;
    } catch (const std::exception&) {
        return 0;
    }
}

qint64 Mpris::lengthMicros() const
{
    try {
        return play_ ? micros(play_->length()) : 0;
    } catch (const std::exception&) {
        return 0;
    }
}

void Mpris::seekBy(qint64 offsetMicros)
{
    if (file().empty() || !commands_.seek)
        return;
    const qint64 position = positionMicros();
    if (offsetMicros > lengthMicros() - position) {
        commands_.next();  // past the end, as MPRIS2 asks
        return;
    }
    commands_.seek(static_cast<double>(std::max<qint64>(position + offsetMicros, 0)) / 1e6);
}

void Mpris::seekTo(const QDBusObjectPath& track, qint64 positionMicros)
{
    // A position for a track no longer loaded, or outside it, is ignored.
    if (!play_ || !commands_.seek || track != trackId() || positionMicros < 0 || positionMicros > lengthMicros())
        return;
    commands_.seek(static_cast<double>(positionMicros) / 1e6);
}

void Mpris::afterEvent(bool seeked)
{
    if (file() != tagsAskedFor_) {
        tagsAskedFor_ = file();
        // The tags of the track before are not shown for this one, and its picture file goes now.
        tags_.reset();
        if (!tagsAskedFor_.empty())
            reader_.request(tagsAskedFor_);
    }
    if (!connection_.isConnected())
        return;
    QVariantMap changed;
    if (playing() != signalled_.playing) {
        signalled_.playing = playing();
        changed.insert(QStringLiteral("PlaybackStatus"), playbackStatus());
    }
    if (file() != signalled_.file || lengthMicros() != signalled_.length) {
        signalled_.file = file();
        signalled_.length = lengthMicros();
        changed.insert(QStringLiteral("Metadata"), metadata());
    }
    if (!changed.isEmpty())
        sendChanged(changed);
    if (seeked)
        emit this->seeked(positionMicros());
}

void Mpris::sendChanged(const QVariantMap& changed)
{
    if (!connection_.isConnected())
        return;
    QDBusMessage message = QDBusMessage::createSignal(QString::fromLatin1(mprisPath),
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("PropertiesChanged"));
    message << QStringLiteral("org.mpris.MediaPlayer2.Player") << changed << QStringList();
    connection_.send(message);
}

RootAdaptor::RootAdaptor(Mpris& mpris) : QDBusAbstractAdaptor(&mpris), mpris_(mpris) {}

QString RootAdaptor::identity() const { return QString::fromUtf8(productName); }
QString RootAdaptor::desktopEntry() const { return QString::fromUtf8(desktopId); }
QStringList RootAdaptor::supportedUriSchemes() const { return {QStringLiteral("file")}; }

QStringList RootAdaptor::supportedMimeTypes() const
{
    QStringList types;
    for (const SoundType& type : soundTypes) {
        const QString mime = QString::fromLatin1(type.mimeType.data(), static_cast<qsizetype>(type.mimeType.size()));
        if (!types.contains(mime))
            types << mime;
    }
    return types;
}

void RootAdaptor::Raise()
{
    if (mpris_.commands().raise)
        mpris_.commands().raise();
}

void RootAdaptor::Quit()
{
    if (mpris_.commands().quit)
        mpris_.commands().quit();
}

PlayerAdaptor::PlayerAdaptor(Mpris& mpris) : QDBusAbstractAdaptor(&mpris), mpris_(mpris)
{
    connect(&mpris, &Mpris::seeked, this, &PlayerAdaptor::Seeked);
}

namespace {
void call(const std::function<void()>& command)
{
    if (command)
        command();
}
}  // namespace

void PlayerAdaptor::Play() { call(mpris_.commands().play); }
void PlayerAdaptor::Pause() {}
void PlayerAdaptor::Stop() { call(mpris_.commands().stop); }
void PlayerAdaptor::Next() { call(mpris_.commands().next); }
void PlayerAdaptor::Previous() { call(mpris_.commands().previous); }

void PlayerAdaptor::PlayPause()
{
    // The play/pause key: with no pause, it stops what plays and plays what does not.
    call(mpris_.playbackStatus() == QLatin1String("Playing") ? mpris_.commands().stop : mpris_.commands().play);
}

void PlayerAdaptor::Seek(qlonglong Offset) { mpris_.seekBy(Offset); }

void PlayerAdaptor::SetPosition(const QDBusObjectPath& TrackId, qlonglong Position)
{
    mpris_.seekTo(TrackId, Position);
}

void PlayerAdaptor::OpenUri(const QString& Uri)
{
    const QByteArray bytes = Uri.toUtf8();
    if (auto path = localPath(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
        path && mpris_.commands().open)
        mpris_.commands().open({*path});
}

}  // namespace tamro::desktop
