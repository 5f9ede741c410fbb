#include <gtest/gtest.h>

#include "support/UiChild.h"

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <sys/stat.h>

#include "iconmod/SaveName.h"
#include "qtshared/ImageList.h"
#include "iconmod/Iconmod.h"
#include "iconsave/SaveSeams.h"
#include "iconsave/Unit2.h"
#include "support/ImageFixtures.h"
#include "support/MessageRecorder.h"
#include "support/ModuleFixtures.h"

namespace {

using fixtures::Bytes;
using iconmod::QIconMod;

constexpr fixtures::Argb kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF;

Bytes solidDib(int size, fixtures::Argb colour) {
    fixtures::DibSpec s;
    s.width = s.height = size;
    s.bitCount = 24;
    s.pixel = [colour](int, int) { return colour; };
    return fixtures::makeDib(s);
}

QImage solidImage(int size, QRgb colour) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    return image;
}

QStringList listItems(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
}

QStringList comboItems(const QComboBox* combo) {
    QStringList out;
    for (int i = 0; i < combo->count(); ++i) out << combo->itemText(i);
    return out;
}

bool near(QRgb a, QRgb b, int tolerance = 12) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

class UiForm2 : public ::testing::Test {
protected:
    // Groups in listing order: "MAIN" (16, 32 at 4 bits), #1 (16, 32, 48 at 8 bits), #2 (32 at 24 bits).
    std::string writeModule() {
        const std::string path = dir.file("icons.dll");
        EXPECT_TRUE(fixtures::writeFile(path, fixtures::makePe({fixtures::patternIcon(fixtures::resId(1), {16, 32, 48}, 8),
                                                                 fixtures::patternIcon(fixtures::resId(2), {32}, 24),
                                                                 fixtures::patternIcon(fixtures::resName("MAIN"), {16, 32}, 4)})));
        return path;
    }

    std::string writeIco(const std::vector<Bytes>& images, const std::string& name = "icon.ico") {
        std::vector<fixtures::IcoEntry> entries;
        for (const Bytes& b : images) entries.push_back({b});
        const std::string path = dir.file(name);
        EXPECT_TRUE(fixtures::writeFile(path, fixtures::makeIco(entries)));
        return path;
    }

    // The dialog as the main window shows it: on an opened source, with the start group set.
    std::unique_ptr<TForm2> show(QIconMod& source, int startGroup, int screenHeight = 768) {
        EXPECT_TRUE(source.fnOpen());
        source.StartGroup = startGroup;
        auto form = std::make_unique<TForm2>(nullptr, screenHeight);
        form->Source = &source;
        form->StripImages = &strip;
        form->show();
        return form;
    }

    template <class T>
    static T* find(QWidget* form, const char* name) {
        return fixtures::uiChild<T>(form, name);
    }

    void save(TForm2& form, const std::string& name, int filterIndex) {
        saveDialog.answer(name, filterIndex);
        form.SaveBtnClick();
    }

    static QImage grabClient(TForm2& form) { return form.clientArea()->grab().toImage(); }

    fixtures::TempDir dir;
    fixtures::MessageRecorder boxes;
    fixtures::ScriptedSaveDialog saveDialog;
    ImageList strip{32};
};

TEST_F(UiForm2, FormAsDesignedScaledToTheScreenAndOnceMoreOnTallScreens) {
    for (int height : {768, 1024, 1200}) {
        SCOPED_TRACE(height);
        const int k = height >= 1200 ? 2 : 1;
        TForm2 form(nullptr, height);
        EXPECT_EQ(form.scaleFactor(), k);
        // 310 x 251 inside a 5-pixel border at 120 pixels per inch, shown at 96.
        EXPECT_EQ(form.size(), QSize(256, 209) * k);
        EXPECT_EQ(form.clientArea()->geometry(), QRect(4 * k, 4 * k, 248 * k, 201 * k));
        EXPECT_EQ(find<QListWidget>(&form, "ListBox1")->geometry(), QRect(94 * k, 6 * k, 78 * k, 66 * k));
        EXPECT_EQ(find<QPushButton>(&form, "SaveBtn")->geometry(), QRect(190 * k, 38 * k, 52 * k, 20 * k));
        EXPECT_EQ(form.font().pixelSize(), 12 * k);
    }
}

struct StartCase {
    int startGroup;
    int row;
    QStringList lines;
};

