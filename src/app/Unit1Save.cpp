// TForm1: the commands that act on the icon strip's current icon (the standard save, the
// clipboard copy, the icon save dialog), the enabling of their menu entries, and the
// About box.
#include <QAction>
#include <QImage>
#include <exception>
#include <memory>

#include "app/About.h"
#include "iconmod/SaveName.h"
#include "qtshared/CenterDialog.h"
#include "app/Clipboard.h"
#include "app/ModalDialog.h"
#include "qtshared/PictureConvert.h"
#include "app/Unit1.h"
#include "iconmod/Iconmod.h"
#include "iconmod/StandardSave.h"
#include "iconsave/Unit2.h"
#include "platform/MessageBox.h"
#include "ui_Unit1.h"

const char* const TForm1::kSaveFilter =
    "ｱｲｺﾝ (*.ico)|*.ico|ﾋﾞｯﾄﾏｯﾌﾟ (*.bmp)|*.bmp|jpegﾌｧｲﾙ (*.jpg)|*.jpg;*.jpeg";
const char* const TForm1::kSaveTitle32 = "通常ｱｲｺﾝ(ﾋﾞｯﾄﾏｯﾌﾟ)でﾌｧｲﾙに保存";
const char* const TForm1::kSaveTitle16 = "小さいｱｲｺﾝ(ﾋﾞｯﾄﾏｯﾌﾟ)でﾌｧｲﾙに保存";
const char* const TForm1::kSaveFailed = "保存中エラー発生";
const char* const TForm1::kCopyFailed = "クリップボードのコピーに失敗しました";
const char* const TForm1::kReopenFailed =
    "ﾘｿｰｽの再ﾛｰﾄﾞに失敗しました\n(16ﾋﾞｯﾄのDLL/EXEはこのﾒﾆｭｰは使えません\n  標準(16色)ﾒﾆｭｰを使って保存して下さい)";
const char* const TForm1::kReopenTitle = "Vexil ｴﾗｰ";

namespace {

bool validColumn(const ImageList& list, int column) { return list.Count() > 0 && column >= 0 && column < list.Count(); }

}  // namespace

bool TForm1::stripHasSelection() const { return validColumn(ImageList32A, ui->DrawGrid1->Col()); }

void TForm1::mnuFileClick() {
    const bool enabled = stripHasSelection();
    ui->mnuSaveIcon32->setEnabled(enabled);
    ui->mnuSaveIcon16->setEnabled(enabled);
    ui->mnuSaveIcon->setEnabled(enabled);
    ui->mnuIconSet->setEnabled(enabled);
    ui->mnuSavePng->setEnabled(enabled);
    ui->mnuCopyPng->setEnabled(enabled);
}

void TForm1::mnuEditClick() {
    const bool enabled = stripHasSelection();
    ui->mnuCopyBmp32->setEnabled(enabled);
    ui->mnuCopyBmp16->setEnabled(enabled);
}

void TForm1::mnuSaveIcon32Click() {
    if (validColumn(ImageList32A, ui->DrawGrid1->Col())) SaveIconFile(32, ui->DrawGrid1->Col());
}

void TForm1::mnuSaveIcon16Click() {
    if (validColumn(ImageList16A, ui->DrawGrid1->Col())) SaveIconFile(16, ui->DrawGrid1->Col());
}

void TForm1::mnuPopSaveIcon32Click() { mnuSaveIcon32Click(); }
void TForm1::mnuPopSaveIcon16Click() { mnuSaveIcon16Click(); }
void TForm1::mnuCopyBmp32Click() { CopyIconBitmap(32); }
void TForm1::mnuCopyBmp16Click() { CopyIconBitmap(16); }
void TForm1::mnuPopCopyBmp32Click() { CopyIconBitmap(32); }
void TForm1::mnuPopCopyBmp16Click() { CopyIconBitmap(16); }
void TForm1::mnuSaveIconClick() { OpenIconSaveDialog(); }
void TForm1::mnuPopupSaveIconClick() { OpenIconSaveDialog(); }

// The name's own extension decides the file type; the chosen type only supplies the
// extension of a name typed without one. Every file is written whole or not at all.
void TForm1::SaveIconFile(int size, int column) {
    SaveDlg1.Filter = kSaveFilter;
    SaveDlg1.Title = size == 32 ? kSaveTitle32 : kSaveTitle16;
    if (!SaveDlg1.Execute(this)) return;

    std::string path;
    const int kind = CheckSaveName(path, SaveDlg1.FileName, SaveDlg1.FilterIndex);
    if (kind == savename::kKindOther) {
        platform::messageBox(savename::kWrongType, savename::kErrorTitle);
        return;
    }
    if (kind == savename::kKindDeclined) return;

    const ImageList& list = size == 16 ? ImageList16A : ImageList32A;
    bool saved = false;
    try {
        const formats::ArgbImage picture = argbFromPixmap(list.Image(column));
        switch (kind) {
            case savename::kKindIcon: saved = iconmod::writeStandardIco(path, picture); break;
            case savename::kKindBitmap: saved = iconmod::writeWhiteBmp(path, picture); break;
            case savename::kKindJpeg: saved = iconmod::writeWhiteJpeg(path, picture); break;
            default: break;
        }
    } catch (const std::exception&) {
        saved = false;
    }
    if (!saved) ShowError(kSaveFailed);
}

void TForm1::CopyIconBitmap(int size) {
    const ImageList& list = size == 32 ? ImageList32A : ImageList16A;
    const int column = ui->DrawGrid1->Col();
    if (!validColumn(list, column)) return;
    bool copied = false;
    try {
        const QImage picture = imageFromArgb(formats::overWhite(argbFromPixmap(list.Image(column))));
        copied = !picture.isNull() && setClipboardImage(picture.convertToFormat(QImage::Format_RGB32));
    } catch (const std::exception&) {
        copied = false;
    }
    if (!copied) ShowError(kCopyFailed);
}

// The dialog first selects the group whose index is the strip's current column: the strip
// numbers a module's icons in the order the dialog lists its groups.
void TForm1::OpenIconSaveDialog() {
    const int column = ui->DrawGrid1->Col();
    if (CurrentFile.empty() || !validColumn(ImageList32A, column)) return;
    try {
        auto source = std::make_unique<iconmod::QIconMod>(CurrentFile);
        if (!source->fnOpen()) {
            platform::messageBox(kReopenFailed, kReopenTitle, platform::mb::Ok);
            return;
        }
        source->StartGroup = column;
        auto dialog = std::make_unique<TForm2>(this);
        dialog->Source = source.get();
        dialog->StripImages = &ImageList32A;
        CenterDialog(dialog.get(), this);
        runModal(*dialog);
        source.reset();
        dialog.reset();
    } catch (const std::exception&) {
        // Anything else that goes wrong around the dialog ends the command quietly.
    }
}

void TForm1::mnuAboutClick() {
    try {
        TAboutForm box(this);
        CenterDialog(&box, this);
        runModal(box);
    } catch (const std::exception&) {
        // The main window stays as it was.
    }
}
