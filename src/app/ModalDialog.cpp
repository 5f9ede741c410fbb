#include "app/ModalDialog.h"

#include <QDialog>

namespace {

ModalRunner& runnerSlot() {
    static ModalRunner runner;
    return runner;
}

}  // namespace

int runModal(QDialog& dialog) {
    const ModalRunner& runner = runnerSlot();
    return runner ? runner(dialog) : dialog.exec();
}

ModalRunner setModalRunner(ModalRunner runner) {
    ModalRunner previous = std::move(runnerSlot());
    runnerSlot() = std::move(runner);
    return previous;
}