TEST_F(UiForm2, FirstShowingListsTheGroupsAndLoadsTheStartGroup) {
    const std::string path = writeModule();
    const StartCase cases[] = {
        {0, 0, {"16x16, 16色", "32x32, 16色"}},
        {1, 1, {"16x16, 256色", "32x32, 256色", "48x48, 256色"}},
        {2, 2, {"32x32, True Color (24bit)"}},
        {3, -1, {}},  // beyond the groups: nothing selected, nothing loaded
        {40, -1, {}},
    };
    for (const StartCase& c : cases) {
        SCOPED_TRACE(c.startGroup);
        QIconMod source(path);
        auto form = show(source, c.startGroup);
        auto* list = find<QListWidget>(form.get(), "ListBox1");
        auto* combo = find<QComboBox>(form.get(), "ComboBox1");
        EXPECT_EQ(listItems(list), QStringList({"MAIN", "#1", "#2"}));
        EXPECT_EQ(list->selectedItems().size(), c.row < 0 ? 0 : 1);
        if (c.row >= 0) {
            EXPECT_EQ(list->currentRow(), c.row);
        }
        EXPECT_EQ(comboItems(combo), c.lines);
        EXPECT_EQ(combo->currentIndex(), c.lines.isEmpty() ? -1 : 0);
        EXPECT_EQ(source.Images != nullptr, c.row >= 0);
        // The square's outline is there exactly when an image is previewed.
        EXPECT_EQ(grabClient(*form).pixel(16, 8) == qRgb(0, 0, 0), c.row >= 0);
        EXPECT_TRUE(boxes.messages().empty());
    }
}

TEST_F(UiForm2, ClickingAGroupLoadsItsImagesOnceFilled) {
    QIconMod source(writeModule());
    auto form = show(source, 0);
    auto* list = find<QListWidget>(form.get(), "ListBox1");
    auto* combo = find<QComboBox>(form.get(), "ComboBox1");
    list->setCurrentRow(2);
    EXPECT_EQ(source.GroupName, "#2");
    EXPECT_EQ(comboItems(combo), QStringList({"32x32, True Color (24bit)"}));
    list->setCurrentRow(1);
    EXPECT_EQ(comboItems(combo).size(), 3);
    EXPECT_EQ(combo->currentIndex(), 0);
    // A later showing does not fill the lists again.
    form->hide();
    form->show();
    EXPECT_EQ(list->currentRow(), 1);
    EXPECT_EQ(source.GroupName, "#1");
}

struct PreviewCase {
    int size;
    QRect drawn;  // where the picture lands in the client area
};

TEST_F(UiForm2, PreviewSquareAndPicturePosition) {
    const PreviewCase cases[] = {{16, {36, 28, 16, 16}}, {48, {20, 12, 48, 48}}, {64, {16, 8, 56, 56}}, {56, {16, 8, 56, 56}}};
    for (const PreviewCase& c : cases) {
        SCOPED_TRACE(c.size);
        EXPECT_EQ(TForm2::previewIconRect(c.size, c.size), c.drawn);
        QIconMod source(writeIco({solidDib(c.size, kRed)}));
        auto form = show(source, 0);
        const QImage shot = grabClient(*form);
        const QRect& r = c.drawn;
        for (QPoint p : {r.topLeft(), r.bottomRight(), r.topRight(), r.bottomLeft()}) EXPECT_EQ(shot.pixel(p), kRed) << p.x() << "," << p.y();
        if (c.size < 56) {
            EXPECT_EQ(shot.pixel(16, 8), qRgb(0, 0, 0));
            EXPECT_EQ(shot.pixel(71, 63), qRgb(0, 0, 0));
            EXPECT_EQ(shot.pixel(r.left() - 1, r.top()), qRgb(255, 255, 255));
            EXPECT_EQ(shot.pixel(r.right() + 1, r.bottom() + 1), qRgb(255, 255, 255));
        }
        EXPECT_NE(shot.pixel(72, 64), kRed);  // nothing outside the square
        EXPECT_NE(shot.pixel(15, 7), kRed);
    }
}

