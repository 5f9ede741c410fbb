#include <gtest/gtest.h>

#include "formats/CursorInf.h"
#include "support/InfFixtures.h"

using formats::CursorRole;
using formats::RoleFiles;
using fixtures::Bytes;

namespace {

struct Scheme {
    std::string name;
    RoleFiles files;
};

RoleFiles files(std::initializer_list<std::pair<CursorRole, const char*>> given) {
    RoleFiles f;
    for (const auto& [role, file] : given) f[formats::roleIndex(role)] = file;
    return f;
}

RoleFiles templateFiles() {
    RoleFiles f;
    for (std::size_t i = 0; i < f.size(); ++i) f[i] = fixtures::kTemplateInfFiles[i];
    return f;
}

// "a0.cur,a1.cur,...": a scheme list of `count` entries.
std::string list(const std::string& prefix, int count) {
    std::string s;
    for (int i = 0; i < count; ++i) s += (i ? "," : "") + prefix + std::to_string(i) + ".cur";
    return s;
}

RoleFiles listFiles(const std::string& prefix, int count) {
    RoleFiles f;
    for (int i = 0; i < count && i < 17; ++i) f[static_cast<std::size_t>(i)] = prefix + std::to_string(i) + ".cur";
    return f;
}

std::string describe(const formats::CursorInf& inf) {
    std::string s;
    for (const auto& w : inf.warnings) s += "  line " + std::to_string(w.line) + ": " + w.text + "\n";
    return s;
}

// The schemes as expected, and the warnings: as many as expected, each holding its text.
void expectRead(const Bytes& bytes, const std::vector<Scheme>& schemes, const std::vector<std::string>& warnings,
                const std::string& what) {
    const formats::CursorInf inf = formats::readCursorInf(bytes);
    ASSERT_EQ(inf.schemes.size(), schemes.size()) << what << "\n" << describe(inf);
    for (std::size_t i = 0; i < schemes.size(); ++i) {
        EXPECT_EQ(inf.schemes[i].name, schemes[i].name) << what;
        for (std::size_t r = 0; r < 17; ++r)
            EXPECT_EQ(inf.schemes[i].files[r], schemes[i].files[r]) << what << ": " << formats::cursorRoleName(*formats::cursorRoleAt(r));
    }
    ASSERT_EQ(inf.warnings.size(), warnings.size()) << what << "\n" << describe(inf);
    for (std::size_t i = 0; i < warnings.size(); ++i)
        EXPECT_NE(inf.warnings[i].text.find(warnings[i]), std::string::npos) << what << ": " << inf.warnings[i].text;
}

}  // namespace

TEST(CursorInf, ReadsTheTemplateInEveryEncoding) {
    const Bytes utf16 = fixtures::utf16Text(fixtures::templateInf("Ναυτίλος 🐚"));
    const struct {
        const char* what;
        Bytes bytes;
        std::string name;
    } cases[] = {
        {"UTF-8, ASCII only", fixtures::utf8Text(fixtures::templateInf()), "Midnight Glass"},
        {"UTF-8 with its mark", fixtures::utf8Text(fixtures::templateInf("Curseurs Élégants"), true), "Curseurs Élégants"},
        {"UTF-8 without a mark", fixtures::utf8Text(fixtures::templateInf("Curseurs Élégants")), "Curseurs Élégants"},
        {"UTF-16LE", utf16, "Ναυτίλος 🐚"},
        {"UTF-16LE without a mark", Bytes(utf16.begin() + 2, utf16.end()), "Ναυτίλος 🐚"},
        {"UTF-16BE", fixtures::utf16Text(fixtures::templateInf("Ναυτίλος"), true), "Ναυτίλος"},
        {"code page 1252", fixtures::cp1252Text(fixtures::templateInf("Flèche – “Noir” €")), "Flèche – “Noir” €"},
    };
    for (const auto& c : cases) expectRead(c.bytes, {{c.name, templateFiles()}}, {}, c.what);
}

