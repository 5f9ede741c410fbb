#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <filesystem>

#include "iconmod/PngSaveName.h"
#include "iconmod/SaveName.h"
#include "app/DrawGrid.h"
#include "qtshared/PictureConvert.h"
#include "app/Unit1.h"
#include "iconsave/SaveSeams.h"
#include "iconsave/Unit2.h"
#include "platform/IconExtract.h"
#include "support/ImageFixtures.h"
#include "support/MessageRecorder.h"
#include "support/ModuleFixtures.h"

namespace {

using fixtures::Bytes;

const QRgb kColours[] = {0xFFFF0000, 0xFF0000FF, 0xFF008000};

// A strip picture: one colour with a transparent top-left corner pixel.
QImage stripPicture(int size, QRgb colour) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    image.setPixel(0, 0, 0);
    return image;
}

class UiSave : public ::testing::Test {
protected:
    UiSave() : form(std::make_unique<TForm1>(nullptr, 768)) {}

    DrawGrid* grid() { return form->findChild<DrawGrid*>(QStringLiteral("DrawGrid1")); }
    QAction* action(const char* name) { return form->findChild<QAction*>(QString::fromLatin1(name)); }
    QMenu* menu(const char* name) { return form->findChild<QMenu*>(QString::fromLatin1(name)); }

    // The strip as the file list leaves it after selecting a file: n icons, column col current.
    void fillStrip(int n, int col) {
        form->ReleaseIcons(false);
        for (int i = 0; i < n; ++i) {
            form->ImageList32A.AddIcon(stripPicture(32, kColours[i % 3]));
            form->ImageList16A.AddIcon(stripPicture(16, kColours[i % 3]));
        }
        form->StripIconCount = n;
        grid()->setColCount(std::max(n, 1));
        grid()->setCol(col);
    }

    // The file at `path` selected in the file list: its icons extracted into the strip.
    void selectFile(const std::string& path, int col) {
        form->ReleaseIcons(false);
        const int n = platform::iconCount(path);
        for (int i = 0; i < n; ++i) {
            formats::ArgbImage large, small;
            ASSERT_TRUE(platform::extractIcon(path, i, &large, &small));
            form->ImageList32A.AddIcon(imageFromArgb(large));
            form->ImageList16A.AddIcon(imageFromArgb(small));
        }
        form->StripIconCount = n;
        form->CurrentFile = path;
        grid()->setColCount(std::max(n, 1));
        grid()->setCol(col);
    }

    fixtures::TempDir dir;
    fixtures::MessageRecorder boxes;
    fixtures::ScriptedSaveDialog saveDialog;
    fixtures::RecordingClipboard clipboard;
    std::unique_ptr<TForm1> form;
};

TEST_F(UiSave, MenuEntriesFollowTheStripSelection) {
    const char* const fileEntries[] = {"mnuSaveIcon", "mnuSaveIcon32", "mnuSaveIcon16", "mnuSavePng", "mnuCopyPng"};
    const char* const editEntries[] = {"mnuCopyBmp32", "mnuCopyBmp16"};
    struct Case {
        int count, col;
        bool enabled;
    };
    for (const Case c : {Case{0, 0, false}, Case{3, 1, true}, Case{0, 0, false}}) {
        SCOPED_TRACE(testing::Message() << c.count << " icons, column " << c.col);
        fillStrip(c.count, c.col);
        emit menu("mnuFile")->aboutToShow();
        emit menu("mnuEdit")->aboutToShow();
        for (const char* name : fileEntries) EXPECT_EQ(action(name)->isEnabled(), c.enabled) << name;
        for (const char* name : editEntries) EXPECT_EQ(action(name)->isEnabled(), c.enabled) << name;
        // Not touched: the standard-save submenu, Exit, About.
        EXPECT_TRUE(menu("mnuStandardSave")->menuAction()->isEnabled());
        EXPECT_TRUE(action("mnuExit")->isEnabled());
        EXPECT_TRUE(action("mnuAbout")->isEnabled());
    }
    // The current column beyond the strip's pictures counts as no selection.
    fillStrip(3, 2);
    form->ImageList32A.Delete(2);
    emit menu("mnuFile")->aboutToShow();
    EXPECT_FALSE(action("mnuSaveIcon32")->isEnabled());

    // With an empty strip the commands do nothing, whichever way they are reached.
    fillStrip(0, 0);
    for (const char* name : {"mnuSaveIcon32", "mnuPopSaveIcon16", "mnuCopyBmp32", "mnuPopCopyBmp16", "mnuPopupSaveIcon",
                             "mnuPopSavePng", "mnuPopCopyPng"})
        action(name)->trigger();
    EXPECT_TRUE(saveDialog.seen.empty());
    EXPECT_TRUE(clipboard.images.empty());
    EXPECT_TRUE(boxes.messages().empty());
}

