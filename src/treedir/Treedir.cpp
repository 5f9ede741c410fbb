#include "treedir/Treedir.h"

#include <QApplication>
#include <QCollator>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyleHints>
#include <algorithm>

#include "platform/DirEnum.h"
#include "platform/Drives.h"
#include "platform/MbText.h"
#include "qtshared/Glyphs.h"

namespace {

constexpr int kNameRole = Qt::UserRole;             // raw name bytes (QByteArray)
constexpr int kPlaceholderRole = Qt::UserRole + 1;  // true on a placeholder node
const char* const kEveryEntry = "*.*";
const QColor kFolderTransparent(255, 0, 255);

bool isDotName(std::string_view name) { return name == "." || name == ".."; }

void setNodeName(QTreeWidgetItem* node, const std::string& name) {
    node->setData(0, kNameRole, QByteArray(name.data(), static_cast<qsizetype>(name.size())));
    node->setText(0, QString::fromLocal8Bit(name.data(), static_cast<qsizetype>(name.size())));
}

bool isAbove(const QTreeWidgetItem* ancestor, const QTreeWidgetItem* node) {
    for (const QTreeWidgetItem* p = node ? node->parent() : nullptr; p; p = p->parent())
        if (p == ancestor) return true;
    return false;
}

}  // namespace

QTreeDir::QTreeDir(QWidget* parent) : QTreeWidget(parent), FileMask(kEveryEntry) {
    CurrentDrive = platform::systemDrives().currentDrive();
    CurrentPath = platform::driveRoot(CurrentDrive);

    setHeaderHidden(true);
    setColumnCount(1);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setTextElideMode(Qt::ElideNone);
    setExpandsOnDoubleClick(false);
    setIconSize(QSize(16, 16));
    // The column is as wide as its widest visible node, so deep trees scroll sideways and
    // a click right of a node's text falls outside every node.
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);

    FolderImages.append(glyphs::withKeyColour(QStringLiteral("MSCLOSE"), kFolderTransparent));
    FolderImages.append(glyphs::withKeyColour(QStringLiteral("MSOPEN"), kFolderTransparent));
    // Drawn for the palette of the moment (light, or the desktop's dark one).
    folderIcon_ = glyphs::paletteIcon(FolderImages[0], FolderImages[1], QIcon::Selected);

    changeConnection_ = connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current, QTreeWidgetItem*) {
        if (!changeBlocked_) emit OnChange(current);
    });
    // However a node gets expanded, its placeholder is replaced by its subdirectories.
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* node) { subExpand(node); });
}

QTreeDir::~QTreeDir() {
    // The widget empties itself after this destructor: that is no change to report.
    disconnect(changeConnection_);
}

QTreeWidgetItem* QTreeDir::rootNode() const { return topLevelItemCount() > 0 ? topLevelItem(0) : nullptr; }

QTreeWidgetItem* QTreeDir::selectedNode() const {
    QTreeWidgetItem* node = currentItem();
    return node && node->isSelected() ? node : nullptr;
}

bool QTreeDir::isPlaceholder(const QTreeWidgetItem* node) { return node && node->data(0, kPlaceholderRole).toBool(); }

