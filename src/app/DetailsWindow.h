// The icon's details window, beside the main window and not modal: one tab shows every
// image of the strip's current icon side by side at its own size on a checkerboard, each
// labelled with its size, depth, format and bytes, zoomed 1x to 8x with sharp pixels; the
// selected image is saved or copied as PNG, or dragged out. The other tab shows the file's
// cursors, each with its hotspot marked and animations playing at their delays, saved as
// .cur or as an Xcursor file. The main window tells it what to show (showIcon).
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "app/DetailsModel.h"
#include "qtshared/SaveFileDialog.h"

class QLabel;
class QListWidget;
class QMimeData;
class QPushButton;
class QTabWidget;
class QTimer;

class DetailsWindow : public QWidget {
    Q_OBJECT

public:
    explicit DetailsWindow(QWidget* parent);
    ~DetailsWindow() override;

    // Shows icon `index` of the file at `path` (the file system's bytes) and the file's
    // cursors; an empty path or a negative index empties the window. The same icon again
    // keeps the zoom, the selection and the animations as they are.
    void showIcon(const std::string& path, int index);

    // What it shows: the file's path and the icon's index (-1 when empty).
    const std::string& shownPath() const { return path_; }
    int shownIndex() const { return index_; }

    int zoom() const { return zoom_; }
    void setZoom(int zoom);

    QTabWidget* tabs() const { return tabs_; }
    QListWidget* imageList() const { return images_; }
    QListWidget* cursorList() const { return cursors_; }

    // The selected image as a PNG file (a stored PNG as it is); empty when none is selected.
    QByteArray selectedPng() const;
    // Where a dragged image is written as a file (the window's private drag folder); empty:
    // drags offer the picture only.
    void setDragFolder(std::string folder) { dragFolder_ = std::move(folder); }
    // What a drag of the selected image offers: image/png, Qt's image type and, with a
    // drag folder, the PNG written there as FILE-WxH-Nbit.png (text/uri-list); nullptr
    // when no image is selected. The caller owns it.
    QMimeData* selectedDragData() const;

    void saveSelectedPng();
    void copySelectedPng();
    void saveSelectedCur();
    void saveSelectedXcursor();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    struct ShownImage {
        iconmod::IconImage image;
        QImage picture;
    };
    struct ShownCursor {
        details::CursorItem item;
        std::vector<QImage> pictures;  // one per frame
        std::vector<QPoint> hotspots;
        std::vector<std::uint32_t> delaysMs;
        std::size_t step = 0;
        qint64 dueMs = 0;  // when the next step shows
    };

    void clear();
    // The cursor selected in the cursors tab; nullptr when none is.
    const details::CursorItem* selectedCursor() const;
    void fillImages(formats::OpenedFile& file, int index);
    void fillCursors(formats::OpenedFile& file);
    void updateSizes();
    void updateButtons();
    void animate();
    void scheduleAnimation();

    QTabWidget* tabs_ = nullptr;
    QListWidget* images_ = nullptr;
    QListWidget* cursors_ = nullptr;
    QLabel* zoomLabel_ = nullptr;
    QPushButton* zoomOut_ = nullptr;
    QPushButton* zoomIn_ = nullptr;
    QPushButton* savePng_ = nullptr;
    QPushButton* copyPng_ = nullptr;
    QPushButton* saveCur_ = nullptr;
    QPushButton* saveXcursor_ = nullptr;
    QTimer* animation_ = nullptr;
    QElapsedTimer clock_;

    std::string path_;
    std::string dragFolder_;
    int index_ = -1;
    int zoom_ = details::kMinZoom;
    std::vector<ShownImage> shownImages_;
    std::vector<ShownCursor> shownCursors_;
    SaveDialog pngDialog_;
    SaveDialog curDialog_;
    SaveDialog xcursorDialog_;
};
