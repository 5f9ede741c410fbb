#include "iconmod/CursorPack.h"

#include <algorithm>
#include <cstdlib>
#include <cerrno>
#include <map>
#include <memory>
#include <new>

#include <sys/stat.h>

#include "formats/CursorFile.h"
#include "formats/CursorInf.h"
#include "platform/Archive.h"
#include "platform/DirEnum.h"
#include "platform/DirWalk.h"
#include "platform/FileSource.h"
#include "platform/MbText.h"
#include "platform/SystemError.h"

namespace iconmod {
namespace {

bool hasExtension(std::string_view path, std::string_view extension) {
    const std::string_view base = platform::baseName(path);
    return base.size() > extension.size() &&
           formats::compareIgnoreCase(base.substr(base.size() - extension.size()), extension) == 0;
}

bool isInfName(std::string_view path) { return hasExtension(path, ".inf"); }

bool isHeldName(std::string_view path) {
    return isInfName(path) || hasExtension(path, ".cur") || hasExtension(path, ".ani");
}

std::string folderOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash));
}

CursorThemeError packError(std::string text) { return {CursorThemeFailure::Pack, std::move(text)}; }

// Gathers a pack's files within the limits, saying what it passes over.
class Gatherer {
public:
    explicit Gatherer(CursorPack& pack) : pack_(pack) {}

    // False when the pack lists more files than it may.
    bool full() const { return pack_.files.size() >= kMaxPackFiles; }

    // A file listed: held when it is wanted and fits.
    void add(std::string path, platform::FileSource* source) {
        PackFile file;
        file.path = std::move(path);
        if (source && isHeldName(file.path)) {
            const std::uint64_t size = source->size();
            if (size > formats::kMaxCursorFileSize) {
                note(file.path, "larger than " + std::to_string(formats::kMaxCursorFileSize >> 20) + " MiB; passed over");
            } else if (held_ + size > kMaxPackBytes) {
                note(file.path, "past the " + std::to_string(kMaxPackBytes >> 20) + " MiB a pack's files may take together; passed over");
            } else if (auto bytes = source->read(0, size)) {
                held_ += size;
                file.bytes = SharedBytes(std::move(*bytes));
                file.held = true;
            } else {
                note(file.path, "cannot be read; passed over");
            }
        }
        pack_.files.push_back(std::move(file));
    }

    void addHeld(std::string path, formats::Bytes bytes) {
        PackFile file;
        file.path = std::move(path);
        held_ += bytes.size();
        file.bytes = SharedBytes(std::move(bytes));
        file.held = true;
        pack_.files.push_back(std::move(file));
    }

    void note(const std::string& path, const std::string& why) { pack_.notes.push_back(path + ": " + why); }

    std::uint64_t held() const { return held_; }

private:
    CursorPack& pack_;
    std::uint64_t held_ = 0;
};

std::string tooManyFiles(const std::string& path) {
    return path + ": more than " + std::to_string(kMaxPackFiles) + " files; not a cursor pack";
}

// The files of a folder and of the folders below it, kMaxPackDepth deep.
std::optional<CursorThemeError> gatherFolder(const std::string& root, Gatherer& gather) {
    using Kind = platform::DirWalk::Kind;
    platform::DirWalk walk;
    walk.start(root);
    const std::size_t prefix = platform::joinPath(root, "x").size() - 1;
    platform::DirWalk::Entry e;
    while (walk.next(&e)) {
        if (e.kind == Kind::Unreadable) {
            if (e.dir == platform::DirWalk::kNoDir) return packError(root + ": " + platform::systemErrorText(e.error));
            gather.note(walk.path(e.dir, e.name).substr(prefix), "cannot be read: " + platform::systemErrorText(e.error));
            continue;
        }
        const std::string path = walk.path(e.dir, e.name).substr(prefix);
        if (e.kind == Kind::Directory) {
            if (std::count(path.begin(), path.end(), '/') + 1 > kMaxPackDepth) walk.prune();
            continue;
        }
        if (e.kind != Kind::File) continue;
        if (gather.full()) return packError(tooManyFiles(root));
        std::unique_ptr<platform::FileSource> source;
        if (isHeldName(path)) {
            const int folder = walk.directory(e.dir);
            if (folder >= 0) source = platform::FileSource::openAt(folder, e.name);
            if (!source) {
                gather.note(path, "cannot be opened; passed over");
                continue;
            }
        }
        gather.add(path, source.get());
    }
    return std::nullopt;
}

