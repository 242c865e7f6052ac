// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/list_box.h"

#include "base/failure.h"
#include "ui/focus_marker.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace tamro::ui {

std::string playlistFullText() { return "The playlist is full: it holds " + std::to_string(maxEntries) + " entries"; }

namespace {

Failure fullFailure() { return Failure(playlistFullText() + "."); }

// The style's entries, with the plain focus marker round the current one in place of the style's tint.
class FocusMarkedEntries : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem plain = option;
        plain.state.setFlag(QStyle::State_HasFocus, false);
        QStyledItemDelegate::paint(painter, plain, index);
        if (marksFocus(option.state)) {
            const bool selected = option.state & QStyle::State_Selected;
            drawFocusMarker(*painter, option.rect,
                            option.palette.color(selected ? QPalette::Highlight : QPalette::Base));
        }
    }
};

}  // namespace

ListBox::ListBox(QWidget* parent) : QListView(parent)
{
    setModel(&model_);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // All rows share one height, so a full list lays out and scrolls without measuring every row.
    setUniformItemSizes(true);
    setTextElideMode(Qt::ElideNone);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setItemDelegate(new FocusMarkedEntries(this));  // owned by the list
    connect(this, &QAbstractItemView::doubleClicked, this, [this] { emit dblClick(); });
}

ListBox::~ListBox()
{
    // The model is a member and goes before the view's base destructor runs.
    setModel(nullptr);
}

std::int16_t ListBox::listCount() const
{
    return static_cast<std::int16_t>(model_.size());
}

std::int16_t ListBox::listIndex() const
{
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? std::int16_t{-1} : static_cast<std::int16_t>(selected.first().row());
}

void ListBox::setListIndex(std::int32_t index)
{
    if (index < -1 || index >= model_.size())
        throw Failure("Cannot select entry " + std::to_string(index) + ": the playlist has "
                      + std::to_string(model_.size()) + " entries.");
    if (index == -1) {
        selectionModel()->clear();
        return;
    }
    const QModelIndex item = model_.index(index);
    selectionModel()->setCurrentIndex(item, QItemSelectionModel::ClearAndSelect);
    scrollTo(item);
}

std::string ListBox::text() const
{
    return list(listIndex());
}

std::string ListBox::list(std::int32_t index) const
{
    if (index < 0 || index >= model_.size())
        return {};
    return model_.at(index);
}

void ListBox::addItem(std::string entry)
{
    if (model_.size() >= maxEntries)
        throw fullFailure();
    model_.append(std::move(entry));
}

void ListBox::removeItem(std::int16_t index)
{
    if (index < 0 || index >= model_.size())
        throw Failure("Cannot remove entry " + std::to_string(index) + ": the playlist has "
                      + std::to_string(model_.size()) + " entries.");
    model_.remove(index);
    selectionModel()->clear();
}

void ListBox::clear()
{
    model_.reset({});
}

void ListBox::replaceAll(std::vector<std::string> entries)
{
    if (entries.size() > static_cast<std::size_t>(maxEntries))
        throw fullFailure();
    model_.reset(std::move(entries));
}

void ListBox::keyPressEvent(QKeyEvent* event)
{
    emit keyDown(event->key(), event->modifiers());
    QListView::keyPressEvent(event);
}

void ListBox::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        QListView::mouseDoubleClickEvent(event);
    else
        QListView::mousePressEvent(event);
}

void ListBox::paintEvent(QPaintEvent* event)
{
    QListView::paintEvent(event);
    if (!marksFocus(*this) || currentIndex().isValid())
        return;
    QPainter painter(viewport());
    const int row = model()->rowCount() > 0 ? visualRect(model()->index(0, 0)).height() : fontMetrics().height();
    drawFocusMarker(painter, QRect(0, 0, viewport()->width(), row), palette().color(QPalette::Base));
}

}  // namespace tamro::ui
