// The input files of `extract` (paths and directory walks) and the names of its outputs.
#include <algorithm>
#include <utility>

#include <sys/stat.h>

#include "cli/CliExtract.h"
#include "platform/DirEnum.h"
#include "platform/MbText.h"

namespace cli::extract {
namespace {

// A file name may hold at most this many bytes on the usual Linux file systems.
constexpr std::size_t kMaxNameBytes = 255;
// Room kept for a collision suffix ("~" and a number).
constexpr std::size_t kSuffixRoom = 8;
// The part of a name that the input file's own name may take when a group name follows.
constexpr std::size_t kMaxFilePart = 160;

using DirKey = std::pair<dev_t, ino_t>;

std::optional<DirKey> directoryKey(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
    return DirKey(st.st_dev, st.st_ino);
}

class Walker {
public:
    Walker(const Options& options, const std::string& skipDirectory)
        : options_(options), mask_(options.mask), skip_(directoryKey(skipDirectory)) {}

    void addPath(const std::string& path);
    std::vector<Input> take() { return std::move(inputs_); }

private:
    void walk(const std::string& dir);
    void add(const std::string& path, std::string name, bool named, std::optional<Skip> skip) {
        inputs_.push_back(Input{path, std::move(name), named, skip});
    }

    const Options& options_;
    platform::WildcardMask mask_;
    std::optional<DirKey> skip_;
    std::set<DirKey> visited_;
    std::vector<Input> inputs_;
};

void Walker::addPath(const std::string& path) {
    const std::string name(platform::baseName(path));
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return add(path, name, true, Skip::Unreadable);
    if (S_ISDIR(st.st_mode)) return walk(path);
    add(path, name, true, S_ISREG(st.st_mode) ? std::nullopt : std::optional<Skip>(Skip::NotRegular));
}

// Lists the directory once, sorted by name; files first decide by the mask, directories
// are walked in their place when the walk is recursive.
void Walker::walk(const std::string& dir) {
    const auto key = directoryKey(dir);
    if (!key || !visited_.insert(*key).second) return;  // gone, or already walked (a link loop)

    std::vector<platform::DirEntry> entries;
    if (auto search = platform::DirEnum::start(platform::joinPath(dir, "*"))) {
        do {
            entries.push_back(search->entry());
        } while (search->next());
    } else {
        // Even an empty directory lists "." and "..": no entry at all means it cannot be read.
        return add(dir, std::string(platform::baseName(dir)), true, Skip::Unreadable);
    }
    std::sort(entries.begin(), entries.end(),
              [](const platform::DirEntry& a, const platform::DirEntry& b) { return a.name < b.name; });

    for (const platform::DirEntry& e : entries) {
        if (e.name == "." || e.name == "..") continue;
        const std::string path = platform::joinPath(dir, e.name);
        if (e.attributes & platform::attr::Directory) {
            if (options_.recursive && directoryKey(path) != skip_) walk(path);
            continue;
        }
        if (!mask_.matches(e.name)) continue;
        // FIFOs, sockets, devices and broken links carry no file bit: listed, never opened.
        const bool regular = (e.attributes & platform::attr::Normal) != 0;
        add(path, e.name, false, regular ? std::nullopt : std::optional<Skip>(Skip::NotRegular));
    }
}

}  // namespace

std::vector<Input> collectInputs(const Options& options, const std::string& skipDirectory) {
    Walker walker(options, skipDirectory);
    for (const std::string& path : options.paths) walker.addPath(path);
    return walker.take();
}

std::string safeComponent(std::string_view text, std::size_t maxBytes) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t len = platform::charLength(text, i);
        if (out.size() + len > maxBytes) break;
        const auto c = static_cast<unsigned char>(text[i]);
        if (len == 1 && (c == '/' || c < 0x20 || c == 0x7F)) out.push_back('_');
        else out.append(text.substr(i, len));
        i += len;
    }
    return out.empty() ? std::string("_") : out;
}

std::string NameBook::take(std::string_view fileName, std::optional<std::string_view> group,
                           std::string_view extension) {
    const std::size_t room = kMaxNameBytes - kSuffixRoom - extension.size();
    std::string stem;
    if (group) {
        stem = safeComponent(fileName, kMaxFilePart) + "-";
        stem += safeComponent(*group, room - stem.size());
    } else {
        stem = safeComponent(fileName, room);
    }
    if (stem.front() == '.') stem.front() = '_';

    std::string name = stem + std::string(extension);
    for (unsigned n = 2; used_.count(platform::asciiLower(name)) != 0; ++n)
        name = stem + "~" + std::to_string(n) + std::string(extension);
    used_.insert(platform::asciiLower(name));
    return name;
}

}  // namespace cli::extract
