// Qt's file dialog with sizes and dates in the default locale (Japanese in the program), its
// columns wide enough for them; without the fix they come in the environment's locale.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLocale>
#include <QTreeView>

#include "qtshared/FileDialogLocale.h"
#include "support/ImageFixtures.h"

namespace {

// Restores the default locale when the test ends.
class DefaultLocale {
public:
    explicit DefaultLocale(const QLocale& locale) { QLocale::setDefault(locale); }
    ~DefaultLocale() { QLocale::setDefault(old_); }

private:
    QLocale old_;
};

// The size and date cells of `name` in the dialog's detail view, once the folder is read.
QStringList cellsOf(QFileDialog& dialog, const QString& name) {
    auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    if (!view) return {};
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QAbstractItemModel* model = view->model();
        const QModelIndex root = view->rootIndex();
        for (int r = 0; r < model->rowCount(root); ++r) {
            if (model->index(r, 0, root).data().toString() != name) continue;
            return {model->index(r, DefaultLocaleFileColumns::kSizeColumn, root).data().toString(),
                    model->index(r, DefaultLocaleFileColumns::kDateColumn, root).data().toString()};
        }
    }
    return {};
}

TEST(FileDialogLocale, SizesAndDatesInTheDefaultLocaleInColumnsThatHoldThem) {
    const DefaultLocale japanese(QLocale(QLocale::Japanese, QLocale::Japan));
    fixtures::TempDir dir;
    ASSERT_TRUE(fixtures::writeFile(dir.file("sample.exe"), fixtures::Bytes(532, 'x')));
    const QDateTime modified = QFileInfo(QString::fromStdString(dir.file("sample.exe"))).lastModified();
    const QLocale ja;
    const QLocale c = QLocale::c();
    const struct {
        bool localized;
        QString size;
        QString date;
    } cases[] = {
        {true, ja.formattedDataSize(532), ja.toString(modified, QLocale::ShortFormat)},
        // Qt's own texts, in the environment's locale: what the program showed before.
        {false, QLocale::system().formattedDataSize(532), QLocale::system().toString(modified, QLocale::ShortFormat)},
    };
    ASSERT_NE(cases[0].size, c.formattedDataSize(532));  // the two really differ
    for (const auto& k : cases) {
        SCOPED_TRACE(k.localized);
        QFileDialog dialog(nullptr, QString(), QString::fromStdString(dir.path()));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setViewMode(QFileDialog::Detail);
        if (k.localized) localizeFileDialog(dialog);
        dialog.show();
        EXPECT_EQ(cellsOf(dialog, QStringLiteral("sample.exe")), (QStringList{k.size, k.date}));
        if (k.localized) {
            QHeaderView* header = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))->header();
            const QFontMetrics metrics(header->font());
            EXPECT_GT(header->sectionSize(DefaultLocaleFileColumns::kSizeColumn), metrics.horizontalAdvance(k.size));
            EXPECT_GT(header->sectionSize(DefaultLocaleFileColumns::kDateColumn), metrics.horizontalAdvance(k.date));
        }
        dialog.hide();
    }
}

}  // namespace
