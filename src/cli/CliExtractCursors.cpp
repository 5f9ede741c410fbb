// extract --cursors: the cursor files written beside the icons.
#include "cli/CliExtract.h"
#include "cli/CliCursors.h"
#include "formats/AniFile.h"
#include "iconmod/Cursors.h"
#include "platform/AtomicFile.h"

namespace cli::extract {
namespace {

CursorOutput bytesOutput(std::optional<std::string> group, std::string extension, iconmod::SharedBytes bytes) {
    return {std::move(group), std::move(extension),
            [bytes](platform::AtomicFile& file, const std::string& path) { return file.create(path) && file.write(bytes.view()); }};
}

}  // namespace

std::size_t forEachModuleCursor(formats::ResourceModule& module, const std::function<void(const CursorOutput&)>& each,
                                bool* damaged) {
    std::size_t handed = 0;
    if (const auto names = module.names(formats::kRtGroupCursor)) {
        for (const formats::ResourceName& name : *names) {
            const auto set = name.isId() || !name.text.empty() ? iconmod::loadCursorGroup(module, name) : std::nullopt;
            if (!set) {
                *damaged = true;
                continue;
            }
            each({formats::groupNameText(name), ".cur", [&set](platform::AtomicFile& file, const std::string& path) { return iconmod::writeCur(file, path, *set); }});
            ++handed;
        }
    }
    for (std::uint16_t type : {formats::kRtAniCursor, formats::kRtAniIcon}) {
        const auto names = module.names(type);
        for (std::size_t i = 0; names && i < names->size(); ++i) {
            auto bytes = module.loadAt(type, i);
            // Only what reads as an animation is written; NE padding after it is kept, as stored.
            if (!bytes || !formats::readAni(*bytes)) {
                *damaged = true;
                continue;
            }
            each(bytesOutput(formats::groupNameText((*names)[i]), ".ani", iconmod::SharedBytes(std::move(*bytes))));
            ++handed;
        }
    }
    return handed;
}

std::optional<CursorOutput> cursorFileCopy(formats::OpenedFile& file) {
    if (file.kind() != formats::FileKind::Cur && file.kind() != formats::FileKind::Ani) return std::nullopt;
    auto bytes = readWhole(file);
    if (!bytes) return std::nullopt;
    return bytesOutput(std::nullopt, file.kind() == formats::FileKind::Cur ? ".cur" : ".ani", std::move(*bytes));
}

}  // namespace cli::extract
