// vexil-cli: lists and saves the icons of Windows programs, DLLs and icon files from the
// command line. It never opens a window and never runs the code of the files it reads.
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/Commands.h"
#include "platform/MessageBox.h"
#include "vexil/Version.h"

int main(int argc, char** argv) {
    // The icon core shows no boxes here: a question is answered No, and a command says what
    // a failed call said (its source's Failure) in its own failure line.
    platform::setMessageBoxHandler([](const std::string&, const std::string&, unsigned style) {
        return (style & platform::mb::ButtonMask) == platform::mb::YesNo ? platform::mb::IdNo : platform::mb::IdOk;
    });

    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("vexil-cli %s\n", kVexilVersion);  // the About box shows the same
        return 0;
    }
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::fputs(cli::helpText().c_str(), argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    // The core reports its own allocation failures; anything else that runs out of memory
    // ends the command with a message, never with an abort.
    try {
        return cli::runCommand(command, args);
    } catch (const std::bad_alloc&) {
        return cli::fail("out of memory");
    } catch (const std::exception& e) {
        return cli::fail(e.what());
    }
}
