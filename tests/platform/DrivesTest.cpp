#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/Drives.h"
#include "support/ImageFixtures.h"
#include "treedir/DriveFixtures.h"

using fixtures::mountLine;
using platform::DriveKind;

TEST(DrivesParse, FieldsEscapesAndMalformedLines) {
    const std::string text =
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw,errors=remount-ro\n"
        "40 22 8:17 / /media/ann/My\\040Disk\\011Tab\\134x rw,nosuid shared:5 master:2 - vfat /dev/sdb1 rw\n"
        "41 22 0:50 /sub /srv/data rw - nfs4 server:/export\\040dir rw\n"  // bind of a sub-directory
        "garbage line\n"
        "42 22 8:x / /bad rw - ext4 /dev/sdc rw\n"                            // bad device number
        "43 22 8:3 / /nodash rw shared:1 ext4 /dev/sdd rw\n"                   // no separator
        "44 22 8:4 / relative rw - ext4 /dev/sde rw\n"                         // not absolute
        "45 22 0:51 / /nosource rw - tmpfs\n";
    const auto m = platform::parseMountInfo(text);
    ASSERT_EQ(m.size(), 4u);
    EXPECT_EQ(m[0].mountPoint, "/");
    EXPECT_EQ(m[0].fsType, "ext4");
    EXPECT_EQ(m[0].source, "/dev/sda1");
    EXPECT_EQ(m[1].id, 40);
    EXPECT_EQ(m[1].parentId, 22);
    EXPECT_EQ(m[1].major, 8u);
    EXPECT_EQ(m[1].minor, 17u);
    EXPECT_EQ(m[1].mountPoint, "/media/ann/My Disk\tTab\\x");
    EXPECT_EQ(m[1].fsType, "vfat");
    EXPECT_EQ(m[2].root, "/sub");
    EXPECT_EQ(m[2].source, "server:/export dir");
    EXPECT_EQ(m[3].mountPoint, "/nosource");
    EXPECT_EQ(m[3].source, "");

    EXPECT_EQ(platform::decodeMountEscapes("a\\040b\\12c\\999"), "a b\\12c\\999");  // only full octal escapes
    EXPECT_EQ(platform::decodeLabel("My\\x20Disk\\x2fA\\x5c\\xZZ"), "My Disk/A\\\\xZZ");
}

TEST(DrivesParse, Classification) {
    struct Case {
        const char* type;
        std::optional<DriveKind> kind;
    } cases[] = {
        {"ext4", DriveKind::Fixed}, {"btrfs", DriveKind::Fixed}, {"fuseblk", DriveKind::Fixed}, {"overlay", DriveKind::Fixed},
        {"iso9660", DriveKind::Optical}, {"udf", DriveKind::Optical}, {"tmpfs", DriveKind::Ram}, {"ramfs", DriveKind::Ram},
        {"nfs4", DriveKind::Network}, {"cifs", DriveKind::Network}, {"fuse.sshfs", DriveKind::Network}, {"9p", DriveKind::Network},
        {"proc", std::nullopt}, {"sysfs", std::nullopt}, {"cgroup2", std::nullopt}, {"squashfs", std::nullopt},
        {"fuse.portal", std::nullopt}, {"autofs", std::nullopt}, {"devtmpfs", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(platform::driveKindOf(c.type), c.kind) << c.type;
}

// A small system: sysfs device links, labels, and mount points inside a temporary directory.
class DrivesTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* d : {"data", "usb", "My Disk", "cd", "ram", "stack", "sys", "sys/devices", "sys/devices/sda",
                              "sys/devices/sda/sda1", "sys/devices/sdb", "sys/devices/sdb/sdb1", "sys/devices/sr0",
                              "sys/block", "labels"})
            ASSERT_EQ(mkdir(dir.file(d).c_str(), 0755), 0) << d;
        write("sys/devices/sda/removable", "0\n");
        write("sys/devices/sda/sda1/partition", "1\n");
        write("sys/devices/sdb/removable", "1\n");
        write("sys/devices/sdb/sdb1/partition", "1\n");
        write("sys/devices/sr0/removable", "1\n");
        write("hosts", "bind-mounted file\n");
        link("../devices/sda/sda1", "sys/block/8:1");
        link("../devices/sdb/sdb1", "sys/block/8:17");
        link("../devices/sr0", "sys/block/11:0");
        link("../../sda1", "labels/My\\x20Data");
        link("../../sdb1", "labels/STICK");
        link("../../sr0", "labels/Disc\\x2f1");
        link("../../loop9", "labels/Backup");
        roots.sysDevBlock = dir.file("sys/block");
        roots.byLabel = dir.file("labels");
    }
    void write(const std::string& name, const std::string& text) {
        ASSERT_TRUE(fixtures::writeFile(dir.file(name), fixtures::Bytes(text.begin(), text.end())));
    }
    void link(const std::string& target, const std::string& name) {
        ASSERT_EQ(symlink(target.c_str(), dir.file(name).c_str()), 0) << name;
    }
    std::string p(const std::string& name) const { return dir.file(name); }

    fixtures::TempDir dir;
    platform::SystemRoots roots;
};

