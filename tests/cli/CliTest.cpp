// vexil-cli through its binary: what it prints, what it writes and its exit status.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "cli/CliRun.h"
#include "support/FifoWriter.h"
#include "support/ImageFixtures.h"
#include "support/ModuleFixtures.h"

using fixtures::Bytes;
using fixtures::resId;
using fixtures::resName;

namespace {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

CliRun runCli(const fixtures::TempDir& dir, const std::vector<std::string>& args) {
    std::string command = quote(VEXIL_CLI_PATH);
    for (const std::string& a : args) command += " " + quote(a);
    command += " >" + quote(dir.file("stdout.txt")) + " 2>" + quote(dir.file("stderr.txt")) + " </dev/null";
    const int raw = std::system(command.c_str());
    CliRun r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = slurp(dir.file("stdout.txt"));
    r.err = slurp(dir.file("stderr.txt"));
    return r;
}

}  // namespace

TEST(Cli, GroupsImagesAndExactSaves) {
    fixtures::TempDir dir;
    const std::string module = dir.file("m.dll");
    const std::string ico = dir.file("i.ico");
    ASSERT_TRUE(fixtures::writeFile(module, fixtures::makePe({fixtures::patternIcon(resId(7), {16, 48}, 8),
                                                             fixtures::patternIcon(resName("APP"), {32}, 4)})));
    ASSERT_TRUE(fixtures::writeFile(ico, fixtures::makeIco({{fixtures::patternDib(32, 24)}})));

    CliRun r = runCli(dir, {"groups", module});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "APP\n#7\n");
    r = runCli(dir, {"images", module, "#7"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "16x16, 256色\n48x48, 256色\n");
    r = runCli(dir, {"images", module});  // the first group
    EXPECT_EQ(r.out, "32x32, 16色\n");
    r = runCli(dir, {"images", ico, "-"});
    EXPECT_EQ(r.out, "32x32, True Color (24bit)\n");

    ASSERT_EQ(runCli(dir, {"save-ico", module, "#7", dir.file("all.ico")}).status, 0);
    ASSERT_EQ(runCli(dir, {"save-ico", module, "#7", dir.file("one.ico"), "--image", "1"}).status, 0);
    const Bytes all = fixtures::readFile(dir.file("all.ico"));
    const Bytes one = fixtures::readFile(dir.file("one.ico"));
    ASSERT_GE(all.size(), 6u);
    EXPECT_EQ(fixtures::getU16(all, 4), 2);
    ASSERT_GE(one.size(), 22u);
    EXPECT_EQ(fixtures::getU16(one, 4), 1);
    EXPECT_EQ(one[6], 48);
    ASSERT_EQ(runCli(dir, {"save-bmp", module, "APP", "0", dir.file("a.bmp")}).status, 0);
    const Bytes bmp = fixtures::readFile(dir.file("a.bmp"));
    ASSERT_GE(bmp.size(), 2u);
    EXPECT_EQ(bmp[0], 'B');

    struct Failure {
        std::vector<std::string> args;
        int status;
    } failures[] = {
        {{"groups"}, 2},
        {{"frobnicate"}, 2},
        {{"save-ico", module, "#7", dir.file("x.ico"), "--image", "x"}, 2},
        {{"groups", dir.file("missing.dll")}, 1},
        {{"images", module, "#8"}, 1},
        {{"save-bmp", module, "#7", "5", dir.file("x.bmp")}, 1},
        {{"save-ico", module, "#7", dir.file("no/such/dir/x.ico")}, 1},
    };
    for (const auto& f : failures) {
        r = runCli(dir, f.args);
        EXPECT_EQ(r.status, f.status) << f.args[0];
        EXPECT_FALSE(r.err.empty()) << f.args[0];
    }
    EXPECT_FALSE(std::ifstream(dir.file("x.ico")).good());
}

