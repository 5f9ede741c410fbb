// TForm1: start-up, layout, state, menus, the view-style buttons and the step from a
// chosen directory to the file list.
#include "app/Unit1.h"
#include "app/WindowTexts.h"
#include "app/DetailsWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QShortcut>
#include <QListView>
#include <QStatusBar>
#include <QTreeView>
#include <QTimer>

#include "qtshared/Glyphs.h"
#include "qtshared/Looks.h"
#include "qtshared/Scaling.h"
#include "platform/DirEnum.h"
#include "platform/IconExtract.h"
#include "platform/MbText.h"
#include "platform/MessageBox.h"
#include "platform/PrivateFolder.h"
#include "ui_Unit1.h"

const char* const TForm1::kCaption = "Vexil - アイコン抽出";
const char* const TForm1::kCaptionPrefix = "Vexil - ";
const char* const TForm1::kErrorTitle = "Vexilｴﾗｰ";
const char* const TForm1::kFilterItems[3] = {"ﾌﾟﾛｸﾞﾗﾑ (*.exe)", "DLL (*.DLL)", "すべて (*.*)"};
const char* const TForm1::kEveryFile = "*.*";

namespace {

constexpr int kFontPixels = 12;
constexpr int kStatusPanelWidths[2] = {100, 200};
constexpr int kSplitterWidth = 4;
// How soon a drive change that had to wait is tried again.
constexpr int kDrivesRetryMs = 250;

}  // namespace

TWaitCursor::TWaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }

TWaitCursor::~TWaitCursor() {
    while (QGuiApplication::overrideCursor()) QGuiApplication::restoreOverrideCursor();
}

