// Conversions between the core's decoded pictures and Qt's images.
#pragma once

#include <QImage>
#include <QPixmap>

#include "platform/ArgbImage.h"

// The image as premultiplied ARGB pixels (an empty picture for a null image).
platform::ArgbImage argbFromImage(const QImage& image);
platform::ArgbImage argbFromPixmap(const QPixmap& pixmap);

// The picture as a QImage of format ARGB32_Premultiplied (a null image for an empty one).
QImage imageFromArgb(const platform::ArgbImage& picture);
