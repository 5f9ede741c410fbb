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

// Data of one MIME type (a PNG file as "image/png"), alone on the clipboard.
using ClipboardDataHandler = std::function<bool(const QString& mimeType, const QByteArray& data)>;

// Empties the clipboard and places the data on it as its only format; false when that failed.
bool setClipboardData(const QString& mimeType, const QByteArray& data);

// Installs a handler for setClipboardData (an empty one restores the system clipboard).
ClipboardDataHandler setClipboardDataHandler(ClipboardDataHandler handler);
