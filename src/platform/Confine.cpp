#include "platform/Confine.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <new>
#include <exception>

#include <fcntl.h>
#include <limits.h>
#include <linux/futex.h>
#include <linux/landlock.h>
#include <poll.h>
#include <pthread.h>
#include <seccomp.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "platform/Descriptors.h"
#include "platform/SystemError.h"

#if defined(__SANITIZE_ADDRESS__)
#define VEXIL_SANITIZER_RUNTIME 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VEXIL_SANITIZER_RUNTIME 1
#endif
#endif

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

// Exit statuses the runner's child keeps for itself, above the work's own.
enum ChildStatus : int {
    kNotConfined = kConfinedWorkStatusEnd,  // it said why on stderr
    kOutOfMemory,
    kException,  // it said which on stderr
    kNotHandedOver,
    kParentGone,  // its parent ended before the child could tie its life to it
};

// ---- the layers ----

// Landlock rights newer than the kernel headers of the build machine may name. Each ABI
// version adds to what a ruleset can handle; a ruleset that handles a right and grants it
// nowhere refuses it everywhere.
constexpr std::uint64_t kFsRightsAbi1 = (1ull << 13) - 1;  // execute ... make symlink
constexpr std::uint64_t kFsRefer = 1ull << 13;             // ABI 2
constexpr std::uint64_t kFsTruncate = 1ull << 14;          // ABI 3
constexpr std::uint64_t kFsIoctlDev = 1ull << 15;          // ABI 5
constexpr std::uint64_t kNetBindAndConnectTcp = 3;         // ABI 4
constexpr std::uint64_t kScopeUnixAndSignals = 3;          // ABI 6: abstract UNIX sockets, signals

// The kernel's ruleset attribute as of ABI 6; older kernels take a prefix of it.
struct RulesetAttr {
    std::uint64_t handledAccessFs = 0;
    std::uint64_t handledAccessNet = 0;
    std::uint64_t scoped = 0;
};

// A step of confinement that failed: a fixed text and its errno.
struct Failure {
    const char* step = nullptr;
    int error = 0;
};

// Sets a limit for good (soft and hard alike, or the hard one `slack` above: the CPU
// limit sends SIGXCPU at the soft limit, SIGKILL only at the hard one).
bool setLimit(int resource, rlim_t value, rlim_t slack = 0) {
    const rlimit limit{value, value + slack};
    return ::setrlimit(resource, &limit) == 0;
}

// The kernel's Landlock ABI version, 0 where it has none or it is turned off.
int landlockAbi() {
    const long abi = ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    return abi > 0 ? static_cast<int>(abi) : 0;
}

// A ruleset that handles every right the kernel knows and grants none.
bool restrictWithLandlock(int abi) {
    RulesetAttr attr;
    attr.handledAccessFs = kFsRightsAbi1;
    if (abi >= 2) attr.handledAccessFs |= kFsRefer;
    if (abi >= 3) attr.handledAccessFs |= kFsTruncate;
    if (abi >= 5) attr.handledAccessFs |= kFsIoctlDev;
    std::size_t size = sizeof attr.handledAccessFs;
    if (abi >= 4) {
        attr.handledAccessNet = kNetBindAndConnectTcp;
        size += sizeof attr.handledAccessNet;
    }
    if (abi >= 6) {
        attr.scoped = kScopeUnixAndSignals;
        size += sizeof attr.scoped;
    }
    const long ruleset = ::syscall(SYS_landlock_create_ruleset, &attr, size, 0);
    if (ruleset < 0) return false;
    const bool ok = ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
                    ::syscall(SYS_landlock_restrict_self, static_cast<int>(ruleset), 0) == 0;
    const int error = errno;
    ::close(static_cast<int>(ruleset));
    errno = error;
    return ok;
}

// A comparison of system call argument `arg` with `a` (for a masked comparison: the mask
// `a`, the value `b`).
scmp_arg_cmp argument(unsigned arg, scmp_compare op, scmp_datum_t a, scmp_datum_t b = 0) {
    scmp_arg_cmp cmp{};
    cmp.arg = arg;
    cmp.op = op;
    cmp.datum_a = a;
    cmp.datum_b = b;
    return cmp;
}

