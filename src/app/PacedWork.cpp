#include "app/PacedWork.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <algorithm>

namespace {

bool isUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseButtonDblClick:
        case QEvent::NonClientAreaMouseMove:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::InputMethod:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TouchCancel:
        case QEvent::TabletPress:
        case QEvent::TabletMove:
        case QEvent::TabletRelease:
            return true;
        default:
            return false;
    }
}

}  // namespace

// Watches every event of the application while work is pending: user input is dropped and
// an ESC press is noted.
class PacedWork::InputGate : public QObject {
public:
    InputGate() { QCoreApplication::instance()->installEventFilter(this); }
    ~InputGate() override { QCoreApplication::instance()->removeEventFilter(this); }

    bool escape = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) escape = true;
        return isUserInput(event->type());
    }
};

PacedWork::PacedWork(QObject* parent) : QObject(parent) {
    timer_.setSingleShot(true);
    timer_.setInterval(0);
    connect(&timer_, &QTimer::timeout, this, &PacedWork::runSlice);
}

// Work still pending when its owner goes is dropped without its finish: the owner is
// being destroyed and must not be called back.
PacedWork::~PacedWork() = default;

void PacedWork::start(Step step, Finish finish) {
    stop();
    ++generation_;
    step_ = std::move(step);
    finish_ = std::move(finish);
    gate_ = std::make_unique<InputGate>();
    sinceSlice_.invalidate();
    timer_.start();
}

void PacedWork::stop() {
    if (running()) end(End::Stopped);
}

void PacedWork::runSlice() {
    if (!running()) return;
    if (gate_->escape) {
        end(End::Escaped);
        return;
    }
    const qint64 eventTime = sinceSlice_.isValid() ? sinceSlice_.elapsed() : 0;
    const qint64 budget = std::clamp<qint64>(4 * eventTime, kMinSliceMs, kMaxSliceMs);
    const unsigned generation = generation_;
    const Step step = step_;  // a step may replace the work; this copy stays callable
    QElapsedTimer slice;
    slice.start();
    do {
        const bool more = step();
        if (generation_ != generation) return;  // stopped or replaced by the step itself
        if (!more) {
            end(End::Done);
            return;
        }
    } while (!slice.hasExpired(budget));
    sinceSlice_.start();
    timer_.start();
}

void PacedWork::end(End how) {
    ++generation_;
    timer_.stop();
    gate_.reset();
    step_ = nullptr;
    const Finish finish = std::move(finish_);
    finish_ = nullptr;
    if (finish) finish(how);
}