TEST(Cli, CountAndRender) {
    fixtures::TempDir dir;
    const std::string pe = dir.file("a.exe");
    const std::string ne = dir.file("b.icl");
    const std::string text = dir.file("c.txt");
    ASSERT_TRUE(fixtures::writeFile(pe, fixtures::makePe({fixtures::patternIcon(resId(1)),
                                                         fixtures::patternIcon(resId(2), {48}, 32)})));
    ASSERT_TRUE(fixtures::writeFile(ne, fixtures::makeNe({fixtures::patternIcon(resName("ONE"))})));
    ASSERT_TRUE(fixtures::writeFile(text, Bytes(10, 'x')));

    CliRun r = runCli(dir, {"count", pe, ne, text});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "2\t" + pe + "\n1\t" + ne + "\n0\t" + text + "\n");

    struct Render {
        std::string out;
        std::string size;
        std::size_t bytes;  // 0: only the signature is checked
        std::string signature;
    } renders[] = {
        {"r32.ico", "32", 766, std::string("\0\0\1\0", 4)},
        {"r16.ico", "16", 318, std::string("\0\0\1\0", 4)},
        {"r32.bmp", "32", 54 + 32 * 32 * 3, "BM"},
        {"r16.jpg", "16", 0, "\xFF\xD8\xFF"},
        {"r32.png", "32", 0, "\x89PNG"},
    };
    for (const auto& c : renders) {
        r = runCli(dir, {"render", pe, "1", "--size", c.size, dir.file(c.out)});
        ASSERT_EQ(r.status, 0) << c.out << r.err;
        const std::string written = slurp(dir.file(c.out));
        if (c.bytes) {
            EXPECT_EQ(written.size(), c.bytes) << c.out;
        }
        EXPECT_EQ(written.substr(0, c.signature.size()), c.signature) << c.out;
    }
    // A 16-bit module renders too, and lists its groups.
    EXPECT_EQ(runCli(dir, {"render", ne, "0", "--size", "16", dir.file("ne.png")}).status, 0);
    EXPECT_EQ(runCli(dir, {"groups", ne}).out, "ONE\n");

    EXPECT_EQ(runCli(dir, {"render", pe, "2", "--size", "32", dir.file("x.png")}).status, 1);
    EXPECT_EQ(runCli(dir, {"render", text, "0", "--size", "32", dir.file("x.png")}).status, 1);
    EXPECT_EQ(runCli(dir, {"render", pe, "0", "--size", "24", dir.file("x.png")}).status, 2);
    EXPECT_EQ(runCli(dir, {"render", pe, "0", "--size", "32", dir.file("x.gif")}).status, 2);
    EXPECT_FALSE(std::ifstream(dir.file("x.png")).good());
}

TEST(Cli, CountSaysWhichPathsAreNoFilesAndStillCountsTheRest) {
    fixtures::TempDir dir;
    const std::string pe = dir.file("a.exe");
    ASSERT_TRUE(fixtures::writeFile(pe, fixtures::makePe({fixtures::patternIcon(resId(1))})));
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    const struct {
        std::string path;
        std::string err;  // empty: counted
    } paths[] = {
        {dir.file("missing.exe"), "cannot be read: No such file or directory"},
        {pe, ""},
        {dir.path(), "cannot be read: is a directory"},
        {dir.file("fifo"), "cannot be read: not a regular file"},
        {"/dev/null", "cannot be read: not a regular file"},
    };
    std::vector<std::string> args = {"count"};
    std::string out, err;
    for (const auto& p : paths) {
        args.push_back(p.path);
        if (p.err.empty()) out += "1\t" + p.path + "\n";
        else err += "vexil-cli: " + p.path + ": " + p.err + "\n";
    }
    const CliRun r = runCli(dir, args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, out);
    EXPECT_EQ(r.err, err);
    EXPECT_EQ(runCli(dir, {"count", pe}).status, 0);
}

