// The kind of a file, decided once from its bytes, with what is wrong when it is damaged or
// of no kind Vexil reads.
#include <gtest/gtest.h>

#include "formats/FileKind.h"
#include "formats/ModuleResources.h"
#include "support/ImageFixtures.h"
#include "support/ModuleFixtures.h"

using fixtures::Bytes;

namespace {

// A 97-byte PE whose headers overlap: the PE signature at offset 4 inside the DOS header,
// e_lfanew (offset 0x3C) doubling as the optional header's SectionAlignment, and the
// optional header running past the end of the file, where the loader maps zeros.
Bytes tinyPe(std::uint16_t magic) {
    Bytes b(97, 0);
    b[0] = 'M';
    b[1] = 'Z';
    b[4] = 'P';
    b[5] = 'E';
    formats::putU16(b, 8, 0x14C);      // Machine
    formats::putU16(b, 24, 0x70);      // SizeOfOptionalHeader
    formats::putU16(b, 26, 0x103);     // Characteristics
    formats::putU16(b, 28, magic);     // the optional header's magic
    formats::putU32(b, 44, 0x60);      // AddressOfEntryPoint
    formats::putU32(b, 0x3C, 4);       // e_lfanew, also SectionAlignment
    formats::putU32(b, 64, 4);         // FileAlignment
    return b;
}

Bytes mz(std::uint32_t lfanew, std::size_t size, std::string_view signature = {}) {
    Bytes b(size, 0);
    b[0] = 'M';
    b[1] = 'Z';
    formats::putU32(b, 0x3C, lfanew);
    for (std::size_t i = 0; i < signature.size() && lfanew + i < size; ++i) b[lfanew + i] = static_cast<std::uint8_t>(signature[i]);
    return b;
}

}  // namespace

TEST(FileKind, KindsAndWhatIsWrongWithThem) {
    const Bytes png = fixtures::detailedPng(1);
    const Bytes dib = fixtures::patternDib(16, 8);
    Bytes cutIco = fixtures::makeIco({{dib}, {dib}, {dib}});
    cutIco.resize(40);
    Bytes badMagic = mz(0x40, 0x80, std::string_view("PE\0\0", 4));
    formats::putU16(badMagic, 0x40 + 24, 0x107);
    const struct {
        const char* name;
        Bytes bytes;
        formats::FileKind kind;
        std::string problem;
    } cases[] = {
        {"tiny PE32", tinyPe(0x10B), formats::FileKind::Pe32, ""},
        {"tiny PE32+", tinyPe(0x20B), formats::FileKind::Pe32Plus, ""},
        {"PE32", fixtures::makePe({fixtures::patternIcon(fixtures::resId(1))}), formats::FileKind::Pe32, ""},
        {"PE32+", fixtures::makePe({}, {.plus = true}), formats::FileKind::Pe32Plus, ""},
        {"NE", fixtures::makeNe({fixtures::patternIcon(fixtures::resId(1))}), formats::FileKind::Ne, ""},
        {"ICO", fixtures::makeIco({{png}}), formats::FileKind::Ico, ""},
        {"CUR", fixtures::makeCur({{dib, 1, 2}}), formats::FileKind::Cur, ""},
        {"ANI", fixtures::makeAni({{fixtures::makeCur({{dib}})}}), formats::FileKind::Ani, ""},
        {"ICO cut short", cutIco, formats::FileKind::Ico,
         "the directory of 3 entries ends at byte 54, past the end of the file (40 bytes)"},
        {"ICO of no images", fixtures::makeIco({}), formats::FileKind::Ico, "its directory lists no images"},
        {"empty", {}, formats::FileKind::Other, "the file is empty"},
        {"DOS program", mz(0x1000, 0x200), formats::FileKind::Other,
         "an MS-DOS program: its Windows header offset 0x1000 lies past the end of the file (512 bytes)"},
        {"DOS program with a header", mz(0x80, 0x200, "LE"), formats::FileKind::Other,
         "an MS-DOS program: no PE or NE header at 0x80"},
        {"unknown magic", badMagic, formats::FileKind::Other,
         "a PE module whose optional header at 0x58 has the unknown magic 0x107"},
        {"text", Bytes{'h', 'e', 'l', 'l', 'o'}, formats::FileKind::Other,
         "neither a Windows module nor an icon, cursor or animated cursor file"},
        {"PNG", png, formats::FileKind::Other, "neither a Windows module nor an icon, cursor or animated cursor file"},
    };
    for (const auto& c : cases) {
        formats::MemorySource source(c.bytes);
        const formats::KindCheck check = formats::checkKind(source);
        EXPECT_EQ(check.kind, c.kind) << c.name;
        EXPECT_EQ(check.problem, c.problem) << c.name;
        // Every module kind is one the resource reader opens too.
        const bool module = c.kind == formats::FileKind::Pe32 || c.kind == formats::FileKind::Pe32Plus ||
                            c.kind == formats::FileKind::Ne;
        EXPECT_EQ(formats::ResourceModule::open(std::make_unique<formats::MemorySource>(c.bytes)) != nullptr, module) << c.name;
    }
    EXPECT_STREQ(formats::kindName(formats::FileKind::Pe32Plus), "PE32+");
    EXPECT_STREQ(formats::kindName(formats::FileKind::Other), "other");
}