// An int argument (a descriptor, an operation) equal to `value`. Only its low 32 bits
// count: the caller passes an int, and what the upper half of the register holds is not
// defined (glibc passes -1 as 0x00000000ffffffff).
scmp_arg_cmp intIs(unsigned arg, int value) {
    return argument(arg, SCMP_CMP_MASKED_EQ, 0xFFFFFFFFu, static_cast<std::uint32_t>(value));
}

// Adds an allow rule; a system call this architecture does not have is skipped.
int allow(scmp_filter_ctx ctx, int syscall, std::initializer_list<scmp_arg_cmp> args = {}) {
    if (syscall < 0) return 0;
    const int rc = seccomp_rule_add_array(ctx, SCMP_ACT_ALLOW, syscall, static_cast<unsigned>(args.size()),
                                          args.size() ? args.begin() : nullptr);
    return rc == -EDOM ? 0 : rc;
}

// Memory advice the runtimes give: freeing pages (DONTNEED: the sanitizer allocator's
// release of unused pages, glibc's trimming of its heaps) and hints about the process's
// own memory (HUGEPAGE: glibc's allocator where the glibc.malloc.hugetlb tunable asks;
// NOHUGEPAGE and DONTDUMP: the sanitizer allocator on every large block). Not: REMOVE
// (punches holes in files), MERGEABLE (shares pages with other processes), HWPOISON,
// SOFT_OFFLINE, and the rest.
constexpr int kMemoryAdvice[] = {MADV_DONTNEED, MADV_HUGEPAGE, MADV_NOHUGEPAGE, MADV_DONTDUMP};
// The one futex operation the runtime's locks need in a process of one thread: the first
// throw runs a pthread_once in the unwinder, which wakes its (absent) waiters when done;
// nothing waits, as no other thread holds a lock. Waits, shared futexes and the PI,
// requeue and bitset operations are refused.
constexpr int kFutexOps[] = {FUTEX_WAKE_PRIVATE};

int loadSeccompFilter(std::size_t readFds) {
    scmp_filter_ctx ctx = seccomp_init(SCMP_ACT_KILL_PROCESS);
    if (!ctx) return -ENOMEM;
    int rc = 0;
    // The inputs: read and seek, nothing else.
    for (int call : {SCMP_SYS(read), SCMP_SYS(pread64), SCMP_SYS(readv), SCMP_SYS(preadv), SCMP_SYS(lseek)})
        for (std::size_t i = 0; i < readFds; ++i)
            rc = rc ? rc : allow(ctx, call, {intIs(0, kConfinedFirstReadFd + static_cast<int>(i))});
    // The result and messages.
    for (int call : {SCMP_SYS(write), SCMP_SYS(writev)})
        for (int fd : {kConfinedResultFd, STDERR_FILENO}) rc = rc ? rc : allow(ctx, call, {intIs(0, fd)});
    // Memory: anonymous only (no file, whatever descriptor is passed), never executable.
    const scmp_arg_cmp noExec = argument(2, SCMP_CMP_MASKED_EQ, PROT_EXEC, 0);
    rc = rc ? rc : allow(ctx, SCMP_SYS(mmap), {noExec, argument(3, SCMP_CMP_MASKED_EQ, MAP_ANONYMOUS, MAP_ANONYMOUS)});
    rc = rc ? rc : allow(ctx, SCMP_SYS(mprotect), {noExec});
    for (int call : {SCMP_SYS(munmap), SCMP_SYS(mremap), SCMP_SYS(brk)}) rc = rc ? rc : allow(ctx, call);
    for (int advice : kMemoryAdvice) rc = rc ? rc : allow(ctx, SCMP_SYS(madvise), {intIs(2, advice)});
    for (int op : kFutexOps) rc = rc ? rc : allow(ctx, SCMP_SYS(futex), {intIs(1, op)});
    // Time, closing what it holds, and the ways out.
    for (int call : {SCMP_SYS(clock_gettime), SCMP_SYS(clock_getres), SCMP_SYS(gettimeofday), SCMP_SYS(time),
                     SCMP_SYS(close), SCMP_SYS(exit), SCMP_SYS(exit_group), SCMP_SYS(rt_sigreturn)})
        rc = rc ? rc : allow(ctx, call);
#ifdef VEXIL_SANITIZER_RUNTIME
    // The sanitizer runtime probes whether memory is readable by writing it into a pipe of
    // its own (UBSan's check of dynamic types does this), takes down its signal stack at
    // exit, and on an error stops the process with a signal to itself.
    for (int call : {SCMP_SYS(pipe), SCMP_SYS(pipe2), SCMP_SYS(write), SCMP_SYS(getpid), SCMP_SYS(gettid),
                     SCMP_SYS(tgkill), SCMP_SYS(rt_sigprocmask), SCMP_SYS(sched_yield), SCMP_SYS(sigaltstack)})
        rc = rc ? rc : allow(ctx, call);
#endif
    // libseccomp sets no_new_privs itself before loading.
    rc = rc ? rc : seccomp_load(ctx);
    seccomp_release(ctx);
    return rc;
}

