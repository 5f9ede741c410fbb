// The input files of `extract` (paths and directory walks) and the names of its outputs.
#include <cerrno>
#include <utility>

#include <sys/stat.h>

#include "cli/CliExtract.h"
#include "platform/DirEnum.h"
#include "platform/MbText.h"
#include "platform/SystemError.h"

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

class Collector {
public:
    Collector(const Options& options, const std::string& skipDirectory, platform::DirWalk& walk)
        : options_(options), mask_(options.mask), skip_(directoryKey(skipDirectory)), walk_(walk) {}

    void addPath(const std::string& path);
    std::vector<Input> take() { return std::move(inputs_); }

private:
    void take(const platform::DirWalk::Entry& entry);
    Input& add(std::string path, std::string name, bool named, std::optional<Skip> skip,
               platform::DirWalk::DirId dir = platform::DirWalk::kNoDir) {
        return inputs_.emplace_back(Input{std::move(path), std::move(name), named, skip, {}, dir});
    }

    const Options& options_;
    platform::WildcardMask mask_;
    std::optional<DirKey> skip_;
    platform::DirWalk& walk_;
    std::vector<Input> inputs_;
};

void Collector::addPath(const std::string& path) {
    std::string name(platform::baseName(path));
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        add(path, std::move(name), true, Skip::Unreadable).reason = platform::systemErrorText(errno);
        return;
    }
    if (!S_ISDIR(st.st_mode)) {
        add(path, std::move(name), true, S_ISREG(st.st_mode) ? std::nullopt : std::optional<Skip>(Skip::NotRegular));
        return;
    }
    walk_.start(path);
    platform::DirWalk::Entry entry;
    while (walk_.next(&entry)) take(entry);
}

// Files decide by the mask; directories are walked in their place when the walk is
// recursive, except the output directory.
void Collector::take(const platform::DirWalk::Entry& e) {
    using Kind = platform::DirWalk::Kind;
    switch (e.kind) {
    case Kind::Directory:
        if (!options_.recursive || (skip_ && DirKey(e.device, e.inode) == *skip_)) walk_.prune();
        return;
    case Kind::DirectoryLink:
        if (options_.recursive) add({}, e.name, false, Skip::DirectoryLink, e.dir);
        return;
    case Kind::Unreadable: {
        // A directory: a root given is named by its path, one found below by the walk.
        const bool named = e.dir == platform::DirWalk::kNoDir;
        std::string name = named ? std::string(platform::baseName(e.name)) : e.name;
        add(named ? e.name : std::string(), std::move(name), named, Skip::Unreadable, e.dir).reason =
            platform::systemErrorText(e.error);
        return;
    }
    case Kind::File:
    case Kind::Special:
        // FIFOs, sockets, devices and dangling links: listed, never opened.
        if (mask_.matches(e.name))
            add({}, e.name, false, e.kind == Kind::File ? std::nullopt : std::optional<Skip>(Skip::NotRegular), e.dir);
        return;
    }
}

}  // namespace

std::vector<Input> collectInputs(const Options& options, const std::string& skipDirectory, platform::DirWalk& walk) {
    Collector collector(options, skipDirectory, walk);
    for (const std::string& path : options.paths) collector.addPath(path);
    return collector.take();
}

std::string inputPath(const Input& input, const platform::DirWalk& walk) {
    return input.dir == platform::DirWalk::kNoDir ? input.path : walk.path(input.dir, input.name);
}

std::unique_ptr<platform::FileSource> openInput(const Input& input, platform::DirWalk& walk,
                                                platform::FileSource::OpenError* error, int* systemError) {
    if (input.dir == platform::DirWalk::kNoDir) return platform::FileSource::open(input.path, error, systemError);
    const int directory = walk.directory(input.dir);
    if (directory < 0) {
        *systemError = errno;
        *error = platform::FileSource::OpenError::Unreadable;
        return nullptr;
    }
    return platform::FileSource::openAt(directory, input.name, error, systemError);
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
