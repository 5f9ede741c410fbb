// TForm1: File, save all icons. Every icon group of the file the strip shows, written into a
// folder the user picks as `vexil-cli extract` writes it (an .ico of the group as stored or
// a .png of its largest image, named FILE-GROUP): files already there are kept unless the
// user answers one question to replace them all; a progress dialog shows the work and ESC
// stops it; one message tells how many were written and names those that failed.
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QProgressDialog>
#include <exception>

#include "app/ModalDialog.h"
#include "app/Unit1.h"
#include "app/WindowTexts.h"
#include "iconmod/FileExport.h"
#include "iconmod/SaveName.h"
#include "platform/MessageBox.h"
#include "qtshared/CenterDialog.h"
#include "ui_Unit1.h"

namespace {

// The failed files the closing message names; more are counted.
constexpr int kFailedNamesShown = 20;

QString fromUtf8(const char* text) { return QString::fromUtf8(text); }

}  // namespace

void TForm1::setUpSaveAll() {
    mnuSaveAll_ = ui->mnuFile->addAction(fromUtf8(wtext::kSaveAllCommand));
    connect(mnuSaveAll_, &QAction::triggered, this, &TForm1::SaveAllIcons);
    connect(ui->mnuFile, &QMenu::aboutToShow, this, [this] { mnuSaveAll_->setEnabled(ImageList32A.Count() > 0 && !CurrentFile.empty()); });
}

QString TForm1::saveAllMessage(int written, int kept, const QStringList& failed, bool stopped) {
    QString text = fromUtf8(wtext::kSaveAllWritten).arg(written);
    if (kept > 0) text += QLatin1Char('\n') + fromUtf8(wtext::kSaveAllKept).arg(kept);
    if (stopped) text += QLatin1Char('\n') + fromUtf8(wtext::kSaveAllStopped);
    if (!failed.isEmpty()) {
        text += QLatin1Char('\n') + fromUtf8(wtext::kSaveAllFailed);
        for (const QString& name : failed.mid(0, kFailedNamesShown)) text += QLatin1Char('\n') + name;
        if (failed.size() > kFailedNamesShown) text += QLatin1Char('\n') + fromUtf8(wtext::kSaveAllMore).arg(failed.size() - kFailedNamesShown);
    }
    return text;
}

void TForm1::SaveAllIcons() {
    if (CurrentFile.empty() || ImageList32A.Count() == 0 || busy()) return;
    // Qt's own dialog for a folder, with a choice of format below it.
    QFileDialog dialog(this, fromUtf8(wtext::kSaveAllCaption), QFile::decodeName(QByteArray::fromStdString(CurrentDir)));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    auto* format = new QComboBox(&dialog);
    format->setObjectName(QStringLiteral("saveAllFormat"));
    format->addItems({fromUtf8(wtext::kSaveAllIco), fromUtf8(wtext::kSaveAllPng)});
    format->setCurrentIndex(saveAllFormat_);
    auto* label = new QLabel(fromUtf8(wtext::kSaveAllFormat), &dialog);
    label->setBuddy(format);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
        const int row = grid->rowCount();
        grid->addWidget(label, row, 0);
        grid->addWidget(format, row, 1);
    }
    CenterDialog(&dialog, this);
    if (runModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    saveAllFormat_ = format->currentIndex();
    const std::string folder = QFile::encodeName(dialog.selectedFiles().first()).toStdString();
    const auto kind = saveAllFormat_ == 1 ? iconmod::ExtractFormat::Png : iconmod::ExtractFormat::Ico;

    try {
        iconmod::FileExport work(CurrentFile, kind);
        const int total = static_cast<int>(work.count());
        // One question for every file already there.
        const std::size_t already = work.existing(folder).size();
        bool replace = false;
        if (already > 0) {
            const QString question = fromUtf8(wtext::kSaveAllReplace).arg(already);
            replace = platform::messageBox(question.toStdString(), savename::kOverwriteTitle,
                                           platform::mb::YesNo | platform::mb::IconQuestion) == platform::mb::IdYes;
        }
        QProgressDialog progress(fromUtf8(wtext::kSaveAllProgress), fromUtf8(wtext::kSaveAllCancel), 0, total, this);
        progress.setWindowTitle(fromUtf8(wtext::kSaveAllCaption));
        progress.setWindowModality(Qt::ApplicationModal);
        progress.setMinimumDuration(0);
        progress.setAutoReset(false);
        // ESC closes the dialog as a rejection wherever the focus is: that stops the work too.
        connect(&progress, &QDialog::rejected, &progress, &QProgressDialog::cancel);
        int written = 0;
        int kept = 0;
        QStringList failed;
        bool stopped = false;
        for (int i = 0; i < total; ++i) {
            progress.setValue(i);  // also lets the dialog see ESC
            if (progress.wasCanceled()) {
                stopped = true;
                break;
            }
            switch (work.write(static_cast<std::size_t>(i), folder, replace)) {
                case iconmod::FileExport::Outcome::Written: ++written; break;
                case iconmod::FileExport::Outcome::Kept: ++kept; break;
                case iconmod::FileExport::Outcome::Failed:
                    failed << QFile::decodeName(QByteArray::fromStdString(work.name(static_cast<std::size_t>(i))));
                    break;
            }
        }
        progress.setValue(total);
        progress.close();
        const QString message = saveAllMessage(written, kept, failed, stopped);
        platform::messageBox(message.toStdString(), fromUtf8(wtext::kSaveAllCaption).toStdString(),
                             failed.isEmpty() ? platform::mb::Ok : platform::mb::Ok | platform::mb::IconExclamation);
    } catch (const std::exception&) {
        ShowError(kSaveFailed);
    }
}