// Puts on the plan's layers; the descriptors are at their places already.
bool confine(const ConfinePlan& plan, Failure* failure) {
    if (plan.layers.limits) {
        const bool ok =
#ifndef VEXIL_SANITIZER_RUNTIME
            setLimit(RLIMIT_AS, kConfinedAddressSpace) &&
#endif
            setLimit(RLIMIT_CPU, kConfinedCpuSeconds, 1) && setLimit(RLIMIT_FSIZE, kConfinedOutput) && setLimit(RLIMIT_CORE, 0);
        if (!ok) {
            *failure = {"resource limits", errno};
            return false;
        }
    }
    if (plan.layers.landlock) {
        const int abi = landlockAbi();
        if (abi > 0 && !restrictWithLandlock(abi)) {
            *failure = {"Landlock", errno};
            return false;
        }
    }
    if (plan.layers.seccomp) {
        const int rc = loadSeccompFilter(plan.readFds.size());
        if (rc != 0) {
            *failure = {"seccomp filter", -rc};
            return false;
        }
    }
    return true;
}

// ---- the child ----

// Writes a message to stderr in one write, made without printf or strerror, which may
// look up the locale (files the child can no longer open), and without allocating.
void say(std::initializer_list<std::string_view> parts) {
    iovec pieces[8];
    int n = 0;
    for (std::string_view p : parts)
        if (n < 8) pieces[n++] = {const_cast<char*>(p.data()), p.size()};
    [[maybe_unused]] const ssize_t written = ::writev(STDERR_FILENO, pieces, n);
}

// Moves descriptor fds[i] to number 2 + i (stderr, the result pipe, the read descriptors)
// and closes every other one. Each is first lifted above the numbers they go to, so that
// none is overwritten before it has moved.
bool keepOnly(std::vector<int>& fds) {
    const int end = STDERR_FILENO + static_cast<int>(fds.size());
    for (int& fd : fds)
        if ((fd = ::fcntl(fd, F_DUPFD_CLOEXEC, end)) < 0) return false;
    for (std::size_t i = 0; i < fds.size(); ++i)
        if (::dup2(fds[i], STDERR_FILENO + static_cast<int>(i)) < 0) return false;
    if (::close_range(STDIN_FILENO, STDOUT_FILENO, 0) != 0 && errno != ENOSYS) return false;
    if (::close_range(static_cast<unsigned>(end), ~0u, 0) == 0) return true;
    if (errno != ENOSYS) return false;
    // Kernels before 5.9: one by one.
    ::close(STDIN_FILENO);
    ::close(STDOUT_FILENO);
    for (long fd = end, max = ::sysconf(_SC_OPEN_MAX); fd < max; ++fd) ::close(static_cast<int>(fd));
    return true;
}

