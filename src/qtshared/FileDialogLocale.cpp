#include "qtshared/FileDialogLocale.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEvent>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLocale>
#include <QStyle>
#include <QTreeView>
#include <algorithm>

namespace {

// Marks a dialog whose columns follow the default locale already.
constexpr char kLocalized[] = "vexilLocalizedColumns";

class FileDialogWatcher : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            if (auto* dialog = qobject_cast<QFileDialog*>(watched)) localizeFileDialog(*dialog);
        }
        return false;
    }
};

}  // namespace

QVariant DefaultLocaleFileColumns::data(const QModelIndex& index, int role) const {
    const int column = index.column();
    if (role != Qt::DisplayRole || (column != kSizeColumn && column != kDateColumn)) return QIdentityProxyModel::data(index, role);
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (!files) return QIdentityProxyModel::data(index, role);
    const QModelIndex source = mapToSource(index);
    if (column == kDateColumn) return QLocale().toString(files->lastModified(source), QLocale::ShortFormat);
    // Folders and other entries that are not files show no size, as Qt's model leaves them.
    const QFileInfo info = files->fileInfo(source);
    if (info.isDir() || !info.exists()) return QIdentityProxyModel::data(index, role);
    return QLocale().formattedDataSize(files->size(source));
}

void localizeFileDialog(QFileDialog& dialog) {
    if (dialog.property(kLocalized).toBool()) return;
    dialog.setProperty(kLocalized, true);
    if (!dialog.proxyModel()) dialog.setProxyModel(new DefaultLocaleFileColumns(&dialog));

    auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    if (!view) return;
    const QFontMetrics metrics(view->font());
    const int margin = 2 * (view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1) + metrics.averageCharWidth();
    const QLocale locale;
    int sizeWidth = 0;
    // The longest size texts: the largest count of each unit.
    for (qint64 bytes : {Q_INT64_C(1023), Q_INT64_C(1023) << 10, Q_INT64_C(1023) << 20, Q_INT64_C(1023) << 30, Q_INT64_C(1023) << 40})
        sizeWidth = std::max(sizeWidth, metrics.horizontalAdvance(locale.formattedDataSize(bytes)));
    const QString date = locale.toString(QDateTime(QDate(2088, 12, 28), QTime(23, 58)), QLocale::ShortFormat);
    QHeaderView* header = view->header();
    header->resizeSection(DefaultLocaleFileColumns::kSizeColumn,
                          std::max(header->sectionSize(DefaultLocaleFileColumns::kSizeColumn), sizeWidth + margin));
    header->resizeSection(DefaultLocaleFileColumns::kDateColumn,
                          std::max(header->sectionSize(DefaultLocaleFileColumns::kDateColumn), metrics.horizontalAdvance(date) + margin));
}

void localizeEveryFileDialog(QCoreApplication& app) { app.installEventFilter(new FileDialogWatcher(&app)); }
