// A writer waiting on a FIFO, as a program writing to a named pipe waits in open() until a
// reader comes: a child process that opens the FIFO for writing, writes one byte and exits.
// Opening the FIFO for reading, even for an instant, lets it go and loses its byte; a test
// checks with it that a file was never opened.
#pragma once

#include <sys/types.h>

#include <string>

namespace fixtures {

class FifoWriter {
public:
    // Makes the FIFO at `path` and starts the writer; returns once it waits in open().
    explicit FifoWriter(std::string path);
    ~FifoWriter();
    FifoWriter(const FifoWriter&) = delete;
    FifoWriter& operator=(const FifoWriter&) = delete;

    // The writer was started and was seen waiting in open().
    bool started() const { return started_; }
    // It still waits in open(): a reader that came, even for an instant, woke it (then it
    // writes and exits, or dies of SIGPIPE), and it never sleeps again.
    bool waiting() const;
    // Opens the FIFO for reading, which the writer waits for: true when its byte arrives
    // and it exits normally, which it does only when nothing opened the FIFO before.
    bool release();

private:
    std::string path_;
    pid_t pid_ = -1;
    bool started_ = false;
};

}  // namespace fixtures
