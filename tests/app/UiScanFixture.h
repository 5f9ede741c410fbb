// The main window on a temporary directory that is a drive of its own, with a directory
// "mods" to fill with generated modules whose icons are solid colours, and helpers to read
// the file list and to click on it.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QHeaderView>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/DrawGrid.h"
#include "app/FileListView.h"
#include "app/Unit1.h"
#include "support/ModuleFixtures.h"
#include "treedir/DriveFixtures.h"
#include "treedir/Treedir.h"

namespace scanfixture {

// The colour of icon `group` of the file made with `seed`: opaque and different for
// every file and group the tests use.
inline fixtures::Argb iconColour(int seed, int group) {
    return 0xFF000000u | static_cast<fixtures::Argb>((seed * 37 + 11) % 256) << 16 |
           static_cast<fixtures::Argb>((group * 23 + 5) % 256) << 8 | 0x40u;
}

using fixtures::solidIcon;

inline fixtures::Bytes moduleBytes(int seed, int groups) {
    std::vector<fixtures::ModuleIcon> icons;
    for (int g = 0; g < groups; ++g) icons.push_back(solidIcon(g + 1, iconColour(seed, g)));
    return fixtures::makePe(icons);
}

// Counts the paint events a widget gets while `during` holds (a scan or the strip pending).
struct PaintCounter : QObject {
    PaintCounter(QWidget* widget, std::function<bool()> during) : during_(std::move(during)) { widget->installEventFilter(this); }
    int count = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint && during_()) ++count;
        return false;
    }

private:
    std::function<bool()> during_;
};

class UiScan : public ::testing::Test {
protected:
    UiScan() : mounts(dir, {dir.path()}) {}

    void SetUp() override {
        ASSERT_EQ(mkdir(mods().c_str(), 0755), 0);
        ASSERT_EQ(chdir(dir.path().c_str()), 0);
    }

    std::string mods() const { return dir.file("mods"); }
    std::string mod(const std::string& name) const { return mods() + "/" + name; }

    // A module in mods with `groups` icon groups coloured by `seed`.
    void writeModule(const std::string& name, int seed, int groups) {
        ASSERT_TRUE(fixtures::writeFile(mod(name), moduleBytes(seed, groups))) << name;
    }

    void start() {
        form = std::make_unique<TForm1>(nullptr, 768);
        form->popupMenu = [this](QMenu* menu, QPoint at) { popups.emplace_back(menu, at); };
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        tree = form->findChild<QTreeDir*>(QStringLiteral("TreeDir1"));
        list = form->findChild<FileListView*>(QStringLiteral("ListView1"));
        grid = form->findChild<DrawGrid*>(QStringLiteral("DrawGrid1"));
        ASSERT_TRUE(tree && list && grid);
        settle();
    }

    // Lets the event loop run until the pending scan or strip has ended.
    void settle() { ASSERT_TRUE(QTest::qWaitFor([this] { return !form->busy(); }, 20000)); }

    // Chooses a directory in the tree, which scans it.
    void choose(const std::string& path) {
        tree->SetPath(path, true);
        settle();
    }

    // Lists the chosen directory again (the filter button).
    void rescan() {
        QTest::mouseClick(form->findChild<QToolButton*>(QStringLiteral("BtnExeFilter")), Qt::LeftButton);
        settle();
    }

    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (int i = 0; i < list->count(); ++i) out.push_back(list->row(i).name);
        return out;
    }

    int rowOf(const std::string& name) const {
        for (int i = 0; i < list->count(); ++i)
            if (list->row(i).name == name) return i;
        return -1;
    }

    // A left click on a row of the details view, as the user selects a file.
    void clickRow(int row) {
        QTreeView* view = list->detailsView();
        const QRect r = view->visualRect(view->model()->index(row, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, r.center());
        settle();
    }

    void clickHeader(int column) {
        QHeaderView* header = list->detailsView()->header();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + 10, header->height() / 2));
    }

    fixtures::TempDir dir;
    fixtures::FakeMounts mounts;
    std::unique_ptr<TForm1> form;
    QTreeDir* tree = nullptr;
    FileListView* list = nullptr;
    DrawGrid* grid = nullptr;
    std::vector<std::pair<QMenu*, QPoint>> popups;
};

}  // namespace scanfixture
