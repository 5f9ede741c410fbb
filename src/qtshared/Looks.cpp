#include "qtshared/Looks.h"

#include <QFontDatabase>
#include <QLayout>
#include <QPainter>
#include <QStyleOptionComboBox>
#include <algorithm>

#include "qtshared/Glyphs.h"

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
    QIcon icon;
    icon.addPixmap(glyphs::withKeyColour(QStringLiteral("VEXIL32"), kIconTransparent));
    icon.addPixmap(glyphs::withKeyColour(QStringLiteral("VEXIL16"), kIconTransparent));
    return icon;
}

QPixmap buttonGlyph(const QString& name) {
    return glyphs::bottomLeftTransparent(name);
}

void fitLabelsToText(QWidget* root) {
    for (QLabel* label : root->findChildren<QLabel*>()) {
        QWidget* parent = label->parentWidget();
        if (!parent || parent->layout() || label->wordWrap() || label->text().isEmpty()) continue;
        const QSize need = label->sizeHint();
        const QRect g = label->geometry();
        const int width = std::min(std::max(g.width(), need.width()), std::max(g.width(), parent->width() - g.x()));
        const int height = std::min(std::max(g.height(), need.height()), std::max(g.height(), parent->height() - g.y()));
        label->setGeometry(g.x(), g.y(), width, height);
    }
}

QRect ElidingLabel::textRect() const {
    // The frame's lines stay clear at the sides; the text may use the full height, so a
    // panel a little lower than the font still shows whole characters.
    const int side = frameWidth() + kPadding;
    return rect().adjusted(side, 0, -side, 0);
}

QString ElidingLabel::shownText() const { return fontMetrics().elidedText(text(), Qt::ElideMiddle, textRect().width()); }

void ElidingLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawFrame(&painter);
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(textRect(), int(Qt::AlignLeft | Qt::AlignVCenter) | Qt::TextSingleLine, shownText());
}

QRect CompactComboStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                                        const QWidget* widget) const {
    const auto* combo = qstyleoption_cast<const QStyleOptionComboBox*>(option);
    if (control != CC_ComboBox || !combo || combo->editable) return QProxyStyle::subControlRect(control, option, sub, widget);
    const QRect r = option->rect;
    switch (sub) {
        case SC_ComboBoxArrow: return visualRect(option->direction, r, QRect(r.right() - kArrowWidth + 1, r.top(), kArrowWidth, r.height()));
        case SC_ComboBoxEditField:
            return visualRect(option->direction, r,
                              QRect(r.left() + kFrameWidth, r.top() + kFrameWidth, r.width() - kArrowWidth - kFrameWidth,
                                    r.height() - 2 * kFrameWidth));
        default: return QProxyStyle::subControlRect(control, option, sub, widget);
    }
}

void CompactComboStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                                    const QWidget* widget) const {
    const auto* combo = qstyleoption_cast<const QStyleOptionComboBox*>(option);
    if (element != CE_ComboBoxLabel || !combo || combo->editable || !combo->currentIcon.isNull()) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    const QRect field = subControlRect(CC_ComboBox, combo, SC_ComboBoxEditField, widget);
    const QString shown = option->fontMetrics.elidedText(combo->currentText, Qt::ElideRight, field.width());
    painter->save();
    painter->setClipRect(field);
    drawItemText(painter, field, int(visualAlignment(option->direction, Qt::AlignLeft | Qt::AlignVCenter)), option->palette,
                 option->state & State_Enabled, shown, QPalette::ButtonText);
    painter->restore();
}

void CompactComboStyle::apply(QWidget* combo) {
    // Owned by the combo's parent, which destroys the combo (an earlier child) first.
    auto* style = new CompactComboStyle;
    style->setParent(combo->parentWidget() ? static_cast<QObject*>(combo->parentWidget()) : combo);
    combo->setStyle(style);
}
