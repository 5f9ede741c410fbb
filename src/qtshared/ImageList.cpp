#include "qtshared/ImageList.h"

#include <QPainter>
#include <cmath>
#include <utility>

#include "qtshared/PictureConvert.h"

int ImageList::AddIcon(const QPixmap& icon) {
    if (icon.isNull()) return -1;
    if (icon.width() == size_ && icon.height() == size_) images_.append(icon);
    else images_.append(icon.scaled(size_, size_, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    drawn_.append(images_.constLast());
    return Count() - 1;
}

int ImageList::AddIcon(const QImage& icon) { return icon.isNull() ? -1 : AddIcon(QPixmap::fromImage(icon)); }

// The converted picture is handed over, not copied, to the pixmap.
int ImageList::AddIcon(const formats::ArgbImage& icon) {
    QImage image = imageFromArgb(icon);
    return image.isNull() ? -1 : AddIcon(QPixmap::fromImage(std::move(image)));
}

int ImageList::AddIcon(const formats::ArgbImage& icon, const std::optional<formats::ArgbImage>& device) {
    const int index = AddIcon(icon);
    if (index < 0 || !device) return index;
    const int side = DeviceSize();
    QPixmap picture = QPixmap::fromImage(imageFromArgb(*device));  // a temporary: handed over
    if (picture.isNull()) return index;
    if (picture.width() != side || picture.height() != side)
        picture = picture.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    picture.setDevicePixelRatio(ratio_);
    drawn_[index] = picture;
    return index;
}

int ImageList::DeviceSize() const { return static_cast<int>(std::lround(size_ * ratio_)); }

void ImageList::Delete(int index) {
    if (index >= 0 && index < Count()) {
        images_.removeAt(index);
        drawn_.removeAt(index);
    }
}

void ImageList::Clear() {
    images_.clear();
    drawn_.clear();
}

QPixmap ImageList::Image(int index) const { return index >= 0 && index < Count() ? images_[index] : QPixmap(); }

QPixmap ImageList::DrawnImage(int index) const { return index >= 0 && index < Count() ? drawn_[index] : QPixmap(); }

void ImageList::Draw(QPainter& painter, int x, int y, int index) const {
    if (index >= 0 && index < Count()) painter.drawPixmap(x, y, drawn_[index]);
}
