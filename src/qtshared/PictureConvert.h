// Conversions between the core's decoded pictures and Qt's images.
#pragma once

#include <QImage>
#include <QPixmap>

#include "formats/ArgbImage.h"

// The image as premultiplied ARGB pixels (an empty picture for a null image).
formats::ArgbImage argbFromImage(const QImage& image);
formats::ArgbImage argbFromPixmap(const QPixmap& pixmap);

// The picture as a QImage of format ARGB32_Premultiplied (a null image for an empty one).
QImage imageFromArgb(const formats::ArgbImage& picture);
