// TForm1: `vexil PATH`, the window opened on what the user points at (a file manager's
// "Open With", a terminal); without a path the start is the usual one, the current drive's
// root; File, Open does the same for what the user chooses. And the drive box following the drives that come and go while the window is open.
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>

#include "app/ModalDialog.h"
#include "app/Unit1.h"
#include "app/WindowTexts.h"
#include "qtshared/CenterDialog.h"
#include "platform/Drives.h"
#include "platform/IconExtract.h"
#include "platform/MbText.h"
#include "platform/StartPath.h"
#include "ui_Unit1.h"

const char* const TForm1::kPathNotFound = "\nが見つかりません";
const char* const TForm1::kPathNoIcon = "\nにはｱｲｺﾝがありません";

namespace {

std::string currentDirectory() {
    char* cwd = ::getcwd(nullptr, 0);
    if (!cwd) return "/";
    std::string out(cwd);
    std::free(cwd);
    return out;
}

}  // namespace

void TForm1::openPath(const std::string& path) {
    using Kind = platform::StartTarget::Kind;
    const platform::StartTarget target = platform::resolveStartPath(path, currentDirectory());
    std::string message;
    if (target.kind == Kind::Missing || target.kind == Kind::Nowhere) message = path + kPathNotFound;

    if (target.kind == Kind::File) {
        const std::string file = platform::joinPath(target.directory, target.fileName);
        if (platform::iconCount(file) > 0) {
            pendingDir_ = target.directory;
            pendingFile_ = target.fileName;
        } else {
            message = file + kPathNoIcon;
        }
        // The filter is chosen before the listing, which reads it.
        ui->ComboBox1->setCurrentIndex(platform::filterIndexForFile(target.fileName));
    }
    if (!target.directory.empty()) {
        // The drive first, as if chosen in the drive box; then the directory, as if clicked.
        ui->Drive1->setDrive(platform::mountContaining(platform::systemDrives().list(), target.directory));
        ui->TreeDir1->SetPath(target.directory, true);
    }
    if (!message.empty()) ShowError(message);
}

// A listing that ends in the directory of the file given at start selects the file's row,
// which fills the strip as a click would.
void TForm1::selectPendingRow() {
    // A drive root is listed in its root form, with a trailing "/" ("/media/usb/").
    std::string listed = CurrentDir;
    while (listed.size() > 1 && listed.back() == platform::kPathSeparator) listed.pop_back();
    if (pendingFile_.empty() || listed != pendingDir_) return;
    const std::string name = pendingFile_;
    pendingDir_.clear();
    pendingFile_.clear();
    FileListView* list = ui->ListView1;
    for (int i = 0; i < list->count(); ++i) {
        if (list->row(i).name == name) {
            list->selectRow(i);
            return;
        }
    }
}

void TForm1::drivesChanged() {
    drivesPending_ = true;
    applyDriveChange();
}

void TForm1::applyDriveChange() {
    if (!drivesPending_) return;
    if (busy() || QApplication::activeModalWidget() || QApplication::activePopupWidget()) {
        drivesRetry_->start();
        return;
    }
    drivesPending_ = false;
    DriveCombo* box = ui->Drive1;
    box->BuildList();
    if (!box->listed(ui->TreeDir1->CurrentDrive)) box->setDrive("/");
}

void TForm1::mnuOpenClick() {
    QFileDialog dialog(this, QString::fromUtf8(wtext::kOpenCaption), QFile::decodeName(QByteArray::fromStdString(CurrentDir)));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Qt's dialog takes a file or a folder, not either: a button of its own takes the folder
    // it shows.
    QString folder;
    auto* openFolder = new QPushButton(QString::fromUtf8(wtext::kOpenFolder), &dialog);
    connect(openFolder, &QPushButton::clicked, &dialog, [&dialog, &folder] {
        folder = dialog.directory().absolutePath();
        static_cast<QDialog&>(dialog).done(QDialog::Accepted);
    });
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) grid->addWidget(openFolder, grid->rowCount(), 0, 1, -1, Qt::AlignLeft);
    CenterDialog(&dialog, this);
    if (runModal(dialog) != QDialog::Accepted) return;
    const QString chosen = !folder.isEmpty() ? folder : dialog.selectedFiles().value(0);
    if (!chosen.isEmpty()) openPath(QFile::encodeName(chosen).toStdString());
}

namespace {

std::optional<std::string> droppedPathOf(const QMimeData* data) {
    if (!data || !data->hasFormat(QStringLiteral("text/uri-list"))) return std::nullopt;
    const QByteArray list = data->data(QStringLiteral("text/uri-list"));
    return platform::firstLocalPath(std::string_view(list.constData(), static_cast<std::size_t>(list.size())));
}

}  // namespace

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    // A drag out of this window (a strip icon, a listed file) is not dropped back into it.
    if (event->source()) return event->ignore();
    if (!droppedPathOf(event->mimeData()) || !(event->possibleActions() & Qt::CopyAction)) return event->ignore();
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void TForm1::dragMoveEvent(QDragMoveEvent* event) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void TForm1::dropEvent(QDropEvent* event) {
    droppedPath_ = droppedPathOf(event->mimeData());
    if (!droppedPath_) return event->ignore();
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // Opened from the event loop, after the drag source has heard the drop was taken.
    QTimer::singleShot(0, this, &TForm1::applyDrop);
}

void TForm1::applyDrop() {
    if (!droppedPath_) return;
    if (busy() || QApplication::activeModalWidget() || QApplication::activePopupWidget()) {
        QTimer::singleShot(drivesRetry_->interval(), this, &TForm1::applyDrop);
        return;
    }
    const std::string path = *droppedPath_;
    droppedPath_.reset();
    openPath(path);
}
