#include "qtshared/Glyphs.h"

#include <QBitmap>
#include <QGuiApplication>
#include <QHash>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <vector>

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

// ---- Glyphs on light and dark palettes ----

namespace {

double channel(int value) {
    const double v = value / 255.0;
    return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

double luminance(QColor c) { return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue()); }

// The lightest colour a glyph may be drawn on: the window, a list, a button, whose face a
// style draws lighter than the Button colour, up to the bevel's Light.
QColor lightestBackground(const QPalette& palette) {
    QColor lightest = palette.color(QPalette::Active, QPalette::Window);
    for (QPalette::ColorRole role : {QPalette::Button, QPalette::Base, QPalette::Midlight, QPalette::Light}) {
        const QColor c = palette.color(QPalette::Active, role);
        if (luminance(c) > luminance(lightest)) lightest = c;
    }
    return lightest;
}

// The colour lightened in HSL, hue and saturation kept, until it stands out enough.
QRgb lifted(QRgb pixel, QColor background) {
    QColor c = QColor::fromRgb(pixel).toHsl();
    for (int l = c.lightness(); l <= 255 && contrastRatio(c, background) < kGlyphContrast; ++l)
        c.setHsl(c.hslHue(), c.hslSaturation(), l);
    return (c.toRgb().rgb() & 0xFFFFFFu) | (pixel & 0xFF000000u);
}

// Draws glyphs for the application's palette when asked: the palette may change while
// the icon is held.
class PaletteIconEngine : public QIconEngine {
public:
    PaletteIconEngine(QPixmap normal, QPixmap other, QIcon::Mode otherMode)
        : normal_(std::move(normal)), other_(std::move(other)), otherMode_(otherMode) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
    }

    QPixmap pixmap(const QSize&, QIcon::Mode mode, QIcon::State) override {
        const QPalette palette = QGuiApplication::palette();
        const bool dark = isDarkPalette(palette);
        const bool other = mode == otherMode_ && !other_.isNull();
        const int slot = (other ? 2 : 0) + (dark ? 1 : 0);
        if (cached_[slot].isNull()) cached_[slot] = QPixmap::fromImage(forPalette((other ? other_ : normal_).toImage(), palette));
        return cached_[slot];
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return normal_.size().boundedTo(size); }
    QIconEngine* clone() const override { return new PaletteIconEngine(normal_, other_, otherMode_); }

private:
    QPixmap normal_;
    QPixmap other_;
    QIcon::Mode otherMode_;
    QPixmap cached_[4];  // normal and other, each on a light and a dark palette
};

}  // namespace

double contrastRatio(QColor a, QColor b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool isDarkPalette(const QPalette& palette) { return palette.color(QPalette::Active, QPalette::Window).lightness() < 128; }

QImage forPalette(const QImage& glyph, const QPalette& palette) {
    if (glyph.isNull() || !isDarkPalette(palette)) return glyph;
    const QColor background = lightestBackground(palette);
    QImage out = glyph.convertToFormat(QImage::Format_ARGB32);
    QHash<QRgb, QRgb> done;  // a glyph has few colours
    for (int y = 0; y < out.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            if (qAlpha(row[x]) == 0) continue;
            auto it = done.find(row[x]);
            if (it == done.end()) it = done.insert(row[x], lifted(row[x], background));
            row[x] = *it;
        }
    }
    return out;
}

QIcon paletteIcon(const QPixmap& normal, const QPixmap& other, QIcon::Mode otherMode) {
    return QIcon(new PaletteIconEngine(normal, other, otherMode));
}

double outlineContrast(const QImage& glyph, QColor background) {
    const QImage image = glyph.convertToFormat(QImage::Format_ARGB32);
    const auto opaque = [&image](int x, int y) {
        return x >= 0 && y >= 0 && x < image.width() && y < image.height() && qAlpha(image.pixel(x, y)) != 0;
    };
    std::vector<double> contrasts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (opaque(x, y) && !(opaque(x - 1, y) && opaque(x + 1, y) && opaque(x, y - 1) && opaque(x, y + 1)))
                contrasts.push_back(contrastRatio(QColor::fromRgb(image.pixel(x, y)), background));
    if (contrasts.empty()) return 0;
    std::nth_element(contrasts.begin(), contrasts.begin() + static_cast<std::ptrdiff_t>(contrasts.size() / 2), contrasts.end());
    return contrasts[contrasts.size() / 2];
}

}  // namespace glyphs
