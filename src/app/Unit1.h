// The main window: the drive selector and the filter row at the top, the directory tree
// beside the file list, the icon strip and the status bar below, the menus. It holds the
// window's state fields and the four image lists; the work of listing files, filling the
// strip and saving is done by the handlers named after their control and event.
#pragma once

#include <QMainWindow>
#include <QPoint>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/FileListView.h"
#include "qtshared/ImageList.h"
#include "app/PacedWork.h"
#include "iconmod/ScanReadAhead.h"
#include "qtshared/SaveFileDialog.h"

namespace Ui {
class TForm1;
}
namespace formats {
class OpenedFile;
}
namespace platform {
class PrivateFolder;
}
class QAction;
class DetailsWindow;
class QLabel;
class QMenu;
class QMimeData;
class QTreeWidgetItem;
class QTimer;

// Shows the hourglass while it lives; on its end the cursor is the default one again
// (not whatever was showing before).
class TWaitCursor {
public:
    TWaitCursor();
    ~TWaitCursor();
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;
};

class TForm1 : public QMainWindow {
    Q_OBJECT

public:
    // The window's own texts.
    static const char* const kCaption;        // "Vexil - アイコン抽出"
    static const char* const kCaptionPrefix;  // "Vexil - "
    static const char* const kErrorTitle;     // "Vexilｴﾗｰ"
    static const char* const kFilterItems[3];
    static const char* const kEveryFile;      // "*.*"
    static constexpr int kDesignWidth = 480;  // client area as designed
    static constexpr int kDesignHeight = 343;
    static constexpr int kTreeWidth = 201;
    static constexpr int kIconSize = 32;      // large icons; the small ones are 16

    // screenHeight 0: the height of the screen the window opens on.
    explicit TForm1(QWidget* parent = nullptr, int screenHeight = 0);
    ~TForm1() override;

    // State.
    bool SortDescending = false;
    std::string CurrentDir;
    std::string FilterMask = "*.exe";
    int StripIconCount = 0;
    std::string CurrentFile;

    // Icons of the listed files (small, large) and of the strip's icons.
    ImageList ImageList16{16};
    ImageList ImageList32{32};
    ImageList ImageList16A{16};
    ImageList ImageList32A{32};

    // The factor the window was enlarged by at start (1 on screens up to 1199 pixels high).
    int scaleFactor() const { return scale_; }

    // The error box ("ｴﾗｰ", OK, exclamation); any window of the program shows it so.
    static void ShowError(const std::string& text);
    std::string FilePath(const std::string& fileName) const;
    void ReleaseIcons(bool all);
    std::string FilterMaskFromText() const;
    void RefreshFileList();
    void ClearViews();

    QString statusText(int panel) const;
    void setStatusText(int panel, const QString& text);

    // ---- Saving, copying, the icon save dialog and the About box (Unit1Save.cpp) ----
    static const char* const kSaveFilter;     // the standard save's file types
    static const char* const kSaveTitle32;    // "通常ｱｲｺﾝ(ﾋﾞｯﾄﾏｯﾌﾟ)でﾌｧｲﾙに保存"
    static const char* const kSaveTitle16;    // "小さいｱｲｺﾝ(ﾋﾞｯﾄﾏｯﾌﾟ)でﾌｧｲﾙに保存"
    static const char* const kSaveFailed;     // "保存中エラー発生"
    static const char* const kCopyFailed;     // "クリップボードのコピーに失敗しました"
    static const char* const kReopenFailed;   // the three lines shown when the icon save dialog cannot open the file
    static const char* const kReopenTitle;    // "Vexil ｴﾗｰ"

    // Kept for the life of the window: offers the last name and file type again.
    SaveDialog SaveDlg1;

    // Writes strip icon `column` at 32 or 16 pixels as .ico (16 colours), .bmp or .jpg.
    void SaveIconFile(int size, int column);
    // Puts the strip's current icon at 32 or 16 pixels, drawn over white, on the clipboard.
    void CopyIconBitmap(int size);
    // Opens the icon save dialog on CurrentFile with the strip's current icon's group.
    void OpenIconSaveDialog();
    // True when the strip shows icons and its current column is one of them.
    bool stripHasSelection() const;

