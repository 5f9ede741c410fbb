#include <gtest/gtest.h>

#include <QLocale>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "support/ImageFixtures.h"
#include "support/MessageRecorder.h"
#include "treedir/DriveFixtures.h"
#include "treedir/Treedir.h"

namespace {

struct Change {
    QTreeWidgetItem* node;
    std::string currentPath;  // CurrentPath when the event arrived
};

// A drive (a fake mount at a temporary directory) holding:
//   alpha/inner/deeper   Beta/file.txt   __dummy__/x   gone/sub   loop -> .
//   "\xff\xfe-odd"/in    file.bin
class UiTreeDir : public ::testing::Test {
protected:
    UiTreeDir() : mounts(dir, {dir.path(), dir.file("other")}) {}

    void SetUp() override {
        for (const char* d : {"alpha", "alpha/inner", "alpha/inner/deeper", "Beta", "__dummy__", "__dummy__/x", "gone",
                              "gone/sub", "\xff\xfe-odd", "\xff\xfe-odd/in", "other"})
            ASSERT_EQ(mkdir(dir.file(d).c_str(), 0755), 0) << d;
        ASSERT_TRUE(fixtures::writeFile(dir.file("Beta/file.txt"), {1}));
        ASSERT_TRUE(fixtures::writeFile(dir.file("file.bin"), {1}));
        ASSERT_EQ(symlink(".", dir.file("loop").c_str()), 0);

        tree = std::make_unique<QTreeDir>();
        tree->setIndentation(19);
        tree->resize(500, 600);
        QObject::connect(tree.get(), &QTreeDir::OnChange, [this](QTreeWidgetItem* n) { changes.push_back({n, tree->CurrentPath}); });
        tree->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(tree.get()));
        ASSERT_TRUE(tree->SetDrive(dir.path(), true));
        changes.clear();
    }

    QTreeWidgetItem* child(QTreeWidgetItem* parent, const std::string& name) {
        for (int i = 0; i < parent->childCount(); ++i)
            if (QTreeDir::nodeName(parent->child(i)) == name) return parent->child(i);
        return nullptr;
    }
    std::vector<std::string> names(QTreeWidgetItem* parent) {
        std::vector<std::string> out;
        for (int i = 0; i < parent->childCount(); ++i)
            out.push_back(QTreeDir::isPlaceholder(parent->child(i)) ? "<placeholder>" : QTreeDir::nodeName(parent->child(i)));
        return out;
    }
    QPoint textPoint(QTreeWidgetItem* n) {
        const QRect r = tree->visualItemRect(n);
        return QPoint(r.left() + tree->iconSize().width() + 8, r.center().y());
    }
    QPoint buttonPoint(QTreeWidgetItem* n) {
        const QRect r = tree->visualItemRect(n);
        return QPoint(r.left() - tree->indentation() / 2, r.center().y());
    }
    void click(QPoint p) { QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, p); }
    void key(Qt::Key k) { QTest::keyClick(tree.get(), k); }
    std::string root() const { return dir.path() + "/"; }

    fixtures::TempDir dir;
    fixtures::FakeMounts mounts;
    fixtures::MessageRecorder messages;
    std::unique_ptr<QTreeDir> tree;
    std::vector<Change> changes;
};

TEST_F(UiTreeDir, RootListedAtOnceChildrenLazily) {
    QTreeWidgetItem* r = tree->rootNode();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(tree->topLevelItemCount(), 1);
    EXPECT_EQ(QTreeDir::nodeName(r), root());
    EXPECT_TRUE(tree->Initialized);
    EXPECT_EQ(tree->CurrentDrive, dir.path());
    EXPECT_EQ(tree->CurrentPath, root());
    EXPECT_EQ(tree->selectedNode(), r);
    EXPECT_TRUE(r->isExpanded());

    // Directories only (symlinks to directories included); one placeholder where a
    // directory has subdirectories, none where it holds only files.
    EXPECT_EQ(names(r).size(), 7u);
    EXPECT_EQ(names(child(r, "alpha")), std::vector<std::string>{"<placeholder>"});
    EXPECT_TRUE(names(child(r, "Beta")).empty());
    EXPECT_EQ(names(child(r, "__dummy__")), std::vector<std::string>{"<placeholder>"});
    EXPECT_EQ(child(r, "file.bin"), nullptr);

    QTreeWidgetItem* alpha = child(r, "alpha");
    tree->subSetBmp(alpha);
    EXPECT_TRUE(alpha->isExpanded());
    EXPECT_EQ(names(alpha), std::vector<std::string>{"inner"});
    EXPECT_EQ(names(child(alpha, "inner")), std::vector<std::string>{"<placeholder>"});
    tree->subSetBmp(alpha);  // collapsing keeps what was listed
    EXPECT_FALSE(alpha->isExpanded());
    EXPECT_EQ(names(alpha), std::vector<std::string>{"inner"});
    EXPECT_TRUE(changes.empty());
    EXPECT_TRUE(messages.messages().empty());
}

