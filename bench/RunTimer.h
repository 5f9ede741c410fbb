// Whole runs of a program, timed for the benchmarks that start vexil-cli: the wall time
// of one run, and rounds of several sides taken in turn so that the load of a shared
// machine weighs on each alike.
#pragma once

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

extern char** environ;

namespace {

// Starts a program and waits for it; its wall time in ms, or a negative number when it
// could not start or failed.
inline double timedRun(std::vector<std::string> args, const std::vector<std::string>& extraEnv = {}) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envText(extraEnv);
    std::vector<char*> envp;
    for (std::string& e : envText) envp.push_back(e.data());
    for (char** e = environ; *e; ++e) envp.push_back(*e);
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    int status = 0;
    const bool ok = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0 &&
                    waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    return ok ? ms : -1;
}

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Rounds of `sides` taken in turn, each prepared by `before` (not timed). Counters: each
// side's median in ms and the ratio of every side to the first.
inline void inTurn(benchmark::State& state, const std::vector<std::string>& names,
            const std::vector<std::function<double()>>& sides, const std::function<void()>& before = {}) {
    std::vector<std::vector<double>> times(sides.size());
    for (auto _ : state) {
        for (std::size_t s = 0; s < sides.size(); ++s) {
            state.PauseTiming();
            if (before) before();
            state.ResumeTiming();
            const double ms = sides[s]();
            if (ms < 0) {
                state.SkipWithError((names[s] + ": the command failed").c_str());
                return;
            }
            times[s].push_back(ms);
        }
    }
    for (std::size_t s = 0; s < sides.size(); ++s) {
        state.counters[names[s] + "_ms"] = median(times[s]);
        if (s > 0) state.counters[names[s] + "/" + names[0]] = median(times[s]) / median(times[0]);
    }
}

}  // namespace
