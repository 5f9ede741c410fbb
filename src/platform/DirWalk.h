// Walks of directory trees of any depth: without recursion, with a bounded number of
// descriptors, in memory in proportion to the tree.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/DirListing.h"

namespace platform {

// One walk over one or more trees, depth first: a directory's entries come in bytewise
// name order (platform::listDirectory), a subdirectory is walked where its name falls. The walk keeps one record per
// directory it entered (name, parent, device, inode) and the names still to come in the
// directories it is inside; no path is kept whole. It holds at most `maxDescriptors`
// descriptors at once: a directory it has let go is opened again from a neighbour (from a
// child by "..", from an ancestor by name, a root by its path), and each such directory is
// checked against the device and inode recorded when the walk entered it, so a directory
// moved meanwhile is never taken for another (it is reported as gone, ENOENT).
//
// A root is followed when it is a symbolic link (as `find -H` does); a link met inside a
// tree is reported, never entered. Each directory is entered once per walk, however often
// it is met (a bind mount, a root given twice). FIFOs, sockets and devices are looked at
// with fstatat only, never opened.
class DirWalk {
public:
    // A directory the walk entered, numbered in the order entered.
    using DirId = std::uint32_t;
    static constexpr DirId kNoDir = 0xFFFFFFFFu;
    static constexpr std::size_t kDefaultMaxDescriptors = 64;

    enum class Kind {
        Directory,      // a subdirectory: the next call of next() enters it, unless prune()
        DirectoryLink,  // a symbolic link to a directory: never entered
        File,           // a regular file, or a symbolic link to one
        Special,        // a FIFO, socket or device (linked or not), or a dangling link
        Unreadable,     // a directory that cannot be opened or listed whole: `error` says why
    };

    struct Entry {
        Kind kind = Kind::File;
        DirId dir = kNoDir;  // the directory that holds it; kNoDir for a root
        std::string name;    // its name there; a root's path as given
        dev_t device = 0;    // the entry itself (a link, not its target)
        ino_t inode = 0;
        int error = 0;       // Unreadable: the system's errno
    };

    // maxDescriptors: at least 3 (the directory in use, one being opened, one listing).
    explicit DirWalk(std::size_t maxDescriptors = kDefaultMaxDescriptors);
    ~DirWalk();
    DirWalk(const DirWalk&) = delete;
    DirWalk& operator=(const DirWalk&) = delete;

    // Walks the directory at `path` next; entries of the walk under way that were not yet
    // returned are dropped. A root that cannot be opened comes back as Unreadable.
    void start(const std::string& path);
    // The next entry of the walk; false when it is done.
    bool next(Entry* entry);
    // Leaves the Directory that next() returned last unentered.
    void prune();

    // The path of an entered directory (and of `name` inside it) from its root as given:
    // for messages; it may be longer than the system takes.
    std::string path(DirId dir, std::string_view name = {}) const;
    // A descriptor of an entered directory, held by the walk until a later call on it may
    // let it go; -1 with errno set when the directory cannot be opened again (ENOENT when
    // it is no longer the one the walk entered).
    int directory(DirId dir);

    // The most descriptors the walk has held at once so far.
    std::size_t peakDescriptors() const { return peak_; }

private:
    struct Node {
        DirId parent;
        std::uint32_t depth;
        dev_t device;
        ino_t inode;
        std::string name;
    };
    struct Frame {
        DirId dir;
        std::vector<ListedName> names;
        std::size_t next = 0;
        int listError = 0;
    };
    struct Held {
        DirId dir;
        int fd;
        std::uint64_t used;
    };
    struct Pending {
        DirId parent;  // kNoDir: a root
        std::string name;
    };

    bool enter(const Pending& what, Entry* failure);
    void list(int fd, Frame& frame);
    Held* find(DirId dir);
    int use(Held& held);
    void hold(DirId dir, int fd);
    int check(DirId dir, int fd);
    void closeAll();
    void count(std::size_t transient);
    bool matches(int fd, const Node& node) const;
    int descend(DirId from, int fromFd, DirId to);
    int climb(DirId from, DirId to);
    DirId commonAncestor(DirId a, DirId b) const;

    std::size_t maxHeld_;
    std::vector<Node> nodes_;
    std::vector<Frame> frames_;
    std::vector<Held> held_;
    std::uint64_t clock_ = 0;
    std::size_t peak_ = 0;
    std::set<std::pair<dev_t, ino_t>> visited_;
    std::optional<Pending> pending_;
};

}  // namespace platform