TEST_F(UiTreeDir, SortIsLocaleAwareWithCaseBreakingTies) {
    const std::vector<std::string> dirs = {"zeta", "beta", "alpha2", "Gamma", "_under", "10", "9", "Éclair", "BETA2", "Beta2"};
    fixtures::TempDir sortDir;
    for (const auto& d : dirs) ASSERT_EQ(mkdir(sortDir.file(d).c_str(), 0755), 0);
    mounts.setMounts({dir.path(), sortDir.path()});

    struct Case {
        QLocale locale;
        std::vector<std::string> order;
    } cases[] = {
        {QLocale(QLocale::English, QLocale::UnitedStates),
         {"_under", "10", "9", "alpha2", "beta", "Beta2", "BETA2", "Éclair", "Gamma", "zeta"}},
        {QLocale::c(), {"10", "9", "_under", "alpha2", "beta", "BETA2", "Beta2", "Gamma", "zeta", "Éclair"}},
    };
    const QLocale saved;
    for (const Case& c : cases) {
        QLocale::setDefault(c.locale);
        tree->Initialized = false;  // list the drive again under this locale
        ASSERT_TRUE(tree->SetDrive(sortDir.path(), false));
        EXPECT_EQ(names(tree->rootNode()), c.order) << c.locale.name().toStdString();
    }
    QLocale::setDefault(saved);
}

TEST_F(UiTreeDir, ArrowKeys) {
    QTreeWidgetItem* r = tree->rootNode();
    key(Qt::Key_Up);  // nothing above the root
    EXPECT_TRUE(changes.empty());

    key(Qt::Key_Down);
    QTreeWidgetItem* first = r->child(0);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].node, first);
    EXPECT_EQ(changes[0].currentPath, dir.file(QTreeDir::nodeName(first)));

    // Move to alpha, open it with Right (listing it), Right again does nothing, Left
    // closes, Left again does nothing; the selection stays on alpha throughout.
    QTreeWidgetItem* alpha = child(r, "alpha");
    while (tree->selectedNode() != alpha) key(Qt::Key_Down);
    changes.clear();
    key(Qt::Key_Right);
    EXPECT_TRUE(alpha->isExpanded());
    EXPECT_EQ(names(alpha), std::vector<std::string>{"inner"});
    key(Qt::Key_Right);
    EXPECT_TRUE(alpha->isExpanded());
    key(Qt::Key_Left);
    EXPECT_FALSE(alpha->isExpanded());
    key(Qt::Key_Left);
    EXPECT_FALSE(alpha->isExpanded());
    EXPECT_EQ(tree->selectedNode(), alpha);
    EXPECT_TRUE(changes.empty());
    EXPECT_EQ(tree->CurrentPath, dir.file("alpha"));

    // Down from the last visible node does nothing; other keys are not the tree's.
    QTreeWidgetItem* last = r->child(r->childCount() - 1);
    while (tree->selectedNode() != last) key(Qt::Key_Down);
    changes.clear();
    key(Qt::Key_Down);
    key(Qt::Key_End);
    key(Qt::Key_A);
    EXPECT_TRUE(changes.empty());
    EXPECT_EQ(tree->selectedNode(), last);
}

TEST_F(UiTreeDir, ClicksOnButtonTextAndBeside) {
    QTreeWidgetItem* r = tree->rootNode();
    QTreeWidgetItem* alpha = child(r, "alpha");
    // The expand button opens the node without choosing it.
    click(buttonPoint(alpha));
    EXPECT_TRUE(alpha->isExpanded());
    EXPECT_EQ(names(alpha), std::vector<std::string>{"inner"});
    EXPECT_EQ(tree->selectedNode(), r);
    EXPECT_EQ(tree->CurrentPath, root());
    EXPECT_TRUE(changes.empty());

    // The text chooses it, once.
    QTreeWidgetItem* inner = child(alpha, "inner");
    click(textPoint(inner));
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].node, inner);
    EXPECT_EQ(changes[0].currentPath, dir.file("alpha/inner"));
    click(textPoint(inner));
    EXPECT_EQ(changes.size(), 1u);  // already chosen

    // Beside the text, and in the indentation, nothing happens.
    const QRect rr = tree->visualItemRect(child(r, "Beta"));
    click(QPoint(rr.left() + tree->iconSize().width() + 8 + tree->fontMetrics().horizontalAdvance("Beta") + 30, rr.center().y()));
    click(QPoint(rr.left() - tree->indentation() - 4, rr.center().y()));
    click(buttonPoint(child(r, "Beta")));  // a node without subdirectories has no button
    EXPECT_EQ(changes.size(), 1u);
    EXPECT_EQ(tree->selectedNode(), inner);
    EXPECT_FALSE(child(r, "Beta")->isExpanded());
}

