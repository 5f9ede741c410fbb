// vexil-thumbnailer: the thumbnail of a Windows program, DLL or icon file for file managers
// (the freedesktop thumbnailer protocol: `vexil-thumbnailer -s %s %i %o`). It writes icon 0
// of the file, the file's own icon (a .cur or .ani file: its cursor), as a PNG with
// transparency, from the image Windows would pick for SIZE. It links the toolkit-free core only, reads only the headers, the
// resource directory and the one image it needs, and never runs module code.
//
// File managers start it on every file a user merely browses past, so the bytes of INPUT
// are read only by a confined child: the parent checks the arguments, opens INPUT and
// forks; the child confines itself (platform::confine) before it reads a byte of content,
// makes the PNG and hands it back through a pipe. The parent never parses those bytes: it
// checks how the child ended and how much it sent, and only then writes OUTPUT.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/IconFile.h"
#include "iconmod/PngExport.h"
#include "iconmod/SizedPng.h"
#include "platform/AtomicFile.h"
#include "platform/Confine.h"
#include "platform/FileSource.h"
#include "platform/SystemError.h"

#ifdef VEXIL_THUMBNAILER_TEST_HOOK
#include <netinet/in.h>
#include <sys/mman.h>
#include <sys/socket.h>

#include <cstdlib>
#endif

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

// How the child ends; anything else (a signal, another status) is a failure the parent
// reports as it is.
enum ChildStatus : int {
    kMade = 0,
    kNoIcons = 3,
    kDamaged = 4,
    kNotConfined = 5,
    kOutOfMemory = 6,
    kNotHandedOver = 7,
};

int usageError(const std::string& message) {
    std::fprintf(stderr, "vexil-thumbnailer: %s\n%s", message.c_str(), kUsage);
    return 2;
}

int failure(const std::string& path, const std::string& what) {
    std::fprintf(stderr, "vexil-thumbnailer: %s: %s\n", path.c_str(), what.c_str());
    return 1;
}

std::optional<int> parseSize(const char* text) {
    const std::size_t n = std::strlen(text);
    if (n == 0 || n > 4) return std::nullopt;
    int value = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    if (value < 1 || value > kMaxSize) return std::nullopt;
    return value;
}

// ---- the child: confined, it reads INPUT and makes the PNG ----

