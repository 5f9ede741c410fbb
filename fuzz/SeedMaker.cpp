// Writes the starting corpora of the fuzz harnesses, made by the test fixture code:
//   fuzz_seeds OUTDIR
// makes OUTDIR/<harness>/ for each harness and fills it with small valid inputs of the
// kinds that harness reads (modules, .ico files, bitmaps, PNG images), with the variants
// the readers treat differently. Nothing binary is kept in the source tree.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/ImageFixtures.h"
#include "support/InfFixtures.h"
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
                    writeAll(out / "inf_read", infSeeds()) && writeAll(out / "cursor_pack", packSeeds());
    if (!ok) {
        std::fprintf(stderr, "fuzz_seeds: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
