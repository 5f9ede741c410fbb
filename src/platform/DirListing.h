// Reading one directory: the primitives under every directory walk of the program, the
// window's search over one directory (DirEnum) and the tree walk of `extract` (DirWalk).
// A listing is read whole and sorted, in one of two orders, through a descriptor of its own.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Orders names as the file systems of the system we re-create list a directory: ASCII
// letters compared regardless of case, names equal so compared ordered by their bytes.
// True when a goes before b.
bool nameOrderLess(std::string_view a, std::string_view b);

enum class NameOrder {
    Bytewise,           // unsigned bytes, a prefix before the longer name
    IgnoringAsciiCase,  // nameOrderLess
};

struct ListedName {
    std::string name;        // raw bytes, as the directory holds them
    unsigned char type = 0;  // the directory entry's d_type (DT_UNKNOWN where the file system gives none)
};

// The names of the directory open as `fd`, read through a descriptor of its own (so `fd`
// stays free for the *at calls), those `keep` takes ("." and ".." are offered like any
// other name), sorted by `order`. Returns 0, or the errno of a listing that failed; the
// names read before a failure are kept. Memory in proportion to the directory.
int listDirectory(int fd, NameOrder order, const std::function<bool(std::string_view name)>& keep,
                  std::vector<ListedName>* names);

// What `name` in the directory open as `dirFd` leads to, a symbolic link followed:
// a directory, a regular file, or anything else (a FIFO, socket or device, or a link that
// leads nowhere or loops). Looked at with fstatat only, never opened.
enum class Target { Directory, File, Other };
Target targetOf(int dirFd, const std::string& name);

}  // namespace platform
