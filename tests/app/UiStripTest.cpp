#include <QMenu>
#include <QComboBox>
#include <QKeyEvent>
#include <QStatusBar>

#include "app/UiScanFixture.h"

namespace {

using scanfixture::iconColour;
using scanfixture::UiScan;

QString text(const char* utf8) { return QString::fromUtf8(utf8); }

// The colour inside a cell's icon (5 pixels in from the icon's corner) and at the cell's
// own corner, from what the strip shows on screen.
struct CellLook {
    QRgb icon;
    QRgb corner;
};
CellLook look(DrawGrid* grid, int col) {
    const QImage shot = grid->viewport()->grab().toImage();
    const QRect cell = grid->CellRect(col);
    return {shot.pixel(cell.left() + 1 + 5, cell.top() + 1 + 5), shot.pixel(cell.topLeft())};
}

// The strip of a 12-icon module after clicking its row.
class UiStrip : public UiScan {
protected:
    void SetUp() override {
        UiScan::SetUp();
        writeModule("twelve.exe", 7, 12);
        writeModule("two.exe", 3, 2);
        start();
        choose(mods());
        ASSERT_EQ(list->count(), 2);
    }
    void select(const char* name) {
        const int row = rowOf(name);
        ASSERT_GE(row, 0) << name;
        clickRow(row);
    }
};

TEST_F(UiStrip, SelectingAFileShowsEveryIconAndItsPosition) {
    select("twelve.exe");
    EXPECT_EQ(grid->ColCount(), 12);
    EXPECT_EQ(grid->Col(), 0);
    EXPECT_EQ(form->StripIconCount, 12);
    EXPECT_EQ(form->CurrentFile, mod("twelve.exe"));
    EXPECT_EQ(form->statusText(0), text("1 / 12"));
    EXPECT_EQ(form->statusText(1), text("twelve.exe"));
    ASSERT_EQ(form->ImageList32A.Count(), 12);
    ASSERT_EQ(form->ImageList16A.Count(), 12);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(form->ImageList32A.Image(i).toImage().pixel(16, 16), iconColour(7, i)) << i;
        EXPECT_EQ(form->ImageList16A.Image(i).toImage().pixel(8, 8), iconColour(7, i)) << i;
    }
    // Each cell shows its icon 1 pixel in from the cell's corner.
    for (int i : {1, 2, 5}) {
        const CellLook l = look(grid, i);
        EXPECT_EQ(l.icon, iconColour(7, i)) << i;
        EXPECT_NE(l.corner, iconColour(7, i)) << i;
    }

    // Clicks and arrow keys move the current icon and its position text.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->CellRect(2).center());
    EXPECT_EQ(grid->Col(), 2);
    EXPECT_EQ(form->statusText(0), text("3 / 12"));
    QTest::keyClick(grid, Qt::Key_Right);
    EXPECT_EQ(form->statusText(0), text("4 / 12"));
    QTest::keyClick(grid, Qt::Key_End);
    EXPECT_EQ(form->statusText(0), text("12 / 12"));

    // Another file empties the strip first, then fills it; column 0 is current again.
    select("two.exe");
    EXPECT_EQ(grid->ColCount(), 2);
    EXPECT_EQ(grid->Col(), 0);
    EXPECT_EQ(form->ImageList32A.Count(), 2);
    EXPECT_EQ(form->ImageList16A.Count(), 2);
    EXPECT_EQ(form->statusText(0), text("1 / 2"));
    EXPECT_EQ(form->statusText(1), text("two.exe"));
    EXPECT_EQ(look(grid, 1).icon, iconColour(3, 1));

    // Deselecting (Ctrl+click on the selected row) leaves one blank column and empty panels.
    const QRect r = list->detailsView()->visualRect(list->detailsView()->model()->index(rowOf("two.exe"), 0));
    QTest::mouseClick(list->detailsView()->viewport(), Qt::LeftButton, Qt::ControlModifier, r.center());
    ASSERT_EQ(list->selectedRow(), -1);
    EXPECT_EQ(grid->ColCount(), 1);
    EXPECT_EQ(form->ImageList32A.Count(), 0);
    EXPECT_EQ(form->ImageList16A.Count(), 0);
    EXPECT_TRUE(form->statusText(0).isEmpty());
    EXPECT_TRUE(form->statusText(1).isEmpty());
    EXPECT_EQ(look(grid, 0).icon, look(grid, 0).corner);  // blank
}

TEST_F(UiStrip, RightClickOnAnIconOpensThePopupThere) {
    // Nothing on an empty strip.
    QTest::mouseClick(grid->viewport(), Qt::RightButton, {}, grid->CellRect(0).center());
    EXPECT_TRUE(popups.empty());

    select("twelve.exe");
    struct Case {
        const char* what;
        Qt::MouseButton button;
        QPoint at;
        bool opens;
        int col;  // current column afterwards
    } cases[] = {
        {"fifth icon", Qt::RightButton, grid->CellRect(4).center(), true, 4},
        {"below the cells", Qt::RightButton, QPoint(grid->CellRect(1).center().x(), grid->CellRect(1).bottom() + 5), false, 4},
        {"left button", Qt::LeftButton, grid->CellRect(1).center(), false, 1},
        {"first icon's corner", Qt::RightButton, grid->CellRect(0).topLeft() + QPoint(1, 1), true, 0},
    };
    for (const Case& c : cases) {
        popups.clear();
        QTest::mouseClick(grid->viewport(), c.button, {}, c.at);
        ASSERT_EQ(popups.size(), c.opens ? 1u : 0u) << c.what;
        EXPECT_EQ(grid->Col(), c.col) << c.what;
        EXPECT_EQ(form->statusText(0), QString::asprintf("%d / 12", c.col + 1)) << c.what;
        if (c.opens) {
            EXPECT_EQ(popups[0].first->objectName(), QStringLiteral("PopupMenu1"));
            EXPECT_EQ(popups[0].second, grid->viewport()->mapToGlobal(c.at)) << c.what;
        }
    }
}

