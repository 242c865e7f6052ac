// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/dropped_files.h"

#include "desktop/file_uri.h"

#include <QDropEvent>
#include <QMimeData>

namespace tamro::desktop {
namespace {

// From the raw text/uri-list, so that a path's bytes arrive exactly as the file manager escaped them.
std::vector<std::string> droppedPaths(const QMimeData* data)
{
    if (!data)
        return {};
    const QByteArray list = data->data(QStringLiteral("text/uri-list"));
    return localPaths(std::string_view(list.constData(), static_cast<std::size_t>(list.size())));
}

}  // namespace

DroppedFiles::DroppedFiles(QWidget& window, GivenFiles& given) : QObject(&window), window_(window), given_(given)
{
    window_.setAcceptDrops(true);
    window_.installEventFilter(this);
}

bool DroppedFiles::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != &window_)
        return false;
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        if (droppedPaths(drag->mimeData()).empty())
            drag->ignore();
        else
            drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const std::vector<std::string> paths = droppedPaths(drop->mimeData());
        if (paths.empty()) {
            drop->ignore();
            return true;
        }
        drop->acceptProposedAction();
        given_.append(paths);
        return true;
    }
    default:
        return false;
    }
}

}  // namespace tamro::desktop
