#include <sys/socket.h>
#include <sys/un.h>

#include <QComboBox>
#include <QHeaderView>
#include <QTreeView>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QToolButton>
#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "app/UiScanFixture.h"

namespace {

using scanfixture::iconColour;
using scanfixture::UiScan;

// Lists the directory again with a filter text typed into the combo box.
void rescanWith(TForm1& form, const char* comboText) {
    form.findChild<QComboBox*>(QStringLiteral("ComboBox1"))->setEditText(QString::fromUtf8(comboText));
    QTest::mouseClick(form.findChild<QToolButton*>(QStringLiteral("BtnExeFilter")), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&form] { return !form.busy(); }, 20000));
}

QRgb centre(const QPixmap& p) { return p.toImage().pixel(p.width() / 2, p.height() / 2); }

TEST_F(UiScan, ListsFilesWithIconsTheirCountsAndFirstIcons) {
    writeModule("A.EXE", 1, 3);
    writeModule("B.exe", 2, 1);
    writeModule("C.TXT", 3, 2);        // a module, but not under *.exe
    writeModule(".hidden.exe", 4, 1);  // names starting with "." are never listed
    writeModule("\xff\xfe.exe", 5, 2); // not valid UTF-8: listed and readable all the same
    ASSERT_TRUE(fixtures::writeFile(mod("empty.exe"), {}));
    ASSERT_TRUE(fixtures::writeFile(mod("text.exe"), {'h', 'i', '\n'}));
    ASSERT_TRUE(fixtures::writeFile(mod("notes.txt"), {'h', 'i', '\n'}));
    ASSERT_TRUE(fixtures::writeFile(mod("one.ico"), fixtures::makeIco({{fixtures::patternDib(32, 8)}})));
    ASSERT_TRUE(fixtures::writeFile(mod("old.exe"), fixtures::makeNe({fixtures::patternIcon(fixtures::resId(1)),
                                                                      fixtures::patternIcon(fixtures::resId(2))})));
    ASSERT_EQ(mkdir(mod("dir.exe").c_str(), 0755), 0);
    ASSERT_EQ(mkfifo(mod("pipe.exe").c_str(), 0644), 0);  // opening it would hang the scan
    ASSERT_EQ(symlink("A.EXE", mod("link.exe").c_str()), 0);
    ASSERT_EQ(symlink("missing", mod("broken.exe").c_str()), 0);
    {
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const std::string path = mod("sock.exe");
        ASSERT_LT(path.size(), sizeof addr.sun_path);
        std::copy(path.begin(), path.end(), addr.sun_path);
        ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr), 0);
        close(fd);
    }
    start();
    choose(mods());
    EXPECT_EQ(form->CurrentDir, mods());
    EXPECT_EQ(form->windowTitle(), QString::fromStdString("Vexil - " + mods()));

    struct Case {
        const char* comboText;
        std::map<std::string, int> rows;  // name -> icon count
    } cases[] = {
        {"ﾌﾟﾛｸﾞﾗﾑ (*.exe)", {{"A.EXE", 3}, {"B.exe", 1}, {"\xff\xfe.exe", 2}, {"old.exe", 2}, {"link.exe", 3}}},
        {"すべて (*.*)",
         {{"A.EXE", 3}, {"B.exe", 1}, {"C.TXT", 2}, {"\xff\xfe.exe", 2}, {"old.exe", 2}, {"link.exe", 3}, {"one.ico", 1}}},
        {"", {{"A.EXE", 3}, {"B.exe", 1}, {"C.TXT", 2}, {"\xff\xfe.exe", 2}, {"old.exe", 2}, {"link.exe", 3}, {"one.ico", 1}}},
        {"*.ICO", {{"one.ico", 1}}},
        {"b*", {{"B.exe", 1}}},
        {"DLL (*.DLL)", {}},
    };
    for (const Case& c : cases) {
        rescanWith(*form, c.comboText);
        std::map<std::string, int> rows;
        std::set<int> images;
        for (int i = 0; i < list->count(); ++i) {
            const FileListView::Row r = list->row(i);
            rows[r.name] = r.iconCount;
            images.insert(r.imageIndex);
        }
        EXPECT_EQ(rows, c.rows) << c.comboText;
        // One image of each size per row, every row its own.
        EXPECT_EQ(form->ImageList32.Count(), list->count()) << c.comboText;
        EXPECT_EQ(form->ImageList16.Count(), list->count()) << c.comboText;
        EXPECT_EQ(images.size(), rows.size()) << c.comboText;
        EXPECT_TRUE(form->statusText(1).isEmpty()) << c.comboText;
    }

    // Each row shows its own file's first icon, at both sizes.
    rescanWith(*form, "*.exe");
    const std::pair<const char*, int> firstIcons[] = {{"A.EXE", 1}, {"B.exe", 2}, {"\xff\xfe.exe", 5}, {"link.exe", 1}};
    for (const auto& [name, seed] : firstIcons) {
        const int row = rowOf(name);
        ASSERT_GE(row, 0) << name;
        const int image = list->row(row).imageIndex;
        EXPECT_EQ(centre(form->ImageList32.Image(image)), iconColour(seed, 0)) << name;
        EXPECT_EQ(centre(form->ImageList16.Image(image)), iconColour(seed, 0)) << name;
        EXPECT_EQ(form->ImageList16.Image(image).size(), QSize(16, 16));
    }
    // The file whose name is not text opens by its own bytes.
    clickRow(rowOf("\xff\xfe.exe"));
    EXPECT_EQ(form->CurrentFile, mod("\xff\xfe.exe"));
    EXPECT_EQ(form->ImageList32A.Count(), 2);
    EXPECT_EQ(form->statusText(1), QString::fromLocal8Bit("\xff\xfe.exe"));
}

