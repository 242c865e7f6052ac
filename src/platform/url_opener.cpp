// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/url_opener.h"

#include <QProcess>

namespace tamro {

DesktopUrlOpener::DesktopUrlOpener(QString program) : program(std::move(program)) {}

void DesktopUrlOpener::open(const QString& address)
{
    // A detached process never blocks the UI thread and leaves no child to reap. Its result is
    // deliberately ignored: a missing browser or a refused address is not the player's concern.
    // The address is passed as one argument, never through a shell, so no character in it is special.
    QProcess::startDetached(program, {address});
}

}  // namespace tamro
