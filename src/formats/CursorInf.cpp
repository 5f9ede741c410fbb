#include "formats/CursorInf.h"

#include <algorithm>
#include <map>
#include <set>

#include "formats/AsciiText.h"

namespace formats {

namespace {

enum class CursorKey { Schemes, Cursors };

// Values under Control Panel\Cursors that are no role and need no warning.
constexpr std::string_view kOtherCursorValues[] = {"Scheme Source", "CursorBaseSize", "ContactVisualization",
                                                   "GestureVisualization"};
// The longest a root, subkey, value name, flags or section name may expand to.
constexpr std::size_t kMaxShortField = 1024;
// AddReg flags: the line deletes the value (FLG_ADDREG_DELVAL).
constexpr std::uint32_t kDeleteValueFlag = 0x4;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool isCursorRoot(std::string_view root) {
    const std::string r = asciiLower(trim(root));
    return r == "hkcu" || r == "hklm" || r == "hkey_current_user" || r == "hkey_local_machine";
}

// The key a subkey names, written with '\' or '/', doubled separators or one at an end.
std::optional<CursorKey> cursorKeyOf(std::string_view subkey) {
    std::string k;
    for (char c : trim(subkey)) {
        if (c == '/') c = '\\';
        if (c == '\\' && (k.empty() || k.back() == '\\')) continue;
        k += c;
    }
    if (!k.empty() && k.back() == '\\') k.pop_back();
    k = asciiLower(k);
    if (k == "control panel\\cursors\\schemes") return CursorKey::Schemes;
    if (k == "control panel\\cursors") return CursorKey::Cursors;
    return std::nullopt;
}

// An AddReg flags field: hexadecimal after "0x", else decimal; empty is 0.
std::optional<std::uint32_t> flagsOf(std::string_view text) {
    text = trim(text);
    std::uint32_t base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.size() > 8) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : text) {
        std::uint32_t digit;
        if (c >= '0' && c <= '9') digit = static_cast<std::uint32_t>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f') digit = static_cast<std::uint32_t>(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F') digit = static_cast<std::uint32_t>(c - 'A' + 10);
        else return std::nullopt;
        value = value * base + digit;
    }
    return value;
}

// At most `most` bytes of the text, cut between UTF-8 characters.
std::string cutUtf8(std::string_view text, std::size_t most) {
    if (text.size() <= most) return std::string(text);
    std::size_t cut = most;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return std::string(text.substr(0, cut));
}

std::string quoted(std::string_view text) { return "\"" + infSnippet(text) + "\""; }

// One registry line of a cursor key, its fields expanded.
struct RegistryValue {
    CursorKey key;
    std::string name;
    std::string data;
};

struct RoleValue {
    std::string file;
    int line = 0;
};

struct GuessedValue {
    CursorRole role;
    std::string valueName;
    RoleValue value;
};

class SchemeReader {
public:
    explicit SchemeReader(InfFile& inf) : inf_(inf) {}

    // Follows the install sections to the registry sections and reads them.
    CursorInf run() {
        std::set<const InfSection*> read;
        for (const InfSection* s : followedSections()) {
            read.insert(s);
            readSection(*s);
        }
        if (!foundAny()) readUnnamedSections(read);
        return finish();
    }

private:
    // The sections the AddReg= lines of the install sections name, in order, each once.
    std::vector<const InfSection*> followedSections() {
        struct Named {
            std::string name;
            int line;
        };
        std::vector<Named> names;
        std::set<std::string> seen;
        auto follow = [&](const InfSection& s) {
            for (const InfLine& line : s.lines) {
                if (!line.hasKey || asciiLower(line.key) != "addreg") continue;
                for (const std::string& field : line.fields) {
                    const auto name = inf_.expand(field, line.number, kMaxShortField);
                    if (!name || trim(*name).empty()) continue;
                    if (seen.insert(asciiLower(trim(*name))).second) names.push_back({std::string(trim(*name)), line.number});
                }
            }
        };
        bool install = false;
        for (const InfSection& s : inf_.sections()) {
            const std::string n = asciiLower(s.name);
            if (n == "defaultinstall" || n.rfind("defaultinstall.", 0) == 0) {
                install = true;
                follow(s);
            }
        }
        if (!install) {
            for (const InfSection& s : inf_.sections()) follow(s);
            if (!names.empty()) inf_.warn(0, "no [DefaultInstall] section; every AddReg= line followed");
        }
        // Names that differ only in case are one section, so each is listed once.
        std::vector<const InfSection*> sections;
        for (const Named& n : names) {
            const InfSection* s = inf_.section(n.name);
            if (!s) inf_.warn(n.line, "AddReg= names [" + infSnippet(n.name) + "], which the file lacks");
            else sections.push_back(s);
        }
        return sections;
    }

