// Placing a dialog centred over the main window and inside the screen, as both modal
// dialogs (the icon save dialog and the About box) are placed.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

// The top-left corner that centres a dialog of outer size `dialog` over the main window's
// outer rectangle `mainFrame`, moved back inside `screen` (left and top win when the dialog
// is larger than the screen). Divisions truncate toward zero.
QPoint centeredDialogPos(const QRect& mainFrame, const QSize& dialog, const QRect& screen);

// Moves `dialog` to centeredDialogPos over `mainWindow`, within the screen that shows the
// main window (the primary screen when it has none).
void CenterDialog(QWidget* dialog, QWidget* mainWindow);
