#include "app/FileListView.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QIcon>
#include <QListView>
#include <QMimeData>
#include <QStackedWidget>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <set>
#include <vector>

#include "platform/StartPath.h"
#include "qtshared/ImageList.h"

const char* const FileListView::kNameCaption = "ﾌｧｲﾙ名";
const char* const FileListView::kCountCaption = "ｱｲｺﾝ数";

// The rows of the list for both views. Rows stay where they were appended in `rows_`;
// `order_` gives the row shown at each position, so an insertion or a sort moves only
// row numbers.
class FileListModel : public QAbstractTableModel {
public:
    struct Entry {
        FileListView::Row row;
        QString text;   // the name as shown
        QIcon icon;
        QString count;  // the icon count as shown
    };

    explicit FileListModel(QObject* parent) : QAbstractTableModel(parent) {}

    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : static_cast<int>(order_.size());
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override { return parent.isValid() ? 0 : 2; }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= rowCount()) return {};
        const Entry& e = at(index.row());
        if (index.column() == 0) {
            if (role == Qt::DisplayRole) return e.text;
            if (role == Qt::DecorationRole) return e.icon;
        } else {
            if (role == Qt::DisplayRole) return e.count;
            if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        }
        return {};
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section > 1) return {};
        return QString::fromUtf8(section == 0 ? FileListView::kNameCaption : FileListView::kCountCaption);
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        if (!index.isValid()) return Qt::NoItemFlags;
        const Qt::ItemFlags item = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
        return rowPath ? item | Qt::ItemIsDragEnabled : item;
    }

    // A drag of rows: their files' URIs, each once.
    QStringList mimeTypes() const override { return {QStringLiteral("text/uri-list")}; }
    QMimeData* mimeData(const QModelIndexList& indexes) const override {
        if (!rowPath) return nullptr;
        std::set<int> rows;
        for (const QModelIndex& i : indexes)
            if (i.isValid() && i.row() < rowCount()) rows.insert(i.row());
        std::string list;
        for (int r : rows) list += platform::fileUri(rowPath(at(r).row)) + "\r\n";
        if (list.empty()) return nullptr;
        auto* data = new QMimeData;
        data->setData(QStringLiteral("text/uri-list"), QByteArray::fromStdString(list));
        return data;
    }
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }

    std::function<std::string(const FileListView::Row&)> rowPath;

    const Entry& at(int position) const { return rows_[order_[static_cast<std::size_t>(position)]]; }

    void insert(int position, Entry entry) {
        beginInsertRows(QModelIndex(), position, position);
        rows_.push_back(std::move(entry));
        order_.insert(order_.begin() + position, static_cast<int>(rows_.size() - 1));
        endInsertRows();
    }

    // Removes every row in one step (a reset would also forget the header's column sizes).
    void clear() {
        if (order_.empty()) return;
        beginRemoveRows(QModelIndex(), 0, rowCount() - 1);
        rows_.clear();
        order_.clear();
        endRemoveRows();
    }

    // Stable sort by compare; the selection and the current row follow their rows.
    void sort(const FileListView::Compare& compare) {
        emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        const QModelIndexList before = persistentIndexList();
        std::vector<int> stored;  // the stored row behind each persistent index
        for (const QModelIndex& i : before) stored.push_back(order_[static_cast<std::size_t>(i.row())]);
        std::stable_sort(order_.begin(), order_.end(), [&](int a, int b) {
            return compare(rows_[static_cast<std::size_t>(a)].row, rows_[static_cast<std::size_t>(b)].row) < 0;
        });
        std::vector<int> positionOf(rows_.size());
        for (std::size_t p = 0; p < order_.size(); ++p) positionOf[static_cast<std::size_t>(order_[p])] = static_cast<int>(p);
        QModelIndexList after;
        for (int k = 0; k < before.size(); ++k)
            after.append(index(positionOf[static_cast<std::size_t>(stored[static_cast<std::size_t>(k)])], before[k].column()));
        changePersistentIndexList(before, after);
        emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    }

private:
    std::vector<Entry> rows_;
    std::vector<int> order_;
};

