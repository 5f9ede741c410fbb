// TForm1: File, ｶｰｿﾙﾃｰﾏの作成: a Windows cursor pack shown role by role and installed as a
// cursor theme under ~/.icons (TCursorThemeForm).
#include <QMenu>

#include "app/CursorThemeDialog.h"
#include "app/ModalDialog.h"
#include "app/Unit1.h"
#include "app/WindowTexts.h"
#include "qtshared/CenterDialog.h"
#include "ui_Unit1.h"

void TForm1::addCursorThemeMenu() {
    QAction* entry = ui->mnuFile->addAction(QString::fromUtf8(wtext::kCursorThemeMenu));
    entry->setObjectName("mnuCursorTheme");
    connect(entry, &QAction::triggered, this, &TForm1::mnuCursorThemeClick);
}

void TForm1::mnuCursorThemeClick() {
    TCursorThemeForm dialog(this, iconmod::defaultCursorThemeDir().value_or(std::string()));
    CenterDialog(&dialog, this);
    runModal(dialog);
}