struct StandardCase {
    const char* entry;
    const char* name;
    int filterIndex;
    const char* file;
    int size;
    std::size_t bytes;  // 0: any
    const char* magic;
};

TEST_F(UiSave, StandardSaveWritesTheStripPicture) {
    fillStrip(3, 1);
    const StandardCase cases[] = {
        {"mnuSaveIcon32", "a", 2, "a.bmp", 32, 54 + 32 * 32 * 3, "BM"},
        {"mnuPopSaveIcon16", "b", 2, "b.bmp", 16, 54 + 16 * 16 * 3, "BM"},
        {"mnuPopSaveIcon32", "c", 1, "c.ico", 32, 766, "\0\0\1\0"},
        {"mnuSaveIcon16", "d", 0, "d.ico", 16, 318, "\0\0\1\0"},
        {"mnuSaveIcon32", "e.ico", 2, "e.ico", 32, 766, "\0\0\1\0"},  // the typed extension wins
        {"mnuSaveIcon32", "f.JPEG", 1, "f.JPEG", 32, 0, "\xFF\xD8"},
        {"mnuPopSaveIcon16", "g", 3, "g.jpg", 16, 0, "\xFF\xD8"},
    };
    for (const StandardCase& c : cases) {
        SCOPED_TRACE(c.file);
        saveDialog.answer(dir.file(c.name), c.filterIndex);
        action(c.entry)->trigger();
        ASSERT_FALSE(saveDialog.seen.empty());
        EXPECT_EQ(saveDialog.seen.back().title, c.size == 32 ? TForm1::kSaveTitle32 : TForm1::kSaveTitle16);
        EXPECT_EQ(saveDialog.seen.back().filter, TForm1::kSaveFilter);
        const Bytes bytes = fixtures::readFile(dir.file(c.file));
        if (c.bytes) {
            EXPECT_EQ(bytes.size(), c.bytes);
        }
        const std::string magic(c.magic, c.magic[0] == 0 ? 4 : 2);
        ASSERT_GE(bytes.size(), magic.size());
        EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + static_cast<long>(magic.size())), magic);
        const QImage image(QString::fromStdString(dir.file(c.file)), c.magic[0] == 0 ? "ICO" : nullptr);
        ASSERT_EQ(image.size(), QSize(c.size, c.size));
        // The current icon's colour; the transparent corner white (bitmap, JPEG) or
        // transparent (icon).
        EXPECT_EQ(qRed(image.pixel(5, 5)) < 64 && qBlue(image.pixel(5, 5)) > 192, true);
        if (c.magic[0] == 0) {
            EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
        } else {
            EXPECT_GT(qGray(image.pixel(0, 0)), 230);
        }
    }
    EXPECT_TRUE(boxes.messages().empty());
    // The dialog offers the last name and type again.
    saveDialog.cancel();
    action("mnuSaveIcon32")->trigger();
    EXPECT_EQ(saveDialog.seen.back().fileName, dir.file("g"));
    EXPECT_EQ(saveDialog.seen.back().filterIndex, 3);
}

