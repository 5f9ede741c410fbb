// vexil-thumbnailer: the thumbnail of a Windows program, DLL or icon file for file managers
// (the freedesktop thumbnailer protocol: `vexil-thumbnailer -s %s %i %o`). It writes icon 0
// of the file, the file's own icon (a .cur or .ani file: its cursor), as a PNG with
// transparency, from the image Windows would pick for SIZE. It links the toolkit-free core
// only, reads only the headers, the resource directory and the one image it needs, and
// never runs module code. A shortcut, .url, desktop.ini or autorun.inf gets the icon it
// names; an installer package (.msi) the icon its Icon table holds.
//
// File managers start it on every file a user merely browses past, so the bytes of INPUT
// are read only by a confined child (platform::runConfined): the parent checks the
// arguments, starts the wall clock, opens INPUT and hands it to the child, which confines
// itself before it reads a byte of content, makes the PNG and hands it back. The parent
// never parses those bytes: it learns how the child ended and how much it sent, and only
// then writes OUTPUT. A file that names another is read in two runs: the first child hands
// back the location it stores, as stored (at most 4 KiB, checked as hostile); the parent
// resolves it inside the Wine prefix with the prefix's drive links and Wine's default
// variables (it reads no registry file), opens the named regular file as it opens INPUT,
// and a second confined child draws the icon from it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "formats/OpenedFile.h"
#include "iconmod/IconLocation.h"
#include "iconmod/IconPointer.h"
#include "iconmod/PngExport.h"
#include "iconmod/PointerHandOver.h"
#include "iconmod/SizedPng.h"
#include "platform/AtomicFile.h"
#include "platform/Confine.h"
#include "platform/Descriptors.h"
#include "platform/FileSource.h"
#include "platform/SystemError.h"