// The files beside an INF file, in its folder alone.
std::optional<CursorThemeError> gatherBeside(const std::string& folder, Gatherer& gather) {
    auto entries = platform::DirEnum::start(platform::joinPath(folder, "*"));
    if (!entries) return packError(folder + ": the folder cannot be read");
    do {
        const platform::DirEntry& e = entries->entry();
        if ((e.attributes & platform::attr::Normal) == 0) continue;
        if (gather.full()) return packError(tooManyFiles(folder));
        std::unique_ptr<platform::FileSource> source;
        if (isHeldName(e.name)) {
            source = platform::FileSource::open(platform::joinPath(folder, e.name));
            if (!source) {
                gather.note(e.name, "cannot be opened; passed over");
                continue;
            }
        }
        gather.add(e.name, source.get());
    } while (entries->next());
    return std::nullopt;
}

std::optional<CursorThemeError> gatherArchive(const std::string& path, platform::FileSource& source, Gatherer& gather) {
    platform::ArchiveLimits limits;
    limits.maxEntries = kMaxPackFiles;
    limits.maxEntrySize = formats::kMaxCursorFileSize;
    limits.maxHeldSize = kMaxPackBytes;
    std::string error;
    auto contents = platform::readArchive(source, isHeldName, &error, limits);
    if (!contents) return packError(path + ": " + error);
    for (const std::string& note : contents->notes) gather.note(path, note);
    for (platform::ArchiveFile& f : contents->files) {
        if (f.held) gather.addHeld(std::move(f.path), std::move(f.bytes));
        else gather.add(std::move(f.path), nullptr);
    }
    return std::nullopt;
}

std::string packName(const std::string& path, bool dropExtension) {
    std::string_view trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.remove_suffix(1);
    std::string name(platform::baseName(trimmed));
    if (dropExtension) {
        const std::size_t dot = name.rfind('.');
        if (dot != std::string::npos && dot > 0) name.resize(dot);
    }
    return name;
}

}  // namespace

CursorThemeResult<CursorPack> openCursorPack(const std::string& path) {
    try {
        CursorPack pack;
        pack.source = path;
        Gatherer gather(pack);
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) return packError(path + ": " + platform::systemErrorText(errno));
        std::optional<CursorThemeError> failed;
        if (S_ISDIR(st.st_mode)) {
            pack.name = packName(path, false);
            if (char* real = ::realpath(path.c_str(), nullptr)) {
                pack.name = packName(real, false);
                std::free(real);
            }
            failed = gatherFolder(path, gather);
        } else {
            platform::FileSource::OpenError openError{};
            int systemError = 0;
            auto source = platform::FileSource::open(path, &openError, &systemError);
            if (!source) return packError(path + ": " + platform::FileSource::describe(openError, systemError));
            const auto head = source->read(0, std::min<std::uint64_t>(source->size(), 8));
            pack.name = packName(path, true);
            if (head && platform::isArchive(*head)) {
                failed = gatherArchive(path, *source, gather);
            } else {
                const std::string folder = path.find('/') == std::string::npos ? std::string(".") : path.substr(0, path.rfind('/') + 1);
                failed = gatherBeside(folder, gather);
                pack.namedInf = std::string(platform::baseName(path));
                // An INF is named for what it installs by the folder it came in.
                if (char* real = ::realpath(folder.c_str(), nullptr)) {
                    if (platform::baseName(real) != "") pack.name = std::string(platform::baseName(real));
                    std::free(real);
                }
                // The INF itself is what was named: held even when its name says otherwise.
                const auto it = std::find_if(pack.files.begin(), pack.files.end(),
                                             [&](const PackFile& f) { return f.path == pack.namedInf; });
                if (it == pack.files.end() || !it->held) {
                    if (source->size() > formats::kMaxInfFileSize)
                        return packError(path + ": larger than an INF file can be (" +
                                         std::to_string(formats::kMaxInfFileSize >> 10) + " KiB)");
                    auto bytes = source->read(0, source->size());
                    if (!bytes) return packError(path + ": cannot be read");
                    if (it != pack.files.end()) pack.files.erase(it);
                    gather.addHeld(pack.namedInf, std::move(*bytes));
                }
            }
        }
        if (failed) return *failed;
        std::sort(pack.files.begin(), pack.files.end(),
                  [](const PackFile& a, const PackFile& b) { return platform::nameOrderLess(a.path, b.path); });
        return pack;
    } catch (const std::bad_alloc&) {
        return CursorThemeError{CursorThemeFailure::Memory, path + ": out of memory"};
    }
}

