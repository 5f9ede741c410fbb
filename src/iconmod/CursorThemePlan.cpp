// The plan of a cursor theme: which file draws each role, and the Xcursor file each role
// becomes (its sizes, steps and the image every chunk is drawn from).
#include <algorithm>
#include <cmath>
#include <map>
#include <new>
#include <set>
#include <tuple>

#include "formats/AniFile.h"
#include "formats/CursorInf.h"
#include "formats/IconDecode.h"
#include "iconmod/CursorTheme.h"
#include "iconmod/CursorThemeNames.h"
#include "iconmod/IconTheme.h"
#include "platform/MbText.h"

namespace iconmod {
namespace {

using formats::CursorRole;

std::string folderOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash));
}

std::string inFolder(const std::string& folder, const std::string& name) { return folder.empty() ? name : folder + "/" + name; }

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

// Text for a line or a desktop file: whole UTF-8 characters, every control character and
// every byte that starts no valid character made "?".
std::string printable(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        const std::size_t n = b < 0x80 ? 1 : b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
        bool whole = n > 0 && i + n <= text.size();
        for (std::size_t k = 1; whole && k < n; ++k) whole = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        if (!whole || b < 0x20 || b == 0x7F || (b == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0)) {
            out += '?';
            i += whole ? n : 1;
            continue;
        }
        out.append(text.substr(i, n));
        i += n;
    }
    return out;
}

// A role's file as read: the frames (one for a still cursor) and the steps that show them.
struct RoleImages {
    std::vector<CursorSet> frames;
    std::vector<formats::AniStep> steps;  // empty for a still cursor
    std::vector<std::string> notes;
};

std::optional<RoleImages> readRoleFile(const SharedBytes& bytes) {
    RoleImages out;
    if (formats::isAni(bytes.view())) {
        formats::ViewSource source(bytes.view());
        auto ani = listAnimation(source, 0, bytes.size(), formats::AniReading::Lenient);
        if (!ani) return std::nullopt;
        for (const ImageEntries& frame : ani->Frames) out.frames.push_back(cursorSetOf(frame, bytes));
        out.steps = std::move(ani->Steps);
        out.notes = std::move(ani->Notes);
    } else {
        auto set = readCursorSet(bytes);
        if (!set || set->Images.empty()) return std::nullopt;
        out.frames.push_back(std::move(*set));
    }
    // Every image the theme draws from decodes, so the writer cannot fail on one: those that
    // do not are left out, and a frame left without an image fails the file.
    std::size_t dropped = 0;
    for (CursorSet& frame : out.frames) {
        const auto bad = [](const CursorImage& c) {
            return c.Image.Width <= 0 || c.Image.Height <= 0 || !formats::decodeIconImage(c.Image.view());
        };
        const auto kept = std::remove_if(frame.Images.begin(), frame.Images.end(), bad);
        dropped += static_cast<std::size_t>(frame.Images.end() - kept);
        frame.Images.erase(kept, frame.Images.end());
        if (frame.Images.empty()) return std::nullopt;
    }
    if (dropped)
        out.notes.push_back(std::to_string(dropped) + (dropped == 1 ? " image" : " images") + " that cannot be decoded left out");
    return out;
}

// The image a nominal size is made from: one of that width (the deepest), else the next
// larger, else the largest.
struct Pick {
    const CursorImage* image = nullptr;
    SizeSource source = SizeSource::Own;
};

Pick pickImage(const CursorSet& set, int size) {
    Pick best;
    auto better = [&](const CursorImage& a, const CursorImage& b) {
        const int wa = a.Image.Width, wb = b.Image.Width;
        auto rank = [size](int w) { return w == size ? 0 : w > size ? 1 : 2; };
        if (rank(wa) != rank(wb)) return rank(wa) < rank(wb);
        if (wa != wb) return rank(wa) == 1 ? wa < wb : wa > wb;
        return a.Image.ColorBits > b.Image.ColorBits;
    };
    for (const CursorImage& c : set.Images)
        if (!best.image || better(c, *best.image)) best.image = &c;
    const int w = best.image->Image.Width;
    best.source = w == size ? SizeSource::Own : w > size ? SizeSource::Shrunk : SizeSource::Enlarged;
    return best;
}