namespace {

constexpr int kDefaultSize = 128;
constexpr int kMaxSize = 1024;

const char kUsage[] =
    "usage: vexil-thumbnailer [-s SIZE] INPUT OUTPUT\n"
    "\n"
    "Writes the icon of a Windows program, DLL, 16-bit module or .ico file (icon 0), the\n"
    "cursor of a .cur or .ani file, or the icon a shortcut (.lnk, .url, desktop.ini,\n"
    "autorun.inf) or an installer package (.msi) shows, to OUTPUT as a PNG with\n"
    "transparency, SIZE x SIZE pixels\n"
    "(default 128, at most 1024): the image of that size, else the smallest larger one\n"
    "shrunk, else the largest one as it is.\n"
    "INPUT is read by a sandboxed process. OUTPUT must not be INPUT.\n"
    "Exit status: 0 written, 1 no icon or failure (nothing written), 2 usage error.\n";

// The work's own statuses, beside those of the runner.
enum WorkStatus : int {
    kNoIcons = 3,
    kDamaged = 4,
    kSaidWhy = 5,  // the child wrote its reason on stderr itself
};

int usageError(const std::string& message) {
    std::fprintf(stderr, "vexil-thumbnailer: %s\n%s", message.c_str(), kUsage);
    return 2;
}

// Says why the run failed, on one line, once the wall clock is stopped; stderr may be a
// pipe nobody reads.
int failure(const std::string& path, const std::string& what) {
    platform::stopWallClock();
    platform::tellWithoutBlocking("vexil-thumbnailer: " + path + ": " + what + "\n");
    return 1;
}

// The thumbnail of icon `index` at `size`, by the scale-down rule: a whole PNG image of
// exactly that size goes out as it is (up to IEND); any other picture is drawn (decoded,
// shrunk when larger) and encoded.
std::optional<formats::Bytes> thumbnailPng(formats::OpenedFile& file, int index, int size) {
    auto picture = file.picture(index, size, formats::PictureUse::PngFile);
    if (!picture) return std::nullopt;
    return iconmod::pngFile(std::move(*picture), iconmod::PngCompression::Fast);
}

// The confined child says why it hands back nothing, in a line of its own.
int sayWhy(const std::string& prefix, const std::string& why) {
    const std::string line = prefix + why + "; nothing written\n";
    [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, line.data(), line.size());
    return kSaidWhy;
}

// The PNG of the icon a location's number names in `file` (>= 0 the N-th group, < 0 the
// group whose id is -N; an icon file is its one group for N <= 0); a .cur or .ani file:
// its cursor.
int drawIcon(formats::OpenedFile& file, std::int64_t number, int size, formats::Bytes& png) {
    std::optional<formats::Bytes> made;
    if (file.count() > 0) {
        std::optional<std::size_t> index;
        if (file.module()) {
            if (auto names = file.module()->names(formats::kRtGroupIcon)) index = iconmod::groupAtLocation(*names, number);
        } else if (number <= 0) {
            index = 0;
        }
        if (!index) return kNoIcons;
        made = thumbnailPng(file, static_cast<int>(*index), size);
    } else {
        const auto cursor = file.cursorPicture(size);
        if (!cursor) return kNoIcons;
        made = iconmod::encodePng(*cursor, iconmod::PngCompression::Fast);
    }
    if (!made) return kDamaged;
    png = std::move(*made);
    return 0;
}

// The confined child's work on INPUT (inputs[0], named `name`): the PNG of its icon 0, or,
// for a file that names an icon elsewhere, the hand-over of what it stores.
int lookAtInput(platform::ConfinedInputs& inputs, const std::string& name, int size, const std::string& prefix,
                formats::Bytes& result) {
    auto file = formats::OpenedFile::fromSource(std::move(inputs[0]));
    if (file->count() > 0 || file->kind() != formats::FileKind::Other) return drawIcon(*file, 0, size, result);

    iconmod::PointerContents contents = iconmod::readPointerContents(formats::OpenedFile::takeSource(std::move(file)), name);
    if (contents.kind == iconmod::PointerKind::None) return kNoIcons;
    if (contents.failure) {
        iconmod::PointerFailure& failure = *contents.failure;
        if (failure.path.empty()) failure.path = name;
        return sayWhy(prefix, failure.message());
    }
    if (contents.kind == iconmod::PointerKind::Package) {
        // The package holds its icon itself: a whole icon file or a module.
        auto icon = formats::OpenedFile::fromSource(std::make_unique<formats::MemorySource>(std::move(contents.iconBytes)));
        const int status = drawIcon(*icon, 0, size, result);
        return status == kNoIcons ? sayWhy(prefix, "the package's icon holds no icon") : status;
    }
    auto handOver = iconmod::handOverPointer(contents);
    if (!handOver)
        return sayWhy(prefix, "the stored icon location passes " + std::to_string(iconmod::kPointerHandOverSize) + " bytes");
    result = std::move(*handOver);
    return 0;
}

// Why the child made no thumbnail, or nullopt where it said so itself.
std::optional<std::string> whyNothing(const platform::ConfinedRun& run) {
    using End = platform::ConfinedRun::End;
    if (run.end == End::WorkStatus && run.value == kNoIcons) return "holds no icons";
    if (run.end == End::WorkStatus && run.value == kDamaged) return "damaged icon data";
    if (run.end == End::WorkStatus && run.value == kSaidWhy) return std::nullopt;
    if (run.end == End::TooLarge)
        return "the thumbnail would pass the limit of " + std::to_string(platform::kConfinedOutput >> 20) +
               " MiB; nothing written";
    if (run.end == End::Handed) return "the sandboxed reader handed over nothing; nothing written";
    if (run.reason.empty()) return std::nullopt;
    return run.reason;
}

// Writes all of `bytes` into the empty regular file at `path`, keeping its inode; on
// failure the file is left empty again. *wasEmptyFile tells whether `path` was such a
// file (else nothing was done); *error gets the reason of a failure.
bool writeIntoEmptyFile(const std::string& path, formats::ByteView bytes, bool* wasEmptyFile, std::string* error) {
    *wasEmptyFile = false;
    const int fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != 0) {
        ::close(fd);
        return false;
    }
    *wasEmptyFile = true;
    // A file whose mode lets nobody write is read-only, also for root.
    if ((st.st_mode & 0222) == 0) {
        ::close(fd);
        *error = platform::systemErrorText(EACCES);
        return false;
    }
    bool ok = platform::writeAll(fd, bytes);
    if (!ok) {
        *error = platform::systemErrorText(errno);
        if (::ftruncate(fd, 0) != 0) ok = false;
    }
    if (::close(fd) != 0 && ok) {
        *error = platform::systemErrorText(errno);
        ok = false;
    }
    return ok;
}

// The PNG goes to a temporary file beside OUTPUT that is renamed over it when complete, so
// a failure leaves no output and an existing file keeps its bytes. One exception: an
// OUTPUT that exists and is empty is written in place. Thumbnail services create that file
// themselves and read the thumbnail through the descriptor they keep open (tumbler does),
// which would still see the empty file after a rename; an empty file has no bytes to lose.
bool writeOutput(const std::string& path, formats::ByteView bytes, std::string* error) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0) {
        bool wasEmptyFile = false;
        const bool written = writeIntoEmptyFile(path, bytes, &wasEmptyFile, error);
        if (wasEmptyFile) return written;
    }
    // A thumbnail is disposable and its reader takes it over at once: no need to wait for
    // the disk.
    platform::AtomicFile file;
    if (file.create(path) && file.write(bytes) && file.commit(platform::AtomicFile::Durability::Unflushed)) return true;
    *error = file.error();
    return false;
}

// Opens `path` read-only for a confined child, only when it is a regular file: a FIFO or a
// device is not even opened (FileSource checks the opened file again, for one swapped
// meanwhile). nullptr with the reason in *why.
std::unique_ptr<platform::FileSource> openForChild(const std::string& path, std::string* why) {
    struct stat named {};
    if (::stat(path.c_str(), &named) == 0 && !S_ISREG(named.st_mode)) {
        *why = "cannot be read: " + platform::FileSource::describe(platform::FileSource::OpenError::NotRegular,
                                                                   S_ISDIR(named.st_mode) ? EISDIR : 0);
        return nullptr;
    }
    platform::FileSource::OpenError openError{};
    int systemError = 0;
    auto source = platform::FileSource::open(path, &openError, &systemError);
    if (!source) *why = "cannot be read: " + platform::FileSource::describe(openError, systemError);
    return source;
}

