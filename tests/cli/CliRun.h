// vexil-cli run as a whole program with the given arguments, for the command-line tests.
#pragma once

#include <string>
#include <vector>

#include "support/RunProgram.h"

inline fixtures::ProgramRun runVexilCli(std::vector<std::string> args) {
    args.insert(args.begin(), VEXIL_CLI_PATH);
    return fixtures::runProgram(args);
}
