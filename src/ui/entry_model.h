// SPDX-License-Identifier: GPL-3.0-or-later
// The playlist's entries as an item model: byte strings kept exactly, decoded only to be shown.
#pragma once

#include <QAbstractListModel>

#include <string>
#include <vector>

namespace tamro::ui {

class EntryModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    int size() const { return static_cast<int>(entries_.size()); }
    const std::string& at(int row) const { return entries_[static_cast<std::size_t>(row)]; }
    const std::vector<std::string>& all() const { return entries_; }

    void append(std::string entry);
    void remove(int row);
    void reset(std::vector<std::string> entries);

private:
    std::vector<std::string> entries_;
};

}  // namespace tamro::ui
