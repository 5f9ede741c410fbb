// Notice of mounts and unmounts: the kernel marks /proc/self/mountinfo with POLLPRI and
// POLLERR when the process's mount table changes. The watcher holds that file open; a
// toolkit's event loop can wait on fd() for that condition (no busy polling), and changed()
// tells whether a change came and takes note of it.
#pragma once

#include <string>

namespace platform {

class MountWatch {
public:
    explicit MountWatch(const std::string& mountInfo = "/proc/self/mountinfo");
    ~MountWatch();
    MountWatch(const MountWatch&) = delete;
    MountWatch& operator=(const MountWatch&) = delete;

    // The open file to wait on for priority data, or -1 when it cannot be opened.
    int fd() const { return fd_; }
    // True when the mount table changed since the last call (or since opening), waiting up
    // to timeoutMs for one. Each call takes note of what it reports.
    bool changed(int timeoutMs = 0);

private:
    int fd_ = -1;
};

}  // namespace platform
