#include "platform/StagedFolder.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/MbText.h"
#include "platform/SystemError.h"

namespace platform {
namespace {

// Hidden names tried before giving up.
constexpr int kNameAttempts = 64;

std::string folderOf(const std::string& path) {
    const std::size_t slash = findLastChar(path, kPathSeparator);
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// A name for something beside `target` that is not there yet: ".NAME.XXXXXX".
std::string hiddenNameBeside(const std::string& target) {
    static thread_local std::mt19937 random{std::random_device{}()};
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string suffix(6, 'x');
    for (char& c : suffix) c = kLetters[random() % (sizeof kLetters - 1)];
    return joinPath(folderOf(target), "." + std::string(baseName(target)) + "." + suffix);
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Flushes a folder's entries to the disk; false when it cannot.
bool syncFolder(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

bool makeFolders(const std::string& folder, std::vector<std::string>* made, std::string* error) {
    std::vector<std::string> missing;
    for (std::string at = folder; !at.empty() && at != "/";) {
        struct stat st {};
        if (::stat(at.c_str(), &st) == 0) {
            if (S_ISDIR(st.st_mode)) break;
            *error = systemErrorText(ENOTDIR);
            return false;
        }
        missing.push_back(at);
        const std::size_t slash = at.rfind('/');
        at = slash == std::string::npos ? std::string() : at.substr(0, slash);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (::mkdir(it->c_str(), 0777) != 0 && errno != EEXIST) {
            *error = systemErrorText(errno);
            return false;
        }
        made->push_back(*it);
    }
    return true;
}

bool removeTree(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
    return !ec && !exists(path);
}

StagedFolder::~StagedFolder() { discard(); }

void StagedFolder::discard() {
    if (!staging_.empty()) removeTree(staging_);
    staging_.clear();
}

bool StagedFolder::fail(int error) {
    error_ = systemErrorText(error);
    if (!staging_.empty()) removeTree(staging_);
    staging_.clear();
    return false;
}

bool StagedFolder::create(const std::string& target) {
    if (!staging_.empty()) removeTree(staging_);
    staging_.clear();
    error_.clear();
    leftover_.clear();
    target_ = target;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string name = hiddenNameBeside(target);
        if (::mkdir(name.c_str(), 0777) == 0) {
            staging_ = name;
            return true;
        }
        if (errno != EEXIST) return fail(errno);
    }
    return fail(EEXIST);
}

bool StagedFolder::publish(Existing existing) {
    if (staging_.empty()) return fail(ENOENT);
    // The files were flushed by their writers; the folders' entries are flushed here, the
    // deepest first, so that the tree is whole on the disk before it takes its place.
    std::error_code ec;
    std::vector<std::string> folders{staging_};
    for (auto it = std::filesystem::recursive_directory_iterator(staging_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        if (it->is_directory(ec) && !it->is_symlink(ec)) folders.push_back(it->path().string());
    if (ec) return fail(ec.value());
    for (auto it = folders.rbegin(); it != folders.rend(); ++it)
        if (!syncFolder(*it)) return fail(errno);

    const unsigned flags = existing == Existing::Keep ? RENAME_NOREPLACE : RENAME_EXCHANGE;
    bool swapped = false;
    if (::renameat2(AT_FDCWD, staging_.c_str(), AT_FDCWD, target_.c_str(), flags) == 0) {
        swapped = existing == Existing::Replace;
    } else if (errno == ENOENT && existing == Existing::Replace) {
        // Nothing to swap with: a plain move, which must still replace nothing.
        if (::renameat2(AT_FDCWD, staging_.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE) != 0) return fail(errno);
    } else if (errno == EINVAL || errno == ENOSYS) {
        // A file system without these renames: the same steps, no longer in one.
        if (!exists(target_)) {
            if (::rename(staging_.c_str(), target_.c_str()) != 0) return fail(errno);
        } else {
            if (existing == Existing::Keep) return fail(EEXIST);
            const std::string aside = hiddenNameBeside(target_);
            if (::rename(target_.c_str(), aside.c_str()) != 0) return fail(errno);
            if (::rename(staging_.c_str(), target_.c_str()) != 0) {
                const int error = errno;
                ::rename(aside.c_str(), target_.c_str());
                return fail(error);
            }
            staging_ = aside;
            swapped = true;
        }
    } else {
        return fail(errno);
    }
    // The staging name now holds the old target, or nothing.
    syncFolder(folderOf(target_));
    if (swapped && !removeTree(staging_)) leftover_ = staging_;
    staging_.clear();
    return true;
}

}  // namespace platform
