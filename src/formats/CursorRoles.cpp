#include "formats/CursorRoles.h"

#include <algorithm>

#include "formats/AsciiText.h"

namespace formats {

namespace {

using R = CursorRole;

constexpr const char* kRoleNames[kCursorRoleCount] = {
    "Arrow", "Help", "AppStarting", "Wait", "Crosshair", "IBeam", "NWPen", "No", "SizeNS",
    "SizeWE", "SizeNWSE", "SizeNESW", "SizeAll", "UpArrow", "Hand", "Pin", "Person"};

// Words (and adjacent words joined) that pack authors name their files with: the names
// Windows' mouse settings show ("Normal Select", "Working in Background", "Diagonal
// Resize 1", "Link Select", ...), Windows' own files (aero_unavail, aero_helpsel, ...),
// the role names themselves and the abbreviations of widespread templates, typos included.
struct RoleWord {
    std::string_view word;
    CursorRole role;
};
constexpr RoleWord kRoleWords[] = {
    {"arrow", R::Arrow}, {"normal", R::Arrow}, {"pointer", R::Arrow}, {"default", R::Arrow},
    {"help", R::Help}, {"helpsel", R::Help}, {"question", R::Help},
    {"working", R::AppStarting}, {"appstarting", R::AppStarting}, {"progress", R::AppStarting},
    {"busy", R::Wait}, {"wait", R::Wait}, {"hourglass", R::Wait},
    {"cross", R::Crosshair}, {"crosshair", R::Crosshair}, {"precision", R::Crosshair},
    {"text", R::IBeam}, {"ibeam", R::IBeam}, {"beam", R::IBeam},
    {"handwriting", R::NWPen}, {"handwritting", R::NWPen}, {"pen", R::NWPen}, {"nwpen", R::NWPen},
    {"unavailable", R::No}, {"unavailiable", R::No}, {"unavailible", R::No}, {"unavail", R::No},
    {"no", R::No}, {"notallowed", R::No}, {"forbidden", R::No},
    {"vert", R::SizeNS}, {"vertical", R::SizeNS}, {"ns", R::SizeNS}, {"sizens", R::SizeNS},
    {"horz", R::SizeWE}, {"horiz", R::SizeWE}, {"horizontal", R::SizeWE}, {"ew", R::SizeWE},
    {"we", R::SizeWE}, {"sizewe", R::SizeWE},
    {"dgn1", R::SizeNWSE}, {"diag1", R::SizeNWSE}, {"diagonal1", R::SizeNWSE}, {"diagonalresize1", R::SizeNWSE},
    {"nwse", R::SizeNWSE}, {"sizenwse", R::SizeNWSE},
    {"dgn2", R::SizeNESW}, {"diag2", R::SizeNESW}, {"diagonal2", R::SizeNESW}, {"diagonalresize2", R::SizeNESW},
    {"nesw", R::SizeNESW}, {"sizenesw", R::SizeNESW},
    {"move", R::SizeAll}, {"sizeall", R::SizeAll},
    {"alternate", R::UpArrow}, {"up", R::UpArrow}, {"uparrow", R::UpArrow},
    {"link", R::Hand}, {"hand", R::Hand},
    {"pin", R::Pin}, {"location", R::Pin},
    {"person", R::Person},
};
// The most adjacent words one entry above joins ("diagonal" "resize" "1").
constexpr std::size_t kMostJoinedWords = 3;

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isUpper(char c) { return c >= 'A' && c <= 'Z'; }
bool isLower(char c) { return c >= 'a' && c <= 'z'; }
char lower(char c) { return isUpper(c) ? static_cast<char>(c + 32) : c; }

std::optional<CursorRole> roleOfWord(std::string_view word) {
    for (const RoleWord& w : kRoleWords)
        if (w.word == word) return w.role;
    return std::nullopt;
}

// The name without its extension (a leading dot is no extension).
std::string_view stem(std::string_view fileName) {
    const std::size_t dot = fileName.rfind('.');
    return dot == std::string_view::npos || dot == 0 ? fileName : fileName.substr(0, dot);
}

// Lower-case words: letters split at camelCase bounds, digits kept with the letters before.
std::vector<std::string> wordsOf(std::string_view name) {
    std::vector<std::string> words;
    std::string word;
    bool hasDigits = false;
    auto finish = [&] {
        if (!word.empty()) words.push_back(word);
        word.clear();
        hasDigits = false;
    };
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (isDigit(c)) {
            word += c;
            hasDigits = true;
        } else if (isLetter(c)) {
            if (hasDigits) finish();  // "1arrow", "dgn1a": letters after digits start anew
            if (!word.empty() && isUpper(c)) {
                const char before = name[i - 1];
                const bool nextLower = i + 1 < name.size() && isLower(name[i + 1]);
                if (isLower(before) || (isUpper(before) && nextLower)) finish();  // "upArrow", "NWPen"
            }
            word += lower(c);
        } else {
            finish();
        }
    }
    finish();
    return words;
}

struct Claim {
    CursorRole role;
    std::size_t matched;  // characters of the claiming word
};

std::optional<Claim> claimOf(std::string_view fileName) {
    const std::vector<std::string> words = wordsOf(stem(fileName));
    std::optional<Claim> best;
    auto consider = [&](const std::string& joined) {
        if (best && joined.size() <= best->matched) return;  // the first of equal lengths stays
        if (const auto role = roleOfWord(joined)) best = Claim{*role, joined.size()};
    };
    for (std::size_t i = 0; i < words.size(); ++i) {
        std::string joined;
        for (std::size_t j = i; j < words.size() && j < i + kMostJoinedWords; ++j) {
            joined += words[j];
            consider(joined);
            // The same without the digits that end the last word ("arrow2", "UpArrow32").
            std::size_t cut = joined.size();
            while (cut > 0 && isDigit(joined[cut - 1])) --cut;
            if (cut < joined.size() && cut > joined.size() - words[j].size()) consider(joined.substr(0, cut));
        }
    }
    return best;
}

bool hasExtension(std::string_view name, std::string_view extension) {
    return name.size() > extension.size() &&
           compareIgnoreCase(name.substr(name.size() - extension.size()), extension) == 0;
}

std::size_t alnumCount(std::string_view s) {
    return static_cast<std::size_t>(std::count_if(s.begin(), s.end(), [](char c) { return isLetter(c) || isDigit(c); }));
}

// Case-blind order, bytewise among names equal without regard to case.
bool nameBefore(const std::string& a, const std::string& b) {
    const int c = compareIgnoreCase(a, b);
    return c != 0 ? c < 0 : a < b;
}

}  // namespace

