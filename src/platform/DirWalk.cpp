#include "platform/DirWalk.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/MbText.h"

namespace platform {
namespace {

constexpr int kDirectoryFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

void closeKeepingErrno(int fd) {
    const int error = errno;
    ::close(fd);
    errno = error;
}

}  // namespace

// One descriptor is kept free for the one being opened or listed beside those held.
DirWalk::DirWalk(std::size_t maxDescriptors) : maxHeld_(std::max<std::size_t>(maxDescriptors, 3) - 1) {}

DirWalk::~DirWalk() { closeAll(); }

void DirWalk::closeAll() {
    for (const Held& h : held_) ::close(h.fd);
    held_.clear();
}

void DirWalk::count(std::size_t transient) { peak_ = std::max(peak_, held_.size() + transient); }

void DirWalk::start(const std::string& path) {
    frames_.clear();
    pending_ = Pending{kNoDir, path};
}

void DirWalk::prune() { pending_.reset(); }

bool DirWalk::next(Entry* entry) {
    for (;;) {
        if (pending_) {
            const Pending what = std::move(*pending_);
            pending_.reset();
            if (!enter(what, entry)) return true;
            continue;
        }
        if (frames_.empty()) return false;
        Frame& frame = frames_.back();
        const Node& node = nodes_[frame.dir];
        if (frame.listError != 0) {
            *entry = Entry{Kind::Unreadable, node.parent, node.name, node.device, node.inode, frame.listError};
            frame.listError = 0;
            return true;
        }
        if (frame.next == frame.names.size()) {
            frames_.pop_back();
            continue;
        }
        std::string name = std::move(frame.names[frame.next++].name);
        const DirId dir = frame.dir;
        const int fd = directory(dir);
        if (fd < 0) {
            // The directory cannot be found again: what is left of it cannot be read.
            *entry = Entry{Kind::Unreadable, node.parent, node.name, node.device, node.inode, errno};
            frames_.pop_back();
            return true;
        }
        struct stat st {};
        if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone since the listing
        Entry e{Kind::File, dir, {}, st.st_dev, st.st_ino, 0};
        if (S_ISDIR(st.st_mode)) {
            e.kind = Kind::Directory;
            pending_ = Pending{dir, name};
        } else {
            // A link is looked at through: a directory is reported, a file is a file.
            const Target target = S_ISLNK(st.st_mode) ? targetOf(fd, name)
                                  : S_ISREG(st.st_mode) ? Target::File
                                                        : Target::Other;
            e.kind = target == Target::Directory ? Kind::DirectoryLink : target == Target::File ? Kind::File : Kind::Special;
        }
        e.name = std::move(name);
        *entry = std::move(e);
        return true;
    }
}

// Opens a root or the subdirectory next() returned last; false with *failure set when it
// cannot be opened. A directory entered before is passed by in silence.
bool DirWalk::enter(const Pending& what, Entry* failure) {
    int fd = -1;
    if (what.parent == kNoDir) {
        fd = ::open(what.name.c_str(), kDirectoryFlags);
    } else {
        const int parentFd = directory(what.parent);
        if (parentFd >= 0) fd = ::openat(parentFd, what.name.c_str(), kDirectoryFlags | O_NOFOLLOW);
    }
    struct stat st {};
    if (fd >= 0 && ::fstat(fd, &st) != 0) {
        closeKeepingErrno(fd);
        fd = -1;
    }
    if (fd < 0) {
        *failure = Entry{Kind::Unreadable, what.parent, what.name, 0, 0, errno};
        return false;
    }
    if (!visited_.insert({st.st_dev, st.st_ino}).second) {
        ::close(fd);
        return true;
    }
    const DirId id = static_cast<DirId>(nodes_.size());
    const std::uint32_t depth = what.parent == kNoDir ? 0 : nodes_[what.parent].depth + 1;
    nodes_.push_back(Node{what.parent, depth, st.st_dev, st.st_ino, what.name});
    hold(id, fd);
    Frame frame;
    frame.dir = id;
    list(fd, frame);
    frames_.push_back(std::move(frame));
    return true;
}

// Reads the names of the directory, sorted bytewise; the walk's descriptor stays for the
// *at calls.
void DirWalk::list(int fd, Frame& frame) {
    count(1);  // the listing's own descriptor
    frame.listError = listDirectory(fd, NameOrder::Bytewise, [](std::string_view n) { return n != "." && n != ".."; },
                                    &frame.names);
}

DirWalk::Held* DirWalk::find(DirId dir) {
    for (Held& h : held_)
        if (h.dir == dir) return &h;
    return nullptr;
}

int DirWalk::use(Held& h) {
    h.used = ++clock_;
    return h.fd;
}

// Holds fd for dir, letting go of the directory used longest ago when the walk holds its
// most.
void DirWalk::hold(DirId dir, int fd) {
    count(1);
    if (held_.size() < maxHeld_) {
        held_.push_back(Held{dir, fd, ++clock_});
        return;
    }
    Held& oldest = *std::min_element(held_.begin(), held_.end(), [](const Held& a, const Held& b) { return a.used < b.used; });
    ::close(oldest.fd);
    oldest = Held{dir, fd, ++clock_};
}

bool DirWalk::matches(int fd, const Node& node) const {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && st.st_dev == node.device && st.st_ino == node.inode;
}

// Takes the descriptor just opened for `dir` when it is the directory the walk entered.
int DirWalk::check(DirId dir, int fd) {
    if (fd < 0) return -1;
    if (!matches(fd, nodes_[dir])) {
        ::close(fd);
        errno = ENOENT;
        return -1;
    }
    hold(dir, fd);
    return fd;
}

DirWalk::DirId DirWalk::commonAncestor(DirId a, DirId b) const {
    while (a != kNoDir && b != kNoDir && nodes_[a].depth > nodes_[b].depth) a = nodes_[a].parent;
    while (a != kNoDir && b != kNoDir && nodes_[b].depth > nodes_[a].depth) b = nodes_[b].parent;
    while (a != b && a != kNoDir && b != kNoDir) {
        a = nodes_[a].parent;
        b = nodes_[b].parent;
    }
    return a == b ? a : kNoDir;
}

// From a held directory up to its ancestor `to`, by "..".
int DirWalk::climb(DirId from, DirId to) {
    Held* start = find(from);
    int fd = start ? use(*start) : -1;
    for (DirId at = from; fd >= 0 && at != to;) {
        const DirId up = nodes_[at].parent;
        if (Held* h = find(up)) fd = use(*h);
        else fd = check(up, ::openat(fd, "..", kDirectoryFlags));
        at = up;
    }
    return fd;
}

// From the directory open as fromFd down to its descendant `to`, by name.
int DirWalk::descend(DirId from, int fromFd, DirId to) {
    std::vector<DirId> way;  // `to` first
    for (DirId at = to; at != from; at = nodes_[at].parent) way.push_back(at);
    int fd = fromFd;
    for (auto it = way.rbegin(); fd >= 0 && it != way.rend(); ++it) {
        if (Held* h = find(*it)) fd = use(*h);
        else fd = check(*it, ::openat(fd, nodes_[*it].name.c_str(), kDirectoryFlags | O_NOFOLLOW));
    }
    return fd;
}

// The way to a directory let go: down from its nearest ancestor still held (or from its
// root, opened by its path), or up from the directory used last to where their ways
// meet and down from there, whichever opens fewer directories.
int DirWalk::directory(DirId target) {
    if (target >= nodes_.size()) {
        errno = EINVAL;
        return -1;
    }
    if (Held* h = find(target)) return use(*h);
    const auto last = std::max_element(held_.begin(), held_.end(), [](const Held& a, const Held& b) { return a.used < b.used; });
    DirId ancestor = nodes_[target].parent;
    while (ancestor != kNoDir && !find(ancestor)) ancestor = nodes_[ancestor].parent;
    const std::uint32_t depth = nodes_[target].depth;
    const std::uint32_t downCost = ancestor == kNoDir ? depth + 1 : depth - nodes_[ancestor].depth;

    if (last != held_.end()) {
        const DirId from = last->dir;
        const DirId meet = commonAncestor(from, target);
        if (meet != kNoDir && nodes_[from].depth - nodes_[meet].depth + depth - nodes_[meet].depth < downCost) {
            const int meetFd = climb(from, meet);
            if (meetFd >= 0) return descend(meet, meetFd, target);
        }
    }
    if (ancestor != kNoDir) return descend(ancestor, use(*find(ancestor)), target);
    DirId root = target;
    while (nodes_[root].parent != kNoDir) root = nodes_[root].parent;
    const int rootFd = check(root, ::open(nodes_[root].name.c_str(), kDirectoryFlags));
    return rootFd < 0 ? -1 : descend(root, rootFd, target);
}

std::string DirWalk::path(DirId dir, std::string_view name) const {
    if (dir >= nodes_.size()) return std::string(name);
    std::vector<DirId> chain;
    for (DirId at = dir; at != kNoDir; at = nodes_[at].parent) chain.push_back(at);
    // Only the root as given may end in a separator; below it, names are joined by "/".
    std::string below;
    for (auto it = chain.rbegin() + 1; it != chain.rend(); ++it) {
        if (!below.empty()) below += kPathSeparator;
        below += nodes_[*it].name;
    }
    if (!name.empty()) {
        if (!below.empty()) below += kPathSeparator;
        below += name;
    }
    const std::string& root = nodes_[chain.back()].name;
    return below.empty() ? root : joinPath(root, below);
}

}  // namespace platform
