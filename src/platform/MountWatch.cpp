#include "platform/MountWatch.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace platform {

MountWatch::MountWatch(const std::string& mountInfo) {
    fd_ = ::open(mountInfo.c_str(), O_RDONLY | O_CLOEXEC);
    // The first poll reports nothing: the file's mark starts at the table as it is now.
    if (fd_ >= 0) changed(0);
}

MountWatch::~MountWatch() {
    if (fd_ >= 0) ::close(fd_);
}

// The kernel compares the table's event count with the one this open file last saw, and
// poll itself brings the file up to date, so a change is reported once.
bool MountWatch::changed(int timeoutMs) {
    if (fd_ < 0) return false;
    pollfd p{fd_, POLLPRI, 0};
    const int n = ::poll(&p, 1, timeoutMs);
    return n > 0 && (p.revents & (POLLPRI | POLLERR)) != 0;
}

}  // namespace platform