TForm1::TForm1(QWidget* parent, int screenHeight) : QMainWindow(parent), ui(new Ui::TForm1) {
    ui->setupUi(this);
    setFont(japaneseFont(kFontPixels));
    setWindowIcon(programIcon());

    // The panels fill the status bar's height from its left edge, as designed; placed by
    // hand, since the bar's own layout would keep 5 of its 18 pixels from the text. A text
    // longer than its panel (a long file name) shows an ellipsis in the middle.
    for (int i = 0; i < 2; ++i) {
        statusPanels_[i] = new ElidingLabel(ui->StatusBar1);
        statusPanels_[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        statusPanels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        statusPanels_[i]->setFixedSize(kStatusPanelWidths[i], ui->StatusBar1->minimumHeight());
    }

    // The glyphs are drawn for the palette of the moment (light, or the desktop's dark one).
    ui->BtnExeFilter->setIcon(glyphs::paletteIcon(buttonGlyph(QStringLiteral("BTNFILTER")), buttonGlyph(QStringLiteral("BTNFILTERD"))));
    ui->BtnLargeIcon->setIcon(glyphs::paletteIcon(buttonGlyph(QStringLiteral("BTNLARGE"))));
    ui->BtnSmallIcon->setIcon(glyphs::paletteIcon(buttonGlyph(QStringLiteral("BTNSMALL"))));
    ui->BtnListIcon->setIcon(glyphs::paletteIcon(buttonGlyph(QStringLiteral("BTNLIST"))));
    ui->BtnReportIcon->setIcon(glyphs::paletteIcon(buttonGlyph(QStringLiteral("BTNREPORT"))));

    // On a HiDPI screen the lists also hold pictures for the device's pixels.
    for (ImageList* list : {&ImageList16, &ImageList32, &ImageList16A, &ImageList32A}) list->setDevicePixelRatio(devicePixelRatioF());
    ui->ListView1->setImageLists(&ImageList32, &ImageList16);
    ui->ListView1->setViewStyle(FileListView::ViewStyle::Report);
    ui->Splitter1->setStretchFactor(0, 0);
    ui->Splitter1->setStretchFactor(1, 1);
    resize(kDesignWidth, kDesignHeight + menuBar()->sizeHint().height());

    connectHandlers();
    setUpDetails();
    nameForScreenReaders();
    setAcceptDrops(true);
    setUpDragOut();
    setUpSaveAll();
    addCursorThemeMenu();
    FormCreate(windowScreenHeight(this, screenHeight));

    if (const QScreen* s = screenOf(this)) move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}

TForm1::~TForm1() { FormDestroy(); }

void TForm1::nameForScreenReaders() {
    for (QToolButton* button : {ui->BtnExeFilter, ui->BtnLargeIcon, ui->BtnSmallIcon, ui->BtnListIcon, ui->BtnReportIcon})
        button->setAccessibleName(button->toolTip());
    ui->Drive1->setAccessibleName(QString::fromUtf8(wtext::kDriveBox));
    ui->TreeDir1->setAccessibleName(QString::fromUtf8(wtext::kFolderTree));
    // The file list is one of two views at a time (icons, or rows with columns).
    for (QWidget* list : {static_cast<QWidget*>(ui->ListView1), static_cast<QWidget*>(ui->ListView1->listView()),
                          static_cast<QWidget*>(ui->ListView1->detailsView())}) {
        list->setAccessibleName(QString::fromUtf8(wtext::kFileList));
        list->setAccessibleDescription(QString::fromUtf8(wtext::kFileListHelp));
    }
    ui->ComboBox1->setAccessibleName(QString::fromUtf8(wtext::kFileType));
    ui->DrawGrid1->setAccessibleName(QString::fromUtf8(wtext::kStrip));
    ui->DrawGrid1->setAccessibleDescription(QString::fromUtf8(wtext::kStripHelp));
    ui->DrawGrid1->setCellTexts([this] { return ImageList32A.Count(); },
                                [this](int col, bool description) { return stripCellText(col, description); });
}

void TForm1::connectHandlers() {
    connect(ui->Drive1, &DriveCombo::OnChange, this, &TForm1::Drive1Change);
    connect(ui->TreeDir1, &QTreeDir::OnChange, this, &TForm1::TreeDir1Change);
    connect(ui->BtnExeFilter, &QToolButton::clicked, this, &TForm1::BtnExeFilterClick);
    connect(ui->BtnLargeIcon, &QToolButton::clicked, this, &TForm1::BtnLargeIconClick);
    connect(ui->BtnSmallIcon, &QToolButton::clicked, this, &TForm1::BtnSmallIconClick);
    connect(ui->BtnListIcon, &QToolButton::clicked, this, &TForm1::BtnListIconClick);
    connect(ui->BtnReportIcon, &QToolButton::clicked, this, &TForm1::BtnReportIconClick);
    connect(ui->ListView1, &FileListView::selectItem, this, &TForm1::ListView1SelectItem);
    connect(ui->ListView1, &FileListView::columnClick, this, &TForm1::ListView1ColumnClick);
    connect(ui->DrawGrid1, &DrawGrid::DrawCell, this, &TForm1::DrawGrid1DrawCell);
    connect(ui->DrawGrid1, &DrawGrid::SelectCell, this, &TForm1::DrawGrid1SelectCell);
    connect(ui->DrawGrid1, &DrawGrid::MouseUp, this, &TForm1::DrawGrid1MouseUp);
    connect(ui->DrawGrid1, &DrawGrid::MenuRequested, this, &TForm1::DrawGrid1MenuRequested);
    connect(ui->mnuFile, &QMenu::aboutToShow, this, &TForm1::mnuFileClick);
    connect(ui->mnuEdit, &QMenu::aboutToShow, this, &TForm1::mnuEditClick);
    connect(ui->mnuSaveIcon, &QAction::triggered, this, &TForm1::mnuSaveIconClick);
    connect(ui->mnuSaveIcon32, &QAction::triggered, this, &TForm1::mnuSaveIcon32Click);
    connect(ui->mnuSaveIcon16, &QAction::triggered, this, &TForm1::mnuSaveIcon16Click);
    connect(ui->mnuExit, &QAction::triggered, this, &TForm1::mnuExitClick);
    connect(ui->mnuCopyBmp32, &QAction::triggered, this, &TForm1::mnuCopyBmp32Click);
    connect(ui->mnuCopyBmp16, &QAction::triggered, this, &TForm1::mnuCopyBmp16Click);
    connect(ui->mnuAbout, &QAction::triggered, this, &TForm1::mnuAboutClick);
    connect(ui->mnuPopupSaveIcon, &QAction::triggered, this, &TForm1::mnuPopupSaveIconClick);
    connect(ui->mnuPopSaveIcon32, &QAction::triggered, this, &TForm1::mnuPopSaveIcon32Click);
    connect(ui->mnuPopSaveIcon16, &QAction::triggered, this, &TForm1::mnuPopSaveIcon16Click);
    connect(ui->mnuPopCopyBmp32, &QAction::triggered, this, &TForm1::mnuPopCopyBmp32Click);
    connect(ui->mnuPopCopyBmp16, &QAction::triggered, this, &TForm1::mnuPopCopyBmp16Click);
    connect(ui->mnuIconSet, &QAction::triggered, this, &TForm1::mnuIconSetClick);
    connect(ui->mnuOpen, &QAction::triggered, this, &TForm1::mnuOpenClick);
    connect(ui->mnuPopIconSet, &QAction::triggered, this, &TForm1::mnuIconSetClick);
    for (QAction* save : {ui->mnuSavePng, ui->mnuPopSavePng}) connect(save, &QAction::triggered, this, &TForm1::mnuSavePngClick);
    for (QAction* copy : {ui->mnuCopyPng, ui->mnuPopCopyPng}) connect(copy, &QAction::triggered, this, &TForm1::mnuCopyPngClick);
    createShortcuts();
    connect(ui->Drive1, &DriveCombo::drivesChanged, this, &TForm1::drivesChanged);
    drivesRetry_ = new QTimer(this);
    drivesRetry_->setSingleShot(true);
    drivesRetry_->setInterval(kDrivesRetryMs);
    connect(drivesRetry_, &QTimer::timeout, this, &TForm1::applyDriveChange);
}

// Ordinary shortcuts of a desktop program, on the window rather than on the menu entries,
// whose captions stay as they are.
void TForm1::createShortcuts() {
    const auto add = [this](const QKeySequence& keys, void (TForm1::*handler)()) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, handler);
    };
    add(QKeySequence(Qt::CTRL | Qt::Key_C), &TForm1::copyShortcut);
    add(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C), &TForm1::mnuCopyPngClick);
    add(QKeySequence(Qt::CTRL | Qt::Key_S), &TForm1::mnuSaveIconClick);
    add(QKeySequence(Qt::Key_F5), &TForm1::BtnExeFilterClick);
    add(QKeySequence(Qt::CTRL | Qt::Key_Q), &TForm1::mnuExitClick);
}