TEST_F(UiTreeDir, DoubleClickChoosesAndToggles) {
    QTreeWidgetItem* dummy = child(tree->rootNode(), "__dummy__");
    const QPoint p = textPoint(dummy);
    click(p);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, p);
    EXPECT_EQ(tree->selectedNode(), dummy);
    EXPECT_EQ(tree->CurrentPath, dir.file("__dummy__"));
    EXPECT_TRUE(dummy->isExpanded());
    EXPECT_EQ(names(dummy), std::vector<std::string>{"x"});
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, p);
    EXPECT_FALSE(dummy->isExpanded());
    EXPECT_EQ(changes.size(), 1u);
}

TEST_F(UiTreeDir, CollapsingAnAncestorMovesTheChoiceWithThePath) {
    tree->SetPath(dir.file("alpha/inner/deeper"), true);
    ASSERT_EQ(tree->CurrentPath, dir.file("alpha/inner/deeper"));
    QTreeWidgetItem* alpha = child(tree->rootNode(), "alpha");
    changes.clear();
    click(buttonPoint(alpha));
    EXPECT_FALSE(alpha->isExpanded());
    EXPECT_FALSE(child(alpha, "inner")->isExpanded());  // everything below collapses too
    EXPECT_EQ(tree->selectedNode(), alpha);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].node, alpha);
    EXPECT_EQ(changes[0].currentPath, dir.file("alpha"));
}

TEST_F(UiTreeDir, SetPathForms) {
    struct Case {
        std::string path;
        bool select;
        std::string currentPath;
        std::string selected;  // path of the selected node afterwards
    } cases[] = {
        {dir.file("alpha/inner"), true, dir.file("alpha/inner"), dir.file("alpha/inner")},
        {dir.file("alpha/inner/"), true, dir.file("alpha/inner"), dir.file("alpha/inner")},
        {dir.file("ALPHA/Inner/DEEPER"), true, dir.file("alpha/inner/deeper"), dir.file("alpha/inner/deeper")},
        {dir.file("__dummy__/x"), true, dir.file("__dummy__/x"), dir.file("__dummy__/x")},
        {dir.file("\xff\xfe-odd/in"), true, dir.file("\xff\xfe-odd/in"), dir.file("\xff\xfe-odd/in")},
        {dir.file("loop/loop/alpha"), true, dir.file("loop/loop/alpha"), dir.file("loop/loop/alpha")},
        {dir.file("Beta"), false, dir.file("Beta"), root()},  // moves the path only
        {dir.path(), true, root(), root()},
        {dir.path() + "/", true, root(), root()},
        {dir.file("alpha/missing"), true, root(), root()},  // stops at the missing one
        {dir.file("alpha//inner"), true, root(), root()},
        {"relative/path", true, root(), root()},
    };
    for (const Case& c : cases) {
        tree->SetPath(dir.path(), true);
        tree->SetPath(c.path, c.select);
        EXPECT_EQ(tree->CurrentPath, c.currentPath) << c.path;
        EXPECT_EQ(tree->fnGetPath(tree->selectedNode()), c.selected) << c.path;
    }
    EXPECT_TRUE(messages.messages().empty());
}

TEST_F(UiTreeDir, RealDirectoryNamedLikeAPlaceholderStays) {
    QTreeWidgetItem* r = tree->rootNode();
    QTreeWidgetItem* dummy = child(r, "__dummy__");
    ASSERT_NE(dummy, nullptr);
    EXPECT_EQ(dummy->text(0), "__dummy__");
    tree->subSetBmp(dummy);
    ASSERT_EQ(names(dummy), std::vector<std::string>{"x"});
    // Its parent closed and opened again: the node and its child are still there.
    tree->SetPath(dir.file("__dummy__/x"), true);
    tree->subSetBmp(child(r, "__dummy__"));
    tree->subSetBmp(child(r, "__dummy__"));
    EXPECT_EQ(names(child(r, "__dummy__")), std::vector<std::string>{"x"});
    // The arrow keys walk onto it.
    tree->subSetBmp(child(r, "__dummy__"));
    tree->SetPath(dir.path(), true);
    for (int i = 0; i < r->childCount() && tree->selectedNode() != child(r, "__dummy__"); ++i) key(Qt::Key_Down);
    EXPECT_EQ(tree->selectedNode(), child(r, "__dummy__"));
    EXPECT_EQ(tree->CurrentPath, dir.file("__dummy__"));
}

