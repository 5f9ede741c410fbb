// TForm1: the icon strip. Selecting a file in the list shows every icon of it, one cell
// each, at 32 pixels; the strip's image lists hold each icon at 32 and at 16 pixels for
// saving and copying. The current cell is the icon those commands act on, and a right
// click on an icon (or the Menu key, Shift+F10) makes it current and opens the pop-up menu.
#include <QMenu>
#include <new>

#include "app/Unit1.h"
#include "app/WindowTexts.h"
#include "iconmod/DevicePicture.h"
#include "platform/IconExtract.h"
#include "platform/MbText.h"
#include "ui_Unit1.h"

const char* const TForm1::kFirstPositionFormat = "1 / %d";
const char* const TForm1::kPositionFormat = "%d / %d";

// On a HiDPI screen, the picture for the list's cells in device pixels (see ImageList).
std::optional<formats::ArgbImage> TForm1::devicePictureOf(formats::OpenedFile& file, int index, const ImageList& list) {
    if (list.DevicePixelRatio() <= 1) return std::nullopt;
    return iconmod::devicePicture(file, index, list.Width(), list.DeviceSize());
}

void TForm1::popupAt(QMenu* menu, QPoint globalPos) { menu->popup(globalPos); }

// Rebuilds the strip for the list's selection: emptied first, then filled from one open
// of the file, one icon a step, as paced work (the window repaints, ESC stops the filling
// and keeps the icons so far). When icon i cannot be extracted the strip keeps icons 0 to
// i-1 in its n columns and the status bar is left as it is; the same when ESC stops it.
void TForm1::ListView1SelectItem(int, bool) {
    stripWork_.stop();
    DrawGrid* grid = ui->DrawGrid1;
    if (ImageList32A.Count() > 0) {
        ReleaseIcons(false);
        grid->setColCount(1);
        setStatusText(0, QString());
        setStatusText(1, QString());
    }
    followStripLater();
    const int selected = ui->ListView1->selectedRow();
    if (selected < 0) return;
    const FileListView::Row item = ui->ListView1->row(selected);
    CurrentFile = FilePath(item.name);

    auto file = platform::openFile(CurrentFile).file;
    const int n = file ? file->count() : 0;
    if (n <= 0) return;
    if (grid->Col() != 0) grid->setColCount(1);  // column 0 becomes current
    grid->setColCount(n);
    StripIconCount = n;

    stripFile_ = std::move(file);
    const QString name = QString::fromLocal8Bit(item.name.data(), static_cast<qsizetype>(item.name.size()));
    stripWork_.start([this] { return stripStep(); }, [this, n, name](PacedWork::End how) {
        const bool complete = how == PacedWork::End::Done && ImageList32A.Count() == n;
        stripFile_.reset();
        if (!complete) return;
        ui->DrawGrid1->viewport()->update();
        setStatusText(0, QString::asprintf(kFirstPositionFormat, n));
        setStatusText(1, name);
    });
}

// Extracts the next icon of the strip's file at both sizes into the strip's image lists;
// false when all are in or one cannot be extracted.
// An icon that does not fit in memory ends the filling as one that cannot be extracted.
bool TForm1::stripStep() {
    const int i = ImageList32A.Count();
    if (i >= stripFile_->count()) return false;
    try {
        const auto large = stripFile_->icon(i, kIconSize);
        if (!large) return false;
        const auto small = stripFile_->icon(i, kIconSize / 2);
        if (!small) return false;
        const int smallIndex = ImageList16A.AddIcon(*small);
        if (smallIndex < 0) return false;
        if (ImageList32A.AddIcon(*large, devicePictureOf(*stripFile_, i, ImageList32A)) < 0) {
            ImageList16A.Delete(smallIndex);
            return false;
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    ui->DrawGrid1->viewport()->update(ui->DrawGrid1->CellRect(i));
    return i + 1 < stripFile_->count();
}

// The icon sits 1 pixel inside its 34-pixel cell, over the background the grid painted.
void TForm1::DrawGrid1DrawCell(QPainter* painter, int col, const QRect& rect, bool) {
    if (col < ImageList32A.Count()) ImageList32A.Draw(*painter, rect.left() + 1, rect.top() + 1, col);
}

void TForm1::DrawGrid1SelectCell(int col, bool*) {
    const int count = ImageList32A.Count();
    if (col < count) setStatusText(0, QString::asprintf(kPositionFormat, col + 1, count));
    followStripLater();
}

// A right click on a cell that shows an icon makes it current and opens the pop-up menu
// where the button was released; anywhere else it does nothing.
void TForm1::DrawGrid1MouseUp(Qt::MouseButton button, QPoint pos) {
    if (button != Qt::RightButton) return;
    DrawGrid* grid = ui->DrawGrid1;
    const int col = grid->MouseToCell(pos);
    if (col < 0 || col >= ImageList32A.Count()) return;
    grid->setCol(col);
    popupMenu(ui->PopupMenu1, grid->viewport()->mapToGlobal(pos));
}

void TForm1::DrawGrid1MenuRequested() {
    DrawGrid* grid = ui->DrawGrid1;
    const int col = grid->Col();
    if (busy() || col < 0 || col >= ImageList32A.Count()) return;
    popupMenu(ui->PopupMenu1, grid->viewport()->mapToGlobal(grid->CellRect(col).center()));
}

QString TForm1::stripCellText(int col, bool description) const {
    const int count = ImageList32A.Count();
    if (col < 0 || col >= count) return {};
    if (description) return QString::fromUtf8(wtext::kCellFormat).arg(col + 1).arg(count);
    auto file = platform::openFile(CurrentFile).file;
    if (!file) return {};
    const auto group = file->groupName(col);
    QString name = group ? QString::fromUtf8(formats::groupNameText(*group)) : QString::fromLocal8Bit(platform::baseName(CurrentFile).data(), static_cast<qsizetype>(platform::baseName(CurrentFile).size()));
    QStringList sizes;
    for (const formats::IconDirEntry& entry : file->imagesOf(col)) {
        const auto image = file->imageData(entry);
        const auto info = image ? formats::imageHeaderInfo(*image) : std::nullopt;
        if (info) sizes << QStringLiteral("%1x%2").arg(info->width).arg(info->height);
    }
    return sizes.isEmpty() ? name : name + QStringLiteral(": ") + sizes.join(QStringLiteral(", "));
}
