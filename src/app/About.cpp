#include "app/About.h"

#include <QGuiApplication>
#include <QScreen>

#include "qtshared/Looks.h"
#include "qtshared/Scaling.h"
#include "ui_About.h"

const char* const TAboutForm::kTitleText = "Vexil アイコン抽出 Ver1.07";

namespace {
constexpr int kFontPixels = 12;
constexpr int kIconSize = 32;
}  // namespace

TAboutForm::TAboutForm(QWidget* parent, int screenHeight) : QDialog(parent), ui(new Ui::TAboutForm) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFont(japaneseFont(kFontPixels));
    setWindowIcon(programIcon());
    ui->Image1->setPixmap(programIcon().pixmap(kIconSize, kIconSize));
    setFixedSize(kClientWidth, kClientHeight);
    // OK closes the box; Esc and the close box do too.
    connect(ui->BtnOK, &QPushButton::clicked, this, &QDialog::accept);
    ui->BtnOK->setDefault(true);

    FormCreate(windowScreenHeight(this, screenHeight));
}

TAboutForm::~TAboutForm() = default;

// On tall screens the contents and the box grow together by the whole factor k, once.
void TAboutForm::FormCreate(int screenHeight) {
    scale_ = tallScreenFactor(screenHeight);
    scaleWidgets(this, scale_);
    fitLabelsToText(this);
}
