#include "iconmod/FileExport.h"

#include <sys/stat.h>

#include "iconmod/IconGroups.h"
#include "platform/MbText.h"
#include "platform/MessageBox.h"

namespace iconmod {
namespace {

// The icon core's message boxes answered unseen while it lives: failures are counted instead.
class Unseen {
public:
    Unseen() : previous_(platform::setMessageBoxHandler([](const std::string&, const std::string&, unsigned) { return platform::mb::IdOk; })) {}
    ~Unseen() { platform::setMessageBoxHandler(previous_); }
    Unseen(const Unseen&) = delete;
    Unseen& operator=(const Unseen&) = delete;

private:
    platform::MessageBoxHandler previous_;
};

bool present(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

FileExport::FileExport(const std::string& path, ExtractFormat format) : format_(format) {
    Unseen unseen;
    auto file = platform::FileSource::open(path);
    if (!file) return;
    const std::string fileName(platform::baseName(path));
    source_ = std::make_unique<QIconMod>(fileName, formats::OpenedFile::fromSource(std::move(file)));
    const formats::FileKind kind = source_->File->kind();
    NameBook names;
    const std::string_view extension = extractExtension(format);
    if (kind == formats::FileKind::Pe32 || kind == formats::FileKind::Pe32Plus || kind == formats::FileKind::Ne) {
        const auto groups = source_->fnOpenAnyModule() ? fnGroupNames(*source_) : std::nullopt;
        for (const formats::ResourceName& group : groups.value_or(std::vector<formats::ResourceName>{}))
            entries_.push_back({group, names.take(fileName, formats::groupNameText(group), extension)});
    } else if (kind == formats::FileKind::Ico) {
        source_->Images = source_->readIco().set;
        if (source_->Images && source_->Images->Count() > 0) entries_.push_back({std::nullopt, names.take(fileName, std::nullopt, extension)});
    }
}

FileExport::~FileExport() = default;

std::vector<std::string> FileExport::existing(const std::string& folder) const {
    std::vector<std::string> found;
    for (const Entry& entry : entries_)
        if (present(platform::joinPath(folder, entry.name))) found.push_back(entry.name);
    return found;
}

FileExport::Outcome FileExport::write(std::size_t i, const std::string& folder, bool replace) {
    const Entry& entry = entries_.at(i);
    const std::string path = platform::joinPath(folder, entry.name);
    const bool exists = present(path);
    if (exists && !replace) return Outcome::Kept;
    Unseen unseen;
    if (entry.group) {
        // An empty name is a string name that could not be read: that group cannot be found.
        if (formats::groupNameText(*entry.group).empty() || !fnLoadGroup(*source_, *entry.group)) return Outcome::Failed;
    }
    const auto writer = groupWriter(*source_, format_, false);
    platform::AtomicFile file;
    // A file replaced is flushed before it takes the old one's place, as extract does.
    const bool written = writer && (*writer)(file, path) &&
                         file.commit(exists ? platform::AtomicFile::Durability::Flushed : platform::AtomicFile::Durability::Unflushed);
    return written ? Outcome::Written : Outcome::Failed;
}

}  // namespace iconmod
