#pragma once
// JPEG files through libjpeg: decoding into a 24-bit Raster of the picture's size, and
// encoding a Raster as a baseline colour (YCbCr) JPEG at quality 90.
//
// Greyscale pictures decode to grey 24-bit pixels; CMYK and YCCK pictures (including the
// inverted kind Adobe programs write) are converted to RGB. A damaged or truncated file,
// or one whose size is beyond the program's limits, throws LetrafexError.
#include "core/Errors.h"
#include "core/Raster.h"

#include <QByteArray>
#include <QString>

constexpr int DefaultJpegQuality = 90;

// Decodes a complete JPEG file image held in memory.
Raster ReadJpeg(const QByteArray &data);

// Reads a JPEG file; throws LetrafexError when it is missing, unreadable or damaged.
Raster LoadJpegFile(const QString &fileName);

// Encodes the raster (any layout; it is taken as 24-bit colour) as a baseline JPEG.
// An empty raster throws LetrafexError.
QByteArray WriteJpeg(const Raster &raster, int quality = DefaultJpegQuality);

// Writes the raster as a JPEG at quality 90; the file is replaced whole or not at all.
void SaveJpegFile(const QString &fileName, const Raster &raster);
