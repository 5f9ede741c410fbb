// The chunks of a PNG file, walked by one reader for everything that reads them: the IHDR
// reader, the check that a PNG is whole, the direct decoder of RGBA images and the feeding
// of libpng. A chunk is a 4-byte big-endian length, a 4-byte type of ASCII letters, that
// many bytes of data and a CRC-32 over type and data.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "formats/ByteView.h"

namespace formats {

// The longest chunk data a PNG file may hold.
inline constexpr std::uint32_t kMaxPngChunkLength = 0x7FFFFFFFu;

struct PngChunk {
    std::uint64_t offset = 0;  // of its length field, from the start of the file
    std::uint32_t length = 0;  // as its length field states it
    char type[4] = {};
    ByteView data;             // its data: shorter than `length` when the file ends inside it
    std::uint64_t end = 0;     // just after its CRC, or the end of the file when it is cut short
    bool whole = true;         // false: the file ends inside its data or its CRC

    bool is(std::string_view t) const { return t == std::string_view(type, 4); }
    // Critical chunks (IHDR, PLTE, IDAT, IEND) have an upper-case first letter.
    bool critical() const { return (type[0] & 0x20) == 0; }
};

// Walks the chunks of a PNG file from the first after the signature. next() gives one chunk
// after the other and stops (nullopt) at the end of the data or at the first chunk that is
// not one: a length above kMaxPngChunkLength, a type that is not four ASCII letters, or, when
// CRCs are checked, a CRC that does not match. A chunk the data ends inside is given, with
// `whole` false and as much of its data as there is, and is the last. Nothing is read
// outside the data and nothing is allocated.
class PngChunks {
public:
    enum class Crc { Ignored, Checked };
    enum class Stop {
        None,       // not stopped yet
        End,        // the data ends right after a chunk
        Cut,        // the data ends inside a chunk
        Malformed,  // no PNG signature, a length out of range, or a type that is no type
        BadCrc,     // a chunk whose CRC does not match (CRCs checked)
    };

    explicit PngChunks(ByteView png, Crc crc = Crc::Ignored);

    std::optional<PngChunk> next();
    // How the walk ended, once that is known: after next() answered nullopt, or gave the
    // chunk the data ends inside. None before.
    Stop stopped() const { return stop_; }

private:
    ByteView png_;
    Crc crc_;
    std::uint64_t at_;
    Stop stop_ = Stop::None;
};

}  // namespace formats
