// Bounds-checked reading of file bytes. Every parser reads through these two types:
// a ByteView over bytes already in memory, and a ByteSource that hands out checked
// ranges of a file (or a buffer) without ever trusting a size taken from the file.
// The file-backed source lives with the system services (platform/FileSource.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace formats {

using Bytes = std::vector<std::uint8_t>;

// A non-owning view of bytes. Every accessor checks its range in 64-bit arithmetic and
// answers nullopt when the range does not lie inside the view; nothing is ever clamped.
// Multi-byte values are little-endian unless the name says otherwise.
class ByteView {
public:
    ByteView() = default;
    ByteView(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    ByteView(const Bytes& bytes) : data_(bytes.data()), size_(bytes.size()) {}  // NOLINT: views convert freely

    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    // True when [offset, offset + length) lies inside the view.
    bool fits(std::uint64_t offset, std::uint64_t length) const {
        return offset <= size_ && length <= size_ - offset;
    }

    std::optional<std::uint8_t> u8(std::uint64_t offset) const;
    std::optional<std::uint16_t> u16(std::uint64_t offset) const;
    std::optional<std::uint32_t> u32(std::uint64_t offset) const;
    std::optional<std::int32_t> s32(std::uint64_t offset) const;
    std::optional<std::uint32_t> u32be(std::uint64_t offset) const;

    // The sub-range [offset, offset + length), or nullopt when it does not fit.
    std::optional<ByteView> sub(std::uint64_t offset, std::uint64_t length) const;
    // Everything from offset to the end, or nullopt when offset lies beyond the end.
    std::optional<ByteView> from(std::uint64_t offset) const;

    bool startsWith(std::string_view prefix) const;
    Bytes toBytes() const { return Bytes(data_, data_ + size_); }

private:
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

// Stores for building file bytes: put* writes at an offset that must lie inside the
// buffer, append* adds at the end. Little-endian unless the name ends in "be" (PNG).
void putU16(Bytes& bytes, std::size_t at, std::uint16_t value);
void putU32(Bytes& bytes, std::size_t at, std::uint32_t value);
void putU32be(Bytes& bytes, std::size_t at, std::uint32_t value);
void appendU16(Bytes& bytes, std::uint16_t value);
void appendU32(Bytes& bytes, std::uint32_t value);
void appendU32be(Bytes& bytes, std::uint32_t value);

// Random access to the bytes of a file or a buffer. read() gives exactly the bytes asked
// for, or nullopt when the range is not inside the source or cannot be read; it never
// allocates more than the source holds.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t size() const = 0;
    virtual std::optional<Bytes> read(std::uint64_t offset, std::uint64_t length) = 0;

    bool fits(std::uint64_t offset, std::uint64_t length) const {
        const std::uint64_t total = size();
        return offset <= total && length <= total - offset;
    }
};

// [offset, offset + length) of the source with the part past its end read as zeros, as
// Windows' loader maps a module's headers; nullopt when offset lies beyond the end or the
// bytes cannot be read. For headers of a known, small length only.
std::optional<Bytes> readZeroPadded(ByteSource& source, std::uint64_t offset, std::uint64_t length);

// Bytes held in memory (test fixtures, fuzz inputs, data already read).
class MemorySource final : public ByteSource {
public:
    explicit MemorySource(Bytes bytes) : bytes_(std::move(bytes)) {}
    std::uint64_t size() const override { return bytes_.size(); }
    std::optional<Bytes> read(std::uint64_t offset, std::uint64_t length) override;

private:
    Bytes bytes_;
};

// Bytes held elsewhere (a file read whole, a resource loaded), read through the ByteSource
// interface without a copy of the whole; the bytes must outlive the source.
class ViewSource final : public ByteSource {
public:
    explicit ViewSource(ByteView bytes) : bytes_(bytes) {}
    std::uint64_t size() const override { return bytes_.size(); }
    std::optional<Bytes> read(std::uint64_t offset, std::uint64_t length) override;

private:
    ByteView bytes_;
};

}  // namespace formats
