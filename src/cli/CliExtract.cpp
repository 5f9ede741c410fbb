// vexil-cli extract: writes every icon group of every input file into one directory, as
// an exact .ico (the group's images as the module stores them) or as a .png of the group's
// largest image. The work is that of the icon save dialog, file after file: a QIconMod
// per file, its groups listed and loaded, each saved; all writes go through AtomicFile.
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <filesystem>

#include <sys/stat.h>

#include "cli/CliExtract.h"
#include "formats/CursorFile.h"
#include "iconmod/IconGroups.h"
#include "iconmod/Iconmod.h"
#include "iconmod/PngExport.h"
#include "platform/FileSource.h"
#include "platform/MbText.h"
#include "platform/MessageBox.h"

namespace cli::extract {
namespace {

constexpr const char* kUsage =
    "usage: vexil-cli extract PATH... -o OUTDIR [--recursive] [--filter MASK] [--format ico|png] [--force] "
    "[--verbose] [--cursors]";
constexpr int kProgressWidth = 30;
constexpr std::size_t kProgressNameBytes = 40;

// What happened to the files and icons of one run.
struct Tally {
    std::size_t files = 0;
    std::size_t written = 0;
    std::size_t cursorsWritten = 0;
    std::size_t existing = 0;
    std::size_t notWritten = 0;
    std::size_t skippedNoIcons = 0;     // found in a directory
    std::size_t skippedNotRegular = 0;  // found in a directory
    std::size_t failedNoIcons = 0;      // named on the command line
    std::size_t failedNotRegular = 0;   // named on the command line
    std::size_t unreadable = 0;
    std::size_t damaged = 0;