    // ---- Icon sets for desktop entries (Unit1IconSet.cpp) ----
    static const char* const kIconSetLoadFailed;  // "ﾘｿｰｽの再ﾛｰﾄﾞに失敗しました"
    // Asks for a folder and a name and writes the strip's current icon as a hicolor icon set.
    void MakeIconSet();
    // ---- Opening on a path given at start (Unit1Open.cpp) ----
    static const char* const kPathNotFound;  // "\nが見つかりません", after the path
    static const char* const kPathNoIcon;    // "\nにはｱｲｺﾝがありません", after the path
    // Opens the window on `path` (relative to the current directory): a directory as if it
    // were clicked in the tree; a file's directory with the filter that lists it, then its
    // row selected once the listing ends. A missing path or a file without icons opens the
    // directory that holds it, if any, and says so.
    void openPath(const std::string& path);
    // File, Open: Qt's own dialog on the listed folder; a file chosen, or the folder shown
    // (its extra button), opens as `vexil PATH` does.
    void mnuOpenClick();

    // ---- PNG with transparency (Unit1Png.cpp) ----
    static const char* const kSavePngTitle;    // the PNG save's dialog title
    static const char* const kPngTypeFormat;   // a file type of that dialog: "PNG %dx%d (*.png)"
    static const std::vector<int> kPngSizes;   // offered besides the sizes a group holds

    // Kept for the life of the window, as SaveDlg1: offers the last name again.
    SaveDialog SavePngDlg;
    // The path a PNG save writes for the name chosen in its dialog, by the rule of
    // CheckPngSaveName: nothing when the name is not a PNG's (its box shown) or the user
    // declined to replace the file.
    static std::optional<std::string> pngSavePath(const std::string& chosenName);

    // Writes the group of strip icon `column` as a PNG at a size the user chooses among the
    // sizes it holds and the standard ones below its largest (default the largest).
    void SavePngFile(int column);
    // Puts the strip's current icon at 32 pixels with its transparency on the clipboard as
    // image/png, and nothing else.
    void CopyIconPng();

    // ---- Dragging out (Unit1Drag.cpp) ----
    // What a drag of strip cell `col` offers: its group's PNG as `extract --format png` writes
    // it, written as a file into the window's drag folder (text/uri-list), as image/png and
    // as Qt's image type; nullptr when the cell shows no icon or the picture cannot be made.
    QMimeData* stripDragData(int col);
    // The folder the dragged pictures are written to, removed with the window.
    const std::string& dragFolderPath() const;

    // ---- Saving every icon of the file (Unit1SaveAll.cpp) ----
    // File, save all icons: a folder and a format asked for, then every group of CurrentFile
    // written there as `vexil-cli extract` writes it, with a progress dialog and one message.
    void SaveAllIcons();
    // That message: how many were written, kept and failed (named), and whether ESC stopped it.
    static QString saveAllMessage(int written, int kept, const QStringList& failed, bool stopped);

protected:
    void closeEvent(QCloseEvent* event) override;
    // Files or folders dropped on the window: the first local one opens as `vexil PATH`
    // does, once no listing or strip fill is under way.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void FormCreate(int screenHeight);
    void connectHandlers();

    void Drive1Change();
    void TreeDir1Change(QTreeWidgetItem* node);
    void BtnExeFilterClick();
    void BtnLargeIconClick();
    void BtnSmallIconClick();
    void BtnListIconClick();
    void BtnReportIconClick();
    void ListView1SelectItem(int row, bool selected);
    void ListView1ColumnClick(int column);
    void DrawGrid1DrawCell(QPainter* painter, int col, const QRect& rect, bool selected);
    void DrawGrid1SelectCell(int col, bool* canSelect);
    void DrawGrid1MouseUp(Qt::MouseButton button, QPoint pos);
    void mnuFileClick();
    void mnuEditClick();
    void mnuSaveIconClick();
    void mnuSaveIcon32Click();
    void mnuSaveIcon16Click();
    void mnuCopyBmp32Click();
    void mnuCopyBmp16Click();
    void mnuAboutClick();
    void mnuPopupSaveIconClick();
    void mnuPopSaveIcon32Click();
    void mnuPopSaveIcon16Click();
    void mnuPopCopyBmp32Click();
    void mnuPopCopyBmp16Click();
    void mnuExitClick();
    void mnuIconSetClick();
    // File, ｶｰｿﾙﾃｰﾏの作成: the entry appended to the File menu, and the dialog it opens.
    void addCursorThemeMenu();
    void mnuCursorThemeClick();
    void mnuSavePngClick();
    void mnuCopyPngClick();
    void FormDestroy();
    // Accessible names and descriptions of the window's parts.
    void nameForScreenReaders();
    // Window shortcuts, kept off the menu entries: Ctrl+C, Ctrl+Shift+C, Ctrl+S, F5, Ctrl+Q.
    void createShortcuts();
    void copyShortcut();
    // The file list's header shows the order the rows are in (none while unsorted).
    void showSortIndicator();

