#include <gtest/gtest.h>

#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

#include "support/ImageFixtures.h"
#include "treedir/DriveCombo.h"
#include "treedir/DriveFixtures.h"
#include "qtshared/Glyphs.h"
#include "treedir/Treedir.h"

namespace {

TEST(UiGlyphs, SizesAndTransparency) {
    struct Case {
        const char* name;
        int width, height;
        bool magentaKey;  // folders: magenta; drives: the bottom-left pixel's colour
    } cases[] = {{"MSCLOSE", 16, 16, true}, {"MSOPEN", 16, 16, true}, {"FLOPPY", 16, 11, false}, {"HARD", 16, 11, false},
                 {"NETWORK", 16, 11, false}, {"CDROM", 16, 11, false}, {"RAM", 16, 11, false}};
    for (const Case& c : cases) {
        const QPixmap p = c.magentaKey ? glyphs::withKeyColour(c.name, QColor(255, 0, 255)) : glyphs::bottomLeftTransparent(c.name);
        ASSERT_FALSE(p.isNull()) << c.name;
        EXPECT_EQ(p.size(), QSize(c.width, c.height)) << c.name;
        const QImage img = p.toImage().convertToFormat(QImage::Format_ARGB32);
        int transparent = 0, opaque = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) (qAlpha(img.pixel(x, y)) == 0 ? transparent : opaque)++;
        EXPECT_EQ(qAlpha(img.pixel(0, img.height() - 1)), 0) << c.name;
        EXPECT_GT(transparent, 0) << c.name;
        EXPECT_GT(opaque, img.width() * img.height() / 4) << c.name;  // the picture itself stays
    }
    // The tree's folders: closed and open differ.
    QTreeDir tree;
    ASSERT_EQ(tree.FolderImages.size(), 2);
    EXPECT_NE(tree.FolderImages[0].toImage(), tree.FolderImages[1].toImage());
}

class UiDriveCombo : public ::testing::Test {
protected:
    UiDriveCombo() : mounts(dir, {dir.file("a"), dir.file("b")}) {}
    void SetUp() override {
        for (const char* d : {"a", "b"}) ASSERT_EQ(mkdir(dir.file(d).c_str(), 0755), 0);
        ASSERT_EQ(chdir(dir.file("b").c_str()), 0);
    }
    fixtures::TempDir dir;
    fixtures::FakeMounts mounts;
};

TEST_F(UiDriveCombo, FirstShowChoosesTheCurrentDriveOnce) {
    DriveCombo combo;
    int changes = 0;
    QObject::connect(&combo, &DriveCombo::OnChange, [&] { ++changes; });
    EXPECT_EQ(combo.Drive(), dir.file("b"));
    EXPECT_EQ(combo.count(), 0);  // the list is built when the selector first shows

    combo.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&combo));
    EXPECT_EQ(changes, 1);
    ASSERT_EQ(combo.count(), 3);
    EXPECT_EQ(combo.itemText(0), QStringLiteral("/ []"));
    EXPECT_EQ(combo.itemText(1), QString::fromStdString(dir.file("a") + " []"));
    EXPECT_EQ(combo.itemText(2), QString::fromStdString(dir.file("b") + " []"));
    EXPECT_EQ(combo.currentIndex(), 2);

    combo.hide();
    combo.show();  // showing again does not choose again
    EXPECT_EQ(changes, 1);

    combo.setDrive(dir.file("b"));  // the drive already chosen: nothing
    EXPECT_EQ(changes, 1);
    combo.setDrive(dir.file("a"));
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(combo.Drive(), dir.file("a"));
    EXPECT_EQ(combo.currentIndex(), 1);
    combo.showDrive("/");  // follows silently
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(combo.currentIndex(), 0);
    EXPECT_EQ(combo.Drive(), "/");
}

TEST_F(UiDriveCombo, EntriesDrawGlyphAndText) {
    DriveCombo combo;
    combo.resize(200, 24);
    combo.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&combo));
    const QImage shot = combo.grab().toImage();
    // The chosen entry's "HARD" glyph is drawn (its lime lamp shows) without its
    // transparent blue.
    bool blue = false, lime = false;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            blue = blue || shot.pixelColor(x, y) == QColor(0, 0, 255);
            lime = lime || shot.pixelColor(x, y) == QColor(0, 255, 0);
        }
    }
    EXPECT_FALSE(blue);
    EXPECT_TRUE(lime);
    const QPixmap hard = combo.glyph("HARD");
    EXPECT_EQ(hard.size(), QSize(16, 11));
}

}  // namespace
