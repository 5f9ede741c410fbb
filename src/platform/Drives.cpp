#include "platform/Drives.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/MbText.h"

namespace platform {
namespace {

constexpr std::string_view kPseudoTypes[] = {
    "proc", "sysfs", "devpts", "devtmpfs", "cgroup", "cgroup2", "cpuset", "securityfs", "debugfs",
    "tracefs", "pstore", "bpf", "configfs", "fusectl", "mqueue", "hugetlbfs", "efivarfs", "autofs",
    "binfmt_misc", "nsfs", "rpc_pipefs", "selinuxfs"};
constexpr std::string_view kRamTypes[] = {"tmpfs", "ramfs"};
constexpr std::string_view kNetworkTypes[] = {
    "nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "ncp", "afs", "9p", "ceph", "glusterfs", "gfs",
    "gfs2", "ocfs2", "lustre", "davfs", "sshfs"};
constexpr std::string_view kOpticalTypes[] = {"iso9660", "udf"};
constexpr std::string_view kDiskTypes[] = {
    "ext2", "ext3", "ext4", "xfs", "btrfs", "vfat", "msdos", "exfat", "ntfs", "ntfs3", "fuseblk",
    "f2fs", "hfsplus", "jfs", "reiserfs", "zfs", "overlay"};

// Mounts below these directories belong to the system, not to the user's drives.
constexpr std::string_view kSystemDirs[] = {"/dev", "/proc", "/sys", "/run"};
constexpr std::string_view kRunMedia = "/run/media/";

template <std::size_t N>
bool oneOf(std::string_view s, const std::string_view (&list)[N]) {
    return std::find(std::begin(list), std::end(list), s) != std::end(list);
}

bool isUnder(std::string_view path, std::string_view dir) {
    return path == dir || (path.size() > dir.size() && path.substr(0, dir.size()) == dir && path[dir.size()] == '/');
}

bool isSystemMount(std::string_view mountPoint) {
    if (mountPoint.substr(0, kRunMedia.size()) == kRunMedia) return false;
    return std::any_of(std::begin(kSystemDirs), std::end(kSystemDirs),
                       [&](std::string_view d) { return isUnder(mountPoint, d); });
}

bool isDirectory(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string readFirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string realPath(const std::string& path) {
    char buf[PATH_MAX];
    return realpath(path.c_str(), buf) ? std::string(buf) : std::string();
}

std::string currentDirectory() {
    char buf[PATH_MAX];
    return getcwd(buf, sizeof buf) ? std::string(buf) : std::string();
}

std::string parentDir(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::vector<std::string_view> splitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ') ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ') ++i;
        if (i > start) fields.push_back(line.substr(start, i - start));
    }
    return fields;
}

bool parseUnsigned(std::string_view s, unsigned& out) {
    if (s.empty() || s.size() > 9) return false;
    unsigned v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<unsigned>(c - '0');
    }
    out = v;
    return true;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

const char* glyphOf(DriveKind kind) {
    switch (kind) {
        case DriveKind::Removable: return "FLOPPY";
        case DriveKind::Fixed: return "HARD";
        case DriveKind::Network: return "NETWORK";
        case DriveKind::Optical: return "CDROM";
        case DriveKind::Ram: return "RAM";
    }
    return "HARD";
}

// Of mounts stacked on one point only the last one is visible: the one that is not the
// parent of another mount on the same point.
std::vector<const MountEntry*> visibleMounts(const std::vector<MountEntry>& all) {
    std::vector<const MountEntry*> out;
    for (const MountEntry& m : all) {
        const bool covered = std::any_of(all.begin(), all.end(), [&](const MountEntry& o) {
            return &o != &m && o.mountPoint == m.mountPoint && o.parentId == m.id;
        });
        if (covered) continue;
        auto same = std::find_if(out.begin(), out.end(), [&](const MountEntry* o) { return o->mountPoint == m.mountPoint; });
        if (same != out.end()) *same = &m;
        else out.push_back(&m);
    }
    return out;
}

}  // namespace

