// The program's looks: its Japanese font and its icon.
#pragma once

#include <QFont>
#include <QIcon>

// "IPAPGothic" when installed, then the first font that writes Japanese, at the given
// pixel height.
QFont japaneseFont(int pixelSize);

// The program icon (32x32 and 16x16).
QIcon programIcon();

// A button glyph (16x16), its bottom-left pixel's colour transparent.
QPixmap buttonGlyph(const QString& name);
