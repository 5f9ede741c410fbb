#include "platform/DirEnum.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <new>

#include "platform/MbText.h"

namespace platform {
namespace {

// Characters are compared by a folded key. Valid multibyte characters become their code
// point (UTF-8) or their two bytes (CP932); a stray byte gets a key of its own, so it
// never equals a real character.
constexpr std::uint32_t kStrayByte = 0x80000000u;
constexpr std::uint32_t kDoubleByte = 0x40000000u;

// Upper-case form of the letters whose case is obvious: ASCII, Latin-1, the paired part of
// Latin Extended-A, Greek, Cyrillic and the full-width Latin letters.
std::uint32_t foldCase(std::uint32_t c) {
    if (c >= 'a' && c <= 'z') return c - 0x20;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return c & ~1u;
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 0x20;
    if (c == 0x3C2) return 0x3A3;
    if (c >= 0x430 && c <= 0x44F) return c - 0x20;
    if (c >= 0x450 && c <= 0x45F) return c - 0x50;
    if (c >= 0xFF41 && c <= 0xFF5A) return c - 0x20;
    return c;
}

std::uint32_t decodeChar(std::string_view s, std::size_t i, std::size_t len) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (len == 1) return b < 0x80 ? b : (kStrayByte | b);
    if (systemEncoding() == Encoding::Cp932)
        return kDoubleByte | (static_cast<std::uint32_t>(b) << 8) | static_cast<unsigned char>(s[i + 1]);
    std::uint32_t c = b & (len == 2 ? 0x1Fu : len == 3 ? 0x0Fu : 0x07u);
    for (std::size_t k = 1; k < len; ++k) c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3Fu);
    return c;
}

// The name split into folded character keys.
std::vector<std::uint32_t> nameKeys(std::string_view name) {
    std::vector<std::uint32_t> keys;
    keys.reserve(name.size());
    for (std::size_t i = 0; i < name.size();) {
        const std::size_t len = charLength(name, i);
        keys.push_back(foldCase(decodeChar(name, i, len)));
        i += len;
    }
    return keys;
}

}  // namespace

// The mask is rewritten as a DOS search does: trailing dots and blanks go; a dot before
// "*" or "?" also matches the end of the name; "?" matches one character or nothing at a
// dot or the end; a "*" left at the end by a removed dot does not cross the last dot.
WildcardMask::WildcardMask(std::string_view mask) {
    std::string_view m = mask;
    bool endedWithDot = false;
    if (m != "." && m != "..") {
        endedWithDot = !m.empty() && m.back() == '.';
        while (!m.empty() && (m.back() == '.' || m.back() == ' ')) m.remove_suffix(1);
    }
    for (std::size_t i = 0; i < m.size();) {
        const std::size_t len = charLength(m, i);
        const char c = m[i];
        if (len == 1 && c == '*') {
            tokens_.push_back({Kind::Star, 0});
        } else if (len == 1 && c == '?') {
            tokens_.push_back({Kind::DosQm, 0});
        } else if (len == 1 && c == '.' && i + 1 < m.size() && (m[i + 1] == '*' || m[i + 1] == '?')) {
            tokens_.push_back({Kind::DosDot, 0});
        } else {
            tokens_.push_back({Kind::Char, foldCase(decodeChar(m, i, len))});
        }
        i += len;
    }
    if (endedWithDot && !tokens_.empty() && tokens_.back().kind == Kind::Star) tokens_.back().kind = Kind::DosStar;

    const auto is = [this](std::size_t i, Kind k) { return tokens_[i].kind == k; };
    everything_ = (tokens_.size() == 1 && is(0, Kind::Star)) ||
                  (tokens_.size() == 3 && is(0, Kind::Star) && is(1, Kind::DosDot) && is(2, Kind::Star));
}

bool WildcardMask::matches(std::string_view name) const {
    if (everything_) return !name.empty();
    const std::vector<std::uint32_t> s = nameKeys(name);
    const std::size_t n = s.size();
    const std::size_t m = tokens_.size();
    std::size_t lastDot = n;
    for (std::size_t j = 0; j < n; ++j)
        if (s[j] == '.') lastDot = j;

    // reach[i][j]: tokens from i on can match the name from character j on. Filled from
    // the end, so every state is computed once (no backtracking blow-up on many stars).
    std::vector<char> reach((m + 1) * (n + 1), 0);
    const auto at = [&](std::size_t i, std::size_t j) -> char& { return reach[i * (n + 1) + j]; };
    at(m, n) = 1;
    for (std::size_t i = m; i-- > 0;) {
        for (std::size_t j = n + 1; j-- > 0;) {
            const bool end = j == n;
            bool ok = false;
            switch (tokens_[i].kind) {
                case Kind::Char: ok = !end && s[j] == tokens_[i].ch && at(i + 1, j + 1); break;
                case Kind::Star: ok = at(i + 1, j) || (!end && at(i, j + 1)); break;
                case Kind::DosStar: ok = at(i + 1, j) || (!end && j != lastDot && at(i, j + 1)); break;
                case Kind::DosQm: ok = (end || s[j] == '.') ? at(i + 1, j) : at(i + 1, j + 1); break;
                case Kind::DosDot: ok = end ? at(i + 1, j) : (s[j] == '.' && at(i + 1, j + 1)); break;
            }
            at(i, j) = ok ? 1 : 0;
        }
    }
    return at(0, 0) != 0;
}

bool matchMask(std::string_view name, std::string_view mask) { return WildcardMask(mask).matches(name); }

DirEnum::~DirEnum() { ::close(fd_); }

std::unique_ptr<DirEnum> DirEnum::start(const std::string& pattern, WriteAccess writeAccess) {
    const std::size_t slash = findLastChar(pattern, kPathSeparator);
    std::string dir;
    std::string mask;
    if (slash == std::string::npos) {
        dir = ".";
        mask = pattern;
    } else {
        dir = slash == 0 ? std::string("/") : pattern.substr(0, slash);
        mask = pattern.substr(slash + 1);
    }
    if (mask.empty()) return nullptr;

    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    std::unique_ptr<DirEnum> search(new DirEnum(fd, writeAccess));
    const WildcardMask compiled(mask);
    try {
        listDirectory(fd, NameOrder::IgnoringAsciiCase, [&compiled](std::string_view name) { return compiled.matches(name); },
                      &search->found_);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    if (!search->next()) return nullptr;
    return search;
}

bool DirEnum::next() {
    if (nextIndex_ >= found_.size()) return false;
    ListedName& f = found_[nextIndex_++];
    // Links count as what they point to; a broken or looping link is nothing.
    Target target = f.type == DT_DIR ? Target::Directory : f.type == DT_REG ? Target::File : Target::Other;
    if (f.type == DT_LNK || f.type == DT_UNKNOWN) target = targetOf(fd_, f.name);
    const bool isDir = target == Target::Directory;
    const bool isFile = target == Target::File;
    std::uint32_t a = 0;
    if (f.name.front() == '.') a |= attr::Hidden;
    if (isDir) a |= attr::Directory;
    if (isFile) a |= attr::Normal;
    if (writeAccess_ == WriteAccess::Looked && (isDir || isFile) && faccessat(fd_, f.name.c_str(), W_OK, AT_EACCESS) != 0) a |= attr::ReadOnly;

    entry_.name = std::move(f.name);
    entry_.attributes = a;
    return true;
}

}  // namespace platform
