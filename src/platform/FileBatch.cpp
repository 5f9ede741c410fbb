#include "platform/FileBatch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <set>

#include "platform/SystemError.h"

namespace platform {
namespace {

// A folder opened for its syncs; the descriptor closes with it.
struct Folder {
    int fd = -1;
    int error = 0;  // why it could not be opened or its file system not synced
    std::vector<std::string> named;  // the files renamed into it
    Folder() = default;
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    ~Folder() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

std::vector<FileBatch::Failure> FileBatch::flush() {
    std::vector<Failure> failures;
    std::map<std::string, Folder> folders;
    for (const auto& file : files_) folders[file->folder()];

    // One sync for each file system the temporary files lie on: their bytes and inodes
    // are on the disk before any of them gets its name.
    std::set<dev_t> synced;
    for (auto& [path, folder] : folders) {
        folder.fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat st {};
        if (folder.fd < 0 || ::fstat(folder.fd, &st) != 0) {
            folder.error = errno;
            continue;
        }
        if (synced.count(st.st_dev) == 0) {
            if (::syncfs(folder.fd) != 0) folder.error = errno;
            else synced.insert(st.st_dev);
        }
    }
    for (auto& file : files_) {
        Folder& folder = folders[file->folder()];
        if (folder.error != 0) {
            file->discard();
            failures.push_back({file->target(), systemErrorText(folder.error)});
        } else if (!file->publish()) {
            failures.push_back({file->target(), file->error()});
        } else {
            folder.named.push_back(file->target());
        }
    }
    // The names themselves last once their folders are synced.
    for (auto& [path, folder] : folders) {
        if (folder.named.empty() || ::fsync(folder.fd) == 0) continue;
        const std::string reason = systemErrorText(errno);
        for (const std::string& name : folder.named) failures.push_back({name, reason});
    }
    files_.clear();
    return failures;
}

}  // namespace platform
