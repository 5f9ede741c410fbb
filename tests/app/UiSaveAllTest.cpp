// File, save all icons through the window: the folder and format from Qt's dialog, the one
// question about files already there, ESC in the progress dialog, the closing message; and a
// strip cell's drag data.
#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QTimer>
#include <filesystem>

#include "app/UiScanFixture.h"
#include "app/WindowTexts.h"
#include "iconmod/FileExport.h"
#include "iconsave/SaveSeams.h"
#include "platform/StartPath.h"
#include "support/MessageRecorder.h"

namespace {

using scanfixture::UiScan;

// ESC to the focused control of the progress dialog once it is up.
void pressEscInProgress() {
    QTimer::singleShot(0, [] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) return pressEscInProgress();
        QWidget* target = modal->focusWidget() ? modal->focusWidget() : modal;
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(target, &esc);
    });
}

}  // namespace

TEST_F(UiScan, SaveAllWritesEveryGroupAsksOnceAboutFilesThereAndStopsOnEsc) {
    constexpr int kGroups = 60;
    writeModule("M.EXE", 3, kGroups);
    start();
    choose(mods());
    clickRow(rowOf("M.EXE"));
    ASSERT_EQ(form->ImageList32A.Count(), kGroups);
    const std::string out = dir.file("out");
    ASSERT_TRUE(std::filesystem::create_directory(out));
    iconmod::FileExport names(mod("M.EXE"), iconmod::ExtractFormat::Ico);
    ASSERT_EQ(names.count(), static_cast<std::size_t>(kGroups));

    const struct {
        int format;       // the dialog's format: 0 .ico, 1 .png
        int answer;       // to the question about files there
        bool esc;         // ESC once the progress dialog is up
        int there;        // .ico files there before
        int written;      // .ico files written (-1: not counted, stopped)
    } cases[] = {
        {0, platform::mb::IdNo, false, 1, kGroups - 1},  // the one there kept
        {0, platform::mb::IdYes, false, kGroups, kGroups},  // all replaced
        {1, platform::mb::IdYes, true, 0, -1},  // no .png there: no question; stopped
    };
    ASSERT_TRUE(fixtures::writeFile(out + "/" + names.name(0), fixtures::Bytes{'o', 'l', 'd'}));
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.format << " " << c.answer << " " << c.esc);
        fixtures::MessageRecorder messages;
        messages.answerNext(c.answer);
        fixtures::ModalScript script([&](QDialog& dialog) {
            auto* files = dynamic_cast<QFileDialog*>(&dialog);
            ASSERT_TRUE(files);
            EXPECT_TRUE(files->testOption(QFileDialog::DontUseNativeDialog));
            dialog.findChild<QComboBox*>(QStringLiteral("saveAllFormat"))->setCurrentIndex(c.format);
            dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QString::fromStdString(out));
            if (c.esc) pressEscInProgress();
            QMetaObject::invokeMethod(files, "accept");
        });
        form->SaveAllIcons();
        EXPECT_EQ(script.runs, 1);
        const std::vector<std::string> texts = messages.texts();
        ASSERT_FALSE(texts.empty());
        const std::string done = texts.back();
        const bool asked = texts.size() == 2;
        if (c.format == 0) {
            ASSERT_TRUE(asked) << texts.front();
            EXPECT_EQ(texts.front(), QString::fromUtf8(wtext::kSaveAllReplace).arg(c.there).toStdString());
            const bool replaced = fixtures::readFile(out + "/" + names.name(0)).size() > 3;
            EXPECT_EQ(replaced, c.answer == platform::mb::IdYes);
            EXPECT_EQ(done.rfind(QString::fromUtf8(wtext::kSaveAllWritten).arg(c.written).toStdString(), 0), 0u) << done;
        } else {
            EXPECT_FALSE(asked);
            EXPECT_NE(done.find(wtext::kSaveAllStopped), std::string::npos) << done;
            std::size_t pngs = 0;
            for (const auto& e : std::filesystem::directory_iterator(out)) pngs += e.path().extension() == ".png";
            EXPECT_LT(pngs, static_cast<std::size_t>(kGroups));
            EXPECT_EQ(done.rfind(QString::fromUtf8(wtext::kSaveAllWritten).arg(pngs).toStdString(), 0), 0u) << done;
        }
        std::size_t icos = 0;
        for (const auto& e : std::filesystem::directory_iterator(out)) icos += e.path().extension() == ".ico";
        EXPECT_EQ(icos, static_cast<std::size_t>(kGroups));
    }
}

// The message names the files that failed, twenty at most, and counts the rest.
TEST(SaveAllMessage, NamesFailuresAndCountsWhatWasKept) {
    QStringList failed;
    for (int i = 0; i < 23; ++i) failed << QStringLiteral("f%1.ico").arg(i);
    const QString text = TForm1::saveAllMessage(5, 2, failed, false);
    EXPECT_TRUE(text.startsWith(QString::fromUtf8(wtext::kSaveAllWritten).arg(5)));
    EXPECT_TRUE(text.contains(QString::fromUtf8(wtext::kSaveAllKept).arg(2)));
    EXPECT_TRUE(text.contains(QStringLiteral("\nf19.ico")));
    EXPECT_FALSE(text.contains(QStringLiteral("f20.ico")));
    EXPECT_TRUE(text.endsWith(QString::fromUtf8(wtext::kSaveAllMore).arg(3)));
    EXPECT_EQ(TForm1::saveAllMessage(1, 0, {}, false), QString::fromUtf8(wtext::kSaveAllWritten).arg(1));
}

// A strip cell's drag: a PNG file named as extract names it, its bytes also as image/png.
TEST_F(UiScan, StripDragOffersTheGroupsPngAsAFileAndAsData) {
    writeModule("M.EXE", 4, 3);
    start();
    choose(mods());
    clickRow(rowOf("M.EXE"));
    std::unique_ptr<QMimeData> none(form->stripDragData(3));
    EXPECT_FALSE(none);
    std::unique_ptr<QMimeData> offered(form->stripDragData(1));
    ASSERT_TRUE(offered);
    const QByteArray uri = offered->data(QStringLiteral("text/uri-list"));
    const auto path = platform::firstLocalPath(std::string_view(uri.constData(), static_cast<std::size_t>(uri.size())));
    ASSERT_TRUE(path);
    iconmod::FileExport names(mod("M.EXE"), iconmod::ExtractFormat::Png);
    EXPECT_EQ(*path, form->dragFolderPath() + "/" + names.name(1));
    const fixtures::Bytes file = fixtures::readFile(*path);
    const QByteArray png = offered->data(QStringLiteral("image/png"));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(file.data()), static_cast<qsizetype>(file.size())), png);
    EXPECT_TRUE(offered->hasImage());
}
