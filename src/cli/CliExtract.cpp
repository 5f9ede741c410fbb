// vexil-cli extract: writes every icon group of every input file into one directory, as
// an .ico as save-ico writes it (the group's images as the module stores them, a bitmap's
// biSizeImage as 0 unless --exact) or as a .png of the group's largest image
// (iconmod::largestPng: a whole PNG image with every CRC right copied as it is, any other
// picture encoded quickly). The work is that of the icon save dialog, file after file: a
// QIconMod per file, its groups listed and loaded, each saved. New files are written under
// temporary names and named in batches after one sync (platform::FileBatch); a file
// replaced (--force) is flushed on its own before it takes the old one's place.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <filesystem>

#include "cli/CliExtract.h"
#include "cli/Commands.h"
#include "cli/LineText.h"
#include "formats/CursorFile.h"
#include "iconmod/IconGroups.h"
#include "iconmod/PointerSource.h"
#include "iconmod/Iconmod.h"
#include "platform/AtomicFile.h"
#include "platform/FileBatch.h"
#include "platform/FileSource.h"
#include "platform/MbText.h"
#include "platform/MessageBox.h"

namespace cli::extract {
namespace {

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
    std::size_t passedLinks = 0;        // links to directories met in a walk

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
    if (t.passedLinks > 0)
        line += "; passed by " + counted(t.passedLinks, "link to a directory", "links to directories");
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
    case Skip::DirectoryLink: return "a link to a directory, not followed";
    }
    return "";
}

class Extractor {
public:
    Extractor(const Options& options, platform::DirWalk& walk, Tally& tally, Progress& progress)
        : options_(options), walk_(walk), tally_(tally), progress_(progress) {}

    void run(const Input& input);
    // Names the files still waiting in the batch.
    void finish();

private:
    void skip(const Input& input, Skip why, const std::string& reason = {});
    void extractModule(const Input& input, iconmod::QIconMod& source);
    void extractIco(const Input& input, iconmod::QIconMod& source);
    void copyCursorFile(const Input& input, formats::OpenedFile& file);
    // A package's Icon rows, or with --shortcuts the icon a shortcut, .url, desktop.ini or
    // autorun.inf shows; false for a file that is none of these (read on as before).
    bool extractPointer(const Input& input, std::unique_ptr<platform::FileSource>& file);
    // Writes the source's current image set; false when the set cannot be turned into
    // the output (no image, or a .png whose image does not decode).
    bool save(iconmod::QIconMod& source, const Input& input, std::optional<std::string_view> group);
    // A line on stderr: always for what fails the run, with --verbose for the rest.
    void note(const std::string& path, const std::string& what, bool failure);
    // Names the output, keeps an existing one unless --force, writes it and counts it.
    void output(const Input& input, std::optional<std::string_view> group, std::string_view extension,
                const OutputWriter& write);
    void flushBatch();
    static bool isCursor(std::string_view extension) { return extension == ".cur" || extension == ".ani"; }

    const Options& options_;
    platform::DirWalk& walk_;
    Tally& tally_;
    Progress& progress_;
    NameBook names_;
    platform::FileBatch batch_;
};

void Extractor::note(const std::string& path, const std::string& what, bool failure) {
    if (!options_.verbose && !failure) return;
    progress_.clear();
    std::fprintf(stderr, "vexil-cli: %s: %s\n", lineText(path).c_str(), lineText(what).c_str());
}

void Extractor::skip(const Input& input, Skip why, const std::string& reason) {
    const bool failure = why == Skip::Unreadable || why == Skip::Damaged || (input.named && why != Skip::DirectoryLink);
    // The path is made only for a line that is printed: a walk keeps none whole.
    if (options_.verbose || failure)
        note(inputPath(input, walk_), reason.empty() ? std::string(skipText(why)) : std::string(skipText(why)) + ": " + reason,
             failure);
    switch (why) {
    case Skip::NoIcons: ++(input.named ? tally_.failedNoIcons : tally_.skippedNoIcons); break;
    case Skip::NotRegular: ++(input.named ? tally_.failedNotRegular : tally_.skippedNotRegular); break;
    case Skip::Unreadable: ++tally_.unreadable; break;
    case Skip::Damaged: ++tally_.damaged; break;
    case Skip::DirectoryLink: ++tally_.passedLinks; break;
    }
}

