#include "app/CursorThemeDialog.h"

#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>

#include "app/WindowTexts.h"
#include "iconmod/CursorThemeNames.h"
#include "iconmod/IconTheme.h"
#include "iconmod/SaveName.h"
#include "platform/MessageBox.h"
#include "qtshared/Looks.h"
#include "qtshared/PictureConvert.h"
#include "qtshared/Scaling.h"

namespace {

constexpr int kFontPixels = 12;
constexpr int kTableWidth = 560;
constexpr int kTableHeight = 300;
// The shortest time a step is shown: steps of no delay would otherwise spin the event loop.
constexpr int kShortestStepMs = 16;

enum Column { PictureColumn, RoleColumn, FileColumn, SizesColumn, ColumnCount };

std::optional<std::string> chooseWithQt(QWidget* parent, bool folder) {
    const QString chosen =
        folder ? QFileDialog::getExistingDirectory(parent, QString::fromUtf8(wtext::kCursorPackFolderCaption))
               : QFileDialog::getOpenFileName(parent, QString::fromUtf8(wtext::kCursorPackFileCaption), QString(),
                                              QString::fromUtf8(wtext::kCursorPackFilter));
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.toLocal8Bit().toStdString();
}

TCursorThemeForm::PackChooser& chooser() {
    static TCursorThemeForm::PackChooser current;
    return current;
}

// The size the table shows a role at: the first not below the preview's 32 pixels, else the largest.
std::size_t shownSize(const iconmod::CursorThemeRole& role) {
    for (std::size_t i = 0; i < role.sizes.size(); ++i)
        if (role.sizes[i].size >= iconmod::kCursorPreviewSize) return i;
    return role.sizes.empty() ? 0 : role.sizes.size() - 1;
}

QString sizeList(const iconmod::CursorThemeRole& role) {
    QStringList sizes;
    for (const iconmod::CursorThemeSize& s : role.sizes) sizes << QString::number(s.size);
    return sizes.join(QStringLiteral(", "));
}

}  // namespace

TCursorThemeForm::PackChooser TCursorThemeForm::setPackChooser(PackChooser next) {
    PackChooser previous = std::move(chooser());
    chooser() = std::move(next);
    return previous;
}

