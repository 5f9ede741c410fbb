// The program's glyph bitmaps (16-colour BMPs in the resources, under ":/glyphs/NAME"),
// loaded with their transparent colour masked out.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>

namespace glyphs {

// The glyph with every pixel of colour `key` transparent.
QPixmap withKeyColour(const QString& name, QColor key);

// The glyph with the colour of its bottom-left pixel transparent.
QPixmap bottomLeftTransparent(const QString& name);

}  // namespace glyphs