TEST_F(DrivesTest, ListFromMountTable) {
    const std::string text = mountLine(1, 0, "0:30", "/", "overlay", "overlay") +
                             mountLine(2, 1, "0:5", "/proc", "proc", "proc") +
                             mountLine(3, 1, "0:6", "/sys", "sysfs", "sysfs") +
                             mountLine(4, 1, "0:7", "/dev/shm", "tmpfs", "shm") +
                             mountLine(5, 1, "0:8", "/run", "tmpfs", "tmpfs") +
                             mountLine(6, 1, "8:1", p("data"), "ext4", "/dev/sda1") +
                             mountLine(7, 1, "8:17", p("usb"), "vfat", "/dev/sdb1") +
                             mountLine(8, 1, "7:9", p("My Disk"), "ext4", "/dev/loop9") +  // no sysfs entry
                             mountLine(9, 1, "11:0", p("cd"), "iso9660", "/dev/sr0") +
                             mountLine(10, 1, "0:40", p("ram"), "tmpfs", "tmpfs") +
                             mountLine(11, 1, "0:41", p("share"), "cifs", "//server/share") +
                             mountLine(12, 1, "0:42", p("nfs"), "nfs4", "none") +
                             mountLine(13, 1, "8:1", p("hosts"), "ext4", "/dev/sda1") +       // a bind-mounted file
                             mountLine(14, 1, "7:1", p("data/snap"), "squashfs", "/dev/loop1") +
                             mountLine(15, 1, "8:1", p("stack"), "ext4", "/dev/sda1") +
                             mountLine(16, 15, "0:43", p("stack"), "tmpfs", "tmpfs") +       // covers the ext4 mount
                             mountLine(17, 1, "0:44", p("gone"), "ext4", "/dev/sdz1") +      // no such directory
                             mountLine(18, 1, "0:45", "/run/media/ann/NET", "cifs", "//nas/ann") +  // network: not touched
                             mountLine(19, 1, "0:46", "/run/user/1000/gvfs", "cifs", "//nas/x");
    const auto drives = platform::DriveTable(roots).drivesFrom(text);

    struct Want {
        std::string mountPoint;
        DriveKind kind;
        std::string text;
        std::string glyph;
    };
    std::vector<Want> want = {
        {"/", DriveKind::Fixed, "/ []", "HARD"},
        {"/run/media/ann/NET", DriveKind::Network, "/run/media/ann/NET //nas/ann", "NETWORK"},
        {p("My Disk"), DriveKind::Fixed, p("My Disk") + " [Backup]", "HARD"},
        {p("cd"), DriveKind::Optical, p("cd") + " [Disc/1]", "CDROM"},
        {p("data"), DriveKind::Fixed, p("data") + " [My Data]", "HARD"},
        {p("nfs"), DriveKind::Network, p("nfs") + " []", "NETWORK"},
        {p("ram"), DriveKind::Ram, p("ram") + " []", "RAM"},
        {p("share"), DriveKind::Network, p("share") + " //server/share", "NETWORK"},
        {p("stack"), DriveKind::Ram, p("stack") + " []", "RAM"},
        {p("usb"), DriveKind::Removable, p("usb"), "FLOPPY"},
    };
    ASSERT_EQ(drives.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(drives[i].mountPoint, want[i].mountPoint) << i;
        EXPECT_EQ(drives[i].kind, want[i].kind) << want[i].mountPoint;
        EXPECT_EQ(drives[i].text, want[i].text);
        EXPECT_EQ(drives[i].glyph, want[i].glyph) << want[i].mountPoint;
    }
}

