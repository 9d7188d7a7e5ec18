#pragma once
// Truevision TGA files, read and written without a codec library.
//
// Read: image types 1, 2, 3 (colour-mapped, true-colour, grey) and their run-length forms
// 9, 10, 11; pixel depths 1, 4, 8, 16, 24 and 32; colour maps of 15-, 16-, 24- and 32-bit
// entries (maps of other entry sizes are skipped and leave their entries black); bottom-up
// and top-down rows and right-to-left rows. Depths 1, 4 and 8 give an indexed picture, 16,
// 24 and 32 a 24-bit one. Colours keep every bit the file stores: 24- and 32-bit map entries
// and the grey ramp of an 8-bit picture without a map come through exactly, 5-bit
// components are multiplied by 8 (31 gives 248). Run-length packets may run on into the
// next row.
//
// Transparency is composed over white: the alpha of 32-bit map entries, and the alpha byte
// of 32-bit and 16-bit grey pixels when the descriptor declares attribute bits (without
// them that byte is ignored). An alpha that is 0 everywhere counts as never set, and the
// colours are shown as stored.
//
// Bad contents never throw: the read stops, keeps an error text that TgaLastError()
// returns, sets the picture to 1 x 1 and returns false. Only a file that cannot be opened
// or read throws LetrafexError.
//
// Write: uncompressed 24-bit true-colour (type 2), a 46-byte image ID, rows from the top
// (descriptor 0x20), no colour map, no footer.
#include "core/Errors.h"
#include "core/Raster.h"

#include <QByteArray>
#include <QString>

// Reads the TGA file into picture. True when the file was decoded; false when its contents
// are bad (see TgaLastError()). Throws LetrafexError when the file cannot be opened or read.
bool LoadTgaFile(const QString &fileName, Raster &picture);

// The same as LoadTgaFile for a TGA file image held in memory. Bytes after the pixel data
// are ignored.
bool ReadTga(const QByteArray &data, Raster &picture);

// The error text of the last read: empty after a read that succeeded.
QString TgaLastError();

// Encodes picture as an uncompressed 24-bit TGA file image. An empty picture throws
// LetrafexError.
QByteArray WriteTga(const Raster &picture);

// Writes picture as an uncompressed 24-bit TGA file; the file is replaced whole or not at
// all. Throws LetrafexError when the picture is empty or the file cannot be written.
void SaveTgaFile(const QString &fileName, const Raster &picture);
