#include "iconmod/Iconmod.h"

#include <algorithm>
#include <map>
#include <new>

#include "formats/BitmapHeader.h"
#include "formats/IconDecode.h"
#include "formats/IconDirectory.h"
#include "platform/IconExtract.h"
#include "platform/MbText.h"
#include "platform/MessageBox.h"

namespace iconmod {
std::uint16_t fnPaletteCount(formats::ByteView header) {
    const auto h = formats::readBitmapHeader(header);
    return h ? formats::dibPaletteCount(*h) : 0;
}

std::uint16_t fnPaletteSize(formats::ByteView header) { return static_cast<std::uint16_t>(4u * fnPaletteCount(header)); }

std::optional<std::int64_t> fnRowSize(formats::ByteView header) {
    const auto h = formats::readBitmapHeader(header);
    if (!h) return std::nullopt;
    return formats::dibRowSize(*h);
}

std::uint8_t entryColorCount(const IconImage& image) {
    if (image.IsPng) return 0;
    const auto header = formats::readBitmapHeader(image.view());
    const std::uint32_t p = header ? std::uint32_t{header->planes} * header->bitCount : 0;
    return p < 8 ? static_cast<std::uint8_t>(1u << p) : 0;
}

std::optional<ImageEntry> readImageEntry(formats::ByteSource& file, std::uint64_t offset, std::uint64_t size) {
    if (!file.fits(offset, size)) return std::nullopt;
    const auto start = file.read(offset, std::min<std::uint64_t>(size, 4));
    const auto head = start ? file.read(offset, std::min(size, formats::imageHeadSize(*start))) : std::nullopt;
    const auto info = head ? formats::iconImageInfo(*head, size) : std::nullopt;
    if (!info) return std::nullopt;
    ImageEntry entry;
    entry.Width = info->width;
    entry.Height = info->height;
    entry.ColorBits = info->colorBits;
    entry.IsPng = info->isPng;
    entry.Offset = offset;
    entry.Size = static_cast<std::uint32_t>(size);  // a directory's or a resource's length: 32 bits
    return entry;
}

std::optional<std::vector<SharedBytes>> readImageData(formats::ByteSource& file, const ImageEntries& entries) {
    std::map<std::pair<std::uint64_t, std::uint32_t>, SharedBytes> read;
    std::vector<SharedBytes> data;
    data.reserve(entries.size());
    for (const ImageEntry& e : entries) {
        auto it = read.find({e.Offset, e.Size});
        if (it == read.end()) {
            auto bytes = file.read(e.Offset, e.Size);
            if (!bytes) return std::nullopt;
            it = read.emplace(std::pair{e.Offset, e.Size}, SharedBytes(std::move(*bytes))).first;
        }
        data.push_back(it->second);
    }
    return data;
}

QIconMod::QIconMod(std::string path) : Path(std::move(path)) {
    IsIcoFile = platform::compareIgnoreCase(platform::extensionOf(Path), ".ico") == 0;
}

QIconMod::QIconMod(std::string path, std::unique_ptr<formats::OpenedFile> file) : QIconMod(std::move(path)) {
    File = std::move(file);
}

QIconMod::~QIconMod() { subFreeImages(); }

void QIconMod::subFreeImages() { Images.reset(); }

SourceError QIconMod::openFile() {
    if (File) return {};
    auto opened = platform::openFile(Path);
    if (!opened) {
        SourceError error;
        error.why = SourceError::Why::Unopened;
        error.openError = opened.error;
        error.systemError = opened.systemError;
        return error;
    }
    File = std::move(opened.file);
    return {};
}

bool QIconMod::fnOpen() {
    if (IsIcoFile) {
        if (!Images) Images = fnReadIcoFile(Path);
        return Images != nullptr;
    }
    // Only 32- and 64-bit modules are opened for their icon groups; 16-bit modules are
    // left to the standard save, which works from the extracted pictures.
    if (!Module && !openFile() && File->module() && File->kind() != formats::FileKind::Ne) Module = File->module();
    return Module != nullptr;
}

bool QIconMod::fnOpenAnyModule() {
    IsIcoFile = false;
    if (!Module && !openFile()) Module = File->module();
    return Module != nullptr;
}

SourceError QIconMod::openByContent(bool readIcoFile) {
    if (!IsIcoFile) {
        if (fnOpenAnyModule()) return {};
        if (!File) return openFile();
        if (File->kind() != formats::FileKind::Ico || fnReadIcoHeader(File->source()) <= 0) {
            SourceError error;
            error.why = SourceError::Why::NotIconSource;
            error.problem = File->problem();
            return error;
        }
        IsIcoFile = true;
    }
    if (Images) return {};
    if (auto error = openFile()) return error;
    if (!readIcoFile) return {};
    IcoRead read = readIco();
    if (!read.set) {
        SourceError error;
        error.why = SourceError::Why::IcoUnreadable;
        error.message = read.message;
        return error;
    }
    Images = std::move(read.set);
    return {};
}

void QIconMod::tell(const std::string& text, const std::string& title) {
    Failure = text;
    platform::messageBox(text, title);
}

bool QIconMod::fnOpenByContent(bool readIcoFile) {
    const SourceError error = openByContent(readIcoFile);
    if (error.why == SourceError::Why::IcoUnreadable) tell(error.message, Path);
    if (error.why == SourceError::Why::Unopened && IsIcoFile) tell(text::kIcoReadFailed, Path);
    return !error;
}

IcoRead QIconMod::readIco() {
    subFreeImages();
    if (openFile()) return {nullptr, text::kIcoReadFailed};
    return readIcoSet(File->source());
}

IcoListing QIconMod::listIco() {
    if (openFile()) return {std::nullopt, text::kIcoReadFailed};
    return listIcoImages(File->source());
}

bool QIconMod::fnParseImage(IconImage* image) {
    if (!image) return false;
    const auto info = formats::iconImageInfo(image->view());
    if (!info) {
        image->IsPng = formats::isPng(image->view());
        return false;
    }
    image->IsPng = info->isPng;
    image->Width = info->width;
    image->Height = info->height;
    image->ColorBits = info->colorBits;
    return true;
}

std::int32_t QIconMod::fnReadIcoHeader(formats::ByteSource& file) {
    const auto header = file.read(0, formats::kIconDirHeaderSize);
    const auto count = header ? formats::icoImageCount(*header) : std::nullopt;
    return count ? *count : -1;
}

IcoListing listIcoImages(formats::ByteSource& file) {
    auto fail = [](const char* message) { return IcoListing{std::nullopt, message}; };
    const std::int32_t count = QIconMod::fnReadIcoHeader(file);
    if (count < 0) return fail(text::kIcoHeaderReadFailed);
    try {
        const auto directory = file.read(0, std::min(file.size(), formats::kIconDirHeaderSize + formats::kIcoEntrySize * static_cast<std::uint64_t>(count)));
        const auto entries = directory ? formats::readIcoDirectory(*directory) : std::nullopt;
        if (!entries) return fail(text::kIcoDataReadFailed);
        ImageEntries images;
        images.reserve(entries->size());
        // Entry by entry, so that the first entry that fails gives its step's message.
        for (const formats::IconDirEntry& e : *entries) {
            if (!file.fits(e.imageOffset, e.bytesInRes)) return fail(text::kIcoDataReadFailed);
            auto image = readImageEntry(file, e.imageOffset, e.bytesInRes);
            if (!image) return fail(text::kIcoFormatFailed);
            images.push_back(*image);
        }
        // A set whose own ICO file would need offsets past 4 GiB could not be saved.
        if (imageFileSize(images) > IconImageSet::kMaxIcoFileSize) return fail(text::kIcoDataReadFailed);
        return {std::move(images), nullptr};
    } catch (const std::bad_alloc&) {
        return fail(text::kMemoryFailed);
    }
}

IcoRead readIcoSet(formats::ByteSource& file) {
    const IcoListing listed = listIcoImages(file);
    if (!listed.images) return {nullptr, listed.message};
    const ImageEntries& entries = *listed.images;
    try {
        // The file is read once, whole, and every image is a range of it: a directory that
        // names one image many times, or ranges that overlap, costs no more than the file.
        auto whole = file.read(0, file.size());
        if (!whole) return {nullptr, text::kIcoDataReadFailed};
        const auto bytes = std::make_shared<const formats::Bytes>(std::move(*whole));
        auto set = std::make_unique<IconImageSet>();
        set->Images.resize(entries.size());
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const ImageEntry& e = entries[i];
            IconImage& image = set->Images[i];
            static_cast<ImageHead&>(image) = e;
            image.Data = SharedBytes(bytes, e.Offset, e.Size);
        }
        return {std::move(set), nullptr};
    } catch (const std::bad_alloc&) {
        return {nullptr, text::kMemoryFailed};
    }
}

