// vexil-cli: lists and saves the icons of Windows programs, DLLs and icon files from the
// command line. It never opens a window and never runs the code of the files it reads.
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "cli/Cli.h"
#include "cli/CliCursors.h"
#include "platform/MessageBox.h"
#include "vexil/Version.h"

namespace {

const char kHelp[] =
    "usage: vexil-cli COMMAND ...\n"
    "       vexil-cli --version\n"
    "\n"
    "Reads the icons and cursors of PE32/PE32+ programs and DLLs, 16-bit NE modules and\n"
    ".ico, .cur and .ani files.\n"
    "\n"
    "commands:\n"
    "  groups FILE                         icon group names, one a line, in module order\n"
    "                                      (nothing for an .ico file)\n"
    "  images FILE [GROUP]                 the images of a group (or of an .ico file):\n"
    "                                      size and colours, one a line\n"
    "  save-ico FILE GROUP OUT [--image K] all images of the group (or image K alone) as .ico\n"
    "  save-bmp FILE GROUP K OUT           image K of the group as .bmp\n"
    "  count FILE...                       the number of icons of each file: count, tab, path\n"
    "                                      (a path that is no readable file: a line on stderr,\n"
    "                                      exit status 1)\n"
    "  theme FILE GROUP NAME [--prefix DIR]\n"
    "                                      the group as an icon set for desktop entries\n"
    "                                      (Icon=NAME): DIR/hicolor/<N>x<N>/apps/NAME.png at\n"
    "                                      hicolor's sizes up to the group's largest image;\n"
    "                                      DIR defaults to $XDG_DATA_HOME/icons, else\n"
    "                                      ~/.local/share/icons\n"
    "  render FILE I --size 32|16 OUT      icon I as the icon strip shows it; OUT's extension\n"
    "                                      chooses .ico (16 colours), .bmp or .jpg (on white)\n"
    "                                      or .png (with its transparency)\n"
    "  extract PATH... -o OUTDIR [--recursive] [--filter MASK] [--format ico|png] [--force]\n"
    "          [--verbose] [--cursors]\n"
    "                                      every icon group of every file (PATH a file or a\n"
    "                                      directory; -r walks subdirectories) into OUTDIR as\n"
    "                                      FILE-GROUP.ico, exactly as stored, or as a .png of\n"
    "                                      the group's largest image; an .ico file gives\n"
    "                                      FILE.ico or FILE.png. MASK (\"*.dll\", \"*.ex?\") picks\n"
    "                                      files inside directories, ignoring case. Existing\n"
    "                                      files are kept unless --force. Prints one summary\n"
    "                                      line; --verbose tells why each file was skipped;\n"
    "                                      --cursors also writes cursor groups as .cur and\n"
    "                                      animated cursors as .ani, and copies .cur and .ani\n"
    "                                      files\n"
    "  groups FILE --cursors               cursor group names, one a line, in module order\n"
    "  images FILE [GROUP] --cursors       the images of a cursor group (or of a .cur file),\n"
    "                                      each line ending in its hotspot\n"
    "  save-cur FILE GROUP OUT             a cursor group (or a .cur file) as .cur, exactly as\n"
    "                                      stored\n"
    "  xcursor FILE GROUP OUT              a cursor as an Xcursor file, one image a size; an\n"
    "                                      .ani file (GROUP -) or animated resource animated\n"
    "  list FILE --json                    the file's kind, icon and cursor groups, images and\n"
    "                                      animations as one JSON object\n"
    "\n"
    "GROUP is a name as `groups` prints it (\"#1\", \"MAINICON\"); for an .ico file use \"-\",\n"
    "and for a .cur or .ani file too.\n"
    "--location PATH,N stands for FILE GROUP (render: FILE I), as Windows stores icon\n"
    "locations: N >= 0 the N-th group in module order, N < 0 the group with id -N (cursor\n"
    "groups for the cursor commands and with --cursors). A module without icon groups is\n"
    "read from ../SystemResources/NAME.mun beside its folder when that file exists.\n"
    "Icons and images are counted from 0. Exit status: 0 success, 1 failure, 2 usage error.\n";

int run(const std::string& command, cli::Args& args) {
    if (auto status = cli::takeLocation(command, args)) return *status;
    if (const auto status = cli::runCursorCommand(command, args)) return *status;
    if (command == "groups") return cli::cmdGroups(args);
    if (command == "images") return cli::cmdImages(args);
    if (command == "save-ico") return cli::cmdSaveIco(args);
    if (command == "save-bmp") return cli::cmdSaveBmp(args);
    if (command == "count") return cli::cmdCount(args);
    if (command == "render") return cli::cmdRender(args);
    if (command == "extract") return cli::cmdExtract(args);
    if (command == "theme") return cli::cmdTheme(args);
    return cli::usage("unknown command: " + command + " (see vexil-cli --help)");
}

}  // namespace

int main(int argc, char** argv) {
    // Boxes the icon core would show become part of the failure line that follows them.
    platform::setMessageBoxHandler([](const std::string& text, const std::string&, unsigned style) {
        cli::noteCoreMessage(text);
        return (style & platform::mb::ButtonMask) == platform::mb::YesNo ? platform::mb::IdNo : platform::mb::IdOk;
    });

    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("vexil-cli %s\n", kVexilVersion);  // the About box shows the same
        return 0;
    }
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::fputs(kHelp, argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    const std::string command = argv[1];
    cli::Args args(argv + 2, argv + argc);
    // The core reports its own allocation failures; anything else that runs out of memory
    // ends the command with a message, never with an abort.
    try {
        const int status = run(command, args);
        cli::flushCoreMessage();
        return status;
    } catch (const std::bad_alloc&) {
        return cli::fail("out of memory");
    } catch (const std::exception& e) {
        return cli::fail(e.what());
    }
}
