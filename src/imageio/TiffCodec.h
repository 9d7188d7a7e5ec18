#pragma once
// TIFF files written and read by the program itself, without a codec library.
//
// Writing gives an uncompressed, single-strip, little-endian file: 1-bit pictures in black
// and white as bilevel (photometric 1), other 1-bit pictures and 4- and 8-bit ones with
// their colour map (components times 257), 16-, 24- and 32-bit pictures as RGB with 8 bits
// per sample. The directory and every block an entry points to start on an even offset.
//
// Reading takes uncompressed bilevel, 4- and 8-bit grey, palette and 8-bit RGB images in
// either byte order and any number of strips. Every image file directory is read in turn
// and the last one read wins; reduced-resolution images and transparency masks are left
// out when the file holds a full-resolution image. Damaged or unsupported contents are
// reported through ShowPlainMessage (core/PlainMessage.h) and leave the picture as the
// last good directory made it; the result is a 24-bit picture.
#include "core/Errors.h"
#include "core/Raster.h"

#include <QByteArray>
#include <QString>

// The whole file for picture; empty when the picture has no pixels. Throws LetrafexError
// when a side exceeds 65535 pixels.
QByteArray WriteTiff(const Raster &picture);

// Writes picture to fileName, replacing the file whole or not at all. Throws LetrafexError
// for an empty picture and when the file cannot be written.
void SaveTiffFile(const QString &fileName, const Raster &picture);

// Reads the file into picture. Bad contents, and a name that is no readable file, show a
// message and return normally; an image wider or higher than 65535 pixels throws
// LetrafexError.
void LoadTiffFile(const QString &fileName, Raster &picture);

// LoadTiffFile for a file held in memory; name stands for the file in messages.
void ReadTiff(const QByteArray &data, Raster &picture, const QString &name = QString());

// Writes a Format_ARGB32 image (straight alpha) as an RGBA file with unassociated alpha,
// replacing the file whole or not at all. Throws LetrafexError for an empty or oversized
// picture and when the file cannot be written.
class QImage;
void SaveTiffRgbaFile(const QString &fileName, const QImage &pixels);
