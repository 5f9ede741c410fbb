// QIconMod: one file whose icons are taken whole, for the icon save dialog: an ICO file
// (read at once) or a Windows module whose icon groups are read from its resources.
// It holds at most one image set at a time. Messages go through platform::messageBox.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "iconmod/IconImage.h"
#include "formats/ArgbImage.h"
#include "platform/AtomicFile.h"
#include "formats/ByteView.h"
#include "formats/ModuleResources.h"
#include "formats/OpenedFile.h"
#include "platform/FileSource.h"

namespace iconmod {

// Message texts and titles of this unit, byte for byte.
namespace text {
inline constexpr const char* kIcoReadFailed = "ｱｲｺﾝﾌｧｲﾙの読込みに失敗しました";
inline constexpr const char* kMemoryFailed = "ﾒﾓﾘ確保に失敗しました";
inline constexpr const char* kIcoHeaderReadFailed = "ｱｲｺﾝ ﾍｯﾀﾞｰの読込みに失敗しました";
inline constexpr const char* kIcoDataReadFailed = "ｱｲｺﾝ ﾃﾞｰﾀの読込みに失敗しました";
inline constexpr const char* kIcoFormatFailed = "ｱｲｺﾝ ﾃﾞｰﾀの読込み(ﾌｫｰﾏｯﾄ)に失敗しました";
inline constexpr const char* kNoIconData = "ｱｲｺﾝを保存するﾃﾞｰﾀがありません";
inline constexpr const char* kIcoCreateFailed = "ｱｲｺﾝﾌｧｲﾙの作成に失敗しました";
inline constexpr const char* kIcoHeaderWriteFailed = "ｱｲｺﾝ ﾍｯﾀﾞｰの作成に失敗しました";
inline constexpr const char* kBmpCreateFailed = "ﾋﾞｯﾄﾏｯﾌﾟの作成に失敗しました";
inline constexpr const char* kBmpSaveFailed = "ﾋﾞｯﾄﾏｯﾌﾟの保存に失敗しました";
inline constexpr const char* kErrorTitle = "ｴﾗｰ";
}  // namespace text

// Sizes derived from a bitmap image's header (formats::readBitmapHeader).
// Number of colour-table entries: the low 16 bits of biClrUsed, else 2/16/256 for 1/4/8 bits
// (0 when there is no header to read).
std::uint16_t fnPaletteCount(formats::ByteView header);
// Colour-table bytes: 4 per entry, modulo 65536.
std::uint16_t fnPaletteSize(formats::ByteView header);
// Bytes per colour row, padded to 4; computed in 64 bits (nullopt when there is no header).
std::optional<std::int64_t> fnRowSize(formats::ByteView header);

// The bColorCount an icon or cursor file's entry gives an image: 2^(planes x bits) below
// 8 bits, else 0 (PNG images 0).
std::uint8_t entryColorCount(const IconImage& image);

// An image whose `size` bytes start at `offset` of the file, described by its header alone
// (the bytes iconImageInfo reads); nullopt when they cannot be read or do not describe an
// image that fits that size (fnParseImage's refusals).
std::optional<ImageEntry> readImageEntry(formats::ByteSource& file, std::uint64_t offset, std::uint64_t size);

// The data of each listed image read from the file, each distinct range once however often
// the list names it; nullopt when a range cannot be read.
std::optional<std::vector<SharedBytes>> readImageData(formats::ByteSource& file, const ImageEntries& entries);

// Why a source gives no icons, as a value: its file could not be opened (the system's
// reason), it is neither a module nor an icon file (the kind check's reason, when there is
// one), or its icon file could not be read (the text its message box shows).
struct SourceError {
    enum class Why { None, Unopened, NotIconSource, IcoUnreadable };
    Why why = Why::None;
    platform::FileSource::OpenError openError = platform::FileSource::OpenError::None;
    int systemError = 0;
    std::string problem;
    const char* message = nullptr;

    explicit operator bool() const { return why != Why::None; }
};

// An icon file's image set, or the message of the step that failed.
struct IcoRead {
    std::unique_ptr<IconImageSet> set;
    const char* message = nullptr;
};
struct IcoListing {
    std::optional<ImageEntries> images;
    const char* message = nullptr;
};

class QIconMod {
public:
    // The file at `path` is opened when first needed, once.
    explicit QIconMod(std::string path);
    // A file already opened (named `path` in messages).
    QIconMod(std::string path, std::unique_ptr<formats::OpenedFile> file);
    ~QIconMod();
    QIconMod(const QIconMod&) = delete;
    QIconMod& operator=(const QIconMod&) = delete;

