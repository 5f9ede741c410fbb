#include "platform/PrivateFolder.h"

#include <cstdlib>
#include <filesystem>
#include <vector>

#include <sys/stat.h>

namespace platform {
namespace {

// $XDG_RUNTIME_DIR when it names an absolute path that is a folder, else /tmp.
std::string baseFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat st {};
    if (runtime && runtime[0] == '/' && ::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode)) return runtime;
    return "/tmp";
}

}  // namespace

PrivateFolder::PrivateFolder(std::string prefix) : prefix_(std::move(prefix)) {}

PrivateFolder::~PrivateFolder() {
    if (path_.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

const std::string& PrivateFolder::path() {
    if (!path_.empty()) return path_;
    std::string pattern = baseFolder() + "/" + prefix_ + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    // mkdtemp makes the folder with mode 0700 under a name no one else took.
    if (::mkdtemp(name.data())) path_ = name.data();
    return path_;
}

}  // namespace platform
