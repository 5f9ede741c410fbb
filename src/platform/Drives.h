// Drives on Linux: a drive is a mount point. The list comes from the mount table
// (/proc/self/mountinfo), each mount classified by its file system type; removable media,
// volume labels and network sources come from sysfs, /dev/disk/by-label and the table.
// Every file system location read here is a member of SystemRoots, so tests can point
// them at temporary directories.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class DriveKind { Removable, Fixed, Network, Optical, Ram };

// One line of the mount table, with its escapes decoded.
struct MountEntry {
    int id = 0;
    int parentId = 0;
    unsigned major = 0;
    unsigned minor = 0;
    std::string root;        // the directory of the file system mounted here
    std::string mountPoint;
    std::string fsType;
    std::string source;
};

struct Drive {
    std::string mountPoint;  // "/", "/home", "/media/ann/USB" (no trailing separator but "/")
    DriveKind kind = DriveKind::Fixed;
    std::string text;        // entry text: "/home [data]", "/mnt/share //server/share", "/media/usb"
    std::string glyph;       // glyph resource name: "FLOPPY", "HARD", "NETWORK", "CDROM", "RAM"
};

struct SystemRoots {
    std::string mountInfo = "/proc/self/mountinfo";
    std::string sysDevBlock = "/sys/dev/block";      // MAJ:MIN links to the block devices
    std::string byLabel = "/dev/disk/by-label";      // links named after volume labels
};

// Decodes the three-digit octal escapes ("\040") of the mount table.
std::string decodeMountEscapes(std::string_view field);
// Decodes the "\xNN" escapes of a /dev/disk/by-label link name.
std::string decodeLabel(std::string_view linkName);

// Parses mount table text; malformed lines are skipped.
std::vector<MountEntry> parseMountInfo(std::string_view text);

// The kind of drive a file system type makes, or nothing for types that are not drives
// (pseudo file systems, images, unknown types).
std::optional<DriveKind> driveKindOf(std::string_view fsType);

// The drive root form: the mount point with one trailing separator ("/", "/home/").
std::string driveRoot(std::string_view mountPoint);

// The listed mount point that contains path (longest match by whole components), or
// "/" when none does. path must be absolute.
std::string mountContaining(const std::vector<Drive>& drives, std::string_view path);

// The drives of the system and the process's current drive. One table serves the
// whole process (systemDrives()); it remembers the directory last used on each drive,
// as a drive-letter system keeps one current directory per drive.
class DriveTable {
public:
    explicit DriveTable(SystemRoots roots = {});

    // Replaces the locations read (and forgets the remembered directories).
    void setRoots(SystemRoots roots);
    const SystemRoots& roots() const { return roots_; }

    // The drives from the given mount table text, ordered by mount point.
    std::vector<Drive> drivesFrom(std::string_view mountInfoText) const;
    // The drives from the current mount table; "/" is always among them.
    std::vector<Drive> list() const;

    // The mount point of the drive that holds the current directory.
    std::string currentDrive() const;

    // Makes the drive current: changes to the directory last used on it, else to its root.
    // False, with the current directory unchanged, when the drive is no longer mounted
    // or cannot be entered.
    bool enter(const std::string& mountPoint);

private:
    std::string labelOf(const MountEntry& m) const;
    bool isRemovable(const MountEntry& m) const;
    std::string deviceName(const MountEntry& m) const;

    SystemRoots roots_;
    std::vector<std::pair<std::string, std::string>> lastDirs_;  // mount point, directory
};

DriveTable& systemDrives();

}  // namespace platform