    bool failed() const { return notWritten + failedNoIcons + failedNotRegular + unreadable + damaged > 0; }
};

std::string counted(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Appends "what" to a comma-separated list when n is not 0.
void listPart(std::string& list, std::size_t n, const std::string& what) {
    if (n == 0) return;
    if (!list.empty()) list += ", ";
    list += std::to_string(n) + " " + what;
}

std::string summaryLine(const Tally& t) {
    std::string line = counted(t.files, "file", "files") + ", " + counted(t.written, "icon", "icons");
    if (t.cursorsWritten > 0) line += " and " + counted(t.cursorsWritten, "cursor", "cursors");
    line += " written";
    if (t.existing > 0) line += ", " + std::to_string(t.existing) + " already there (kept; --force replaces them)";
    std::string skipped;
    listPart(skipped, t.skippedNoIcons, "without icons");
    listPart(skipped, t.skippedNotRegular, t.skippedNotRegular == 1 ? "not a regular file" : "not regular files");
    if (!skipped.empty())
        line += "; skipped " + counted(t.skippedNoIcons + t.skippedNotRegular, "file", "files") + " (" + skipped + ")";
    std::string failed;
    listPart(failed, t.unreadable, t.unreadable == 1 ? "file unreadable" : "files unreadable");
    listPart(failed, t.damaged, t.damaged == 1 ? "file with damaged icon data" : "files with damaged icon data");
    listPart(failed, t.failedNoIcons, t.failedNoIcons == 1 ? "file without icons" : "files without icons");
    listPart(failed, t.failedNotRegular, t.failedNotRegular == 1 ? "not a regular file" : "not regular files");
    listPart(failed, t.notWritten, t.notWritten == 1 ? "icon not written" : "icons not written");
    if (!failed.empty()) line += "; failed: " + failed;
    return line;
}

// A progress bar on stderr, drawn only when stderr is a terminal.
class Progress {
public:
    explicit Progress(std::size_t total) : on_(::isatty(STDERR_FILENO) == 1), total_(total) {}

    void show(std::size_t done, std::string_view name) {
        if (!on_) return;
        const int filled = total_ == 0 ? kProgressWidth : static_cast<int>(done * kProgressWidth / total_);
        std::string bar(static_cast<std::size_t>(filled), '#');
        bar.resize(kProgressWidth, '.');
        std::fprintf(stderr, "\r\033[K[%s] %zu/%zu %s", bar.c_str(), done, total_,
                     safeComponent(name, kProgressNameBytes).c_str());
        std::fflush(stderr);
    }
    // Clears the bar's line so that other text starts on a clean line.
    void clear() {
        if (on_) std::fputs("\r\033[K", stderr);
    }

private:
    bool on_;
    std::size_t total_;
};

const char* skipText(Skip why) {
    switch (why) {
    case Skip::NoIcons: return "holds no icons";
    case Skip::NotRegular: return "not a regular file";
    case Skip::Unreadable: return "cannot be read";
    case Skip::Damaged: return "damaged icon data";
    }
    return "";
}

class Extractor {
public:
    Extractor(const Options& options, Tally& tally, Progress& progress)
        : options_(options), tally_(tally), progress_(progress) {}

    void run(const Input& input);

private:
    enum class Kind { None, Module, Ico, Cursor };
    std::optional<Kind> detect(const std::string& path);
    void skip(const Input& input, Skip why);
    void extractModule(const Input& input);
    void extractIco(const Input& input);
    // Writes the source's current image set; false when the set cannot be turned into
    // the output (no image, or a .png whose image does not decode).
    bool save(iconmod::QIconMod& source, const Input& input, std::optional<std::string_view> group);
    // Names the output, keeps an existing one unless --force, writes it and counts it.
    void output(const Input& input, std::optional<std::string_view> group, std::string_view extension,
                const std::function<bool(const std::string& path)>& write);
    void note(const std::string& path, const char* what);

    const Options& options_;
    Tally& tally_;
    Progress& progress_;
    NameBook names_;
};

void Extractor::note(const std::string& path, const char* what) {
    if (!options_.verbose) return;
    progress_.clear();
    std::fprintf(stderr, "vexil-cli: %s: %s\n", path.c_str(), what);
}

void Extractor::skip(const Input& input, Skip why) {
    note(input.path, skipText(why));
    switch (why) {
    case Skip::NoIcons: ++(input.named ? tally_.failedNoIcons : tally_.skippedNoIcons); break;
    case Skip::NotRegular: ++(input.named ? tally_.failedNotRegular : tally_.skippedNotRegular); break;
    case Skip::Unreadable: ++tally_.unreadable; break;
    case Skip::Damaged: ++tally_.damaged; break;
    }
}

// Modules start with "MZ"; icon files with reserved 0 and type 1. nullopt: unreadable.
std::optional<Extractor::Kind> Extractor::detect(const std::string& path) {
    const auto file = platform::FileSource::open(path);
    if (!file) return std::nullopt;
    const auto head = file->read(0, std::min<std::uint64_t>(12, file->size()));
    if (!head) return std::nullopt;
    const formats::ByteView h(*head);
    if (h.startsWith("MZ")) return Kind::Module;
    if (h.u16(0) == 0 && h.u16(2) == 1) return Kind::Ico;
    if (formats::isCursorFile(h)) return Kind::Cursor;
    return Kind::None;
}

void Extractor::run(const Input& input) {
    ++tally_.files;
    if (input.skip) return skip(input, *input.skip);
    const auto kind = detect(input.path);
    if (!kind) return skip(input, Skip::Unreadable);
    if (*kind == Kind::Module) return extractModule(input);
    if (*kind == Kind::Ico) return extractIco(input);
    if (*kind == Kind::Cursor && options_.cursors) {
        const auto copy = cursorFileCopy(input.path);
        if (!copy) return skip(input, Skip::Unreadable);
        return output(input, copy->group, copy->extension, copy->write);
    }
    skip(input, Skip::NoIcons);
}

void Extractor::extractModule(const Input& input) {
    iconmod::QIconMod source(input.path);
    iconmod::VectorTextList groups;
    const bool opened = source.fnOpenAnyModule();
    const bool icons = opened && iconmod::fnListGroupNames(source, groups);
    bool damaged = false;
    for (const std::string& group : groups.items) {
        source.GroupName = group;
        // An empty name is a string name that could not be read: that group cannot be found.
        if (group.empty() || !iconmod::fnLoadGroup(source) || !save(source, input, group)) damaged = true;
    }
    std::size_t cursors = 0;
    if (opened && options_.cursors) {
        cursors = forEachModuleCursor(
            *source.Module, [&](const CursorOutput& o) { output(input, o.group, o.extension, o.write); }, &damaged);
    }
    if (damaged) skip(input, Skip::Damaged);
    else if (!icons && cursors == 0) skip(input, Skip::NoIcons);
}

void Extractor::extractIco(const Input& input) {
    iconmod::QIconMod source(input.path);
    source.Images = source.fnReadIcoFile(input.path);
    if (!source.Images) return skip(input, Skip::Damaged);
    if (source.Images->Count() == 0) return skip(input, Skip::NoIcons);
    if (!save(source, input, std::nullopt)) skip(input, Skip::Damaged);
}

// The largest image by area; on equal areas the deeper one, then the earlier one.
std::size_t largestImage(const iconmod::IconImageSet& set) {
    std::size_t best = 0;
    auto area = [](const iconmod::IconImage& image) { return std::int64_t{image.Width} * image.Height; };
    for (std::size_t i = 1; i < set.Images.size(); ++i) {
        const iconmod::IconImage& a = set.Images[i];
        const iconmod::IconImage& b = set.Images[best];
        if (area(a) > area(b) || (area(a) == area(b) && a.ColorBits > b.ColorBits)) best = i;
    }
    return best;
}

bool Extractor::save(iconmod::QIconMod& source, const Input& input, std::optional<std::string_view> group) {
    if (!source.Images || source.Images->Count() == 0) return false;
    if (options_.format == Format::Png) {
        const auto picture = iconmod::QIconMod::fnMakeIcon(&source.Images->Images[largestImage(*source.Images)]);
        if (!picture) return false;
        output(input, group, ".png", [&picture](const std::string& path) { return iconmod::writePng(path, *picture); });
    } else {
        output(input, group, ".ico", [&source](const std::string& path) { return source.fnSaveIco(path, -1); });
    }
    return true;
}

void Extractor::output(const Input& input, std::optional<std::string_view> group, std::string_view extension,
                       const std::function<bool(const std::string& path)>& write) {
    const std::string name = names_.take(input.name, group, extension);
    const std::string path = platform::joinPath(options_.outDir, name);
    struct stat st {};
    if (!options_.force && ::lstat(path.c_str(), &st) == 0) {
        ++tally_.existing;
        return;
    }
    if (write(path)) {
        ++(extension == ".cur" || extension == ".ani" ? tally_.cursorsWritten : tally_.written);
    } else {
        ++tally_.notWritten;
        note(path, "cannot be written");
    }
}

}  // namespace

std::optional<Options> parseOptions(const Args& args, std::string* error) {
    Options o;
    bool outGiven = false;
    bool onlyPaths = false;
    auto fail = [error](const std::string& message) -> std::optional<Options> {
        *error = message;
        return std::nullopt;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (onlyPaths || a.empty() || a[0] != '-' || a == "-") {
            o.paths.push_back(a);
            continue;
        }
        const bool takesValue = a == "-o" || a == "--output" || a == "--filter" || a == "--format";
        if (takesValue && i + 1 >= args.size()) return fail(a + " needs a value");
        if (a == "--") {
            onlyPaths = true;
        } else if (a == "-o" || a == "--output") {
            o.outDir = args[++i];
            outGiven = true;
        } else if (a == "--filter") {
            o.mask = args[++i];
        } else if (a == "--format") {
            const std::string& f = args[++i];
            if (f != "ico" && f != "png") return fail("--format must be ico or png");
            o.format = f == "png" ? Format::Png : Format::Ico;
        } else if (a == "-r" || a == "--recursive") {
            o.recursive = true;
        } else if (a == "-f" || a == "--force") {
            o.force = true;
        } else if (a == "-v" || a == "--verbose") {
            o.verbose = true;
        } else if (a == "--cursors") {
            o.cursors = true;
        } else {
            return fail("unknown option " + a);
        }
    }
    if (o.paths.empty()) return fail("no PATH given");
    if (!outGiven || o.outDir.empty()) return fail("-o OUTDIR is required");
    if (o.mask.empty()) return fail("--filter needs a mask such as *.dll");
    return o;
}

}  // namespace cli::extract

namespace cli {

int cmdExtract(const Args& args) {
    using namespace extract;
    std::string error;
    const auto options = parseOptions(args, &error);
    if (!options) return usage(error + "\n" + kUsage);

    std::error_code ec;
    std::filesystem::create_directories(options->outDir, ec);
    if (!std::filesystem::is_directory(options->outDir, ec)) return fail(options->outDir + ": cannot make the directory");

    // The icon core's own messages (in the dialog's language) are not shown: each file's
    // outcome is counted and, with --verbose, told in one English line.
    const auto previous =
        platform::setMessageBoxHandler([](const std::string&, const std::string&, unsigned) { return platform::mb::IdOk; });

    const std::vector<Input> inputs = collectInputs(*options, options->outDir);
    Tally tally;
    Progress progress(inputs.size());
    Extractor extractor(*options, tally, progress);
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        progress.show(i, inputs[i].name);
        extractor.run(inputs[i]);
    }
    progress.show(inputs.size(), "");
    progress.clear();
    platform::setMessageBoxHandler(previous);

    std::printf("%s\n", summaryLine(tally).c_str());
    return tally.failed() ? 1 : 0;
}

}  // namespace cli
