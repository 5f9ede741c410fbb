// Confining a process that is about to read untrusted bytes: after confine() it can read
// and seek one descriptor, write to another (and to stderr), use memory and the clock,
// and exit; anything else is refused or ends it. Three layers, each enough on its own for
// what it covers:
//   - a seccomp filter that kills the process on any other system call (no open, socket,
//     connect, execve, fork, ptrace, ...), and on mapping memory executable;
//   - Landlock with no file-system access at all (nor TCP, abstract UNIX sockets and
//     signals where the kernel's Landlock covers them), where the kernel has Landlock;
//   - resource limits: address space, CPU time, the size of files written, no core file.
// Confinement is for good: there is no way back for the process or anything it starts.
#pragma once

#include <cstdint>

namespace platform {

inline constexpr std::uint64_t kConfinedAddressSpace = 512ull << 20;
inline constexpr unsigned kConfinedCpuSeconds = 10;
inline constexpr std::uint64_t kConfinedOutput = 64ull << 20;

struct ConfineLayers {
    bool seccomp = true;
    bool landlock = true;
    bool limits = true;
};

struct ConfinePlan {
    int readFd = -1;   // the only descriptor that may be read and seeked
    int writeFd = -1;  // the only one that may be written besides stderr
    ConfineLayers layers;
};

struct ConfineResult {
    bool ok = false;
    // On failure, the step that failed (a fixed text) and its errno.
    const char* failedStep = nullptr;
    int error = 0;
    // The kernel's Landlock ABI version, 0 where it has none (the other layers still apply).
    int landlockAbi = 0;
};

ConfineResult confine(const ConfinePlan& plan);

// What this build leaves out of the layers, and why, or nullptr when it puts on all of
// them whole. Sanitizer runtimes reserve terabytes of address space for their shadow
// memory and probe memory through pipes, so sanitizer builds leave out the address-space
// limit and let the filter allow pipes and writes to any descriptor (Landlock, the rest of
// the filter, and the CPU and file-size limits stay).
const char* confineLayersLeftOut();

}  // namespace platform
