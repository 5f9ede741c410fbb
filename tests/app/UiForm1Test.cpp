#include <gtest/gtest.h>

#include <set>

#include "support/UiChild.h"

#include <QAction>
#include <QButtonGroup>
#include <QCursor>
#include <QGuiApplication>
#include <QComboBox>
#include <QFrame>
#include <QListView>
#include <QTreeView>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <sys/stat.h>
#include <unistd.h>

#include "app/DrawGrid.h"
#include "app/FileListView.h"
#include "qtshared/Scaling.h"
#include "app/Unit1.h"
#include "platform/Drives.h"
#include "support/ImageFixtures.h"
#include "support/MessageRecorder.h"
#include "treedir/DriveCombo.h"
#include "treedir/DriveFixtures.h"
#include "treedir/Treedir.h"

namespace {

// The main window started in a temporary directory that is a drive of its own (a fake
// mount), with a second drive "b" and directories "one" and "two" on the first.
class UiForm1 : public ::testing::Test {
protected:
    UiForm1() : mounts(dir, {dir.path(), dir.file("b")}) {}

    void SetUp() override {
        for (const char* d : {"one", "two", "b"}) ASSERT_EQ(mkdir(dir.file(d).c_str(), 0755), 0);
        ASSERT_EQ(chdir(dir.path().c_str()), 0);
    }

    std::unique_ptr<TForm1> start(int screenHeight = 768) {
        auto form = std::make_unique<TForm1>(nullptr, screenHeight);
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        EXPECT_TRUE(QTest::qWaitFor([&form] { return !form->busy(); }, 20000));
        return form;
    }

    template <class T>
    static T* find(QWidget* form, const char* name) {
        return fixtures::uiChild<T>(form, name);
    }

    fixtures::TempDir dir;
    fixtures::FakeMounts mounts;
};

TEST_F(UiForm1, StartUpShowsTheCurrentDrive) {
    TForm1 form(nullptr, 768);
    EXPECT_EQ(form.windowTitle(), QString::fromUtf8("Vexil - アイコン抽出"));
    EXPECT_FALSE(form.SortDescending);
    EXPECT_EQ(form.CurrentDir, "");
    EXPECT_EQ(form.FilterMask, "*.exe");
    EXPECT_EQ(form.StripIconCount, 0);
    EXPECT_EQ(form.CurrentFile, "");

    auto* combo = find<QComboBox>(&form, "ComboBox1");
    ASSERT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->itemText(0), QString::fromUtf8("ﾌﾟﾛｸﾞﾗﾑ (*.exe)"));
    EXPECT_EQ(combo->itemText(1), QString::fromUtf8("DLL (*.DLL)"));
    EXPECT_EQ(combo->itemText(2), QString::fromUtf8("すべて (*.*)"));
    EXPECT_EQ(combo->currentText(), QString::fromUtf8("ﾌﾟﾛｸﾞﾗﾑ (*.exe)"));
    EXPECT_EQ(combo->toolTip(), QString::fromUtf8("検索ﾌｧｲﾙﾀｲﾌﾟ"));

    // Nothing is listed before the window is on screen; showing it lists the drive.
    auto* tree = find<QTreeDir>(&form, "TreeDir1");
    EXPECT_EQ(tree->topLevelItemCount(), 0);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const std::string root = dir.path() + "/";
    ASSERT_NE(tree->rootNode(), nullptr);
    EXPECT_EQ(QTreeDir::nodeName(tree->rootNode()), root);
    EXPECT_EQ(tree->selectedNode(), tree->rootNode());
    EXPECT_EQ(tree->rootNode()->childCount(), 3);
    EXPECT_EQ(form.CurrentDir, root);
    EXPECT_EQ(form.FilterMask, "*.exe");
    EXPECT_EQ(form.windowTitle(), QString::fromUtf8("Vexil - ") + QString::fromStdString(root));

    auto* drive = find<DriveCombo>(&form, "Drive1");
    EXPECT_EQ(drive->Drive(), dir.path());
    EXPECT_EQ(drive->currentText(), QString::fromStdString(dir.path() + " []"));
}