TEST_F(UiForm2, ChoosingAnotherImageRedrawsOnAWhiteSquare) {
    QIconMod source(writeIco({solidDib(48, kRed), solidDib(16, kBlue)}));
    auto form = show(source, 0);
    find<QComboBox>(form.get(), "ComboBox1")->setCurrentIndex(1);
    const QImage shot = grabClient(*form);
    EXPECT_EQ(shot.pixel(20, 12), qRgb(255, 255, 255));
    EXPECT_EQ(shot.pixel(36, 28), kBlue);
    EXPECT_EQ(shot.pixel(51, 43), kBlue);
}

TEST_F(UiForm2, IconSaveWritesTheGroupOrTheSelectedImage) {
    QIconMod source(writeModule());
    auto form = show(source, 1);
    find<QComboBox>(form.get(), "ComboBox1")->setCurrentIndex(2);

    save(*form, dir.file("all"), 1);  // ticked: every image, whatever line is selected
    const Bytes all = fixtures::readFile(dir.file("all.ico"));
    ASSERT_GE(all.size(), 6u + 3 * 16);
    EXPECT_EQ(fixtures::getU16(all, 4), 3);
    EXPECT_EQ(all[6], 16);
    EXPECT_EQ(all[6 + 32], 48);

    find<QCheckBox>(form.get(), "CheckBox1")->setChecked(false);
    save(*form, dir.file("one.ico"), 2);  // the typed extension wins over the bitmap type
    const Bytes one = fixtures::readFile(dir.file("one.ico"));
    Bytes expected = fixtures::patternDib(48, 8);
    fixtures::putU32(expected, 20, 0);
    ASSERT_EQ(one.size(), 22 + expected.size());
    EXPECT_EQ(fixtures::getU16(one, 4), 1);
    EXPECT_EQ(Bytes(one.begin() + 22, one.end()), expected);

    // No path limit: a target far beyond 260 bytes.
    std::string deep = dir.path();
    for (int i = 0; i < 3; ++i) ASSERT_EQ(mkdir((deep += "/" + std::string(100, 'a' + i)).c_str(), 0755), 0);
    save(*form, deep + "/long", 1);
    EXPECT_EQ(fixtures::readFile(deep + "/long.ico"), one);
    EXPECT_TRUE(boxes.messages().empty());
}

TEST_F(UiForm2, BitmapAndTypeAndOverwriteQuestion) {
    QIconMod source(writeModule());
    auto form = show(source, 1);
    find<QComboBox>(form.get(), "ComboBox1")->setCurrentIndex(1);

    save(*form, dir.file("pic"), 2);  // no extension, bitmap type: .bmp added
    const Bytes bmp = fixtures::readFile(dir.file("pic.bmp"));
    ASSERT_GE(bmp.size(), 54u);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(fixtures::getU32(bmp, 18), 32u);  // the selected image, checkbox or not
    EXPECT_EQ(fixtures::getU32(bmp, 22), 32u);

    save(*form, dir.file("pic.gif"), 1);
    ASSERT_EQ(boxes.messages().size(), 1u);
    EXPECT_EQ(boxes.messages()[0].text, savename::kWrongType);
    EXPECT_EQ(boxes.messages()[0].title, "ｴﾗｰ");
    EXPECT_FALSE(std::filesystem::exists(dir.file("pic.gif")));
    boxes.clear();

    const Bytes old = {9, 9, 9};
    ASSERT_TRUE(fixtures::writeFile(dir.file("keep.ico"), old));
    boxes.answerNext(platform::mb::IdNo);
    save(*form, dir.file("keep"), 1);
    ASSERT_EQ(boxes.messages().size(), 1u);  // the question, nothing after it
    EXPECT_EQ(boxes.messages()[0].text, dir.file("keep.ico") + savename::kOverwriteQuestion);
    EXPECT_EQ(fixtures::readFile(dir.file("keep.ico")), old);
    boxes.answerNext(platform::mb::IdYes);
    save(*form, dir.file("keep"), 1);
    EXPECT_EQ(fixtures::getU16(fixtures::readFile(dir.file("keep.ico")), 4), 3);
}

struct FailureCase {
    int startGroup;   // 3: beyond the groups, so no image set
    const char* name;
    int filterIndex;
    std::vector<std::string> texts;
    std::vector<std::string> titles;  // "" for the target path
};

