// A one-row grid of equal cells whose contents the owner draws (the icon strip). It paints
// the background, the current cell's highlight and the grid lines, then raises DrawCell
// for every visible cell; Left/Right/Home/End and a left click move the current column, each
// move asked first through SelectCell. The row scrolls sideways when its cells do not fit.
// The Menu key and Shift+F10 ask for the current cell's menu (MenuRequested), Enter and a
// double click activate the current cell (CellActivated); screen readers see the cells that
// show something as list items, named by the owner when asked. A move of the left button
// held down past the drag distance asks for a drag of the pressed cell.
#pragma once

#include <QAbstractScrollArea>
#include <QPainter>
#include <functional>

class DrawGrid : public QAbstractScrollArea {
    Q_OBJECT

public:
    static constexpr int kGridLineWidth = 1;

    explicit DrawGrid(QWidget* parent = nullptr);

    int ColCount() const { return colCount_; }
    void setColCount(int count);
    int Col() const { return col_; }
    // Makes col the current column (asking SelectCell first); false when refused or out of range.
    bool setCol(int col);

    int DefaultColWidth() const { return cellWidth_; }
    int DefaultRowHeight() const { return cellHeight_; }
    void setCellSize(int width, int height);

    // The column under a viewport point, or -1 outside every cell.
    int MouseToCell(QPoint viewportPos) const;
    // The cell's rectangle in viewport coordinates (without its grid line).
    QRect CellRect(int col) const;

    // What screen readers are told: how many cells show something, and a cell's name or
    // (description true) its description, asked for only when a reader asks.
    void setCellTexts(std::function<int()> shown, std::function<QString(int col, bool description)> text);
    int shownCells() const { return shown_ ? shown_() : 0; }
    QString cellName(int col) const { return text_ ? text_(col, false) : QString(); }
    QString cellDescription(int col) const { return text_ ? text_(col, true) : QString(); }

signals:
    // Draw the contents of cell col inside rect (background and highlight are painted).
    void DrawCell(QPainter* painter, int col, const QRect& rect, bool selected);
    // The current column is about to become col; clear *canSelect to refuse.
    void SelectCell(int col, bool* canSelect);
    void MouseUp(Qt::MouseButton button, QPoint viewportPos);
    // The Menu key or Shift+F10: the current cell's menu is wanted.
    void MenuRequested();
    // The left button went down on cell col and moved past the drag distance.
    void DragRequested(int col);
    // Enter on the current cell, or a double click on a cell (after the click made it current).
    void CellActivated();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    QSize viewportSizeHint() const override;

private:
    void updateScrollBar();
    void scrollToCol(int col);
    int pitch() const { return cellWidth_ + kGridLineWidth; }

    int colCount_ = 25;
    int col_ = 0;
    int cellWidth_ = 34;
    int cellHeight_ = 34;
    std::function<int()> shown_;
    std::function<QString(int, bool)> text_;
    int pressCol_ = -1;  // the cell the left button went down on, until it is released or dragged
    QPoint pressPos_;
};
