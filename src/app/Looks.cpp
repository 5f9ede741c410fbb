#include "app/Looks.h"

#include <QFontDatabase>

#include "treedir/Glyphs.h"

static void initAppResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(app);
        return true;
    }();
    (void)done;
}

namespace {
const char* const kPreferredFamily = "IPAPGothic";
const QColor kIconTransparent(255, 0, 255);
}  // namespace

QFont japaneseFont(int pixelSize) {
    QStringList families;
    if (QFontDatabase::families().contains(QString::fromLatin1(kPreferredFamily))) families << QString::fromLatin1(kPreferredFamily);
    const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
    for (const QString& f : japanese) {
        if (!families.contains(f) && !QFontDatabase::isPrivateFamily(f)) {
            families << f;
            break;
        }
    }
    QFont font;
    if (!families.isEmpty()) font.setFamilies(families);
    font.setPixelSize(pixelSize);
    return font;
}

QIcon programIcon() {
    initAppResources();
    QIcon icon;
    icon.addPixmap(glyphs::withKeyColour(QStringLiteral("VEXIL32"), kIconTransparent));
    icon.addPixmap(glyphs::withKeyColour(QStringLiteral("VEXIL16"), kIconTransparent));
    return icon;
}

QPixmap buttonGlyph(const QString& name) {
    initAppResources();
    return glyphs::bottomLeftTransparent(name);
}