void Extractor::run(const Input& input) {
    if (input.skip == Skip::DirectoryLink) return skip(input, Skip::DirectoryLink);
    ++tally_.files;
    if (input.skip) return skip(input, *input.skip, input.reason);
    platform::FileSource::OpenError why{};
    int systemError = 0;
    auto file = openInput(input, walk_, &why, &systemError);
    if (!file) {
        if (why == platform::FileSource::OpenError::NotRegular) return skip(input, Skip::NotRegular);
        return skip(input, Skip::Unreadable, platform::FileSource::describe(why, systemError));
    }
    if (extractPointer(input, file)) return;
    // The file is read through this one opening: its kind, its resources, its images.
    // The icon core names it by its name alone, in messages this run does not show.
    iconmod::QIconMod source(input.name, formats::OpenedFile::fromSource(std::move(file)));
    const formats::FileKind kind = source.File->kind();
    if (kind == formats::FileKind::Pe32 || kind == formats::FileKind::Pe32Plus || kind == formats::FileKind::Ne)
        extractModule(input, source);
    else if (kind == formats::FileKind::Ico) extractIco(input, source);
    else if ((kind == formats::FileKind::Cur || kind == formats::FileKind::Ani) && options_.cursors)
        copyCursorFile(input, *source.File);
    else skip(input, Skip::NoIcons);
}

void Extractor::extractModule(const Input& input, iconmod::QIconMod& source) {
    const bool opened = source.fnOpenAnyModule();
    const auto groups = opened ? iconmod::fnGroupNames(source) : std::nullopt;
    const bool icons = groups.has_value();
    bool damaged = false;
    for (const formats::ResourceName& group : groups.value_or(std::vector<formats::ResourceName>{})) {
        const std::string text = formats::groupNameText(group);
        // An empty name is a string name that could not be read: that group cannot be found.
        if (text.empty() || !iconmod::fnLoadGroup(source, group) || !save(source, input, text)) damaged = true;
    }
    std::size_t cursors = 0;
    if (opened && options_.cursors) {
        cursors = forEachModuleCursor(
            *source.Module, [&](const CursorOutput& o) { output(input, o.group, o.extension, o.write); }, &damaged);
    }
    if (damaged) skip(input, Skip::Damaged, flatText(source.Failure));
    else if (!icons && cursors == 0) skip(input, Skip::NoIcons);
}

bool Extractor::extractPointer(const Input& input, std::unique_ptr<platform::FileSource>& file) {
    const auto head = file->read(0, std::min<std::uint64_t>(file->size(), 20));
    const iconmod::PointerKind kind = head ? iconmod::pointerKindOf(*head, input.name) : iconmod::PointerKind::None;
    if (kind == iconmod::PointerKind::None || (kind != iconmod::PointerKind::Package && !options_.shortcuts)) return false;
    iconmod::PointerSource pointer(std::move(file), kind, inputPath(input, walk_));
    const std::vector<std::string> groups = pointer.groups();
    if (groups.empty()) {
        // A package that cannot be read is damaged; a shortcut that leads nowhere shows no icon.
        const auto why = pointer.failure();
        skip(input, kind == iconmod::PointerKind::Package && pointer.pointer().failure->step == iconmod::PointerFailure::Step::Read
                        ? Skip::Damaged
                        : Skip::NoIcons,
             why ? *why : std::string());
        return true;
    }
    bool damaged = false;
    std::string reason;
    for (std::size_t i = 0; i < groups.size(); ++i) {
        auto group = pointer.openAt(i, &reason);
        if (!group) {
            damaged = damaged || kind == iconmod::PointerKind::Package;
            continue;
        }
        iconmod::QIconMod source(group->path, std::move(group->file));
        if (source.File->kind() == formats::FileKind::Ico) source.Images = source.readIco().set;
        else if (!group->name || !source.fnOpenAnyModule() || !iconmod::fnLoadGroup(source, *group->name)) source.Images.reset();
        // A package's rows are named after the file; the icon of a shortcut is the file's own.
        const std::optional<std::string_view> name =
            kind == iconmod::PointerKind::Package ? std::optional<std::string_view>(groups[i]) : std::nullopt;
        if (!save(source, input, name)) damaged = true;
    }
    if (damaged) skip(input, Skip::Damaged, reason);
    else if (!reason.empty()) skip(input, Skip::NoIcons, reason);
    return true;
}

void Extractor::copyCursorFile(const Input& input, formats::OpenedFile& file) {
    const auto copy = cursorFileCopy(file);
    if (!copy) return skip(input, Skip::Unreadable);
    output(input, copy->group, copy->extension, copy->write);
}

void Extractor::extractIco(const Input& input, iconmod::QIconMod& source) {
    source.Images = source.readIco().set;
    if (!source.Images) return skip(input, Skip::Damaged);
    if (source.Images->Count() == 0) return skip(input, Skip::NoIcons);
    if (!save(source, input, std::nullopt)) skip(input, Skip::Damaged);
}

