// TForm1: PNG with transparency from the window. "PNGで保存" writes the selected icon's
// group as a PNG at a size of the user's choice (the sizes the group holds, exactly as
// stored, and the standard sizes below its largest image, made by the scale-down rule);
// "PNGでｺﾋﾟｰ" puts the 32-pixel picture with its transparency on the clipboard as
// image/png. The icon save, the standard save and Copy are left as they are (Copy stays on white).
#include <QByteArray>
#include <exception>
#include <new>

#include "app/Clipboard.h"
#include "app/Unit1.h"
#include "iconmod/GroupImages.h"
#include "iconmod/PngExport.h"
#include "iconmod/PngSaveName.h"
#include "iconmod/SaveName.h"
#include "iconmod/SizedPng.h"
#include "platform/AtomicFile.h"
#include "platform/IconExtract.h"
#include "platform/MessageBox.h"
#include "qtshared/PictureConvert.h"
#include "ui_Unit1.h"

const char* const TForm1::kSavePngTitle = "PNG(透過)でﾌｧｲﾙに保存";
const char* const TForm1::kPngTypeFormat = "PNG %dx%d (*.png)";
const std::vector<int> TForm1::kPngSizes = {16, 24, 32, 48, 64, 128, 256};

void TForm1::mnuSavePngClick() {
    if (stripHasSelection()) SavePngFile(ui->DrawGrid1->Col());
}

void TForm1::mnuCopyPngClick() { CopyIconPng(); }

void TForm1::SavePngFile(int column) {
    std::optional<iconmod::IconImageSet> set;
    try {
        if (auto file = platform::openFile(CurrentFile).file) set = iconmod::groupImageSet(*file, column);
    } catch (const std::bad_alloc&) {
        set.reset();
    }
    const std::vector<int> sizes = set ? iconmod::offeredSizes(*set, kPngSizes) : std::vector<int>();
    if (sizes.empty()) {
        ShowError(kSaveFailed);
        return;
    }

    std::string filter;
    for (int size : sizes) {
        if (!filter.empty()) filter += '|';
        filter += QString::asprintf(kPngTypeFormat, size, size).toStdString() + "|*.png";
    }
    SavePngDlg.Filter = filter;
    SavePngDlg.Title = kSavePngTitle;
    SavePngDlg.FilterIndex = static_cast<int>(sizes.size());  // the largest
    SavePngDlg.ConfirmOverwrite = false;                      // the name check asks
    if (!SavePngDlg.Execute(this)) return;

    const auto path = pngSavePath(SavePngDlg.FileName);
    if (!path) return;
    const int index = SavePngDlg.FilterIndex;
    const int size = index >= 1 && index <= static_cast<int>(sizes.size()) ? sizes[static_cast<std::size_t>(index - 1)] : sizes.back();

    bool saved = false;
    try {
        const auto png = iconmod::sizedPng(*set, size);
        saved = png && platform::AtomicFile::writeWhole(*path, *png);
    } catch (const std::exception&) {
        saved = false;
    }
    if (!saved) ShowError(kSaveFailed);
}

void TForm1::CopyIconPng() {
    const int column = ui->DrawGrid1->Col();
    if (!stripHasSelection()) return;
    bool copied = false;
    try {
        const auto png = iconmod::encodePng(argbFromPixmap(ImageList32A.Image(column)), iconmod::PngCompression::Fast);
        copied = png && setClipboardData(QStringLiteral("image/png"),
                                         QByteArray(reinterpret_cast<const char*>(png->data()), static_cast<qsizetype>(png->size())));
    } catch (const std::exception&) {
        copied = false;
    }
    if (!copied) ShowError(kCopyFailed);
}

std::optional<std::string> TForm1::pngSavePath(const std::string& chosenName) {
    std::string path;
    const int kind = CheckPngSaveName(path, chosenName);
    if (kind == savename::kKindOther) platform::messageBox(savename::kNotPng, savename::kErrorTitle);
    if (kind != savename::kKindPng) return std::nullopt;
    return path;
}