// The expected order of names: bytes compared as unsigned, a prefix first.
std::vector<std::string> byteOrder(std::vector<std::string> names, bool descending) {
    std::sort(names.begin(), names.end());
    if (descending) std::reverse(names.begin(), names.end());
    return names;
}

TEST_F(UiScan, HeaderClicksSortAndRefreshesKeepTheSortKind) {
    // Names that tell bytewise order from case-insensitive or locale order: capitals before
    // small letters, a prefix before its longer name, half-width katakana after ASCII.
    const std::pair<const char*, int> files[] = {{"b.exe", 2}, {"A.EXE", 3}, {"a.exe", 1}, {"a.exe.exe", 2},
                                                 {"ｱ.exe", 2}, {"Z.exe", 1}, {"_.exe", 3}};
    std::vector<std::string> all;
    for (const auto& [name, count] : files) {
        writeModule(name, static_cast<int>(all.size()), count);
        all.push_back(name);
    }
    ASSERT_EQ(mkdir(dir.file("other").c_str(), 0755), 0);
    std::vector<std::string> other;
    for (int i = 0; i < 40; ++i) {
        other.push_back("f" + std::to_string((i * 17) % 40) + ".exe");
        ASSERT_TRUE(fixtures::writeFile(dir.file("other/" + other.back()), scanfixture::moduleBytes(i, 1)));
    }
    start();
    choose(mods());
    ASSERT_EQ(list->count(), 7);
    // Unsorted, the rows come in directory order: by name, ASCII letters folded, equal
    // names so by bytes.
    const std::vector<std::string> directoryOrder = {"A.EXE", "a.exe", "a.exe.exe", "b.exe", "Z.exe", "_.exe", "ｱ.exe"};
    EXPECT_EQ(names(), directoryOrder);
    const auto counts = [&] {
        std::vector<int> out;
        for (int i = 0; i < list->count(); ++i) out.push_back(list->row(i).iconCount);
        return out;
    };
    // The header's sort arrow: the column and the way the rows run, or none (-1).
    const auto arrow = [&] {
        const QHeaderView* header = list->detailsView()->header();
        const int section = header->sortIndicatorSection();
        return section < 0 || section > 1 ? std::make_pair(-1, Qt::AscendingOrder) : std::make_pair(section, header->sortIndicatorOrder());
    };
    EXPECT_EQ(arrow().first, -1);

    clickHeader(0);  // the first click after start sorts descending
    EXPECT_EQ(names(), byteOrder(all, true));
    EXPECT_TRUE(form->SortDescending);
    EXPECT_EQ(arrow(), std::make_pair(0, Qt::DescendingOrder));
    clickHeader(0);
    EXPECT_EQ(names(), byteOrder(all, false));
    EXPECT_EQ(arrow(), std::make_pair(0, Qt::AscendingOrder));

    // By count, descending: equal counts keep the order the list had (ascending names).
    clickHeader(1);
    EXPECT_EQ(list->sortKind(), FileListView::SortKind::Count);
    EXPECT_EQ(names(), (std::vector<std::string>{"A.EXE", "_.exe", "a.exe.exe", "b.exe", "ｱ.exe", "Z.exe", "a.exe"}));
    clickHeader(1);
    EXPECT_EQ(counts(), (std::vector<int>{1, 1, 2, 2, 2, 3, 3}));
    EXPECT_EQ(arrow(), std::make_pair(1, Qt::AscendingOrder));

    // A refresh while sorted by count lists in directory order and turns the direction to
    // ascending, so the next click sorts descending.
    rescan();
    EXPECT_FALSE(form->SortDescending);
    EXPECT_EQ(list->sortKind(), FileListView::SortKind::Count);
    EXPECT_EQ(names(), directoryOrder);
    EXPECT_EQ(arrow().first, -1);  // appended unsorted
    clickHeader(1);
    EXPECT_EQ(counts(), (std::vector<int>{3, 3, 2, 2, 2, 1, 1}));
    EXPECT_EQ(arrow(), std::make_pair(1, Qt::DescendingOrder));

    // The direction turns over whichever column is clicked: after a descending sort by
    // count, the name column sorts ascending. A refresh then lists the rows by name
    // descending, also for another directory.
    clickHeader(0);
    ASSERT_EQ(names(), byteOrder(all, false));
    rescan();
    EXPECT_TRUE(form->SortDescending);
    EXPECT_EQ(names(), byteOrder(all, true));
    EXPECT_EQ(arrow(), std::make_pair(0, Qt::DescendingOrder));
    choose(dir.file("other"));
    EXPECT_EQ(names(), byteOrder(other, true));
    // Each row still shows its own icon after being inserted mid-list.
    for (int i = 0; i < list->count(); ++i) {
        const int seed = static_cast<int>(std::find(other.begin(), other.end(), list->row(i).name) - other.begin());
        EXPECT_EQ(centre(form->ImageList32.Image(list->row(i).imageIndex)), iconColour(seed, 0)) << i;
    }
}