    // ICO file: reads it whole (once). Module: opens its resources as data (once). A file
    // that is not a PE32/PE32+ module (a 16-bit module among them) gives false. Shows nothing.
    bool fnOpen();
    // Opens the file as a module of any kind for its icon groups, whatever its name, 16-bit
    // NE modules included (their groups are read the same way): for the command line and
    // tests. False for anything that is not a module. Shows nothing.
    bool fnOpenAnyModule();
    // Opens the file by its content, whatever its name: a module of any kind for its icon
    // groups, else an icon file read whole. False when it is neither, or when an icon file
    // cannot be read (after its message). With readIcoFile false an icon file is only told
    // apart (IsIcoFile), for fnListIcoFile to list it.
    bool fnOpenByContent(bool readIcoFile = true);
    // The same as a value, showing nothing.
    SourceError openByContent(bool readIcoFile = true);
    // This source's icon file read (readIco) or listed (listIco), showing nothing.
    IcoRead readIco();
    IcoListing listIco();
    void subFreeImages();

    // Fills Width, Height, ColorBits and IsPng of an image from its Data. False when there
    // is no image, or when formats::iconImageInfo refuses it (a bitmap whose header is not
    // one of 40 bytes or more, or whose header, colour table or colour rows run past the
    // data; a PNG without IHDR).
    static bool fnParseImage(IconImage* image);

    // Reads an ICO file into a new set; nullptr after showing the failing step's message
    // (titled with the path). Releases the current set first. The images share the file's
    // bytes; a set whose ICO file would exceed 4 GiB is refused with the data message.
    std::unique_ptr<IconImageSet> fnReadIcoFile(const std::string& path);

    // The images of an ICO file as fnReadIcoFile would read them, from its directory and each
    // image's header, their data left in the file; nullopt after the same message where
    // fnReadIcoFile would fail (except that memory is never short).
    static std::optional<ImageEntries> fnListIcoFile(const std::string& path);

    // The image count of an ICO header (reserved 0, type 1), or -1.
    static std::int32_t fnReadIcoHeader(formats::ByteSource& file);
    // Writes the 6-byte header of an icon file (type 1) or a cursor file (type 2).
    static bool fnWriteIcoHeader(platform::AtomicFile& file, std::uint16_t count, std::uint16_t type = 1);

    // The file offset of image `index` in an ICO file written with `selection` (-1 all).
    static std::uint64_t fnImageOffset(const IconImageSet& set, std::uint32_t index, std::int32_t selection);

    // Writes all images (selection -1) or image `selection` as an ICO file. The file is
    // replaced only when everything was written. Each image's bytes are written as stored,
    // but a bitmap's biSizeImage is written as 0 (the save dialog's rule) unless `exact`.
    bool fnSaveIco(const std::string& path, std::int32_t selection, bool exact = false);
    // The same written into `file`, created here for `path` and left uncommitted, for a
    // caller that decides how the file is made to last (vexil-cli extract's batches).
    bool fnWriteIco(platform::AtomicFile& file, const std::string& path, std::int32_t selection, bool exact = false);

    // Writes one image's colour bitmap as a BMP file (a PNG image as a 32-bit bitmap).
    bool fnSaveBmp(const std::string& path, const IconImage& image);

    // The image decoded at its own size; nullopt when there is none or it cannot be decoded.
    static std::optional<formats::ArgbImage> fnMakeIcon(const IconImage* image);

    // Fields. Module is File's, once opened as one.
    std::unique_ptr<formats::OpenedFile> File;
    formats::ResourceModule* Module = nullptr;
    std::unique_ptr<IconImageSet> Images;
    bool IsIcoFile = false;
    std::int32_t StartGroup = 0;
    std::string Path;
    std::string GroupName;
    // The text of the message the last failed call of this source showed (empty before
    // any): a caller without boxes, the command line, says it in its own failure line.
    std::string Failure;

    // Shows a failure's message box, titled `title`, and keeps its text in Failure.
    void tell(const std::string& text, const std::string& title);

private:
    // Opens File by Path unless it is open; a value saying why not otherwise.
    SourceError openFile();
};

// An icon file's images read or listed from its bytes (`file` whole), showing nothing.
IcoRead readIcoSet(formats::ByteSource& file);
IcoListing listIcoImages(formats::ByteSource& file);

}  // namespace iconmod
