// The texts the window shows beyond its menus and dialogs of old (menu entries live in the
// forms): names and descriptions read out by screen readers, captions and buttons of the
// dialogs it gained. Half-width katakana as the menus write them.
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

// The Open command's dialog: its caption, and the button that opens the folder shown.
inline constexpr char kOpenCaption[] = "ﾌｧｲﾙを開く";
inline constexpr char kOpenFolder[] = "ﾌｫﾙﾀﾞを開く(&D)";

// The icon's details window: the strip's pop-up menu entry and the strip's Enter or double
// click open it on the current icon; a tab of its images and one of the file's cursors.
inline constexpr char kDetailsMenu[] = "ｱｲｺﾝの詳細(&D)...";
inline constexpr char kDetailsCaption[] = "ｱｲｺﾝの詳細";
inline constexpr char kDetailsImagesTab[] = "ｲﾒｰｼﾞ(&I)";
inline constexpr char kDetailsCursorsTab[] = "ｶｰｿﾙ(&C)";
inline constexpr char kDetailsImages[] = "ｲﾒｰｼﾞ";
inline constexpr char kDetailsImagesHelp[] = "ｸﾞﾙｰﾌﾟのｲﾒｰｼﾞ。Ctrl++ と Ctrl+- で拡大と縮小";
inline constexpr char kDetailsCursors[] = "ｶｰｿﾙ";
inline constexpr char kDetailsCursorsHelp[] = "ﾌｧｲﾙのｶｰｿﾙとｱﾆﾒｰｼｮﾝ。赤い十字がﾎｯﾄｽﾎﾟｯﾄ";
inline constexpr char kDetailsZoomFormat[] = "拡大 %1倍";
inline constexpr char kDetailsZoomIn[] = "拡大(&+)";
inline constexpr char kDetailsZoomOut[] = "縮小(&-)";
inline constexpr char kDetailsSavePng[] = "PNGで保存(&S)...";
inline constexpr char kDetailsCopyPng[] = "PNGでｺﾋﾟｰ(&P)";
inline constexpr char kDetailsSaveCur[] = ".curで保存(&U)...";
inline constexpr char kDetailsSaveXcursor[] = "Xcursorで保存(&X)...";
inline constexpr char kDetailsClose[] = "閉じる";
inline constexpr char kDetailsSaveCurTitle[] = ".curで保存";
inline constexpr char kDetailsSaveXcursorTitle[] = "Xcursorで保存";
inline constexpr char kDetailsPngFilter[] = "PNG (*.png)|*.png";
inline constexpr char kDetailsCurFilter[] = "ｶｰｿﾙ (*.cur)|*.cur";
inline constexpr char kDetailsXcursorFilter[] = "Xcursor (*)|*";
// Words of an image's and a cursor's label.
inline constexpr char kBytes[] = "ﾊﾞｲﾄ";
inline constexpr char kAnimation[] = "ｱﾆﾒｰｼｮﾝ";
inline constexpr char kSteps[] = "ｺﾏ";
inline constexpr char kHotspot[] = "ﾎｯﾄｽﾎﾟｯﾄ";

}  // namespace wtext
