// Runs a program of the build as a child process, as a shell or a file manager would:
// standard input from /dev/null, standard output and error captured, its exit status and
// the operating system's account of its peak memory.
#pragma once

#include <string>
#include <vector>

namespace fixtures {

struct ProgramRun {
    int status = -1;        // exit status; -1 when it could not start or died of a signal
    std::string out;
    std::string err;
    // Peak resident memory of the child, which starts from what this process held when
    // it spawned the child.
    long maxRssKiB = 0;
};

ProgramRun runProgram(const std::vector<std::string>& argv);

}  // namespace fixtures
