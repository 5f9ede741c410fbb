// The file list: one row per file with its name, its number of icons and the index of
// its first icon in the list's two image lists (large and small). One model is shown by
// two views that share it and its selection: a list view for the large-icon, small-icon
// and list styles, and a tree view with the columns "ﾌｧｲﾙ名" and "ｱｲｺﾝ数" for the details
// style. Changing the style neither reloads nor re-sorts the rows. A row dragged out
// offers its file.
//
// The rows are kept where they were added and reached through an order of row numbers,
// so inserting a row mid-list moves only that order, and clearing costs one pass.
#pragma once

#include <QWidget>
#include <functional>
#include <string>

class ImageList;
class QListView;
class QStackedWidget;
class FileListModel;
class QTreeView;

class FileListView : public QWidget {
    Q_OBJECT

public:
    enum class ViewStyle { Icon, SmallIcon, List, Report };
    enum class SortKind { None, Name, Count };  // what the rows were last sorted by

    struct Row {
        std::string name;  // file name bytes, without the directory
        int iconCount = 0;
        int imageIndex = -1;
    };
    // <0: a goes first, 0: equal, >0: b goes first.
    using Compare = std::function<int(const Row& a, const Row& b)>;

    static const char* const kNameCaption;   // "ﾌｧｲﾙ名"
    static const char* const kCountCaption;  // "ｱｲｺﾝ数"
    static constexpr int kCountColumnWidth = 80;

    explicit FileListView(QWidget* parent = nullptr);

    // The image lists that rows' image indexes refer to (owned by the caller).
    void setImageLists(const ImageList* large, const ImageList* small);

    ViewStyle viewStyle() const { return style_; }
    void setViewStyle(ViewStyle style);
    SortKind sortKind() const { return sortKind_; }
    void setSortKind(SortKind kind) { sortKind_ = kind; }

    int count() const;
    Row row(int index) const;
    // Inserts a row before position (at the end for -1 or a position past the end);
    // answers the row's index.
    int insertRow(int position, const Row& row);
    int addRow(const Row& row) { return insertRow(-1, row); }
    void clear();
    // Inserts a row after every row that compare does not place after it, in rows that
    // compare already orders (binary search); answers the row's index.
    int insertSorted(const Row& row, const Compare& compare);
    // Orders the rows by compare (equal rows keep their order); the selection follows its row.
    void sortRows(const Compare& compare);

    int selectedRow() const;  // -1 when none
    void selectRow(int index);
    QString columnCaption(int column) const;
    // The header's sort arrow on column (-1: none), pointing the way the rows run.
    void showSortIndicator(int column, bool descending);

    // Rows can be dragged out as the file they name (text/uri-list, copy only): `path` gives
    // a row's whole path. Without it no drag starts.
    void setRowPath(std::function<std::string(const Row& row)> path);

    QListView* listView() const { return list_; }
    QTreeView* detailsView() const { return details_; }

signals:
    // The selection changed, once per change: the row now selected (selected = true), or
    // the row that lost the selection when none is selected any more.
    void selectItem(int row, bool selected);
    // A column header of the details view was clicked.
    void columnClick(int column);

private:
    FileListModel* model_;
    QStackedWidget* stack_;
    QListView* list_;
    QTreeView* details_;
    const ImageList* large_ = nullptr;
    const ImageList* small_ = nullptr;
    ViewStyle style_ = ViewStyle::Report;
    SortKind sortKind_ = SortKind::None;
};