std::optional<CursorRole> cursorRoleAt(std::size_t index) {
    if (index >= kCursorRoleCount) return std::nullopt;
    return static_cast<CursorRole>(index);
}

const char* cursorRoleName(CursorRole role) { return kRoleNames[roleIndex(role)]; }

std::optional<CursorRole> cursorRoleFromValueName(std::string_view name) {
    for (std::size_t i = 0; i < kCursorRoleCount; ++i)
        if (compareIgnoreCase(name, kRoleNames[i]) == 0) return static_cast<CursorRole>(i);
    return std::nullopt;
}

std::optional<CursorRole> cursorRoleOfFileName(std::string_view fileName) {
    const auto claim = claimOf(fileName);
    if (!claim) return std::nullopt;
    return claim->role;
}

CursorRoleGuess guessCursorRoles(const std::vector<std::string>& fileNames) {
    struct Candidate {
        std::string name;
        std::size_t others;  // letters and digits besides the claiming word
    };
    std::array<std::vector<Candidate>, kCursorRoleCount> candidates;
    CursorRoleGuess guess;
    for (const std::string& name : fileNames) {
        if (!hasExtension(name, ".cur") && !hasExtension(name, ".ani")) continue;
        const auto claim = claimOf(name);
        if (!claim) {
            guess.unmatched.push_back(name);
            continue;
        }
        const std::size_t letters = alnumCount(stem(name));
        candidates[roleIndex(claim->role)].push_back({name, letters > claim->matched ? letters - claim->matched : 0});
    }
    for (std::size_t r = 0; r < kCursorRoleCount; ++r) {
        std::vector<Candidate>& c = candidates[r];
        if (c.empty()) continue;
        std::sort(c.begin(), c.end(), [](const Candidate& a, const Candidate& b) {
            return a.others != b.others ? a.others < b.others : nameBefore(a.name, b.name);
        });
        guess.files[r] = c.front().name;
        if (c.size() == 1) continue;
        std::string line = std::string(kRoleNames[r]) + ": " + std::to_string(c.size()) + " files claim it (";
        for (std::size_t i = 0; i < c.size(); ++i) line += (i ? ", " : "") + c[i].name;
        line += "); " + c.front().name + " taken: fewest other letters and digits, then first by name";
        guess.warnings.push_back(line);
    }
    return guess;
}

std::optional<std::string> findFileName(const std::vector<std::string>& present, std::string_view wanted) {
    if (wanted.empty()) return std::nullopt;
    for (const std::string& name : present)
        if (name == wanted) return name;
    for (const std::string& name : present)
        if (compareIgnoreCase(name, wanted) == 0) return name;
    return std::nullopt;
}

std::optional<std::string> findInfFile(const std::vector<std::string>& present) {
    std::optional<std::string> best;
    for (const std::string& name : present) {
        if (!hasExtension(name, ".inf")) continue;
        const bool install = compareIgnoreCase(name, "install.inf") == 0;
        const bool bestInstall = best && compareIgnoreCase(*best, "install.inf") == 0;
        if (!best || (install && !bestInstall) || (install == bestInstall && nameBefore(name, *best))) best = name;
    }
    return best;
}

}  // namespace formats
