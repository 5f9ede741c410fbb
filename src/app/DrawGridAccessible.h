// The icon strip as screen readers see it: a list whose items are the cells that show
// something, each named by the owner when asked (never while the strip fills).
#pragma once

#include <QAccessibleWidget>
#include <vector>

class DrawGrid;

class DrawGridAccessible : public QAccessibleWidget {
public:
    explicit DrawGridAccessible(DrawGrid* grid);
    ~DrawGridAccessible() override;

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;

    // Qt's factory hook: the strip's interface for a DrawGrid, none for anything else.
    static QAccessibleInterface* factory(const QString& className, QObject* object);

private:
    DrawGrid* grid() const;
    mutable std::vector<QAccessible::Id> cells_;  // registered cell interfaces, by column
};
