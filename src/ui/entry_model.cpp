// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/entry_model.h"

#include "base/shown_text.h"

namespace tamro::ui {

int EntryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : size();
}

QVariant EntryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        // Paths are bytes; invalid UTF-8 shows as replacement characters, the entry itself is untouched. A line
        // of megabytes is drawn cut: laying it out whole froze the window on every repaint.
        const std::string shown = shownText(at(index.row()));
        return QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size()));
    }
    return {};
}

void EntryModel::append(std::string entry)
{
    const int row = size();
    beginInsertRows({}, row, row);
    entries_.push_back(std::move(entry));
    endInsertRows();
}

void EntryModel::remove(int row)
{
    beginRemoveRows({}, row, row);
    entries_.erase(entries_.begin() + row);
    endRemoveRows();
}

void EntryModel::reset(std::vector<std::string> entries)
{
    beginResetModel();
    entries_ = std::move(entries);
    endResetModel();
}

}  // namespace tamro::ui
