#include "support/FifoWriter.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

namespace fixtures {
namespace {

constexpr char kMark = 'w';

// The state letter of a process ('R' running, 'S' asleep, ...), from /proc.
char stateOf(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() ? text[close + 2] : '?';
}

}  // namespace

FifoWriter::FifoWriter(std::string path) : path_(std::move(path)) {
    int ready[2];
    if (::mkfifo(path_.c_str(), 0600) != 0 || ::pipe(ready) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
        // Told the parent it is about to open; after that, the only place it sleeps is
        // the open, until a reader comes.
        ::close(ready[0]);
        if (::write(ready[1], &kMark, 1) != 1) ::_exit(4);
        ::close(ready[1]);
        const int fd = ::open(path_.c_str(), O_WRONLY);
        if (fd < 0) ::_exit(2);
        ::_exit(::write(fd, &kMark, 1) == 1 ? 0 : 3);
    }
    ::close(ready[1]);
    char byte = 0;
    const bool told = pid_ > 0 && ::read(ready[0], &byte, 1) == 1;
    ::close(ready[0]);
    if (!told) return;
    for (int i = 0; i < 500 && !started_; ++i) {
        started_ = stateOf(pid_) == 'S';
        if (!started_) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

bool FifoWriter::waiting() const { return pid_ > 0 && stateOf(pid_) == 'S'; }

bool FifoWriter::release() {
    if (pid_ <= 0) return false;
    const int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    // A writer let go before has written its byte into a pipe closed since, or died of
    // SIGPIPE: nothing comes, and the wait ends once it is seen gone (and one more look
    // found nothing).
    char byte = 0;
    bool arrived = false, gone = false;
    int status = 0;
    for (int i = 0; i < 250; ++i) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20) == 1 && ::read(fd, &byte, 1) == 1) {
            arrived = byte == kMark;
            break;
        }
        if (gone) break;
        gone = ::waitpid(pid_, &status, WNOHANG) == pid_;
    }
    ::close(fd);
    if (!gone) gone = ::waitpid(pid_, &status, 0) == pid_;
    if (gone) pid_ = -1;
    return arrived && gone && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

FifoWriter::~FifoWriter() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
}

}  // namespace fixtures
