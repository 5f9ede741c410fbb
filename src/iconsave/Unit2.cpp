// TForm2: creation and scaling, the first filling of the lists, group and image choice,
// the preview and the saves.
#include "iconsave/Unit2.h"

#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <exception>

#include "iconmod/SaveName.h"
#include "qtshared/ImageList.h"
#include "qtshared/Looks.h"
#include "qtshared/PictureConvert.h"
#include "qtshared/Scaling.h"
#include "iconmod/IconGroups.h"
#include "iconmod/Iconmod.h"
#include "iconmod/StandardSave.h"
#include "iconsave/TextLists.h"
#include "platform/MessageBox.h"
#include "ui_Unit2.h"

const char* const TForm2::kSaveFilter = "ｱｲｺﾝ (*.ico)|*.ico|ﾋﾞｯﾄﾏｯﾌﾟ (*.bmp)|*.bmp|jpeg (*.jpg)|*.jpg;*.jpeg";
const char* const TForm2::kIcoSaveFailed = "ｱｲｺﾝ ﾌｧｲﾙの保存に失敗しました";
const char* const TForm2::kNoBmpData = "ﾋﾞｯﾄﾏｯﾌﾟを保存するﾃﾞｰﾀがありません";
const char* const TForm2::kBmpSaveFailed = "ｱｲｺﾝﾌｧｲﾙのﾋﾞｯﾄﾏｯﾌﾟ保存に失敗しました";
const char* const TForm2::kJpegSaveFailed = "jpegファイル保存に失敗しました";

namespace {

constexpr int kDesignFontPixels = 15;
constexpr int kDesignItemHeight = 15;

// A design length in screen pixels, rounded to the nearest.
int toScreen(int v) { return (v * TForm2::kScreenPpi + TForm2::kDesignPpi / 2) / TForm2::kDesignPpi; }

// Moves and sizes the widgets the form places inside `container` from design pixels to
// screen pixels.
void scaleDesignToScreen(QWidget* container) {
    for (QWidget* w : container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (w->isWindow()) continue;
        const QRect g = w->geometry();
        w->setGeometry(toScreen(g.x()), toScreen(g.y()), toScreen(g.width()), toScreen(g.height()));
    }
}

void showError(const char* text) { platform::messageBox(text, savename::kErrorTitle); }

}  // namespace

TForm2::TForm2(QWidget* parent, int screenHeight) : QDialog(parent), ui(new Ui::TForm2) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(programIcon());
    setFont(japaneseFont(toScreen(kDesignFontPixels)));

    scaleDesignToScreen(this);
    scaleDesignToScreen(ui->Client);
    const QRect client = ui->Client->geometry();
    setFixedSize(client.width() + 2 * client.x(), client.height() + 2 * client.y());

    SaveDialog1.Filter = kSaveFilter;
    SaveDialog1.FilterIndex = 1;
    ui->Client->installEventFilter(this);

    connect(ui->Button1, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->SaveBtn, &QPushButton::clicked, this, &TForm2::SaveBtnClick);
    connect(ui->ListBox1, &QListWidget::itemSelectionChanged, this, &TForm2::ListBox1Click);
    connect(ui->ComboBox1, &QComboBox::currentIndexChanged, this, &TForm2::ComboBox1Change);

    FormCreate(windowScreenHeight(this, screenHeight));
    // Texts get the room the form was designed to give them in the font it names: labels
    // as large as their text, the image line's field up to a slimmer arrow button.
    fitLabelsToText(ui->Client);
    CompactComboStyle::apply(ui->ComboBox1);
    groups_ = std::make_unique<ListBoxTextList>(ui->ListBox1, toScreen(kDesignItemHeight) * scale_);
    images_ = std::make_unique<ComboTextList>(ui->ComboBox1);
    ui->ListBox1->setFocus();
}

TForm2::~TForm2() = default;

QWidget* TForm2::clientArea() const { return ui->Client; }

// On tall screens the contents and the window grow together by the whole factor k, once;
// the preview square keeps its pixel size.
void TForm2::FormCreate(int screenHeight) {
    scale_ = tallScreenFactor(screenHeight);
    scaleWidgets(this, scale_);
}

void TForm2::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!Activated) FormActivate();
}

// Fills the lists once: the group names, the group of the main window's selected icon,
// and its images (for an ICO file, the images read when it was opened).
void TForm2::FormActivate() {
    Activated = true;
    if (!Source || !iconmod::fnListGroupNames(*Source, *groups_)) return;
    if (!Source->IsIcoFile) {
        if (Source->StartGroup >= 0 && Source->StartGroup < groups_->count()) {
            groups_->setSelected(Source->StartGroup);
            Source->GroupName = groups_->textAt(Source->StartGroup);
        }
        if (!iconmod::fnLoadGroup(*Source)) return;
    }
    iconmod::subListImages(*Source, *images_);
    fnDrawPreview();
}

