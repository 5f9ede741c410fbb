// One cursor (a still set of images, or an animation) as an Xcursor file, as `vexil-cli
// xcursor` and the window's details write it: a still set gives one image a width, the
// deepest of that width; an animation gives, for each width any frame holds, every step in
// order, each showing its frame's image for that width (scaled when the frame lacks it) for
// the step's delay. Each image is read and decoded only as its chunk is written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/ByteView.h"
#include "iconmod/Cursors.h"
#include "iconmod/XcursorFile.h"

namespace iconmod {

// An Xcursor file's layout and the cursor image each of its chunks is made from.
struct CursorXcursorPlan {
    XcursorLayout layout;
    std::vector<const ImageEntry*> images;  // point into the entries the plan was made from
};

// The widths of the listed images, ascending, each once.
std::vector<int> cursorWidths(const std::vector<ImageEntries>& sets);

// How many entries an animation's Xcursor file holds (widths x steps), counted before any
// is made, so that a long animation can be refused at no cost.
std::uint64_t xcursorEntryCount(const AnimationEntries& ani);

CursorXcursorPlan stillXcursorPlan(const ImageEntries& set);
// Steps that show one frame for one delay share one chunk.
CursorXcursorPlan animatedXcursorPlan(const AnimationEntries& ani);

// Writes the plan to `path`, each chunk's image read from `source` (the file the entries
// were listed from) as it is written.
XcursorResult writeCursorXcursor(const std::string& path, const CursorXcursorPlan& plan, formats::ByteSource& source);

}  // namespace iconmod
