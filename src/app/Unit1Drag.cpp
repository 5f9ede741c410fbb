// TForm1: dragging icons and files out of the window. A strip cell offers its group's
// picture as `vexil-cli extract --format png` writes it (the largest image, a PNG file as
// stored): as a file named as extract names it, written into a folder of this user's own
// that goes when the window does, as image/png and as Qt's image type. A file-list row
// offers its file. Both only as a copy; a drag from the window is not taken by the window.
#include <QDrag>
#include <QImage>
#include <QMimeData>
#include <exception>

#include "app/Unit1.h"
#include "iconmod/ExtractOutput.h"
#include "iconmod/GroupImages.h"
#include "iconmod/SizedPng.h"
#include "platform/AtomicFile.h"
#include "platform/IconExtract.h"
#include "platform/MbText.h"
#include "platform/PrivateFolder.h"
#include "platform/StartPath.h"
#include "ui_Unit1.h"

void TForm1::setUpDragOut() {
    dragFolder_ = std::make_unique<platform::PrivateFolder>("vexil-drag-");
    connect(ui->DrawGrid1, &DrawGrid::DragRequested, this, &TForm1::DrawGrid1DragRequested);
    ui->ListView1->setRowPath([this](const FileListView::Row& row) { return FilePath(row.name); });
}

const std::string& TForm1::dragFolderPath() const { return dragFolder_->path(); }

QMimeData* TForm1::stripDragData(int col) {
    if (col < 0 || col >= ImageList32A.Count()) return nullptr;
    try {
        auto file = platform::openFile(CurrentFile).file;
        if (!file) return nullptr;
        const auto set = iconmod::groupImageSet(*file, col);
        const auto png = set ? iconmod::largestPng(*set, iconmod::PngCompression::Fast) : std::nullopt;
        if (!png || dragFolder_->path().empty()) return nullptr;
        const auto group = file->groupName(col);
        const std::string groupText = group ? formats::groupNameText(*group) : std::string();
        const std::string name = iconmod::NameBook().take(platform::baseName(CurrentFile),
                                                          group ? std::optional<std::string_view>(groupText) : std::nullopt, ".png");
        const std::string path = platform::joinPath(dragFolder_->path(), name);
        if (!platform::AtomicFile::writeWhole(path, *png, platform::AtomicFile::Durability::Unflushed)) return nullptr;
        const QByteArray bytes(reinterpret_cast<const char*>(png->data()), static_cast<qsizetype>(png->size()));
        auto* offered = new QMimeData;
        offered->setData(QStringLiteral("text/uri-list"), QByteArray::fromStdString(platform::fileUri(path) + "\r\n"));
        offered->setData(QStringLiteral("image/png"), bytes);
        offered->setImageData(QImage::fromData(bytes, "PNG"));
        return offered;
    } catch (const std::exception&) {
        return nullptr;
    }
}

void TForm1::DrawGrid1DragRequested(int col) {
    if (busy()) return;
    QMimeData* offered = stripDragData(col);
    if (!offered) return;
    auto* drag = new QDrag(ui->DrawGrid1);
    drag->setMimeData(offered);
    drag->setPixmap(ImageList32A.Image(col));
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}
