#include "app/ImageList.h"

#include <QPainter>
#include <cstring>

QImage toQImage(const platform::ArgbImage& image) {
    if (image.isNull() || image.pixels.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height))
        return QImage();
    QImage out(image.width, image.height, QImage::Format_ARGB32_Premultiplied);
    if (out.isNull()) return out;
    const std::size_t rowBytes = static_cast<std::size_t>(image.width) * sizeof(std::uint32_t);
    for (int y = 0; y < image.height; ++y)
        std::memcpy(out.scanLine(y), image.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width), rowBytes);
    return out;
}

int ImageList::AddIcon(const QPixmap& icon) {
    if (icon.isNull()) return -1;
    if (icon.width() == size_ && icon.height() == size_) images_.append(icon);
    else images_.append(icon.scaled(size_, size_, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    return Count() - 1;
}

int ImageList::AddIcon(const QImage& icon) { return icon.isNull() ? -1 : AddIcon(QPixmap::fromImage(icon)); }

int ImageList::AddIcon(const platform::ArgbImage& icon) { return AddIcon(toQImage(icon)); }

void ImageList::Delete(int index) {
    if (index >= 0 && index < Count()) images_.removeAt(index);
}

QPixmap ImageList::Image(int index) const { return index >= 0 && index < Count() ? images_[index] : QPixmap(); }

void ImageList::Draw(QPainter& painter, int x, int y, int index) const {
    if (index >= 0 && index < Count()) painter.drawPixmap(x, y, images_[index]);
}
