#include <gtest/gtest.h>

#include <QPainter>
#include <QTest>
#include <QTreeView>
#include <algorithm>
#include <random>

#include "app/DrawGrid.h"
#include "app/FileListView.h"
#include "qtshared/ImageList.h"

namespace {

TEST(UiImageList, FixedSizeCopies) {
    ImageList list(16);
    EXPECT_EQ(list.AddIcon(QPixmap()), -1);
    QPixmap red(16, 16);
    red.fill(Qt::red);
    QPixmap big(32, 32);
    big.fill(Qt::blue);
    EXPECT_EQ(list.AddIcon(red), 0);
    EXPECT_EQ(list.AddIcon(big), 1);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Image(1).size(), QSize(16, 16));
    EXPECT_TRUE(list.Image(2).isNull());

    QImage canvas(20, 20, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    {
        QPainter p(&canvas);
        list.Draw(p, 2, 3, 1);
        list.Draw(p, 0, 0, 7);  // no such image: nothing
    }
    EXPECT_EQ(canvas.pixelColor(0, 0), QColor(Qt::white));
    EXPECT_EQ(canvas.pixelColor(2, 3), QColor(Qt::blue));
    EXPECT_EQ(canvas.pixelColor(17, 18), QColor(Qt::blue));

    list.Delete(0);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Image(0).toImage().pixelColor(0, 0), QColor(Qt::blue));
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

TEST(UiDrawGrid, ColumnsSelectionKeysAndClicks) {
    DrawGrid grid;
    grid.resize(200, 60);
    grid.setCellSize(34, 34);
    grid.setColCount(10);
    std::vector<int> drawn;
    std::vector<int> asked;
    bool allow = true;
    QObject::connect(&grid, &DrawGrid::DrawCell, [&](QPainter*, int col, const QRect& r, bool) {
        drawn.push_back(col);
        EXPECT_EQ(r.size(), QSize(34, 34));
    });
    QObject::connect(&grid, &DrawGrid::SelectCell, [&](int col, bool* canSelect) {
        asked.push_back(col);
        *canSelect = allow;
    });
    std::vector<Qt::MouseButton> ups;
    QObject::connect(&grid, &DrawGrid::MouseUp, [&](Qt::MouseButton b, QPoint) { ups.push_back(b); });
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    grid.setFocus();

    // Cells are 34 wide with a 1-pixel grid line: column c starts at 35c.
    EXPECT_EQ(grid.MouseToCell(QPoint(0, 5)), 0);
    EXPECT_EQ(grid.MouseToCell(QPoint(34, 5)), 0);
    EXPECT_EQ(grid.MouseToCell(QPoint(35, 5)), 1);
    EXPECT_EQ(grid.MouseToCell(QPoint(5, 40)), -1);  // below the row

    QTest::keyClick(&grid, Qt::Key_Right);
    QTest::keyClick(&grid, Qt::Key_Right);
    EXPECT_EQ(grid.Col(), 2);
    QTest::keyClick(&grid, Qt::Key_Left);
    EXPECT_EQ(grid.Col(), 1);
    QTest::keyClick(&grid, Qt::Key_End);
    EXPECT_EQ(grid.Col(), 9);
    QTest::keyClick(&grid, Qt::Key_Right);  // past the end: nothing
    EXPECT_EQ(grid.Col(), 9);
    EXPECT_EQ(asked, (std::vector<int>{1, 2, 1, 9}));
    // The last column was scrolled into view; its cell lies inside the viewport.
    EXPECT_LE(grid.CellRect(9).right(), grid.viewport()->width());
    QTest::keyClick(&grid, Qt::Key_Home);
    EXPECT_EQ(grid.Col(), 0);
    EXPECT_EQ(grid.CellRect(0).left(), 0);

    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, QPoint(40, 10));
    EXPECT_EQ(grid.Col(), 1);
    QTest::mouseClick(grid.viewport(), Qt::RightButton, {}, QPoint(75, 10));
    EXPECT_EQ(grid.Col(), 1);  // only the left button moves the current cell
    EXPECT_EQ(ups, (std::vector<Qt::MouseButton>{Qt::LeftButton, Qt::RightButton}));