// True when OUTPUT is the opened file under another name (a hard or symbolic link):
// writing the thumbnail would destroy the file it is made from.
bool isOutput(const platform::FileSource& source, const std::string& output) {
    struct stat in {}, out {};
    return ::fstat(source.descriptor(), &in) == 0 && ::stat(output.c_str(), &out) == 0 && in.st_dev == out.st_dev &&
           in.st_ino == out.st_ino;
}

}  // namespace

// The test build defines this (tests/cli/ThumbnailerHook.cpp) to change the plan and the work.
[[gnu::weak]] void adjustForTest(platform::ConfinePlan&, platform::ConfinedWork&) {}

int main(int argc, char** argv) {
    std::string wrongWords;
    const auto args = cli::parseArguments(std::vector<std::string>(argv + 1, argv + argc),
                                          {{"--size", "a size", "-s"}, {"--help", nullptr, "-h"}}, &wrongWords);
    if (!args) return usageError(wrongWords);
    if (args->has("--help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    int size = kDefaultSize;
    if (const std::string* text = args->value("--size")) {
        const auto value = cli::parseNumber(*text, 1, kMaxSize);
        if (!value) return usageError("SIZE must be a number of pixels from 1 to 1024");
        size = static_cast<int>(*value);
    }
    const std::vector<std::string>& files = args->words;
    if (files.size() != 2) return usageError("INPUT and OUTPUT are needed");
    const std::string& input = files[0];
    const std::string& output = files[1];

    platform::ConfinePlan plan;
    plan.messagePrefix = "vexil-thumbnailer: " + input + ": ";
    const std::size_t slash = input.rfind('/');
    const std::string name = slash == std::string::npos ? input : input.substr(slash + 1);
    platform::ConfinedWork work = [size, name, prefix = plan.messagePrefix](platform::ConfinedInputs& inputs, formats::Bytes& png) {
        return lookAtInput(inputs, name, size, prefix, png);
    };
    adjustForTest(plan, work);
    // From here on everything may wait on a file system that stalls, opening INPUT too.
    if (!platform::startWallClock(plan.wallClock, plan.messagePrefix + platform::wallClockReason(plan.wallClock) + "\n"))
        return failure(input, "cannot start the wall clock: " + platform::systemErrorText(errno));

    std::string unreadable;
    auto source = openForChild(input, &unreadable);
    if (!source) return failure(input, unreadable);
    if (isOutput(*source, output)) {
        platform::stopWallClock();
        platform::tellWithoutBlocking("vexil-thumbnailer: " + output + ": is the input file " + input +
                                      " itself; nothing written\n");
        return 2;
    }
    plan.readFds = {source->descriptor()};
    platform::ConfinedRun run = platform::runConfined(plan, work);
    source.reset();

    // A file that names an icon elsewhere: the location it stores, resolved here, and the
    // icon drawn by a second child from the file it names.
    if (run.end == platform::ConfinedRun::End::Handed && iconmod::isPointerHandOver(run.bytes)) {
        auto contents = iconmod::takePointerHandOver(run.bytes);
        if (!contents) return failure(input, "the sandboxed reader handed over a damaged location; nothing written");
        const iconmod::IconPointer pointer = iconmod::resolvePointer(std::move(*contents), input, {.readRegistry = false});
        if (!pointer) return failure(input, pointer.failure->message() + "; nothing written");
        auto named = openForChild(pointer.path, &unreadable);
        if (!named) return failure(pointer.path, unreadable);
        if (isOutput(*named, output)) {
            platform::stopWallClock();
            platform::tellWithoutBlocking("vexil-thumbnailer: " + output + ": is the file " + input +
                                          " names itself; nothing written\n");
            return 2;
        }
        platform::ConfinePlan second = plan;
        second.readFds = {named->descriptor()};
        platform::ConfinedWork draw = [size, index = pointer.index](platform::ConfinedInputs& inputs, formats::Bytes& png) {
            return drawIcon(*formats::OpenedFile::fromSource(std::move(inputs[0])), index, size, png);
        };
        adjustForTest(second, draw);
        run = platform::runConfined(second, draw);
        if (run.end == platform::ConfinedRun::End::WorkStatus && run.value == kNoIcons)
            return failure(input, "names " + pointer.path + (pointer.ofTarget ? "" : "," + std::to_string(pointer.index)) +
                                      ", which holds no such icon; nothing written");
    }
    if (run.end != platform::ConfinedRun::End::Handed || run.bytes.empty()) {
        const auto why = whyNothing(run);
        if (!why) {
            platform::stopWallClock();  // the child said why
            return 1;
        }
        return failure(input, *why);
    }
    std::string error;
    if (!writeOutput(output, run.bytes, &error)) return failure(output, "cannot be written: " + error);
    platform::stopWallClock();
    return 0;
}
