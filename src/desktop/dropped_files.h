// SPDX-License-Identifier: GPL-3.0-or-later
// Files dropped on the main window: each local file appended as Add appends it, nothing started; a drag that
// brings no local file is refused.
#pragma once

#include "desktop/given_files.h"

#include <QObject>
#include <QWidget>

namespace tamro::desktop {

class DroppedFiles : public QObject {
public:
    // Makes `window` take drops, through an event filter, so the window itself stays layout only.
    DroppedFiles(QWidget& window, GivenFiles& given);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& window_;
    GivenFiles& given_;
};

}  // namespace tamro::desktop
