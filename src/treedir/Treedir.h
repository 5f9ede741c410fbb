// QTreeDir: the directory tree of one drive. The drive's root is the only top-level
// node; a directory is listed only when its node is first opened. Until then a node that
// has subdirectories holds one placeholder child (marked by a flag, never by its text),
// which gives it an expand button.
//
// Paths are raw bytes (std::string) kept in the nodes beside their display text, so
// directories whose names are not valid UTF-8 are shown and still reachable. The
// separator is "/"; a drive is a mount point, its root form has one trailing "/"
// ("/", "/home/"), deeper paths have none ("/home/ann").
//
// The control handles the arrow keys, left clicks and double-clicks itself instead of
// the widget's own handling. Whenever it selects a node it first sets CurrentPath, so
// OnChange always finds CurrentPath naming the newly chosen directory.
#pragma once

#include <QList>
#include <QPixmap>
#include <QTreeWidget>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QTreeDir : public QTreeWidget {
    Q_OBJECT

public:
    explicit QTreeDir(QWidget* parent = nullptr);
    ~QTreeDir() override;

    std::string CurrentDrive;  // mount point of the drive shown (or to be shown)
    std::string CurrentPath;   // directory last chosen in the tree
    bool Initialized = false;  // the drive's root was listed
    QList<QPixmap> FolderImages;  // 0: closed folder, 1: open folder (the selected node's)
    const std::string FileMask;   // mask that lists every entry of a directory

    // Rebuilds the tree for CurrentDrive; with the flag, takes the focus and selects the root.
    bool Init(bool focusAndSelect);

    // path + "/" + name (no second separator after a root form); empty for "." and "..".
    std::string fnAppendPath(const std::string& path, std::optional<std::string_view> name) const;
    // Whether path + name holds at least one subdirectory (reads no further than the first).
    bool fnHasSubDirectory(const std::string& path, std::optional<std::string_view> name) const;
    // Lists path + name and adds its subdirectories below a node that has no children yet.
    void subAddDirectory(QTreeWidgetItem* node, const std::string& path, std::optional<std::string_view> name);
    // Full path of a node, built from the node names alone.
    std::string fnGetPath(const QTreeWidgetItem* node) const;
    // Collapses an expanded node with everything below it, or fills and expands it.
    void subSetBmp(QTreeWidgetItem* node);
    // Replaces a node's placeholder by its real subdirectories.
    void subExpand(QTreeWidgetItem* node);

    // Shows the drive mounted at mountPoint; false, changing nothing, when it cannot be entered.
    bool SetDrive(const std::string& mountPoint, bool select);
    // Shows the drive of an absolute path and chooses the directory it names.
    void SetPath(const std::string& path, bool select);
    // Walks a relative path down from node, filling nodes on the way, and chooses the last.
    bool fnSetFocus(QTreeWidgetItem* node, std::string_view relativePath, bool select);

    QTreeWidgetItem* rootNode() const;
    QTreeWidgetItem* selectedNode() const;
    static bool isPlaceholder(const QTreeWidgetItem* node);
    static std::string nodeName(const QTreeWidgetItem* node);

    // What lies under a point of the viewport: the expand button of a node, a node's
    // glyph or text, or neither (indentation, the empty area right of the text).
    enum class Hit { Nowhere, Button, Item };
    Hit hitTest(QPoint viewportPos, QTreeWidgetItem** node) const;

signals:
    // The selected node changed (nullptr: no node is selected any more).
    void OnChange(QTreeWidgetItem* node);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    struct ChildDir {
        std::string name;
        bool hasSubdirectories = false;
    };

    void WMKeyDown(int key);
    void WMLButtonDown(QPoint pos);
    void WMLButtonDblClk(QPoint pos);

    std::vector<ChildDir> readChildren(const std::string& pattern, const std::string& dir, bool* started) const;
    void addChildren(QTreeWidgetItem* parent, std::vector<ChildDir> children);
    void selectNode(QTreeWidgetItem* node);
    void collapseWithDescendants(QTreeWidgetItem* node);

    QIcon folderIcon_;
    QMetaObject::Connection changeConnection_;
    bool changeBlocked_ = false;
    qint64 lastPressTime_ = -1;
    QPoint lastPressPos_;
};
