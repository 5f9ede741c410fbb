// Shell links: the icon a Windows user sees, the target path, and damaged links refused
// with where and what.
#include <gtest/gtest.h>

#include "formats/ShellLink.h"
#include "support/LinkFixtures.h"

namespace {

using fixtures::Bytes;
using fixtures::LinkInfoSpec;
using fixtures::LinkSpec;
using formats::StoredText;
namespace flag = formats::linkflag;

LinkInfoSpec localInfo(const std::string& base, const std::string& suffix = {}) {
    LinkInfoSpec info;
    info.localBasePath = base;
    info.commonPathSuffix = suffix;
    return info;
}

Bytes iconBlock(const std::string& ansi, const std::string& unicode) {
    return fixtures::environmentBlock(formats::kIconEnvironmentBlockSignature, ansi, unicode);
}

TEST(ShellLink, IconIsTheOneWindowsShows) {
    const struct {
        const char* what;
        LinkSpec parts;
        StoredText path;
        std::int32_t index;
        bool ofTarget;
    } cases[] = {
        {"icon location with a resource id", {.iconIndex = -3, .idList = Bytes{2, 0, 0, 0}, .linkInfo = localInfo("C:\\a.exe"),
          .iconLocation = "%SystemRoot%\\system32\\shell32.dll"},
         StoredText::utf8("%SystemRoot%\\system32\\shell32.dll"), -3, false},
        {"the icon block wins when HasExpIcon is set", {.iconIndex = 2, .iconLocation = "C:\\plain.ico",
          .extraBlocks = {iconBlock("C:\\ansi.ico", "%ProgramFiles%\\Spiel\u00e9\\g.exe")}},
         StoredText::utf8("%ProgramFiles%\\Spiel\u00e9\\g.exe"), 2, false},
        {"the icon block without HasExpIcon is not used", {.clearFlags = flag::HasExpIcon, .iconIndex = 1,
          .iconLocation = "C:\\plain.ico", .extraBlocks = {iconBlock("C:\\ansi.ico", "C:\\wide.ico")}},
         StoredText::utf8("C:\\plain.ico"), 1, false},
        {"an icon block with an ANSI path alone", {.iconIndex = 4, .extraBlocks = {iconBlock("C:\\Spi\xE9le\\g.exe", "")}},
         StoredText::ansi("C:\\Spi\xE9le\\g.exe"), 4, false},
        {"no icon location: the target's icon 0", {.iconIndex = 5, .linkInfo = localInfo("C:\\Game\\game.exe")},
         StoredText::ansi("C:\\Game\\game.exe"), 0, true},
        {"an empty icon location: the target's icon 0", {.iconIndex = 5, .relativePath = "..\\x.exe", .iconLocation = ""},
         StoredText::utf8("..\\x.exe"), 0, true},
        {"an ANSI link keeps its bytes", {.iconIndex = 0, .unicode = false, .iconLocation = "C:\\\x83\x5C\x83t\x83g\\x.ico"},
         StoredText::ansi("C:\\\x83\x5C\x83t\x83g\\x.ico"), 0, false},
        {"an icon location the flags do not announce is not read", {.clearFlags = flag::HasIconLocation, .iconIndex = 3,
          .relativePath = "t.exe"},
         StoredText::utf8("t.exe"), 0, true},
    };
    for (const auto& c : cases) {
        const auto link = formats::readShellLink(fixtures::makeLink(c.parts));
        ASSERT_TRUE(link) << c.what << ": " << link.error().text();
        const formats::LinkIcon icon = link->icon();
        EXPECT_EQ(icon.path, c.path) << c.what;
        EXPECT_EQ(icon.index, c.index) << c.what;
        EXPECT_EQ(icon.ofTarget, c.ofTarget) << c.what;
    }
}

TEST(ShellLink, TargetComesFromLinkInfoThenTheBlockThenTheRelativePath) {
    LinkInfoSpec wide = localInfo("C:\\Users\\", "x");
    wide.unicode = true;
    wide.localBasePathUnicode = "C:\\Users\\\u00c5sa\\";
    wide.commonPathSuffixUnicode = "Spiel.exe";
    LinkInfoSpec share;
    share.netName = "\\\\server\\share";
    share.deviceName = "Z:";
    share.commonPathSuffix = "dir\\x.exe";
    const Bytes envTarget = fixtures::environmentBlock(formats::kEnvironmentBlockSignature, "%WINDIR%\\a.exe", "");
    const struct {
        const char* what;
        LinkSpec parts;
        std::optional<StoredText> path;
        bool network;
    } cases[] = {
        {"ANSI base path, ID list skipped", {.idList = Bytes(40, 0x41), .linkInfo = localInfo("C:\\Game\\game.exe"), .relativePath = "r.exe"},
         StoredText::ansi("C:\\Game\\game.exe"), false},
        {"base and suffix joined", {.linkInfo = localInfo("C:\\Game", "bin\\g.exe")}, StoredText::ansi("C:\\Game\\bin\\g.exe"), false},
        {"Unicode copies preferred", {.linkInfo = wide}, StoredText::utf8("C:\\Users\\\u00c5sa\\Spiel.exe"), false},
        {"a network share", {.linkInfo = share}, StoredText::ansi("\\\\server\\share\\dir\\x.exe"), true},
        {"a UNC base path", {.linkInfo = localInfo("\\\\srv\\s\\a.exe")}, StoredText::ansi("\\\\srv\\s\\a.exe"), true},
        {"no LinkInfo: the environment block", {.relativePath = "r.exe", .extraBlocks = {envTarget}}, StoredText::ansi("%WINDIR%\\a.exe"), false},
        {"ForceNoLinkInfo: the relative path", {.setFlags = flag::ForceNoLinkInfo, .linkInfo = localInfo("C:\\a.exe"),
          .relativePath = "..\\bin\\x.exe"},
         StoredText::utf8("..\\bin\\x.exe"), false},
        {"nothing stored", {.name = "just a name"}, std::nullopt, false},
    };
    for (const auto& c : cases) {
        const auto link = formats::readShellLink(fixtures::makeLink(c.parts));
        ASSERT_TRUE(link) << c.what << ": " << link.error().text();
        const auto target = link->target();
        ASSERT_EQ(target.has_value(), c.path.has_value()) << c.what;
        if (!target) continue;
        EXPECT_EQ(target->path, *c.path) << c.what;
        EXPECT_EQ(target->network, c.network) << c.what;
    }
}

TEST(ShellLink, StringsDecodeUtf16WithLoneSurrogatesReplaced) {
    fixtures::LinkLayout at;
    Bytes bytes = fixtures::makeLink({.name = "ab", .arguments = "-x \U0001F600", .iconLocation = "c"}, &at);
    fixtures::putU16(bytes, at.strings + 4, 0xD800);  // the name's second unit: a high surrogate alone
    const auto link = formats::readShellLink(bytes);
    ASSERT_TRUE(link) << link.error().text();
    EXPECT_EQ(link->name->bytes, "a\uFFFD");
    EXPECT_EQ(link->arguments->bytes, "-x \U0001F600");
    EXPECT_EQ(link->iconLocation->bytes, "c");
}

TEST(ShellLink, DamagedLinksSayWhereAndWhat) {
    fixtures::LinkLayout at;
    const LinkSpec full{.idList = Bytes(10, 1), .linkInfo = localInfo("C:\\a.exe"), .name = "n", .iconLocation = "i.ico"};
    const Bytes good = fixtures::makeLink(full, &at);
    const auto patched = [&](std::size_t offset, std::uint32_t value, bool wide = true) {
        Bytes b = good;
        if (wide) fixtures::putU32(b, offset, value);
        else fixtures::putU16(b, offset, static_cast<std::uint16_t>(value));
        return b;
    };
    const std::size_t infoStrings = at.linkInfo + 0x1C + 17;  // the base path after the header and the volume id
    const struct {
        const char* what;
        Bytes bytes;
        std::uint64_t offset;
        const char* says;
    } cases[] = {
        {"short header", Bytes(good.begin(), good.begin() + 60), 0, "header needs 76 bytes"},
        {"wrong class id", patched(8, 0x1234), 0, "no shell link header"},
        {"ID list past the end", patched(at.idList, 0xFFFF, false), at.idList, "ID list of 65535 bytes runs past"},
        {"LinkInfo past the end", patched(at.linkInfo, 0x100000), at.linkInfo, "runs past the end"},
        {"LinkInfo shorter than its header", patched(at.linkInfo, 8), at.linkInfo, "shorter than its header"},
        {"LinkInfo header of 0x20 bytes", patched(at.linkInfo + 4, 0x20), at.linkInfo + 4, "LinkInfo header of 32 bytes"},
        {"base path offset past LinkInfo", patched(at.linkInfo + 16, 0x7000), at.linkInfo + 16, "starts at 28672, past the end"},
        {"base path without its NUL", [&] { Bytes b = good; std::fill(b.begin() + static_cast<long>(infoStrings), b.begin() + static_cast<long>(at.strings), 'A'); return b; }(),
         infoStrings, "no terminating NUL"},
        {"string past the end", patched(at.strings, 0x7FFF, false), at.strings, "the name of 32767 characters runs past"},
        // Found by the fuzzer: the error named a place past the file, where the offset pointed.
        {"network link offset past LinkInfo", [] {
             LinkInfoSpec share;
             share.netName = "\\\\s\\t";
             fixtures::LinkLayout shareAt;
             Bytes b = fixtures::makeLink({.linkInfo = share}, &shareAt);
             fixtures::putU32(b, shareAt.linkInfo + 20, 0xFFFF0010);
             return b;
         }(),
         formats::kLinkHeaderSize + 20, "the network link at 4294901776 does not fit"},
    };
    for (const auto& c : cases) {
        const auto link = formats::readShellLink(c.bytes);
        ASSERT_FALSE(link) << c.what;
        EXPECT_EQ(link.error().offset, c.offset) << c.what << ": " << link.error().text();
        EXPECT_NE(link.error().what.find(c.says), std::string::npos) << c.what << ": " << link.error().text();
    }
}

// Damage after the strings keeps what came before it: the icon location still counts, the
// problem is reported where it lies. A link that ends without the terminal block is whole.
TEST(ShellLink, DamagedExtraDataKeepsTheLink) {
    fixtures::LinkLayout at;
    const Bytes good = fixtures::makeLink({.iconIndex = 7, .iconLocation = "i.ico", .extraBlocks = {iconBlock("C:\\x.ico", "")}}, &at);
    const auto patched = [&](std::size_t offset, std::uint32_t value) {
        Bytes b = good;
        fixtures::putU32(b, offset, value);
        return b;
    };
    const struct {
        const char* what;
        Bytes bytes;
        const char* says;  // nullptr: no problem
    } cases[] = {
        {"block shorter than its header", patched(at.extra, 6), "shorter than its header"},
        {"block past the end", patched(at.extra, 0x10000), "runs past the end"},
        {"environment block too short", patched(at.extra, 0x20), "788 needed"},
        {"no terminal block", fixtures::makeLink({.iconIndex = 7, .iconLocation = "i.ico", .terminalBlock = false}), nullptr},
    };
    for (const auto& c : cases) {
        const auto link = formats::readShellLink(c.bytes);
        ASSERT_TRUE(link) << c.what << ": " << link.error().text();
        EXPECT_EQ(link->icon().path, StoredText::utf8("i.ico")) << c.what;
        EXPECT_EQ(link->icon().index, 7) << c.what;
        ASSERT_EQ(link->extraDataProblem.has_value(), c.says != nullptr) << c.what;
        if (!c.says) continue;
        EXPECT_EQ(link->extraDataProblem->offset, at.extra) << c.what;
        EXPECT_NE(link->extraDataProblem->what.find(c.says), std::string::npos) << c.what << ": " << link->extraDataProblem->text();
    }
}

TEST(ShellLink, NetworkPathsAreTheShareForms) {
    const struct {
        const char* path;
        bool network;
    } cases[] = {{"\\\\server\\share\\a", true}, {"\\\\?\\UNC\\server\\share", true}, {"\\\\?\\unc\\s\\t", true},
                 {"\\\\?\\C:\\a.exe", false}, {"\\\\.\\C:\\a", false}, {"C:\\a", false}, {"\\a", false}, {"//srv/s", true}};
    for (const auto& c : cases) EXPECT_EQ(formats::isNetworkPath(c.path), c.network) << c.path;
}

}  // namespace
