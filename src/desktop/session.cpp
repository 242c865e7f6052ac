// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/session.h"

#include <QDBusConnectionInterface>
#include <QDBusReply>

#include <cstdlib>
#include <string>
#include <sys/stat.h>

namespace tamro::desktop {
namespace {

// Only a bus that is already there: where none is announced, the bus library would start one of its own
// (autolaunch), which would outlive the player.
bool sessionBusAnnounced()
{
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address)
        return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat socket = {};
    return runtime && *runtime && ::stat((std::string(runtime) + "/bus").c_str(), &socket) == 0 &&
           S_ISSOCK(socket.st_mode);
}

}  // namespace

std::unique_ptr<Mpris> joinSessionBus()
{
    if (!sessionBusAnnounced())
        return nullptr;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return nullptr;
    auto mpris = std::make_unique<Mpris>();
    if (!mpris->exportOn(bus))
        return nullptr;
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> claim = bus.interface()->registerService(
        QString::fromLatin1(mprisService), QDBusConnectionInterface::DontQueueService,
        QDBusConnectionInterface::DontAllowReplacement);
    if (!claim.isValid() || claim.value() != QDBusConnectionInterface::ServiceRegistered)
        return nullptr;
    return mpris;
}

}  // namespace tamro::desktop
