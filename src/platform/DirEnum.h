// Directory enumeration with wildcard patterns, in the manner of a "find first / find
// next" search: a pattern is a directory, a separator and a mask ("*", "?" and plain
// characters, letters matched regardless of case, with the DOS rules for dots).
// Each entry carries its raw name bytes and Windows-style attribute bits taken from the
// directory entry (and from stat only when the entry type alone does not tell).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/DirListing.h"

namespace platform {

namespace attr {
constexpr std::uint32_t ReadOnly = 0x1;    // not writable by this process (when asked for)
constexpr std::uint32_t Hidden = 0x2;      // name starts with "."
constexpr std::uint32_t System = 0x4;      // never set on Linux
constexpr std::uint32_t Directory = 0x10;  // a directory, or a symbolic link to one
constexpr std::uint32_t Archive = 0x20;    // never set on Linux
constexpr std::uint32_t Normal = 0x80;     // a regular file, or a symbolic link to one
constexpr std::uint32_t Compressed = 0x800;
}  // namespace attr

struct DirEntry {
    std::string name;  // raw bytes, as the directory holds them
    std::uint32_t attributes = 0;
};

// A compiled mask. Matching walks whole characters of the system encoding; a byte that
// does not start a valid character counts as one character.
class WildcardMask {
public:
    explicit WildcardMask(std::string_view mask);
    bool matches(std::string_view name) const;
    bool matchesEverything() const { return everything_; }

private:
    enum class Kind : std::uint8_t { Char, Star, DosStar, DosQm, DosDot };
    struct Token {
        Kind kind;
        std::uint32_t ch;  // folded character for Kind::Char
    };
    std::vector<Token> tokens_;
    bool everything_ = false;
};

// Shorthand for one-off matches (tests, single names).
bool matchMask(std::string_view name, std::string_view mask);

// One search over one directory. start() answers nullptr when the directory cannot be
// read (missing, not a directory, no permission) or when no entry matches; otherwise
// entry() is the first matching entry and next() moves on, answering false at the end.
// Entries come in nameOrderLess order: start() reads the matching names and sorts them
// (platform::listDirectory, memory in proportion to the directory); each entry's attributes
// are read when next() reaches it. The directory is closed when the object goes.
class DirEnum {
public:
    // Whether entries carry attr::ReadOnly: finding out costs a system call for each
    // entry, which a listing of thousands of files feels, so only a caller that asks pays.
    enum class WriteAccess { NotLooked, Looked };
    static std::unique_ptr<DirEnum> start(const std::string& pattern, WriteAccess writeAccess = WriteAccess::NotLooked);
    ~DirEnum();
    DirEnum(const DirEnum&) = delete;
    DirEnum& operator=(const DirEnum&) = delete;

    const DirEntry& entry() const { return entry_; }
    bool next();
    // The directory searched, open for the search's lifetime: entries opened relative to it
    // are the listed ones even if the directory is renamed meanwhile.
    int directory() const { return fd_; }

private:
    DirEnum(int fd, WriteAccess writeAccess) : fd_(fd), writeAccess_(writeAccess) {}

    int fd_;  // the directory, for the attributes of its entries
    WriteAccess writeAccess_;
    std::vector<ListedName> found_;
    std::size_t nextIndex_ = 0;
    DirEntry entry_;
};

}  // namespace platform
