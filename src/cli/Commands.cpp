#include "cli/Commands.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "cli/Cli.h"
#include "cli/LineText.h"

namespace cli {
namespace {

constexpr std::size_t kHelpColumn = 38;
constexpr std::size_t kLineWidth = 80;

const Option kCursors{"--cursors"};
const Option kLocation{"--location", "PATH,N"};
const Option kImage{"--image", "an image number"};

// A usage line as --help shows it: indented, broken between its parts (never inside
// brackets) where it would pass the line width, the rest indented further.
std::vector<std::string> usageLines(const std::string& usage) {
    std::vector<std::string> lines = {"  "};
    std::size_t depth = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= usage.size(); ++i) {
        if (i < usage.size()) {
            if (usage[i] == '[') ++depth;
            if (usage[i] == ']' && depth > 0) --depth;
            if (usage[i] != ' ' || depth > 0) continue;
        }
        const std::string part = usage.substr(start, i - start);
        start = i + 1;
        std::string& line = lines.back();
        if (line.size() > 2 && line.size() + 1 + part.size() > kLineWidth) lines.push_back("          " + part);
        else line += (line.size() > 2 ? " " : "") + part;
    }
    return lines;
}

}  // namespace

const std::vector<Command>& commands() {
    static const std::vector<Command> table = {
        {"groups", cmdGroups, "groups FILE... [--cursors]",
         "icon group names, one a line, in module\n"
         "order (nothing for an .ico file); with\n"
         "--cursors cursor group names (nothing\n"
         "for a .cur or .ani file)",
         {kCursors}, 1, Location::None, true},
        {"images", cmdImages, "images FILE... [--group GROUP] [--cursors]",
         "the images of a group (or of an .ico\n"
         "file): size and colours, one a line;\n"
         "without GROUP each file's first group;\n"
         "`images FILE GROUP` names the group too;\n"
         "with --cursors a cursor group's (or a\n"
         ".cur file's), each line ending in its\n"
         "hotspot",
         {{"--group", "a group"}, kCursors}, 1, Location::Group, true},
        {"save-ico", cmdSaveIco, "save-ico FILE GROUP OUT [--image K] [--exact]",
         "all images of the group (or image K\n"
         "alone) as .ico, each image's bytes as\n"
         "stored but a bitmap's biSizeImage\n"
         "written as 0 (as the save dialog does);\n"
         "--exact keeps biSizeImage as stored",
         {kImage, {"--exact"}}, 3, Location::Group},
        {"save-png", cmdSavePng, "save-png FILE GROUP OUT [--size N]",
         "the group as a PNG of N x N pixels\n"
         "(default: its largest image): the image\n"
         "of that size, else the smallest larger\n"
         "one shrunk, else the largest as it is",
         {{"--size", "a size"}}, 3, Location::Group},
        {"save-bmp", cmdSaveBmp, "save-bmp FILE GROUP K OUT", "image K of the group as .bmp", {}, 4, Location::Group},
        {"count", cmdCount, "count FILE...",
         "the number of icons of each file: count,\n"
         "tab, path (a path that is no readable\n"
         "file: a line on stderr, exit status 1)",
         {}, 1, Location::None, true},
        {"theme", cmdTheme, "theme FILE GROUP NAME [--prefix DIR] [--force]",
         "the group as an icon set for desktop\n"
         "entries (Icon=NAME): DIR/hicolor/<N>x<N>/\n"
         "apps/NAME.png at hicolor's sizes up to\n"
         "the group's largest image; DIR defaults\n"
         "to $XDG_DATA_HOME/icons, else\n"
         "~/.local/share/icons. An existing set of\n"
         "that NAME is replaced only with --force",
         {{"--prefix", "a directory"}, {"--force"}}, 3, Location::Group},
        {"render", cmdRender, "render FILE I --size 32|16 OUT",
         "icon I as the icon strip shows it; OUT's\n"
         "extension chooses .ico (16 colours), .bmp\n"
         "or .jpg (on white) or .png (with its\n"
         "transparency)",
         {{"--size", "32 or 16"}}, 3, Location::Icon},
        {"extract", cmdExtract,
         "extract PATH... -o OUTDIR [--recursive] [--filter MASK] [--format ico|png] [--exact] [--force] "
         "[--verbose] [--cursors] [--shortcuts]",
         "every icon group of every file (PATH a\n"
         "file or a directory; -r walks\n"
         "subdirectories) into OUTDIR as\n"
         "FILE-GROUP.ico (as save-ico writes it;\n"
         "--exact as save-ico --exact) or as a\n"
         ".png of the group's largest image; an\n"
         ".ico file gives FILE.ico or FILE.png.\n"
         "MASK (\"*.dll\", \"*.ex?\") picks files\n"
         "inside directories, ignoring case.\n"
         "Existing files are kept unless --force.\n"
         "Prints one summary line; --verbose tells\n"
         "why each file was skipped; --cursors\n"
         "also writes cursor groups as .cur and\n"
         "animated cursors as .ani, and copies\n"
         ".cur and .ani files. An .msi gives\n"
         "FILE-ROW for each Icon row; with\n"
         "--shortcuts a shortcut, .url,\n"
         "desktop.ini or autorun.inf gives the\n"
         "icon it shows as FILE.ico (or .png)",
         {{"--output", "a value", "-o"},
          {"--recursive", nullptr, "-r"},
          {"--filter", "a value"},
          {"--format", "a value"},
          {"--exact"},
          {"--force", nullptr, "-f"},
          {"--verbose", nullptr, "-v"},
          kCursors,
          {"--shortcuts"}},
         0, Location::None, true},
        {"save-cur", cmdSaveCur, "save-cur FILE GROUP OUT [--image K]",
         "a cursor group (or a .cur file) as .cur,\n"
         "exactly as stored, or image K alone",
         {kImage}, 3, Location::CursorGroup},
        {"xcursor", cmdXcursor, "xcursor FILE GROUP OUT",
         "a cursor as an Xcursor file, one image a\n"
         "size; an .ani file (GROUP -) or animated\n"
         "resource animated",
         {}, 3, Location::CursorGroup},
        {"list", cmdList, "list FILE... [--json]",
         "the file's kind, icon and cursor groups,\n"
         "images and animations as one JSON\n"
         "object; several files: a JSON array of\n"
         "them (--json is accepted and changes\n"
         "nothing)",
         {{"--json"}}, 1, Location::None, true},
        // Files that point at icons: shortcuts, .url, desktop.ini, autorun.inf, .msi.
        {"resolve", cmdResolve, "resolve FILE|LOCATION [--prefix DIR] [--json]",
         "what a shortcut, .url, desktop.ini,\n"
         "autorun.inf or .msi stores and where it\n"
         "leads in its Wine prefix: lines of KEY,\n"
         "tab, value (kind, location, target,\n"
         "path, group; icon for each Icon row of\n"
         "an .msi); with --prefix an icon location\n"
         "given as text (C:\\...\\x.dll,-3)",
         {{"--prefix", "a directory"}, {"--json"}}, 1},
        {"shortcuts", cmdShortcuts, "shortcuts DIR [--json] [--theme [--prefix D]]",
         "every .lnk under DIR: one line each of\n"
         "the shortcut's path under DIR, found\n"
         "(yes/no), icon file, group, icon\n"
         "location, target, arguments, working\n"
         "folder, name, tab-separated; --theme\n"
         "writes each icon as an icon set named\n"
         "from the shortcut's path (as theme\n"
         "does; D as its --prefix) and prints\n"
         "Icon=NAME, tab, the shortcut's path",
         {{"--json"}, {"--theme"}, {"--prefix", "a directory"}}, 1},
        {"cursor-theme", cmdCursorTheme,
         "cursor-theme PACK [--name NAME] [--scheme NAME] [--prefix DIR] [--sizes LIST] [--force] [--json] "
         "[--preview OUT.png]",
         "a Windows cursor pack (an install.inf,\n"
         "a folder, a .zip, .7z or .rar) as the\n"
         "cursor theme DIR/NAME (DIR defaults to\n"
         "~/.icons; NAME to the scheme's name),\n"
         "printing each role's file; the sizes\n"
         "of LIST (24,32,48,64) are written too.\n"
         "A pack of several schemes needs\n"
         "--scheme; an existing theme is replaced\n"
         "only with --force; --preview writes the\n"
         "roles side by side as a PNG",
         {{"--name", "a name"},
          {"--scheme", "a scheme"},
          {"--prefix", "a directory"},
          {"--sizes", "a list of sizes"},
          {"--force"},
          {"--json"},
          {"--preview", "a file"}},
         1},
    };
    return table;
}

