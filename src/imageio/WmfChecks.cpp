#include "imageio/WmfChecks.h"

#include "core/MessageText.h"
#include "core/Raster.h"

#include <QList>

#include <cmath>
#include <cstdlib>

namespace metafile {
namespace {

constexpr qsizetype PlaceableSize = 22;
constexpr qsizetype WmfHeaderSize = 18;

// WMF record functions the checks below look at.
enum WmfFunction : quint16 {
    MetaEof = 0x0000,
    MetaSetMapMode = 0x0103,
    MetaSetWindowOrg = 0x020B,
    MetaSetWindowExt = 0x020C,
    MetaSetViewportExt = 0x020E,
    MetaSelectObject = 0x012D,
    MetaDeleteObject = 0x01F0,
    MetaSelectPalette = 0x0234,
    MetaSelectClipRegion = 0x012C,
    MetaInvertRegion = 0x012A,
    MetaPaintRegion = 0x012B,
    MetaFillRegion = 0x0228,
    MetaFrameRegion = 0x0429,
    MetaDibBitBlt = 0x0940,
    MetaDibStretchBlt = 0x0B41,
    MetaSetDibToDev = 0x0D33,
    MetaStretchDib = 0x0F43,
    MetaDibCreatePatternBrush = 0x0142,
};

void checkWmfBitmap(const Bytes &b, qsizetype dib, qsizetype end, int index)
{
    DibLayout layout;
    if (!dibLayout(b, dib, end, layout))
        fail(messageText("Record %1 of the metafile holds a damaged bitmap.").arg(index));
}

// Where the DIB of a bitmap record starts, or 0 for records without one.
qsizetype wmfBitmapOffset(quint16 function, quint32 words)
{
    switch (function) {
    case MetaDibBitBlt:
        return words > 12 ? 22 : 0; // a shorter record carries no bitmap
    case MetaDibStretchBlt:
        return words > 14 ? 26 : 0;
    case MetaStretchDib:
        return 28;
    case MetaSetDibToDev:
        return 24;
    default:
        return 0;
    }
}

// The object-table indices a record names, as parameter word positions.
QList<int> wmfObjectParams(quint16 function)
{
    switch (function) {
    case MetaSelectObject: case MetaDeleteObject: case MetaSelectPalette: case MetaSelectClipRegion:
    case MetaInvertRegion: case MetaPaintRegion:
        return {0};
    case MetaFillRegion: case MetaFrameRegion:
        return {0, 1};
    default:
        return {};
    }
}

} // namespace

bool isWmfHeader(const Bytes &b, qsizetype at)
{
    if (!b.has(at, 6))
        return false;
    const quint16 type = b.u16(at), words = b.u16(at + 2), version = b.u16(at + 4);
    return (type == 1 || type == 2) && words == 9 && (version == 0x0100 || version == 0x0300);
}

bool dibLayout(const Bytes &b, qint64 dib, qint64 end, DibLayout &d)
{
    if (!b.has(dib, 4) || end > b.size || dib + 4 > end)
        return false;
    const quint32 infoSize = b.u32(dib);
    qint64 colours = 0, entrySize = 4;
    if (infoSize == 12) {
        if (dib + 12 > end)
            return false;
        d.width = b.u16(dib + 4);
        d.height = b.u16(dib + 6);
        d.bits = b.u16(dib + 10);
        entrySize = 3;
    } else if (infoSize >= 40 && infoSize <= 124) {
        if (dib + infoSize > end)
            return false;
        d.width = b.i32(dib + 4);
        d.height = std::llabs(qint64(b.i32(dib + 8)));
        d.bits = b.u16(dib + 14);
        d.compression = b.u32(dib + 16);
        colours = b.u32(dib + 32);
    } else {
        return false;
    }
    if (d.width <= 0 || d.height <= 0 || !Raster::sizeAllowed(d.width, d.height))
        return false;
    if (d.bits != 1 && d.bits != 4 && d.bits != 8 && d.bits != 16 && d.bits != 24 && d.bits != 32)
        return false;
    if (colours == 0 && d.bits <= 8)
        colours = qint64(1) << d.bits;
    if (colours > 256)
        return false;
    d.headerBytes = infoSize + colours * entrySize;
    if (d.compression == 3 && infoSize == 40)
        d.headerBytes += 12;
    if (d.compression == 0 || (d.compression == 3 && (d.bits == 16 || d.bits == 32)))
        d.pixelBytes = ((d.width * d.bits + 31) / 32) * 4 * d.height;
    else if (!((d.compression == 1 && d.bits == 8) || (d.compression == 2 && d.bits == 4)))
        return false;
    return d.headerBytes + d.pixelBytes <= end - dib;
}

QSize extentSize(const QSizeF &units)
{
    if (units.width() * units.height() >= 1024.0 * 1024.0)
        return pictureSize(units.width() * PixelsPerInch / 1440, units.height() * PixelsPerInch / 1440);
    return pictureSize(units.width(), units.height());
}

PreparedWmf prepareWmf(const QByteArray &file, bool placeable)
{
    const Bytes b(file);
    PreparedWmf prepared;
    qsizetype start = 0;
    qint64 left = 0, top = 0, right = 0, bottom = 0;
    if (placeable) {
        if (!b.has(0, PlaceableSize))
            fail(messageText("The metafile's placeable header is truncated."));
        left = b.i16(6), top = b.i16(8), right = b.i16(10), bottom = b.i16(12);
        const qint64 inch = b.u16(14);
        if (inch == 0 || right <= left || bottom <= top)
            fail(messageText("The metafile's placeable header has an invalid bounding box."));
        prepared.size = pictureSize((right - left) * PixelsPerInch / inch, (bottom - top) * PixelsPerInch / inch);
        // The player measures placeable pictures in points.
        prepared.units = QSizeF((right - left) * 72.0 / inch, (bottom - top) * 72.0 / inch);
        start = PlaceableSize;
    }
    if (!b.has(start, WmfHeaderSize))
        fail(messageText("The metafile's header is truncated."));
    if (!isWmfHeader(b, start))
        fail(messageText("The metafile's header is damaged."));
    const quint64 fileWords = b.u32(start + 6);
    const quint32 objects = b.u16(start + 10);
    // Writers differ on whether the length counts the placeable header; either is taken.
    if (fileWords < WmfHeaderSize / 2 || fileWords * 2 > quint64(file.size()))
        fail(messageText("The metafile's length field does not match the file."));

    qint64 windowW = 0, windowH = 0, viewportW = 0, viewportH = 0;
    qsizetype scaledModeEnd = 0; // just after the first switch to an isotropic/anisotropic map mode
    quint32 largest = 0;
    qsizetype at = start + WmfHeaderSize;
    for (int index = 1;; ++index) {
        if (!b.has(at, 6))
            fail(messageText("The metafile ends without its end record."));
        const quint32 words = b.u32(at);
        const quint16 function = b.u16(at + 4);
        if (words < 3 || qint64(words) * 2 > file.size() - at)
            fail(messageText("Record %1 of the metafile has an invalid size.").arg(index));
        const qsizetype end = at + qsizetype(words) * 2;
        const qint64 params = words - 3;
        const auto param = [&](int i) { return b.i16(at + 6 + 2 * i); };
        largest = qMax(largest, words);
        if (function == MetaSetMapMode && params >= 1 && scaledModeEnd == 0 && (param(0) == 7 || param(0) == 8))
            scaledModeEnd = end;
        if (function == MetaSetWindowExt && params >= 2 && windowW == 0) {
            windowH = std::abs(param(0));
            windowW = std::abs(param(1));
        }
        if (function == MetaSetViewportExt && params >= 2 && viewportW == 0) {
            viewportH = std::abs(param(0));
            viewportW = std::abs(param(1));
        }
        for (int i : wmfObjectParams(function)) {
            if (i >= params || quint16(param(i)) >= objects)
                fail(messageText("Record %1 of the metafile refers to an object it does not have.").arg(index));
        }
        if (const qsizetype dib = wmfBitmapOffset(function, words))
            checkWmfBitmap(b, at + dib, end, index);
        if (function == MetaDibCreatePatternBrush && params >= 2 && param(0) != 3 /* BS_PATTERN */)
            checkWmfBitmap(b, at + 10, end, index);
        at = end;
        if (function == MetaEof)
            break;
    }

    // Where the picture's area lies in the player's device units. Under the isotropic and
    // anisotropic map modes the window is mapped onto the viewport; without a viewport
    // extent the player would take a square of 1024 units, so the copy gets one the size of
    // the window. Otherwise the player counts logical units from the window origin, or
    // points in placeable pictures.
    // A placeable picture is played as Windows programs play one: in the anisotropic map
    // mode with the bounding box as the window until the records set their own, so that a
    // window they set fills the bounding box whatever its extent, and what is drawn outside
    // it is cut off.
    QByteArray mapMode;
    if (placeable && scaledModeEnd == 0 && windowW > 0 && windowH > 0) {
        mapMode.resize(8 + 10 + 10);
        putU32(mapMode, 0, 4);
        putU16(mapMode, 4, MetaSetMapMode);
        putU16(mapMode, 6, 8 /* MM_ANISOTROPIC */);
        const qint64 window[2][3] = {{MetaSetWindowOrg, top, left},
                                     {MetaSetWindowExt, qMin<qint64>(bottom - top, 0x7FFF), qMin<qint64>(right - left, 0x7FFF)}};
        for (int i = 0; i < 2; ++i) {
            putU32(mapMode, 8 + 10 * i, 5);
            for (int k = 0; k < 3; ++k)
                putU16(mapMode, 12 + 10 * i + 2 * k, quint16(window[i][k]));
        }
        scaledModeEnd = start + WmfHeaderSize;
    }
    QByteArray viewport;
    if (scaledModeEnd && viewportW > 0 && viewportH > 0) {
        prepared.units = QSizeF(viewportW, viewportH);
    } else if (scaledModeEnd && windowW > 0 && windowH > 0) {
        windowW = qMin<qint64>(windowW, 0x7FFF);
        windowH = qMin<qint64>(windowH, 0x7FFF);
        viewport.resize(10);
        putU32(viewport, 0, 5);
        putU16(viewport, 4, MetaSetViewportExt);
        putU16(viewport, 6, quint16(windowH));
        putU16(viewport, 8, quint16(windowW));
        prepared.units = QSizeF(windowW, windowH);
    } else if (!placeable && windowW > 0 && windowH > 0) {
        prepared.units = QSizeF(windowW, windowH);
    }
    if (!placeable && !prepared.units.isEmpty())
        prepared.size = extentSize(prepared.units);

    // The player sizes its buffers from the header, so the header gets the true lengths.
    prepared.data = file.left(at);
    if (!mapMode.isEmpty() || !viewport.isEmpty()) {
        prepared.data.insert(scaledModeEnd, mapMode + viewport);
        at += mapMode.size() + viewport.size();
        largest = qMax<quint32>(largest, 5);
    }
    QByteArray &d = prepared.data;
    putU32(d, start + 6, quint32((at - start) / 2));
    putU32(d, start + 12, largest);
    if (placeable) {
        quint16 sum = 0;
        for (int i = 0; i < 10; ++i)
            sum ^= qFromLittleEndian<quint16>(d.constData() + 2 * i);
        putU16(d, 20, sum);
    }
    return prepared;
}

} // namespace metafile