TEST_F(UiForm2, FailuresShowTheOperationsMessageThenTheDialogs) {
    const std::string missing = dir.file("missing/x");
    const FailureCase cases[] = {
        {1, "ico", 1, {iconmod::text::kIcoCreateFailed, TForm2::kIcoSaveFailed}, {"", "ｴﾗｰ"}},
        {1, "bmp", 2, {iconmod::text::kBmpCreateFailed, TForm2::kBmpSaveFailed}, {"", "ｴﾗｰ"}},
        {1, "jpg", 3, {TForm2::kJpegSaveFailed}, {"ｴﾗｰ"}},
        {3, "ico", 1, {iconmod::text::kNoIconData, TForm2::kIcoSaveFailed}, {"ｴﾗｰ", "ｴﾗｰ"}},
        {3, "bmp", 2, {TForm2::kNoBmpData}, {"ｴﾗｰ"}},
    };
    strip.AddIcon(solidImage(32, kRed));
    strip.AddIcon(solidImage(32, kGreen));
    const std::string modulePath = writeModule();
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.startGroup));
        QIconMod source(modulePath);
        auto form = show(source, c.startGroup);
        boxes.clear();
        save(*form, missing, c.filterIndex);
        ASSERT_EQ(boxes.texts(), c.texts);
        for (std::size_t i = 0; i < c.titles.size(); ++i)
            EXPECT_EQ(boxes.messages()[i].title, c.titles[i].empty() ? missing + "." + c.name : c.titles[i]);
        EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));
    }
}

TEST_F(UiForm2, FailedWriteKeepsTheFileItReplaces) {
    QIconMod source(writeModule());
    auto form = show(source, 1);
    const Bytes old(40, 7);
    ASSERT_TRUE(fixtures::writeFile(dir.file("keep.ico"), old));
    ASSERT_TRUE(fixtures::writeFile(dir.file("keep.bmp"), old));
    {
        fixtures::FileSizeLimit limit(100);
        save(*form, dir.file("keep.ico"), 1);
        save(*form, dir.file("keep.bmp"), 1);
    }
    EXPECT_EQ(boxes.texts(), std::vector<std::string>({TForm2::kIcoSaveFailed, iconmod::text::kBmpSaveFailed,
                                                        TForm2::kBmpSaveFailed}));
    EXPECT_EQ(fixtures::readFile(dir.file("keep.ico")), old);
    EXPECT_EQ(fixtures::readFile(dir.file("keep.bmp")), old);
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) files += e.is_regular_file();
    EXPECT_EQ(files, 3);  // the module and the two kept files: no temporary left behind
}

TEST_F(UiForm2, JpegIsTheStripPictureOfTheSelectedGroup) {
    for (QRgb c : {kRed, kGreen, kBlue}) strip.AddIcon(solidImage(32, c));
    QIconMod source(writeModule());
    auto form = show(source, 1);
    auto* list = find<QListWidget>(form.get(), "ListBox1");
    auto jpegColour = [&](const std::string& name) {
        save(*form, dir.file(name), 3);
        const QImage jpeg(QString::fromStdString(dir.file(name + ".jpg")));
        EXPECT_EQ(jpeg.size(), QSize(32, 32));
        return jpeg.isNull() ? QRgb(0) : jpeg.pixel(16, 16);
    };
    EXPECT_TRUE(near(jpegColour("one"), kGreen));
    list->setCurrentRow(2);
    EXPECT_TRUE(near(jpegColour("two"), kBlue));
    list->setCurrentRow(0);
    find<QComboBox>(form.get(), "ComboBox1")->setCurrentIndex(1);  // the image line plays no part
    EXPECT_TRUE(near(jpegColour("zero"), kRed));
    EXPECT_TRUE(boxes.messages().empty());

    // A group beyond the strip's pictures: nothing to write.
    strip.Delete(2);
    list->setCurrentRow(2);
    save(*form, dir.file("none.jpg"), 1);
    EXPECT_EQ(boxes.texts(), std::vector<std::string>({TForm2::kJpegSaveFailed}));
    EXPECT_FALSE(std::filesystem::exists(dir.file("none.jpg")));

    // An ICO file has one icon: the strip's first picture.
    QIconMod ico(writeIco({solidDib(16, kBlue)}));
    auto icoForm = show(ico, 0);
    saveDialog.answer(dir.file("ico.jpg"), 1);
    icoForm->SaveBtnClick();
    EXPECT_TRUE(near(QImage(QString::fromStdString(dir.file("ico.jpg"))).pixel(5, 5), kRed));
}

}  // namespace
