// The clipboard as the program uses it: one picture at a time. Goes through a replaceable
// handler so that tests can watch it and make it fail.
#pragma once

#include <functional>

class QImage;

using ClipboardHandler = std::function<bool(const QImage& image)>;

// Empties the clipboard and places a copy of the image on it; false when that failed.
bool setClipboardImage(const QImage& image);

// Installs a handler (an empty one restores the system clipboard); returns the previous one.
ClipboardHandler setClipboardHandler(ClipboardHandler handler);