std::string QTreeDir::nodeName(const QTreeWidgetItem* node) {
    if (!node) return {};
    const QByteArray bytes = node->data(0, kNameRole).toByteArray();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::string QTreeDir::fnAppendPath(const std::string& path, std::optional<std::string_view> name) const {
    if (!name) return path;
    if (path.empty() || isDotName(*name)) return {};
    if (name->empty()) return path;
    return platform::joinPath(path, *name);
}

bool QTreeDir::fnHasSubDirectory(const std::string& path, std::optional<std::string_view> name) const {
    const std::string dir = fnAppendPath(path, name);
    if (dir.empty()) return false;
    auto search = platform::DirEnum::start(platform::joinPath(dir, FileMask));
    if (!search) return false;
    do {
        const platform::DirEntry& e = search->entry();
        if ((e.attributes & platform::attr::Directory) && !isDotName(e.name)) return true;
    } while (search->next());
    return false;
}

std::vector<QTreeDir::ChildDir> QTreeDir::readChildren(const std::string& pattern, const std::string& dir,
                                                       bool* started) const {
    std::vector<ChildDir> children;
    auto search = platform::DirEnum::start(pattern);
    *started = search != nullptr;
    if (!search) return children;
    do {
        const platform::DirEntry& e = search->entry();
        if ((e.attributes & platform::attr::Directory) && !e.name.empty() && !isDotName(e.name))
            children.push_back({e.name, false});
    } while (search->next());
    search.reset();
    for (ChildDir& c : children) c.hasSubdirectories = fnHasSubDirectory(dir, c.name);
    return children;
}

// Adds the directories below parent in locale-aware alphabetical order, case deciding only
// between names that are otherwise equal; each that has subdirectories gets a placeholder.
void QTreeDir::addChildren(QTreeWidgetItem* parent, std::vector<ChildDir> children) {
    QCollator caseless;
    caseless.setCaseSensitivity(Qt::CaseInsensitive);
    QCollator withCase;
    withCase.setCaseSensitivity(Qt::CaseSensitive);
    std::vector<std::pair<QString, std::size_t>> keys;
    keys.reserve(children.size());
    for (std::size_t i = 0; i < children.size(); ++i) {
        const std::string& n = children[i].name;
        keys.emplace_back(QString::fromLocal8Bit(n.data(), static_cast<qsizetype>(n.size())), i);
    }
    std::sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
        int r = caseless.compare(a.first, b.first);
        if (r == 0) r = withCase.compare(a.first, b.first);
        if (r == 0) return children[a.second].name < children[b.second].name;
        return r < 0;
    });

    QList<QTreeWidgetItem*> nodes;
    nodes.reserve(static_cast<qsizetype>(keys.size()));
    for (const auto& key : keys) {
        const ChildDir& c = children[key.second];
        auto* node = new QTreeWidgetItem;
        setNodeName(node, c.name);
        node->setIcon(0, folderIcon_);
        if (c.hasSubdirectories) {
            auto* placeholder = new QTreeWidgetItem(node);
            placeholder->setData(0, kPlaceholderRole, true);
            placeholder->setFlags(Qt::NoItemFlags);
        }
        nodes.append(node);
    }
    parent->addChildren(nodes);
}

bool QTreeDir::Init(bool focusAndSelect) {
    setUpdatesEnabled(false);
    changeBlocked_ = true;  // emptying the tree is no choice of the user's
    clear();
    changeBlocked_ = false;

    const std::string rootText = platform::driveRoot(CurrentDrive);
    auto* root = new QTreeWidgetItem(this);
    setNodeName(root, rootText);
    root->setIcon(0, folderIcon_);

    bool started = false;
    std::vector<ChildDir> children = readChildren(platform::joinPath(rootText, FileMask), rootText, &started);
    if (!started) {
        setUpdatesEnabled(true);
        Initialized = false;
        return false;
    }
    addChildren(root, std::move(children));
    CurrentPath = rootText;
    setUpdatesEnabled(true);
    if (root->childCount() > 0) root->setExpanded(true);
    if (focusAndSelect) {
        setFocus();
        selectNode(root);
    }
    Initialized = true;
    return true;
}

void QTreeDir::subAddDirectory(QTreeWidgetItem* node, const std::string& path, std::optional<std::string_view> name) {
    const std::string dir = fnAppendPath(path, name);
    if (!node || dir.empty() || node->childCount() > 0) return;
    bool started = false;
    setCursor(Qt::WaitCursor);
    std::vector<ChildDir> children = readChildren(platform::joinPath(dir, FileMask), dir, &started);
    if (started) {
        setUpdatesEnabled(false);
        addChildren(node, std::move(children));
        setUpdatesEnabled(true);
    }
    setCursor(Qt::ArrowCursor);
}

std::string QTreeDir::fnGetPath(const QTreeWidgetItem* node) const {
    std::vector<const QTreeWidgetItem*> chain;
    for (const QTreeWidgetItem* n = node; n; n = n->parent()) chain.push_back(n);
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const QTreeWidgetItem* parent = (*it)->parent();
        const std::string parentName = nodeName(parent);
        if (!parent || parentName.empty()) {
            path = nodeName(*it);
        } else {
            if (!platform::endsWithDelimiter(parentName)) path += platform::kPathSeparator;
            path += nodeName(*it);
        }
    }
    return path;
}

