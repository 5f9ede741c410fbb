#include "app/QtMessageBox.h"

#include <QApplication>
#include <QMessageBox>

#include "platform/MessageBox.h"

namespace {

// Style values beyond the ones the program names in platform::mb.
constexpr unsigned kOkCancel = 0x01, kAbortRetryIgnore = 0x02, kYesNoCancel = 0x03, kRetryCancel = 0x05;
constexpr unsigned kIconHand = 0x10, kIconInformation = 0x40;
constexpr int kIdAbort = 3, kIdRetry = 4, kIdIgnore = 5;

QMessageBox::StandardButtons buttonsFor(unsigned style) {
    switch (style & platform::mb::ButtonMask) {
        case kOkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
        case kAbortRetryIgnore: return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
        case kYesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case platform::mb::YesNo: return QMessageBox::Yes | QMessageBox::No;
        case kRetryCancel: return QMessageBox::Retry | QMessageBox::Cancel;
        default: return QMessageBox::Ok;
    }
}

QMessageBox::Icon iconFor(unsigned style) {
    switch (style & platform::mb::IconMask) {
        case kIconHand: return QMessageBox::Critical;
        case platform::mb::IconQuestion: return QMessageBox::Question;
        case platform::mb::IconExclamation: return QMessageBox::Warning;
        case kIconInformation: return QMessageBox::Information;
        default: return QMessageBox::NoIcon;
    }
}

int answerOf(int button) {
    switch (button) {
        case QMessageBox::Ok: return platform::mb::IdOk;
        case QMessageBox::Yes: return platform::mb::IdYes;
        case QMessageBox::No: return platform::mb::IdNo;
        case QMessageBox::Abort: return kIdAbort;
        case QMessageBox::Retry: return kIdRetry;
        case QMessageBox::Ignore: return kIdIgnore;
        default: return platform::mb::IdCancel;
    }
}

}  // namespace

int showQtMessageBox(const std::string& text, const std::string& title, unsigned style) {
    QMessageBox box(iconFor(style), QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())),
                    QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), buttonsFor(style),
                    QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    return answerOf(box.exec());
}

void installQtMessageBoxes() { platform::setMessageBoxHandler(showQtMessageBox); }
