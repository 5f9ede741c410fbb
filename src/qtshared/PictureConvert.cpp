#include "qtshared/PictureConvert.h"

#include <cstring>

formats::ArgbImage argbFromImage(const QImage& image) {
    if (image.isNull()) return {};
    const QImage src = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    formats::ArgbImage out(src.width(), src.height());
    for (int y = 0; y < src.height(); ++y) {
        std::memcpy(&out.pixel(0, y), src.constScanLine(y), static_cast<std::size_t>(src.width()) * sizeof(std::uint32_t));
    }
    return out;
}

formats::ArgbImage argbFromPixmap(const QPixmap& pixmap) { return pixmap.isNull() ? formats::ArgbImage() : argbFromImage(pixmap.toImage()); }

QImage imageFromArgb(const formats::ArgbImage& picture) {
    if (picture.isNull() || picture.pixels.size() != static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height))
        return {};
    QImage out(picture.width, picture.height, QImage::Format_ARGB32_Premultiplied);
    if (out.isNull()) return out;
    for (int y = 0; y < picture.height; ++y)
        std::memcpy(out.scanLine(y), picture.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.width), static_cast<std::size_t>(picture.width) * sizeof(std::uint32_t));
    return out;
}
