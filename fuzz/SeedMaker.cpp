// Writes the starting corpora of the fuzz harnesses, made by the test fixture code:
//   fuzz_seeds OUTDIR
// makes OUTDIR/<harness>/ for each harness and fills it with small valid inputs of the
// kinds that harness reads (modules, .ico files, bitmaps, PNG images), with the variants
// the readers treat differently. Nothing binary is kept in the source tree.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "formats/ShellLink.h"
#include "support/ImageFixtures.h"
#include "support/InfFixtures.h"
#include "support/LinkFixtures.h"
#include "support/ModuleFixtures.h"
#include "support/PackFixtures.h"

namespace {

using fixtures::Bytes;

struct Seed {
    std::string name;
    Bytes bytes;
};

fixtures::Argb gradient(int x, int y) {
    return 0xFF000000u | (static_cast<fixtures::Argb>(x * 16 % 256) << 16) | (static_cast<fixtures::Argb>(y * 16 % 256) << 8) | 0x40u;
}

std::vector<Seed> bitmapSeeds() {
    std::vector<Seed> seeds;
    for (int bpp : {1, 4, 8, 16, 24, 32}) seeds.push_back({"dib-" + std::to_string(bpp), fixtures::patternDib(16, bpp)});

    fixtures::DibSpec alpha;
    alpha.width = alpha.height = 16;
    alpha.bitCount = 32;
    alpha.pixel = [](int x, int y) { return (static_cast<std::uint32_t>((x + y) * 8) << 24) | 0x00336699u; };
    seeds.push_back({"dib-32-alpha", fixtures::makeDib(alpha)});

    fixtures::DibSpec fields;
    fields.width = fields.height = 8;
    fields.bitCount = 16;
    fields.compression = 3;
    fields.pixel = [](int x, int y) { return static_cast<std::uint32_t>(x * 2048 + y * 32); };
    seeds.push_back({"dib-16-bitfields", fixtures::makeDib(fields)});

    fixtures::DibSpec core;
    core.width = core.height = 8;
    core.bitCount = 4;
    core.headerSize = 12;
    core.pixel = [](int x, int y) { return static_cast<std::uint32_t>((x + y) % 16); };
    seeds.push_back({"dib-core", fixtures::makeDib(core)});

    fixtures::DibSpec v5 = fields;
    v5.headerSize = 124;
    v5.bitCount = 32;
    v5.masks[0] = 0x00FF0000;
    v5.masks[1] = 0x0000FF00;
    v5.masks[2] = 0x000000FF;
    v5.pixel = [](int x, int y) { return 0xFF000000u | static_cast<std::uint32_t>(x * 0x100000 + y * 0x10); };
    seeds.push_back({"dib-v5", fixtures::makeDib(v5)});

    fixtures::DibSpec noMask;
    noMask.width = noMask.height = 8;
    noMask.bitCount = 8;
    noMask.clrUsed = 3;
    noMask.palette = {0xFF000000, 0xFFFF0000, 0xFFFFFFFF};
    noMask.withMask = false;
    noMask.pixel = [](int x, int) { return static_cast<std::uint32_t>(x % 3); };
    seeds.push_back({"dib-8-nomask", fixtures::makeDib(noMask)});
    return seeds;
}

std::vector<Seed> pngSeeds() {
    std::vector<Seed> seeds;
    seeds.push_back({"png-rgba", fixtures::makePng(16, 16, gradient)});
    seeds.push_back({"png-rgb", fixtures::makePng(16, 16, gradient, 2)});
    seeds.push_back({"png-gray", fixtures::makePng(8, 8, gradient, 0)});
    seeds.push_back({"png-gray-alpha-16", fixtures::makePng(8, 8, gradient, 4, 16)});
    seeds.push_back({"png-palette-4", fixtures::makePng(8, 8, gradient, 3, 4, {{0, 128, 255}, {}})});
    seeds.push_back({"png-gray-2-key", fixtures::makePng(8, 8, gradient, 0, 2, {{}, 0x000000u})});
    seeds.push_back({"png-interlaced", fixtures::makePng(16, 16, gradient, 6, 8, {}, true)});
    seeds.push_back({"png-text-chunk",
                     fixtures::insertPngChunk(fixtures::makePng(8, 8, gradient), "tEXt", Bytes{'a', 0, 'b'})});
    // Deflate bombs within the harness's 16 KiB: 12 MiB of zeros compressed after the rows.
    seeds.push_back({"png-rgba-deflate-tail", fixtures::pngWithDeflateTail(fixtures::makePng(16, 16, gradient), 12 << 20)});
    seeds.push_back({"png-interlaced-deflate-tail",
                     fixtures::pngWithDeflateTail(fixtures::makePng(16, 16, gradient, 2, 8, {}, true), 12 << 20, {}, 4096)});
    return seeds;
}

std::vector<Seed> icoSeeds() {
    std::vector<Seed> seeds;
    seeds.push_back({"ico-two", fixtures::makeIco({{fixtures::patternDib(16, 4)}, {fixtures::patternDib(32, 8)}})});
    seeds.push_back({"ico-depths", fixtures::makeIco({{fixtures::patternDib(16, 1)}, {fixtures::patternDib(16, 24)},
                                                      {fixtures::patternDib(16, 32)}})});
    seeds.push_back({"ico-png", fixtures::makeIco({{fixtures::makePng(16, 16, gradient)}, {fixtures::patternDib(16, 4)}})});
    seeds.push_back({"ico-png-deflate-tail",
                     fixtures::makeIco({{fixtures::pngWithDeflateTail(fixtures::makePng(32, 32, gradient), 12 << 20)}})});
    fixtures::IcoEntry shared{fixtures::patternDib(16, 4)};
    shared.imageOffset = 6 + 2 * 16;  // both entries point at the same image
    seeds.push_back({"ico-shared-image", fixtures::makeIco({shared, shared})});
    seeds.push_back({"ico-one-image-many-times", fixtures::icoRepeatingOneImage(fixtures::patternDib(48, 32), 4000)});
    seeds.push_back({"ico-empty", fixtures::makeIco({})});
    seeds.push_back({"cursor", fixtures::makeIco({{fixtures::patternDib(16, 4)}}, 2)});
    return seeds;
}

std::vector<Seed> peSeeds() {
    using fixtures::patternIcon;
    using fixtures::resId;
    using fixtures::resName;
    std::vector<Seed> seeds;
    seeds.push_back({"pe-ids", fixtures::makePe({patternIcon(resId(1)), patternIcon(resId(2), {16}), patternIcon(resId(105), {32}, 8)})});
    fixtures::PeOptions plus;
    plus.plus = true;
    seeds.push_back({"pe-plus-named", fixtures::makePe({patternIcon(resName("MAINICON"), {16}), patternIcon(resId(7), {16}, 1)}, plus)});
    fixtures::ModuleIcon png{resId(3), {fixtures::makePng(16, 16, gradient), fixtures::patternDib(16, 32)}, {}};
    seeds.push_back({"pe-png", fixtures::makePe({png})});
    fixtures::PeOptions headers;
    headers.resourcesInHeaders = true;
    seeds.push_back({"pe-in-headers", fixtures::makePe({patternIcon(resId(1), {16})}, headers)});
    fixtures::PeOptions unsorted;
    unsorted.sorted = false;
    unsorted.language = fixtures::kLangJapanese;
    unsorted.extra.push_back({resName("DATA"), resName("Blob"), Bytes{1, 2, 3}, fixtures::kLangGerman});
    unsorted.extra.push_back({resId(2), resId(9), fixtures::patternDib(8, 4), fixtures::kLangNeutral});
    seeds.push_back({"pe-unsorted", fixtures::makePe({patternIcon(resId(9), {16}), patternIcon(resName("zeta"), {16})}, unsorted)});
    fixtures::PeOptions none;
    none.withResources = false;
    seeds.push_back({"pe-no-resources", fixtures::makePe({}, none)});
    seeds.push_back({"pe-group-one-image-many-times", fixtures::moduleRepeatingOneImage(fixtures::patternDib(48, 32), 4000)});
    return seeds;
}

std::vector<Seed> neSeeds() {
    using fixtures::patternIcon;
    using fixtures::resId;
    using fixtures::resName;
    std::vector<Seed> seeds;
    seeds.push_back({"ne-ids", fixtures::makeNe({patternIcon(resId(1)), patternIcon(resId(2), {16}, 8)})});
    fixtures::NeOptions shifted;
    shifted.shift = 9;
    shifted.padEnd = false;
    seeds.push_back({"ne-shift9-named", fixtures::makeNe({patternIcon(resName("APPICON"), {16})}, shifted)});
    fixtures::NeOptions unaligned;
    unaligned.shift = 0;
    unaligned.extra.push_back({resName("TEXTS"), resId(4), Bytes{'h', 'i'}});
    seeds.push_back({"ne-shift0-extra", fixtures::makeNe({patternIcon(resId(5), {16}, 1)}, unaligned)});
    fixtures::NeOptions none;
    none.withResources = false;
    seeds.push_back({"ne-no-resources", fixtures::makeNe({}, none)});
    return seeds;
}

std::vector<Seed> curSeeds() {
    std::vector<Seed> seeds;
    seeds.push_back({"cur-depths", fixtures::makeCur({{fixtures::patternDib(32, 1), 0, 0}, {fixtures::patternDib(32, 4), 31, 31},
                                                      {fixtures::patternDib(16, 8), 3, 4}, {fixtures::patternDib(48, 32), 47, 0}})});
    seeds.push_back({"cur-png", fixtures::makeCur({{fixtures::makePng(16, 16, gradient), 8, 8}})});
    fixtures::IcoEntry shared{fixtures::patternDib(16, 4)};
    shared.imageOffset = 6 + 2 * 16;
    seeds.push_back({"cur-shared-image", fixtures::makeIco({shared, shared}, 2)});
    return seeds;
}

std::vector<Seed> aniSeeds() {
    const Bytes red = fixtures::makeCur({{fixtures::patternDib(16, 4), 1, 1}, {fixtures::patternDib(32, 32), 2, 2}});
    const Bytes icon = fixtures::makeIco({{fixtures::patternDib(16, 8)}});
    std::vector<Seed> seeds;
    seeds.push_back({"ani-plain", fixtures::makeAni({{red, icon}})});
    seeds.push_back({"ani-rate-seq-info", fixtures::makeAni({.frames = {red, icon}, .rate = {3, 6, 9}, .sequence = {1, 0, 1},
                                                            .steps = 3, .infoList = true})});
    seeds.push_back({"ani-rate", fixtures::makeAni({.frames = {icon, red}, .rate = {60, 1}})});
    return seeds;
}

std::vector<Seed> cursorModuleSeeds() {
    using fixtures::resId;
    using fixtures::resName;
    auto resources = fixtures::cursorResources({{resId(1), {{fixtures::patternDib(32, 1), 0, 0}, {fixtures::patternDib(32, 32), 31, 31}}},
                                                {resName("HAND"), {{fixtures::makePng(16, 16, gradient), 4, 4}}}});
    resources.push_back({resId(21), resName("BUSY"), aniSeeds().front().bytes});
    resources.push_back({resId(22), resId(3), aniSeeds().back().bytes});
    std::vector<Seed> seeds;
    seeds.push_back({"pe-cursors", fixtures::makePe({}, {.extra = resources})});
    seeds.push_back({"pe-plus-cursors", fixtures::makePe({}, {.plus = true, .extra = resources})});
    seeds.push_back({"ne-cursors", fixtures::makeNe({}, {.extra = resources})});
    return seeds;
}

std::vector<Seed> infSeeds() {
    std::vector<Seed> seeds;
    for (auto& [name, bytes] : fixtures::sampleInfs()) seeds.push_back({name, std::move(bytes)});
    return seeds;
}

// Packs as downloaded: a zip of a folder with its INF and files, a 7-Zip archive of named
// files, an INF alone.
std::vector<Seed> packSeeds() {
    const Bytes cur = fixtures::cursorOf(16, 0xFF336699, 1, 1);
    const Bytes ani = fixtures::makeAni({.frames = {cur, fixtures::cursorOf(16, 0xFF000000)}, .rate = {5, 10}});
    std::vector<fixtures::PackEntry> withInf{{"Pack/", {}, {}}, {"Pack/install.inf", fixtures::utf8Text(fixtures::templateInf("Seed")), {}}};
    for (std::size_t r = 0; r < 17; ++r)
        withInf.push_back({std::string("Pack/") + fixtures::kTemplateInfFiles[r], r == 2 || r == 3 ? ani : cur, {}});
    const std::vector<fixtures::PackEntry> named{{"arrow.cur", cur, {}}, {"busy.ani", ani, {}}, {"Text.CUR", cur, {}}};
    return {{"pack-zip-inf", fixtures::makeArchive(fixtures::ArchiveKind::Zip, withInf)},
            {"pack-7z-named", fixtures::makeArchive(fixtures::ArchiveKind::SevenZip, named)},
            {"pack-inf", fixtures::utf8Text(fixtures::templateInf("Seed"))}};
}

std::vector<Seed> lnkSeeds() {
    fixtures::LinkInfoSpec local;
    local.localBasePath = "C:\\Program Files\\Game\\game.exe";
    fixtures::LinkInfoSpec wide = local;
    wide.unicode = true;
    wide.localBasePathUnicode = "C:\\Spiel\u00e9\\";
    wide.commonPathSuffixUnicode = "g.exe";
    fixtures::LinkInfoSpec share;
    share.netName = "\\\\server\\share";
    share.deviceName = "Z:";
    share.commonPathSuffix = "x.exe";
    const auto block = [](std::uint32_t signature) { return fixtures::environmentBlock(signature, "%WINDIR%\\a.exe", "%WINDIR%\\w.exe"); };
    std::vector<Seed> seeds;
    seeds.push_back({"lnk-icon-location", fixtures::makeLink({.iconIndex = -3, .idList = Bytes{4, 0, 1, 2, 0, 0}, .linkInfo = local,
                                                              .name = "Game", .workingDir = "C:\\Game", .arguments = "-w",
                                                              .iconLocation = "%SystemRoot%\\system32\\shell32.dll"})});
    seeds.push_back({"lnk-unicode-linkinfo", fixtures::makeLink({.linkInfo = wide, .relativePath = "..\\g.exe"})});
    seeds.push_back({"lnk-network-ansi", fixtures::makeLink({.unicode = false, .linkInfo = share, .iconLocation = "\\\\s\\i.ico"})});
    seeds.push_back({"lnk-blocks", fixtures::makeLink({.iconIndex = 2, .extraBlocks = {block(formats::kIconEnvironmentBlockSignature),
                                                                                      block(formats::kEnvironmentBlockSignature)}})});
    return seeds;
}

std::vector<Seed> iniSeeds() {
    using fixtures::TextEncoding;
    std::vector<Seed> seeds;
    seeds.push_back({"desktop-ini-utf16", fixtures::iniText({"[.ShellClassInfo]", "IconResource=C:\\x.dll,-3", "IconFile=a.ico", "IconIndex=2"},
                                                            TextEncoding::Utf16Bom)});
    seeds.push_back({"url-utf8", fixtures::iniText({"[InternetShortcut]", "URL=https://example.org/", "IconFile=\"C:\\i.ico\"", "IconIndex=-1"},
                                                   TextEncoding::Utf8Bom)});
    seeds.push_back({"autorun-ansi", fixtures::iniText({"; medium", "[autorun]", "open=setup.exe", "icon=setup.exe,1"}, TextEncoding::Ansi, false)});
    return seeds;
}

std::vector<Seed> msiSeeds() {
    fixtures::MsiSpec package;
    package.icons = {{"small.ico", fixtures::makeIco({{fixtures::patternDib(16, 4)}})}, {"big.exe", Bytes(5000, 0x5A)}};
    package.properties = {{"ProductName", "Seed"}, {"ARPPRODUCTICON", "big.exe"}};
    std::vector<Seed> seeds;
    seeds.push_back({"msi-512", fixtures::makeMsi(package)});
    package.longStringRefs = true;
    package.codePage = 65001;
    seeds.push_back({"msi-long-refs-utf8", fixtures::makeMsi(package)});
    package.sectorShift = 12;
    package.icons.resize(1);
    seeds.push_back({"msi-4096", fixtures::makeMsi(package)});
    return seeds;
}

std::vector<Seed> regSeeds() {
    const std::string text = fixtures::wineRegistryText(
        "REGISTRY\\\\Machine",
        {{"Software\\\\Microsoft\\\\Windows\\\\CurrentVersion",
          {"\"ProgramFilesDir\"=\"C:\\\\Program Files\"", "\"P\"=str(2):\"%ProgramFiles%\\\\x\\xe9\"", "@=dword:00000001"}},
         {"System\\\\CurrentControlSet", {"#link", "\"SymbolicLinkValue\"=hex(6):5c,00,52,00,45,00,47,00,49,00,53,00,54,00,52,00,59,00,\\",
                                          "  5c,00,4d,00,61,00,63,00,68,00,69,00,6e,00,65,00,5c,00,53,00,31,00"}},
         {"S1\\\\Control\\\\Nls\\\\CodePage", {"\"ACP\"=\"1252\""}},
         {"Environment", {"\"TEMP\"=\"C:\\\\users\\\\a\\\\Temp\"", "\"M\"=str(7):\"a\\0b\\0\""}}});
    return {{"system-reg", Bytes(text.begin(), text.end())}};
}

// The files real writers made (tests/data), as seeds beside the made ones.
std::vector<Seed> dataSeeds(const char* extension) {
    std::vector<Seed> seeds;
#ifdef VEXIL_SOURCE_DIR
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(std::string(VEXIL_SOURCE_DIR) + "/tests/data/linkfiles", ec))
        if (entry.path().extension() == extension) seeds.push_back({"data-" + entry.path().filename().string(), fixtures::readFile(entry.path().string())});
#else
    (void)extension;
#endif
    return seeds;
}

