// The input files of `extract` (paths and directory walks).
#include <cerrno>
#include <utility>

#include <sys/stat.h>

#include "cli/CliExtract.h"
#include "platform/DirEnum.h"
#include "platform/MbText.h"
#include "platform/SystemError.h"

namespace cli::extract {
namespace {

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

}  // namespace cli::extract
