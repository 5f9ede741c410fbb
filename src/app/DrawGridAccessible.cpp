#include "app/DrawGridAccessible.h"

#include <QPointer>

#include "app/DrawGrid.h"

namespace {

// One cell: a list item named by the grid's owner, placed where the cell is on screen.
class CellAccessible : public QAccessibleInterface {
public:
    CellAccessible(DrawGrid* grid, int col) : grid_(grid), col_(col) {}

    bool isValid() const override { return grid_ != nullptr; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return grid_ ? grid_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return grid_ ? QAccessible::queryAccessibleInterface(grid_) : nullptr; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    void setText(QAccessible::Text, const QString&) override {}

    QString text(QAccessible::Text t) const override {
        if (!grid_) return {};
        if (t == QAccessible::Name) return grid_->cellName(col_);
        if (t == QAccessible::Description) return grid_->cellDescription(col_);
        return {};
    }

    QRect rect() const override {
        if (!grid_) return {};
        const QRect cell = grid_->CellRect(col_);
        return QRect(grid_->viewport()->mapToGlobal(cell.topLeft()), cell.size());
    }

    QAccessible::State state() const override {
        QAccessible::State s;
        s.selectable = s.focusable = true;
        if (grid_ && grid_->Col() == col_) {
            s.selected = true;
            s.focused = grid_->hasFocus();
        }
        if (grid_ && !grid_->viewport()->rect().intersects(grid_->CellRect(col_))) s.invisible = s.offscreen = true;
        return s;
    }

private:
    QPointer<DrawGrid> grid_;
    int col_;
};

}  // namespace

DrawGridAccessible::DrawGridAccessible(DrawGrid* grid) : QAccessibleWidget(grid, QAccessible::List) {}

DrawGridAccessible::~DrawGridAccessible() {
    for (QAccessible::Id id : cells_) QAccessible::deleteAccessibleInterface(id);
}

DrawGrid* DrawGridAccessible::grid() const { return static_cast<DrawGrid*>(widget()); }

int DrawGridAccessible::childCount() const { return grid()->shownCells(); }

QAccessibleInterface* DrawGridAccessible::child(int index) const {
    if (index < 0 || index >= childCount()) return nullptr;
    while (cells_.size() <= static_cast<std::size_t>(index))
        cells_.push_back(QAccessible::registerAccessibleInterface(new CellAccessible(grid(), static_cast<int>(cells_.size()))));
    return QAccessible::accessibleInterface(cells_[static_cast<std::size_t>(index)]);
}

int DrawGridAccessible::indexOfChild(const QAccessibleInterface* child) const {
    for (std::size_t i = 0; i < cells_.size(); ++i)
        if (QAccessible::accessibleInterface(cells_[i]) == child) return static_cast<int>(i) < childCount() ? static_cast<int>(i) : -1;
    return -1;
}

QAccessibleInterface* DrawGridAccessible::childAt(int x, int y) const {
    const int col = grid()->MouseToCell(grid()->viewport()->mapFromGlobal(QPoint(x, y)));
    return col >= 0 ? child(col) : nullptr;
}

QAccessibleInterface* DrawGridAccessible::focusChild() const {
    return grid()->hasFocus() ? child(grid()->Col()) : nullptr;
}

QAccessibleInterface* DrawGridAccessible::factory(const QString& className, QObject* object) {
    if (className == QLatin1String("DrawGrid") && object && object->isWidgetType())
        return new DrawGridAccessible(static_cast<DrawGrid*>(object));
    return nullptr;
}