std::optional<ImageEntries> QIconMod::fnListIcoFile(const std::string& path) {
    QIconMod source(path);
    IcoListing listed = source.listIco();
    if (!listed.images) platform::messageBox(listed.message, path);
    return std::move(listed.images);
}

std::unique_ptr<IconImageSet> QIconMod::fnReadIcoFile(const std::string& path) {
    IcoRead read;
    if (path == Path) {
        read = readIco();
    } else {
        subFreeImages();
        read = QIconMod(path).readIco();
    }
    if (!read.set) tell(read.message, path);
    return std::move(read.set);
}

bool QIconMod::fnWriteIcoHeader(platform::AtomicFile& file, std::uint16_t count, std::uint16_t type) {
    const std::uint16_t fields[3] = {0, type, count};
    for (std::uint16_t v : fields) {
        const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
        if (!file.write(bytes, 2)) return false;
    }
    return true;
}

std::uint64_t QIconMod::fnImageOffset(const IconImageSet& set, std::uint32_t index, std::int32_t selection) {
    if (selection >= 0) return 6 + 16;
    std::uint64_t offset = 6 + 16ull * set.Count();
    for (std::uint32_t i = 0; i < index && i < set.Count(); ++i) offset += set.Images[i].DataSize();
    return offset;
}

bool QIconMod::fnSaveIco(const std::string& path, std::int32_t selection, bool exact) {
    platform::AtomicFile file;
    return fnWriteIco(file, path, selection, exact) && file.commit();
}

