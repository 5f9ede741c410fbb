// The save-file dialog the program asks for file names with. A SaveDialog object holds the
// dialog's settings and what it remembers between uses (the last name and file type);
// Execute shows it through a replaceable handler: the program's is a QFileDialog, tests
// install one that answers at once with a chosen name and file type.
#pragma once

#include <functional>
#include <string>
#include <vector>

class QWidget;

class SaveDialog {
public:
    std::string Title;
    // Pairs of description and patterns, all separated by "|":
    // "Icons (*.ico)|*.ico|Bitmaps (*.bmp)|*.bmp".
    std::string Filter;
    // The chosen name as the file system takes it (bytes, not display text).
    std::string FileName;
    // The chosen file type, counted from 1 in the order of Filter.
    int FilterIndex = 1;
    // The dialog asks before a typed name replaces an existing file; off where the caller
    // asks every time itself.
    bool ConfirmOverwrite = true;

    // Shows the dialog modally over parent; false when the user cancelled, FileName and
    // FilterIndex are then as they were.
    bool Execute(QWidget* parent);
};

using SaveDialogHandler = std::function<bool(SaveDialog& dialog, QWidget* parent)>;

// Installs a handler (an empty one restores the QFileDialog); returns the previous one.
SaveDialogHandler setSaveDialogHandler(SaveDialogHandler handler);

// The descriptions of a "|" separated filter, in order.
std::vector<std::string> filterDescriptions(const std::string& filter);

// The QFileDialog behind SaveDialog::Execute: asks before replacing an existing file,
// offers the remembered name and type.
bool showQtSaveDialog(SaveDialog& dialog, QWidget* parent);
