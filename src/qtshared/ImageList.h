// A list of same-sized images, addressed by index: the file list's and the icon strip's
// icons. Images of another size are scaled to the list's size when added.
#pragma once

#include <QImage>
#include <QList>
#include <QPixmap>

#include "formats/ArgbImage.h"

class QPainter;

class ImageList {
public:
    explicit ImageList(int size) : size_(size) {}

    int Width() const { return size_; }
    int Height() const { return size_; }

    // Stores a copy of the icon and answers its index, or -1 for an empty image.
    int AddIcon(const QPixmap& icon);
    int AddIcon(const QImage& icon);
    int AddIcon(const formats::ArgbImage& icon);
    int Count() const { return static_cast<int>(images_.size()); }
    void Clear() { images_.clear(); }
    // Removes one image; the images after it move up by one.
    void Delete(int index);

    // The image at index, or an empty pixmap for an index out of range.
    QPixmap Image(int index) const;
    // Draws image index with its top-left corner at (x, y); nothing for a bad index.
    void Draw(QPainter& painter, int x, int y, int index) const;

private:
    int size_;
    QList<QPixmap> images_;
};