TEST_F(UiStrip, BrokenIconsAndChangedFiles) {
    // Group 4 of 6 names an image the module does not hold: the strip keeps icons 0 to 2
    // in six columns and leaves the status bar alone.
    std::vector<fixtures::ModuleIcon> icons;
    for (int g = 0; g < 6; ++g) icons.push_back(scanfixture::solidIcon(g + 1, iconColour(5, g)));
    fixtures::PeOptions options;
    options.extra.push_back({fixtures::resId(14), fixtures::resId(4), fixtures::makeGroupDirectory({icons[3].images[0]}, {999})});
    icons.erase(icons.begin() + 3);
    ASSERT_TRUE(fixtures::writeFile(mod("broken.exe"), fixtures::makePe(icons, options)));
    rescan();
    ASSERT_EQ(list->row(rowOf("broken.exe")).iconCount, 6);

    select("two.exe");
    select("broken.exe");
    EXPECT_EQ(grid->ColCount(), 6);
    EXPECT_EQ(form->StripIconCount, 6);
    EXPECT_EQ(form->ImageList32A.Count(), 3);
    EXPECT_EQ(form->ImageList16A.Count(), 3);
    EXPECT_TRUE(form->statusText(0).isEmpty());
    EXPECT_TRUE(form->statusText(1).isEmpty());
    EXPECT_EQ(look(grid, 2).icon, iconColour(5, 2));
    EXPECT_EQ(look(grid, 4).icon, look(grid, 4).corner);
    // Its blank cells open no menu and do not become current.
    popups.clear();
    QTest::mouseClick(grid->viewport(), Qt::RightButton, {}, grid->CellRect(4).center());
    EXPECT_TRUE(popups.empty());
    EXPECT_EQ(grid->Col(), 0);

    // A file that lost its icons since the scan: an empty strip, no message.
    ASSERT_EQ(truncate(mod("twelve.exe").c_str(), 0), 0);
    select("twelve.exe");
    EXPECT_EQ(form->CurrentFile, mod("twelve.exe"));
    EXPECT_EQ(grid->ColCount(), 1);
    EXPECT_EQ(form->ImageList32A.Count(), 0);
    // A new directory empties the strip.
    select("two.exe");
    ASSERT_EQ(form->ImageList32A.Count(), 2);
    choose(dir.path());
    EXPECT_EQ(grid->ColCount(), 1);
    EXPECT_EQ(form->ImageList32A.Count(), 0);
    EXPECT_EQ(form->StripIconCount, 0);
    EXPECT_TRUE(form->CurrentFile.empty());
    EXPECT_EQ(form->statusText(1), text("two.exe"));  // the status bar is left as it was
}

}  // namespace

namespace {

using scanfixture::UiScan;

TEST_F(UiScan, AStripOfManyIconsFillsBetweenEventsAndEscStopsIt) {
    constexpr int kGroups = 65535;
    ASSERT_TRUE(fixtures::writeFile(mod("many.dll"), fixtures::moduleOfGroupsSharingOneImage(fixtures::patternDib(16, 4), kGroups)));
    writeModule("two.exe", 3, 2);
    start();
    form->findChild<QComboBox*>(QStringLiteral("ComboBox1"))->setEditText(QStringLiteral("*.*"));
    choose(mods());
    ASSERT_EQ(list->row(rowOf("many.dll")).iconCount, kGroups);
    scanfixture::PaintCounter paints(grid->viewport(), [this] { return form->fillingStrip(); });

    // The selection only starts the filling; icons arrive from the event loop, the strip
    // repainting as they come.
    list->selectRow(rowOf("many.dll"));
    EXPECT_EQ(grid->ColCount(), kGroups);
    EXPECT_EQ(form->ImageList32A.Count(), 0);
    ASSERT_TRUE(form->fillingStrip());
    ASSERT_TRUE(QTest::qWaitFor([this, &paints] { return form->ImageList32A.Count() > 0 && paints.count > 0; }, 20000));
    // ESC stops it; the icons so far stay, in step, and the status bar is left alone.
    QCoreApplication::postEvent(grid, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    settle();
    const int kept = form->ImageList32A.Count();
    EXPECT_GT(kept, 0);
    EXPECT_LT(kept, kGroups);
    EXPECT_EQ(form->ImageList16A.Count(), kept);
    EXPECT_EQ(grid->ColCount(), kGroups);
    EXPECT_TRUE(form->statusText(0).isEmpty());
    EXPECT_EQ(look(grid, 0).icon, form->ImageList32A.Image(0).toImage().pixel(5, 5));

    // The next selection is filled in full.
    clickRow(rowOf("two.exe"));
    EXPECT_EQ(form->ImageList32A.Count(), 2);
    EXPECT_EQ(form->statusText(0), text("1 / 2"));
}

}  // namespace