    // When the followed sections set no cursor value: every other section that does
    // (but [Strings] and what DelReg= names), as a pack whose AddReg= names the wrong
    // section still means it.
    void readUnnamedSections(const std::set<const InfSection*>& read) {
        std::set<std::string> deleting;
        for (const InfSection& s : inf_.sections())
            for (const InfLine& line : s.lines)
                if (line.hasKey && asciiLower(line.key) == "delreg")
                    for (const std::string& field : line.fields) deleting.insert(asciiLower(trim(field)));
        for (const InfSection& s : inf_.sections()) {
            const std::string n = asciiLower(s.name);
            if (read.count(&s) || deleting.count(n) || n == "strings" || n.rfind("strings.", 0) == 0) continue;
            const bool cursorLines = std::any_of(s.lines.begin(), s.lines.end(), [](const InfLine& line) {
                return !line.hasKey && line.fields.size() >= 2 && isCursorRoot(line.fields[0]) && cursorKeyOf(line.fields[1]);
            });
            if (!cursorLines) continue;
            inf_.warn(s.line, "no AddReg= names [" + infSnippet(s.name) + "], but it sets cursor values; read");
            readSection(s);
        }
    }

    bool foundAny() const { return !schemes_.empty() || sawRoleValues_; }

    void readSection(const InfSection& s) {
        for (const InfLine& line : s.lines)
            if (const auto value = registryValue(line)) apply(*value, line.number);
    }

    // The key, value name and data of a line setting a value under a cursor key, with
    // the sloppy forms packs use put right; nullopt for other lines.
    std::optional<RegistryValue> registryValue(const InfLine& line) {
        const std::vector<std::string>& f = line.fields;
        if (line.hasKey || f.size() < 2) return std::nullopt;
        const auto root = inf_.expand(f[0], line.number, kMaxShortField);
        if (!root || !isCursorRoot(*root)) return std::nullopt;
        const auto subkey = inf_.expand(f[1], line.number, kMaxShortField);
        const auto key = subkey ? cursorKeyOf(*subkey) : std::nullopt;
        if (!key) return std::nullopt;
        const auto name = inf_.expand(f.size() > 2 ? f[2] : std::string(), line.number, kMaxShortField);
        if (!name) return std::nullopt;

        // Field 4 holds the flags; a pack that leaves them out has its value there.
        std::size_t at = 4;
        if (f.size() >= 4) {
            const auto flagsText = inf_.expand(f[3], line.number, kMaxShortField);
            const auto flags = flagsText ? flagsOf(*flagsText) : std::nullopt;
            if (flags && (*flags & kDeleteValueFlag)) return std::nullopt;
            if (!flags) {
                at = 3;
                inf_.warn(line.number, "no flags before the value; the fourth field read as the value");
            }
        }
        std::string data;
        if (f.size() > at) {
            data = f[at];
            const bool moreData = std::any_of(f.begin() + static_cast<std::ptrdiff_t>(at) + 1, f.end(),
                                              [](const std::string& s) { return !trim(s).empty(); });
            if (f.size() > at + 1 && !moreData) {
                inf_.warn(line.number, "a comma after the value ignored");
            } else if (moreData && *key == CursorKey::Schemes) {
                for (std::size_t i = at + 1; i < f.size(); ++i) data += "," + f[i];
                inf_.warn(line.number, "the file list is not in quotes; fields " + std::to_string(at + 1) + " to " +
                                           std::to_string(f.size()) + " read as one list");
            } else if (moreData) {
                inf_.warn(line.number, "fields after the value ignored");
            }
        }
        const auto expanded = inf_.expand(data, line.number);
        if (!expanded) return std::nullopt;
        return RegistryValue{*key, *name, *expanded};
    }