TEST_F(UiTreeDir, HostileDirectories) {
    QTreeWidgetItem* r = tree->rootNode();
    // Removed after its parent was listed: the placeholder goes, quietly.
    std::filesystem::remove_all(dir.file("gone"));
    QTreeWidgetItem* gone = child(r, "gone");
    tree->subSetBmp(gone);
    EXPECT_EQ(gone->childCount(), 0);

    // A link to its own directory: each opening lists one level.
    QTreeWidgetItem* loop = child(r, "loop");
    tree->subSetBmp(loop);
    EXPECT_EQ(loop->childCount(), r->childCount() - 1);  // "gone" is gone
    QTreeWidgetItem* loop2 = child(loop, "loop");
    tree->subSetBmp(loop2);
    EXPECT_EQ(tree->fnGetPath(child(loop2, "alpha")), dir.file("loop/loop/alpha"));
    EXPECT_EQ(names(child(loop2, "alpha")), std::vector<std::string>{"<placeholder>"});

    // A name that is not UTF-8 is shown (lossily) and its path keeps the bytes.
    QTreeWidgetItem* odd = child(r, "\xff\xfe-odd");
    ASSERT_NE(odd, nullptr);
    EXPECT_TRUE(odd->text(0).endsWith("-odd"));
    tree->subSetBmp(odd);
    EXPECT_EQ(tree->fnGetPath(child(odd, "in")), dir.file("\xff\xfe-odd/in"));

    if (geteuid() != 0) {  // permissions do not bind the super-user
        ASSERT_EQ(mkdir(dir.file("alpha/inner/deeper/locked").c_str(), 0755), 0);
        ASSERT_EQ(chmod(dir.file("alpha/inner/deeper").c_str(), 0), 0);
        tree->SetPath(dir.file("alpha/inner"), true);
        QTreeWidgetItem* deeper = child(child(child(r, "alpha"), "inner"), "deeper");
        EXPECT_EQ(deeper->childCount(), 0);  // unreadable: no subdirectories known
    }
    EXPECT_TRUE(messages.messages().empty());
}

TEST_F(UiTreeDir, DriveSwitches) {
    QTreeWidgetItem* r = tree->rootNode();
    // The drive shown: only the root is chosen again, nothing is listed again.
    tree->SetPath(dir.file("alpha"), true);
    changes.clear();
    EXPECT_TRUE(tree->SetDrive(dir.path() + "/", true));
    EXPECT_EQ(tree->rootNode(), r);
    EXPECT_EQ(tree->CurrentPath, root());
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].node, r);

    // Another drive: the tree is rebuilt and the process's directory follows.
    changes.clear();
    EXPECT_TRUE(tree->SetDrive(dir.file("other"), true));
    EXPECT_EQ(tree->CurrentDrive, dir.file("other"));
    EXPECT_EQ(QTreeDir::nodeName(tree->rootNode()), dir.file("other") + "/");
    EXPECT_EQ(tree->rootNode()->childCount(), 0);
    EXPECT_EQ(fixtures::currentDir(), dir.file("other"));
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].currentPath, dir.file("other") + "/");

    // A drive that vanished, or never was: false, and nothing changes.
    mounts.setMounts({dir.path()});
    ASSERT_TRUE(tree->SetDrive(dir.path(), true));
    tree->SetPath(dir.file("alpha"), true);
    QTreeWidgetItem* shownRoot = tree->rootNode();
    changes.clear();
    EXPECT_FALSE(tree->SetDrive(dir.file("other"), true));
    EXPECT_FALSE(tree->SetDrive("/no/such/mount", true));
    EXPECT_EQ(tree->rootNode(), shownRoot);
    EXPECT_EQ(tree->CurrentDrive, dir.path());
    EXPECT_EQ(tree->CurrentPath, dir.file("alpha"));
    EXPECT_TRUE(tree->Initialized);
    EXPECT_TRUE(changes.empty());
}

TEST(UiTreeDirPaths, AppendAndGetPath) {
    QTreeDir tree;
    struct Case {
        std::string path;
        std::optional<std::string> name;
        std::string result;
    } cases[] = {
        {"/", "a", "/a"}, {"/mnt/usb/", "a", "/mnt/usb/a"}, {"/a", "b", "/a/b"}, {"/a", ".", ""}, {"/a", "..", ""},
        {"", "a", ""}, {"/a", std::nullopt, "/a"}, {"", std::nullopt, ""}, {"/a", "", "/a"}, {"/a\\", "b", "/a\\/b"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tree.fnAppendPath(c.path, c.name ? std::optional<std::string_view>(*c.name) : std::nullopt), c.result)
            << c.path;

    EXPECT_EQ(tree.fnGetPath(nullptr), "");
}

}  // namespace
