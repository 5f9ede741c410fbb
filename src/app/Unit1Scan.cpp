// TForm1: the file scan and the file list. A scan lists the files of CurrentDir that
// match FilterMask and hold at least one icon, one row each with the file's first icon
// and its number of icons; the column headers sort the rows by name or by icon count.
//
// The files are read ahead by a thread of their own and by the window's thread while it
// would wait (iconmod::ScanReadAhead); their rows are added on the window's thread as paced
// work, in slices between which the window repaints and ESC is read; every other key and
// mouse event is dropped until the scan ends.
#include <QComboBox>
#include <QLabel>
#include <fcntl.h>
#include <new>

#include "app/Unit1.h"
#include "platform/DirEnum.h"
#include "platform/MbText.h"
#include "ui_Unit1.h"

const char* const TForm1::kScanningText = "検索中 キャンセル : ESC キー";

namespace {

// A listed file carries at least one of these attribute bits: read-only, system, archive,
// normal, compressed.
constexpr std::uint32_t kListableAttributes = 0x8A5;

QString fromBytes(const std::string& s) { return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

void TForm1::TreeDir1Change(QTreeWidgetItem*) {
    FilterMask = FilterMaskFromText();
    RefreshFileList();
}

void TForm1::BtnExeFilterClick() {
    FilterMask = FilterMaskFromText();
    RefreshFileList();
}

// The mask the filter combo's text stands for: the text between the parentheses
// ("ﾌﾟﾛｸﾞﾗﾑ (*.exe)" gives *.exe), else the whole text, lower-cased; "*.*" when empty.
// A later "(" moves the start of the mask while the count of bytes goes on from the first.
std::string TForm1::FilterMaskFromText() const {
    const std::string text = ui->ComboBox1->currentText().toStdString();
    if (text.empty()) return kEveryFile;
    std::string result = text;
    std::size_t open = 0;  // position of the latest "(", counted from 1
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char b = text[i];
        if (open > 0 && b == ')') {
            if (count > 0) result = text.substr(open, count);
            break;
        }
        if (b == '(') open = i + 1;
        else if (open > 0) ++count;
    }
    return platform::asciiLower(result);
}

void TForm1::ClearViews() {
    scanWork_.stop();
    stripWork_.stop();
    ReleaseIcons(true);
    ui->ListView1->clear();
    if (ui->DrawGrid1->ColCount() > 1) ui->DrawGrid1->setColCount(1);
    ui->DrawGrid1->viewport()->update();
    StripIconCount = 0;
    CurrentFile.clear();
    followStripLater();
}

// Always lists afresh; a scan still pending is stopped first.
void TForm1::RefreshFileList() {
    ClearViews();
    CurrentDir = ui->TreeDir1->CurrentPath;
    setWindowTitle(QString::fromUtf8(kCaptionPrefix) + fromBytes(CurrentDir));
    SortDescending = ui->ListView1->sortKind() == FileListView::SortKind::Name;
    showSortIndicator();
    ScanDirectory();
}

std::string TForm1::SearchPath() const { return platform::joinPath(CurrentDir, FilterMask); }

bool TForm1::qualifiesForScan(std::uint32_t attributes, const std::string& name) {
    return (attributes & kListableAttributes) != 0 && (attributes & platform::attr::Directory) == 0 &&
           (attributes & platform::attr::Hidden) == 0 && !name.empty() && name.front() != '.';
}

// Starts the listing of CurrentDir: nothing when the directory cannot be searched or
// nothing matches; otherwise the status bar shows the ESC hint and the files, read
// ahead, are added one step each, from the event loop, until the last one or ESC.
void TForm1::ScanDirectory() {
    scanWork_.stop();
    auto search = platform::DirEnum::start(SearchPath());
    if (!search) return;
    setStatusText(0, QString());
    setStatusText(1, QString::fromUtf8(kScanningText));
    statusPanels_[1]->repaint();

    scanReader_ = std::make_unique<iconmod::ScanReadAhead>(
        std::move(search), [sizes = scanSizes()](int directoryFd, const platform::DirEntry& entry) -> std::optional<iconmod::ScannedFile> {
            if (!qualifiesForScan(entry.attributes, entry.name)) return std::nullopt;
            return iconmod::readScannedFile(directoryFd, entry.name, sizes);
        });
    scanCursor_.emplace();
    scanWork_.start([this] { return scanStep(); }, [this](PacedWork::End how) {
        scanReader_.reset();
        setStatusText(1, QString());
        scanCursor_.reset();
        if (how == PacedWork::End::Done) selectPendingRow();
    });
}

// One file read. It is taken from the reader before its row is added, so a handler of
// FileEntryAdded may start another scan (or close the window) without this step touching
// the new one.
bool TForm1::scanStep() {
    const std::optional<iconmod::ScannedFile> file = scanReader_->take();
    if (!file) return false;
    try {
        addScannedFile(*file);
    } catch (const std::bad_alloc&) {
        // A file whose icons do not fit in memory is left out, as one that cannot be read.
    }
    return true;
}

iconmod::ScanSizes TForm1::scanSizes() const {
    return {kIconSize, ImageList32.DeviceSize(), kIconSize / 2, ImageList16.DeviceSize()};
}

// One open of the file gives its icon count and its first icon at both sizes.
void TForm1::AddFileEntry(const std::string& fileName) {
    auto file = iconmod::readScannedFile(AT_FDCWD, FilePath(fileName), scanSizes());
    if (!file) return;
    file->name = fileName;
    addScannedFile(*file);
}

// The two image lists take the icon together or not at all.
void TForm1::addScannedFile(const iconmod::ScannedFile& file) {
    const int smallIndex = ImageList16.AddIcon(file.small, file.smallDevice);
    if (smallIndex < 0) return;
    const int largeIndex = ImageList32.AddIcon(file.large, file.largeDevice);
    if (largeIndex < 0) {
        ImageList16.Delete(smallIndex);
        return;
    }

    const FileListView::Row row{file.name, file.iconCount, largeIndex};
    FileListView* list = ui->ListView1;
    if (list->sortKind() == FileListView::SortKind::Name)
        list->insertSorted(row, [this](const FileListView::Row& a, const FileListView::Row& b) { return ListView1Compare(a, b); });
    else
        list->addRow(row);
    emit FileEntryAdded(list->count());
}

// Every click turns the direction over, whichever column it is on, and sorts the whole
// list by that column.
void TForm1::ListView1ColumnClick(int column) {
    FileListView* list = ui->ListView1;
    SortDescending = !SortDescending;
    list->setSortKind(FileListView::SortKind::None);
    const bool byCount = list->columnCaption(column) == QString::fromUtf8(FileListView::kCountCaption);
    list->setSortKind(byCount ? FileListView::SortKind::Count : FileListView::SortKind::Name);
    list->sortRows([this](const FileListView::Row& a, const FileListView::Row& b) { return ListView1Compare(a, b); });
    showSortIndicator();
}

// Rows sorted by name stay in order through a refresh (each is inserted at its place); rows
// sorted by count are appended unsorted until the next click, so they show no arrow.
void TForm1::showSortIndicator() {
    FileListView* list = ui->ListView1;
    const FileListView::SortKind kind = list->sortKind();
    const bool sorted = kind == FileListView::SortKind::Name || (kind == FileListView::SortKind::Count && list->count() > 0);
    list->showSortIndicator(sorted ? (kind == FileListView::SortKind::Name ? 0 : 1) : -1, SortDescending);
}

// Names compare as unsigned bytes (no case folding, no locale), a prefix before the longer
// name; counts as numbers. SortDescending false puts the smaller first.
int TForm1::ListView1Compare(const FileListView::Row& item1, const FileListView::Row& item2) const {
    const int s = SortDescending ? 1 : -1;
    int order = 0;
    if (ui->ListView1->sortKind() == FileListView::SortKind::Name)
        order = item1.name.compare(item2.name);  // char_traits<char> compares as unsigned char
    else
        order = (item1.iconCount > item2.iconCount) - (item1.iconCount < item2.iconCount);
    return order < 0 ? s : order > 0 ? -s : 0;
}