TEST_F(UiForm1, MenusAndHints) {
    TForm1 form(nullptr, 768);
    struct Entry {
        const char* name;
        const char* text;
    } actions[] = {
        {"mnuSaveIcon", "ｱｲｺﾝの保存(&I)..."},
        {"mnuSaveIcon32", "通常ﾌｧｲﾙ(ico,bmp,jpg)で保存(&L)..."},
        {"mnuSaveIcon16", "小さいﾌｧｲﾙ(ico, bmp, jpg)で保存(&S)..."},
        {"mnuExit", "終了(&X)"},
        {"mnuCopyBmp32", "32ﾋﾟｸｾﾙ ﾋﾞｯﾄﾏｯﾌﾟでコピー(&P)"},
        {"mnuCopyBmp16", "16ﾋﾟｸｾﾙ ﾋﾞｯﾄﾏｯﾌﾟでコピー(&Y)"},
        {"mnuAbout", "バージョン情報(&A)..."},
        {"mnuPopupSaveIcon", "ｱｲｺﾝの保存(&I)..."},
        {"mnuPopSaveIcon32", "通常ﾌｧｲﾙ(ico,bmp,jpg)で保存(&L)..."},
        {"mnuPopSaveIcon16", "小さいﾌｧｲﾙ(ico,bmp,jpg)で保存(&S)..."},
        {"mnuPopCopyBmp32", "32ﾋﾟｸｾﾙ ﾋﾞｯﾄﾏｯﾌﾟでｺﾋﾟｰ(&P)"},
        {"mnuPopCopyBmp16", "16ﾋﾟｸｾﾙ ﾋﾞｯﾄﾏｯﾌﾟでｺﾋﾟｰ(&Y)"},
        {"mnuIconSet", "ｱｲｺﾝｾｯﾄの作成(&T)..."},
        {"mnuPopIconSet", "ｱｲｺﾝｾｯﾄの作成(&T)..."},
    };
    for (const Entry& e : actions) {
        auto* a = find<QAction>(&form, e.name);
        if (!a) continue;
        EXPECT_EQ(a->text(), QString::fromUtf8(e.text)) << e.name;
        EXPECT_TRUE(a->shortcut().isEmpty()) << e.name;
    }

    const auto titles = [](QMenu* m) {
        std::vector<std::string> out;
        for (QAction* a : m->actions()) out.push_back(a->isSeparator() ? "-" : a->text().toStdString());
        return out;
    };
    auto* bar = find<QMenuBar>(&form, "Menu1");
    ASSERT_EQ(bar->actions().size(), 3);
    EXPECT_EQ(bar->actions()[0]->text(), QString::fromUtf8("ファイル(&F)"));
    EXPECT_EQ(bar->actions()[1]->text(), QString::fromUtf8("編集(&E)"));
    EXPECT_EQ(bar->actions()[2]->text(), QString::fromUtf8("ヘルプ(&H)"));
    // The entries of old first, in their order; the PNG, icon set, Open, save-all and cursor theme commands appended behind them.
    EXPECT_EQ(titles(find<QMenu>(&form, "mnuFile")),
              (std::vector<std::string>{"ｱｲｺﾝの保存(&I)...", "標準での保存", "-", "終了(&X)", "-", "PNGで保存(&N)...", "PNGでｺﾋﾟｰ(&G)", "ｱｲｺﾝｾｯﾄの作成(&T)...", "-", "ﾌｧｲﾙを開く(&O)...",
                                        "ｱｲｺﾝをすべて保存(&A)...", "ｶｰｿﾙﾃｰﾏの作成(&K)..."}));
    EXPECT_EQ(titles(find<QMenu>(&form, "mnuStandardSave")).size(), 2u);
    EXPECT_EQ(titles(find<QMenu>(&form, "PopupMenu1")),
              (std::vector<std::string>{"ｱｲｺﾝの保存(&I)...", "標準での保存", "-", "PNGで保存(&N)...", "PNGでｺﾋﾟｰ(&G)", "ｱｲｺﾝｾｯﾄの作成(&T)...", "ｱｲｺﾝの詳細(&D)..."}));
    // Every Alt sequence still reaches one entry: no access key twice in a menu.
    for (const char* menu : {"mnuFile", "PopupMenu1"}) {
        std::set<QChar> keys;
        for (QAction* a : find<QMenu>(&form, menu)->actions()) {
            const qsizetype amp = a->text().indexOf(QLatin1Char('&'));
            if (amp < 0) continue;
            EXPECT_TRUE(keys.insert(a->text().at(amp + 1).toUpper()).second) << menu << " " << a->text().toStdString();
        }
    }
    EXPECT_EQ(titles(find<QMenu>(&form, "mnuPopupStandardSave")),
              (std::vector<std::string>{"通常ﾌｧｲﾙ(ico,bmp,jpg)で保存(&L)...", "小さいﾌｧｲﾙ(ico,bmp,jpg)で保存(&S)...", "-",
                                        "32ﾋﾟｸｾﾙ ﾋﾞｯﾄﾏｯﾌﾟでｺﾋﾟｰ(&P)", "16ﾋﾟｸｾﾙ ﾋﾞｯﾄﾏｯﾌﾟでｺﾋﾟｰ(&Y)"}));
    EXPECT_EQ(find<QAction>(&form, "mnuBar1")->isSeparator(), true);
    EXPECT_EQ(find<QAction>(&form, "mnuBar31")->isSeparator(), true);

    const std::pair<const char*, const char*> hints[] = {{"BtnExeFilter", "検索ﾀｲﾌﾟの実行"}, {"BtnLargeIcon", "大きいアイコン"},
                                                         {"BtnSmallIcon", "小さいアイコン"}, {"BtnListIcon", "リスト"},
                                                         {"BtnReportIcon", "明細"}};
    for (const auto& [name, hint] : hints) EXPECT_EQ(find<QToolButton>(&form, name)->toolTip(), QString::fromUtf8(hint)) << name;
    // The filter button has its own greyed glyph.
    const QIcon filter = find<QToolButton>(&form, "BtnExeFilter")->icon();
    EXPECT_NE(filter.pixmap(16, QIcon::Disabled).toImage(), filter.pixmap(16, QIcon::Normal).toImage());
}

