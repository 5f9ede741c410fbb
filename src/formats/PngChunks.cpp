#include "formats/PngChunks.h"

#include <algorithm>

#include "formats/IconDecode.h"

namespace formats {
namespace {

constexpr std::uint64_t kChunkHead = 8;   // length and type
constexpr std::uint64_t kChunkFrame = 12; // length, type and CRC

bool isLetter(std::uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

PngChunks::PngChunks(ByteView png, Crc crc) : png_(png), crc_(crc), at_(kPngSignature.size()) {
    if (!isPng(png)) stop_ = Stop::Malformed;
}

std::optional<PngChunk> PngChunks::next() {
    if (stop_ != Stop::None) return std::nullopt;
    if (at_ == png_.size()) {
        stop_ = Stop::End;
        return std::nullopt;
    }
    const auto length = png_.u32be(at_);
    const auto type = png_.sub(at_ + 4, 4);
    if (!length || !type) {
        stop_ = Stop::Cut;
        return std::nullopt;
    }
    if (*length > kMaxPngChunkLength || !std::all_of(type->data(), type->data() + 4, isLetter)) {
        stop_ = Stop::Malformed;
        return std::nullopt;
    }
    PngChunk chunk;
    chunk.offset = at_;
    chunk.length = *length;
    std::copy(type->data(), type->data() + 4, chunk.type);
    const std::uint64_t dataAt = at_ + kChunkHead;
    if (!png_.fits(at_, kChunkFrame + *length)) {
        // Cut short: as much of its data as the file holds, and the walk ends with it.
        chunk.data = *png_.sub(dataAt, std::min<std::uint64_t>(*length, png_.size() - dataAt));
        chunk.end = png_.size();
        chunk.whole = false;
        at_ = png_.size();
        stop_ = Stop::Cut;
        return chunk;
    }
    chunk.data = *png_.sub(dataAt, *length);
    chunk.end = at_ + kChunkFrame + *length;
    if (crc_ == Crc::Checked && pngChunkCrc(*png_.sub(at_ + 4, 4ull + *length)) != *png_.u32be(dataAt + *length)) {
        stop_ = Stop::BadCrc;
        return std::nullopt;
    }
    at_ = chunk.end;
    return chunk;
}

}  // namespace formats