bool writeAll(const std::filesystem::path& dir, const std::vector<Seed>& seeds) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) return false;
    for (const Seed& s : seeds)
        if (!fixtures::writeFile((dir / s.name).string(), s.bytes)) return false;
    return true;
}

std::vector<Seed> join(std::initializer_list<std::vector<Seed>> parts) {
    std::vector<Seed> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds OUTDIR\n");
        return 2;
    }
    const std::filesystem::path out = argv[1];
    const auto pe = peSeeds(), ne = neSeeds(), ico = icoSeeds();
    const bool ok = writeAll(out / "pe_resources", pe) && writeAll(out / "ne_resources", ne) &&
                    writeAll(out / "ico_read", ico) && writeAll(out / "icon_groups", join({pe, ne})) &&
                    writeAll(out / "dib_decode", bitmapSeeds()) && writeAll(out / "png_decode", pngSeeds()) &&
                    writeAll(out / "icon_extract", join({pe, ne, ico})) &&
                    writeAll(out / "cursor_read", join({curSeeds(), aniSeeds(), ico})) &&
                    writeAll(out / "cursor_groups", cursorModuleSeeds()) && writeAll(out / "ani_read", aniSeeds()) &&
                    writeAll(out / "inf_read", infSeeds()) && writeAll(out / "cursor_pack", packSeeds()) &&
                    writeAll(out / "lnk_read", join({lnkSeeds(), dataSeeds(".lnk")})) && writeAll(out / "ini_read", iniSeeds()) &&
                    writeAll(out / "msi_read", join({msiSeeds(), dataSeeds(".msi")})) && writeAll(out / "reg_read", regSeeds());
    if (!ok) {
        std::fprintf(stderr, "fuzz_seeds: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