// Ctrl+C copies the 32-pixel picture as the Copy command does; in the filter box's text it
// copies the selected text, as everywhere else.
void TForm1::copyShortcut() {
    QLineEdit* edit = ui->ComboBox1->lineEdit();
    if (edit && edit->hasFocus()) {
        edit->copy();
        return;
    }
    CopyIconBitmap(32);
}

// Layout adjustments at creation: on tall screens contents and window grow together by
// the whole factor k; the strip's cells and its panel's height follow the icon size.
void TForm1::FormCreate(int screenHeight) {
    scale_ = tallScreenFactor(screenHeight);
    if (scale_ > 1) {
        scaleWidgets(this, scale_);
        resize(kDesignWidth * scale_, kDesignHeight * scale_ + menuBar()->sizeHint().height());
    }
    ui->Splitter1->setSizes({kTreeWidth * scale_, (kDesignWidth - kTreeWidth - kSplitterWidth) * scale_});

    const int scrollBarHeight = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, ui->DrawGrid1);
    ui->Pan2->setFixedHeight(kIconSize + ui->StatusBar1->minimumHeight() + scrollBarHeight + 20);
    ui->DrawGrid1->setCellSize(kIconSize + 2, kIconSize + 2);

    int panelLeft = 0;
    for (QLabel* panel : statusPanels_) {
        panel->move(panelLeft, 0);
        panelLeft += panel->width();
    }

    for (const char* item : kFilterItems) ui->ComboBox1->addItem(QString::fromUtf8(item));
    ui->ComboBox1->setCurrentIndex(0);
}

void TForm1::FormDestroy() {
    scanWork_.stop();
    stripWork_.stop();
    ReleaseIcons(true);
}

// Closing stops a pending scan or strip: the window goes at once, and nothing is left to
// run for it.
void TForm1::closeEvent(QCloseEvent* event) {
    scanWork_.stop();
    stripWork_.stop();
    if (details_) details_->close();
    QMainWindow::closeEvent(event);
}

void TForm1::ShowError(const std::string& text) {
    platform::messageBox(text, kErrorTitle, platform::mb::Ok | platform::mb::IconExclamation);
}

std::string TForm1::FilePath(const std::string& fileName) const { return platform::joinPath(CurrentDir, fileName); }

void TForm1::ReleaseIcons(bool all) {
    if (all) {
        ImageList16.Clear();
        ImageList32.Clear();
    }
    ImageList16A.Clear();
    ImageList32A.Clear();
}

QString TForm1::statusText(int panel) const { return panel == 0 || panel == 1 ? statusPanels_[panel]->text() : QString(); }

void TForm1::setStatusText(int panel, const QString& text) {
    if (panel == 0 || panel == 1) statusPanels_[panel]->setText(text);
}

void TForm1::Drive1Change() {
    // When the tree keeps its drive, the selector goes back to showing that drive.
    if (!ui->TreeDir1->SetDrive(ui->Drive1->Drive(), true)) ui->Drive1->showDrive(ui->TreeDir1->CurrentDrive);
}

void TForm1::BtnLargeIconClick() { ui->ListView1->setViewStyle(FileListView::ViewStyle::Icon); }
void TForm1::BtnSmallIconClick() { ui->ListView1->setViewStyle(FileListView::ViewStyle::SmallIcon); }
void TForm1::BtnListIconClick() { ui->ListView1->setViewStyle(FileListView::ViewStyle::List); }
void TForm1::BtnReportIconClick() { ui->ListView1->setViewStyle(FileListView::ViewStyle::Report); }

void TForm1::mnuExitClick() { close(); }