TEST(CursorInf, ReadsTheFormsPacksUse) {
    const std::string fifteen = list("b", 15);
    const struct {
        const char* what;
        std::string inf;
        std::vector<Scheme> schemes;
    } cases[] = {
        {"HKLM, bare subkey, comments, %% and an empty entry",
         "[defaultinstall]\n AddReg = Blue.Reg ; the registry\n[BLUE.REG]\n; HKCU,\"Control Panel\\Cursors\\Schemes\",\"No\",,\"x\"\n"
         "HKLM, Control Panel\\Cursors\\Schemes\\ ,\"Blue 100%%\",0x00020000,\"%10%\\Cursors\\Blue\\b0.cur, b1.cur ,," +
             list("b", 15).substr(21) + "\"\n",
         {{"Blue 100%", [] {
               RoleFiles f = listFiles("b", 15);
               f[2].clear();
               return f;
           }()}}},
        {"two schemes through two AddReg names, one named twice by DefaultInstall.NT",
         "[DefaultInstall]\nAddReg=Blue.Reg,Red.Reg\n[DefaultInstall.NTamd64]\nAddReg=blue.reg\n"
         "[Blue.Reg]\nHKCU,\"Control Panel\\Cursors\\Schemes\",\"Blue\",,\"" + fifteen + "\"\n"
         "[Red.Reg]\nHKLM,\"Control Panel\\Cursors\\Schemes\",\"Red\",,\"" + list("r", 17) + "\"\n",
         {{"Blue", listFiles("b", 15)}, {"Red", listFiles("r", 17)}}},
        {"per-role values only, folder parts of every kind dropped",
         "[DefaultInstall]\nAddReg=Cursors.Reg\n[Cursors.Reg]\nHKCU,\"Control Panel\\Cursors\",,0x00020000,\"%NAME%\"\n"
         "HKCU,\"Control Panel\\Cursors\",\"arrow\",0x00020000,\"%10%\\Cursors\\p\\a.cur\"\n"
         "HKCU,\"Control Panel\\Cursors\",HAND,0x00020000,\"C:\\Windows\\Cursors\\h.cur\"\n"
         "HKCU,\"Control Panel\\Cursors\",Wait,0x00020000,\"Cursors/p/w.ani\"\n"
         "HKCU,\"Control Panel\\Cursors\",Pin,0x00020000,\"C:pin.cur\"\n"
         "HKCU,\"Control Panel\\Cursors\",No,0x00020000,\"\"\n"
         "HKCU,\"Control Panel\\Cursors\",\"Scheme Source\",0x00010001,2\n"
         "[Strings]\nname=\"Per Role\"\n",
         {{"Per Role", files({{CursorRole::Arrow, "a.cur"}, {CursorRole::Hand, "h.cur"}, {CursorRole::Wait, "w.ani"},
                              {CursorRole::Pin, "pin.cur"}})}}},
        {"a line continued, [Strings.0409] filling what [Strings] lacks, a number left as written, %% in a value",
         "[DefaultInstall]\nAddReg=S\n[S]\nHKCU,\"Control Panel\\Cursors\\Schemes\",\"%S%\", , \\ ; continued\n"
         "  \"%10%\\%A%,%H%," + list("x", 13) + "\"\n[Strings.0409]\nS=\"English\"\nA=en.cur\n[Strings]\nA=\"a.cur\"\nH=h%%.cur\n",
         {{"English", [] {
               RoleFiles f = listFiles("x", 15);
               for (std::size_t i = 14; i >= 2; --i) f[i] = f[i - 2];
               f[0] = "a.cur";
               f[1] = "h%.cur";  // a value's "%%" is one '%'
               return f;
           }()}}},
        {"the same scheme under HKCU and HKLM read once",
         "[DefaultInstall]\nAddReg=R\n[R]\nHKCU,\"Control Panel\\Cursors\\Schemes\",\"Same\",,\"" + fifteen +
             "\"\nHKLM,\"Control Panel\\Cursors\\Schemes\",\"SAME\",,\"" + fifteen + "\"\n",
         {{"Same", listFiles("b", 15)}}},
        {"deleting lines and other keys and roots passed over",
         "[DefaultInstall]\nAddReg=R\n[R]\nHKCU,\"Control Panel\\Cursors\\Schemes\",\"Gone\",0x4\n"
         "HKCU,\"Control Panel\\Cursors\\Schemes\",\"Gone\",0x00000004,\"x.cur\"\n"
         "HKCR,\"Control Panel\\Cursors\\Schemes\",\"Other\",,\"x.cur\"\n"
         "HKCU,\"Control Panel\\Mouse\",\"Arrow\",,\"x.cur\"\n"
         "HKCU,\"Control Panel\\Cursors\\Schemes\",\"Kept\",,\"" + fifteen + "\"\n",
         {{"Kept", listFiles("b", 15)}}},
    };
    for (const auto& c : cases) expectRead(fixtures::utf8Text(c.inf), c.schemes, {}, c.what);
}