std::vector<int> ownSizes(const CursorSet& set) {
    std::set<int> widths;
    for (const CursorImage& c : set.Images) widths.insert(c.Image.Width);
    return {widths.begin(), widths.end()};
}

int scaled(int value, int size, int from) {
    return static_cast<int>(std::lround(static_cast<double>(value) * size / from));
}

// The Xcursor image of `image` at nominal size `size`: scaled to that width.
XcursorImageInfo chunkOf(const CursorImage& image, int size, std::uint32_t delayMs) {
    const int w = image.Image.Width, h = image.Image.Height;
    XcursorImageInfo info;
    info.nominalSize = static_cast<std::uint32_t>(size);
    info.width = static_cast<std::uint32_t>(size);
    info.height = static_cast<std::uint32_t>(std::max(1, w == size ? h : scaled(h, size, w)));
    info.hotspotX = static_cast<std::uint32_t>(std::clamp(scaled(image.HotspotX, size, w), 0, size - 1));
    info.hotspotY = static_cast<std::uint32_t>(std::clamp(scaled(image.HotspotY, size, w), 0, static_cast<int>(info.height) - 1));
    info.delayMs = delayMs;
    return info;
}

// The role's Xcursor file: for each size, each step (the one image of a still cursor); a
// chunk for each size, frame and delay, shared by the steps that show it.
std::optional<CursorThemeError> layOut(CursorThemeRole& role, const RoleImages& images, const std::vector<int>& extra,
                                       std::vector<std::string>& warnings) {
    const std::vector<int> own = ownSizes(images.frames.front());
    std::set<int> all(own.begin(), own.end());
    all.insert(extra.begin(), extra.end());
    const std::size_t steps = images.steps.empty() ? 1 : images.steps.size();
    const std::uint64_t entries = std::uint64_t{all.size()} * steps;
    if (entries > kMaxXcursorEntries)
        return CursorThemeError{CursorThemeFailure::TooLarge,
                                role.file + ": " + std::to_string(all.size()) + " sizes of " + std::to_string(steps) +
                                    " steps would make " + std::to_string(entries) + " images, more than the " +
                                    std::to_string(kMaxXcursorEntries) + " a loader takes"};
    for (const formats::AniStep& s : images.steps) role.delaysMs.push_back(formats::jiffiesToMs(s.jiffies));

    // Frames that lack a size of the first frame are scaled to it; said once a size.
    for (int size : own) {
        std::size_t lacking = 0;
        for (std::size_t f = 1; f < images.frames.size(); ++f)
            if (pickImage(images.frames[f], size).source != SizeSource::Own) ++lacking;
        if (lacking)
            warnings.push_back(role.file + ": " + std::to_string(lacking) + " of " + std::to_string(images.frames.size()) +
                               " frames have no image " + std::to_string(size) + " pixels wide like the first; scaled to it");
    }

    std::map<std::tuple<int, std::uint32_t, std::uint32_t>, std::size_t> chunkFor;  // (size, frame, delay)
    role.layout.entries.reserve(static_cast<std::size_t>(entries));
    for (int size : all) {
        for (std::size_t k = 0; k < steps; ++k) {
            const std::uint32_t frame = images.steps.empty() ? 0 : images.steps[k].frame;
            const std::uint32_t delay = images.steps.empty() ? 0 : role.delaysMs[k];
            auto it = chunkFor.find({size, frame, delay});
            if (it == chunkFor.end()) {
                const Pick pick = pickImage(images.frames[frame], size);
                it = chunkFor.emplace(std::tuple{size, frame, delay}, role.layout.chunks.size()).first;
                role.layout.chunks.push_back(chunkOf(*pick.image, size, delay));
                role.chunkImages.push_back(*pick.image);
            }
            role.layout.entries.push_back(it->second);
        }
        // What the size shows at its first step.
        const std::size_t chunk = role.layout.entries[role.layout.entries.size() - steps];
        const XcursorImageInfo& c = role.layout.chunks[chunk];
        const int from = role.chunkImages[chunk].Image.Width;
        role.sizes.push_back({size, static_cast<int>(c.width), static_cast<int>(c.height), static_cast<int>(c.hotspotX),
                              static_cast<int>(c.hotspotY),
                              from == size ? SizeSource::Own : from > size ? SizeSource::Shrunk : SizeSource::Enlarged, from});
    }
    if (role.layout.fileSize() > kMaxXcursorFileSize)
        return CursorThemeError{CursorThemeFailure::TooLarge, role.file + ": its Xcursor file would take " +
                                                                  std::to_string(role.layout.fileSize()) + " bytes, more than " +
                                                                  std::to_string(kMaxXcursorFileSize >> 20) + " MiB"};
    return std::nullopt;
}