void QTreeDir::subExpand(QTreeWidgetItem* node) {
    if (!node || node == rootNode() || node->childCount() == 0) return;
    for (int i = 0; i < node->childCount(); ++i) {
        if (!isPlaceholder(node->child(i))) continue;
        delete node->takeChild(i);
        const std::string path = fnGetPath(node);
        if (fnHasSubDirectory(path, std::nullopt)) subAddDirectory(node, path, std::nullopt);
        return;
    }
}

void QTreeDir::subSetBmp(QTreeWidgetItem* node) {
    if (!node) return;
    if (node->isExpanded()) {
        collapseWithDescendants(node);
    } else {
        subExpand(node);
        node->setExpanded(true);
    }
}

// Collapses node and every expanded node below it. When the selected node disappears
// inside, the selection moves to node, CurrentPath first.
void QTreeDir::collapseWithDescendants(QTreeWidgetItem* node) {
    QTreeWidgetItem* selected = currentItem();
    const bool selectionInside = isAbove(node, selected);
    if (selectionInside) CurrentPath = fnGetPath(node);

    std::vector<QTreeWidgetItem*> stack{node};
    while (!stack.empty()) {
        QTreeWidgetItem* n = stack.back();
        stack.pop_back();
        for (int i = 0; i < n->childCount(); ++i)
            if (n->child(i)->isExpanded()) stack.push_back(n->child(i));
        n->setExpanded(false);
    }
    if (selectionInside) selectNode(node);
}

// Selecting a node makes it visible (its ancestors open) and raises OnChange when the
// selection moves.
void QTreeDir::selectNode(QTreeWidgetItem* node) {
    std::vector<QTreeWidgetItem*> ancestors;
    for (QTreeWidgetItem* p = node->parent(); p; p = p->parent()) ancestors.push_back(p);
    for (auto it = ancestors.rbegin(); it != ancestors.rend(); ++it)
        if (!(*it)->isExpanded()) (*it)->setExpanded(true);
    setCurrentItem(node);
    node->setSelected(true);
    scrollToItem(node);
}

bool QTreeDir::SetDrive(const std::string& mountPoint, bool select) {
    std::string drive = mountPoint;
    while (drive.size() > 1 && drive.back() == platform::kPathSeparator) drive.pop_back();
    if (drive.empty()) return false;

    if (Initialized && drive == CurrentDrive) {
        if (select && rootNode()) {
            CurrentPath = platform::driveRoot(drive);
            selectNode(rootNode());
        }
        return true;
    }
    if (!platform::systemDrives().enter(drive)) return false;
    CurrentDrive = drive;
    Init(select);
    return true;
}

void QTreeDir::SetPath(const std::string& path, bool select) {
    if (path.empty() || path.front() != platform::kPathSeparator) return;
    const std::string drive = platform::mountContaining(platform::systemDrives().list(), path);
    if (!SetDrive(drive, false)) return;
    QTreeWidgetItem* root = rootNode();
    if (!root) return;

    std::string_view rest(path);
    rest.remove_prefix(std::min(rest.size(), drive == "/" ? std::size_t{1} : drive.size() + 1));
    if (rest.empty()) {
        CurrentPath = platform::driveRoot(CurrentDrive);
        if (select) selectNode(root);
        return;
    }
    fnSetFocus(root, rest, select);
}

bool QTreeDir::fnSetFocus(QTreeWidgetItem* node, std::string_view relativePath, bool select) {
    if (relativePath.empty()) return true;
    if (!node) return false;

    const std::size_t slash = platform::findFirstChar(relativePath, platform::kPathSeparator);
    std::string_view component = relativePath.substr(0, slash);
    std::string_view rest = slash == std::string_view::npos ? std::string_view() : relativePath.substr(slash + 1);
    const bool last = rest.empty();
    if (component.empty()) return false;

    // The exact name first; failing that, the first name equal but for case.
    QTreeWidgetItem* match = nullptr;
    for (int i = 0; i < node->childCount() && !match; ++i)
        if (!isPlaceholder(node->child(i)) && nodeName(node->child(i)) == component) match = node->child(i);
    const QString wanted = QString::fromLocal8Bit(component.data(), static_cast<qsizetype>(component.size()));
    for (int i = 0; i < node->childCount() && !match; ++i)
        if (!isPlaceholder(node->child(i)) && node->child(i)->text(0).compare(wanted, Qt::CaseInsensitive) == 0)
            match = node->child(i);
    if (!match) return false;

    if (!last) {
        subExpand(match);
        return match->childCount() > 0 && fnSetFocus(match, rest, select);
    }
    CurrentPath = fnGetPath(match);
    if (select) selectNode(match);
    return true;
}

