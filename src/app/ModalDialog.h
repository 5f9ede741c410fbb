// Showing a dialog modally, through a replaceable runner: the program's runs the dialog's
// own event loop (exec), tests install one that drives the dialog and closes it, so that no
// test waits on a modal window.
#pragma once

#include <functional>

class QDialog;

using ModalRunner = std::function<int(QDialog& dialog)>;

// Shows the dialog modally and answers its result.
int runModal(QDialog& dialog);

// Installs a runner (an empty one restores exec); returns the previous one.
ModalRunner setModalRunner(ModalRunner runner);
