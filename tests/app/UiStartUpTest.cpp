// Starting the program on a drive whose root holds programs (a CD or USB stick with
// setup.exe at its root): the first scan begins while the window is being shown.
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <unistd.h>

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>

#include "app/UiScanFixture.h"
#include "iconsave/SaveSeams.h"
#include "support/FifoWriter.h"
#include "support/MessageRecorder.h"
#include "treedir/DriveCombo.h"
#include "platform/StartPath.h"

namespace {

using scanfixture::UiScan;

// Counts the events that only an event loop delivers (timers, queued calls, deferred
// deletes, repaint requests) while `active` is set.
struct LoopEventCounter : QObject {
    bool active = false;
    int count = 0;
    LoopEventCounter() { QCoreApplication::instance()->installEventFilter(this); }
    ~LoopEventCounter() override { QCoreApplication::instance()->removeEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override {
        switch (e->type()) {
            case QEvent::Timer:
            case QEvent::MetaCall:
            case QEvent::DeferredDelete:
            case QEvent::UpdateRequest:
            case QEvent::LayoutRequest:
                if (active) ++count;
                break;
            default:
                break;
        }
        return false;
    }
};

class UiStartUp : public UiScan {
protected:
    void SetUp() override {
        UiScan::SetUp();
        for (int i = 0; i < 19; ++i)
            ASSERT_TRUE(fixtures::writeFile(dir.file("setup" + std::to_string(i) + ".exe"), scanfixture::moduleBytes(i, 1 + i % 3)));
    }

    // The window constructed and shown as the program entry does it.
    std::unique_ptr<TForm1> showAsMainDoes(LoopEventCounter& duringShow) {
        auto window = std::make_unique<TForm1>();
        duringShow.active = true;
        window->show();
        duringShow.active = false;
        return window;
    }
};

TEST_F(UiStartUp, FirstScanRunsAfterTheWindowIsShown) {
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        LoopEventCounter counter;
        form = showAsMainDoes(counter);
        // Nothing of the event loop ran inside show(): the root's scan is only pending.
        EXPECT_EQ(counter.count, 0);
        EXPECT_EQ(form->CurrentDir, dir.path() + "/");
        EXPECT_TRUE(form->scanning());
        list = form->findChild<FileListView*>(QStringLiteral("ListView1"));
        EXPECT_EQ(list->count(), 0);
        settle();
        EXPECT_EQ(list->count(), 19);  // the scan ran before the user could act
        form.reset();
    }
}

TEST_F(UiStartUp, ClosingOrAModalDialogWhileTheFirstScanIsPending) {
    // Closed before the first entry was read: the scan ends with the window.
    LoopEventCounter counter;
    form = showAsMainDoes(counter);
    QMetaObject::invokeMethod(form.get(), &QWidget::close, Qt::QueuedConnection);
    settle();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    form.reset();

    // Closed in the middle of the scan, then destroyed.
    form = showAsMainDoes(counter);
    QObject::connect(form.get(), &TForm1::FileEntryAdded, [this](int rows) {
        if (rows == 3) form->close();
    });
    settle();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->findChild<FileListView*>(QStringLiteral("ListView1"))->count(), 3);
    form.reset();

    // The About box opened (its own event loop) while the scan is pending and closed by the
    // program: the scan goes on inside the dialog's loop and ends normally.
    form = showAsMainDoes(counter);
    int dialogsSeen = 0;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            ++dialogsSeen;
            dialog->accept();
        }
    });
    closer.start(5);
    form->findChild<QAction*>(QStringLiteral("mnuAbout"))->trigger();
    closer.stop();
    EXPECT_EQ(dialogsSeen, 1);
    settle();
    EXPECT_EQ(form->findChild<FileListView*>(QStringLiteral("ListView1"))->count(), 19);
}

// Drives that come and go: a change waits while a dialog is open; the chosen drive stays
// chosen; when the tree's drive goes away the tree moves to "/".
TEST_F(UiStartUp, DrivesThatComeAndGo) {
    ASSERT_EQ(mkdir(dir.file("usb").c_str(), 0755), 0);
    start();
    auto* drives = form->findChild<DriveCombo*>(QStringLiteral("Drive1"));
    ASSERT_EQ(tree->CurrentDrive, dir.path());
    mounts.setMounts({dir.path(), dir.file("usb")});
    {
        QDialog modal(form.get());
        modal.setModal(true);
        modal.show();
        emit drives->drivesChanged();
        QTest::qWait(50);
        EXPECT_FALSE(drives->listed(dir.file("usb")));
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return drives->listed(dir.file("usb")); }, 2000));
    EXPECT_EQ(drives->Drive(), dir.path());
    EXPECT_EQ(drives->currentIndex(), 1);  // "/", the temporary directory, usb

    mounts.setMounts({dir.file("usb")});
    emit drives->drivesChanged();
    settle();
    EXPECT_EQ(drives->Drive(), "/");
    EXPECT_EQ(tree->CurrentDrive, "/");
    EXPECT_EQ(form->CurrentDir, "/");
    EXPECT_EQ(drives->count(), 2);
}

