// The file dialog on Qt's QFileDialog: the "description|patterns" filter as Qt name filters, the chosen path as bytes.
#pragma once

#include "platform/file_dialog.h"

#include <QStringList>

class QWidget;

namespace tamro {

// Each description with its patterns, as Qt shows them: "Midi Files (*.mid,*.midi,*.rmi)|*.mid;*.midi;*.rmi"
// gives "Midi Files (*.mid *.midi *.rmi)". A pattern list already at the end of a description is replaced.
QStringList qtNameFilters(const std::string& filter);

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