FileListView::FileListView(QWidget* parent)
    : QWidget(parent), model_(new FileListModel(this)), stack_(new QStackedWidget(this)),
      list_(new QListView), details_(new QTreeView) {

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(stack_);
    stack_->addWidget(list_);
    stack_->addWidget(details_);

    for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(list_), static_cast<QAbstractItemView*>(details_)}) {
        v->setModel(model_);
        v->setEditTriggers(QAbstractItemView::NoEditTriggers);
        v->setSelectionMode(QAbstractItemView::SingleSelection);
        // The selection stays visible while another control has the focus.
        QPalette pal = v->palette();
        pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
        pal.setColor(QPalette::Inactive, QPalette::HighlightedText, pal.color(QPalette::Active, QPalette::HighlightedText));
        v->setPalette(pal);
    }
    list_->setSelectionModel(details_->selectionModel());
    list_->setModelColumn(0);
    list_->setUniformItemSizes(true);
    list_->setResizeMode(QListView::Adjust);

    details_->setRootIsDecorated(false);
    details_->setItemsExpandable(false);
    details_->setUniformRowHeights(true);
    details_->setIconSize(QSize(16, 16));
    details_->header()->setSectionsMovable(false);
    details_->header()->setStretchLastSection(false);
    details_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    details_->header()->setSectionResizeMode(1, QHeaderView::Fixed);
    details_->header()->resizeSection(1, kCountColumnWidth);
    details_->header()->setSectionsClickable(true);
    details_->header()->setSortIndicatorShown(true);
    details_->header()->setSortIndicator(-1, Qt::AscendingOrder);
    connect(details_->header(), &QHeaderView::sectionClicked, this, &FileListView::columnClick);

    connect(details_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection&, const QItemSelection& deselected) {
                const int now = selectedRow();
                if (now >= 0) {
                    emit selectItem(now, true);
                    return;
                }
                const QModelIndexList lost = deselected.indexes();
                if (!lost.isEmpty()) emit selectItem(lost.first().row(), false);
            });

    setViewStyle(ViewStyle::Report);
}

void FileListView::setImageLists(const ImageList* large, const ImageList* small) {
    large_ = large;
    small_ = small;
}

void FileListView::setRowPath(std::function<std::string(const Row& row)> path) {
    model_->rowPath = std::move(path);
    for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(list_), static_cast<QAbstractItemView*>(details_)}) {
        v->setDragEnabled(true);
        v->setDragDropMode(QAbstractItemView::DragOnly);
        v->setDefaultDropAction(Qt::CopyAction);
    }
}

void FileListView::setViewStyle(ViewStyle style) {
    style_ = style;
    if (style == ViewStyle::Report) {
        stack_->setCurrentWidget(details_);
        return;
    }
    switch (style) {
        case ViewStyle::Icon:
            list_->setViewMode(QListView::IconMode);
            list_->setIconSize(QSize(32, 32));
            list_->setGridSize(QSize(76, 64));
            list_->setWordWrap(true);
            break;
        case ViewStyle::SmallIcon:
            list_->setViewMode(QListView::ListMode);
            list_->setFlow(QListView::LeftToRight);
            list_->setWrapping(true);
            list_->setIconSize(QSize(16, 16));
            list_->setGridSize(QSize());
            list_->setWordWrap(false);
            break;
        default:  // list: columns filled top to bottom
            list_->setViewMode(QListView::ListMode);
            list_->setFlow(QListView::TopToBottom);
            list_->setWrapping(true);
            list_->setIconSize(QSize(16, 16));
            list_->setGridSize(QSize());
            list_->setWordWrap(false);
            break;
    }
    list_->setMovement(QListView::Static);
    stack_->setCurrentWidget(list_);
}

int FileListView::count() const { return model_->rowCount(); }

FileListView::Row FileListView::row(int index) const {
    return index >= 0 && index < count() ? model_->at(index).row : Row{};
}

int FileListView::insertRow(int position, const Row& row) {
    FileListModel::Entry entry{row, QString::fromLocal8Bit(row.name.data(), static_cast<qsizetype>(row.name.size())), QIcon(),
                               QString::number(row.iconCount)};
    if (large_) entry.icon.addPixmap(large_->DrawnImage(row.imageIndex));
    if (small_) entry.icon.addPixmap(small_->DrawnImage(row.imageIndex));
    const int at = position < 0 || position > count() ? count() : position;
    model_->insert(at, std::move(entry));
    return at;
}

int FileListView::insertSorted(const Row& row, const Compare& compare) {
    int low = 0;
    int high = count();
    while (low < high) {
        const int mid = low + (high - low) / 2;
        if (compare(row, model_->at(mid).row) < 0) high = mid;
        else low = mid + 1;
    }
    return insertRow(low, row);
}

void FileListView::clear() { model_->clear(); }

void FileListView::sortRows(const Compare& compare) { model_->sort(compare); }

int FileListView::selectedRow() const {
    const QModelIndexList rows = details_->selectionModel()->selectedRows(0);
    return rows.isEmpty() ? -1 : rows.first().row();
}

void FileListView::selectRow(int index) {
    const QModelIndex i = model_->index(index, 0);
    details_->selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

QString FileListView::columnCaption(int column) const {
    return model_->headerData(column, Qt::Horizontal).toString();
}

void FileListView::showSortIndicator(int column, bool descending) {
    details_->header()->setSortIndicator(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}