// The child's whole run; it returns only through _exit. `kept` (its descriptors, in their
// order) and `inputs` (room for the byte sources) come from the parent: every page the
// child writes to is copied first, so it allocates as little as it can.
[[noreturn]] void runChild(const ConfinePlan& plan, const ConfinedWork& work, pid_t parent, std::vector<int>& kept,
                           ConfinedInputs& inputs) {
    const std::string_view prefix = plan.messagePrefix;
    auto fail = [prefix](const char* step, int error) {
        char number[16];
        const char* end = std::to_chars(number, number + sizeof number, error).ptr;
        say({prefix, "cannot set up the sandbox (", step, ", errno ", std::string_view(number, end - number),
             "); nothing written\n"});
        ::_exit(kNotConfined);
    };
    // Die with the parent, also when it died before this line.
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) fail("parent-death signal", errno);
    if (::getppid() != parent) ::_exit(kParentGone);

    if (!keepOnly(kept)) fail("descriptors", errno);
    // Byte sources over the inputs: they learn their size from the file, which the filter
    // no longer allows.
    for (std::size_t i = 0; i < plan.readFds.size(); ++i) {
        auto source = FileSource::fromDescriptor(kConfinedFirstReadFd + static_cast<int>(i));
        if (!source) fail("input descriptors", EBADF);
        inputs.push_back(std::move(source));
    }
    Failure failure;
    if (!confine(plan, &failure)) fail(failure.step, failure.error);

    int status = 0;
    try {
        formats::Bytes result;
        status = work(inputs, result);
        if (status == 0 && !writeAll(kConfinedResultFd, result)) status = kNotHandedOver;
    } catch (const std::bad_alloc&) {
        status = kOutOfMemory;
    } catch (const std::exception& e) {
        say({prefix, "the sandboxed reader failed: ", e.what(), "; nothing written\n"});
        status = kException;
    } catch (...) {
        say({prefix, "the sandboxed reader failed: an unknown exception; nothing written\n"});
        status = kException;
    }
    ::_exit(status);
}

// ---- the parent ----

std::string signalReason(int sig) {
    const char* name = sigabbrev_np(sig);
    const std::string why = sig == SIGSYS    ? "a system call the sandbox forbids"
                            : sig == SIGXCPU ? "the CPU time limit"
                            : sig == SIGKILL ? "killed by the system"
                                             : std::string(strsignal(sig));
    return "the sandboxed reader was stopped by signal " + std::to_string(sig) + " (SIG" + (name ? name : "?") + ", " +
           why + "); nothing written";
}

// How the child ended, from its wait status.
void classify(int status, ConfinedRun* run) {
    using End = ConfinedRun::End;
    if (WIFSIGNALED(status)) {
        run->end = End::Signal;
        run->value = WTERMSIG(status);
        run->reason = signalReason(run->value);
        return;
    }
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run->value = code;
    switch (code) {
    case 0: run->end = End::Handed; return;
    case kNotConfined: run->end = End::NotConfined; return;
    case kException: run->end = End::Exception; return;
    case kOutOfMemory:
        run->end = End::OutOfMemory;
        run->reason = "needs more than the sandbox's " + std::to_string(kConfinedAddressSpace >> 20) +
                      " MiB of memory; nothing written";
        return;
    case kNotHandedOver:
        run->end = End::NotHandedOver;
        run->reason = "the sandboxed reader could not hand over its result; nothing written";
        return;
    default:
        run->end = End::WorkStatus;
        run->reason = "the sandboxed reader ended with status " + std::to_string(code) + "; nothing written";
        return;
    }
}

// The child's messages as they are passed on: whole lines, the last one ended.
std::string keptLines(std::string messages, bool cut) {
    if (cut && messages.find('\n') != std::string::npos) messages.erase(messages.rfind('\n') + 1);
    if (!messages.empty() && messages.back() != '\n') messages += '\n';
    return messages;
}

// The wall clock of the process (startWallClock).
enum ClockState : int { kIdle, kRunning, kStopped, kRanOut };
std::atomic<int> gClockState{kIdle};
// Set once the clock's thread waits, holding nothing.
std::atomic<int> gClockThreadWaits{0};
Clock::time_point gClockDeadline = Clock::time_point::max();
std::string gClockLine;

void* watchClock(void*) {
    const auto sinceEpoch = gClockDeadline.time_since_epoch();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch);
    timespec at{};
    at.tv_sec = static_cast<time_t>(seconds.count());
    at.tv_nsec = static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch - seconds).count());
    gClockThreadWaits = 1;
    gClockThreadWaits.notify_all();
    // steady_clock is CLOCK_MONOTONIC.
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
    }
    int running = kRunning;
    if (!gClockState.compare_exchange_strong(running, kRanOut)) return nullptr;
    tellWithoutBlocking(gClockLine);
    ::_exit(1);
}

