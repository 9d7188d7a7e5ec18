#pragma once
// Constants of the PCX file layout shared by the reader and the writer.
#include <QtGlobal>

namespace pcx {

constexpr qint64 HeaderSize = 128;
constexpr qint64 PaletteBytes = 768;
constexpr qint64 TrailerSize = 1 + PaletteBytes; // the marker byte 12, then the 256-colour palette
constexpr int MaxRun = 63;                       // the longest run one pair stands for
constexpr uchar RunFlag = 0xC0;                  // a byte with both top bits set starts a pair

} // namespace pcx
