// The details window beside the main window: opened by Enter, a double click and the
// pop-up menu's entry, it follows the strip's current icon, stays as it is while a modal
// dialog is open, and empties with the strip.
#include <QAction>
#include <QDialog>
#include <QListWidget>
#include <QMenu>

#include "app/DetailsWindow.h"
#include "app/UiScanFixture.h"

namespace {

using scanfixture::UiScan;

class UiDetails : public UiScan {
protected:
    void SetUp() override {
        UiScan::SetUp();
        writeModule("twelve.exe", 7, 12);
        start();
        choose(mods());
        clickRow(rowOf("twelve.exe"));
        ASSERT_EQ(grid->ColCount(), 12);
    }
    // Waits until the details window shows icon `index` of twelve.exe (-1: nothing).
    bool shows(int index) {
        return QTest::qWaitFor([&] {
            DetailsWindow* d = form->detailsWindow();
            return d && d->shownIndex() == index && (index < 0 ? d->shownPath().empty() : d->shownPath() == mod("twelve.exe"));
        }, 5000);
    }
};

TEST_F(UiDetails, OpensOnTheCurrentIconAndFollowsTheStrip) {
    EXPECT_EQ(form->detailsWindow(), nullptr);
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Right);
    QTest::keyClick(grid, Qt::Key_Return);
    ASSERT_TRUE(shows(1));
    DetailsWindow* details = form->detailsWindow();
    EXPECT_TRUE(details->isVisible());
    EXPECT_GT(details->imageList()->count(), 0);
    EXPECT_TRUE(details->windowTitle().contains(QStringLiteral("twelve.exe")));

    // The strip's arrow keys and clicks move it along.
    QTest::keyClick(grid, Qt::Key_End);
    EXPECT_TRUE(shows(11));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->CellRect(4).center());
    EXPECT_TRUE(shows(4));

    // While a modal dialog is open it stays as it is, and follows once the dialog closes.
    QDialog dialog(form.get());
    dialog.setModal(true);
    dialog.show();
    grid->setCol(6);
    QTest::qWait(400);
    EXPECT_EQ(details->shownIndex(), 4);
    dialog.close();
    EXPECT_TRUE(shows(6));

    // Closed, it is opened again by a double click (the click making the cell current
    // first) and by the pop-up menu's last entry.
    details->close();
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, grid->CellRect(2).center());
    EXPECT_EQ(grid->Col(), 2);
    EXPECT_TRUE(shows(2));
    EXPECT_TRUE(details->isVisible());
    details->close();
    grid->setCol(8);
    QAction* entry = form->findChild<QMenu*>(QStringLiteral("PopupMenu1"))->actions().back();
    EXPECT_EQ(entry->text(), QString::fromUtf8("ｱｲｺﾝの詳細(&D)..."));
    entry->trigger();
    EXPECT_TRUE(shows(8));

    // The strip emptied (the list read again) empties it.
    rescan();
    EXPECT_TRUE(shows(-1));
    EXPECT_EQ(details->imageList()->count(), 0);
    EXPECT_EQ(details->cursorList()->count(), 0);
}

}  // namespace
