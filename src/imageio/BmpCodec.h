#pragma once
// Windows bitmap files (BMP): reading every common variant into a Raster that keeps the
// file's pixel layout, and writing a Raster in its own layout.
//
// Read: 1, 2, 4, 8, 16, 24 and 32 bits per pixel (2-bit pictures become 4-bit ones with
// their four colours); RLE4, RLE8 and OS/2's RLE24; bit-field masks (16 and 32 bits, any
// contiguous masks, from the 40-byte header's mask block or a V2..V5 header), channels
// narrower than 8 bits widened by v * 255 / max rounded to nearest; the 12-byte OS/2 core
// header with 3-byte palette entries; bottom-up and top-down rows; short palettes (missing
// entries are black). A damaged file throws LetrafexError.
//
// Transparency is composed over white: the alpha mask of a bit-field file (a V3 to V5
// header, or the 40-byte header's alpha bit fields). An alpha that is 0 in every pixel
// counts as never set, and the colours are shown as stored. The fourth byte of a plain
// (not bit-field) 32-bit file is reserved and never alpha, whatever it holds.
//
// Write: a 40-byte information header, bottom-up rows padded to 4 bytes, 1/4/8 bits with
// their palette, 16 bits as 5-5-5, 24 and 32 bits as blue, green, red (and 0).
#include "core/Errors.h"
#include "core/Raster.h"

#include <QByteArray>
#include <QString>

class QIODevice;

// Decodes a complete BMP file image held in memory. Bytes after the image are ignored.
Raster ReadBmp(const QByteArray &data);

// Reads one BMP file image from the device's current position and leaves the device just
// after it, so images stored back to back can be read one after another. The image ends
// where the file header's size field says; when that field is smaller than the headers,
// colour table and pixel data need (0, say), it ends after the padded pixel rows.
// A device that ends early throws LetrafexError("Stream read error"); a stream that does
// not start with "BM" throws LetrafexError("Bitmap image is not valid").
Raster ReadBmp(QIODevice &device);

// Reads a BMP file; throws LetrafexError when it is missing, unreadable or damaged.
Raster LoadBmpFile(const QString &fileName);

// Encodes the raster as a BMP file image. bitCount 0 writes the raster's own layout;
// 16, 24 or 32 force that layout (any raster can be written so). An empty raster or an
// unsupported bitCount throws LetrafexError.
QByteArray WriteBmp(const Raster &raster, int bitCount = 0);

// Writes the raster in its own layout; the file is replaced whole or not at all.
void SaveBmpFile(const QString &fileName, const Raster &raster);
