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

// File, save all icons: the command, its dialog (a folder and a format), the question about
// files already there, the progress dialog and the closing message.
inline constexpr char kSaveAllCommand[] = "ｱｲｺﾝをすべて保存(&A)...";
inline constexpr char kSaveAllCaption[] = "ｱｲｺﾝをすべて保存";
inline constexpr char kSaveAllFormat[] = "ﾌｧｲﾙ形式(&F):";
inline constexpr char kSaveAllIco[] = "ｱｲｺﾝ (*.ico)";
inline constexpr char kSaveAllPng[] = "PNG (*.png)";
inline constexpr char kSaveAllReplace[] = "%1 個のﾌｧｲﾙは既に存在します。すべて上書きしますか(Y/N)？";
inline constexpr char kSaveAllProgress[] = "ｱｲｺﾝを保存中...";
inline constexpr char kSaveAllCancel[] = "ｷｬﾝｾﾙ";
inline constexpr char kSaveAllWritten[] = "%1 個のﾌｧｲﾙを保存しました";
inline constexpr char kSaveAllKept[] = "既にあった %1 個のﾌｧｲﾙはそのままです";
inline constexpr char kSaveAllStopped[] = "ESC キーで中止しました";
inline constexpr char kSaveAllFailed[] = "保存できなかったﾌｧｲﾙ:";
inline constexpr char kSaveAllMore[] = "ほか %1 個";
// The cursor theme dialog (File, ｶｰｿﾙﾃｰﾏの作成): a Windows cursor pack shown role by role and
// installed as a cursor theme.
inline constexpr char kCursorThemeMenu[] = "ｶｰｿﾙﾃｰﾏの作成(&K)...";
inline constexpr char kCursorThemeCaption[] = "ｶｰｿﾙﾃｰﾏの作成";
inline constexpr char kCursorPackFile[] = "INFかｱｰｶｲﾌﾞを開く(&O)...";
inline constexpr char kCursorPackFolder[] = "ﾌｫﾙﾀﾞを開く(&D)...";
inline constexpr char kCursorPackFileCaption[] = "ｶｰｿﾙ ﾊﾟｯｸを開く";
inline constexpr char kCursorPackFilter[] = "ｶｰｿﾙ ﾊﾟｯｸ (*.inf *.zip *.7z *.rar);;すべてのﾌｧｲﾙ (*)";
inline constexpr char kCursorPackFolderCaption[] = "ｶｰｿﾙ ﾊﾟｯｸのﾌｫﾙﾀﾞ";
inline constexpr char kCursorScheme[] = "ｽｷｰﾑ(&S):";
inline constexpr char kCursorRoles[] = "ｶｰｿﾙ";
inline constexpr char kCursorColumnRole[] = "役割";
inline constexpr char kCursorColumnFile[] = "ﾌｧｲﾙ";
inline constexpr char kCursorColumnSizes[] = "ｻｲｽﾞ";
inline constexpr char kCursorInherited[] = "(Adwaitaのｶｰｿﾙ)";
inline constexpr char kCursorNone[] = "(なし)";
inline constexpr char kCursorWarnings[] = "警告(&W):";
inline constexpr char kCursorThemeName[] = "ﾃｰﾏ名(&N):";
inline constexpr char kCursorInstall[] = "ｲﾝｽﾄｰﾙ(&I)";
inline constexpr char kCursorClose[] = "閉じる";
inline constexpr char kCursorPackFailed[] = "ｶｰｿﾙﾃｰﾏにできません: ";
inline constexpr char kCursorInstalled[] = "に作成しました。ﾃｰﾏの選び方:";
inline constexpr char kCursorInstallFailed[] = "ｶｰｿﾙﾃｰﾏの保存に失敗しました: ";
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
