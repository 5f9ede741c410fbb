// The texts the window shows beyond its menus and dialogs of old: names and descriptions
// read out by screen readers. Half-width katakana as the menus write them.
#pragma once

namespace wtext {

// Accessible names of the main window's parts (the toolbar buttons use their tool tips).
inline constexpr char kDriveBox[] = "ﾄﾞﾗｲﾌﾞ";
inline constexpr char kFolderTree[] = "ﾌｫﾙﾀﾞ";
inline constexpr char kFileList[] = "ﾌｧｲﾙ一覧";
inline constexpr char kFileListHelp[] = "ｱｲｺﾝを持つﾌｧｲﾙとｱｲｺﾝ数";
inline constexpr char kFileType[] = "検索ﾌｧｲﾙﾀｲﾌﾟ";
inline constexpr char kStrip[] = "ｱｲｺﾝ";
inline constexpr char kStripHelp[] = "選んだﾌｧｲﾙのｱｲｺﾝ。ﾒﾆｭｰｷｰで保存とｺﾋﾟｰのﾒﾆｭｰ";
// A strip cell's description (its name is its group's name and its images' sizes).
inline constexpr char kCellFormat[] = "ｱｲｺﾝ %1 / %2";

}  // namespace wtext
