#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "app/About.h"
#include "app/Unit1.h"
#include "iconsave/SaveSeams.h"

namespace {

TEST(UiAbout, ContentsAndTallScreens) {
    for (int height : {768, 1199, 1200}) {
        SCOPED_TRACE(height);
        const int k = height / 600 >= 2 ? 2 : 1;
        TAboutForm box(nullptr, height);
        // Contents and box grow together, once.
        EXPECT_EQ(box.size(), QSize(292, 99) * k);
        EXPECT_EQ(box.findChild<QPushButton*>(QStringLiteral("BtnOK"))->geometry(), QRect(222 * k, 8 * k, 52 * k, 20 * k));
        EXPECT_EQ(box.font().pixelSize(), 12 * k);
        // The version comes from the build; the box must still read as the program always has.
        EXPECT_EQ(box.findChild<QLabel*>(QStringLiteral("Label1"))->text(), QString::fromUtf8("Vexil アイコン抽出 Ver1.07"));
    }
}

TEST(UiAbout, CentredOverTheMainWindowEachTimeAndClosedByOkOrEsc) {
    TForm1 form(nullptr, 768);
    const QRect screen = form.screen()->geometry();
    struct Placement {
        QPoint box;
        QRect main;  // the main window's outer rectangle when the box was placed
    };
    std::vector<Placement> placed;
    int closeBy = 0;  // 0: OK, 1: Esc
    fixtures::ModalScript script([&](QDialog& dialog) {
        EXPECT_NE(qobject_cast<TAboutForm*>(&dialog), nullptr);
        placed.push_back({dialog.pos(), form.frameGeometry()});
        dialog.show();
        if (closeBy == 0) {
            dialog.findChild<QPushButton*>(QStringLiteral("BtnOK"))->click();
        } else {
            QTest::keyClick(&dialog, Qt::Key_Escape);
        }
        EXPECT_FALSE(dialog.isVisible());
    });
    QAction* about = form.findChild<QAction*>(QStringLiteral("mnuAbout"));

    form.move(screen.x() + 20, screen.y() + 10);
    about->trigger();
    closeBy = 1;
    form.move(screen.x() + 60, screen.y() + 40);
    about->trigger();
    // Moved so that the centred box would cross the screen's right edge.
    form.move(screen.right() - form.frameGeometry().width() / 2, screen.y() + 30);
    about->trigger();

    ASSERT_EQ(placed.size(), 3u);
    for (std::size_t i = 0; i < 2; ++i) {
        const QRect& m = placed[i].main;
        EXPECT_EQ(placed[i].box, QPoint(m.x() + (m.width() - 292) / 2, m.y() + (m.height() - 99) / 2)) << i;
    }
    EXPECT_EQ(placed[1].main.topLeft(), QPoint(screen.x() + 60, screen.y() + 40));
    const QRect& m = placed[2].main;
    EXPECT_EQ(placed[2].box, QPoint(screen.x() + screen.width() - 292, m.y() + (m.height() - 99) / 2));
}

}  // namespace
