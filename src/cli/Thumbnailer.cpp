// vexil-thumbnailer: the thumbnail of a Windows program, DLL or icon file for file managers
// (the freedesktop thumbnailer protocol: `vexil-thumbnailer -s %s %i %o`). It writes icon 0
// of the file, the file's own icon (a .cur or .ani file: its cursor), as a PNG with
// transparency, from the image Windows would pick for SIZE. It links the toolkit-free core only, reads only the headers, the
// resource directory and the one image it needs, and never runs module code.
//
// File managers start it on every file a user merely browses past, so the bytes of INPUT
// are read only by a confined child (platform::runConfined): the parent checks the
// arguments, starts the wall clock, opens INPUT and hands it to the child, which confines
// itself before it reads a byte of content, makes the PNG and hands it back. The parent
// never parses those bytes: it learns how the child ended and how much it sent, and only
// then writes OUTPUT.
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
#include "iconmod/PngExport.h"
#include "iconmod/SizedPng.h"
#include "platform/AtomicFile.h"
#include "platform/Confine.h"
#include "platform/FileSource.h"
#include "platform/SystemError.h"

namespace {

constexpr int kDefaultSize = 128;
constexpr int kMaxSize = 1024;

const char kUsage[] =
    "usage: vexil-thumbnailer [-s SIZE] INPUT OUTPUT\n"
    "\n"
    "Writes the icon of a Windows program, DLL, 16-bit module or .ico file (icon 0), or the\n"
    "cursor of a .cur or .ani file, to OUTPUT as a PNG with transparency, SIZE x SIZE pixels\n"
    "(default 128, at most 1024): the image of that size, else the smallest larger one\n"
    "shrunk, else the largest one as it is.\n"
    "INPUT is read by a sandboxed process. OUTPUT must not be INPUT.\n"
    "Exit status: 0 written, 1 no icon or failure (nothing written), 2 usage error.\n";

// The work's own statuses, beside those of the runner.
enum WorkStatus : int {
    kNoIcons = 3,
    kDamaged = 4,
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

bool writeAll(int fd, formats::ByteView bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The thumbnail of icon 0 at `size`, by the scale-down rule: a whole PNG image of exactly
// that size goes out as it is (up to IEND); any other picture is drawn (decoded, shrunk when
// larger) and encoded.
std::optional<formats::Bytes> thumbnailPng(formats::OpenedFile& file, int size) {
    auto picture = file.picture(0, size, formats::PictureUse::PngFile);
    if (!picture) return std::nullopt;
    return iconmod::pngFile(std::move(*picture), iconmod::PngCompression::Fast);
}

// The confined child's work: the PNG of INPUT (inputs[0]) at `size`.
int makeThumbnail(platform::ConfinedInputs& inputs, int size, formats::Bytes& png) {
    auto file = formats::OpenedFile::fromSource(std::move(inputs[0]));
    if (!file) return kNoIcons;
    std::optional<formats::Bytes> made;
    if (file->count() > 0) {
        made = thumbnailPng(*file, size);
    } else {
        // .cur and .ani files hold no icons: their cursor, by the same size rule.
        const auto cursor = file->cursorPicture(size);
        if (!cursor) return kNoIcons;
        made = iconmod::encodePng(*cursor, iconmod::PngCompression::Fast);
    }
    if (!made) return kDamaged;
    png = std::move(*made);
    return 0;
}

// Why the child made no thumbnail, or nullopt where it said so itself.
std::optional<std::string> whyNothing(const platform::ConfinedRun& run) {
    using End = platform::ConfinedRun::End;
    if (run.end == End::WorkStatus && run.value == kNoIcons) return "holds no icons";
    if (run.end == End::WorkStatus && run.value == kDamaged) return "damaged icon data";
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
    bool ok = writeAll(fd, bytes);
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
    platform::ConfinedWork work = [size](platform::ConfinedInputs& inputs, formats::Bytes& png) {
        return makeThumbnail(inputs, size, png);
    };
    adjustForTest(plan, work);
    // From here on everything may wait on a file system that stalls, opening INPUT too.
    if (!platform::startWallClock(plan.wallClock, plan.messagePrefix + platform::wallClockReason(plan.wallClock) + "\n"))
        return failure(input, "cannot start the wall clock: " + platform::systemErrorText(errno));

    // INPUT is opened read-only, and only when it is a regular file: a FIFO or a device is
    // not even opened (FileSource checks the opened file again, for one swapped meanwhile).
    struct stat named {};
    if (::stat(input.c_str(), &named) == 0 && !S_ISREG(named.st_mode))
        return failure(input, "cannot be read: " + platform::FileSource::describe(platform::FileSource::OpenError::NotRegular,
                                                                                  S_ISDIR(named.st_mode) ? EISDIR : 0));
    platform::FileSource::OpenError openError{};
    int systemError = 0;
    auto source = platform::FileSource::open(input, &openError, &systemError);
    if (!source) return failure(input, "cannot be read: " + platform::FileSource::describe(openError, systemError));

    // OUTPUT must not be INPUT under another name (a hard or symbolic link): writing the
    // thumbnail would destroy the file it was made from.
    struct stat in {}, out {};
    if (::fstat(source->descriptor(), &in) == 0 && ::stat(output.c_str(), &out) == 0 && in.st_dev == out.st_dev &&
        in.st_ino == out.st_ino) {
        platform::stopWallClock();
        platform::tellWithoutBlocking("vexil-thumbnailer: " + output + ": is the input file " + input +
                                      " itself; nothing written\n");
        return 2;
    }

    plan.readFds = {source->descriptor()};
    const platform::ConfinedRun run = platform::runConfined(plan, work);
    source.reset();
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
