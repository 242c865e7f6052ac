// SPDX-License-Identifier: GPL-3.0-or-later
// The playlist control `List1`: a list view of byte-exact entries with a list box's 16-bit index rules.
#pragma once

#include "base/numbers.h"
#include "ui/entry_model.h"

#include <QListView>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tamro::ui {

// Why an entry is refused, without the closing full stop: "The playlist is full: it holds 32767 entries".
std::string playlistFullText();

class ListBox : public QListView {
    Q_OBJECT
public:
    explicit ListBox(QWidget* parent = nullptr);
    ~ListBox() override;

    std::int16_t listCount() const;
    // The selected entry's index, -1 when none is selected.
    std::int16_t listIndex() const;
    // Failure outside -1..count-1; the selection is then left as it was.
    void setListIndex(std::int32_t index);
    // The selected entry, "" when none is selected.
    std::string text() const;
    // The entry at index, "" outside 0..count-1 (no failure, as a list box answers).
    std::string list(std::int32_t index) const;
    // Every entry, in order, without copying them.
    std::span<const std::string> entries() const { return model_.all(); }

    // Appends at the end; the selection stays. Failure when the list already holds maxEntries.
    void addItem(std::string entry);
    // Failure outside 0..count-1. Afterwards no entry is selected.
    void removeItem(std::int16_t index);
    void clear();
    // Replaces every entry in one model reset, leaving no entry selected; Failure (list unchanged) when
    // there are more than maxEntries.
    void replaceAll(std::vector<std::string> entries);

    QListView& widget() { return *this; }

signals:
    // A double-click on an entry (the click before it has selected that entry).
    void dblClick();
    // A key went down while the list has the focus; emitted before the list's own key handling.
    void keyDown(int key, Qt::KeyboardModifiers modifiers);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Only the primary button's double-click starts an entry; any other is one more press of that button.
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    // With the focus and no current entry, the focus marker goes round the first row's place.
    void paintEvent(QPaintEvent* event) override;

private:
    EntryModel model_;
};

}  // namespace tamro::ui