// Writes a message to stderr in one write, made without printf or strerror, which may
// look up the locale (files the child can no longer open).
void childSay(std::initializer_list<std::string_view> parts) {
    std::string line = "vexil-thumbnailer: ";
    for (std::string_view p : parts) line += p;
    line += '\n';
    [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, line.data(), line.size());
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
std::optional<formats::Bytes> thumbnailPng(formats::IconFile& file, int size) {
    auto picture = file.picture(0, size, formats::PictureUse::PngFile);
    if (!picture) return std::nullopt;
    return iconmod::pngFile(std::move(*picture), iconmod::PngCompression::Fast);
}

#ifdef VEXIL_THUMBNAILER_TEST_HOOK
// Test builds only (the installed program has none of this): VEXIL_TEST_LAYERS chooses
// the layers ("seccomp,landlock,limits", "none"), and VEXIL_TEST_ATTEMPT something the
// child tries once confined: "open" (INPUT again, by its name), "socket" (a TCP
// connection to this machine), "exec" (a shell), "memory" (768 MiB), "execmem" (memory that
// may be run) or "stdout" (a write to a descriptor other than its own). A refused attempt
// is told on stderr and the run goes on; one that gets through ends the child with
// status 42.
constexpr int kHookEscaped = 42;

platform::ConfineLayers hookLayers() {
    const char* text = std::getenv("VEXIL_TEST_LAYERS");
    if (!text) return {};
    const std::string layers = text;
    auto has = [&layers](const char* name) { return layers.find(name) != std::string::npos; };
    return platform::ConfineLayers{has("seccomp"), has("landlock"), has("limits")};
}

void hookAttempt(const std::string& attempt, const std::string& input) {
    int result = 0;
    if (attempt == "open") {
        result = ::open(input.c_str(), O_RDONLY | O_CLOEXEC);
    } else if (attempt == "socket") {
        result = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (result >= 0) {
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(1);
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            // Refused by the sandbox: EACCES. Anything else reached the network stack.
            if (::connect(result, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 && errno == EACCES)
                result = -1;
        }
    } else if (attempt == "exec") {
        char sh[] = "/bin/sh", dashC[] = "-c", script[] = "exit 42";
        char* argv[] = {sh, dashC, script, nullptr};
        result = ::execve(sh, argv, nullptr);
    } else if (attempt == "execmem") {
        result = ::mmap(nullptr, 4096, PROT_READ | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0) == MAP_FAILED ? -1 : 0;
    } else if (attempt == "stdout") {
        result = static_cast<int>(::write(STDOUT_FILENO, "", 0));
    } else if (attempt == "memory") {
        void* block = std::malloc(768u << 20);
        result = block ? 0 : -1;
        errno = ENOMEM;
    } else {
        return;
    }
    if (result >= 0) ::_exit(kHookEscaped);
    childSay({"test hook: ", attempt, " refused: errno ", std::to_string(errno)});
}
#endif

// The child's whole run; it returns only through _exit.
[[noreturn]] void runChild(std::unique_ptr<platform::FileSource> source, const std::string& input, int size,
                           int resultFd) {
    platform::ConfinePlan plan;
    plan.readFd = source->descriptor();
    plan.writeFd = resultFd;
#ifdef VEXIL_THUMBNAILER_TEST_HOOK
    plan.layers = hookLayers();
    const char* attempt = std::getenv("VEXIL_TEST_ATTEMPT");
    const std::string hookAttemptName = attempt ? attempt : "";
#endif
    const platform::ConfineResult confined = platform::confine(plan);
    if (!confined.ok) {
        childSay({input, ": cannot set up the sandbox (", confined.failedStep, ", errno ",
                  std::to_string(confined.error), "); nothing written"});
        ::_exit(kNotConfined);
    }
#ifdef VEXIL_THUMBNAILER_TEST_HOOK
    hookAttempt(hookAttemptName, input);
#endif
    int status = kMade;
    try {
        auto file = formats::IconFile::fromSource(std::move(source));
        if (!file) ::_exit(kNoIcons);
        std::optional<formats::Bytes> png;
        if (file->count() > 0) {
            png = thumbnailPng(*file, size);
        } else {
            // .cur and .ani files hold no icons: their cursor, by the same size rule.
            const auto cursor = file->cursorPicture(size);
            if (!cursor) ::_exit(kNoIcons);
            png = iconmod::encodePng(*cursor, iconmod::PngCompression::Fast);
        }
        if (!png) ::_exit(kDamaged);
        if (!writeAll(resultFd, *png)) status = kNotHandedOver;
    } catch (const std::bad_alloc&) {
        status = kOutOfMemory;
    }
    ::_exit(status);
}

// ---- the parent: it starts the child, takes its bytes, and writes OUTPUT ----

// What the child handed over, unread beyond its size; nullopt (with a message printed)
// when the child failed.
std::optional<formats::Bytes> makeInChild(std::unique_ptr<platform::FileSource> source, const std::string& input,
                                          int size) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        failure(input, "cannot start the sandboxed reader: " + platform::systemErrorText(errno));
        return std::nullopt;
    }
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        const int error = errno;
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        failure(input, "cannot start the sandboxed reader: " + platform::systemErrorText(error));
        return std::nullopt;
    }
    if (pid == 0) {
        ::close(pipeFds[0]);
        runChild(std::move(source), input, size, pipeFds[1]);
    }
    ::close(pipeFds[1]);
    source.reset();

    formats::Bytes bytes;
    bool tooLarge = false;
    std::uint8_t buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        if (bytes.size() + static_cast<std::size_t>(n) > platform::kConfinedOutput) {
            tooLarge = true;
            ::kill(pid, SIGKILL);
            break;
        }
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    ::close(pipeFds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }

    if (tooLarge) {
        failure(input, "the thumbnail would pass the limit of " + std::to_string(platform::kConfinedOutput >> 20) +
                           " MiB; nothing written");
        return std::nullopt;
    }
    if (WIFSIGNALED(status)) {
        const int sig = WTERMSIG(status);
        const char* name = sigabbrev_np(sig);
        const std::string why = sig == SIGSYS    ? "a system call the sandbox forbids"
                                : sig == SIGXCPU ? "the CPU time limit"
                                : sig == SIGKILL ? "killed by the system"
                                                 : std::string(strsignal(sig));
        failure(input, "the sandboxed reader was stopped by signal " + std::to_string(sig) + " (SIG" +
                           (name ? name : "?") + ", " + why + "); nothing written");
        return std::nullopt;
    }
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    switch (code) {
    case kMade:
        if (!bytes.empty()) return bytes;
        failure(input, "the sandboxed reader handed over nothing; nothing written");
        return std::nullopt;
    case kNoIcons: failure(input, "holds no icons"); return std::nullopt;
    case kDamaged: failure(input, "damaged icon data"); return std::nullopt;
    case kNotConfined: return std::nullopt;  // the child said why
    case kOutOfMemory:
        failure(input, "needs more than the sandbox's " + std::to_string(platform::kConfinedAddressSpace >> 20) +
                           " MiB of memory; nothing written");
        return std::nullopt;
    default:
        failure(input, "the sandboxed reader ended with status " + std::to_string(code) + "; nothing written");
        return std::nullopt;
    }
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

int main(int argc, char** argv) {
    int size = kDefaultSize;
    std::vector<std::string> files;
    bool onlyFiles = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (onlyFiles || a.empty() || a[0] != '-' || a == "-") {
            files.push_back(a);
        } else if (a == "--") {
            onlyFiles = true;
        } else if (a == "-h" || a == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "-s" || a == "--size") {
            if (i + 1 >= argc) return usageError(a + " needs a size");
            const auto value = parseSize(argv[++i]);
            if (!value) return usageError("SIZE must be a number of pixels from 1 to 1024");
            size = *value;
        } else {
            return usageError("unknown option " + a);
        }
    }
    if (files.size() != 2) return usageError("INPUT and OUTPUT are needed");
    const std::string& input = files[0];
    const std::string& output = files[1];

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
        std::fprintf(stderr, "vexil-thumbnailer: %s: is the input file %s itself; nothing written\n", output.c_str(),
                     input.c_str());
        return 2;
    }

    const auto png = makeInChild(std::move(source), input, size);
    if (!png) return 1;
    std::string error;
    if (!writeOutput(output, *png, &error)) return failure(output, "cannot be written: " + error);
    return 0;
}
