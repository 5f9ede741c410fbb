// Starting the program on a drive whose root holds programs (a CD or USB stick with
// setup.exe at its root): the first scan begins while the window is being shown.
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QTimer>

#include "app/UiScanFixture.h"

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

}  // namespace
