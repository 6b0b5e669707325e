#include "app/FileDrop.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QWidget>

namespace {

QString DroppedFile(const QMimeData* data) {
    if (data == nullptr) {
        return {};
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            return url.toLocalFile();
        }
    }
    return {};
}

} // namespace

TFileDrop::TFileDrop(QWidget* window, std::function<void(const QString&)> open)
    : QObject(window), window_(window), open_(std::move(open)) {
    window->setAcceptDrops(true);
    qApp->installEventFilter(this);
}

bool TFileDrop::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) {
        return false;
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    auto* drop = static_cast<QDropEvent*>(event);
    const QString fileName = DroppedFile(drop->mimeData());
    if (widget == nullptr || widget->window() != window_ || fileName.isEmpty()) {
        return false;
    }
    drop->acceptProposedAction();
    if (type == QEvent::Drop) {
        // After the drop has ended: the file's messages may open a modal box.
        QTimer::singleShot(0, window_, [this, fileName] { open_(fileName); });
    }
    return true;
}
