// Animated cursors and icons: the RIFF file of form type "ACON" that .ani files hold, and
// RT_ANICURSOR and RT_ANIICON resources with it. Chunks (id, 32-bit length, data, a pad byte
// after an odd length): "anih" (frame and step counts, default rate, flags), optional
// "rate" (one delay per step) and "seq " (one frame index per step), and a "LIST" of type
// "fram" whose "icon" chunks each hold a whole .ico or .cur file. Other chunks are skipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "formats/ByteView.h"

namespace formats {

// One step of the animation: the frame it shows and for how long, in jiffies (1/60 s).
struct AniStep {
    std::uint32_t frame = 0;
    std::uint32_t jiffies = 0;
};

// Where one frame's file lies in the bytes (or the source) that were read.
struct AniFrame {
    std::size_t offset = 0;
    std::size_t size = 0;
};

struct AniFile {
    std::vector<AniFrame> frames;  // at most the header's frame count
    std::vector<AniStep> steps;    // every frame index names one of `frames`
};

// True when the bytes start like an animated cursor file ("RIFF", a length, "ACON").
bool isAni(ByteView head);

// Reads the animation. Without "seq " step i shows frame i (steps beyond the frames are
// dropped); without "rate" every step lasts the header's default rate. nullopt when the
// bytes are not an animation of icon or cursor frames: no "anih" of at least 36 bytes, a
// header without the flag that says its frames are icon files, no frame, no step, a "rate" or
// "seq " shorter than the step count, or a step that names a missing frame. The RIFF
// length is not trusted: chunks are read up to the smaller of it and the data's end, and
// a chunk that runs past that end ends the reading.
std::optional<AniFile> readAni(ByteView bytes);

// The same for the animation at [begin, begin + size) of a source, reading its chunk
// headers, "anih" and the steps' part of "rate" and "seq " alone; the frames' offsets are
// the source's.
std::optional<AniFile> readAni(ByteSource& source, std::uint64_t begin, std::uint64_t size);

// A delay in jiffies as milliseconds, rounded.
std::uint32_t jiffiesToMs(std::uint32_t jiffies);

}  // namespace formats
