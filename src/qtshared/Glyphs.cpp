#include "qtshared/Glyphs.h"

#include <QBitmap>
#include <QImage>

// The glyphs live in a static library: its resources are registered at first use.
static void initGlyphResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(glyphs);
        return true;
    }();
    (void)done;
}

namespace glyphs {
namespace {

QPixmap masked(const QImage& image, QColor key) {
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setMask(QBitmap::fromImage(image.createMaskFromColor(key.rgb(), Qt::MaskInColor)));
    return pixmap;
}

QImage load(const QString& name) {
    initGlyphResources();
    return QImage(QStringLiteral(":/glyphs/") + name).convertToFormat(QImage::Format_RGB32);
}

}  // namespace

QPixmap withKeyColour(const QString& name, QColor key) {
    const QImage image = load(name);
    return image.isNull() ? QPixmap() : masked(image, key);
}

QPixmap bottomLeftTransparent(const QString& name) {
    const QImage image = load(name);
    return image.isNull() ? QPixmap() : masked(image, image.pixelColor(0, image.height() - 1));
}

}  // namespace glyphs
