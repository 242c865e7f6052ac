// SPDX-License-Identifier: GPL-3.0-or-later
// The file dialog on Qt's QFileDialog: the "description|patterns" filter as Qt name filters, the chosen path as bytes.
#pragma once

#include "platform/file_dialog.h"

#include <QFileDialog>
#include <QFileIconProvider>
#include <QMimeDatabase>
#include <QStringList>

class QWidget;

namespace tamro {

// Each description with its patterns, as Qt shows them: "Midi Files (*.mid,*.midi,*.rmi)|*.mid;*.midi;*.rmi"
// gives "Midi Files (*.mid *.midi *.rmi)". A pattern list already at the end of a description is replaced.
QStringList qtNameFilters(const std::string& filter);

// File types and icons told by the name alone. Qt's own provider reads a file without a known extension to
// tell its type, and a read of some files (/proc/kmsg, a stalled network file) never returns.
class NameOnlyIconProvider : public QFileIconProvider {
public:
    using QFileIconProvider::icon;
    QIcon icon(const QFileInfo& info) const override;
    QString type(const QFileInfo& info) const override;

private:
    QMimeDatabase mimeTypes_;
};

// Qt's file dialog as the player shows it: types told by name only, and a name with double quotes in it taken
// as one name. (Qt reads quotes in the name field as a list of names, "a" "b"; a Linux file name may hold them.)
namespace detail {
// Built before the dialog and gone after it, whose model uses the provider up to its end.
struct NameOnlyIcons {
    NameOnlyIconProvider icons;
};
}  // namespace detail

class PlayerFileDialog : private detail::NameOnlyIcons, public QFileDialog {
public:
    explicit PlayerFileDialog(QWidget* parent = nullptr);

    // The path chosen, once the dialog has been accepted.
    QString chosen() const;

    void accept() override;

private:
    QString typed_;
};

class QtFileDialog : public FileDialog {
public:
    explicit QtFileDialog(QWidget* parent);

    void setCancelError(bool raise) override { cancelError_ = raise; }
    void setFilter(const std::string& filter) override { filter_ = filter; }
    void showOpen() override;
    void showSave() override;
    std::string fileName() const override { return fileName_; }
    void setFileName(const std::string& name) override { fileName_ = name; }

private:
    QWidget* parent_;
    bool cancelError_ = false;
    std::string filter_;
    std::string fileName_;

    void show(bool save);
};

}  // namespace tamro
