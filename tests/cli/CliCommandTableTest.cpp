// The command table of vexil-cli: its argument parser, its usage lines against what each
// command accepts and against the man page, and each command's usage run for real.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/CliRun.h"

namespace {

TEST(CliArguments, SplitsWordsFlagsAndValues) {
    const std::vector<cli::Option> options = {{"--size", "a size", "-s"}, {"--force", nullptr, "-f"}};
    const struct {
        std::vector<std::string> given;
        std::vector<std::string> words;
        std::string size;  // "": not given
        bool force;
        std::string error;  // set: refused with this
    } cases[] = {
        {{"a", "-s", "16", "b"}, {"a", "b"}, "16", false, ""},
        {{"--size", "-3", "-f", "x"}, {"x"}, "-3", true, ""},  // a value is the next word, whatever it is
        {{"-", "", "a"}, {"-", "", "a"}, "", false, ""},       // "-" and "" are words
        {{"--", "-f", "--size"}, {"-f", "--size"}, "", false, ""},
        {{"-s", "1", "--size", "2"}, {}, "2", false, ""},      // the last one counts
        {{"a", "--size"}, {}, "", false, "--size needs a size"},
        {{"a", "-x"}, {}, "", false, "unknown option -x"},
        {{"--forc"}, {}, "", false, "unknown option --forc"},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto parsed = cli::parseArguments(c.given, options, &error);
        SCOPED_TRACE(c.given.back());
        if (!c.error.empty()) {
            EXPECT_FALSE(parsed);
            EXPECT_EQ(error, c.error);
            continue;
        }
        ASSERT_TRUE(parsed) << error;
        EXPECT_EQ(parsed->words, c.words);
        EXPECT_EQ(parsed->value("--size") ? *parsed->value("--size") : "", c.size);
        EXPECT_EQ(parsed->has("--force"), c.force);
    }
}

TEST(CliArguments, ReadsDecimalNumbersInRangeOnly) {
    const struct {
        const char* text;
        std::uint32_t min, max;
        std::optional<std::uint32_t> value;
    } cases[] = {
        {"0", 0, 9, 0},          {"007", 0, 9, 7},        {"1024", 1, 1024, 1024}, {"1025", 1, 1024, std::nullopt},
        {"0", 1, 1024, std::nullopt}, {"", 0, 9, std::nullopt}, {"-1", 0, 9, std::nullopt}, {"+1", 0, 9, std::nullopt},
        {" 1", 0, 9, std::nullopt},   {"1x", 0, 9, std::nullopt},
        {"99999999999999999999", 0, 4294967295u, std::nullopt}, {"4294967295", 0, 4294967295u, 4294967295u},
    };
    for (const auto& c : cases) EXPECT_EQ(cli::parseNumber(c.text, c.min, c.max), c.value) << c.text;
}

// The words of a usage line that are options ("--image", "-o"), brackets and "|" aside.
std::vector<std::string> optionsOfUsage(const std::string& usage) {
    std::vector<std::string> found;
    std::istringstream words(usage);
    for (std::string w; words >> w;) {
        while (!w.empty() && (w.front() == '[')) w.erase(0, 1);
        while (!w.empty() && (w.back() == ']')) w.pop_back();
        if (w.size() > 1 && w[0] == '-') found.push_back(w);
    }
    return found;
}

bool takes(const cli::Command& command, const std::string& option) {
    for (const cli::Option& o : command.options)
        if (option == o.name || (o.alias && option == o.alias)) return true;
    return false;
}

// Each option the usage line shows is one the command takes, and each it takes (by name)
// is shown; the usage line starts with the command's name.
TEST(CliCommandTable, UsageLinesNameTheOptionsTheCommandsTake) {
    for (const cli::Command& command : cli::commands()) {
        SCOPED_TRACE(command.name);
        const std::string usage = command.usage;
        EXPECT_EQ(usage.rfind(std::string(command.name) + " ", 0), 0u);
        for (const std::string& option : optionsOfUsage(usage)) EXPECT_TRUE(takes(command, option)) << option;
        for (const cli::Option& o : command.options) {
            const auto shown = optionsOfUsage(usage);
            EXPECT_TRUE(std::find(shown.begin(), shown.end(), o.name) != shown.end() ||
                        (o.alias && std::find(shown.begin(), shown.end(), o.alias) != shown.end()))
                << o.name;
        }
        EXPECT_EQ(usage.find("FILE...") != std::string::npos || usage.find("PATH...") != std::string::npos,
                  command.severalFiles);
    }
}

// A man page line of alternating fonts (.BI and its kin) as the text it shows.
std::string troffText(const std::string& line) {
    std::string args = line.substr(line.find(' ') + 1), text;
    bool quoted = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const char c = args[i];
        if (c == '"') quoted = !quoted;
        else if (c == ' ' && !quoted) continue;  // between arguments: the fonts alternate, no blank
        else if (c == '\\' && i + 1 < args.size() && args[i + 1] == 'f') i += 2;
        else if (c == '\\' && i + 1 < args.size() && args[i + 1] == '-') text += '-', ++i;
        else text += c;
    }
    return text;
}