// A scheme and its warnings name the line its logical line starts on, also when that line
// holds nothing but the continuation mark.
TEST(CursorInf, NumbersContinuedLinesFromTheirStart) {
    const std::string head = "[DefaultInstall]\nAddReg=R\n[R]\n";
    const std::string value = "HKCU,\"Control Panel\\Cursors\\Schemes\",\"S\",,\"" + list("b", 12) + "\"\n";
    const struct {
        const char* what;
        std::string inf;
        int line;
    } cases[] = {
        {"one line", head + value, 4},
        {"continued after its first field", head + "HKCU, \\\n" + value.substr(5), 4},
        {"a line of nothing but '\\'", head + "\\\n" + value, 4},
        {"two such lines", head + "\\\n  \\ ; a comment\n" + value, 4},
    };
    for (const auto& c : cases) {
        const auto inf = formats::readCursorInf(fixtures::utf8Text(c.inf));
        ASSERT_EQ(inf.schemes.size(), 1u) << c.what << "\n" << describe(inf);
        EXPECT_EQ(inf.schemes[0].line, c.line) << c.what;
        ASSERT_EQ(inf.warnings.size(), 1u) << c.what << "\n" << describe(inf);
        EXPECT_EQ(inf.warnings[0].line, c.line) << c.what;
    }
}

