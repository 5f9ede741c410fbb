// The one parser of command-line words for vexil-cli's commands and vexil-thumbnailer:
// options (flags and options with a value, long names with short aliases) apart from the
// other words, and the one reader of numbers. It includes nothing of the icon core, so that
// the thumbnailer links it alone.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

struct Option {
    const char* name;                // "--size"
    const char* value = nullptr;     // nullptr: a flag; else what it needs, as "-s needs <value>"
    const char* alias = nullptr;     // "-s", or a second long name; nullptr: none
};

struct Arguments {
    std::vector<std::string> words;              // the words that are no options, in order
    std::map<std::string, std::string> values;   // by the option's name; the last one given
    std::set<std::string> flags;                 // by the option's name

    bool has(const std::string& name) const { return flags.count(name) > 0 || values.count(name) > 0; }
    // The option's value; nullptr when it was not given.
    const std::string* value(const std::string& name) const;
};

// Splits the words: a word starting with "-" (but "-" itself, which names standard input or
// an .ico file's group) is an option of `options`, by its name or alias; an option with a
// value takes the next word whatever it is; after "--" every word is a word. nullopt with
// *error ("unknown option X", "X needs a value") otherwise.
std::optional<Arguments> parseArguments(const std::vector<std::string>& given, const std::vector<Option>& options,
                                         std::string* error);

// A number written in decimal digits alone (no sign, no blanks) from min to max.
std::optional<std::uint32_t> parseNumber(std::string_view text, std::uint32_t min, std::uint32_t max);

}  // namespace cli
