#include "support/RunProgram.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include "support/ImageFixtures.h"

extern char** environ;

namespace fixtures {

ProgramRun runProgram(const std::vector<std::string>& args) {
    TempDir capture;
    const std::string outPath = capture.file("stdout"), errPath = capture.file("stderr");
    std::vector<std::string> all = args;
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ProgramRun run;
    pid_t pid = 0;
    if (!argv.empty() && argv[0] && posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        struct rusage usage {};
        if (wait4(pid, &status, 0, &usage) == pid) {
            run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            run.maxRssKiB = usage.ru_maxrss;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    const Bytes out = readFile(outPath), err = readFile(errPath);
    run.out.assign(out.begin(), out.end());
    run.err.assign(err.begin(), err.end());
    return run;
}

}  // namespace fixtures
