// Wine's registry files: values found by key and name without regard to case, strings
// unescaped as Wine escapes them, hex data over several lines, links between keys.
#include <gtest/gtest.h>

#include "formats/WineRegistry.h"
#include "support/LinkFixtures.h"

namespace {

using formats::RegistryValue;
using Type = RegistryValue::Type;

const std::string kText = fixtures::wineRegistryText(
    "REGISTRY\\\\Machine",
    {{"Software\\\\Microsoft\\\\Windows\\\\CurrentVersion",
      {"\"CommonFilesDir\"=\"C:\\\\Program Files\\\\Common Files\"", "\"FirstInstallDateTime\"=hex:21,81,7c,23",
       "\"ProgramFilesDir\"=\"C:\\\\Program Files\"", "\"ProgramFilesPath\"=str(2):\"%ProgramFiles%\"", "@=\"default\""}},
     {"Software\\\\Escapes",
      {"\"Quote\\\"d\"=\"a\\\"b\\\\c\\td\"", "\"Hex\"=\"caf\\xe9 \\x00e9a \\xd83d\\xde00\"", "\"Utf8\"=\"\xC3\xA9t\xC3\xA9\"",
       "\"Octal\"=\"a\\0b\"", "\"Dword\"=dword:0000c6f4", "\"Multi\"=str(7):\"one\\0two\\0\"",
       "\"Expand\"=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6d,00,52,00,6f,00,6f,00,\\",
       "  74,00,25,00,5c,00,78,00,00,00", "\"After\"=\"still read\""}},
     {"System\\\\CurrentControlSet", {"#link", "\"SymbolicLinkValue\"=hex(6):5c,00,52,00,45,00,47,00,49,00,53,00,54,00,52,00,59,00,5c,00,\\",
                                     "  4d,00,61,00,63,00,68,00,69,00,6e,00,65,00,5c,00,53,00,79,00,73,00,74,00,65,00,6d,00,5c,00,\\",
                                     "  43,00,53,00,31,00"}},
     {"System\\\\CS1\\\\Control\\\\Nls\\\\Codepage", {"\"ACP\"=\"932\""}},
     {"Loop\\\\A", {"#link", "\"SymbolicLinkValue\"=hex(6):5c,00,52,00,45,00,47,00,49,00,53,00,54,00,52,00,59,00,5c,00,4d,00,61,00,63,00,68,00,69,00,6e,00,65,00,5c,00,4c,00,6f,00,6f,00,70,00,5c,00,41,00"}},
     {"Key\\\\With\\]Bracket", {"\"v\"=\"bracket\""}}});

TEST(WineRegistry, FindsValuesAsWineWroteThem) {
    const formats::Bytes bytes(kText.begin(), kText.end());
    const auto reg = formats::WineRegistry::open(bytes);
    ASSERT_TRUE(reg) << reg.error().text();
    EXPECT_EQ(reg->root(), "REGISTRY\\Machine");
    const struct {
        const char* key;
        const char* name;
        std::optional<Type> type;
        std::string text;
        std::uint32_t dword;
    } cases[] = {
        {"Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", Type::String, "C:\\Program Files", 0},
        {"software\\MICROSOFT\\windows\\currentversion", "programfilesdir", Type::String, "C:\\Program Files", 0},
        {"\\Software\\Microsoft\\Windows\\CurrentVersion\\", "ProgramFilesPath", Type::ExpandString, "%ProgramFiles%", 0},
        {"Software\\Microsoft\\Windows\\CurrentVersion", "", Type::String, "default", 0},
        {"Software\\Microsoft\\Windows\\CurrentVersion", "FirstInstallDateTime", Type::Other, "", 0},
        {"Software\\Microsoft\\Windows\\CurrentVersion", "Missing", std::nullopt, "", 0},
        {"Software\\Microsoft\\Windows", "ProgramFilesDir", std::nullopt, "", 0},
        {"Software\\Escapes", "Quote\"d", Type::String, "a\"b\\c\td", 0},
        {"Software\\Escapes", "Hex", Type::String, "caf\u00e9 \u00e9a \U0001F600", 0},
        {"Software\\Escapes", "Utf8", Type::String, "\u00e9t\u00e9", 0},
        {"Software\\Escapes", "Octal", Type::String, std::string("a\0b", 3), 0},
        {"Software\\Escapes", "Dword", Type::Dword, "", 0xC6F4},
        {"Software\\Escapes", "Multi", Type::MultiString, std::string("one\0two\0", 8), 0},
        {"Software\\Escapes", "Expand", Type::ExpandString, "%SystemRoot%\\x", 0},
        {"Software\\Escapes", "After", Type::String, "still read", 0},
        {"System\\CurrentControlSet\\Control\\Nls\\CodePage", "ACP", Type::String, "932", 0},
        {"Loop\\A\\B", "x", std::nullopt, "", 0},
        {"Key\\With]Bracket", "v", Type::String, "bracket", 0},
    };
    for (const auto& c : cases) {
        const auto v = reg->value(c.key, c.name);
        ASSERT_EQ(v.has_value(), c.type.has_value()) << c.key << " " << c.name;
        if (!v) continue;
        EXPECT_EQ(v->type, *c.type) << c.key << " " << c.name;
        EXPECT_EQ(v->text, c.text) << c.key << " " << c.name;
        EXPECT_EQ(v->dword, c.dword) << c.key << " " << c.name;
    }
}

TEST(WineRegistry, RefusesOtherFilesAndSurvivesCutLines) {
    const std::string reg5 = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\x]\n";
    EXPECT_FALSE(formats::WineRegistry::open(formats::Bytes(reg5.begin(), reg5.end())));
    // Lines cut anywhere: a key without its bracket, a name or a string without its quote,
    // hex data that promises a continuation the file lacks.
    const std::string cut = "WINE REGISTRY Version 2\n[A\\\\B\n[C] 1\n\"n=\"x\n\"m\"=\"y\n\"h\"=hex(2):41,00,\\";
    const formats::Bytes bytes(cut.begin(), cut.end());
    const auto reg = formats::WineRegistry::open(bytes);
    ASSERT_TRUE(reg);
    EXPECT_FALSE(reg->values("A\\B"));
    const auto c = reg->values("C");
    ASSERT_TRUE(c);
    ASSERT_EQ(c->size(), 1u);
    EXPECT_EQ((*c)[0].text, "A");
}

}  // namespace
