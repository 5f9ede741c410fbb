// Program entry: the application with its title and font, the message boxes on screen,
// the main window; returns 0 however the program ends.
#include <QApplication>
#include <QMessageBox>
#include <exception>

#include "qtshared/Looks.h"
#include "app/QtMessageBox.h"
#include "app/Unit1.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    try {
        QApplication::setApplicationName(QStringLiteral("Vexil"));
        QApplication::setFont(japaneseFont(12));
        QApplication::setWindowIcon(programIcon());
        installQtMessageBoxes();
        TForm1 form;
        form.show();
        QApplication::exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, QStringLiteral("Vexil"), QString::fromLocal8Bit(e.what()));
    }
    return 0;
}
