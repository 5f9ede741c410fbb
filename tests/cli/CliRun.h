// vexil-cli run as a whole program with the given arguments, for the command-line tests,
// and the text of a file it wrote.
#pragma once

#include <string>
#include <vector>

#include "support/ImageFixtures.h"
#include "support/RunProgram.h"

inline fixtures::ProgramRun runVexilCli(std::vector<std::string> args) {
    args.insert(args.begin(), VEXIL_CLI_PATH);
    return fixtures::runProgram(args);
}

inline std::string slurp(const std::string& path) {
    const fixtures::Bytes b = fixtures::readFile(path);
    return std::string(b.begin(), b.end());
}
