// The clipboard as the program uses it: one picture at a time. Goes through a replaceable
// handler so that tests can watch it and make it fail.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class QImage;

using ClipboardHandler = std::function<bool(const QImage& image)>;

// Empties the clipboard and places a copy of the image on it; false when that failed.
bool setClipboardImage(const QImage& image);

// Installs a handler (an empty one restores the system clipboard); returns the previous one.
ClipboardHandler setClipboardHandler(ClipboardHandler handler);

// Empties the system clipboard and places data of one MIME type on it (a PNG file as
// "image/png"), as its only format; false when that failed.
bool setClipboardData(const QString& mimeType, const QByteArray& data);
