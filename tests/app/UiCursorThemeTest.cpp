// The cursor theme dialog: opened from the File menu, a pack chosen through its two buttons,
// every role's row (picture, file, sizes; animations stepping at their delays), the warnings,
// the scheme choice, a pack that makes no theme, and the install with its overwrite question.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <filesystem>

#include "app/CursorThemeDialog.h"
#include "app/Unit1.h"
#include "app/WindowTexts.h"
#include "iconsave/SaveSeams.h"
#include "support/InfFixtures.h"
#include "support/MessageRecorder.h"
#include "support/PackFixtures.h"

namespace {

std::vector<fixtures::PackEntry> glassPack() {
    auto files = fixtures::templatePackFiles("");
    files.push_back({"install.inf", fixtures::utf16Text(fixtures::templateInf("Glass")), {}});
    return files;
}

QColor centreOf(const QTableWidget& table, int row) {
    const QImage image = table.item(row, 0)->icon().pixmap(32, 32).toImage();
    return image.pixelColor(16, 16);
}

}  // namespace

TEST(UiCursorTheme, ShowsEachRoleAndInstallsFromTheFileMenu) {
    fixtures::TempDir dir;
    ASSERT_TRUE(fixtures::writePack(dir.file("Glass"), glassPack()));
    const std::string prefix = dir.file("home/.icons");
    const char* home = std::getenv("HOME");
    const std::string oldHome = home ? home : "";
    ::setenv("HOME", dir.file("home").c_str(), 1);
    std::vector<bool> asked;  // folder or file, as the buttons ask
    auto previous = TCursorThemeForm::setPackChooser([&](QWidget*, bool folder) {
        asked.push_back(folder);
        return folder ? std::optional<std::string>(dir.file("Glass")) : std::nullopt;
    });
    fixtures::MessageRecorder messages;
    TForm1 form(nullptr, 768);
    fixtures::ModalScript script([&](QDialog& dialog) {
        auto* themeForm = dynamic_cast<TCursorThemeForm*>(&dialog);
        ASSERT_TRUE(themeForm);
        EXPECT_EQ(themeForm->windowTitle(), QString::fromUtf8(wtext::kCursorThemeCaption));
        EXPECT_FALSE(themeForm->installButton()->isEnabled());
        themeForm->findChild<QPushButton*>(QStringLiteral("BtnPackFile"))->click();  // cancelled
        EXPECT_FALSE(themeForm->plan());
        themeForm->findChild<QPushButton*>(QStringLiteral("BtnPackFolder"))->click();
        ASSERT_TRUE(themeForm->plan());
        QTableWidget& table = *themeForm->roleTable();
        ASSERT_EQ(table.rowCount(), 17);
        for (int row = 0; row < 17; ++row) {
            EXPECT_EQ(table.item(row, 2)->text().toStdString(), fixtures::kTemplateInfFiles[static_cast<std::size_t>(row)]) << row;
            EXPECT_EQ(table.item(row, 3)->text(), QStringLiteral("32")) << row;
            const QColor wanted = QColor::fromRgba(fixtures::roleColour(static_cast<std::size_t>(row)));
            if (row != 2 && row != 3) {
                EXPECT_EQ(centreOf(table, row), wanted) << row;
            }
        }
        EXPECT_EQ(table.item(0, 1)->text(), QStringLiteral("Arrow (default)"));
        EXPECT_EQ(themeForm->warningList()->count(), 2);  // Pin and Person have no names of their own
        EXPECT_FALSE(themeForm->schemeBox()->isEnabled());
        EXPECT_EQ(themeForm->nameEdit()->text(), QStringLiteral("Glass"));
        // Wait steps on after its first step's 100 ms: black, then its colour again after 200 ms more.
        EXPECT_EQ(themeForm->shownStep(formats::CursorRole::Wait), 0u);
        EXPECT_EQ(centreOf(table, 3), QColor::fromRgba(fixtures::roleColour(3)));
        QTRY_COMPARE_WITH_TIMEOUT(themeForm->shownStep(formats::CursorRole::Wait), std::size_t{1}, 1000);
        EXPECT_EQ(centreOf(table, 3), QColor(Qt::black));
        QTRY_COMPARE_WITH_TIMEOUT(themeForm->shownStep(formats::CursorRole::Wait), std::size_t{0}, 1000);

        themeForm->nameEdit()->setText("../x");
        EXPECT_FALSE(themeForm->installButton()->isEnabled());
        themeForm->nameEdit()->setText("Glass-2");
        themeForm->installButton()->click();
        EXPECT_TRUE(themeForm->statusLabel()->text().contains(QStringLiteral("gsettings set org.gnome.desktop.interface cursor-theme Glass-2")))
            << themeForm->statusLabel()->text().toStdString();
        EXPECT_TRUE(themeForm->statusLabel()->text().startsWith(QString::fromStdString(prefix + "/Glass-2")));
        // Again: the overwrite question; No keeps the theme, Yes replaces it.
        const auto before = std::filesystem::last_write_time(prefix + "/Glass-2/index.theme");
        messages.answerNext(platform::mb::IdNo);
        EXPECT_FALSE(themeForm->install());
        EXPECT_EQ(std::filesystem::last_write_time(prefix + "/Glass-2/index.theme"), before);
        messages.answerNext(platform::mb::IdYes);
        EXPECT_TRUE(themeForm->install());
        dialog.reject();
    });
    form.findChild<QAction*>(QStringLiteral("mnuCursorTheme"))->trigger();
    TCursorThemeForm::setPackChooser(std::move(previous));
    ::setenv("HOME", oldHome.c_str(), 1);
    EXPECT_EQ(script.runs, 1);
    EXPECT_EQ(asked, (std::vector<bool>{false, true}));
    ASSERT_EQ(messages.messages().size(), 2u);
    EXPECT_NE(messages.messages()[0].text.find("上書きしますか"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_symlink(prefix + "/Glass-2/cursors/left_ptr"));
    EXPECT_TRUE(std::filesystem::exists(prefix + "/Glass-2/preview.png"));
}

TEST(UiCursorTheme, SchemesToChooseFromAndPacksThatMakeNoTheme) {
    fixtures::TempDir dir;
    const auto inf = [](const std::string& scheme, const std::string& arrow) {
        return fixtures::utf8Text("[DefaultInstall]\nAddReg=R\n[R]\nHKCU,\"Control Panel\\Cursors\\Schemes\",\"" + scheme + "\",,\"" + arrow + "\"\n");
    };
    const fixtures::Bytes cur = fixtures::cursorOf(32, 0xFF808080);
    ASSERT_TRUE(fixtures::writePack(dir.file("two"), {{"a/install.inf", inf("Blue", "a.cur"), {}}, {"a/a.cur", cur, {}},
                                                      {"b/install.inf", inf("Red", "b.cur"), {}}, {"b/b.cur", cur, {}}}));
    ASSERT_TRUE(fixtures::writePack(dir.file("noarrow"), {{"help.cur", cur, {}}}));
    TCursorThemeForm themeForm(nullptr, dir.file("icons"));
    ASSERT_TRUE(themeForm.openPack(dir.file("two")));
    QComboBox& schemes = *themeForm.schemeBox();
    EXPECT_TRUE(schemes.isEnabled());
    ASSERT_EQ(schemes.count(), 2);
    EXPECT_EQ(themeForm.roleTable()->item(0, 2)->text(), QStringLiteral("a/a.cur"));
    schemes.setCurrentIndex(1);
    emit schemes.activated(1);
    EXPECT_EQ(themeForm.roleTable()->item(0, 2)->text(), QStringLiteral("b/b.cur"));
    EXPECT_EQ(themeForm.nameEdit()->text(), QStringLiteral("Red"));
    EXPECT_EQ(themeForm.roleTable()->item(1, 2)->text(), QString::fromUtf8(wtext::kCursorInherited));

    EXPECT_FALSE(themeForm.openPack(dir.file("noarrow")));
    EXPECT_FALSE(themeForm.installButton()->isEnabled());
    EXPECT_TRUE(themeForm.statusLabel()->text().startsWith(QString::fromUtf8(wtext::kCursorPackFailed)));
    EXPECT_TRUE(themeForm.roleTable()->item(0, 2)->text() == QString::fromUtf8(wtext::kCursorInherited));
    EXPECT_FALSE(themeForm.install());
    EXPECT_FALSE(std::filesystem::exists(dir.file("icons")));
}