TEST(CursorInf, PutsSloppyPacksRightAndSaysSo) {
    const std::string head = "[DefaultInstall]\nAddReg=R\n[R]\nHKCU,\"Control Panel\\Cursors\\Schemes\",\"S\",";
    const std::string fifteen = list("b", 15);
    const struct {
        const char* what;
        std::string inf;
        std::vector<Scheme> schemes;
        std::vector<std::string> warnings;
    } cases[] = {
        {"fewer entries", head + ",\"" + list("b", 12) + "\"\n", {{"S", listFiles("b", 12)}}, {"only 12 files listed; SizeAll to Hand"}},
        {"more entries", head + ",\"" + list("b", 20) + "\"\n", {{"S", listFiles("b", 20)}}, {"20 files listed; those after the 17th"}},
        {"a trailing comma", head + ",\"" + fifteen + ",\"\n", {{"S", listFiles("b", 15)}}, {"a comma ending the file list"}},
        {"the list not in quotes", head + "0x00020000," + fifteen + "\n", {{"S", listFiles("b", 15)}},
         {"not in quotes; fields 5 to 19"}},
        {"the flags left out", head + "\"" + fifteen + "\"\n", {{"S", listFiles("b", 15)}}, {"no flags before the value"}},
        {"the flags left out and no quotes", head + fifteen + "\n", {{"S", listFiles("b", 15)}},
         {"no flags before the value", "not in quotes; fields 4 to 18"}},
        {"a comma after the value", head + ",\"" + fifteen + "\",\n", {{"S", listFiles("b", 15)}}, {"a comma after the value"}},
        {"a quote not closed", head + ",\"" + fifteen + " ; not a comment\n", {{"S", [] {
                                                                                     RoleFiles f = listFiles("b", 15);
                                                                                     f[14] = "b14.cur ; not a comment";
                                                                                     return f;
                                                                                 }()}},
         {"a quote is not closed"}},
        {"a name [Strings] lacks", head + ",\"%arow%," + list("b", 15).substr(7) + "\"\n", {{"S", [] {
                                                                                              RoleFiles f = listFiles("b", 15);
                                                                                              f[0] = "%arow%";
                                                                                              return f;
                                                                                          }()}},
         {"%arow% is not in [Strings]"}},
        {"names that are no file names",
         head + ",\"%10%\\Cursors\\,..,a\x01.cur,\"\"q\"\".cur," + list("b", 15).substr(28) + "\"\n", {{"S", [] {
                                                                                                      RoleFiles f = listFiles("b", 15);
                                                                                                      f[0].clear();
                                                                                                      f[1].clear();
                                                                                                      f[2].clear();
                                                                                                      f[3] = "q.cur";
                                                                                                      return f;
                                                                                                  }()}},
         {"names no file", "names no file", "control character", "quotes inside a file name removed"}},
        {"a scheme set twice with different lists",
         head + ",\"" + fifteen + "\"\nHKCU,\"Control Panel\\Cursors\\Schemes\",\"s\",,\"" + list("c", 15) + "\"\n",
         {{"S", listFiles("c", 15)}}, {"set again (first on line 4); the later list used"}},
        {"per-role values fill what the one scheme lacks",
         head + ",\"" + fifteen + "\"\nHKCU,\"Control Panel\\Cursors\",Pin,,\"%10%\\p.cur\"\n"
                                  "HKCU,\"Control Panel\\Cursors\",Arrow,,\"other.cur\"\n",
         {{"S", [] {
               RoleFiles f = listFiles("b", 15);
               f[15] = "p.cur";
               return f;
           }()}},
         {"lists no file for Pin"}},
        {"role value names with typos",
         "[DefaultInstall]\nAddReg=R\n[R]\nHKCU,\"Control Panel\\Cursors\",Arow,,\"a.cur\"\n"
         "HKCU,\"Control Panel\\Cursors\",Busy,,\"busy.ani\"\nHKCU,\"Control Panel\\Cursors\",Link,,\"link.cur\"\n"
         "HKCU,\"Control Panel\\Cursors\",Hand,,\"hand.cur\"\n",
         {{"", files({{CursorRole::Wait, "busy.ani"}, {CursorRole::Hand, "hand.cur"}})}},
         {"\"Arow\" under Control Panel\\Cursors is no cursor role; ignored", "\"Busy\" is no cursor role; read as Wait",
          "\"Link\" is no cursor role; ignored, as Hand is set"}},
        {"AddReg naming a section the file lacks; the section that sets cursors read",
         "[DefaultInstall]\nAddReg=Scheme.Regg\n[Scheme.Reg]\nHKCU,\"Control Panel\\Cursors\\Schemes\",\"S\",,\"" + fifteen + "\"\n"
         "[Scheme.Del]\nHKCU,\"Control Panel\\Cursors\\Schemes\",\"S\",,\"x.cur\"\n[DefaultUninstall]\nDelReg=Scheme.Del\n",
         {{"S", listFiles("b", 15)}}, {"AddReg= names [Scheme.Regg], which the file lacks", "no AddReg= names [Scheme.Reg]"}},
        {"no install section", "[Install]\nAddReg=R\n[R]\nHKCU,\"Control Panel\\Cursors\\Schemes\",\"S\",,\"" + fifteen + "\"\n",
         {{"S", listFiles("b", 15)}}, {"no [DefaultInstall] section"}},
        {"a scheme without a name", "[DefaultInstall]\nAddReg=R\n[R]\nHKCU,\"Control Panel\\Cursors\\Schemes\",,,\"" + fifteen + "\"\n",
         {{"", listFiles("b", 15)}}, {"a scheme without a name"}},
        {"nothing about cursors", "[Version]\nsignature=\"$CHICAGO$\"\n", {}, {"no cursor scheme"}},
    };
    for (const auto& c : cases) expectRead(fixtures::utf8Text(c.inf), c.schemes, c.warnings, c.what);
}