std::vector<CursorPackChoice> cursorPackChoices(const CursorPack& pack) {
    std::vector<CursorPackChoice> choices;
    for (const PackFile& f : pack.files) {
        const bool isInf = pack.namedInf.empty() ? isInfName(f.path) : f.path == pack.namedInf;
        if (!f.held || !isInf) continue;
        const formats::CursorInf inf = formats::readCursorInf(f.bytes.view());
        for (std::size_t i = 0; i < inf.schemes.size(); ++i)
            choices.push_back({f.path, i, inf.schemes[i].name, folderOf(f.path), {}});
    }
    if (choices.empty()) {
        // No scheme anywhere: every folder of cursor files, by their names.
        for (const PackFile& f : pack.files) {
            if (isInfName(f.path) || !isHeldName(f.path)) continue;
            const std::string folder = folderOf(f.path);
            if (std::none_of(choices.begin(), choices.end(), [&](const CursorPackChoice& c) { return c.folder == folder; }))
                choices.push_back({{}, 0, {}, folder, folder.empty() ? std::string(".") : folder});
        }
        return choices;
    }
    std::map<std::string, int> uses;
    for (const CursorPackChoice& c : choices) ++uses[platform::asciiLower(c.schemeName)];
    for (CursorPackChoice& c : choices) {
        const bool unique = !c.schemeName.empty() && uses[platform::asciiLower(c.schemeName)] == 1;
        c.label = unique ? c.schemeName : c.inf + ": " + (c.schemeName.empty() ? "#" + std::to_string(c.scheme + 1) : c.schemeName);
    }
    return choices;
}

CursorThemeResult<CursorPackChoice> chooseCursorPackChoice(const CursorPack& pack, const std::string& asked) {
    const std::vector<CursorPackChoice> choices = cursorPackChoices(pack);
    if (choices.empty()) return packError(pack.source + ": holds no cursor scheme and no .cur or .ani file");
    std::vector<const CursorPackChoice*> found;
    if (asked.empty()) {
        if (choices.size() == 1) return choices.front();
    } else {
        auto same = [&](const std::string& s) { return formats::compareIgnoreCase(s, asked) == 0; };
        for (const CursorPackChoice& c : choices)
            if (same(c.label)) return c;
        for (const CursorPackChoice& c : choices)
            if (same(c.schemeName) || same(c.inf)) found.push_back(&c);
        if (found.size() == 1) return *found.front();
    }
    std::string text = pack.source + ": ";
    text += asked.empty() ? "holds " + std::to_string(choices.size()) + " schemes; choose one:"
                          : "\"" + asked + "\" names " + (found.empty() ? "no scheme" : "several schemes") + " of it; choose one:";
    for (std::size_t i = 0; i < choices.size(); ++i) text += (i ? ", \"" : " \"") + choices[i].label + "\"";
    return CursorThemeError{CursorThemeFailure::Choice, text};
}

}  // namespace iconmod