TEST(UiForm1Scaling, TallScreenFactor) {
    const std::pair<int, int> cases[] = {{0, 1}, {600, 1}, {601, 1}, {1080, 1}, {1199, 1}, {1200, 2}, {1799, 2}, {1800, 3}, {2160, 3}};
    for (const auto& [height, k] : cases) EXPECT_EQ(tallScreenFactor(height), k) << height;
}

TEST_F(UiForm1, TallScreensScaleContentsAndWindowOnce) {
    struct Layout {
        QRect drive;
        int pan1Height, pan2Height, fontPixels, treeWidth, cellWidth;
        QSize client;
    };
    const auto measure = [&](int screenHeight) {
        auto form = start(screenHeight);
        const int scrollBar = form->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, find<DrawGrid>(form.get(), "DrawGrid1"));
        const Layout l{find<QWidget>(form.get(), "Drive1")->geometry(),
                       find<QFrame>(form.get(), "Pan1")->height(),
                       find<QFrame>(form.get(), "Pan2")->height() - scrollBar,
                       form->font().pixelSize(),
                       find<QSplitter>(form.get(), "Splitter1")->sizes().value(0),
                       find<DrawGrid>(form.get(), "DrawGrid1")->DefaultColWidth(),
                       form->centralWidget()->size()};
        return l;
    };
    const Layout normal = measure(1080);
    EXPECT_EQ(normal.drive, QRect(7, 4, 114, 18));
    EXPECT_EQ(normal.pan1Height, 26);
    EXPECT_EQ(normal.pan2Height, 32 + 18 + 20);
    EXPECT_EQ(normal.fontPixels, 12);
    EXPECT_EQ(normal.treeWidth, 201);
    EXPECT_EQ(normal.client, QSize(480, 343));
    EXPECT_EQ(normal.cellWidth, 34);

    const Layout tall = measure(1200);
    EXPECT_EQ(tall.drive, QRect(14, 8, 228, 36));
    EXPECT_EQ(tall.pan1Height, 52);
    EXPECT_EQ(tall.pan2Height, 32 + 36 + 20);  // from the doubled status bar
    EXPECT_EQ(tall.fontPixels, 24);
    EXPECT_EQ(tall.treeWidth, 402);
    EXPECT_EQ(tall.client, QSize(960, 686));  // once, not twice
    EXPECT_EQ(tall.cellWidth, 34);           // cells follow the icon size
    EXPECT_EQ(measure(600).client, normal.client);
}