// The files of the chosen folder of the pack, by their names there.
std::vector<std::string> namesIn(const CursorPack& pack, const std::string& folder) {
    std::vector<std::string> names;
    for (const PackFile& f : pack.files)
        if (folderOf(f.path) == folder) names.emplace_back(platform::baseName(f.path));
    return names;
}

const PackFile* fileAt(const CursorPack& pack, const std::string& path) {
    for (const PackFile& f : pack.files)
        if (f.path == path) return &f;
    return nullptr;
}

// What becomes of a role a file cannot draw.
std::string leftTo(CursorRole role) {
    return role == CursorRole::Pin || role == CursorRole::Person ? std::string(formats::cursorRoleName(role)) + " left out"
                                                                 : std::string(formats::cursorRoleName(role)) + " left to " +
                                                                       std::string(kInheritedCursorTheme);
}

}  // namespace

std::optional<std::vector<int>> parseCursorSizes(std::string_view list) {
    std::set<int> sizes;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        const std::string_view item = list.substr(start, comma - start);
        if (item.empty() || item.size() > 3 || !std::all_of(item.begin(), item.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        const int size = std::stoi(std::string(item));
        if (size < 1 || size > kMaxCursorThemeSize) return std::nullopt;
        sizes.insert(size);
        if (comma == list.size()) break;
        start = comma + 1;
    }
    return std::vector<int>(sizes.begin(), sizes.end());
}

CursorThemeResult<CursorThemePlan> planCursorTheme(const CursorPack& pack, const CursorThemeOptions& options) {
    try {
        for (int size : options.sizes)
            if (size < 1 || size > kMaxCursorThemeSize)
                return CursorThemeError{CursorThemeFailure::Sizes, std::to_string(size) + ": not a cursor size (1 to " +
                                                                       std::to_string(kMaxCursorThemeSize) + ")"};
        if (!options.name.empty() && (!isIconThemeName(options.name) || options.name == "." || options.name == ".."))
            return CursorThemeError{CursorThemeFailure::Name,
                                    printable(options.name) + ": not a name for a cursor theme (ASCII letters, digits, . _ -)"};
        auto chosen = chooseCursorPackChoice(pack, options.scheme);
        if (auto* error = std::get_if<CursorThemeError>(&chosen)) return *error;

        CursorThemePlan plan;
        plan.choice = std::get<CursorPackChoice>(chosen);
        const CursorPackChoice& choice = plan.choice;
        for (const std::string& note : pack.notes) plan.warnings.push_back(printable(note));

        // Each role's file by the INF's scheme, or by the names of the folder's files.
        formats::RoleFiles wanted;
        const std::vector<std::string> names = namesIn(pack, choice.folder);
        std::array<RoleMatch, formats::kCursorRoleCount> matches{};
        std::array<std::string, formats::kCursorRoleCount> files;
        std::array<std::string, formats::kCursorRoleCount> why;  // why a role has no file
        if (!choice.inf.empty()) {
            const PackFile* infFile = fileAt(pack, choice.inf);
            const formats::CursorInf inf = formats::readCursorInf(infFile ? infFile->bytes.view() : formats::ByteView());
            if (choice.scheme >= inf.schemes.size())
                return CursorThemeError{CursorThemeFailure::Choice, printable(pack.source + ": " + choice.inf + " has no scheme " + quoted(choice.label))};
            for (const formats::InfWarning& w : inf.warnings)
                plan.warnings.push_back(printable(choice.inf + (w.line ? ":" + std::to_string(w.line) : "") + ": " + w.text));
            wanted = inf.schemes[choice.scheme].files;
            for (std::size_t r = 0; r < formats::kCursorRoleCount; ++r) {
                if (wanted[r].empty()) continue;
                const auto found = formats::findFileName(names, wanted[r]);
                if (!found) {
                    why[r] = formats::cursorRoleName(*formats::cursorRoleAt(r)) + std::string(" names ") + quoted(wanted[r]) +
                             ", which the pack lacks";
                    plan.warnings.push_back(printable(choice.inf + ": " + why[r] + "; " + leftTo(*formats::cursorRoleAt(r))));
                    continue;
                }
                files[r] = inFolder(choice.folder, *found);
                matches[r] = *found == wanted[r] ? RoleMatch::Listed : RoleMatch::ListedOtherCase;
            }
        } else {
            const formats::CursorRoleGuess guess = formats::guessCursorRoles(names);
            for (const std::string& w : guess.warnings) plan.warnings.push_back(printable(inFolder(choice.folder, "") + w));
            for (const std::string& u : guess.unmatched)
                plan.warnings.push_back(printable(inFolder(choice.folder, u) + ": its name claims no role; not used"));
            for (std::size_t r = 0; r < formats::kCursorRoleCount; ++r) {
                if (guess.files[r].empty()) continue;
                wanted[r] = guess.files[r];
                files[r] = inFolder(choice.folder, guess.files[r]);
                matches[r] = RoleMatch::FileName;
            }
        }

        // Each file read and laid out as an Xcursor file.
        for (std::size_t r = 0; r < formats::kCursorRoleCount; ++r) {
            if (files[r].empty()) continue;
            const CursorRole role = *formats::cursorRoleAt(r);
            const PackFile* file = fileAt(pack, files[r]);
            std::optional<RoleImages> images;
            if (file && file->held) images = readRoleFile(file->bytes);
            if (!images) {
                why[r] = files[r] + (file && file->held ? " is no .cur or .ani file that can be read" : " was not read");
                plan.warnings.push_back(printable(why[r] + "; " + leftTo(role)));
                continue;
            }
            for (const std::string& note : images->notes) plan.warnings.push_back(printable(files[r] + ": " + note));
            CursorThemeRole out;
            out.role = role;
            out.file = files[r];
            out.match = matches[r];
            if (matches[r] == RoleMatch::ListedOtherCase) out.listedAs = wanted[r];
            out.animated = !images->steps.empty();
            out.names = xcursorNames(role);
            if (auto error = layOut(out, *images, options.sizes, plan.warnings)) return *error;
            if (role == CursorRole::Pin || role == CursorRole::Person)
                plan.warnings.push_back(std::string(formats::cursorRoleName(role)) + ": no toolkit asks for it by a name of its own; written as " +
                                        quoted(out.names.front()));
            plan.roles.push_back(std::move(out));
        }
        if (plan.roles.empty() || plan.roles.front().role != CursorRole::Arrow) {
            const std::size_t arrow = formats::roleIndex(CursorRole::Arrow);
            std::string text = pack.source + ": " + (choice.inf.empty() ? "no file of " + quoted(choice.label) + " is the Arrow cursor"
                                                                       : "the scheme " + quoted(choice.label) + " gives no Arrow cursor");
            if (!why[arrow].empty()) text += " (" + why[arrow] + ")";
            return CursorThemeError{CursorThemeFailure::NoArrow, printable(text + "; no theme made")};
        }

        const std::string fallback = choice.inf.empty() && !choice.folder.empty() ? std::string(platform::baseName(choice.folder)) : pack.name;
        plan.name = options.name.empty() ? cursorThemeName(choice.schemeName, fallback) : options.name;
        std::string_view source = pack.source;
        while (source.size() > 1 && source.back() == '/') source.remove_suffix(1);
        const std::string from(platform::baseName(source));
        plan.comment = printable(choice.schemeName.empty() ? "Windows cursors from " + from
                                                           : "Windows cursor scheme " + quoted(choice.schemeName) + " from " + from);
        return plan;
    } catch (const std::bad_alloc&) {
        return CursorThemeError{CursorThemeFailure::Memory, pack.source + ": out of memory"};
    }
}

}  // namespace iconmod
