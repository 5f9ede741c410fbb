// Sizes and dates in Qt's own file dialog in the application's language. Qt's file-system
// model writes its size and date columns in the system locale, which Qt takes from the
// environment (LANG, LC_ALL: English under "C") and which the program cannot change;
// QLocale::setDefault, which the program uses for Japanese, does not reach them. These put a
// proxy in front of the dialog's model that writes both columns in the default locale, and
// widen the columns to fit what it writes.
#pragma once

#include <QIdentityProxyModel>

class QCoreApplication;
class QFileDialog;

// The dialog's size column (1) and date column (3) in QLocale()'s words; other cells as the
// file-system model gives them.
class DefaultLocaleFileColumns : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    static constexpr int kSizeColumn = 1;
    static constexpr int kDateColumn = 3;
};

// Puts the proxy in front of a dialog's list and widens its size and date columns to the
// widest size and date text of the default locale. Once per dialog; the dialog must be Qt's
// own (not a native one).
void localizeFileDialog(QFileDialog& dialog);

// Does so for every QFileDialog of the application when it is first shown.
void localizeEveryFileDialog(QCoreApplication& app);
