// The details window beside the main window: opened by Enter, a double click and the
// pop-up menu's entry, it follows the strip's current icon, stays as it is while a modal
// dialog is open, and empties with the strip.
#include <QAction>
#include <QDialog>
#include <QListWidget>
#include <QMenu>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTabWidget>
#include <QUrl>
#include <QWheelEvent>
#include <memory>

#include "app/DetailsWindow.h"
#include "app/UiScanFixture.h"
#include "iconsave/SaveSeams.h"
#include "support/MessageRecorder.h"

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

// A group as current programs carry them and a module's cursors: the images' own bytes
// saved and copied, the zoom by Ctrl and the wheel and by the keys, the cursors listed and
// saved.
TEST_F(UiDetails, SavesCopiesZoomsAndListsCursors) {
    const fixtures::Bytes png = fixtures::detailedPng(4);
    auto cursors = fixtures::cursorResources({{fixtures::resName("HAND"), {{fixtures::solidDib(32, 0xFF00FF00), 5, 6}}}});
    ASSERT_TRUE(fixtures::writeFile(mod("modern.exe"), fixtures::makePe({fixtures::modernIcon(fixtures::resName("MAIN"), png)},
                                                                      {.extra = cursors})));
    rescan();
    clickRow(rowOf("modern.exe"));
    form->openDetails();
    DetailsWindow* details = form->detailsWindow();
    ASSERT_TRUE(details && QTest::qWaitForWindowExposed(details));
    QListWidget* images = details->imageList();
    ASSERT_EQ(images->count(), 8);
    fixtures::MessageRecorder messages;

    // The 256-pixel PNG, the last by size: saved and copied as it is stored.
    images->setCurrentRow(images->count() - 1);
    fixtures::ScriptedSaveDialog dialog;
    dialog.answer(dir.file("big"), 1);
    details->saveSelectedPng();
    EXPECT_EQ(fixtures::readFile(dir.file("big.png")), png);
    details->copySelectedPng();
    const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(copied);
    EXPECT_EQ(copied->data(QStringLiteral("image/png")), QByteArray(reinterpret_cast<const char*>(png.data()), static_cast<qsizetype>(png.size())));
    // Dragged out: the same PNG, also as a file in the window's drag folder.
    const std::unique_ptr<QMimeData> dragged(details->selectedDragData());
    ASSERT_TRUE(dragged);
    EXPECT_EQ(dragged->data(QStringLiteral("image/png")), copied->data(QStringLiteral("image/png")));
    const QUrl url(QString::fromUtf8(dragged->data(QStringLiteral("text/uri-list")).trimmed()));
    EXPECT_EQ(fixtures::readFile(url.toLocalFile().toStdString()), png) << url.toString().toStdString();
    EXPECT_EQ(url.fileName(), QStringLiteral("modern.exe-256x256-32bit.png"));
    // A bitmap image: a PNG of its own size.
    images->setCurrentRow(0);
    const QImage first = QImage::fromData(details->selectedPng(), "PNG");
    EXPECT_EQ(first.size(), QSize(16, 16));
    EXPECT_TRUE(messages.messages().empty());

    // Ctrl and the wheel, Ctrl++ and Ctrl+-: one step each, from 1x to 8x; a card grows with it.
    const QSize small = images->item(0)->sizeHint();
    const auto wheel = [&](int delta, Qt::KeyboardModifiers modifiers) {
        QWheelEvent event(QPointF(5, 5), images->viewport()->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, delta), Qt::NoButton,
                          modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(images->viewport(), &event);
    };
    wheel(120, Qt::ControlModifier);
    EXPECT_EQ(details->zoom(), 2);
    wheel(120, Qt::NoModifier);  // scrolls only
    EXPECT_EQ(details->zoom(), 2);
    EXPECT_GT(images->item(0)->sizeHint().height(), small.height());
    for (int i = 0; i < 9; ++i) QTest::keyClick(images, Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_EQ(details->zoom(), 8);
    for (int i = 0; i < 9; ++i) QTest::keyClick(images, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(details->zoom(), 1);

    // The cursors tab: the module's cursor, saved as .cur.
    details->tabs()->setCurrentIndex(1);
    ASSERT_EQ(details->cursorList()->count(), 1);
    EXPECT_EQ(details->cursorList()->item(0)->text(), QString::fromUtf8("HAND, 32x32, ﾎｯﾄｽﾎﾟｯﾄ 5,6"));
    dialog.answer(dir.file("hand"), 1);
    details->saveSelectedCur();
    const fixtures::Bytes cur = fixtures::readFile(dir.file("hand.cur"));
    ASSERT_GE(cur.size(), 22u);
    EXPECT_EQ(fixtures::getU16(cur, 2), 2);   // a cursor file
    EXPECT_EQ(fixtures::getU16(cur, 10), 5);  // the hotspot
    EXPECT_EQ(fixtures::getU16(cur, 12), 6);
    EXPECT_TRUE(messages.messages().empty());
}

}  // namespace