// `vexil PATH` on a file: its directory listed and its row selected; a FIFO is taken for a
// file without icons (the message says so) and never opened: a writer waiting on it still
// waits afterwards.
TEST_F(UiStartUp, OpeningOnAFileSelectsItAndNeverOpensAFifo) {
    writeModule("app.exe", 1, 2);
    start();
    char* real = ::realpath(mods().c_str(), nullptr);
    ASSERT_TRUE(real);
    const std::string realMods = real;
    std::free(real);
    fixtures::FifoWriter writer(mod("pipe.exe"));
    ASSERT_TRUE(writer.started());
    // The FIFO after the module: the same directory, listed once, the module's row kept.
    const struct {
        const char* name;
        std::vector<std::string> messages;
    } cases[] = {
        {"app.exe", {}},
        {"pipe.exe", {realMods + "/pipe.exe" + TForm1::kPathNoIcon}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fixtures::MessageRecorder boxes;
        form->openPath(mod(c.name));
        settle();
        EXPECT_EQ(boxes.texts(), c.messages);
        EXPECT_EQ(form->CurrentDir, realMods);
        EXPECT_EQ(names(), std::vector<std::string>{"app.exe"});
        EXPECT_EQ(list->selectedRow(), rowOf("app.exe"));
    }
    EXPECT_TRUE(writer.waiting()) << "the FIFO was opened";
    EXPECT_TRUE(writer.release());
}

// Window shortcuts: Ctrl+S the icon save dialog, F5 the filter button, Ctrl+C in the filter
// box's text copies text and not the picture.
TEST_F(UiStartUp, Shortcuts) {
    writeModule("a.exe", 1, 2);
    start();
    choose(mods());
    clickRow(0);
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    fixtures::ModalScript dialogs([](QDialog&) {});
    QTest::keyClick(form.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(dialogs.runs, 1);

    writeModule("b.exe", 2, 1);
    QTest::keyClick(form.get(), Qt::Key_F5);
    settle();
    EXPECT_EQ(list->count(), 2);

    fixtures::RecordingClipboard clipboard;
    QLineEdit* filter = form->findChild<QComboBox*>(QStringLiteral("ComboBox1"))->lineEdit();
    filter->setFocus();
    filter->selectAll();
    QTest::keyClick(filter, Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(clipboard.images.empty());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8(TForm1::kFilterItems[0]));
}

// `vexil PATH`: what a path names, relative paths and symbolic links resolved.
TEST(StartPath, WhatAPathOpens) {
    fixtures::TempDir dir;
    char* realDir = ::realpath(dir.path().c_str(), nullptr);
    const std::string base = realDir;
    std::free(realDir);
    ASSERT_EQ(mkdir(dir.file("sub").c_str(), 0755), 0);
    ASSERT_TRUE(fixtures::writeFile(dir.file("sub/A.EXE"), {1}));
    ASSERT_EQ(symlink("sub/A.EXE", dir.file("link.exe").c_str()), 0);
    ASSERT_EQ(symlink("sub", dir.file("linkdir").c_str()), 0);
    using Kind = platform::StartTarget::Kind;
    const struct {
        std::string path, cwd;
        Kind kind;
        std::string directory, fileName;
    } cases[] = {
        {"linkdir/", dir.path(), Kind::Directory, base + "/sub", ""},
        {dir.file("link.exe"), "/", Kind::File, base + "/sub", "A.EXE"},
        {"sub/gone.exe", dir.path(), Kind::Missing, base + "/sub", ""},
        {dir.file("nowhere/gone.exe"), "/", Kind::Nowhere, "", ""},
        {"", dir.path(), Kind::Nowhere, "", ""},
    };
    for (const auto& c : cases) {
        const platform::StartTarget t = platform::resolveStartPath(c.path, c.cwd);
        EXPECT_EQ(t.kind, c.kind) << c.path;
        EXPECT_EQ(t.directory, c.directory) << c.path;
        EXPECT_EQ(t.fileName, c.fileName) << c.path;
    }
    const std::pair<const char*, int> filters[] = {{"A.EXE", 0}, {"b.Dll", 1}, {"c.ico", 2}, {"d.exe.txt", 2}, {"noext", 2}};
    for (const auto& [name, index] : filters) EXPECT_EQ(platform::filterIndexForFile(name), index) << name;
}

}  // namespace