std::string decodeMountEscapes(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const char a = field[i + 1], b = field[i + 2], c = field[i + 3];
            if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
                out += static_cast<char>(((a - '0') << 6) | ((b - '0') << 3) | (c - '0'));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

std::string decodeLabel(std::string_view linkName) {
    std::string out;
    out.reserve(linkName.size());
    for (std::size_t i = 0; i < linkName.size(); ++i) {
        if (linkName[i] == '\\' && i + 3 < linkName.size() && linkName[i + 1] == 'x') {
            const int hi = hexDigit(linkName[i + 2]), lo = hexDigit(linkName[i + 3]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 3;
                continue;
            }
        }
        out += linkName[i];
    }
    return out;
}

std::vector<MountEntry> parseMountInfo(std::string_view text) {
    std::vector<MountEntry> out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        const std::vector<std::string_view> f = splitFields(text.substr(pos, end - pos));
        pos = end + 1;

        // id parent major:minor root mount-point options [optional fields...] - type source super-options
        if (f.size() < 8) continue;
        std::size_t dash = 6;
        while (dash < f.size() && f[dash] != "-") ++dash;
        if (dash + 1 >= f.size()) continue;
        MountEntry m;
        unsigned id = 0, parent = 0;
        const std::size_t colon = f[2].find(':');
        if (!parseUnsigned(f[0], id) || !parseUnsigned(f[1], parent) || colon == std::string_view::npos ||
            !parseUnsigned(f[2].substr(0, colon), m.major) || !parseUnsigned(f[2].substr(colon + 1), m.minor))
            continue;
        m.id = static_cast<int>(id);
        m.parentId = static_cast<int>(parent);
        m.root = decodeMountEscapes(f[3]);
        m.mountPoint = decodeMountEscapes(f[4]);
        m.fsType = decodeMountEscapes(f[dash + 1]);
        if (dash + 2 < f.size()) m.source = decodeMountEscapes(f[dash + 2]);
        if (m.mountPoint.empty() || m.mountPoint.front() != '/') continue;
        out.push_back(std::move(m));
    }
    return out;
}

std::optional<DriveKind> driveKindOf(std::string_view fsType) {
    if (oneOf(fsType, kPseudoTypes)) return std::nullopt;
    if (oneOf(fsType, kRamTypes)) return DriveKind::Ram;
    if (oneOf(fsType, kOpticalTypes)) return DriveKind::Optical;
    if (oneOf(fsType, kDiskTypes)) return DriveKind::Fixed;
    std::string_view bare = fsType;
    if (bare.substr(0, 5) == "fuse.") bare.remove_prefix(5);
    if (oneOf(bare, kNetworkTypes)) return DriveKind::Network;
    return std::nullopt;
}

std::string driveRoot(std::string_view mountPoint) {
    std::string root(mountPoint);
    if (root.empty() || root.back() != '/') root += '/';
    return root;
}

std::string mountContaining(const std::vector<Drive>& drives, std::string_view path) {
    std::string best = "/";
    for (const Drive& d : drives)
        if (d.mountPoint != "/" && d.mountPoint.size() > best.size() && isUnder(path, d.mountPoint)) best = d.mountPoint;
    return best;
}

DriveTable::DriveTable(SystemRoots roots) : roots_(std::move(roots)) {}

void DriveTable::setRoots(SystemRoots roots) {
    roots_ = std::move(roots);
    lastDirs_.clear();
}

std::string DriveTable::deviceName(const MountEntry& m) const {
    if (m.major != 0) {
        const std::string dev = realPath(roots_.sysDevBlock + "/" + std::to_string(m.major) + ":" + std::to_string(m.minor));
        if (!dev.empty()) return std::string(baseName(dev));
    }
    if (m.source.substr(0, 5) != "/dev/") return {};
    const std::string resolved = realPath(m.source);
    return std::string(baseName(resolved.empty() ? m.source : resolved));
}

bool DriveTable::isRemovable(const MountEntry& m) const {
    if (m.major == 0) return false;
    const std::string dev = realPath(roots_.sysDevBlock + "/" + std::to_string(m.major) + ":" + std::to_string(m.minor));
    if (dev.empty()) return false;
    // A partition's removable flag is its disk's, one directory up.
    struct stat st {};
    const std::string disk = stat((dev + "/partition").c_str(), &st) == 0 ? parentDir(dev) : dev;
    return readFirstLine(disk + "/removable") == "1";
}