// Posts a key press to the list as the window system would deliver it.
void postKey(QWidget* target, Qt::Key key) {
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
}

TEST_F(UiScan, EscStopsTheScanAndOtherInputWaitsOut) {
    for (int i = 0; i < 30; ++i) writeModule("m" + std::to_string(i) + ".exe", i, 1);
    start();
    QWidget* listViewport = list->detailsView()->viewport();
    QHeaderView* header = list->detailsView()->header();
    bool scanTextShown = false;
    QObject::connect(form.get(), &TForm1::FileEntryAdded, [&](int rowCount) {
        scanTextShown = form->statusText(1) == QString::fromUtf8(TForm1::kScanningText);
        if (rowCount == 2) {
            // A header click and an arrow key during the scan must not reach the list.
            const QPoint at(header->sectionViewportPosition(1) + 10, header->height() / 2);
            for (QEvent::Type t : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
                QCoreApplication::postEvent(header->viewport(), new QMouseEvent(t, at, header->viewport()->mapToGlobal(at),
                                                                               Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
            postKey(list->detailsView(), Qt::Key_Down);
            QTest::qSleep(PacedWork::kMaxSliceMs + 10);
        }
        if (rowCount == 6) {
            postKey(list->detailsView(), Qt::Key_Escape);
            QTest::qSleep(PacedWork::kMaxSliceMs + 10);  // events are handled before the next entry
        }
    });
    scanfixture::PaintCounter painted(listViewport, [this] { return form->scanning(); });

    choose(mods());
    EXPECT_EQ(list->count(), 6);  // the rows listed before ESC stay
    EXPECT_EQ(form->ImageList32.Count(), 6);
    EXPECT_TRUE(scanTextShown);
    EXPECT_TRUE(form->statusText(1).isEmpty());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_GT(painted.count, 0);  // the list was repainted while the scan ran
    EXPECT_EQ(list->sortKind(), FileListView::SortKind::None);
    EXPECT_FALSE(form->SortDescending);
    EXPECT_EQ(list->selectedRow(), -1);
    EXPECT_FALSE(form->scanning());

    // Once the scan is over, input reaches the controls again.
    list->detailsView()->setFocus();
    QTest::keyClick(list->detailsView(), Qt::Key_Down);
    EXPECT_GE(list->selectedRow(), 0);
    settle();  // the strip of the selected file
    clickHeader(1);
    EXPECT_EQ(list->sortKind(), FileListView::SortKind::Count);
}

TEST_F(UiScan, EscWaitingWhenTheScanStartsListsNothing) {
    writeModule("a.exe", 1, 1);
    start();
    postKey(list->detailsView(), Qt::Key_Escape);
    choose(mods());
    EXPECT_EQ(list->count(), 0);
    EXPECT_EQ(form->windowTitle(), QString::fromStdString("Vexil - " + mods()));
}

TEST_F(UiScan, ChoosingAnotherDirectoryOrClosingDuringTheScan) {
    for (int i = 0; i < 20; ++i) writeModule("m" + std::to_string(i) + ".exe", i, 1);
    ASSERT_EQ(mkdir(dir.file("few").c_str(), 0755), 0);
    ASSERT_TRUE(fixtures::writeFile(dir.file("few/x.exe"), scanfixture::moduleBytes(9, 4)));
    start();
    // A new directory chosen while a scan runs replaces that scan.
    auto once = QObject::connect(form.get(), &TForm1::FileEntryAdded, [&](int rowCount) {
        if (rowCount == 3) choose(dir.file("few"));
    });
    choose(mods());
    QObject::disconnect(once);
    EXPECT_EQ(form->CurrentDir, dir.file("few"));
    EXPECT_EQ(names(), (std::vector<std::string>{"x.exe"}));
    EXPECT_EQ(list->row(0).iconCount, 4);

    // Closing the window stops the scan, and the window goes at once.
    QObject::connect(form.get(), &TForm1::FileEntryAdded, [&](int rowCount) {
        if (rowCount == 4) form->close();
    });
    choose(mods());
    EXPECT_EQ(list->count(), 4);
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->scanning());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

}  // namespace
