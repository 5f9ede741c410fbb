// What the program sets up once for the whole application before its window opens: Qt's
// own texts in Japanese whatever the user's locale, and nothing written between runs.
#pragma once

class QCoreApplication;

// Loads Qt's Japanese translation (qtbase_ja.qm from Qt's translation folder), so that the
// file dialog, its questions and the standard buttons speak Japanese, and makes Japanese
// the default locale. False when the translation is not installed (Qt's texts then stay
// English; nothing else changes).
bool speakJapanese(QCoreApplication& app);

// Qt keeps some state of its own between runs (the file dialog's history, last folder and
// view in QtProject.conf). The program keeps nothing: the user-scope settings path is
// pointed below /dev/null, where no directory can be made, so nothing is read or written.
void keepNothingBetweenRuns();
