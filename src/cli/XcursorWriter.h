// Xcursor files (the cursor format of X11 and Wayland desktops), written through
// libXcursor. Only vexil-cli links it; the thumbnailer does not.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/ArgbImage.h"

namespace cli {

struct XcursorFrame {
    formats::ArgbImage picture;   // premultiplied ARGB, as Xcursor keeps its pixels
    std::uint32_t nominalSize = 0;
    std::uint32_t hotspotX = 0;   // kept inside the picture
    std::uint32_t hotspotY = 0;
    std::uint32_t delayMs = 0;    // 0 for a still cursor
};

// Writes the frames, in order, as one Xcursor file; through a temporary file renamed over
// `path`. False when there is nothing to write, a picture is empty or larger than Xcursor
// allows (32767 pixels a side), or the file cannot be written.
bool writeXcursor(const std::string& path, const std::vector<XcursorFrame>& frames);

}  // namespace cli
