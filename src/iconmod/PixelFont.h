// A small bitmap font of our own for labels drawn without a toolkit (the role names of a
// cursor theme's preview strip): the printable ASCII characters, each 5 pixels wide and 9
// high (7 above the baseline, 2 below for descenders), one blank column between them.
#pragma once

#include <cstdint>
#include <string_view>

#include "formats/ArgbImage.h"

namespace iconmod {

inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 9;
inline constexpr int kGlyphAdvance = 6;
// The largest scale drawn; larger ones draw at this.
inline constexpr int kMaxLabelScale = 16;

// Width and height in pixels of the label at `scale` (each pixel of a glyph drawn as a
// scale x scale square): every UTF-8 character is one glyph; no trailing blank column.
int labelWidth(std::string_view text, int scale = 1);
inline int labelHeight(int scale = 1) { return kGlyphHeight * (scale < 1 ? 1 : scale > kMaxLabelScale ? kMaxLabelScale : scale); }

// Draws the label with the top left of its first glyph at (x, y) in `colour`
// (premultiplied 0xAARRGGBB, laid over what is there), clipped to the image. Characters
// outside printable ASCII (controls, every non-ASCII character) draw as an empty box.
void drawLabel(formats::ArgbImage& image, int x, int y, std::string_view text, std::uint32_t colour, int scale = 1);

}  // namespace iconmod