// The man page's SYNOPSIS shows each command's usage line, and its COMMANDS section has an
// entry for each, in the table's order.
TEST(CliCommandTable, ManPageShowsEachCommandsUsageLine) {
    std::ifstream in(std::string(VEXIL_SOURCE_DIR) + "/res/man/vexil-cli.1");
    ASSERT_TRUE(in.good());
    std::vector<std::string> synopsis, entries;
    std::string section, previous;
    for (std::string line; std::getline(in, line); previous = line) {
        if (line.rfind(".SH ", 0) == 0) section = line.substr(4);
        const bool fonts = line.rfind(".BI ", 0) == 0;
        if (section == "SYNOPSIS" && fonts) synopsis.push_back(troffText(line));
        if (section == "COMMANDS" && previous == ".TP") entries.push_back(fonts ? troffText(line) : line);
    }
    std::vector<std::string> usages, synopsisWanted;
    for (const cli::Command& command : cli::commands()) {
        usages.push_back(command.usage);
        synopsisWanted.push_back(std::string("vexil-cli ") + command.usage);
    }
    EXPECT_EQ(synopsis, synopsisWanted);
    EXPECT_EQ(entries, usages);
}

// Each command run with no words, or one word too many, says its usage line (exit status
// 2), refuses an option it does not take, and --help shows every usage line.
TEST(CliCommandTable, EachCommandsUsageRuns) {
    const auto help = runVexilCli({"--help"});
    ASSERT_EQ(help.status, 0);
    for (const cli::Command& command : cli::commands()) {
        SCOPED_TRACE(command.name);
        const std::string usage = cli::usageLine(command);
        const auto bare = runVexilCli({command.name});
        EXPECT_EQ(bare.status, 2);
        EXPECT_NE(bare.err.find(usage + "\n"), std::string::npos) << bare.err;
        // One word too many for a command of fixed words; any number of files for the others.
        std::vector<std::string> extra = {command.name};
        extra.insert(extra.end(), command.words + 1, "word");
        if (!command.severalFiles) {
            EXPECT_EQ(runVexilCli(extra).err, "vexil-cli: " + usage + "\n");
        }
        const auto unknown = runVexilCli({command.name, "a", "--no-such-option"});
        EXPECT_EQ(unknown.status, 2);
        EXPECT_EQ(unknown.err, "vexil-cli: unknown option --no-such-option\n" + usage + "\n");
        // The help text breaks long usage lines between their parts: compare without breaks.
        std::string flat;
        for (std::istringstream words(help.out); words;) {
            std::string w;
            if (words >> w) flat += w + " ";
        }
        std::string wanted;
        for (std::istringstream words(command.usage); words;) {
            std::string w;
            if (words >> w) wanted += w + " ";
        }
        EXPECT_NE(flat.find(wanted), std::string::npos);
    }
    EXPECT_EQ(runVexilCli({"groups", "--location", "a,0"}).err, "vexil-cli: --location does not apply to groups\n");
    // Words quoted in usage messages are escaped as every line is.
    EXPECT_EQ(runVexilCli({"count", "--a\nb"}).err, "vexil-cli: unknown option --a\\x0Ab\nusage: vexil-cli count FILE...\n");
    EXPECT_EQ(runVexilCli({"frob\x01"}).err, "vexil-cli: unknown command: frob\\x01 (see vexil-cli --help)\n");
}

}  // namespace
