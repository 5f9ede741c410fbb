// Running untrusted work in a confined child process. runConfined() forks; the child keeps
// only the descriptors the plan names, confines itself, does the work and hands its bytes
// back through a pipe; the parent takes them, and the child's messages, without ever
// blocking past the run's wall clock, and says how the child ended.
//
// Once confined, the child can read and seek its read descriptors, write to its result
// pipe and to stderr (a pipe to the parent), use anonymous memory and the clock, and exit;
// anything else is refused or ends it. Three layers, each enough on its own for what it
// covers:
//   - a seccomp filter that kills the process on any other system call (no open, socket,
//     connect, execve, fork, ptrace, ...), on mapping a file or mapping memory executable,
//     and on memory advice or futex operations beyond those its runtime needs;
//   - Landlock with no file-system access at all (nor TCP, abstract UNIX sockets and
//     signals where the kernel's Landlock covers them), where the kernel has Landlock;
//   - resource limits: address space, CPU time, the size of files written, no core file.
// Every other descriptor is closed before confinement, and the child dies with its parent.
// Confinement is for good: there is no way back for the process or anything it starts.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSource.h"

namespace platform {

inline constexpr std::uint64_t kConfinedAddressSpace = 512ull << 20;
// Below the wall clock, so that a child spinning is stopped by the CPU limit and one
// blocked by the wall clock.
inline constexpr unsigned kConfinedCpuSeconds = 8;
inline constexpr std::chrono::milliseconds kConfinedWallClock{10'000};
inline constexpr std::uint64_t kConfinedOutput = 64ull << 20;
// How much of the child's messages the parent keeps and passes on.
inline constexpr std::size_t kConfinedMessages = 4096;

// The child's descriptors once confined: stderr (a pipe to the parent), the result pipe,
// then the plan's read descriptors in order. Every other one is closed.
inline constexpr int kConfinedResultFd = 3;
inline constexpr int kConfinedFirstReadFd = 4;

// The work's own exit statuses run from 1 up to this; the runner keeps those above.
inline constexpr int kConfinedWorkStatusEnd = 100;

struct ConfineLayers {
    bool seccomp = true;
    bool landlock = true;
    bool limits = true;
};

struct ConfinePlan {
    // Descriptors open for reading (regular files) that the child reads and seeks: it
    // gets them as byte sources, at kConfinedFirstReadFd onwards.
    std::vector<int> readFds;
    // The start of each line the child writes itself ("program: INPUT: ").
    std::string messagePrefix;
    ConfineLayers layers;
    // How long the run may take: counted from startWallClock() where the process started
    // the clock, else from the start of runConfined().
    std::chrono::milliseconds wallClock = kConfinedWallClock;
};

using ConfinedInputs = std::vector<std::unique_ptr<FileSource>>;
// The child's work, called once the child is confined: it reads `inputs` (the plan's read
// descriptors, in order), puts its bytes into `result` and answers 0, or answers a status
// of its own (1 to kConfinedWorkStatusEnd - 1) and hands back nothing. An exception ends
// the child with a message that names it (a refused allocation: the memory message).
using ConfinedWork = std::function<int(ConfinedInputs& inputs, formats::Bytes& result)>;

struct ConfinedRun {
    enum class End {
        Handed,       // status 0: `bytes` is what the child handed back
        WorkStatus,   // the work answered `value`
        SystemError,  // a pipe, the fork or the wait failed: errno `value`
        NotConfined,  // the child could not set up its sandbox (it said why)
        Exception,    // an exception other than a refused allocation ended it (it said which)
        OutOfMemory,  // an allocation was refused
        NotHandedOver,
        Signal,  // stopped by signal `value`
        TooLarge,
        TimedOut,
    };
    End end = End::SystemError;
    int value = 0;
    formats::Bytes bytes;
    // What happened, as one line's text after "program: INPUT: " (the texts end "; nothing
    // written"); empty for Handed and where the child said it itself.
    std::string reason;
};

// Runs `work` in a confined child. The child's messages (its first kConfinedMessages
// bytes, in whole lines) are passed on to stderr, where that cannot block, before it
// returns. The child is killed when the wall clock runs out or it hands back more than
// kConfinedOutput bytes.
ConfinedRun runConfined(const ConfinePlan& plan, const ConfinedWork& work);

// The reason runConfined() gives when the wall clock `limit` ran out.
std::string wallClockReason(std::chrono::milliseconds limit);

// A wall clock over the whole process, for the waits runConfined() does not cover (an
// open on a stalled FUSE file system waits where no signal handler can run): once `limit`
// has passed, a thread of its own writes `line` to stderr if that cannot block and ends
// the process with status 1; the confined child then dies with it. One clock per process.
// False (with errno) when the thread cannot be started.
bool startWallClock(std::chrono::milliseconds limit, std::string line);
// Stops the clock before the process says how it ended. When the clock has run out
// meanwhile it does not return: the clock's thread is ending the process.
void stopWallClock();

// Writes `text` to stderr as far as that cannot block (poll with no wait before each
// write of at most PIPE_BUF bytes); false when some of it was dropped.
bool tellWithoutBlocking(std::string_view text);

// What this build leaves out of the layers, and why, or nullptr when it puts on all of
// them whole. Sanitizer runtimes reserve terabytes of address space for their shadow
// memory and probe memory through pipes, so sanitizer builds leave out the address-space
// limit and let the filter allow pipes and writes to any descriptor (Landlock, the rest of
// the filter, and the CPU and file-size limits stay).
const char* confineLayersLeftOut();

}  // namespace platform