bool QIconMod::fnWriteIco(platform::AtomicFile& file, const std::string& path, std::int32_t selection, bool exact) {
    if (!Images || selection < -1 || (selection >= 0 && static_cast<std::uint32_t>(selection) >= Images->Count())) {
        tell(text::kNoIconData, text::kErrorTitle);
        return false;
    }
    // Offsets are 32 bits: a set that repeats a large image too often cannot be written.
    if ((selection < 0 && Images->icoFileSize() > IconImageSet::kMaxIcoFileSize) || !file.create(path)) {
        tell(text::kIcoCreateFailed, path);
        return false;
    }
    const std::uint16_t count = selection < 0 ? static_cast<std::uint16_t>(Images->Count()) : 1;
    if (!fnWriteIcoHeader(file, count)) {
        tell(text::kIcoHeaderWriteFailed, path);
        return false;
    }
    auto selected = [selection](std::uint32_t i) { return selection < 0 || static_cast<std::uint32_t>(selection) == i; };

    for (std::uint32_t i = 0; i < Images->Count(); ++i) {
        if (!selected(i)) continue;
        const IconImage& image = Images->Images[i];
        formats::Bytes entry(16, 0);
        entry[0] = static_cast<std::uint8_t>(image.Width);
        entry[1] = static_cast<std::uint8_t>(image.Height);
        entry[2] = entryColorCount(image);
        if (image.IsPng) {
            formats::putU16(entry, 4, 1);
            formats::putU16(entry, 6, static_cast<std::uint16_t>(image.ColorBits));
        } else {
            const auto header = formats::readBitmapHeader(image.view());
            if (!header) return false;
            formats::putU16(entry, 4, header->planes);
            formats::putU16(entry, 6, header->bitCount);
        }
        formats::putU32(entry, 8, image.DataSize());
        formats::putU32(entry, 12, static_cast<std::uint32_t>(fnImageOffset(*Images, i, selection)));
        if (!file.write(entry)) return false;
    }
    for (std::uint32_t i = 0; i < Images->Count(); ++i) {
        if (!selected(i)) continue;
        const IconImage& image = Images->Images[i];
        if (image.IsPng || exact) {
            // A PNG is written as it is (its offset 20 is part of its header); so is any
            // image when the exact bytes are asked for.
            if (!file.write(image.view())) return false;
            continue;
        }
        // Bitmaps are written with biSizeImage as 0; the image in memory is not touched.
        static constexpr std::uint8_t kZero[4] = {0, 0, 0, 0};
        const formats::ByteView data = image.view();
        if (data.size() < 24 || !file.write(data.data(), 20) || !file.write(kZero, 4) || !file.write(data.data() + 24, data.size() - 24))
            return false;
    }
    return true;
}

std::optional<formats::ArgbImage> QIconMod::fnMakeIcon(const IconImage* image) {
    if (!image || image->Data.empty()) return std::nullopt;
    return formats::decodeIconImage(image->view());
}

}  // namespace iconmod
