#pragma once
// Checking old-style metafiles before libwmflite sees them: the header, every record's
// size, the object indices and embedded bitmaps, and the picture's own size.
#include "imageio/MetafileInternal.h"

#include <QByteArray>
#include <QSize>
#include <QSizeF>

namespace metafile {

struct PreparedWmf
{
    QByteArray data; // placeable header (if any), standard header made exact, records to META_EOF
    QSize size;
    QSizeF units;    // the picture's extent in the player's device units; empty: take what it draws
};

// Whether a standard metafile header starts at byte at.
bool isWmfHeader(const Bytes &b, qsizetype at);

// Checks the metafile and makes the copy the player gets; throws LetrafexError for a
// damaged one. When units is left empty the player measures what the picture draws.
PreparedWmf prepareWmf(const QByteArray &file, bool placeable);

// The size of a picture without the placeable header from its extent in logical units:
// one unit a pixel, except that extents of a million square units or more are taken as
// twips (1440 an inch), as libwmf does.
QSize extentSize(const QSizeF &units);

// What a DIB's header says, as far as the checks and the decoder need it.
struct DibLayout
{
    qint64 width = 0, height = 0, bits = 0, compression = 0;
    qint64 headerBytes = 0; // information header, colour masks and colour table
    qint64 pixelBytes = 0;  // rows of an uncompressed bitmap; 0 for run-length encoded ones
};

// Reads the header of the DIB at byte dib, whose bytes end at byte end. False for a DIB
// that is damaged, beyond the limits, or of a kind the decoder does not draw.
bool dibLayout(const Bytes &b, qint64 dib, qint64 end, DibLayout &d);

} // namespace metafile
