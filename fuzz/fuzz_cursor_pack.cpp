// Cursor packs as they are downloaded: the input, written to a file, opened as a pack (a
// .zip, .7z or .rar archive through libarchive, else an INF file alone in its folder). The
// paths the archive gives are clean and the held bytes within bounds; every choice of the
// pack is planned (never written), each plan consistent, its first pictures and preview drawn.
#include <sys/stat.h>

#include "FuzzCommon.h"
#include "iconmod/CursorTheme.h"
#include "iconmod/IconTheme.h"

namespace {

// Choices planned per input, at most.
constexpr std::size_t kMaxChoices = 4;

bool cleanPath(const std::string& path) {
    if (path.empty() || path.front() == '/' || path.back() == '/' || path.find('\\') != std::string::npos) return false;
    for (std::size_t start = 0;;) {
        const std::size_t slash = path.find('/', start);
        const std::string part = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (part.empty() || part == "." || part == "..") return false;
        if (slash == std::string::npos) return true;
        start = slash + 1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::setUp();
    static const std::string folder = [] {
        const std::string f = fuzz::scratchFile("pack");
        ::mkdir(f.c_str(), 0700);
        return f;
    }();
    const std::string path = folder + "/download";
    if (!fuzz::writeFile(path, data, size)) return 0;
    const auto opened = iconmod::openCursorPack(path);
    const auto* pack = std::get_if<iconmod::CursorPack>(&opened);
    if (!pack) return 0;
    FUZZ_CHECK(pack->files.size() <= iconmod::kMaxPackFiles);
    std::uint64_t held = 0;
    for (const iconmod::PackFile& f : pack->files) {
        FUZZ_CHECK(cleanPath(f.path));
        FUZZ_CHECK(f.held || f.bytes.empty());
        held += f.bytes.size();
    }
    FUZZ_CHECK(held <= iconmod::kMaxPackBytes + size);

    const auto choices = iconmod::cursorPackChoices(*pack);
    for (std::size_t i = 0; i < choices.size() && i < kMaxChoices; ++i) {
        for (std::size_t j = 0; j < i; ++j) FUZZ_CHECK(choices[i].label != choices[j].label);
        const auto planned = iconmod::planCursorTheme(*pack, {.name = {}, .scheme = choices[i].label, .sizes = {}});
        const auto* plan = std::get_if<iconmod::CursorThemePlan>(&planned);
        if (!plan) continue;
        FUZZ_CHECK(!plan->roles.empty() && plan->roles.front().role == formats::CursorRole::Arrow);
        FUZZ_CHECK(iconmod::isIconThemeName(plan->name) && plan->name != "." && plan->name != "..");
        for (const iconmod::CursorThemeRole& role : plan->roles) {
            FUZZ_CHECK(role.layout.entries.size() <= iconmod::kMaxXcursorEntries);
            FUZZ_CHECK(role.layout.fileSize() <= iconmod::kMaxXcursorFileSize);
            FUZZ_CHECK(role.chunkImages.size() == role.layout.chunks.size());
            FUZZ_CHECK(role.layout.entries.size() == role.sizes.size() * std::max<std::size_t>(1, role.delaysMs.size()));
            for (std::size_t chunk : role.layout.entries) FUZZ_CHECK(chunk < role.layout.chunks.size());
            FUZZ_CHECK(iconmod::cursorThemePicture(role, 0, 0).has_value());
        }
        const formats::ArgbImage preview = iconmod::cursorThemePreview(*plan);
        FUZZ_CHECK(!preview.isNull());
    }
    return 0;
}