TEST_F(UiSave, StandardSaveRefusalsAndFailures) {
    fillStrip(2, 0);
    auto run = [&](const std::string& name, int filterIndex) {
        boxes.clear();
        saveDialog.answer(name, filterIndex);
        action("mnuSaveIcon32")->trigger();
    };
    run(dir.file("x.txt"), 1);
    ASSERT_EQ(boxes.messages().size(), 1u);
    EXPECT_EQ(boxes.messages()[0].text, savename::kWrongType);
    EXPECT_EQ(boxes.messages()[0].title, "ｴﾗｰ");
    EXPECT_EQ(boxes.messages()[0].style, 0u);

    const Bytes old(50, 3);
    ASSERT_TRUE(fixtures::writeFile(dir.file("h.bmp"), old));
    boxes.answerNext(platform::mb::IdNo);
    run(dir.file("h"), 2);
    EXPECT_EQ(boxes.messages().size(), 1u);  // the question only
    EXPECT_EQ(fixtures::readFile(dir.file("h.bmp")), old);

    run(dir.file("missing/h"), 2);
    ASSERT_EQ(boxes.messages().size(), 1u);
    EXPECT_EQ(boxes.messages()[0].text, TForm1::kSaveFailed);
    EXPECT_EQ(boxes.messages()[0].title, "Vexilｴﾗｰ");
    EXPECT_EQ(boxes.messages()[0].style, 0x30u);

    // A write that fails part-way leaves the replaced file as it was.
    {
        fixtures::FileSizeLimit limit(40);
        run(dir.file("h.bmp"), 2);
    }
    EXPECT_EQ(boxes.texts(), std::vector<std::string>({TForm1::kSaveFailed}));
    EXPECT_EQ(fixtures::readFile(dir.file("h.bmp")), old);

    saveDialog.cancel();
    boxes.clear();
    action("mnuSaveIcon16")->trigger();
    EXPECT_TRUE(boxes.messages().empty());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);  // h.bmp alone
}

TEST_F(UiSave, CopyPutsTheCurrentPictureOnWhite) {
    fillStrip(3, 1);
    action("mnuCopyBmp32")->trigger();
    action("mnuPopCopyBmp16")->trigger();
    ASSERT_EQ(clipboard.images.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        const QImage& image = clipboard.images[static_cast<std::size_t>(i)];
        EXPECT_EQ(image.size(), i == 0 ? QSize(32, 32) : QSize(16, 16));
        EXPECT_FALSE(image.hasAlphaChannel());
        EXPECT_EQ(image.pixel(0, 0), qRgb(255, 255, 255));
        EXPECT_EQ(image.pixel(5, 5), kColours[1]);
    }
    clipboard.refuse = true;
    action("mnuCopyBmp16")->trigger();
    ASSERT_EQ(boxes.messages().size(), 1u);
    EXPECT_EQ(boxes.messages()[0].text, TForm1::kCopyFailed);
    EXPECT_EQ(boxes.messages()[0].title, "Vexilｴﾗｰ");

    // The system clipboard itself.
    const ClipboardHandler recorder = setClipboardHandler({});
    action("mnuCopyBmp32")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->image().size(), QSize(32, 32));
    setClipboardHandler(recorder);
}