const Command* findCommand(const std::string& name) {
    for (const Command& command : commands())
        if (name == command.name) return &command;
    return nullptr;
}

std::string usageLine(const Command& command) { return std::string("usage: vexil-cli ") + command.usage; }

std::string helpText() {
    std::string text =
        "usage: vexil-cli COMMAND ...\n"
        "       vexil-cli --version\n"
        "\n"
        "Reads the icons and cursors of PE32/PE32+ programs and DLLs, 16-bit NE modules and\n"
        ".ico, .cur and .ani files.\n"
        "\n"
        "commands:\n";
    for (const Command& command : commands()) {
        std::vector<std::string> lines = usageLines(command.usage);
        std::istringstream help(command.help);
        bool first = true;
        for (std::string part; std::getline(help, part); first = false) {
            // The first line of help goes beside the usage where it fits.
            if (first && lines.back().size() < kHelpColumn) {
                lines.back().resize(kHelpColumn, ' ');
                lines.back() += part;
            } else {
                lines.push_back(std::string(kHelpColumn, ' ') + part);
            }
        }
        for (const std::string& line : lines) text += line + "\n";
    }
    text +=
        "\n"
        "GROUP is a name as `groups` prints it (\"#1\", \"MAINICON\"); for an .ico file use \"-\",\n"
        "and for a .cur or .ani file too.\n"
        "--location PATH,N stands for FILE GROUP (render: FILE I), as Windows stores icon\n"
        "locations: N >= 0 the N-th group in module order, N < 0 the group with id -N (cursor\n"
        "groups for the cursor commands and with --cursors). A module without icon groups is\n"
        "read from ../SystemResources/NAME.mun beside its folder when that file exists.\n"
        "A shortcut, .url, desktop.ini or autorun.inf as FILE stands for the icon it\n"
        "shows (GROUP -), found in its Wine prefix; an .msi's groups are its Icon rows.\n"
        "With several FILEs, a \"==> FILE <==\" line comes before each file's lines.\n"
        "Icons and images are counted from 0. Exit status: 0 success, 1 failure, 2 usage error.\n";
    return text;
}

int runCommand(const std::string& name, const std::vector<std::string>& given) {
    const Command* command = findCommand(name);
    if (!command) return usage("unknown command: " + lineText(name) + " (see vexil-cli --help)");
    std::vector<Option> options = command->options;
    options.push_back(kLocation);
    std::string error;
    auto args = parseArguments(given, options, &error);
    if (!args) return usage(lineText(error) + "\n" + usageLine(*command));
    if (args->value("--location")) {
        if (command->location == Location::None) return usage(std::string("--location does not apply to ") + name);
        if (auto status = takeLocation(*command, *args)) return *status;
    }
    if (args->words.size() < command->words || (!command->severalFiles && args->words.size() > command->words))
        return usage(usageLine(*command));
    return command->run(*args);
}

int forEachFile(const std::vector<std::string>& files, int (*one)(const std::string& file, const Arguments& args),
                const Arguments& args) {
    int status = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (files.size() > 1) {
            std::printf("%s==> %s <==\n", i > 0 ? "\n" : "", lineText(files[i]).c_str());
            std::fflush(stdout);  // before a failure line on stderr
        }
        status = std::max(status, one(files[i], args));
        std::fflush(stdout);
    }
    return status;
}

}  // namespace cli