    void apply(const RegistryValue& value, int line) {
        if (value.key == CursorKey::Schemes) {
            const std::string name = schemeName(value.name, line);
            if (name.empty()) inf_.warn(line, "a scheme without a name");
            addScheme({name, fileList(value.data, line, name), line});
            return;
        }
        sawRoleValues_ = true;
        if (value.name.empty()) {
            currentName_ = schemeName(value.data, line);
            return;
        }
        if (const auto role = cursorRoleFromValueName(value.name)) {
            roleValues_[roleIndex(*role)] = RoleValue{fileName(value.data, line, cursorRoleName(*role)), line};
            return;
        }
        for (std::string_view other : kOtherCursorValues)
            if (compareIgnoreCase(value.name, other) == 0) return;
        if (const auto role = cursorRoleOfFileName(value.name)) {
            guessed_.push_back({*role, value.name, {fileName(value.data, line, cursorRoleName(*role)), line}});
            return;
        }
        inf_.warn(line, "value name " + quoted(value.name) + " under Control Panel\\Cursors is no cursor role; ignored");
    }

    std::string schemeName(std::string_view text, int line) {
        std::string name(trim(infReplaceControls(text, "")));
        if (name.size() > kMaxCursorFileName) {
            name = cutUtf8(name, kMaxCursorFileName);
            inf_.warn(line, "scheme name longer than " + std::to_string(kMaxCursorFileName) + " bytes; cut");
        }
        return name;
    }

    // The bare file name a value names, or "" (with a warning when it names something
    // that is no file name).
    std::string fileName(std::string_view value, int line, const std::string& what) {
        std::string entry(trim(value));
        if (entry.find('"') != std::string::npos) {
            entry.erase(std::remove(entry.begin(), entry.end(), '"'), entry.end());
            inf_.warn(line, what + ": quotes inside a file name removed");
        }
        const std::size_t folder = entry.find_last_of("\\/:");
        std::string_view name = trim(folder == std::string::npos ? std::string_view(entry) : std::string_view(entry).substr(folder + 1));
        while (!name.empty() && (name.back() == '.' || isBlank(name.back()))) name.remove_suffix(1);  // as Windows does
        if (name.empty()) {
            if (!trim(entry).empty()) inf_.warn(line, what + ": " + quoted(entry) + " names no file; none used");
            return {};
        }
        if (infHasControl(name)) {
            inf_.warn(line, what + ": the file name holds a control character; none used");
            return {};
        }
        if (name.size() > kMaxCursorFileName) {
            inf_.warn(line, what + ": a file name longer than " + std::to_string(kMaxCursorFileName) + " bytes; none used");
            return {};
        }
        return std::string(name);
    }

