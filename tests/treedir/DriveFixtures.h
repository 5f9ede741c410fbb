// Helpers for tests that need drives: sample mount table lines, a fake mount table that the
// process-wide drive table reads while the object lives, and a guard for the current
// directory (entering a drive changes it). Toolkit-free.
#pragma once

#include <unistd.h>

#include <climits>
#include <string>
#include <vector>

#include "platform/Drives.h"
#include "support/ImageFixtures.h"

namespace fixtures {

// One mount table line; blanks, tabs and backslashes in the mount point are escaped the
// way the kernel writes them.
inline std::string mountLine(int id, int parent, const std::string& devNumber, const std::string& mountPoint,
                             const std::string& fsType, const std::string& source) {
    std::string escaped;
    for (char c : mountPoint) {
        if (c == ' ') escaped += "\\040";
        else if (c == '\t') escaped += "\\011";
        else if (c == '\\') escaped += "\\134";
        else escaped += c;
    }
    return std::to_string(id) + " " + std::to_string(parent) + " " + devNumber + " / " + escaped +
           " rw,relatime shared:1 - " + fsType + " " + source + " rw\n";
}

class CwdGuard {
public:
    CwdGuard() {
        char buf[PATH_MAX];
        if (getcwd(buf, sizeof buf)) saved_ = buf;
    }
    ~CwdGuard() {
        if (!saved_.empty() && chdir(saved_.c_str()) != 0) saved_.clear();
    }
    CwdGuard(const CwdGuard&) = delete;
    CwdGuard& operator=(const CwdGuard&) = delete;

private:
    std::string saved_;
};

inline std::string currentDir() {
    char buf[PATH_MAX];
    return getcwd(buf, sizeof buf) ? std::string(buf) : std::string();
}

// Points the process-wide drive table at a mount table file in `dir` that lists "/" and
// the given mount points (ext4 each); restores the real tables and the current
// directory when it goes.
class FakeMounts {
public:
    FakeMounts(const TempDir& dir, const std::vector<std::string>& mountPoints) : file_(dir.file("mountinfo")) {
        setMounts(mountPoints);
        platform::SystemRoots roots;
        roots.mountInfo = file_;
        roots.sysDevBlock = dir.file("no-sys");
        roots.byLabel = dir.file("no-labels");
        previous_ = platform::systemDrives().roots();
        platform::systemDrives().setRoots(roots);
    }
    ~FakeMounts() { platform::systemDrives().setRoots(previous_); }
    FakeMounts(const FakeMounts&) = delete;
    FakeMounts& operator=(const FakeMounts&) = delete;

    void setMounts(const std::vector<std::string>& mountPoints) {
        std::string text = mountLine(1, 0, "0:1", "/", "ext4", "/dev/root");
        int id = 2;
        for (const std::string& mp : mountPoints) {
            text += mountLine(id, 1, "0:" + std::to_string(100 + id), mp, "ext4", "/dev/x");
            ++id;
        }
        writeFile(file_, Bytes(text.begin(), text.end()));
    }

private:
    CwdGuard cwd_;
    std::string file_;
    platform::SystemRoots previous_;
};

}  // namespace fixtures
