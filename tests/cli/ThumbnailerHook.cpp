// The test hook of vexil-thumbnailer-hook, the thumbnailer's build for the tests (never
// installed): linked beside src/cli/Thumbnailer.cpp, it replaces the thumbnailer's empty
// adjustForTest. From the environment:
//   VEXIL_TEST_LAYERS        the sandbox's layers ("seccomp,landlock,limits", "none")
//   VEXIL_TEST_WALL_CLOCK_MS the wall clock, shortened
//   VEXIL_TEST_ATTEMPT       what the child tries once confined, before its work:
//     open            a file by its name (/dev/null)
//     socket          a TCP connection to this machine
//     exec            a shell
//     execmem         memory that may be run
//     stdout          a write to descriptor 1
//     memory          768 MiB
//     mapinput        INPUT's descriptor mapped
//     mapinherited    descriptor 9 mapped read-write, and changed through the mapping
//     writeinherited  a write to descriptor 9
//     madvise         memory advice the sandbox does not need (MADV_WIPEONFORK)
//     futex           a futex operation on shared memory (FUTEX_WAKE, not the private one)
//   A refused attempt is told on stderr and the run goes on; one that gets through ends
//   the child with status 42. And these, which are not refused but show how a run ends:
//     allocate        an allocation the memory limit refuses (std::bad_alloc)
//     throw           an exception other than std::bad_alloc
//     spin            the CPU, for ever
//     sleep           a wait for ever (pause, which the filter kills: layers "none" only)
//     flood           1 MiB of messages on stderr, then the work
#include <fcntl.h>
#include <linux/futex.h>
#include <netinet/in.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Confine.h"

namespace {

constexpr int kHookEscaped = 42;
constexpr int kInherited = 9;

void tell(const std::string& text) {
    const std::string line = "vexil-thumbnailer: test hook: " + text + "\n";
    [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, line.data(), line.size());
}

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Tries an attempt the sandbox must stop; returns whether it was known.
bool tryToEscape(const std::string& attempt) {
    long result = 0;
    if (attempt == "open") {
        result = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    } else if (attempt == "socket") {
        result = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (result >= 0) {
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(1);
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            // Refused by the sandbox: EACCES. Anything else reached the network stack.
            if (::connect(static_cast<int>(result), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
                errno == EACCES)
                result = -1;
        }
    } else if (attempt == "exec") {
        char sh[] = "/bin/sh", dashC[] = "-c", script[] = "exit 42";
        char* argv[] = {sh, dashC, script, nullptr};
        result = ::execve(sh, argv, nullptr);
    } else if (attempt == "execmem") {
        result = ::mmap(nullptr, 4096, PROT_READ | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0) == MAP_FAILED ? -1 : 0;
    } else if (attempt == "stdout") {
        result = ::write(STDOUT_FILENO, "", 0);
    } else if (attempt == "memory") {
        void* block = std::malloc(768u << 20);
        result = block ? 0 : -1;
        errno = ENOMEM;
    } else if (attempt == "mapinput") {
        result = ::mmap(nullptr, 4096, PROT_READ, MAP_PRIVATE, platform::kConfinedFirstReadFd, 0) == MAP_FAILED ? -1 : 0;
    } else if (attempt == "mapinherited") {
        void* map = ::mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_SHARED, kInherited, 0);
        result = map == MAP_FAILED ? -1 : 0;
        if (map != MAP_FAILED) static_cast<char*>(map)[0] = '!';
    } else if (attempt == "writeinherited") {
        result = ::write(kInherited, "!", 1);
    } else if (attempt == "madvise") {
        void* page = ::mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        result = page == MAP_FAILED ? -1 : ::madvise(page, 4096, MADV_WIPEONFORK);
    } else if (attempt == "futex") {
        static int word = 0;
        result = ::syscall(SYS_futex, &word, FUTEX_WAKE, 1, nullptr, nullptr, 0);
    } else {
        return false;
    }
    if (result >= 0) ::_exit(kHookEscaped);
    tell(attempt + " refused: errno " + std::to_string(errno));
    return true;
}

// The ways a run ends that the sandbox does not refuse.
void misbehave(const std::string& attempt) {
    if (attempt == "allocate") {
        std::vector<char> block(768u << 20);
        tell("allocated " + std::to_string(block.size()) + " bytes");
    } else if (attempt == "throw") {
        throw std::runtime_error("thrown by the test hook");
    } else if (attempt == "spin") {
        volatile unsigned long n = 0;
        for (;;) n = n + 1;
    } else if (attempt == "sleep") {
        for (;;) ::pause();
    } else if (attempt == "flood") {
        for (int i = 0; i < 16384; ++i) tell("flood line " + std::to_string(i) + " .................................");
    }
}

}  // namespace

void adjustForTest(platform::ConfinePlan& plan, platform::ConfinedWork& work) {
    const std::string layers = env("VEXIL_TEST_LAYERS");
    if (!layers.empty()) {
        auto has = [&layers](const char* name) { return layers.find(name) != std::string::npos; };
        plan.layers = platform::ConfineLayers{has("seccomp"), has("landlock"), has("limits")};
    }
    if (const std::string ms = env("VEXIL_TEST_WALL_CLOCK_MS"); !ms.empty())
        plan.wallClock = std::chrono::milliseconds(std::atol(ms.c_str()));
    const std::string attempt = env("VEXIL_TEST_ATTEMPT");
    if (attempt.empty()) return;
    work = [attempt, thumbnail = std::move(work)](platform::ConfinedInputs& inputs, formats::Bytes& png) {
        if (!tryToEscape(attempt)) misbehave(attempt);
        return thumbnail(inputs, png);
    };
}