bool Extractor::save(iconmod::QIconMod& source, const Input& input, std::optional<std::string_view> group) {
    const auto write = iconmod::groupWriter(source, options_.format, options_.exact);
    if (!write) return false;
    output(input, group, iconmod::extractExtension(options_.format), *write);
    return true;
}

void Extractor::output(const Input& input, std::optional<std::string_view> group, std::string_view extension,
                       const OutputWriter& write) {
    const std::string name = names_.take(input.name, group, extension);
    const std::string path = platform::joinPath(options_.outDir, name);
    struct stat st {};
    const bool exists = ::lstat(path.c_str(), &st) == 0;
    if (exists && !options_.force) {
        ++tally_.existing;
        return;
    }
    auto file = std::make_unique<platform::AtomicFile>();
    // A new name waits for the batch's sync; a file replaced is flushed before the rename.
    const bool written = write(*file, path) && (exists ? file->commit() : file->prepare(platform::AtomicFile::Durability::Unflushed));
    if (!written) {
        ++tally_.notWritten;
        const std::string reason = file->error().empty() ? platform::AtomicFile::lastError() : file->error();
        note(path, reason.empty() ? "cannot be written" : "cannot be written: " + reason, true);
        return;
    }
    ++(isCursor(extension) ? tally_.cursorsWritten : tally_.written);
    if (exists) return;
    batch_.add(std::move(file));
    if (batch_.full()) flushBatch();
}

void Extractor::flushBatch() {
    for (const platform::FileBatch::Failure& failure : batch_.flush()) {
        --(isCursor(platform::extensionOf(failure.path)) ? tally_.cursorsWritten : tally_.written);
        ++tally_.notWritten;
        note(failure.path, "cannot be written: " + failure.reason, true);
    }
}

void Extractor::finish() { flushBatch(); }

}  // namespace

std::optional<Options> parseOptions(const Arguments& args, std::string* error) {
    auto fail = [error](const std::string& message) -> std::optional<Options> {
        *error = message;
        return std::nullopt;
    };
    Options o;
    o.paths = args.words;
    const std::string* out = args.value("--output");
    if (out) o.outDir = *out;
    if (const std::string* mask = args.value("--filter")) o.mask = *mask;
    if (const std::string* format = args.value("--format")) {
        if (*format != "ico" && *format != "png") return fail("--format must be ico or png");
        o.format = *format == "png" ? Format::Png : Format::Ico;
    }
    o.recursive = args.has("--recursive");
    o.exact = args.has("--exact");
    o.force = args.has("--force");
    o.verbose = args.has("--verbose");
    o.cursors = args.has("--cursors");
    o.shortcuts = args.has("--shortcuts");
    if (o.paths.empty()) return fail("no PATH given");
    if (!out || o.outDir.empty()) return fail("-o OUTDIR is required");
    if (o.mask.empty()) return fail("--filter needs a mask such as *.dll");
    return o;
}

}  // namespace cli::extract

namespace cli {

int cmdExtract(const Arguments& args) {
    using namespace extract;
    std::string error;
    const auto options = parseOptions(args, &error);
    if (!options) return usage(error + "\n" + usageLine(*findCommand("extract")));

    // The directories this run makes for OUTDIR, deepest first: those it leaves empty go again.
    std::vector<std::string> made;
    std::error_code ec;
    for (auto dir = std::filesystem::path(options->outDir).lexically_normal(); !dir.empty() && !std::filesystem::exists(dir, ec);
         dir = dir.parent_path())
        made.push_back(dir.string());
    std::filesystem::create_directories(options->outDir, ec);
    if (!std::filesystem::is_directory(options->outDir)) {
        const std::string reason = ec ? ec.message() : "not a directory";
        return fail(options->outDir + ": cannot make the directory: " + reason);
    }

    // The icon core's own messages (in the dialog's language) are not shown: each file's
    // outcome is counted and, with --verbose, told in one English line.
    const auto previous =
        platform::setMessageBoxHandler([](const std::string&, const std::string&, unsigned) { return platform::mb::IdOk; });

    platform::DirWalk walk;
    const std::vector<Input> inputs = collectInputs(*options, options->outDir, walk);
    Tally tally;
    Progress progress(inputs.size());
    Extractor extractor(*options, walk, tally, progress);
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        progress.show(i, inputs[i].name);
        extractor.run(inputs[i]);
    }
    extractor.finish();
    progress.show(inputs.size(), "");
    progress.clear();
    platform::setMessageBoxHandler(previous);

    for (const std::string& dir : made)
        if (::rmdir(dir.c_str()) != 0) break;  // not empty: it and those above it stay

    std::printf("%s\n", summaryLine(tally).c_str());
    return tally.failed() ? 1 : 0;
}

}  // namespace cli
