// The program's looks: its Japanese font and its icon.
#pragma once

#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QProxyStyle>

// "IPAPGothic" when installed, then the first font that writes Japanese, at the given
// pixel height.
QFont japaneseFont(int pixelSize);

// The program icon (32x32 and 16x16).
QIcon programIcon();

// A button glyph (16x16), its bottom-left pixel's colour transparent.
QPixmap buttonGlyph(const QString& name);

// Grows every label placed by hand inside root (no layout around it, no word wrap) to the
// size its text needs, keeping its top-left corner and staying inside its parent: a label
// takes the width and height of its text in the font it is shown in.
void fitLabelsToText(QWidget* root);

// A one-line label that shows a text too long for it with an ellipsis in the middle (both
// ends of a file name stay readable); text() keeps the whole text.
class ElidingLabel : public QLabel {
public:
    using QLabel::QLabel;
    // The text as it is drawn in the label's current width.
    QString shownText() const;
    // Left and right padding inside the frame.
    static constexpr int kPadding = 2;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect textRect() const;
};

// A combo box style that gives the text of a closed, non-editable combo the room the
// designed forms give it: a narrower arrow button and a text field reaching from the
// frame to that button. A text that still does not fit ends in an ellipsis.
class CompactComboStyle : public QProxyStyle {
public:
    static constexpr int kArrowWidth = 16;
    static constexpr int kFrameWidth = 2;

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                         const QWidget* widget) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;

    // Sets the style on the combo; the combo's parent keeps it.
    static void apply(QWidget* combo);
};
