#include "editor/desktopinput.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace orvella {

TDesktopInput::TDesktopInput(QWidget& window)
    : QObject(&window)
    , Window(window) {
    Window.setAcceptDrops(true);
    Window.installEventFilter(this);
}

QString TDesktopInput::DroppedFile(const QList<QUrl>& urls) {
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) continue;
        const QString path = url.toLocalFile();
        if (QFileInfo(path).isFile()) return path;
    }
    return {};
}

bool TDesktopInput::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &Window) return false;
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        const QMimeData* data = drag->mimeData();
        if (data && data->hasUrls() && !DroppedFile(data->urls()).isEmpty()) {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        } else {
            drag->ignore();
        }
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QString path =
            drop->mimeData() ? DroppedFile(drop->mimeData()->urls()) : QString();
        if (path.isEmpty()) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        if (OnDrop) OnDrop(path);
        return true;
    }
    case QEvent::KeyPress: {
        // Keys reach the window only when the focus widget left them unused.
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Space || key->modifiers() != Qt::NoModifier || key->isAutoRepeat())
            return false;
        if (OnSpace) OnSpace();
        return true;
    }
    default:
        return false;
    }
}

} // namespace orvella
