#include "app/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

namespace {

ClipboardHandler& handlerSlot() {
    static ClipboardHandler handler;
    return handler;
}

// The system clipboard: setting replaces whatever it held. Reading the picture back tells
// whether the clipboard took it.
bool systemClipboard(const QImage& image) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard || image.isNull()) return false;
    clipboard->setImage(image);
    return !clipboard->image().isNull();
}

}  // namespace

bool setClipboardImage(const QImage& image) {
    const ClipboardHandler& handler = handlerSlot();
    return handler ? handler(image) : systemClipboard(image);
}

ClipboardHandler setClipboardHandler(ClipboardHandler handler) {
    ClipboardHandler previous = std::move(handlerSlot());
    handlerSlot() = std::move(handler);
    return previous;
}

bool setClipboardData(const QString& mimeType, const QByteArray& data) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard || data.isEmpty()) return false;
    auto* mime = new QMimeData;
    mime->setData(mimeType, data);
    clipboard->setMimeData(mime);  // the clipboard owns it from here
    const QMimeData* now = clipboard->mimeData();
    return now && now->hasFormat(mimeType);
}
