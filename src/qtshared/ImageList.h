// A list of same-sized images, addressed by index: the file list's and the icon strip's
// icons. Images of another size are scaled to the list's size when added.
//
// On a HiDPI screen an image may come with a picture for the device: size x ratio device
// pixels, made from the icon's own larger images. Draw and DrawnImage use it; Image, which
// the saves and copies read, is always the list-sized image, whatever the screen.
#pragma once

#include <QImage>
#include <QList>
#include <QPixmap>
#include <optional>

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
    // The image with its picture for the device (drawn at DevicePixelRatio; none: the image
    // is drawn enlarged).
    int AddIcon(const formats::ArgbImage& icon, const std::optional<formats::ArgbImage>& device);

    // Device pixels per pixel of the screen the list is drawn on (1 by default).
    qreal DevicePixelRatio() const { return ratio_; }
    void setDevicePixelRatio(qreal ratio) { ratio_ = ratio; }
    // The side of a device picture: Width() x DevicePixelRatio(), rounded; Width() at 1.
    int DeviceSize() const;
    int Count() const { return static_cast<int>(images_.size()); }
    void Clear();
    // Removes one image; the images after it move up by one.
    void Delete(int index);

    // The image at index, or an empty pixmap for an index out of range.
    QPixmap Image(int index) const;
    // What Draw draws: the device picture where there is one, else the image.
    QPixmap DrawnImage(int index) const;
    // Draws image index with its top-left corner at (x, y); nothing for a bad index.
    void Draw(QPainter& painter, int x, int y, int index) const;

private:
    int size_;
    qreal ratio_ = 1;
    QList<QPixmap> images_;
    QList<QPixmap> drawn_;
};
