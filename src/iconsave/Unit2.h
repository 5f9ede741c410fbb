// TForm2, the icon save dialog: for a module it lists the icon groups, for the chosen group
// (or an ICO file) every image with its size and colours, previews the selected image in a
// 56 x 56 square and saves all images of the group as one .ico, or the selected image as
// .ico or .bmp, or the group's 32-pixel strip picture as .jpg. The main window opens the
// source, hands it over (Source) and destroys it after the dialog has closed.
#pragma once

#include <QDialog>
#include <QImage>
#include <memory>
#include <string>

#include "qtshared/SaveFileDialog.h"

namespace Ui {
class TForm2;
}
namespace iconmod {
class QIconMod;
}
class ImageList;
class ListBoxTextList;
class ComboTextList;
class QPainter;

class TForm2 : public QDialog {
    Q_OBJECT

public:
    // The dialog's own texts.
    static const char* const kSaveFilter;
    static const char* const kIcoSaveFailed;   // "ｱｲｺﾝ ﾌｧｲﾙの保存に失敗しました"
    static const char* const kNoBmpData;       // "ﾋﾞｯﾄﾏｯﾌﾟを保存するﾃﾞｰﾀがありません"
    static const char* const kBmpSaveFailed;   // "ｱｲｺﾝﾌｧｲﾙのﾋﾞｯﾄﾏｯﾌﾟ保存に失敗しました"
    static const char* const kJpegSaveFailed;  // "jpegファイル保存に失敗しました"

    // The form is laid out at this many pixels per inch; Qt's logical pixel is 1/96 inch.
    static constexpr int kDesignPpi = 120;
    static constexpr int kScreenPpi = 96;
    // The preview square, in pixels of the client area, whatever the scaling.
    static constexpr int kPreviewLeft = 16;
    static constexpr int kPreviewTop = 8;
    static constexpr int kPreviewSize = 56;

    // screenHeight 0: the height of the screen the dialog opens on.
    explicit TForm2(QWidget* parent = nullptr, int screenHeight = 0);
    ~TForm2() override;

    // Set by the main window before the dialog is shown; never destroyed here.
    iconmod::QIconMod* Source = nullptr;
    // The main window's 32-pixel strip pictures, one per icon of the file (the JPEG save's
    // picture); none when absent.
    const ImageList* StripImages = nullptr;
    // Set at the first showing, so that the lists are filled only once.
    bool Activated = false;
    SaveDialog SaveDialog1;

    void FormActivate();
    void ListBox1Click();
    void ComboBox1Change();
    void SaveBtnClick();
    // Makes the selected image's picture and repaints the preview; false when there is
    // nothing to preview (no image set, or no image lines).
    bool fnDrawPreview();

    // Where an image of width x height is drawn inside the preview square: centred when
    // smaller than the square, else from the square's corner, squeezed to its size.
    static QRect previewIconRect(int width, int height);

    // The factor the dialog was enlarged by for a tall screen.
    int scaleFactor() const { return scale_; }
    // The client area (inside the window's border), on which the preview is painted.
    QWidget* clientArea() const;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate(int screenHeight);
    void paintPreview(QPainter& painter) const;
    bool hasPreview() const;
    int selectedImage() const;
    void saveIcon(const std::string& path);
    void saveBitmap(const std::string& path);
    void saveJpeg(const std::string& path);

    std::unique_ptr<Ui::TForm2> ui;
    std::unique_ptr<ListBoxTextList> groups_;
    std::unique_ptr<ComboTextList> images_;
    QImage preview_;
    int scale_ = 1;
};
