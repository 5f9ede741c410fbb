#include "app/DrawGrid.h"

#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionFocusRect>
#include <algorithm>

#include "app/DrawGridAccessible.h"

DrawGrid::DrawGrid(QWidget* parent) : QAbstractScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setBackgroundRole(QPalette::Base);
    updateScrollBar();
    static const bool factoryInstalled = (QAccessible::installFactory(&DrawGridAccessible::factory), true);
    (void)factoryInstalled;
}

void DrawGrid::setCellTexts(std::function<int()> shown, std::function<QString(int, bool)> text) {
    shown_ = std::move(shown);
    text_ = std::move(text);
}

void DrawGrid::setColCount(int count) {
    colCount_ = std::max(1, count);
    if (col_ >= colCount_) col_ = colCount_ - 1;
    updateScrollBar();
    viewport()->update();
}

bool DrawGrid::setCol(int col) {
    if (col < 0 || col >= colCount_) return false;
    bool canSelect = true;
    emit SelectCell(col, &canSelect);
    if (!canSelect) return false;
    col_ = col;
    scrollToCol(col);
    viewport()->update();
    if (QAccessible::isActive() && col < shownCells()) {
        QAccessibleEvent focus(this, hasFocus() ? QAccessible::Focus : QAccessible::Selection);
        focus.setChild(col);
        QAccessible::updateAccessibility(&focus);
    }
    return true;
}

void DrawGrid::setCellSize(int width, int height) {
    cellWidth_ = std::max(1, width);
    cellHeight_ = std::max(1, height);
    updateScrollBar();
    viewport()->update();
}

QRect DrawGrid::CellRect(int col) const {
    return QRect(col * pitch() - horizontalScrollBar()->value(), 0, cellWidth_, cellHeight_);
}

int DrawGrid::MouseToCell(QPoint pos) const {
    if (pos.y() < 0 || pos.y() >= cellHeight_ + kGridLineWidth || pos.x() < 0) return -1;
    const int col = (pos.x() + horizontalScrollBar()->value()) / pitch();
    return col < colCount_ ? col : -1;
}

QSize DrawGrid::viewportSizeHint() const { return QSize(colCount_ * pitch(), cellHeight_ + kGridLineWidth); }

void DrawGrid::updateScrollBar() {
    QScrollBar* bar = horizontalScrollBar();
    bar->setRange(0, std::max(0, colCount_ * pitch() - viewport()->width()));
    bar->setPageStep(viewport()->width());
    bar->setSingleStep(pitch());
}

void DrawGrid::scrollToCol(int col) {
    QScrollBar* bar = horizontalScrollBar();
    const int left = col * pitch();
    const int right = left + pitch();
    if (left < bar->value()) bar->setValue(left);
    else if (right > bar->value() + viewport()->width()) bar->setValue(right - viewport()->width());
}

void DrawGrid::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBar();
}

void DrawGrid::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.fillRect(event->rect(), palette().color(QPalette::Base));
    const int offset = horizontalScrollBar()->value();
    const int first = std::max(0, (event->rect().left() + offset) / pitch());
    const int last = std::min(colCount_ - 1, (event->rect().right() + offset) / pitch());
    const QColor lines = palette().color(QPalette::Button);
    for (int c = first; c <= last; ++c) {
        const QRect cell = CellRect(c);
        const bool selected = c == col_;
        if (selected) painter.fillRect(cell, palette().color(QPalette::Highlight));
        // Grid lines right of and below every cell.
        painter.fillRect(QRect(cell.right() + 1, 0, kGridLineWidth, cellHeight_ + kGridLineWidth), lines);
        painter.fillRect(QRect(cell.left(), cell.bottom() + 1, cell.width(), kGridLineWidth), lines);
        painter.save();
        painter.setClipRect(cell);
        emit DrawCell(&painter, c, cell, selected);
        painter.restore();
        if (selected && hasFocus()) {
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            focus.rect = cell;
            focus.backgroundColor = palette().color(QPalette::Highlight);
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
        }
    }
}

// Only the left button moves the current cell; what another button does is the owner's
// business (it sees the release through MouseUp).
void DrawGrid::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    const int col = event->button() == Qt::LeftButton ? MouseToCell(event->position().toPoint()) : -1;
    if (col >= 0 && col != col_) setCol(col);
    pressCol_ = col;
    pressPos_ = event->position().toPoint();
    event->accept();
}

void DrawGrid::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    if (pressCol_ < 0 || !(event->buttons() & Qt::LeftButton)) return;
    if ((event->position().toPoint() - pressPos_).manhattanLength() < QApplication::startDragDistance()) return;
    const int col = pressCol_;
    pressCol_ = -1;
    emit DragRequested(col);
}

void DrawGrid::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) pressCol_ = -1;
    emit MouseUp(event->button(), event->position().toPoint());
    event->accept();
}

// The second press of a double click acts as a press, then the cell under it is activated.
void DrawGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
    if (event->button() == Qt::LeftButton && MouseToCell(event->position().toPoint()) == col_) emit CellActivated();
}

void DrawGrid::keyPressEvent(QKeyEvent* event) {
    // Return, or Enter on the keypad (which comes with the keypad's modifier).
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        emit CellActivated();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        emit MenuRequested();
        event->accept();
        return;
    }
    int target = -1;
    switch (event->key()) {
        case Qt::Key_Left: target = col_ - 1; break;
        case Qt::Key_Right: target = col_ + 1; break;
        case Qt::Key_Home: target = 0; break;
        case Qt::Key_End: target = colCount_ - 1; break;
        default: QAbstractScrollArea::keyPressEvent(event); return;
    }
    if (target >= 0 && target < colCount_ && target != col_) setCol(target);
    event->accept();
}

// The Menu key arrives as a context-menu event of the keyboard; a right click is MouseUp's.
void DrawGrid::contextMenuEvent(QContextMenuEvent* event) {
    if (event->reason() == QContextMenuEvent::Mouse) return event->ignore();
    emit MenuRequested();
    event->accept();
}
