#pragma once
// ZSoft Paintbrush files (PCX): reading the common layouts into a Raster and writing a
// Raster as a 24-bit file (three 8-bit colour planes, run-length encoded).
//
// Read: 1 bit in 1 plane (black and white), 1 bit in 2 to 4 planes (16 colours from the
// header palette, or the fixed default palette in version 3 files), 2 or 4 bits packed in
// 1 plane (4 or 16 colours from the same palettes, leftmost pixel in the top bits; read as
// a 4-bit picture), 8 bits in 1 plane (the
// 256-colour palette at the end of the file) and 8 bits in 3 planes (24-bit colour). Other
// layouts the header allows give a white 24-bit picture of the file's size. Palettes keep
// the file's 8 bits, so colours read back exactly as stored. The rows are run-length
// encoded, except in files whose encoding byte is 0, where they are stored raw.
//
// Bad contents never throw and never show anything: the reader keeps a last-error text
// (PcxLastError) and leaves the picture as it was. A file that cannot be opened or read
// throws LetrafexError.
#include "core/Errors.h"
#include "core/Raster.h"

#include <QByteArray>
#include <QString>

// Reads the PCX file into picture. True when the file's pixels were decoded. False when the
// contents are bad (the picture is then unchanged) or the layout is one this reader does not
// decode (the picture is then white, of the file's size); PcxLastError says which.
// Throws LetrafexError when the file cannot be opened or read.
bool LoadPcxFile(const QString &fileName, Raster &picture);

// LoadPcxFile for a PCX file held in memory.
bool ReadPcx(const QByteArray &data, Raster &picture);

// Why the last read failed; empty when it succeeded. Kept for inspection, never shown.
QString PcxLastError();

// The PCX writer. kind 4, the only kind there is, writes 8 bits in three planes (red,
// green, blue) whatever the picture's layout, followed by the picture's palette (all zero
// for a picture without one). The file is replaced whole or not at all; an empty picture,
// another kind or a failed write throws LetrafexError.
void SavePcxWriter(const QString &fileName, const Raster &picture, int kind);

// SavePcxWriter with kind 4.
void SavePcxFile(const QString &fileName, const Raster &picture);

// The bytes SavePcxFile writes.
QByteArray WritePcx(const Raster &picture);