TEST_F(UiForm1, ViewButtonsSwitchWithoutReloading) {
    auto form = start();
    auto* list = find<FileListView>(form.get(), "ListView1");
    list->addRow({"b.exe", 1, -1});
    list->addRow({"a.exe", 3, -1});
    list->selectRow(1);
    EXPECT_TRUE(find<QToolButton>(form.get(), "BtnReportIcon")->isChecked());
    EXPECT_EQ(list->viewStyle(), FileListView::ViewStyle::Report);

    struct Case {
        const char* button;
        FileListView::ViewStyle style;
        int iconSize;
    } cases[] = {{"BtnLargeIcon", FileListView::ViewStyle::Icon, 32},
                 {"BtnSmallIcon", FileListView::ViewStyle::SmallIcon, 16},
                 {"BtnListIcon", FileListView::ViewStyle::List, 16},
                 {"BtnReportIcon", FileListView::ViewStyle::Report, 16}};
    for (const Case& c : cases) {
        auto* button = find<QToolButton>(form.get(), c.button);
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(list->viewStyle(), c.style) << c.button;
        EXPECT_TRUE(button->isChecked());
        EXPECT_EQ(button->group()->checkedButton(), button);
        QAbstractItemView* shown = c.style == FileListView::ViewStyle::Report ? static_cast<QAbstractItemView*>(list->detailsView())
                                                                              : list->listView();
        EXPECT_TRUE(shown->isVisible()) << c.button;
        EXPECT_EQ(shown->iconSize().width(), c.iconSize) << c.button;
        ASSERT_EQ(list->count(), 2);
        EXPECT_EQ(list->row(0).name, "b.exe");
        EXPECT_EQ(list->selectedRow(), 1);
    }
    EXPECT_EQ(list->columnCaption(0), QString::fromUtf8("ﾌｧｲﾙ名"));
    EXPECT_EQ(list->columnCaption(1), QString::fromUtf8("ｱｲｺﾝ数"));
}

TEST_F(UiForm1, FilterMaskFromComboText) {
    TForm1 form(nullptr, 768);
    auto* combo = find<QComboBox>(&form, "ComboBox1");
    const std::pair<const char*, const char*> cases[] = {
        {"ﾌﾟﾛｸﾞﾗﾑ (*.exe)", "*.exe"}, {"DLL (*.DLL)", "*.dll"}, {"すべて (*.*)", "*.*"}, {"*.ICO", "*.ico"},
        {"ABC()", "abc()"}, {"", "*.*"}, {"*.exe;*.DLL", "*.exe;*.dll"}, {"アイコン（全角）(*.Ico)", "*.ico"},
        {"(x", "(x"}, {")(*.a)", "*.a"},
    };
    for (const auto& [text, mask] : cases) {
        combo->setEditText(QString::fromUtf8(text));
        EXPECT_EQ(form.FilterMaskFromText(), mask) << text;
    }
}