    allow = false;  // refused moves leave the column
    QTest::keyClick(&grid, Qt::Key_Right);
    EXPECT_EQ(grid.Col(), 1);
    EXPECT_FALSE(grid.setCol(5));
    EXPECT_FALSE(grid.setCol(42));

    drawn.clear();
    grid.viewport()->repaint();
    ASSERT_FALSE(drawn.empty());
    EXPECT_LE(static_cast<int>(drawn.size()), 7);  // only the visible cells

    grid.setColCount(1);
    EXPECT_EQ(grid.ColCount(), 1);
    EXPECT_EQ(grid.Col(), 0);
}

TEST(UiFileListView, RowsSortAndSelection) {
    FileListView list;
    std::vector<std::pair<int, bool>> events;
    QObject::connect(&list, &FileListView::selectItem, [&](int row, bool sel) { events.emplace_back(row, sel); });
    list.addRow({"b.exe", 3, 0});
    list.addRow({"A.EXE", 1, 1});
    list.addRow({"c.exe", 3, 2});
    EXPECT_EQ(list.insertRow(1, {"\xff.exe", 2, 3}), 1);
    EXPECT_EQ(list.insertRow(99, {"z.exe", 5, 4}), 4);
    ASSERT_EQ(list.count(), 5);
    EXPECT_EQ(list.row(1).name, "\xff.exe");  // name bytes kept
    EXPECT_EQ(list.row(1).iconCount, 2);
    EXPECT_EQ(list.row(1).imageIndex, 3);

    list.selectRow(3);  // c.exe
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], std::make_pair(3, true));
    list.selectRow(0);  // one event per change, for the row now selected
    EXPECT_EQ(events, (std::vector<std::pair<int, bool>>{{3, true}, {0, true}}));
    list.detailsView()->selectionModel()->clearSelection();
    EXPECT_EQ(events.back(), std::make_pair(0, false));
    EXPECT_EQ(list.selectedRow(), -1);

    // By icon count, descending; equal counts keep their order; the selection follows its row.
    list.selectRow(4);
    list.sortRows([](const FileListView::Row& a, const FileListView::Row& b) { return b.iconCount - a.iconCount; });
    std::vector<std::string> names;
    for (int i = 0; i < list.count(); ++i) names.push_back(list.row(i).name);
    EXPECT_EQ(names, (std::vector<std::string>{"z.exe", "b.exe", "c.exe", "\xff.exe", "A.EXE"}));
    EXPECT_EQ(list.row(list.selectedRow()).name, "z.exe");

    list.clear();
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.selectedRow(), -1);
}

// Rows inserted one by one at their sorted place end up as a stable sort would put them:
// equal keys in the order they came.
TEST(UiFileListView, InsertSortedKeepsOrderAndArrival) {
    const auto byCountDown = [](const FileListView::Row& a, const FileListView::Row& b) { return b.iconCount - a.iconCount; };
    std::mt19937 random(7);
    std::vector<FileListView::Row> rows;
    for (int i = 0; i < 200; ++i) rows.push_back({"f" + std::to_string(i), static_cast<int>(random() % 6), i});

    FileListView list;
    for (const auto& r : rows) list.insertSorted(r, byCountDown);
    std::stable_sort(rows.begin(), rows.end(), [&](const auto& a, const auto& b) { return byCountDown(a, b) < 0; });
    ASSERT_EQ(list.count(), static_cast<int>(rows.size()));
    for (int i = 0; i < list.count(); ++i) EXPECT_EQ(list.row(i).name, rows[static_cast<std::size_t>(i)].name) << i;
}

}  // namespace