TEST(CursorInf, StaysBoundedOnHostileFiles) {
    // Too large to be a pack's INF: not read.
    Bytes large = fixtures::utf8Text(fixtures::templateInf());
    large.resize(formats::kMaxInfFileSize + 1, ' ');
    EXPECT_TRUE(formats::readCursorInf(large).schemes.empty());

    // A long string named again and again in one value: ignored past 16 KiB.
    std::string bomb = "[DefaultInstall]\nAddReg=R\n[R]\nHKCU,\"Control Panel\\Cursors\\Schemes\",\"Bomb\",,\"";
    for (int i = 0; i < 40; ++i) bomb += "%x%";
    bomb += "\"\n[Strings]\nx=\"" + std::string(1000, 'a') + "\"\n";
    const auto bombed = formats::readCursorInf(fixtures::utf8Text(bomb));
    EXPECT_TRUE(bombed.schemes.empty());
    ASSERT_EQ(bombed.warnings.size(), 2u);
    EXPECT_NE(bombed.warnings[0].text.find("no cursor scheme"), std::string::npos);  // the file's own first
    EXPECT_NE(bombed.warnings[1].text.find("longer than 16384 bytes"), std::string::npos);
    EXPECT_EQ(bombed.warnings[1].line, 4);

    // Many schemes, every one with warnings: both kept to their limits, names and files cut.
    std::string many = "[DefaultInstall]\nAddReg=R\n[R]\n";
    for (int i = 0; i < 100; ++i)
        many += "HKCU,\"Control Panel\\Cursors\\Schemes\",\"s" + std::to_string(i) + std::string(300, 'n') + "\",,\"" +
                std::string(300, 'f') + ".cur\"\n";
    const auto crowded = formats::readCursorInf(fixtures::utf8Text(many));
    EXPECT_EQ(crowded.schemes.size(), formats::kMaxCursorSchemes);
    EXPECT_EQ(crowded.warnings.size(), formats::kMaxInfWarnings + 1);
    EXPECT_NE(crowded.warnings.back().text.find("more warnings not shown"), std::string::npos);
    for (const auto& s : crowded.schemes) {
        EXPECT_EQ(s.name.size(), formats::kMaxCursorFileName);
        EXPECT_TRUE(s.files[0].empty());
    }
}

// Warnings quote the file; what they quote must be safe to print: whole UTF-8 characters
// (a cut never splits one, a fuzzing finding: a control from code page 1252 split at the
// cut) and no control characters (a terminal's escape sequences).
TEST(CursorInf, WarningsQuoteWholeCharactersAndNoControls) {
    auto validUtf8 = [](const std::string& s) {
        for (std::size_t i = 0; i < s.size();) {
            const auto b = static_cast<unsigned char>(s[i]);
            const std::size_t n = b < 0x80 ? 1 : b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
            if (n == 0 || i + n > s.size()) return false;
            for (std::size_t k = 1; k < n; ++k)
                if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
            i += n;
        }
        return true;
    };
    const struct {
        const char* what;
        Bytes bytes;
    } cases[] = {
        {"C1 controls of code page 1252", [] {
             Bytes b = fixtures::cp1252Text("[Def");
             b.resize(b.size() + 70, 0x9D);
             return b;
         }()},
        {"a two-byte character across the cut", fixtures::utf8Text("[D" + std::string(33, 'e') + [] {
             std::string s;
             for (int i = 0; i < 20; ++i) s += "é";
             return s;
         }())},
        {"an escape sequence", fixtures::utf8Text("[DefaultInstall]\nAddReg=\x1B[31mX\x1B]0;title\x07\n")},
    };
    for (const auto& c : cases) {
        const auto inf = formats::readCursorInf(c.bytes);
        ASSERT_FALSE(inf.warnings.empty()) << c.what;
        for (const auto& w : inf.warnings) {
            EXPECT_TRUE(validUtf8(w.text)) << c.what << ": " << w.text;
            EXPECT_FALSE(formats::infHasControl(w.text)) << c.what << ": " << w.text;
        }
    }
}