void TForm2::ListBox1Click() {
    if (!Source || Source->IsIcoFile) return;
    const int row = groups_->selected();
    if (row < 0) return;
    Source->GroupName = groups_->textAt(row);
    if (!iconmod::fnLoadGroup(*Source)) {
        // The image lines stay; with no image set there is no preview to show.
        fnDrawPreview();
        return;
    }
    iconmod::subListImages(*Source, *images_);
    fnDrawPreview();
}

void TForm2::ComboBox1Change() { fnDrawPreview(); }

bool TForm2::hasPreview() const { return Source && Source->Images && images_->count() > 0; }

int TForm2::selectedImage() const { return std::max(images_->selected(), 0); }

bool TForm2::fnDrawPreview() {
    preview_ = QImage();
    ui->Client->update(kPreviewLeft, kPreviewTop, kPreviewSize, kPreviewSize);
    if (!hasPreview()) return false;
    if (images_->selected() < 0) images_->setSelected(0);
    const auto index = static_cast<std::size_t>(selectedImage());
    const auto& set = Source->Images->Images;
    if (index < set.size()) {
        if (const auto picture = iconmod::QIconMod::fnMakeIcon(&set[index])) preview_ = imageFromArgb(*picture);
        // One image pixel to one device pixel: on a HiDPI screen the image shows its own
        // detail instead of blocks of enlarged pixels.
        preview_.setDevicePixelRatio(devicePixelRatioF());
    }
    return true;
}

QRect TForm2::previewIconRect(int width, int height) {
    const int x = width < kPreviewSize ? kPreviewLeft + (kPreviewSize - width) / 2 : kPreviewLeft;
    const int y = height < kPreviewSize ? kPreviewTop + (kPreviewSize - height) / 2 : kPreviewTop;
    return {x, y, std::min(width, kPreviewSize), std::min(height, kPreviewSize)};
}

// The square: a black outline filled with white, then the picture over it (an image larger
// than the square is squeezed into it, by the nearest pixel).
void TForm2::paintPreview(QPainter& painter) const {
    if (!hasPreview()) return;
    painter.fillRect(kPreviewLeft, kPreviewTop, kPreviewSize, kPreviewSize, Qt::black);
    painter.fillRect(kPreviewLeft + 1, kPreviewTop + 1, kPreviewSize - 2, kPreviewSize - 2, Qt::white);
    if (preview_.isNull()) return;
    const QSize size = preview_.deviceIndependentSize().toSize();
    painter.drawImage(previewIconRect(size.width(), size.height()), preview_);
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->Client && event->type() == QEvent::Paint) {
        QPainter painter(ui->Client);
        paintPreview(painter);
    }
    return QDialog::eventFilter(watched, event);
}

void TForm2::SaveBtnClick() {
    if (!SaveDialog1.Execute(this)) return;
    std::string path;
    switch (CheckSaveName(path, SaveDialog1.FileName, SaveDialog1.FilterIndex)) {
        case savename::kKindOther: showError(savename::kWrongType); break;
        case savename::kKindIcon: saveIcon(path); break;
        case savename::kKindBitmap: saveBitmap(path); break;
        case savename::kKindJpeg: saveJpeg(path); break;
        default: break;  // the user kept the existing file
    }
}

// All images of the set when the check box is ticked, else the selected one.
void TForm2::saveIcon(const std::string& path) {
    bool saved = false;
    if (Source) {
        saved = Source->fnSaveIco(path, ui->CheckBox1->isChecked() ? -1 : selectedImage());
    } else {
        platform::messageBox(iconmod::text::kNoIconData, savename::kErrorTitle);
    }
    if (!saved) showError(kIcoSaveFailed);
}

// The selected image's colour bitmap; the check box plays no part.
void TForm2::saveBitmap(const std::string& path) {
    const auto index = static_cast<std::size_t>(selectedImage());
    if (!Source || !Source->Images || index >= Source->Images->Images.size()) {
        showError(kNoBmpData);
        return;
    }
    if (!Source->fnSaveBmp(path, Source->Images->Images[index])) showError(kBmpSaveFailed);
}

// The 32-pixel strip picture of the selected group (the strip numbers the icons as the
// group list does; an ICO file has the one icon, entry 0), drawn over white.
void TForm2::saveJpeg(const std::string& path) {
    bool saved = false;
    try {
        const int entry = !Source ? -1 : Source->IsIcoFile ? 0 : groups_->selected();
        if (StripImages && entry >= 0 && entry < StripImages->Count())
            saved = iconmod::writeWhiteJpeg(path, argbFromPixmap(StripImages->Image(entry)));
    } catch (const std::exception&) {
        saved = false;
    }
    if (!saved) showError(kJpegSaveFailed);
}
