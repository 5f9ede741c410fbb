#include "cli/Arguments.h"

namespace cli {

const std::string* Arguments::value(const std::string& name) const {
    const auto it = values.find(name);
    return it == values.end() ? nullptr : &it->second;
}

std::optional<Arguments> parseArguments(const std::vector<std::string>& given, const std::vector<Option>& options,
                                         std::string* error) {
    Arguments parsed;
    bool onlyWords = false;
    for (std::size_t i = 0; i < given.size(); ++i) {
        const std::string& word = given[i];
        if (onlyWords || word.size() < 2 || word[0] != '-') {
            parsed.words.push_back(word);
            continue;
        }
        if (word == "--") {
            onlyWords = true;
            continue;
        }
        const Option* option = nullptr;
        for (const Option& o : options)
            if (word == o.name || (o.alias && word == o.alias)) option = &o;
        if (!option) {
            *error = "unknown option " + word;
            return std::nullopt;
        }
        if (!option->value) {
            parsed.flags.insert(option->name);
        } else if (i + 1 < given.size()) {
            parsed.values[option->name] = given[++i];
        } else {
            *error = word + " needs " + option->value;
            return std::nullopt;
        }
    }
    return parsed;
}

std::optional<std::uint32_t> parseNumber(std::string_view text, std::uint32_t min, std::uint32_t max) {
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > max) return std::nullopt;
    }
    if (value < min) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

}  // namespace cli
