// SPDX-License-Identifier: GPL-3.0-or-later
// The file dialog as the commands see it, and the file choice that Add, Open, Load and Save all run through it.
#pragma once

#include <optional>
#include <string>

namespace tamro {

class FileDialog {
public:
    virtual ~FileDialog() = default;

    // When true, cancelling throws Failure; when false, a cancelled dialog returns with an empty file name.
    virtual void setCancelError(bool raise) = 0;
    // Descriptions and pattern lists alternating, separated by "|", patterns by ";"; the first is preselected.
    virtual void setFilter(const std::string& filter) = 0;
    // Modal; return when the user confirms or cancels.
    virtual void showOpen() = 0;
    virtual void showSave() = 0;
    // The chosen path as bytes, exactly as the system names the file; empty when none was chosen.
    virtual std::string fileName() const = 0;
    virtual void setFileName(const std::string& name) = 0;
};

enum class DialogKind { Open, Save };

// Asks for one path with this filter. Empty when the user cancelled, which is no failure.
std::optional<std::string> chooseFile(FileDialog& dialog, DialogKind kind, const std::string& filter);

}  // namespace tamro
