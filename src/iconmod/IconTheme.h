// Icon sets for the freedesktop icon theme "hicolor": one group's pictures as
// DIR/hicolor/<N>x<N>/apps/NAME.png at every size of hicolor's own list up to the group's
// largest square image, which is what a desktop entry with "Icon=NAME" is drawn from (a
// Windows program run with Wine, for example). The command line and the window both write
// them through writeIconTheme.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "iconmod/IconImage.h"
#include "platform/FileBatch.h"

namespace iconmod {

namespace text {
inline constexpr const char* kThemeNameInvalid = "名前に使えるのは英数字と . _ - だけです";
inline constexpr const char* kThemeNoSquareImage = "ｱｲｺﾝｾｯﾄにできる正方形の画像がありません";
inline constexpr const char* kThemeFolderFailed = "ﾌｫﾙﾀﾞの作成に失敗しました";
inline constexpr const char* kThemePictureFailed = "ｱｲｺﾝ ﾃﾞｰﾀの変換に失敗しました";
inline constexpr const char* kThemeWriteFailed = "ｱｲｺﾝｾｯﾄの保存に失敗しました";
}  // namespace text

// The sizes of hicolor's own folders, ascending.
inline constexpr int kHicolorSizes[] = {16, 22, 24, 32, 48, 64, 96, 128, 256};

// True for a name made of ASCII letters, digits, ".", "_" and "-" only (and not empty).
bool isIconThemeName(std::string_view name);

// A name for the icon set of a file: its name without the extension, each character a
// name cannot hold made "_"; "icon" when nothing is left.
std::string suggestIconThemeName(std::string_view fileName);

// Where a user's icon themes live: $XDG_DATA_HOME/icons when that is an absolute path,
// else ~/.local/share/icons; nullopt when neither can be told.
std::optional<std::string> defaultIconThemeDir();

// The sizes the set is written at: hicolor's sizes up to its largest square image.
std::vector<int> iconThemeSizes(const IconImageSet& set);

// dir/hicolor/<size>x<size>/apps/name.png
std::string iconThemeFile(const std::string& dir, int size, const std::string& name);

// The first file of a set called name under dir, at any of hicolor's sizes (whatever the
// sizes a new set would have): a set of that name is there. nullopt when there is none.
std::optional<std::string> existingIconTheme(const std::string& dir, const std::string& name);

// Writes the set as hicolor/<N>x<N>/apps/NAME.png under dir, making the folders it needs;
// at a size the set holds, its deepest image of that size (a PNG image byte for byte),
// otherwise the picture of the scale-down rule. The set is replaced whole or not at all:
// every size is written to a temporary file first, then all take their places, and the
// sizes of an earlier set of that name that this one lacks are removed. Afterwards
// dir/hicolor gets the current time as its modification time, so that icon caches look
// again. False after showing the failing step's message (titled with the name or path
// concerned), with nothing changed and the folders it made removed; *failure then says
// what failed in a line of English with the system's reason, then ": " and the message
// shown. `written` receives the files written, in size order.
// With `batch` (the sets of many icons at once, as extract writes its files) pictures
// that are not copied are encoded quickly (PngCompression::Fast), and the files are handed
// to the batch written but unflushed: they take their places when the caller flushes it
// (one sync for all), and the caller then gives dir/hicolor the current time.
bool writeIconTheme(const IconImageSet& set, const std::string& dir, const std::string& name,
                    std::vector<std::string>* written = nullptr, std::string* failure = nullptr,
                    platform::FileBatch* batch = nullptr);

}  // namespace iconmod