TEST_F(UiSave, IconSaveDialogOnTheSelectedFile) {
    const std::string module = dir.file("three.dll");
    ASSERT_TRUE(fixtures::writeFile(module, fixtures::makePe({fixtures::patternIcon(fixtures::resId(1), {16, 32}),
                                                               fixtures::patternIcon(fixtures::resId(2), {16, 32, 48}, 8),
                                                               fixtures::patternIcon(fixtures::resId(7), {32}, 24)})));
    selectFile(module, 1);
    ASSERT_EQ(form->ImageList32A.Count(), 3);

    // The road of one icon: the dialog on the second icon's group, its three saves, closed.
    fixtures::ModalScript script([&](QDialog& dialog) {
        auto* form2 = qobject_cast<TForm2*>(&dialog);
        ASSERT_NE(form2, nullptr);
        dialog.show();
        auto* list = dialog.findChild<QListWidget*>(QStringLiteral("ListBox1"));
        EXPECT_EQ(list->currentRow(), 1);
        EXPECT_EQ(dialog.findChild<QComboBox*>(QStringLiteral("ComboBox1"))->count(), 3);
        for (const char* name : {"all.ico", "one.bmp", "strip.jpg"}) {
            saveDialog.answer(dir.file(name), 1);
            form2->SaveBtnClick();
        }
        dialog.findChild<QPushButton*>(QStringLiteral("Button1"))->click();
    });
    action("mnuPopupSaveIcon")->trigger();
    EXPECT_EQ(script.runs, 1);
    EXPECT_TRUE(boxes.messages().empty());
    EXPECT_EQ(fixtures::getU16(fixtures::readFile(dir.file("all.ico")), 4), 3);
    EXPECT_EQ(fixtures::getU32(fixtures::readFile(dir.file("one.bmp")), 18), 16u);
    EXPECT_EQ(QImage(QString::fromStdString(dir.file("strip.jpg"))).size(), QSize(32, 32));

    // An icon file: no groups, its images listed.
    const std::string ico = dir.file("one.ico");
    ASSERT_TRUE(fixtures::writeFile(ico, fixtures::makeIco({{fixtures::patternDib(32, 4)}})));
    selectFile(ico, 0);
    fixtures::ModalScript icoScript([&](QDialog& dialog) {
        dialog.show();
        EXPECT_EQ(dialog.findChild<QListWidget*>(QStringLiteral("ListBox1"))->count(), 0);
        EXPECT_EQ(dialog.findChild<QComboBox*>(QStringLiteral("ComboBox1"))->count(), 1);
    });
    action("mnuSaveIcon")->trigger();
    EXPECT_EQ(icoScript.runs, 1);

    // A 16-bit module cannot be opened for its resources: the three-line box, no dialog.
    const std::string ne = dir.file("old.dll");
    ASSERT_TRUE(fixtures::writeFile(ne, fixtures::makeNe({fixtures::patternIcon(fixtures::resId(1))})));
    selectFile(ne, 0);
    ASSERT_EQ(form->ImageList32A.Count(), 1);
    action("mnuSaveIcon")->trigger();
    EXPECT_EQ(icoScript.runs, 1);
    ASSERT_EQ(boxes.messages().size(), 1u);
    EXPECT_EQ(boxes.messages()[0].text, TForm1::kReopenFailed);
    EXPECT_EQ(boxes.messages()[0].title, "Vexil ｴﾗｰ");
    EXPECT_EQ(boxes.messages()[0].style, 0u);

    // No file selected: nothing.
    form->CurrentFile.clear();
    action("mnuSaveIcon")->trigger();
    EXPECT_EQ(icoScript.runs, 1);
    EXPECT_EQ(boxes.messages().size(), 1u);
}

// Width and height from a PNG file's IHDR (0 x 0 when it is not a PNG).
std::pair<int, int> pngSize(const Bytes& png) {
    if (png.size() < 24 || png[0] != 0x89 || png[1] != 'P') return {0, 0};
    const auto at = [&](std::size_t i) { return static_cast<int>(png[i] << 24 | png[i + 1] << 16 | png[i + 2] << 8 | png[i + 3]); };
    return {at(16), at(20)};
}

