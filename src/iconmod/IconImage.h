// The images of one icon, each held as the exact bytes the ICO file or the RT_ICON
// resource stores: a bitmap (header, colour table, colour rows, AND mask) or a PNG image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "formats/ByteView.h"

namespace iconmod {

// Read-only bytes that several images may share: a range of one buffer. A directory that
// names the same image many times costs that image once.
class SharedBytes {
public:
    SharedBytes() = default;
    explicit SharedBytes(formats::Bytes bytes)
        : buffer_(std::make_shared<const formats::Bytes>(std::move(bytes))), size_(buffer_->size()) {}
    // [offset, offset + size) of buffer; the range must lie inside it.
    SharedBytes(std::shared_ptr<const formats::Bytes> buffer, std::size_t offset, std::size_t size)
        : buffer_(std::move(buffer)), offset_(offset), size_(size) {}

    const std::uint8_t* data() const { return buffer_ ? buffer_->data() + offset_ : nullptr; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const std::uint8_t* begin() const { return data(); }
    const std::uint8_t* end() const { return data() + size_; }
    std::uint8_t operator[](std::size_t i) const { return data()[i]; }
    formats::ByteView view() const { return formats::ByteView(data(), size_); }
    formats::Bytes toBytes() const { return formats::Bytes(begin(), end()); }
    // [offset, offset + size) of these bytes, sharing their buffer; the range must lie inside.
    SharedBytes sub(std::size_t offset, std::size_t size) const { return SharedBytes(buffer_, offset_ + offset, size); }
    // True when both hold the same range of the same buffer.
    bool sameAs(const SharedBytes& other) const {
        return buffer_ == other.buffer_ && offset_ == other.offset_ && size_ == other.size_;
    }

private:
    std::shared_ptr<const formats::Bytes> buffer_;
    std::size_t offset_ = 0;
    std::size_t size_ = 0;
};

// What an image's own header (BITMAPINFOHEADER or PNG IHDR) says of it.
struct ImageHead {
    std::int32_t Width = 0;      // biWidth, or the PNG's IHDR width
    std::int32_t Height = 0;     // biHeight / 2, or the PNG's IHDR height
    std::int32_t ColorBits = 0;  // biPlanes x biBitCount, or the PNG's depth (32 RGBA, 24 RGB, ...)
    bool IsPng = false;          // the data is a PNG image, not a bitmap
};

struct IconImage : ImageHead {
    SharedBytes Data;  // the image's bytes exactly as stored

    std::uint32_t DataSize() const { return static_cast<std::uint32_t>(Data.size()); }
    formats::ByteView view() const { return Data.view(); }
};

// An image as its directory entry and its header describe it, its data left in the file:
// all a listing shows, and where to read the data when it is needed.
struct ImageEntry : ImageHead {
    std::uint64_t Offset = 0;    // where the image's bytes start in the file
    std::uint32_t Size = 0;      // how many bytes the image stores
    std::uint16_t HotspotX = 0;  // a cursor image's hotspot (0, 0 for an icon)
    std::uint16_t HotspotY = 0;
};
using ImageEntries = std::vector<ImageEntry>;

// Bytes of the ICO or .cur file that holds the images (header, directory, each image's data
// as often as the list names it).
inline std::uint64_t imageFileSize(const ImageEntries& entries) {
    std::uint64_t total = 6 + 16ull * entries.size();
    for (const ImageEntry& e : entries) total += e.Size;
    return total;
}

// The images of one icon in the order of the file's (or group's) directory.
struct IconImageSet {
    std::vector<IconImage> Images;

    std::uint32_t Count() const { return static_cast<std::uint32_t>(Images.size()); }
    // Bytes of the ICO file that holds every image: header, directory and each image's
    // data (as often as the directory names it). Past 4 GiB its offsets cannot be written.
    std::uint64_t icoFileSize() const {
        std::uint64_t total = 6 + 16ull * Images.size();
        for (const IconImage& image : Images) total += image.Data.size();
        return total;
    }
    static constexpr std::uint64_t kMaxIcoFileSize = 0xFFFFFFFFull;
};

}  // namespace iconmod
