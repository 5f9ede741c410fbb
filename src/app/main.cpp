// Program entry: --version and --help answered without a window; the application with its
// title, desktop name and font, Qt's texts in Japanese, no
// settings kept, the message boxes on screen, the main window; returns 0 however the
// program ends.
#include <QApplication>
#include <QMessageBox>
#include <exception>

#include "app/AppSetup.h"
#include "app/ColourScheme.h"
#include "qtshared/Looks.h"
#include "app/QtMessageBox.h"
#include "app/Unit1.h"

int main(int argc, char** argv) {
    if (answerWithoutWindow(argc, argv)) return 0;
    chooseQtParts();
    QApplication app(argc, argv);
    try {
        QApplication::setApplicationName(QStringLiteral("Vexil"));
        QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopFileName));
        QApplication::setFont(japaneseFont(12));
        QApplication::setWindowIcon(programIcon());
        speakJapanese(app);
        keepNothingBetweenRuns();
        installQtMessageBoxes();
        DesktopColourScheme colourScheme;  // light until the desktop says otherwise
        TForm1 form;
        form.show();
        // `vexil PATH`: QApplication has taken its own options out of argv; the path's bytes
        // go to the file system as they are.
        if (argc > 1) form.openPath(argv[1]);
        QApplication::exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, QStringLiteral("Vexil"), QString::fromLocal8Bit(e.what()));
    }
    return 0;
}
