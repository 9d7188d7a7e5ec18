#pragma once
// PNG reading and writing through libpng.
//
// Reading composes the file's pixels onto what the picture showed before (transparent
// pixels let the old picture through) and leaves a 24-bit picture of the file's size.
// Writing produces an 8-bit RGB file, or RGBA when a colour key marks one colour as
// fully transparent. No function shows a message: failures return false, the writers
// hand the failure's text, naming the file and the reason, to the caller who asks for it,
// and a failed read keeps its reason for PngLastError().
#include "core/Color.h"

class QByteArray;
class QImage;
class QString;
class Raster;

// Reads the PNG file into picture. False when the file cannot be opened or decoded; the
// picture is then left exactly as it was.
bool LoadPngFile(const QString &fileName, Raster &picture);

// The same as LoadPngFile for a PNG held in memory.
bool ReadPng(const QByteArray &data, Raster &picture);

// Why the last read failed (libpng's text, or the system's reason the file could not be
// opened); empty after a read that succeeded.
QString PngLastError();

// Writes picture as an 8-bit PNG. colorKey clNone gives colour type 2 (RGB); any other
// value gives colour type 6 (RGBA) where pixels whose colour equals the key's low 24 bits
// get alpha 0 and all others alpha 255. The file is replaced only when the whole PNG was
// written; on failure an existing file stays untouched and error, when given, gets the
// text naming the file and the reason ("No space left on device", libpng's message).
bool SavePngWriter(const QString &fileName, const Raster &picture, TColor colorKey, QString *error = nullptr);

// SavePngWriter without a colour key: an opaque RGB file.
bool SavePngFile(const QString &fileName, const Raster &picture, QString *error = nullptr);

// Writes a Format_ARGB32 image (straight alpha) as an 8-bit RGBA PNG, whole or not at all.
bool SavePngRgba(const QString &fileName, const QImage &pixels, QString *error = nullptr);
