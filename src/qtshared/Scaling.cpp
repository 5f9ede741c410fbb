#include "qtshared/Scaling.h"

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QSplitter>
#include <QWidget>

int tallScreenFactor(int screenHeight) { return screenHeight > 600 ? screenHeight / 600 : 1; }

const QScreen* screenOf(const QWidget* widget) {
    const QScreen* own = widget ? widget->screen() : nullptr;
    return own ? own : QGuiApplication::primaryScreen();
}

int windowScreenHeight(const QWidget* window, int screenHeight) {
    if (screenHeight > 0) return screenHeight;
    const QScreen* s = screenOf(window);
    return s ? s->geometry().height() : 0;
}

namespace {

int scaled(int v, int k) { return v == QWIDGETSIZE_MAX ? v : v * k; }

void scaleFont(QWidget* w, int k) {
    QFont f = w->font();
    if (f.pixelSize() > 0) f.setPixelSize(f.pixelSize() * k);
    else f.setPointSizeF(f.pointSizeF() * k);
    w->setFont(f);
}

void scaleOne(QWidget* w, QWidget* root, int k) {
    if (w == root || w->testAttribute(Qt::WA_SetFont)) scaleFont(w, k);
    const QSize min = w->minimumSize();
    const QSize max = w->maximumSize();
    if (!min.isNull()) w->setMinimumSize(min.width() * k, min.height() * k);
    w->setMaximumSize(scaled(max.width(), k), scaled(max.height(), k));
    if (QLayout* layout = w->layout()) {
        const QMargins m = layout->contentsMargins();
        layout->setContentsMargins(m.left() * k, m.top() * k, m.right() * k, m.bottom() * k);
        if (layout->spacing() > 0) layout->setSpacing(layout->spacing() * k);
    }
    // Widgets without a layout around them were placed by hand: move and size them too.
    QWidget* parent = w->parentWidget();
    if (w != root && parent && !parent->layout() && !qobject_cast<QSplitter*>(parent)) {
        const QRect g = w->geometry();
        w->setGeometry(g.x() * k, g.y() * k, g.width() * k, g.height() * k);
    }
    if (auto* splitter = qobject_cast<QSplitter*>(w)) splitter->setHandleWidth(splitter->handleWidth() * k);
}

}  // namespace

void scaleWidgets(QWidget* root, int k) {
    if (!root || k <= 1) return;
    scaleOne(root, root, k);
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (w->isWindow()) continue;
        bool insidePopup = false;
        for (QWidget* p = w->parentWidget(); p && p != root; p = p->parentWidget()) insidePopup = insidePopup || p->isWindow();
        if (!insidePopup) scaleOne(w, root, k);
    }
}
