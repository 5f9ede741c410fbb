// What the icon's details window shows, without a display: the images of one group with
// their labels, the zoom steps, and the cursors of a file (a module's cursor groups and
// animations, or a .cur or .ani file itself) with the frames each shows and the files each
// is saved as.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "formats/OpenedFile.h"
#include "iconmod/Cursors.h"
#include "iconmod/IconImage.h"
#include "iconmod/XcursorFile.h"

namespace details {

inline constexpr int kMinZoom = 1;
inline constexpr int kMaxZoom = 8;

// The zoom `steps` steps (negative: smaller) from `zoom`, held between kMinZoom and kMaxZoom.
int zoomStep(int zoom, int steps);

// An image's label: its size and depth as the icon save dialog writes them, its format
// (DIB or PNG) and the bytes it stores: "32x32, 16色, DIB, 744ﾊﾞｲﾄ".
std::string imageLabel(const iconmod::ImageHead& head, std::uint64_t bytes);

// The images of icon `index` of `file` in the order they are shown: by width, then height,
// the deeper first, then in the group's order. Empty when the group cannot be read.
std::vector<iconmod::IconImage> groupImages(formats::OpenedFile& file, int index);

// One cursor of a file.
struct CursorItem {
    std::string name;                             // the resource's name as the CLI writes it; empty for a file
    std::optional<formats::ResourceName> group;   // a module's RT_GROUP_CURSOR
    std::optional<iconmod::ImageEntries> still;   // a still cursor's images
    std::optional<iconmod::AnimationEntries> animated;
    bool inModule = false;                        // a module's resource, else the file's own cursor
};

// True when the item can be saved as a .cur file: a still cursor, or an .ani file's first
// frame (a module's animation would need the whole module read; it is saved as Xcursor).
inline bool savesAsCur(const CursorItem& item) { return item.still || !item.inModule; }

// The cursors of `file`: each cursor group of a module, then each RT_ANICURSOR and
// RT_ANIICON resource; a .cur or .ani file's own cursor. Damaged ones are left out; empty
// for other files.
std::vector<CursorItem> fileCursors(formats::OpenedFile& file);

// One picture an item shows, and for how long (0 for a still cursor).
struct CursorFrame {
    iconmod::ImageEntry image;
    std::uint32_t delayMs = 0;
};

// What an item shows at `size` pixels (iconmod::chooseCursorImage): one frame for a still
// cursor, one per step for an animation, at most `maxFrames`.
std::vector<CursorFrame> cursorFrames(const CursorItem& item, int size, std::size_t maxFrames);

// The item's label: "NAME, 32x32, ﾎｯﾄｽﾎﾟｯﾄ 3,4" or "NAME, ｱﾆﾒｰｼｮﾝ 8ｺﾏ".
std::string cursorLabel(const CursorItem& item);

// The item as a .cur file, as `vexil-cli save-cur` writes it (an animation: its first
// frame); false when it cannot be read or written.
bool saveCursorCur(formats::OpenedFile& file, const CursorItem& item, const std::string& path);

// The item as an Xcursor file, as `vexil-cli xcursor` writes it.
iconmod::XcursorResult saveCursorXcursor(formats::OpenedFile& file, const CursorItem& item, const std::string& path);

}  // namespace details
