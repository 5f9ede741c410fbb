#include "app/IconSetDialog.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "iconmod/IconTheme.h"
#include "qtshared/Looks.h"
#include "qtshared/Scaling.h"

const char* const TIconSetForm::kCaption = "ｱｲｺﾝｾｯﾄの作成";
const char* const TIconSetForm::kFolderLabel = "保存先ﾌｫﾙﾀﾞ(&D):";
const char* const TIconSetForm::kBrowse = "参照(&R)...";
const char* const TIconSetForm::kNameLabel = "名前(&N):";
const char* const TIconSetForm::kNameHint = "(英数字と . _ - だけ。ﾃﾞｽｸﾄｯﾌﾟ ｴﾝﾄﾘの Icon= に書く名前)";
const char* const TIconSetForm::kChooseCaption = "ｱｲｺﾝｾｯﾄの保存先ﾌｫﾙﾀﾞ";
const char* const TIconSetForm::kCancel = "ｷｬﾝｾﾙ";

namespace {

constexpr int kFontPixels = 12;
constexpr int kEditWidth = 260;

std::optional<std::string> chooseWithQt(QWidget* parent, const std::string& start) {
    const QString dir = QFileDialog::getExistingDirectory(parent, QString::fromUtf8(TIconSetForm::kChooseCaption),
                                                          QString::fromLocal8Bit(start));
    if (dir.isEmpty()) return std::nullopt;
    return dir.toLocal8Bit().toStdString();
}

TIconSetForm::FolderChooser& chooser() {
    static TIconSetForm::FolderChooser current;
    return current;
}

}  // namespace

TIconSetForm::FolderChooser TIconSetForm::setFolderChooser(FolderChooser next) {
    FolderChooser previous = std::move(chooser());
    chooser() = std::move(next);
    return previous;
}

TIconSetForm::TIconSetForm(QWidget* parent, const std::string& folder, const std::string& name)
    : QDialog(parent), folder_(folder) {
    setWindowTitle(QString::fromUtf8(kCaption));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFont(japaneseFont(kFontPixels));
    setWindowIcon(programIcon());

    folderEdit_ = new QLineEdit(QString::fromLocal8Bit(folder), this);
    folderEdit_->setObjectName("EdtFolder");
    folderEdit_->setMinimumWidth(kEditWidth);
    browse_ = new QPushButton(QString::fromUtf8(kBrowse), this);
    browse_->setObjectName("BtnBrowse");
    browse_->setAutoDefault(false);
    nameEdit_ = new QLineEdit(QString::fromLocal8Bit(name), this);
    nameEdit_->setObjectName("EdtName");
    auto* folderLabel = new QLabel(QString::fromUtf8(kFolderLabel), this);
    folderLabel->setBuddy(folderEdit_);
    auto* nameLabel = new QLabel(QString::fromUtf8(kNameLabel), this);
    nameLabel->setBuddy(nameEdit_);
    auto* hint = new QLabel(QString::fromUtf8(kNameHint), this);

    ok_ = new QPushButton("OK", this);
    ok_->setObjectName("BtnOK");
    ok_->setDefault(true);
    auto* cancel = new QPushButton(QString::fromUtf8(kCancel), this);
    cancel->setObjectName("BtnCancel");
    cancel->setAutoDefault(false);

    auto* grid = new QGridLayout;
    grid->addWidget(folderLabel, 0, 0);
    grid->addWidget(folderEdit_, 0, 1);
    grid->addWidget(browse_, 0, 2);
    grid->addWidget(nameLabel, 1, 0);
    grid->addWidget(nameEdit_, 1, 1);
    grid->addWidget(hint, 2, 1, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);
    auto* root = new QVBoxLayout(this);
    root->addLayout(grid);
    root->addLayout(buttons);

    // Typed text replaces the bytes offered; a folder chosen in the chooser keeps its bytes.
    connect(folderEdit_, &QLineEdit::textEdited, this, [this](const QString& text) {
        folder_ = text.toLocal8Bit().toStdString();
        updateOk();
    });
    connect(nameEdit_, &QLineEdit::textChanged, this, [this](const QString&) { updateOk(); });
    connect(browse_, &QPushButton::clicked, this, &TIconSetForm::browseClick);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    nameEdit_->setFocus();
    nameEdit_->selectAll();
    updateOk();
    // On tall screens it grows by the factor the other windows grow by.
    scaleWidgets(this, tallScreenFactor(windowScreenHeight(parent ? parent->window() : this, 0)));
}

TIconSetForm::~TIconSetForm() = default;

std::string TIconSetForm::name() const { return nameEdit_->text().toLocal8Bit().toStdString(); }

void TIconSetForm::browseClick() {
    const auto chosen = chooser() ? chooser()(this, folder_) : chooseWithQt(this, folder_);
    if (!chosen) return;
    folder_ = *chosen;
    folderEdit_->setText(QString::fromLocal8Bit(folder_));
    updateOk();
}

// OK only for a folder and a name that an icon set can take.
void TIconSetForm::updateOk() { ok_->setEnabled(!folder_.empty() && iconmod::isIconThemeName(name())); }