QTreeDir::Hit QTreeDir::hitTest(QPoint pos, QTreeWidgetItem** node) const {
    *node = nullptr;
    // The row under the point, wherever the point lies sideways (the column may be scrolled).
    QTreeWidgetItem* item = itemAt(QPoint(std::max(0, columnViewportPosition(0)), pos.y()));
    if (!item || isPlaceholder(item)) return Hit::Nowhere;
    *node = item;

    const QRect r = visualItemRect(item);  // starts right of the indentation and the button
    if (pos.x() < r.left()) {
        const bool hasButton = item->childCount() > 0;
        return hasButton && pos.x() >= r.left() - indentation() ? Hit::Button : Hit::Nowhere;
    }
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    const int glyph = iconSize().width() + 2 * margin;
    const int text = fontMetrics().horizontalAdvance(item->text(0)) + 2 * margin;
    return pos.x() < r.left() + glyph + text ? Hit::Item : Hit::Nowhere;
}

void QTreeDir::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
            WMKeyDown(event->key());
            event->accept();
            return;
        default:
            // The widget's own keys (typed search, paging, editing) are not used.
            event->ignore();
    }
}

void QTreeDir::WMKeyDown(int key) {
    QTreeWidgetItem* node = currentItem();
    if (!node) return;
    if (key == Qt::Key_Left) {
        if (node->isExpanded()) subSetBmp(node);
    } else if (key == Qt::Key_Right) {
        if (!node->isExpanded()) subSetBmp(node);
    } else {
        QTreeWidgetItem* next = key == Qt::Key_Up ? itemAbove(node) : itemBelow(node);
        if (next && !isPlaceholder(next)) {
            CurrentPath = fnGetPath(next);
            selectNode(next);
        }
    }
}

void QTreeDir::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() != Qt::LeftButton) return;
    // The second press of a double-click is followed by the double-click event, which
    // does that click's work.
    const QPoint pos = event->position().toPoint();
    const qint64 time = static_cast<qint64>(event->timestamp());
    const bool secondOfDouble = lastPressTime_ >= 0 && time - lastPressTime_ < QGuiApplication::styleHints()->mouseDoubleClickInterval() &&
                                (pos - lastPressPos_).manhattanLength() < QApplication::startDragDistance();
    lastPressTime_ = secondOfDouble ? -1 : time;
    lastPressPos_ = pos;
    if (!secondOfDouble) WMLButtonDown(pos);
}

void QTreeDir::mouseReleaseEvent(QMouseEvent* event) { event->accept(); }

void QTreeDir::mouseMoveEvent(QMouseEvent* event) {
    // Dragging with a button down would move the widget's selection: not here.
    if (event->buttons() != Qt::NoButton) {
        event->accept();
        return;
    }
    QTreeWidget::mouseMoveEvent(event);
}

void QTreeDir::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton) WMLButtonDblClk(event->position().toPoint());
}

void QTreeDir::WMLButtonDown(QPoint pos) {
    QTreeWidgetItem* node = nullptr;
    const Hit hit = hitTest(pos, &node);
    if (hit == Hit::Button) {
        subSetBmp(node);
        // The selection may have been moved by the widget without the path following it.
        QTreeWidgetItem* selected = selectedNode();
        if (selected) {
            const std::string path = fnGetPath(selected);
            if (path != CurrentPath) {
                CurrentPath = path;
                setFocus();
                emit OnChange(selected);
            }
        }
    } else if (hit == Hit::Item) {
        CurrentPath = fnGetPath(node);
        setFocus();
        selectNode(node);
    }
}

void QTreeDir::WMLButtonDblClk(QPoint pos) {
    QTreeWidgetItem* node = nullptr;
    if (hitTest(pos, &node) == Hit::Item) subSetBmp(node);
}
