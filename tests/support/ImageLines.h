// What a listing says of each image, and what loaded images hold, as one line per image
// (size, depth, kind, length, hotspot), so that a test can compare a listing read from
// headers with a load of the same images.
#pragma once

#include <string>
#include <vector>

#include "iconmod/Cursors.h"
#include "iconmod/IconImage.h"

namespace fixtures {

inline std::string imageLine(const iconmod::ImageHead& image, std::size_t size, int x = 0, int y = 0) {
    return std::to_string(image.Width) + "x" + std::to_string(image.Height) + " " + std::to_string(image.ColorBits) +
           (image.IsPng ? " png " : " dib ") + std::to_string(size) + " @" + std::to_string(x) + "," + std::to_string(y);
}

inline std::vector<std::string> imageLines(const iconmod::ImageEntries& images) {
    std::vector<std::string> lines;
    for (const iconmod::ImageEntry& e : images) lines.push_back(imageLine(e, e.Size, e.HotspotX, e.HotspotY));
    return lines;
}

inline std::vector<std::string> imageLines(const iconmod::IconImageSet& set) {
    std::vector<std::string> lines;
    for (const iconmod::IconImage& image : set.Images) lines.push_back(imageLine(image, image.Data.size()));
    return lines;
}

inline std::vector<std::string> imageLines(const iconmod::CursorSet& set) {
    std::vector<std::string> lines;
    for (const iconmod::CursorImage& c : set.Images) lines.push_back(imageLine(c.Image, c.Image.Data.size(), c.HotspotX, c.HotspotY));
    return lines;
}

}  // namespace fixtures
