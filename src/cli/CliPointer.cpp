#include "cli/CliPointer.h"

#include <algorithm>

#include "cli/CliFailure.h"
#include "cli/LineText.h"
#include "platform/IconExtract.h"

namespace cli {
namespace {

// Enough of a file's start for the signatures pointerKindOf looks at.
constexpr std::uint64_t kHeadSize = 20;

GroupInput pointed(iconmod::PointedGroup group) {
    GroupInput in;
    in.path = std::move(group.path);
    in.file = std::move(group.file);
    in.group = group.name ? groupLineText(*group.name) : std::string("-");
    in.index = group.index;
    return in;
}

}  // namespace

InputFile openInput(const std::string& path, const platform::WineResolveOptions& options) {
    InputFile in;
    in.path = path;
    auto source = platform::FileSource::open(path, &in.error, &in.systemError);
    if (!source) return in;
    const auto head = source->read(0, std::min(source->size(), kHeadSize));
    const std::size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string::npos ? std::string_view(path) : std::string_view(path).substr(slash + 1);
    const iconmod::PointerKind kind = head ? iconmod::pointerKindOf(*head, name) : iconmod::PointerKind::None;
    if (kind == iconmod::PointerKind::None) {
        in.file = platform::openedFrom(std::move(source), in.error, in.systemError).file;
        return in;
    }
    in.pointer = std::make_unique<iconmod::PointerSource>(std::move(source), kind, path, options);
    return in;
}

std::optional<GroupInput> openGroupInput(const std::string& path, const std::string& group, int* status) {
    InputFile input = openInput(path);
    if (!input.pointer) {
        GroupInput in;
        in.path = path;
        in.file = std::move(input.file);
        in.group = group;
        return in;
    }
    std::string why;
    auto found = input.pointer->open(group, &why);
    if (!found) {
        *status = fail(why);
        return std::nullopt;
    }
    return pointed(std::move(*found));
}

std::optional<GroupInput> openPointedAt(InputFile& input, std::size_t position, int* status) {
    *status = 0;
    if (!input.pointer) return std::nullopt;
    std::string why;
    auto found = input.pointer->openAt(position, &why);
    if (!found) {
        *status = fail(why);
        return std::nullopt;
    }
    return pointed(std::move(*found));
}

}  // namespace cli
