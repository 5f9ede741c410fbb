// Long work of a window (listing a directory, filling the icon strip), done on the window's
// thread in steps run from the event loop. Between slices of steps the window repaints and
// ESC is read from the key events; while the work is pending every other key, mouse, wheel
// and touch event of the application is dropped, so the user cannot act on a window whose
// contents are still being built. Drops still arrive (their sender is another program that
// waits for an answer): the window keeps a drop until the work ends.
//
// The work never handles events itself: a slice is started by the event loop, runs steps
// for a bounded time and returns to the loop. So no event is ever handled inside a window's
// show, close or destruction, nor inside the handler that started the work; start() only
// schedules the first slice, which runs after the events already waiting (an ESC pressed
// before the work began stops it before its first step).
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

class PacedWork : public QObject {
public:
    enum class End {
        Done,     // the last step said there is nothing more to do
        Escaped,  // ESC was pressed
        Stopped,  // stop() or a new start()
    };
    // Does one unit of the work; false when nothing is left to do.
    using Step = std::function<bool()>;
    using Finish = std::function<void(End)>;

    // A slice runs steps for at least kMinSliceMs, and for four times as long as the event
    // loop took between two slices, but never longer than kMaxSliceMs: a busy window's
    // repaints then take a bounded share of the work.
    static constexpr int kMinSliceMs = 20;
    static constexpr int kMaxSliceMs = 100;

    explicit PacedWork(QObject* parent = nullptr);
    ~PacedWork() override;

    // Stops the current work (its finish sees Stopped), then schedules `step` to run until
    // it answers false, ESC is pressed or the work is stopped; `finish` runs once at the end.
    void start(Step step, Finish finish);
    // Ends the work now; finish sees Stopped. Nothing happens when no work is pending.
    // Safe to call from inside a step (the step's slice ends when it returns).
    void stop();
    bool running() const { return static_cast<bool>(step_); }

private:
    class InputGate;

    void runSlice();
    void end(End how);

    Step step_;
    Finish finish_;
    std::unique_ptr<InputGate> gate_;
    QTimer timer_;
    QElapsedTimer sinceSlice_;  // since the last slice returned to the event loop
    unsigned generation_ = 0;   // counts starts and ends, so a slice sees its work replaced
};