std::string DriveTable::labelOf(const MountEntry& m) const {
    const std::string dev = deviceName(m);
    if (dev.empty()) return {};
    DIR* dir = opendir(roots_.byLabel.c_str());
    if (!dir) return {};
    std::string label;
    while (const dirent* d = readdir(dir)) {
        if (d->d_name[0] == '.') continue;
        char target[PATH_MAX];
        const std::string link = roots_.byLabel + "/" + d->d_name;
        const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
        if (n <= 0) continue;
        if (baseName(std::string_view(target, static_cast<std::size_t>(n))) == dev) {
            label = decodeLabel(d->d_name);
            break;
        }
    }
    closedir(dir);
    return label;
}

std::vector<Drive> DriveTable::drivesFrom(std::string_view mountInfoText) const {
    const std::vector<MountEntry> all = parseMountInfo(mountInfoText);
    std::vector<Drive> drives;
    bool haveRoot = false;
    for (const MountEntry* m : visibleMounts(all)) {
        const bool isRoot = m->mountPoint == "/";
        std::optional<DriveKind> kind = driveKindOf(m->fsType);
        if (isRoot && !kind) kind = DriveKind::Fixed;
        if (!kind || (!isRoot && isSystemMount(m->mountPoint))) continue;
        // A network mount's root is not touched (its server may not answer); any other
        // mount point must be a directory (files can be bind-mounted too).
        if (*kind != DriveKind::Network && !isRoot && !isDirectory(m->mountPoint)) continue;
        if (*kind == DriveKind::Fixed && isRemovable(*m)) kind = DriveKind::Removable;

        Drive d;
        d.mountPoint = m->mountPoint;
        d.kind = *kind;
        d.glyph = glyphOf(*kind);
        if (*kind == DriveKind::Removable) d.text = d.mountPoint;
        else if (*kind == DriveKind::Network && !m->source.empty() && m->source != "none") d.text = d.mountPoint + " " + m->source;
        else d.text = d.mountPoint + " [" + labelOf(*m) + "]";
        haveRoot = haveRoot || isRoot;
        drives.push_back(std::move(d));
    }
    if (!haveRoot) drives.push_back({"/", DriveKind::Fixed, "/ []", glyphOf(DriveKind::Fixed)});
    std::sort(drives.begin(), drives.end(), [](const Drive& a, const Drive& b) { return a.mountPoint < b.mountPoint; });
    return drives;
}

std::vector<Drive> DriveTable::list() const { return drivesFrom(readAll(roots_.mountInfo)); }

std::string DriveTable::currentDrive() const {
    const std::string cwd = currentDirectory();
    return cwd.empty() ? std::string("/") : mountContaining(list(), cwd);
}

bool DriveTable::enter(const std::string& mountPoint) {
    const std::vector<Drive> drives = list();
    const bool listed = std::any_of(drives.begin(), drives.end(), [&](const Drive& d) { return d.mountPoint == mountPoint; });
    if (!listed) return false;

    const std::string cwd = currentDirectory();
    const std::string from = cwd.empty() ? std::string() : mountContaining(drives, cwd);
    if (from == mountPoint) return true;
    const auto remembered = [this](const std::string& mp) {
        return std::find_if(lastDirs_.begin(), lastDirs_.end(), [&](const auto& e) { return e.first == mp; });
    };
    if (!from.empty()) {
        auto it = remembered(from);
        if (it != lastDirs_.end()) it->second = cwd;
        else lastDirs_.emplace_back(from, cwd);
    }
    auto last = remembered(mountPoint);
    if (last != lastDirs_.end() && mountContaining(drives, last->second) == mountPoint && chdir(last->second.c_str()) == 0)
        return true;
    return chdir(mountPoint.c_str()) == 0;
}

DriveTable& systemDrives() {
    static DriveTable table;
    return table;
}

}  // namespace platform