    // A scheme's comma list as files in role order.
    RoleFiles fileList(std::string_view list, int line, const std::string& scheme) {
        std::vector<std::string_view> entries;
        for (std::size_t start = 0;;) {
            const std::size_t comma = list.find(',', start);
            entries.push_back(list.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
            if (comma == std::string_view::npos) break;
            start = comma + 1;
            if (entries.size() > 4 * kCursorRoleCount) break;  // enough to say how far past the end the list runs
        }
        const std::string label = "scheme " + quoted(scheme);
        if (!trim(list).empty() && trim(list).back() == ',') inf_.warn(line, label + ": a comma ending the file list ignored");
        while (!entries.empty() && trim(entries.back()).empty()) entries.pop_back();
        const std::size_t count = entries.size();
        if (count == 0) {
            inf_.warn(line, label + ": the file list is empty");
        } else if (count < kClassicCursorRoleCount) {
            inf_.warn(line, label + ": only " + std::to_string(count) + (count == 1 ? " file" : " files") + " listed; " +
                                cursorRoleName(*cursorRoleAt(count)) + " to Hand have none");
        } else if (count > kCursorRoleCount) {
            inf_.warn(line, label + ": " + (count > 4 * kCursorRoleCount ? "more than " + std::to_string(4 * kCursorRoleCount) : std::to_string(count)) +
                                " files listed; those after the 17th (Person) ignored");
        }
        RoleFiles files;
        for (std::size_t i = 0; i < count && i < kCursorRoleCount; ++i)
            files[i] = fileName(entries[i], line, label + ", " + cursorRoleName(*cursorRoleAt(i)));
        return files;
    }

    void addScheme(CursorScheme scheme) {
        const std::string key = asciiLower(scheme.name);
        if (const auto it = schemeIndex_.find(key); it != schemeIndex_.end()) {
            CursorScheme& earlier = schemes_[it->second];
            if (earlier.files == scheme.files) return;  // the same, set again (HKCU and HKLM)
            inf_.warn(scheme.line, "scheme " + quoted(scheme.name) + " set again (first on line " +
                                       std::to_string(earlier.line) + "); the later list used, as in the registry");
            earlier.files = scheme.files;
            return;
        }
        if (schemes_.size() == kMaxCursorSchemes) {
            inf_.warn(scheme.line, "more than " + std::to_string(kMaxCursorSchemes) + " schemes; the rest ignored");
        }
        if (schemes_.size() >= kMaxCursorSchemes) return;
        schemeIndex_.emplace(key, schemes_.size());
        schemes_.push_back(std::move(scheme));
    }

    CursorInf finish() {
        for (const GuessedValue& g : guessed_) {
            const std::size_t r = roleIndex(g.role);
            const std::string start = "value name " + quoted(g.valueName) + " is no cursor role; ";
            if (roleValues_[r]) {
                inf_.warn(g.value.line, start + "ignored, as " + cursorRoleName(g.role) + " is set by its own name");
            } else {
                roleValues_[r] = g.value;
                inf_.warn(g.value.line, start + "read as " + cursorRoleName(g.role) + ", which its words name");
            }
        }
        if (schemes_.empty() && sawRoleValues_) {
            CursorScheme current{currentName_, {}, 0};
            for (std::size_t r = 0; r < kCursorRoleCount; ++r) {
                if (!roleValues_[r]) continue;
                current.files[r] = roleValues_[r]->file;
                if (current.line == 0 || roleValues_[r]->line < current.line) current.line = roleValues_[r]->line;
            }
            schemes_.push_back(std::move(current));
        } else if (schemes_.size() == 1) {
            CursorScheme& only = schemes_.front();
            for (std::size_t r = 0; r < kCursorRoleCount; ++r) {
                if (!only.files[r].empty() || !roleValues_[r] || roleValues_[r]->file.empty()) continue;
                only.files[r] = roleValues_[r]->file;
                inf_.warn(roleValues_[r]->line, "scheme " + quoted(only.name) + " lists no file for " +
                                                    cursorRoleName(*cursorRoleAt(r)) + "; this value under Control Panel\\Cursors gives " +
                                                    quoted(only.files[r]));
            }
        }
        if (schemes_.empty()) inf_.warn(0, "no cursor scheme: nothing set under Control Panel\\Cursors");
        return {std::move(schemes_), inf_.warnings()};
    }

    InfFile& inf_;
    std::vector<CursorScheme> schemes_;
    std::map<std::string, std::size_t> schemeIndex_;  // by lower-case name
    std::array<std::optional<RoleValue>, kCursorRoleCount> roleValues_;
    std::vector<GuessedValue> guessed_;
    std::string currentName_;
    bool sawRoleValues_ = false;
};

}  // namespace

CursorInf readCursorInf(ByteView bytes) {
    InfFile inf = InfFile::read(bytes);
    return SchemeReader(inf).run();
}

}  // namespace formats
