#include "formats/ByteView.h"

#include <algorithm>
#include <cstring>


namespace formats {

std::optional<std::uint8_t> ByteView::u8(std::uint64_t offset) const {
    if (!fits(offset, 1)) return std::nullopt;
    return data_[offset];
}

std::optional<std::uint16_t> ByteView::u16(std::uint64_t offset) const {
    if (!fits(offset, 2)) return std::nullopt;
    return static_cast<std::uint16_t>(data_[offset] | (data_[offset + 1] << 8));
}

std::optional<std::uint32_t> ByteView::u32(std::uint64_t offset) const {
    if (!fits(offset, 4)) return std::nullopt;
    return static_cast<std::uint32_t>(data_[offset]) | (static_cast<std::uint32_t>(data_[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(data_[offset + 2]) << 16) | (static_cast<std::uint32_t>(data_[offset + 3]) << 24);
}

std::optional<std::int32_t> ByteView::s32(std::uint64_t offset) const {
    const auto v = u32(offset);
    if (!v) return std::nullopt;
    return static_cast<std::int32_t>(*v);
}

std::optional<std::uint32_t> ByteView::u32be(std::uint64_t offset) const {
    if (!fits(offset, 4)) return std::nullopt;
    return (static_cast<std::uint32_t>(data_[offset]) << 24) | (static_cast<std::uint32_t>(data_[offset + 1]) << 16) |
           (static_cast<std::uint32_t>(data_[offset + 2]) << 8) | static_cast<std::uint32_t>(data_[offset + 3]);
}

std::optional<ByteView> ByteView::sub(std::uint64_t offset, std::uint64_t length) const {
    if (!fits(offset, length)) return std::nullopt;
    return ByteView(data_ + offset, static_cast<std::size_t>(length));
}

std::optional<ByteView> ByteView::from(std::uint64_t offset) const {
    if (offset > size_) return std::nullopt;
    return ByteView(data_ + offset, static_cast<std::size_t>(size_ - offset));
}

bool ByteView::startsWith(std::string_view prefix) const {
    return prefix.size() <= size_ && std::memcmp(data_, prefix.data(), prefix.size()) == 0;
}

void putU16(Bytes& bytes, std::size_t at, std::uint16_t value) {
    bytes.at(at + 1) = static_cast<std::uint8_t>(value >> 8);
    bytes[at] = static_cast<std::uint8_t>(value);
}

void putU32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    bytes.at(at + 3) = static_cast<std::uint8_t>(value >> 24);
    for (std::size_t i = 0; i < 3; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void putU32be(Bytes& bytes, std::size_t at, std::uint32_t value) {
    bytes.at(at + 3) = static_cast<std::uint8_t>(value);
    for (std::size_t i = 0; i < 3; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

void appendU16(Bytes& bytes, std::uint16_t value) {
    bytes.push_back(static_cast<std::uint8_t>(value));
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

void appendU32(Bytes& bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void appendU32be(Bytes& bytes, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::optional<Bytes> MemorySource::read(std::uint64_t offset, std::uint64_t length) {
    if (!fits(offset, length)) return std::nullopt;
    return Bytes(bytes_.begin() + static_cast<std::ptrdiff_t>(offset),
                 bytes_.begin() + static_cast<std::ptrdiff_t>(offset + length));
}

std::optional<Bytes> readZeroPadded(ByteSource& source, std::uint64_t offset, std::uint64_t length) {
    const std::uint64_t size = source.size();
    if (offset > size) return std::nullopt;
    const std::uint64_t present = std::min(length, size - offset);
    auto bytes = source.read(offset, present);
    if (!bytes) return std::nullopt;
    bytes->resize(static_cast<std::size_t>(length), 0);
    return bytes;
}

std::optional<Bytes> ViewSource::read(std::uint64_t offset, std::uint64_t length) {
    const auto range = bytes_.sub(offset, length);
    if (!range) return std::nullopt;
    return range->toBytes();
}

}  // namespace formats