    std::unique_ptr<Ui::TForm1> ui;
    QLabel* statusPanels_[2] = {nullptr, nullptr};
    int scale_ = 1;

    // ---- File scan, file list and icon strip ----
public:
    static const char* const kScanningText;        // "検索中 キャンセル : ESC キー"
    static const char* const kFirstPositionFormat;  // "1 / %d"
    static const char* const kPositionFormat;       // "%d / %d"

    std::string SearchPath() const;
    void ScanDirectory();
    void AddFileEntry(const std::string& fileName);
    // Order of two rows for the current sort kind and direction: <0 puts item1 first.
    int ListView1Compare(const FileListView::Row& item1, const FileListView::Row& item2) const;

    // A scan or the filling of the strip is pending: it goes on from the event loop, and
    // user input other than ESC is dropped until it ends.
    bool scanning() const { return scanWork_.running(); }
    bool fillingStrip() const { return stripWork_.running(); }
    bool busy() const { return scanning() || fillingStrip(); }

    // Opens the strip's pop-up menu at a screen position. The default pops the menu up;
    // tests put a recorder here so that no menu blocks them.
    static void popupAt(QMenu* menu, QPoint globalPos);
    std::function<void(QMenu* menu, QPoint globalPos)> popupMenu = &TForm1::popupAt;
    // The Menu key or Shift+F10 on the strip: its pop-up menu over the current cell.
    void DrawGrid1MenuRequested();
    // What a screen reader says for strip cell col: its group's name and its images' sizes
    // (read from the file when asked), or (description) "ｱｲｺﾝ 2 / 5".
    QString stripCellText(int col, bool description) const;

signals:
    // A scan added a row; rowCount is the number of rows now listed.
    void FileEntryAdded(int rowCount);

private:
    static bool qualifiesForScan(std::uint32_t attributes, const std::string& name);
    static std::optional<formats::ArgbImage> devicePictureOf(formats::OpenedFile& file, int index, const ImageList& list);
    iconmod::ScanSizes scanSizes() const;
    void addScannedFile(const iconmod::ScannedFile& file);
    bool scanStep();
    bool stripStep();

    void selectPendingRow();
    // A mount or unmount: the drive box is read again once no scan, strip fill, dialog or
    // menu is pending, so no command reads a list that changed under it. When the drive the
    // tree shows is gone, the tree moves to "/" as if the user had chosen it.
    void drivesChanged();
    void applyDriveChange();
    bool drivesPending_ = false;
    QTimer* drivesRetry_ = nullptr;
    std::string pendingDir_;   // the directory whose listing selects pendingFile_
    std::string pendingFile_;
    std::optional<std::string> droppedPath_;  // a drop waiting for the window to be idle
    void applyDrop();

    PacedWork scanWork_;
    std::unique_ptr<iconmod::ScanReadAhead> scanReader_;  // the pending scan's reading of its directory
    std::optional<TWaitCursor> scanCursor_;
    PacedWork stripWork_;
    std::unique_ptr<formats::OpenedFile> stripFile_;  // the file whose icons the strip is taking

    void setUpDragOut();
    void DrawGrid1DragRequested(int col);
    std::unique_ptr<platform::PrivateFolder> dragFolder_;

    void setUpSaveAll();
    QAction* mnuSaveAll_ = nullptr;
    int saveAllFormat_ = 0;  // the format chosen last: 0 .ico, 1 .png
    // ---- The icon's details window (Unit1Details.cpp) ----
public:
    // Opens (or raises) the details window on the strip's current icon.
    void openDetails();
    DetailsWindow* detailsWindow() const { return details_; }

private:
    void setUpDetails();
    // The details window shows the strip's current icon once no scan, strip fill or modal
    // dialog is under way; until then it stays as it is.
    void followStripLater();
    void followStrip();
    DetailsWindow* details_ = nullptr;
    QTimer* detailsFollow_ = nullptr;
};
