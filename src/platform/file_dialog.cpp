// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/file_dialog.h"

namespace tamro {

std::optional<std::string> chooseFile(FileDialog& dialog, DialogKind kind, const std::string& filter)
{
    dialog.setCancelError(false);
    dialog.setFilter(filter);
    if (kind == DialogKind::Open)
        dialog.showOpen();
    else
        dialog.showSave();
    if (dialog.fileName().empty())
        return std::nullopt;
    std::string path = dialog.fileName();
    // An empty name is how the next dialog tells a cancel from a choice, and it opens with an empty name field.
    dialog.setFileName("");
    return path;
}

}  // namespace tamro
