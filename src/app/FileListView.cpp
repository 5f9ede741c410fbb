#include "app/FileListView.h"

#include <QHeaderView>
#include <QListView>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QTreeView>
#include <QVBoxLayout>

#include "app/ImageList.h"

const char* const FileListView::kNameCaption = "ﾌｧｲﾙ名";
const char* const FileListView::kCountCaption = "ｱｲｺﾝ数";

namespace {

constexpr int kNameRole = Qt::UserRole;       // file name bytes (QByteArray)
constexpr int kCountRole = Qt::UserRole + 1;  // number of icons
constexpr int kImageRole = Qt::UserRole + 2;  // index in the image lists

}  // namespace

// The first cell of a row; the model's sort asks it for the order of two rows.
class FileRowItem : public QStandardItem {
public:
    explicit FileRowItem(const FileListView* view) : view_(view) {}

    FileListView::Row toRow() const {
        const QByteArray name = data(kNameRole).toByteArray();
        return {std::string(name.constData(), static_cast<std::size_t>(name.size())), data(kCountRole).toInt(),
                data(kImageRole).toInt()};
    }

    bool operator<(const QStandardItem& other) const override {
        const auto* o = dynamic_cast<const FileRowItem*>(&other);
        if (!o || !view_->compare_) return QStandardItem::operator<(other);
        return view_->compare_(toRow(), o->toRow()) < 0;
    }

private:
    const FileListView* view_;
};

FileListView::FileListView(QWidget* parent)
    : QWidget(parent), model_(new QStandardItemModel(0, 2, this)), stack_(new QStackedWidget(this)),
      list_(new QListView), details_(new QTreeView) {
    model_->setHorizontalHeaderLabels({QString::fromUtf8(kNameCaption), QString::fromUtf8(kCountCaption)});

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
    const auto* item = dynamic_cast<const FileRowItem*>(model_->item(index, 0));
    return item ? item->toRow() : Row{};
}

int FileListView::insertRow(int position, const Row& row) {
    auto* first = new FileRowItem(this);
    first->setText(QString::fromLocal8Bit(row.name.data(), static_cast<qsizetype>(row.name.size())));
    first->setData(QByteArray(row.name.data(), static_cast<qsizetype>(row.name.size())), kNameRole);
    first->setData(row.iconCount, kCountRole);
    first->setData(row.imageIndex, kImageRole);
    QIcon icon;
    if (large_) icon.addPixmap(large_->Image(row.imageIndex));
    if (small_) icon.addPixmap(small_->Image(row.imageIndex));
    if (!icon.isNull()) first->setIcon(icon);
    auto* second = new QStandardItem(QString::number(row.iconCount));
    second->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);

    const int at = position < 0 || position > count() ? count() : position;
    model_->insertRow(at, {first, second});
    return at;
}

void FileListView::clear() { model_->removeRows(0, model_->rowCount()); }

int FileListView::insertSorted(const Row& row, const Compare& compare) {
    int low = 0;
    int high = count();
    while (low < high) {
        const int mid = low + (high - low) / 2;
        if (compare(row, this->row(mid)) < 0) high = mid;
        else low = mid + 1;
    }
    return insertRow(low, row);
}

void FileListView::sortRows(const Compare& compare) {
    compare_ = compare;
    model_->sort(0, Qt::AscendingOrder);
    compare_ = nullptr;
}

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
