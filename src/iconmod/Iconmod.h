// QIconMod: one file whose icons are taken whole, for the icon save dialog: an ICO file
// (read at once) or a Windows module whose icon groups are read from its resources.
// It holds at most one image set at a time. Messages go through platform::messageBox.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "iconmod/IconImage.h"
#include "platform/ArgbImage.h"
#include "platform/ModuleResources.h"

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

class QIconMod {
public:
    explicit QIconMod(std::string path);
    ~QIconMod();
    QIconMod(const QIconMod&) = delete;
    QIconMod& operator=(const QIconMod&) = delete;

    // ICO file: reads it whole (once). Module: opens its resources as data (once); a file
    // that is not a PE32/PE32+ module (16-bit modules included) gives false. Shows nothing.
    bool fnOpen();
    void subFreeImages();

    // Fills Width, Height, ColorBits and IsPng of an image from its Data. False only when
    // there is no image.
    static bool fnParseImage(IconImage* image);

    // Reads an ICO file into a new set; nullptr after showing the failing step's message
    // (titled with the path). Releases the current set first.
    std::unique_ptr<IconImageSet> fnReadIcoFile(const std::string& path);

    // The file offset of image `index` in an ICO file written with `selection` (-1 all).
    static std::uint32_t fnImageOffset(const IconImageSet& set, std::uint32_t index, std::int32_t selection);

    // Writes all images (selection -1) or image `selection` as an ICO file, atomically.
    bool fnSaveIco(const std::string& path, std::int32_t selection);

    // Writes one image's colour bitmap as a BMP file, atomically.
    bool fnSaveBmp(const std::string& path, const IconImage& image);

    // The image decoded at its own size; nullopt when it cannot be decoded.
    static std::optional<platform::ArgbImage> fnMakeIcon(const IconImage* image);

    // Fields.
    std::unique_ptr<platform::ResourceModule> Module;
    std::unique_ptr<IconImageSet> Images;
    bool IsIcoFile = false;
    std::int32_t StartGroup = 0;
    std::string Path;
    std::string GroupName;
};

}  // namespace iconmod
