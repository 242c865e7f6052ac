// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/pixel_transfer.h"

#include <QByteArray>
#include <QtGlobal>

namespace tamro::app {

void sendPixelsOverTheConnection()
{
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", QByteArrayLiteral("1"));
}

}  // namespace tamro::app