TEST_F(DrivesTest, RootIsAlwaysListed) {
    // A mount table without "/" (or an unreadable one) still gives the root drive.
    EXPECT_EQ(platform::DriveTable(roots).drivesFrom("").size(), 1u);
    EXPECT_EQ(platform::DriveTable(roots).drivesFrom("").front().text, "/ []");
    // A root of an unusual type is still the root drive.
    auto drives = platform::DriveTable(roots).drivesFrom(mountLine(1, 0, "0:2", "/", "rootfs", "rootfs"));
    ASSERT_EQ(drives.size(), 1u);
    EXPECT_EQ(drives[0].kind, DriveKind::Fixed);
}

TEST(DrivesPaths, RootFormAndContainingMount) {
    EXPECT_EQ(platform::driveRoot("/"), "/");
    EXPECT_EQ(platform::driveRoot("/home"), "/home/");
    std::vector<platform::Drive> drives = {{"/", DriveKind::Fixed, "", ""},
                                           {"/home", DriveKind::Fixed, "", ""},
                                           {"/home/ann/usb", DriveKind::Removable, "", ""}};
    struct Case {
        const char* path;
        const char* mount;
    } cases[] = {{"/", "/"}, {"/etc", "/"}, {"/home", "/home"}, {"/home/ann", "/home"}, {"/homes/x", "/"},
                 {"/home/ann/usb/a/b", "/home/ann/usb"}, {"/home/ann/usbx", "/home"}};
    for (const auto& c : cases) EXPECT_EQ(platform::mountContaining(drives, c.path), c.mount) << c.path;
}

TEST(DrivesEnter, RemembersTheLastDirectoryPerDrive) {
    fixtures::TempDir dir;
    for (const char* d : {"a", "a/deep", "b"}) ASSERT_EQ(mkdir(dir.file(d).c_str(), 0755), 0);
    fixtures::FakeMounts mounts(dir, {dir.file("a"), dir.file("b"), dir.file("vanishing")});
    auto& drives = platform::systemDrives();

    ASSERT_EQ(chdir(dir.file("a/deep").c_str()), 0);
    EXPECT_EQ(drives.currentDrive(), dir.file("a"));
    EXPECT_TRUE(drives.enter(dir.file("b")));
    EXPECT_EQ(fixtures::currentDir(), dir.file("b"));
    EXPECT_EQ(drives.currentDrive(), dir.file("b"));
    EXPECT_TRUE(drives.enter(dir.file("a")));
    EXPECT_EQ(fixtures::currentDir(), dir.file("a/deep"));  // back where we left drive a
    EXPECT_TRUE(drives.enter(dir.file("a")));                // already there: nothing moves
    EXPECT_EQ(fixtures::currentDir(), dir.file("a/deep"));

    // A drive that is not (or no longer) mounted cannot be entered and nothing changes.
    EXPECT_FALSE(drives.enter(dir.file("vanishing")));  // listed in the table, but no directory
    EXPECT_FALSE(drives.enter("/no/such/mount"));
    mounts.setMounts({dir.file("a")});
    EXPECT_FALSE(drives.enter(dir.file("b")));
    EXPECT_EQ(fixtures::currentDir(), dir.file("a/deep"));

    // The remembered directory went away: the drive is entered at its root.
    mounts.setMounts({dir.file("a"), dir.file("b")});
    EXPECT_TRUE(drives.enter(dir.file("b")));
    ASSERT_EQ(rmdir(dir.file("a/deep").c_str()), 0);
    EXPECT_TRUE(drives.enter(dir.file("a")));
    EXPECT_EQ(fixtures::currentDir(), dir.file("a"));
}