TEST_F(UiSave, PngSaveOffersTheGroupsSizesWithItsOwnNameRule) {
    const Bytes stored = fixtures::detailedPng(3);
    const std::string module = dir.file("two.dll");
    ASSERT_TRUE(fixtures::writeFile(module, fixtures::makePe({fixtures::patternIcon(fixtures::resId(1), {16, 32}),
                                                               fixtures::modernIcon(fixtures::resId(2), stored)})));
    selectFile(module, 1);
    const auto save = [&](const std::string& name, int filterIndex) {
        boxes.clear();
        saveDialog.answer(name, filterIndex);
        action("mnuPopSavePng")->trigger();
    };

    // Held sizes and the standard ones below 256; the largest offered first. At 256 the
    // stored PNG image is written byte for byte; a size the group lacks is shrunk from the
    // next larger image.
    save(dir.file("a"), 7);
    ASSERT_EQ(saveDialog.seen.size(), 1u);
    EXPECT_EQ(saveDialog.seen[0].title, TForm1::kSavePngTitle);
    EXPECT_EQ(saveDialog.seen[0].filterIndex, 7);
    EXPECT_EQ(filterDescriptions(saveDialog.seen[0].filter),
              (std::vector<std::string>{"PNG 16x16 (*.png)", "PNG 24x24 (*.png)", "PNG 32x32 (*.png)", "PNG 48x48 (*.png)",
                                        "PNG 64x64 (*.png)", "PNG 128x128 (*.png)", "PNG 256x256 (*.png)"}));
    EXPECT_TRUE(boxes.messages().empty());
    EXPECT_EQ(fixtures::readFile(dir.file("a.png")), stored);
    save(dir.file("b.PNG"), 2);
    EXPECT_EQ(pngSize(fixtures::readFile(dir.file("b.PNG"))), std::make_pair(24, 24));

    // Another extension is refused with the PNG save's own message; nothing is written.
    save(dir.file("c.bmp"), 1);
    EXPECT_EQ(boxes.texts(), std::vector<std::string>({savename::kNotPng}));
    EXPECT_FALSE(std::filesystem::exists(dir.file("c.bmp")));

    // An existing file, typed with or without its extension, is replaced only after Yes.
    for (const char* name : {"a", "a.png"}) {
        boxes.answerNext(platform::mb::IdNo);
        save(dir.file(name), 3);
        EXPECT_EQ(boxes.texts(), std::vector<std::string>({dir.file("a.png") + savename::kOverwriteQuestion}));
        EXPECT_EQ(fixtures::readFile(dir.file("a.png")), stored);
    }
    boxes.answerNext(platform::mb::IdYes);
    save(dir.file("a"), 3);
    EXPECT_EQ(pngSize(fixtures::readFile(dir.file("a.png"))), std::make_pair(32, 32));

    // A failed write shows the save failure.
    save(dir.file("missing/d"), 1);
    EXPECT_EQ(boxes.texts(), std::vector<std::string>({TForm1::kSaveFailed}));

    // A group of 16 and 32 pixels: held sizes and 24; 16-bit modules and .ico files too.
    selectFile(module, 0);
    save(dir.file("e"), 3);
    EXPECT_EQ(filterDescriptions(saveDialog.seen.back().filter).size(), 3u);
    EXPECT_EQ(pngSize(fixtures::readFile(dir.file("e.png"))), std::make_pair(32, 32));
    const std::string ne = dir.file("old.exe");
    ASSERT_TRUE(fixtures::writeFile(ne, fixtures::makeNe({fixtures::patternIcon(fixtures::resId(1), {16, 32})})));
    const std::string ico = dir.file("one.ico");
    ASSERT_TRUE(fixtures::writeFile(ico, fixtures::makeIco({{fixtures::patternDib(48, 32)}})));
    for (const std::string& file : {ne, ico}) {
        selectFile(file, 0);
        const std::string out = file == ne ? dir.file("from-ne") : dir.file("from-ico");
        save(out, file == ne ? 3 : 4);  // the largest: 16, 24, 32 / 16, 24, 32, 48
        EXPECT_TRUE(boxes.messages().empty()) << file;
        EXPECT_EQ(pngSize(fixtures::readFile(out + ".png")), file == ne ? std::make_pair(32, 32) : std::make_pair(48, 48));
    }
}

}  // namespace