TCursorThemeForm::TCursorThemeForm(QWidget* parent, const std::string& prefix) : QDialog(parent), prefix_(prefix) {
    setWindowTitle(QString::fromUtf8(wtext::kCursorThemeCaption));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFont(japaneseFont(kFontPixels));
    setWindowIcon(programIcon());

    auto* openFile = new QPushButton(QString::fromUtf8(wtext::kCursorPackFile), this);
    openFile->setObjectName("BtnPackFile");
    openFile->setAutoDefault(false);
    auto* openFolder = new QPushButton(QString::fromUtf8(wtext::kCursorPackFolder), this);
    openFolder->setObjectName("BtnPackFolder");
    openFolder->setAutoDefault(false);
    source_ = new QLabel(this);
    source_->setObjectName("LblPack");

    schemes_ = new QComboBox(this);
    schemes_->setObjectName("CmbScheme");
    schemes_->setEnabled(false);
    auto* schemeLabel = new QLabel(QString::fromUtf8(wtext::kCursorScheme), this);
    schemeLabel->setBuddy(schemes_);

    table_ = new QTableWidget(static_cast<int>(formats::kCursorRoleCount), ColumnCount, this);
    table_->setObjectName("GrdRoles");
    table_->setAccessibleName(QString::fromUtf8(wtext::kCursorRoles));
    table_->setHorizontalHeaderLabels({QString(), QString::fromUtf8(wtext::kCursorColumnRole), QString::fromUtf8(wtext::kCursorColumnFile),
                                       QString::fromUtf8(wtext::kCursorColumnSizes)});
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->setWordWrap(false);
    table_->setIconSize(QSize(iconmod::kCursorPreviewSize, iconmod::kCursorPreviewSize));
    table_->verticalHeader()->setDefaultSectionSize(iconmod::kCursorPreviewSize + 4);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setColumnWidth(PictureColumn, iconmod::kCursorPreviewSize + 8);
    table_->setMinimumSize(kTableWidth, kTableHeight);

    warnings_ = new QListWidget(this);
    warnings_->setObjectName("LstWarnings");
    warnings_->setMaximumHeight(kTableHeight / 3);
    auto* warningLabel = new QLabel(QString::fromUtf8(wtext::kCursorWarnings), this);
    warningLabel->setBuddy(warnings_);

    name_ = new QLineEdit(this);
    name_->setObjectName("EdtName");
    auto* nameLabel = new QLabel(QString::fromUtf8(wtext::kCursorThemeName), this);
    nameLabel->setBuddy(name_);
    status_ = new QLabel(this);
    status_->setObjectName("LblStatus");
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status_->setWordWrap(true);

    install_ = new QPushButton(QString::fromUtf8(wtext::kCursorInstall), this);
    install_->setObjectName("BtnInstall");
    install_->setDefault(true);
    auto* close = new QPushButton(QString::fromUtf8(wtext::kCursorClose), this);
    close->setObjectName("BtnClose");
    close->setAutoDefault(false);

    auto* packRow = new QHBoxLayout;
    packRow->addWidget(openFile);
    packRow->addWidget(openFolder);
    packRow->addWidget(source_, 1);
    auto* schemeRow = new QHBoxLayout;
    schemeRow->addWidget(schemeLabel);
    schemeRow->addWidget(schemes_, 1);
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(nameLabel);
    nameRow->addWidget(name_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(install_);
    buttons->addWidget(close);
    auto* root = new QVBoxLayout(this);
    root->addLayout(packRow);
    root->addLayout(schemeRow);
    root->addWidget(table_, 1);
    root->addWidget(warningLabel);
    root->addWidget(warnings_);
    root->addLayout(nameRow);
    root->addWidget(status_);
    root->addLayout(buttons);

    connect(openFile, &QPushButton::clicked, this, [this] { choose(false); });
    connect(openFolder, &QPushButton::clicked, this, [this] { choose(true); });
    connect(schemes_, &QComboBox::activated, this, [this](int index) {
        if (pack_ && index >= 0) planChoice(schemes_->itemText(index).toStdString());
    });
    connect(name_, &QLineEdit::textChanged, this, [this](const QString&) { updateInstall(); });
    connect(install_, &QPushButton::clicked, this, [this] { install(); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    showPlan();
    scaleWidgets(this, tallScreenFactor(windowScreenHeight(parent ? parent->window() : this, 0)));
}

TCursorThemeForm::~TCursorThemeForm() = default;

void TCursorThemeForm::choose(bool folder) {
    const auto chosen = chooser() ? chooser()(this, folder) : chooseWithQt(this, folder);
    if (chosen) openPack(*chosen);
}

bool TCursorThemeForm::openPack(const std::string& path) {
    clearPlan();
    pack_.reset();
    schemes_->clear();
    source_->setText(QString::fromLocal8Bit(path));
    auto opened = iconmod::openCursorPack(path);
    if (const auto* error = std::get_if<iconmod::CursorThemeError>(&opened)) {
        status_->setText(QString::fromUtf8(wtext::kCursorPackFailed) + QString::fromStdString(error->text));
        showPlan();
        return false;
    }
    pack_ = std::move(std::get<iconmod::CursorPack>(opened));
    for (const iconmod::CursorPackChoice& choice : iconmod::cursorPackChoices(*pack_)) schemes_->addItem(QString::fromStdString(choice.label));
    schemes_->setEnabled(schemes_->count() > 1);
    planChoice(schemes_->count() > 0 ? schemes_->itemText(0).toStdString() : std::string());
    return plan_.has_value();
}

void TCursorThemeForm::planChoice(const std::string& scheme) {
    clearPlan();
    status_->clear();
    auto planned = iconmod::planCursorTheme(*pack_, {.name = {}, .scheme = scheme, .sizes = {}});
    if (const auto* error = std::get_if<iconmod::CursorThemeError>(&planned)) {
        status_->setText(QString::fromUtf8(wtext::kCursorPackFailed) + QString::fromStdString(error->text));
    } else {
        plan_ = std::move(std::get<iconmod::CursorThemePlan>(planned));
        name_->setText(QString::fromStdString(plan_->name));
    }
    showPlan();
}

void TCursorThemeForm::clearPlan() {
    for (Animation& animation : animations_) delete animation.timer;
    animations_.clear();
    plan_.reset();
}

// Every role a row: its picture, name (and the name it is written as), file and sizes; a
// role the theme lacks says where its cursor comes from instead.
void TCursorThemeForm::showPlan() {
    warnings_->clear();
    for (int row = 0; row < static_cast<int>(formats::kCursorRoleCount); ++row) {
        const formats::CursorRole role = *formats::cursorRoleAt(static_cast<std::size_t>(row));
        const auto names = iconmod::xcursorNames(role);
        auto* roleItem = new QTableWidgetItem(QString::fromUtf8(formats::cursorRoleName(role)) + QStringLiteral(" (") +
                                              QString::fromLatin1(names.front().data(), static_cast<qsizetype>(names.front().size())) +
                                              QStringLiteral(")"));
        table_->setItem(row, RoleColumn, roleItem);
        table_->setItem(row, PictureColumn, new QTableWidgetItem);
        const bool leftOut = role == formats::CursorRole::Pin || role == formats::CursorRole::Person;
        table_->setItem(row, FileColumn, new QTableWidgetItem(QString::fromUtf8(leftOut ? wtext::kCursorNone : wtext::kCursorInherited)));
        table_->setItem(row, SizesColumn, new QTableWidgetItem);
    }
    if (plan_) {
        for (std::size_t i = 0; i < plan_->roles.size(); ++i) {
            const iconmod::CursorThemeRole& role = plan_->roles[i];
            const int row = static_cast<int>(formats::roleIndex(role.role));
            table_->item(row, FileColumn)->setText(QString::fromStdString(role.file));
            table_->item(row, SizesColumn)->setText(sizeList(role));
            Animation animation{row, i, 0, nullptr};
            if (role.animated && !role.delaysMs.empty()) {
                animation.timer = new QTimer(this);
                animation.timer->setSingleShot(true);
                animations_.push_back(animation);
                const std::size_t index = animations_.size() - 1;
                connect(animation.timer, &QTimer::timeout, this, [this, index] {
                    Animation& a = animations_[index];
                    a.step = (a.step + 1) % plan_->roles[a.role].delaysMs.size();
                    showStep(a);
                });
                showStep(animations_.back());
            } else {
                showStep(animation);
            }
        }
        for (const std::string& warning : plan_->warnings) warnings_->addItem(QString::fromStdString(warning));
    }
    table_->resizeColumnToContents(RoleColumn);
    table_->resizeColumnToContents(FileColumn);
    updateInstall();
}

// Shows the step's picture in the role's row and, for an animation, waits its delay for the next.
void TCursorThemeForm::showStep(Animation& animation) {
    const iconmod::CursorThemeRole& role = plan_->roles[animation.role];
    const auto picture = iconmod::cursorThemePicture(role, shownSize(role), animation.step);
    table_->item(animation.row, PictureColumn)->setIcon(picture ? QIcon(QPixmap::fromImage(imageFromArgb(*picture))) : QIcon());
    if (animation.timer)
        animation.timer->start(std::max(kShortestStepMs, static_cast<int>(std::min<std::uint32_t>(role.delaysMs[animation.step], 60000))));
}

std::size_t TCursorThemeForm::shownStep(formats::CursorRole role) const {
    for (const Animation& a : animations_)
        if (plan_->roles[a.role].role == role) return a.step;
    return 0;
}

void TCursorThemeForm::updateInstall() {
    const std::string name = name_->text().toStdString();
    install_->setEnabled(plan_ && !prefix_.empty() && iconmod::isIconThemeName(name) && name != "." && name != "..");
}

bool TCursorThemeForm::install() {
    if (!install_->isEnabled()) return false;
    iconmod::CursorThemePlan plan = *plan_;
    plan.name = name_->text().toStdString();
    const std::string folder = prefix_ + "/" + plan.name;
    std::error_code error;
    const bool exists = std::filesystem::exists(std::filesystem::symlink_status(folder, error));
    if (exists) {
        const int answer = platform::messageBox(folder + savename::kOverwriteQuestion, savename::kOverwriteTitle,
                                                platform::mb::YesNo | platform::mb::IconQuestion);
        if (answer != platform::mb::IdYes) return false;
    }
    const auto written = iconmod::writeCursorTheme(plan, prefix_, exists);
    if (const auto* failure = std::get_if<iconmod::CursorThemeError>(&written)) {
        status_->setText(QString::fromUtf8(wtext::kCursorInstallFailed) + QString::fromStdString(failure->text));
        return false;
    }
    QString text = QString::fromLocal8Bit(std::get<iconmod::CursorThemeWritten>(written).folder) + QString::fromUtf8(wtext::kCursorInstalled);
    for (const std::string& line : iconmod::cursorThemeChoiceLines(plan.name)) text += QStringLiteral("\n") + QString::fromStdString(line);
    status_->setText(text);
    return true;
}
