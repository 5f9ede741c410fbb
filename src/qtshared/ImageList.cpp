#include "qtshared/ImageList.h"

#include <QPainter>

#include "qtshared/PictureConvert.h"

int ImageList::AddIcon(const QPixmap& icon) {
    if (icon.isNull()) return -1;
    if (icon.width() == size_ && icon.height() == size_) images_.append(icon);
    else images_.append(icon.scaled(size_, size_, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    return Count() - 1;
}

int ImageList::AddIcon(const QImage& icon) { return icon.isNull() ? -1 : AddIcon(QPixmap::fromImage(icon)); }

int ImageList::AddIcon(const formats::ArgbImage& icon) { return AddIcon(imageFromArgb(icon)); }

void ImageList::Delete(int index) {
    if (index >= 0 && index < Count()) images_.removeAt(index);
}

QPixmap ImageList::Image(int index) const { return index >= 0 && index < Count() ? images_[index] : QPixmap(); }

void ImageList::Draw(QPainter& painter, int x, int y, int index) const {
    if (index >= 0 && index < Count()) painter.drawPixmap(x, y, images_[index]);
}
