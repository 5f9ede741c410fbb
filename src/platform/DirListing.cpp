#include "platform/DirListing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

namespace platform {
namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

bool bytewiseLess(std::string_view a, std::string_view b) { return a < b; }  // char_traits<char> compares as unsigned char

}  // namespace

bool nameOrderLess(std::string_view a, std::string_view b) {
    const auto fold = [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u >= 'a' && u <= 'z' ? u - 0x20 : u;
    };
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto fa = fold(a[i]), fb = fold(b[i]);
        if (fa != fb) return fa < fb;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    // Equal when folded: the bytes decide (upper-case letters first).
    return bytewiseLess(a, b);
}

int listDirectory(int fd, NameOrder order, const std::function<bool(std::string_view name)>& keep,
                  std::vector<ListedName>* names) {
    const int listFd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (listFd < 0) return errno;
    const std::unique_ptr<DIR, DirCloser> dir(::fdopendir(listFd));
    if (!dir) {
        const int error = errno;
        ::close(listFd);
        return error;
    }
    // The copy shares the directory's read position: the listing starts from the top.
    ::rewinddir(dir.get());
    errno = 0;
    while (const dirent* e = ::readdir(dir.get())) {
        const std::string_view name = e->d_name;
        if (keep(name)) names->push_back(ListedName{std::string(name), e->d_type});
        errno = 0;
    }
    const int error = errno;
    const auto less = order == NameOrder::Bytewise ? bytewiseLess : nameOrderLess;
    std::sort(names->begin(), names->end(), [less](const ListedName& a, const ListedName& b) { return less(a.name, b.name); });
    return error;
}

Target targetOf(int dirFd, const std::string& name) {
    struct stat st {};
    if (::fstatat(dirFd, name.c_str(), &st, 0) != 0) return Target::Other;
    if (S_ISDIR(st.st_mode)) return Target::Directory;
    return S_ISREG(st.st_mode) ? Target::File : Target::Other;
}

}  // namespace platform
