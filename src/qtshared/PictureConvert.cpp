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
    // One look-up of the rows, not one per row (each asks the image whether it is shared).
    uchar* rows = out.bits();
    const auto stride = static_cast<std::size_t>(out.bytesPerLine());
    const std::size_t row = static_cast<std::size_t>(picture.width) * sizeof(std::uint32_t);
    for (int y = 0; y < picture.height; ++y)
        std::memcpy(rows + static_cast<std::size_t>(y) * stride, picture.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.width), row);
    return out;
}