// Every command refuses a named FIFO or directory without opening it for reading: one
// line naming the file and the reason, and a writer waiting on the FIFO still waits (its
// byte arrives once the test reads).
TEST(Cli, NamedSpecialFilesAreLookedAtNeverOpened) {
    fixtures::TempDir dir;
    const std::string out = dir.file("out");
    const struct {
        std::vector<std::string> args;  // "{}" stands for the file
        std::string reasonPrefix;       // before "not a regular file" / "is a directory"
        bool walksDirectories = false;
    } commands[] = {
        {{"count", "{}"}, "cannot be read: "},
        {{"groups", "{}"}, ""},
        {{"images", "{}"}, ""},
        {{"images", "--location", "{},0"}, ""},
        {{"list", "{}", "--json"}, "cannot be read: "},
        {{"save-ico", "{}", "#1", out + ".ico"}, ""},
        {{"render", "{}", "0", "--size", "32", out + ".png"}, ""},
        {{"extract", "{}", "-o", out}, "", true},
    };
    const struct {
        const char* name;
        bool fifo;
    } targets[] = {{"pipe.dll", true}, {"pipe.ico", true}, {"folder.ico", false}};
    for (const auto& c : commands) {
        for (const auto& t : targets) {
            if (!t.fifo && c.walksDirectories) continue;
            const std::string path = dir.file(t.name);
            std::vector<std::string> args;
            for (std::string a : c.args) {
                if (const std::size_t at = a.find("{}"); at != std::string::npos) a.replace(at, 2, path);
                args.push_back(a);
            }
            SCOPED_TRACE(args[0] + " " + args[1] + " on " + t.name);
            std::optional<fixtures::FifoWriter> writer;
            if (t.fifo) {
                writer.emplace(path);
                ASSERT_TRUE(writer->started());
            } else {
                ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);
            }
            const CliRun r = runCli(dir, args);
            EXPECT_EQ(r.status, 1);
            const std::string line = "vexil-cli: " + path + ": " + c.reasonPrefix + (t.fifo ? "not a regular file" : "is a directory");
            // One line; a message of the icon core (for an .ico name) may follow after ": ".
            EXPECT_EQ(r.err.substr(0, line.size()), line) << r.err;
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
            if (writer) {
                EXPECT_TRUE(writer->waiting()) << "the FIFO was opened";
                EXPECT_TRUE(writer->release());
            }
            writer.reset();
            std::filesystem::remove(path);
        }
    }
    EXPECT_FALSE(std::filesystem::exists(out + ".ico"));
    EXPECT_FALSE(std::filesystem::exists(out + ".png"));
}

TEST(Cli, SavesNeverReplaceAReadOnlyFileAndWriteThroughLinks) {
    fixtures::TempDir dir;
    const std::string module = dir.file("m.dll");
    ASSERT_TRUE(fixtures::writeFile(module, fixtures::makePe({fixtures::patternIcon(resId(1), {16}, 8)})));
    ASSERT_TRUE(fixtures::writeFile(dir.file("locked.ico"), Bytes{1, 2, 3}));
    ASSERT_EQ(::chmod(dir.file("locked.ico").c_str(), 0444), 0);
    ASSERT_EQ(::mkdir(dir.file("real").c_str(), 0700), 0);
    ASSERT_TRUE(fixtures::writeFile(dir.file("real/target.ico"), Bytes{4}));
    ASSERT_EQ(::chmod(dir.file("real/target.ico").c_str(), 0604), 0);
    ASSERT_EQ(::symlink("real/target.ico", dir.file("link.ico").c_str()), 0);
    ASSERT_EQ(::symlink("locked.ico", dir.file("tolocked.ico").c_str()), 0);

    for (const char* name : {"locked.ico", "tolocked.ico"}) {
        const CliRun r = runCli(dir, {"save-ico", module, "#1", dir.file(name)});
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_NE(r.err.find(dir.file(name) + ": cannot save the icon file: Permission denied: "), std::string::npos) << r.err;
        EXPECT_EQ(fixtures::readFile(dir.file("locked.ico")), (Bytes{1, 2, 3}));
    }
    // A write that fails half-way (here a file-size limit, as a full disk would) is told with
    // the system's reason; the old file keeps its bytes and no temporary file stays.
    ASSERT_TRUE(fixtures::writeFile(dir.file("full.ico"), Bytes{5}));
    // The limit is the subshell's alone; stderr goes through a pipe, which it does not cover.
    const std::string command = "(trap '' XFSZ; ulimit -f 1; " + quote(VEXIL_CLI_PATH) + " save-ico " + quote(module) +
                                " '#1' " + quote(dir.file("full.ico")) + " 2>&1; echo status $?) | cat >" +
                                quote(dir.file("full.err"));
    ASSERT_EQ(std::system(("sh -c " + quote(command)).c_str()), 0);
    EXPECT_EQ(slurp(dir.file("full.err")),
              "vexil-cli: " + dir.file("full.ico") + ": cannot save the icon file: File too large\nstatus 1\n");
    EXPECT_EQ(fixtures::readFile(dir.file("full.ico")), Bytes{5});
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        EXPECT_NE(e.path().filename().string()[0], '.') << "temporary file left: " << e.path();

    ASSERT_EQ(runCli(dir, {"save-ico", module, "#1", dir.file("link.ico")}).status, 0);
    struct stat st {};
    ASSERT_EQ(::lstat(dir.file("link.ico").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat(dir.file("real/target.ico").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0604u);
    EXPECT_GT(st.st_size, 6);
}