// Milliseconds from now to `deadline`, rounded up; -1 for no deadline.
int pollTimeout(Clock::time_point deadline) {
    if (deadline == Clock::time_point::max()) return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

}  // namespace

const char* confineLayersLeftOut() {
#ifdef VEXIL_SANITIZER_RUNTIME
    return "the address-space limit (the sanitizer runtime reserves terabytes for its shadow memory), and the "
           "seccomp filter lets the runtime make pipes and write to any descriptor (its probe of readable memory)";
#else
    return nullptr;
#endif
}

std::string wallClockReason(std::chrono::milliseconds limit) {
    // Seconds, with as many decimals as the limit has.
    std::string seconds = std::to_string(limit.count() / 1000);
    if (const long long ms = limit.count() % 1000; ms != 0) {
        std::string fraction = std::to_string(1000 + ms).substr(1);
        seconds += "." + fraction.erase(fraction.find_last_not_of('0') + 1);
    }
    return "not done within the wall-clock limit of " + seconds + " s; nothing written";
}

bool tellWithoutBlocking(std::string_view text) {
    while (!text.empty()) {
        pollfd out{STDERR_FILENO, POLLOUT, 0};
        const int ready = ::poll(&out, 1, 0);
        if (ready < 0 && errno == EINTR) continue;
        if (ready != 1 || (out.revents & (POLLOUT | POLLERR | POLLHUP | POLLNVAL)) != POLLOUT) return false;
        // At most PIPE_BUF bytes: a pipe that polls writable has room for that many.
        const ssize_t n = ::write(STDERR_FILENO, text.data(), std::min<std::size_t>(text.size(), PIPE_BUF));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool startWallClock(std::chrono::milliseconds limit, std::string line) {
    if (gClockState.load() != kIdle) return false;
    gClockDeadline = Clock::now() + limit;
    gClockLine = std::move(line);
    gClockState = kRunning;
    // A small stack. The process handles no signal, so which thread takes one does not
    // matter.
    pthread_attr_t attr;
    ::pthread_attr_init(&attr);
    ::pthread_attr_setstacksize(&attr, 128 << 10);
    ::pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    const int error = ::pthread_create(&thread, &attr, watchClock, nullptr);
    ::pthread_attr_destroy(&attr);
    if (error == 0) return true;
    gClockState = kIdle;
    gClockDeadline = Clock::time_point::max();
    errno = error;
    return false;
}

void stopWallClock() {
    int running = kRunning;
    if (gClockState.compare_exchange_strong(running, kStopped) || running != kRanOut) return;
    for (;;) ::pause();  // the clock's thread is saying so and ending the process
}

ConfinedRun runConfined(const ConfinePlan& plan, const ConfinedWork& work) {
    using End = ConfinedRun::End;
    ConfinedRun run;
    const Clock::time_point deadline =
        gClockState.load() == kRunning ? gClockDeadline : Clock::now() + plan.wallClock;
    auto notStarted = [&run](int error) {
        run.end = End::SystemError;
        run.value = error;
        run.reason = "cannot start the sandboxed reader: " + systemErrorText(error);
        return run;
    };

    int resultPipe[2], messagePipe[2];
    if (::pipe2(resultPipe, O_CLOEXEC) != 0) return notStarted(errno);
    if (::pipe2(messagePipe, O_CLOEXEC) != 0) {
        const int error = errno;
        ::close(resultPipe[0]);
        ::close(resultPipe[1]);
        return notStarted(error);
    }
    int reading[2] = {resultPipe[0], messagePipe[0]};
    for (int fd : reading) ::fcntl(fd, F_SETFL, O_NONBLOCK);
    std::vector<int> kept = {messagePipe[1], resultPipe[1]};
    kept.insert(kept.end(), plan.readFds.begin(), plan.readFds.end());
    ConfinedInputs inputs;
    inputs.reserve(plan.readFds.size());
#ifdef VEXIL_SANITIZER_RUNTIME
    // A fork copies the locks other threads hold at that moment: while the clock's thread
    // is still starting it holds the sanitizer allocator's, which the child would then wait
    // for for ever. (glibc's own locks are made safe across fork; the thread takes no other.)
    if (gClockState.load() != kIdle) gClockThreadWaits.wait(0);
#endif
    const pid_t parent = ::getpid();
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) runChild(plan, work, parent, kept, inputs);
    const int forkError = errno;
    ::close(resultPipe[1]);
    ::close(messagePipe[1]);
    if (pid < 0) {
        ::close(resultPipe[0]);
        ::close(messagePipe[0]);
        return notStarted(forkError);
    }

    // The parent waits for the pipes and for the child's end at once, never past the
    // deadline. Without pidfd_open (kernels before 5.3) the end is found by asking
    // waitpid every 10 ms once both pipes have closed.
    const int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    std::string messages;
    bool messagesCut = false, tooLarge = false, timedOut = false, reaped = false, ended = false;
    int status = 0, waitError = 0;
    // Reads what is there now from reading[i]; false once it has closed.
    auto take = [&](int i) {
        std::uint8_t buffer[64 * 1024];
        for (;;) {
            const ssize_t n = ::read(reading[i], buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno == EAGAIN) return true;
            if (n <= 0) return false;
            if (i == 0) {
                if (run.bytes.size() + static_cast<std::size_t>(n) > kConfinedOutput) {
                    tooLarge = true;
                    return false;
                }
                run.bytes.insert(run.bytes.end(), buffer, buffer + n);
            } else {
                const std::size_t room = kConfinedMessages - std::min(kConfinedMessages, messages.size());
                messages.append(reinterpret_cast<const char*>(buffer), std::min<std::size_t>(room, n));
                messagesCut = messagesCut || static_cast<std::size_t>(n) > room;
            }
        }
    };
    auto stopReading = [&](int i) {
        ::close(reading[i]);
        reading[i] = -1;
    };
    while (!ended && !tooLarge) {
        pollfd fds[3];
        int count = 0;
        for (int fd : {reading[0], reading[1], pidFd})
            if (fd >= 0) fds[count++] = {fd, POLLIN, 0};
        int timeout = pollTimeout(deadline);
        const bool pipesClosed = reading[0] < 0 && reading[1] < 0;
        if (pidFd < 0 && pipesClosed) {
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                reaped = ended = true;
                break;
            }
            timeout = timeout < 0 ? 10 : std::min(timeout, 10);
        }
        const int ready = ::poll(fds, static_cast<nfds_t>(count), timeout);
        if (ready < 0 && errno != EINTR) {
            waitError = errno;  // the child is killed below
            break;
        }
        for (int i = 0; i < count && ready > 0; ++i) {
            if (fds[i].revents == 0) continue;
            if (fds[i].fd == pidFd) {
                ended = true;
            } else {
                const int which = fds[i].fd == reading[0] ? 0 : 1;
                if (!take(which)) stopReading(which);
            }
        }
        if (!ended && Clock::now() >= deadline) {
            timedOut = true;
            break;
        }
    }
    // Once the child has ended, what it wrote last is still in the pipes.
    for (int i = 0; i < 2 && ended; ++i)
        if (reading[i] >= 0 && !take(i)) stopReading(i);
    if (!ended || tooLarge) ::kill(pid, SIGKILL);
    while (!reaped && ::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    for (int fd : {reading[0], reading[1], pidFd})
        if (fd >= 0) ::close(fd);

    tellWithoutBlocking(keptLines(std::move(messages), messagesCut));
    if (timedOut) {
        run.end = End::TimedOut;
        run.reason = wallClockReason(plan.wallClock);
    } else if (tooLarge) {
        run.end = End::TooLarge;
        run.reason = "the sandboxed reader handed back more than " + std::to_string(kConfinedOutput >> 20) +
                     " MiB; nothing written";
    } else if (!ended) {
        run.end = End::SystemError;
        run.value = waitError;
        run.reason = "cannot wait for the sandboxed reader: " + systemErrorText(waitError) + "; nothing written";
    } else {
        classify(status, &run);
    }
    if (run.end != End::Handed) run.bytes.clear();
    return run;
}

}  // namespace platform
