// The program's message boxes on screen: a QMessageBox with the buttons and the icon that
// the box's style value asks for, modal over the active window.
#pragma once

#include <string>

int showQtMessageBox(const std::string& text, const std::string& title, unsigned style);

// Routes platform::messageBox to showQtMessageBox.
void installQtMessageBoxes();
