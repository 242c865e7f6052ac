// SPDX-License-Identifier: GPL-3.0-or-later
// The program's icon: a red face inside a grey frame, drawn in code at every size the desktop asks for.
#pragma once

#include <QIcon>
#include <QImage>
#include <array>

namespace tamro::ui {

// The sizes drawn for the windows and exported into the icon theme.
inline constexpr std::array<int, 6> kAppIconSizes = {16, 32, 48, 64, 128, 256};

// The icon at size x size pixels (any size from 16 up).
QImage appIconImage(int size);

// All of kAppIconSizes in one icon, for both windows.
QIcon appIcon();

}  // namespace tamro::ui
