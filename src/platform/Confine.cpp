#include "platform/Confine.h"

#include <cerrno>
#include <initializer_list>

#include <linux/landlock.h>
#include <seccomp.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define VEXIL_SANITIZER_RUNTIME 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VEXIL_SANITIZER_RUNTIME 1
#endif
#endif

namespace platform {
namespace {

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

ConfineResult failed(const char* step, int error) {
    ConfineResult r;
    r.failedStep = step;
    r.error = error;
    return r;
}

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

// Adds an allow rule; a system call this architecture does not have is skipped.
int allow(scmp_filter_ctx ctx, int syscall, std::initializer_list<scmp_arg_cmp> args = {}) {
    if (syscall < 0) return 0;
    const int rc = seccomp_rule_add_array(ctx, SCMP_ACT_ALLOW, syscall, static_cast<unsigned>(args.size()),
                                          args.size() ? args.begin() : nullptr);
    return rc == -EDOM ? 0 : rc;
}

int loadSeccompFilter(const ConfinePlan& plan) {
    scmp_filter_ctx ctx = seccomp_init(SCMP_ACT_KILL_PROCESS);
    if (!ctx) return -ENOMEM;
    const auto readFd = static_cast<scmp_datum_t>(plan.readFd);
    const auto writeFd = static_cast<scmp_datum_t>(plan.writeFd);
    const auto stderrFd = static_cast<scmp_datum_t>(STDERR_FILENO);
    const scmp_arg_cmp noExec = argument(2, SCMP_CMP_MASKED_EQ, PROT_EXEC, 0);
    int rc = 0;
    // The input: read and seek, nothing else.
    for (int call : {SCMP_SYS(read), SCMP_SYS(pread64), SCMP_SYS(readv), SCMP_SYS(preadv), SCMP_SYS(lseek)})
        rc = rc ? rc : allow(ctx, call, {argument(0, SCMP_CMP_EQ, readFd)});
    // The result and messages.
    for (int call : {SCMP_SYS(write), SCMP_SYS(writev)}) {
        rc = rc ? rc : allow(ctx, call, {argument(0, SCMP_CMP_EQ, writeFd)});
        rc = rc ? rc : allow(ctx, call, {argument(0, SCMP_CMP_EQ, stderrFd)});
    }
    // Memory, never executable.
    rc = rc ? rc : allow(ctx, SCMP_SYS(mmap), {noExec});
    rc = rc ? rc : allow(ctx, SCMP_SYS(mprotect), {noExec});
    for (int call : {SCMP_SYS(munmap), SCMP_SYS(mremap), SCMP_SYS(brk), SCMP_SYS(madvise)}) rc = rc ? rc : allow(ctx, call);
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

}  // namespace

const char* confineLayersLeftOut() {
#ifdef VEXIL_SANITIZER_RUNTIME
    return "the address-space limit (the sanitizer runtime reserves terabytes for its shadow memory), and the "
           "seccomp filter lets the runtime make pipes and write to any descriptor (its probe of readable memory)";
#else
    return nullptr;
#endif
}

ConfineResult confine(const ConfinePlan& plan) {
    ConfineResult result;
    if (plan.layers.limits) {
        const bool ok =
#ifndef VEXIL_SANITIZER_RUNTIME
            setLimit(RLIMIT_AS, kConfinedAddressSpace) &&
#endif
            setLimit(RLIMIT_CPU, kConfinedCpuSeconds, 1) && setLimit(RLIMIT_FSIZE, kConfinedOutput) && setLimit(RLIMIT_CORE, 0);
        if (!ok) return failed("resource limits", errno);
    }
    if (plan.layers.landlock) {
        result.landlockAbi = landlockAbi();
        if (result.landlockAbi > 0 && !restrictWithLandlock(result.landlockAbi)) return failed("Landlock", errno);
    }
    if (plan.layers.seccomp) {
        const int rc = loadSeccompFilter(plan);
        if (rc != 0) return failed("seccomp filter", -rc);
    }
    result.ok = true;
    return result;
}

}  // namespace platform
