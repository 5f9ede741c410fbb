// The program's glyph bitmaps (16-colour BMPs in the resources, under ":/glyphs/NAME"),
// loaded with their transparent colour masked out.
#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPalette>
#include <QPixmap>
#include <QString>

namespace glyphs {

// The glyph with every pixel of colour `key` transparent.
QPixmap withKeyColour(const QString& name, QColor key);

// The glyph with the colour of its bottom-left pixel transparent.
QPixmap bottomLeftTransparent(const QString& name);

// ---- Glyphs on light and dark palettes ----

// The contrast ratio of two colours by their relative luminance (sRGB), 1 to 21.
double contrastRatio(QColor a, QColor b);

// The least contrast a glyph keeps against its background.
inline constexpr double kGlyphContrast = 3.0;

// True for a palette whose windows are dark (their colour darker than mid grey).
bool isDarkPalette(const QPalette& palette);

// The glyph as it is drawn on the palette: on a dark palette every pixel that stands out
// less than kGlyphContrast from the lightest of the palette's Window, Button, Base,
// Midlight and Light colours is lightened, its hue and saturation kept, until it does; on a light palette the
// glyph as it is. Transparency is kept.
QImage forPalette(const QImage& glyph, const QPalette& palette);

// An icon of glyphs drawn for the application's palette of the moment (forPalette): `normal`
// for every mode but `otherMode`, which shows `other` when one is given.
QIcon paletteIcon(const QPixmap& normal, const QPixmap& other = {}, QIcon::Mode otherMode = QIcon::Disabled);

// How well a glyph stands out on a background: the median contrast of its outline, the
// opaque pixels beside a transparent one or the glyph's edge. 0 for a glyph without any.
double outlineContrast(const QImage& glyph, QColor background);

}  // namespace glyphs
