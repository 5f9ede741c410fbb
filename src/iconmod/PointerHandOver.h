// What a sandboxed reader of a shortcut, .url, desktop.ini or autorun.inf found, handed to
// the resolver outside the sandbox: the stored icon location and the shortcut's targets, as
// stored (ANSI text stays undecoded), in at most kPointerHandOverSize bytes.
//
// The reader is the side that parsed hostile bytes, so the receiving side treats the
// hand-over as hostile too: every record is bounds-checked, and anything malformed is
// refused whole.
#pragma once

#include <cstddef>
#include <optional>

#include "formats/ByteView.h"
#include "iconmod/IconPointer.h"

namespace iconmod {

inline constexpr std::size_t kPointerHandOverSize = 4096;

// The hand-over of `contents` (a shortcut or INI file read without failure); nullopt when
// it would pass kPointerHandOverSize or the contents are a package or a failure.
std::optional<formats::Bytes> handOverPointer(const PointerContents& contents);

// True when `bytes` start as a hand-over does (a PNG never does).
bool isPointerHandOver(formats::ByteView bytes);

// The contents handed over; nullopt for anything but a well-formed hand-over.
std::optional<PointerContents> takePointerHandOver(formats::ByteView bytes);

}  // namespace iconmod
