#include "qtshared/CenterDialog.h"

#include <QScreen>
#include <QWidget>

#include "qtshared/Scaling.h"

QPoint centeredDialogPos(const QRect& mainFrame, const QSize& dialog, const QRect& screen) {
    int left = mainFrame.left() + (mainFrame.width() - dialog.width()) / 2;
    int top = mainFrame.top() + (mainFrame.height() - dialog.height()) / 2;
    if (left + dialog.width() > screen.left() + screen.width()) left = screen.left() + screen.width() - dialog.width();
    if (top + dialog.height() > screen.top() + screen.height()) top = screen.top() + screen.height() - dialog.height();
    if (left < screen.left()) left = screen.left();
    if (top < screen.top()) top = screen.top();
    return {left, top};
}

void CenterDialog(QWidget* dialog, QWidget* mainWindow) {
    if (!dialog || !mainWindow) return;
    const QScreen* screen = screenOf(mainWindow);
    const QRect screenRect = screen ? screen->geometry() : QRect(0, 0, 0, 0);
    // Before a dialog is first shown its frame is not known; its outer size is then its size.
    dialog->move(centeredDialogPos(mainWindow->frameGeometry(), dialog->frameGeometry().size(), screenRect));
}
