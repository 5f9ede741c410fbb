// TForm1: the icon's details window. Enter on the strip's current cell, a double click on a
// cell or "ｱｲｺﾝの詳細(D)..." at the end of the strip's pop-up menu opens it on the current
// icon; from then on it follows the strip's current cell and empties when the strip does.
#include <QApplication>
#include <QMenu>
#include <QTimer>

#include "app/DetailsWindow.h"
#include "app/Unit1.h"
#include "app/WindowTexts.h"
#include "ui_Unit1.h"

namespace {

// How soon a follow that had to wait for a scan, a strip fill or a dialog is tried again.
constexpr int kFollowRetryMs = 250;

}  // namespace

void TForm1::setUpDetails() {
    QAction* open = ui->PopupMenu1->addAction(QString::fromUtf8(wtext::kDetailsMenu));
    open->setObjectName(QStringLiteral("mnuPopDetails"));
    connect(open, &QAction::triggered, this, &TForm1::openDetails);
    connect(ui->DrawGrid1, &DrawGrid::CellActivated, this, &TForm1::openDetails);
    detailsFollow_ = new QTimer(this);
    detailsFollow_->setSingleShot(true);
    connect(detailsFollow_, &QTimer::timeout, this, &TForm1::followStrip);
}

// Asked for while the strip is still filling, the window opens at once and shows the icon
// once the filling ends.
void TForm1::openDetails() {
    if (!stripHasSelection()) return;
    if (!details_) {
        details_ = new DetailsWindow(this);
        details_->setDragFolder(dragFolderPath());
    }
    if (busy()) detailsFollow_->start(0);
    else details_->showIcon(CurrentFile, ui->DrawGrid1->Col());
    details_->show();
    details_->raise();
    details_->activateWindow();
}

void TForm1::followStripLater() {
    if (details_ && details_->isVisible()) detailsFollow_->start(0);
}

void TForm1::followStrip() {
    if (!details_ || !details_->isVisible()) return;
    if (busy() || QApplication::activeModalWidget()) {
        detailsFollow_->start(kFollowRetryMs);
        return;
    }
    if (stripHasSelection()) details_->showIcon(CurrentFile, ui->DrawGrid1->Col());
    else details_->showIcon({}, -1);
}