TEST_F(UiForm1, ChoosingADirectoryRefreshes) {
    auto form = start();
    auto* combo = find<QComboBox>(form.get(), "ComboBox1");
    auto* tree = find<QTreeDir>(form.get(), "TreeDir1");
    auto* list = find<FileListView>(form.get(), "ListView1");
    auto* grid = find<DrawGrid>(form.get(), "DrawGrid1");

    // Another filter is taken only with the next refresh.
    combo->setCurrentIndex(1);
    EXPECT_EQ(form->FilterMask, "*.exe");
    QTest::mouseClick(find<QToolButton>(form.get(), "BtnExeFilter"), Qt::LeftButton);
    EXPECT_EQ(form->FilterMask, "*.dll");

    // A refresh empties the views and names the directory in the caption.
    list->addRow({"x.dll", 2, 0});
    form->ImageList16.AddIcon(QPixmap(16, 16));
    form->ImageList32A.AddIcon(QPixmap(32, 32));
    grid->setColCount(5);
    form->StripIconCount = 5;
    form->CurrentFile = "x";
    form->setStatusText(1, QStringLiteral("kept"));
    tree->SetPath(dir.file("two"), true);
    EXPECT_EQ(form->CurrentDir, dir.file("two"));
    EXPECT_EQ(form->windowTitle(), QString::fromStdString("Vexil - " + dir.file("two")));
    EXPECT_EQ(list->count(), 0);
    EXPECT_EQ(form->ImageList16.Count(), 0);
    EXPECT_EQ(form->ImageList32A.Count(), 0);
    EXPECT_EQ(grid->ColCount(), 1);
    EXPECT_EQ(form->StripIconCount, 0);
    EXPECT_EQ(form->CurrentFile, "");
    EXPECT_EQ(form->statusText(1), QStringLiteral("kept"));
    EXPECT_EQ(form->FilterMask, "*.dll");

    // A refresh while sorted by name turns the direction to descending.
    list->setSortKind(FileListView::SortKind::Name);
    tree->SetPath(dir.file("one"), true);
    EXPECT_TRUE(form->SortDescending);
    list->setSortKind(FileListView::SortKind::Count);
    tree->SetPath(dir.file("two"), true);
    EXPECT_FALSE(form->SortDescending);
}

TEST_F(UiForm1, DriveSelectorFollowsTheTreeWhenADriveIsRefused) {
    auto form = start();
    auto* drive = find<DriveCombo>(form.get(), "Drive1");
    auto* tree = find<QTreeDir>(form.get(), "TreeDir1");
    const int b = drive->findText(QString::fromStdString(dir.file("b") + " []"));
    const int home = drive->findText(QString::fromStdString(dir.path() + " []"));
    ASSERT_GE(b, 0);
    ASSERT_GE(home, 0);
    const auto pick = [&](int index) {
        drive->setCurrentIndex(index);  // what the drop-down does before it reports the choice
        emit drive->activated(index);
    };

    pick(b);  // an available drive: the tree follows
    EXPECT_EQ(tree->CurrentDrive, dir.file("b"));
    EXPECT_EQ(form->CurrentDir, dir.file("b") + "/");
    pick(home);

    mounts.setMounts({dir.path()});  // b goes away; the selector's list still has it
    pick(b);
    EXPECT_EQ(tree->CurrentDrive, dir.path());
    EXPECT_EQ(drive->currentIndex(), home);
    EXPECT_EQ(drive->Drive(), dir.path());
    pick(b);  // choosing it again tries again
    EXPECT_EQ(drive->currentIndex(), home);
}

TEST_F(UiForm1, HelpersErrorBoxPathsCursorExit) {
    auto form = start();
    fixtures::MessageRecorder recorder;
    form->ShowError("書き込めません");
    ASSERT_EQ(recorder.messages().size(), 1u);
    EXPECT_EQ(recorder.messages()[0].text, "書き込めません");
    EXPECT_EQ(recorder.messages()[0].title, "Vexilｴﾗｰ");
    EXPECT_EQ(recorder.messages()[0].style, 0x30u);

    const std::tuple<const char*, const char*, const char*> paths[] = {
        {"", "a.exe", ""}, {"/", "a.exe", "/a.exe"}, {"/tmp", "a.exe", "/tmp/a.exe"}, {"/tmp/", "a.exe", "/tmp/a.exe"},
        {"/表", "b", "/表/b"}};
    for (const auto& [dirName, file, full] : paths) {
        form->CurrentDir = dirName;
        EXPECT_EQ(form->FilePath(file), full) << dirName;
    }

    QGuiApplication::setOverrideCursor(Qt::CrossCursor);
    {
        TWaitCursor wait;
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);  // the default, not the cross

    find<QAction>(form.get(), "mnuExit")->trigger();
    EXPECT_FALSE(form->isVisible());
}

}  // namespace
