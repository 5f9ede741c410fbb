// What the program sets up once for the whole application before its window opens: Qt's
// own texts in Japanese whatever the user's locale, and nothing written between runs.
#pragma once

class QCoreApplication;

// Loads Qt's Japanese translation (qtbase_ja.qm from Qt's translation folder), so that the
// file dialog, its questions and the standard buttons speak Japanese, and makes Japanese
// the default locale, for the file dialogs' sizes and dates too (localizeEveryFileDialog). False when the translation is not installed (Qt's texts then stay
// English; nothing else changes).
bool speakJapanese(QCoreApplication& app);

// Qt keeps some state of its own between runs (the file dialog's history, last folder and
// view in QtProject.conf). The program keeps nothing: the user-scope settings path is
// pointed below /dev/null, where no directory can be made, so nothing is read or written.
void keepNothingBetweenRuns();

// What the window system must not be touched for: `vexil --version` and `vexil --help` are
// answered on standard output from argv alone. True when argv asked for one of them (the
// answer is then printed).
bool answerWithoutWindow(int argc, char** argv);

// Chooses, before the application object exists, the parts of Qt the desktop would pick
// otherwise: the GTK platform theme is never loaded (it brings GTK's own file dialog and
// writes GTK's and dconf's state under HOME), Qt's own built-in theme for the desktop is used
// instead, and every file dialog is Qt's own.
void chooseQtParts();

// The desktop's name for the program, as its menu entry is named: the Wayland app_id, and
// what docks and task switchers match the window with.
inline constexpr char kDesktopFileName[] = "org.vexil.vexil";
