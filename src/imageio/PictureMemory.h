#pragma once
// Memory for the pixels of a picture being read.
#include <QImage>

// A new, uninitialised image of w x h pixels in format (Format_RGB32 or Format_Indexed8),
// null when there is no memory for it. Large ones get memory the kernel may back with huge
// pages: touching 48 MB in 4 KiB pages costs more than decoding a picture into it.
QImage NewPictureImage(int w, int h, QImage::Format format);
