// The window with a resource-only module (.mun) of hundreds of groups under the all-files
// filter, and its command that writes the strip's current icon as a launcher icon set.
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>

#include "app/IconSetDialog.h"
#include "app/UiScanFixture.h"
#include "formats/IconDecode.h"
#include "iconmod/IconTheme.h"
#include "iconsave/SaveSeams.h"

namespace {

using scanfixture::iconColour;
using scanfixture::UiScan;

}  // namespace

TEST_F(UiScan, ResourceOnlyModulesAreListedAndTheirIconsMadeIntoIconSets) {
    constexpr int kGroups = 300;
    std::vector<fixtures::ModuleIcon> icons;
    for (int g = 0; g < kGroups; ++g) icons.push_back(fixtures::solidIcon(g + 1, iconColour(7, g)));
    ASSERT_TRUE(fixtures::writeFile(mod("imageres.dll.mun"), fixtures::makePe(icons, {.plus = true, .resourceOnly = true})));
    writeModule("A.EXE", 1, 1);
    start();
    choose(mods());
    form->findChild<QComboBox*>(QStringLiteral("ComboBox1"))->setEditText(QString::fromUtf8("すべて (*.*)"));
    rescan();
    const int row = rowOf("imageres.dll.mun");
    ASSERT_GE(row, 0);
    EXPECT_EQ(list->row(row).iconCount, kGroups);
    clickRow(row);
    EXPECT_EQ(form->ImageList32A.Count(), kGroups);
    ASSERT_TRUE(grid->setCol(2));

    const std::string prefix = dir.file("icons");
    TIconSetForm::FolderChooser previous = TIconSetForm::setFolderChooser(
        [&prefix](QWidget*, const std::string&) { return std::optional<std::string>(prefix); });
    std::string offeredName, offeredFolder;
    bool okForBadName = true;
    fixtures::ModalScript script([&](QDialog& dialog) {
        auto* form2 = dynamic_cast<TIconSetForm*>(&dialog);
        ASSERT_TRUE(form2);
        offeredName = form2->name();
        offeredFolder = form2->folder();
        form2->nameEdit()->setText("a b");
        okForBadName = form2->okButton()->isEnabled();
        form2->nameEdit()->setText("wine-imageres");
        form2->browseButton()->click();
        ASSERT_TRUE(form2->okButton()->isEnabled());
        form2->okButton()->click();
    });
    form->findChild<QAction*>(QStringLiteral("mnuPopIconSet"))->trigger();
    TIconSetForm::setFolderChooser(std::move(previous));
    EXPECT_EQ(script.runs, 1);
    EXPECT_EQ(offeredName, "imageres.dll");
    EXPECT_EQ(offeredFolder, iconmod::defaultIconThemeDir().value_or(std::string()));
    EXPECT_FALSE(okForBadName);

    // Strip icon 2 at each size up to its largest image, 32 pixels.
    for (int size : {16, 22, 24, 32}) {
        const auto picture = formats::decodeIconImage(fixtures::readFile(iconmod::iconThemeFile(prefix, size, "wine-imageres")));
        ASSERT_TRUE(picture) << size;
        EXPECT_EQ(picture->width, size);
        EXPECT_EQ(picture->pixel(size / 2, size / 2), iconColour(7, 2)) << size;
    }
    EXPECT_FALSE(std::filesystem::exists(iconmod::iconThemeFile(prefix, 48, "wine-imageres")));
}
