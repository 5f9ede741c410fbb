#include "qtshared/SaveFileDialog.h"

#include <QFile>
#include <QFileDialog>
#include <QStringList>
#include <vector>

namespace {

SaveDialogHandler& handlerSlot() {
    static SaveDialogHandler handler;
    return handler;
}

QString fromBytes(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

std::vector<std::string> filterDescriptions(const std::string& filter) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t bar = filter.find('|', start);
        parts.push_back(filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    std::vector<std::string> descriptions;
    for (std::size_t i = 0; i < parts.size(); i += 2) descriptions.push_back(parts[i]);
    return descriptions;
}

bool SaveDialog::Execute(QWidget* parent) {
    SaveDialogHandler& handler = handlerSlot();
    return handler ? handler(*this, parent) : showQtSaveDialog(*this, parent);
}

SaveDialogHandler setSaveDialogHandler(SaveDialogHandler handler) {
    SaveDialogHandler previous = std::move(handlerSlot());
    handlerSlot() = std::move(handler);
    return previous;
}

bool showQtSaveDialog(SaveDialog& dialog, QWidget* parent) {
    QFileDialog box(parent, fromBytes(dialog.Title));
    box.setAcceptMode(QFileDialog::AcceptSave);
    box.setFileMode(QFileDialog::AnyFile);
    // Qt's own dialog: it speaks the program's language, and a desktop's native dialog
    // would speak the user's locale and keep a history of its own.
    box.setOption(QFileDialog::DontUseNativeDialog);
    box.setOption(QFileDialog::DontConfirmOverwrite, !dialog.ConfirmOverwrite);
    // The descriptions carry their patterns in parentheses, which the dialog filters by.
    QStringList filters;
    for (const std::string& d : filterDescriptions(dialog.Filter)) filters << fromBytes(d);
    box.setNameFilters(filters);
    if (dialog.FilterIndex >= 1 && dialog.FilterIndex <= filters.size()) box.selectNameFilter(filters[dialog.FilterIndex - 1]);
    if (!dialog.FileName.empty()) box.selectFile(QFile::decodeName(dialog.FileName.c_str()));
    if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty()) return false;

    dialog.FileName = QFile::encodeName(box.selectedFiles().constFirst()).toStdString();
    const qsizetype index = filters.indexOf(box.selectedNameFilter());
    dialog.FilterIndex = index >= 0 ? static_cast<int>(index) + 1 : 1;
    return true;
}
