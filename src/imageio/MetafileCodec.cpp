#include "imageio/MetafileCodec.h"

#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>
#include <QStringDecoder>
#include <QSvgRenderer>
#include <QXmlStreamReader>
#include <QtEndian>

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <unordered_map>

extern "C" {
#include <emf2svg.h>
#include <libwmf/api.h>
#include <libwmf/ipa.h>
#include <uemf.h>
#include <uemf_safe.h>
}

// libemf2svg looks glyph-index text up through fontconfig and then calls FcFini(), which
// tears down the caches Qt's font database still holds: fontconfig then aborts on an
// assertion, or Qt reads freed memory, the next time a font is looked up. Defined here,
// in the executable, this no-op takes the place of fontconfig's FcFini for every caller.
// Nothing in the program needs fontconfig released before the process ends.
extern "C" void FcFini(void) {}

namespace {

constexpr quint32 EmfSignature = 0x464D4520; // " EMF"
constexpr quint32 PlaceableKey = 0x9AC6CDD7;
constexpr qsizetype EmfBaseHeaderSize = 88;  // up to and including szlMillimeters
constexpr qsizetype EmfHeaderSize = 108;     // with the pixel-format and micrometre fields
constexpr qsizetype PlaceableSize = 22;
constexpr qsizetype WmfHeaderSize = 18;
constexpr double PixelsPerInch = 96.0;
constexpr double HundredthMmPerInch = 2540.0;
// Coordinates handed to the converters stay well inside 32 bits after scaling.
constexpr double CoordinateLimit = 1 << 30;

[[noreturn]] void fail(const QString &text) { throw LetrafexError(text); }

// A byte range with little-endian readers; callers check the range with has() first.
struct Bytes
{
    const uchar *p = nullptr;
    qsizetype size = 0;

    explicit Bytes(const QByteArray &data) : p(reinterpret_cast<const uchar *>(data.constData())), size(data.size()) {}
    Bytes(const uchar *data, qsizetype length) : p(data), size(length) {}
    bool has(qint64 at, qint64 length) const { return at >= 0 && length >= 0 && at <= size && length <= size - at; }
    quint16 u16(qsizetype at) const { return qFromLittleEndian<quint16>(p + at); }
    qint16 i16(qsizetype at) const { return qFromLittleEndian<qint16>(p + at); }
    quint32 u32(qsizetype at) const { return qFromLittleEndian<quint32>(p + at); }
    qint32 i32(qsizetype at) const { return qFromLittleEndian<qint32>(p + at); }
};

void putU16(QByteArray &data, qsizetype at, quint16 v) { qToLittleEndian(v, data.data() + at); }
void putU32(QByteArray &data, qsizetype at, quint32 v) { qToLittleEndian(v, data.data() + at); }
void putI32(QByteArray &data, qsizetype at, qint32 v) { qToLittleEndian(v, data.data() + at); }

enum class MetafileKind { Enhanced, Placeable, Standard };

bool isWmfHeader(const Bytes &b, qsizetype at)
{
    if (!b.has(at, 6))
        return false;
    const quint16 type = b.u16(at), words = b.u16(at + 2), version = b.u16(at + 4);
    return (type == 1 || type == 2) && words == 9 && (version == 0x0100 || version == 0x0300);
}

MetafileKind kindOf(const QByteArray &data)
{
    const Bytes b(data);
    if (b.has(0, 4) && b.u32(0) == U_EMR_HEADER)
        return MetafileKind::Enhanced;
    if (b.has(0, 4) && b.u32(0) == PlaceableKey)
        return MetafileKind::Placeable;
    if (isWmfHeader(b, 0))
        return MetafileKind::Standard;
    fail(QStringLiteral("The file is not a metafile."));
}

// The picture's own size checked against the program's limits.
QSize pictureSize(double width, double height)
{
    if (!std::isfinite(width) || !std::isfinite(height) || width > Raster::MaxSide || height > Raster::MaxSide)
        fail(QStringLiteral("The metafile's size is beyond the limits of %1 pixels a side.").arg(Raster::MaxSide));
    const QSize size(qMax(1, qRound(width)), qMax(1, qRound(height)));
    if (!Raster::sizeAllowed(size.width(), size.height()))
        fail(QStringLiteral("The metafile's size of %1 x %2 pixels is beyond the limits.")
                 .arg(size.width()).arg(size.height()));
    return size;
}

// The converter copies text and font names from the metafile into the SVG without escaping
// them, so a metafile can smuggle in markup. The renderer would follow references to files
// (and block on a pipe), so only embedded PNG and JPEG images and references inside the
// document pass, and no document type declarations (entities) at all.
void checkSvgReferences(const QByteArray &svg)
{
    QXmlStreamReader xml(svg);
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::DTD || token == QXmlStreamReader::EntityReference)
            fail(QStringLiteral("The metafile contains text that cannot be drawn safely."));
        if (token != QXmlStreamReader::StartElement)
            continue;
        for (const QXmlStreamAttribute &attribute : xml.attributes()) {
            if (attribute.name() != u"href")
                continue;
            const QStringView value = attribute.value().trimmed();
            if (!value.startsWith(u'#') && !value.startsWith(u"data:image/png;") &&
                !value.startsWith(u"data:image/jpeg;"))
                fail(QStringLiteral("The metafile refers to other files, which are not drawn."));
        }
    }
    if (xml.hasError())
        fail(QStringLiteral("The metafile could not be drawn."));
}

// Draws the converted picture over the rectangle (0, 0, size) of the picture. The SVG is
// checked before the picture is touched.
void paintSvg(const QByteArray &svg, const QSize &size, Raster &picture)
{
    checkSvgReferences(svg);
    QSvgRenderer renderer(svg);
    if (!renderer.isValid())
        fail(QStringLiteral("The metafile could not be drawn."));
    if (picture.isEmpty())
        return;
    QPainter painter(&picture.paintable());
    renderer.render(&painter, QRectF(0, 0, size.width(), size.height()));
}

// ---------------------------------------------------------------------------------------
// Enhanced metafiles

struct EmfRect
{
    qint64 left, top, right, bottom;
};

EmfRect rectAt(const Bytes &b, qsizetype at) { return {b.i32(at), b.i32(at + 4), b.i32(at + 8), b.i32(at + 12)}; }

// Checks an embedded DIB's header: where it lies, and a size the converter can afford.
void checkEmfBitmap(const Bytes &b, qsizetype record, quint32 recordSize, qsizetype offField, qsizetype cbField,
                    int index)
{
    const quint32 off = b.u32(record + offField), cb = b.u32(record + cbField);
    if (cb == 0)
        return;
    const auto bad = [index] {
        fail(QStringLiteral("Record %1 of the enhanced metafile holds a damaged bitmap.").arg(index));
    };
    if (off < 8 || cb < 12 || qint64(off) + cb > recordSize)
        bad();
    const qsizetype at = record + off;
    const quint32 infoSize = b.u32(at);
    qint64 width = 0, height = 0;
    if (infoSize == 12) {
        width = b.u16(at + 4);
        height = b.u16(at + 6);
    } else if (infoSize >= 40 && infoSize <= cb) {
        width = b.i32(at + 4);
        height = std::llabs(qint64(b.i32(at + 8)));
    } else {
        bad();
    }
    if (width <= 0 || height <= 0 || !Raster::sizeAllowed(width, height))
        bad();
}

// Records that name an object in the metafile's object table: where the index lies, and
// whether the record creates the object (stock objects, flagged by the top bit, can only
// be selected or deleted).
struct ObjectField
{
    quint32 type;
    qsizetype offset;
    bool creates;
};

const ObjectField ObjectFields[] = {
    {U_EMR_SELECTOBJECT, offsetof(U_EMRSELECTOBJECT, ihObject), false},
    {U_EMR_DELETEOBJECT, offsetof(U_EMRDELETEOBJECT, ihObject), false},
    {U_EMR_CREATEPEN, offsetof(U_EMRCREATEPEN, ihPen), true},
    {U_EMR_CREATEBRUSHINDIRECT, offsetof(U_EMRCREATEBRUSHINDIRECT, ihBrush), true},
    {U_EMR_SELECTPALETTE, offsetof(U_EMRSELECTPALETTE, ihPal), false},
    {U_EMR_CREATEPALETTE, offsetof(U_EMRCREATEPALETTE, ihPal), true},
    {U_EMR_SETPALETTEENTRIES, offsetof(U_EMRSETPALETTEENTRIES, ihPal), false},
    {U_EMR_RESIZEPALETTE, offsetof(U_EMRRESIZEPALETTE, ihPal), false},
    {U_EMR_FILLRGN, offsetof(U_EMRFILLRGN, ihBrush), false},
    {U_EMR_FRAMERGN, offsetof(U_EMRFRAMERGN, ihBrush), false},
    {U_EMR_EXTCREATEFONTINDIRECTW, offsetof(U_EMREXTCREATEFONTINDIRECTW, ihFont), true},
    {U_EMR_CREATEMONOBRUSH, offsetof(U_EMRCREATEMONOBRUSH, ihBrush), true},
    {U_EMR_CREATEDIBPATTERNBRUSHPT, offsetof(U_EMRCREATEDIBPATTERNBRUSHPT, ihBrush), true},
    {U_EMR_EXTCREATEPEN, offsetof(U_EMREXTCREATEPEN, ihPen), true},
    {U_EMR_CREATECOLORSPACE, offsetof(U_EMRCREATECOLORSPACE, ihCS), true},
    {U_EMR_SETCOLORSPACE, offsetof(U_EMRSETCOLORSPACE, ihCS), false},
    {U_EMR_DELETECOLORSPACE, offsetof(U_EMRDELETECOLORSPACE, ihCS), false},
    {U_EMR_CREATECOLORSPACEW, offsetof(U_EMRCREATECOLORSPACEW, ihCS), true},
};

struct BitmapFields
{
    quint32 type;
    qsizetype off, cb;
};

const BitmapFields BitmapFieldTable[] = {
    {U_EMR_BITBLT, offsetof(U_EMRBITBLT, offBmiSrc), offsetof(U_EMRBITBLT, cbBmiSrc)},
    {U_EMR_STRETCHBLT, offsetof(U_EMRSTRETCHBLT, offBmiSrc), offsetof(U_EMRSTRETCHBLT, cbBmiSrc)},
    {U_EMR_MASKBLT, offsetof(U_EMRMASKBLT, offBmiSrc), offsetof(U_EMRMASKBLT, cbBmiSrc)},
    {U_EMR_MASKBLT, offsetof(U_EMRMASKBLT, offBmiMask), offsetof(U_EMRMASKBLT, cbBmiMask)},
    {U_EMR_PLGBLT, offsetof(U_EMRPLGBLT, offBmiSrc), offsetof(U_EMRPLGBLT, cbBmiSrc)},
    {U_EMR_PLGBLT, offsetof(U_EMRPLGBLT, offBmiMask), offsetof(U_EMRPLGBLT, cbBmiMask)},
    {U_EMR_SETDIBITSTODEVICE, offsetof(U_EMRSETDIBITSTODEVICE, offBmiSrc), offsetof(U_EMRSETDIBITSTODEVICE, cbBmiSrc)},
    {U_EMR_STRETCHDIBITS, offsetof(U_EMRSTRETCHDIBITS, offBmiSrc), offsetof(U_EMRSTRETCHDIBITS, cbBmiSrc)},
    {U_EMR_CREATEMONOBRUSH, offsetof(U_EMRCREATEMONOBRUSH, offBmi), offsetof(U_EMRCREATEMONOBRUSH, cbBmi)},
    {U_EMR_CREATEDIBPATTERNBRUSHPT, offsetof(U_EMRCREATEDIBPATTERNBRUSHPT, offBmi),
     offsetof(U_EMRCREATEDIBPATTERNBRUSHPT, cbBmi)},
    {U_EMR_EXTCREATEPEN, offsetof(U_EMREXTCREATEPEN, offBmi), offsetof(U_EMREXTCREATEPEN, cbBmi)},
    {U_EMR_ALPHABLEND, offsetof(U_EMRALPHABLEND, offBmiSrc), offsetof(U_EMRALPHABLEND, cbBmiSrc)},
    {U_EMR_TRANSPARENTBLT, offsetof(U_EMRTRANSPARENTBLT, offBmiSrc), offsetof(U_EMRTRANSPARENTBLT, cbBmiSrc)},
};

// Record types libUEMF has no check for: escapes, OpenGL, colour profiles, text
// justification, the undefined numbers. The converter draws none of them either, so they
// are turned into records without parameters before it sees them.
bool uncheckedType(quint32 type)
{
    switch (type) {
    case U_EMR_UNDEF69: case U_EMR_POLYTEXTOUTA: case U_EMR_POLYTEXTOUTW: case U_EMR_GLSRECORD: case U_EMR_GLSBOUNDEDRECORD:
    case U_EMR_DRAWESCAPE: case U_EMR_EXTESCAPE: case U_EMR_UNDEF107: case U_EMR_FORCEUFIMAPPING: case U_EMR_NAMEDESCAPE:
    case U_EMR_COLORCORRECTPALETTE: case U_EMR_SETICMPROFILEA: case U_EMR_SETICMPROFILEW: case U_EMR_UNDEF117:
    case U_EMR_SETLINKEDUFIS: case U_EMR_SETTEXTJUSTIFICATION: case U_EMR_COLORMATCHTOTARGETW:
        return true;
    default:
        return false;
    }
}

void checkEmfRecord(const Bytes &b, qsizetype at, quint32 type, quint32 size, quint32 handles, int index)
{
    const auto damaged = [index] {
        fail(QStringLiteral("Record %1 of the enhanced metafile is damaged.").arg(index));
    };
    for (const ObjectField &field : ObjectFields) {
        if (field.type != type)
            continue;
        if (qint64(field.offset) + 4 > size)
            damaged();
        const quint32 object = b.u32(at + field.offset);
        const bool stock = (object & 0x80000000u) != 0;
        if ((stock && field.creates) || (!stock && object > handles))
            fail(QStringLiteral("Record %1 of the enhanced metafile refers to object %2 of a table of %3.")
                     .arg(index).arg(object).arg(handles));
    }
    for (const BitmapFields &field : BitmapFieldTable) {
        if (field.type != type)
            continue;
        if (qint64(qMax(field.off, field.cb)) + 4 > size)
            damaged();
        checkEmfBitmap(b, at, size, field.off, field.cb, index);
    }
    // libUEMF's own check of a record's fields against its size (counts, offsets, bitmaps).
    if (!uncheckedType(type) && !U_emf_record_safe(reinterpret_cast<const char *>(b.p + at)))
        damaged();
}

struct PreparedEmf
{
    QByteArray data; // header made safe for the converter, records up to EMR_EOF
    QSize size;
};

// Reference device resolution in device pixels per 0.01 mm; 96 per inch when the header
// gives none that makes sense.
void deviceResolution(const Bytes &b, qsizetype headerSize, double &perX, double &perY)
{
    perX = perY = PixelsPerInch / HundredthMmPerInch;
    const qint64 px = b.i32(72), py = b.i32(76);
    double mmX = b.i32(80) * 100.0, mmY = b.i32(84) * 100.0;
    if (headerSize >= EmfHeaderSize && b.i32(100) > 0 && b.i32(104) > 0) {
        mmX = b.i32(100) / 10.0;
        mmY = b.i32(104) / 10.0;
    }
    if (px <= 0 || py <= 0 || mmX <= 0 || mmY <= 0)
        return;
    const double rx = px / mmX, ry = py / mmY;
    // From 10 to 100,000 pixels per inch.
    const double low = 10 / HundredthMmPerInch, high = 100000 / HundredthMmPerInch;
    if (rx >= low && rx <= high && ry >= low && ry <= high) {
        perX = rx;
        perY = ry;
    }
}

PreparedEmf prepareEmf(const QByteArray &file)
{
    const Bytes b(file);
    if (!b.has(0, EmfBaseHeaderSize))
        fail(QStringLiteral("The enhanced metafile's header is truncated."));
    if (b.u32(40) != EmfSignature)
        fail(QStringLiteral("The enhanced metafile's signature is missing."));
    const quint32 headerSize = b.u32(4);
    if (headerSize < EmfBaseHeaderSize || headerSize % 4 != 0 || headerSize > quint64(file.size()))
        fail(QStringLiteral("The enhanced metafile's header has an invalid size."));
    const quint32 totalBytes = b.u32(48);
    if (totalBytes < headerSize || totalBytes > quint64(file.size()))
        fail(QStringLiteral("The enhanced metafile's length field does not match the file."));
    const quint32 handles = b.u16(56);

    double perX, perY;
    deviceResolution(b, headerSize, perX, perY);
    // The picture's area in device pixels: the frame, or else the bounds.
    const EmfRect bounds = rectAt(b, 8), frame = rectAt(b, 24);
    double left, top, width, height;
    if (frame.right > frame.left && frame.bottom > frame.top) {
        left = std::floor(frame.left * perX);
        top = std::floor(frame.top * perY);
        width = (frame.right - frame.left) * perX;
        height = (frame.bottom - frame.top) * perY;
    } else if (bounds.right >= bounds.left && bounds.bottom >= bounds.top) {
        left = bounds.left;
        top = bounds.top;
        width = bounds.right - bounds.left + 1.0;
        height = bounds.bottom - bounds.top + 1.0;
    } else {
        fail(QStringLiteral("The enhanced metafile's bounds are invalid."));
    }
    PreparedEmf prepared;
    prepared.size = pictureSize(width / (perX * HundredthMmPerInch) * PixelsPerInch,
                                height / (perY * HundredthMmPerInch) * PixelsPerInch);
    width = qMax(1.0, std::round(width));
    height = qMax(1.0, std::round(height));
    if (std::fabs(left) + width > CoordinateLimit || std::fabs(top) + height > CoordinateLimit)
        fail(QStringLiteral("The enhanced metafile's bounds are invalid."));

    qsizetype at = headerSize;
    QList<qsizetype> unchecked;
    for (int index = 2;; ++index) {
        if (!b.has(at, 8) || at + 8 > qsizetype(totalBytes))
            fail(QStringLiteral("The enhanced metafile ends without its end record."));
        const quint32 type = b.u32(at), size = b.u32(at + 4);
        if (size < 8 || size % 4 != 0 || size > totalBytes - at)
            fail(QStringLiteral("Record %1 of the enhanced metafile has an invalid size.").arg(index));
        if (type < U_EMR_MIN || type > U_EMR_MAX || type == U_EMR_HEADER)
            fail(QStringLiteral("Record %1 of the enhanced metafile has an unknown type.").arg(index));
        checkEmfRecord(b, at, type, size, handles, index);
        if (uncheckedType(type))
            unchecked << at;
        at += size;
        if (type == U_EMR_EOF)
            break;
    }

    // The converter sizes its drawing by the bounds and trusts the rest of the header, so
    // it gets the picture's area as bounds and no optional parts.
    prepared.data = file.left(at);
    QByteArray &d = prepared.data;
    putI32(d, 8, qint32(left));
    putI32(d, 12, qint32(top));
    putI32(d, 16, qint32(left + width));
    putI32(d, 20, qint32(top + height));
    putU32(d, 48, quint32(at));
    putU32(d, 60, 0); // nDescription
    putU32(d, 64, 0); // offDescription
    putI32(d, 72, qRound(perX * 100000));
    putI32(d, 76, qRound(perY * 100000));
    putI32(d, 80, 1000);
    putI32(d, 84, 1000);
    if (headerSize >= 100) {
        putU32(d, 88, 0); // cbPixelFormat
        putU32(d, 92, 0); // offPixelFormat
        putU32(d, 96, 0); // bOpenGL
    }
    if (headerSize >= EmfHeaderSize) {
        putI32(d, 100, 1000000);
        putI32(d, 104, 1000000);
    }
    for (qsizetype record : unchecked)
        putU32(d, record, U_EMR_REALIZEPALETTE);
    return prepared;
}

QByteArray emfToSvg(QByteArray &data)
{
    generatorOptions options{};
    char noNameSpace[] = "";
    options.nameSpace = noNameSpace;
    options.verbose = false;
    options.emfplus = false; // EMF+ comments are skipped; the EMF records carry the picture
    options.svgDelimiter = true;
    char *out = nullptr;
    size_t outLength = 0;
    const int ok = emf2svg(data.data(), size_t(data.size()), &out, &outLength, &options);
    QByteArray svg;
    if (out) {
        svg = QByteArray(out, qsizetype(outLength));
        std::free(out);
    }
    if (!ok || svg.isEmpty())
        fail(QStringLiteral("The enhanced metafile could not be converted for drawing."));
    return svg;
}

// ---------------------------------------------------------------------------------------
// Old-style metafiles

// WMF record functions the checks below look at.
enum WmfFunction : quint16 {
    MetaEof = 0x0000,
    MetaSetMapMode = 0x0103,
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

// What a DIB's header says, as far as the checks and the decoder need it.
struct DibLayout
{
    qint64 width = 0, height = 0, bits = 0, compression = 0;
    qint64 headerBytes = 0; // information header, colour masks and colour table
    qint64 pixelBytes = 0;  // rows of an uncompressed bitmap; 0 for run-length encoded ones
};

// Reads the header of the DIB at byte dib, whose bytes end at byte end. False for a DIB
// that is damaged, beyond the limits, or of a kind the decoder does not draw.
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

void checkWmfBitmap(const Bytes &b, qsizetype dib, qsizetype end, int index)
{
    DibLayout layout;
    if (!dibLayout(b, dib, end, layout))
        fail(QStringLiteral("Record %1 of the metafile holds a damaged bitmap.").arg(index));
}

struct PreparedWmf
{
    QByteArray data; // placeable header (if any), standard header made exact, records to META_EOF
    QSize size;
    QSizeF units;    // the picture's extent in the player's device units; empty: take what it draws
};

// The size of a picture without the placeable header from its extent in logical units:
// one unit a pixel, except that extents of a million square units or more are taken as
// twips (1440 an inch), as libwmf does.
QSize extentSize(const QSizeF &units)
{
    if (units.width() * units.height() >= 1024.0 * 1024.0)
        return pictureSize(units.width() * PixelsPerInch / 1440, units.height() * PixelsPerInch / 1440);
    return pictureSize(units.width(), units.height());
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

PreparedWmf prepareWmf(const QByteArray &file, bool placeable)
{
    const Bytes b(file);
    PreparedWmf prepared;
    qsizetype start = 0;
    if (placeable) {
        if (!b.has(0, PlaceableSize))
            fail(QStringLiteral("The metafile's placeable header is truncated."));
        const qint64 left = b.i16(6), top = b.i16(8), right = b.i16(10), bottom = b.i16(12);
        const qint64 inch = b.u16(14);
        if (inch == 0 || right <= left || bottom <= top)
            fail(QStringLiteral("The metafile's placeable header has an invalid bounding box."));
        prepared.size = pictureSize((right - left) * PixelsPerInch / inch, (bottom - top) * PixelsPerInch / inch);
        // The player measures placeable pictures in points.
        prepared.units = QSizeF((right - left) * 72.0 / inch, (bottom - top) * 72.0 / inch);
        start = PlaceableSize;
    }
    if (!b.has(start, WmfHeaderSize))
        fail(QStringLiteral("The metafile's header is truncated."));
    if (!isWmfHeader(b, start))
        fail(QStringLiteral("The metafile's header is damaged."));
    const quint64 fileWords = b.u32(start + 6);
    const quint32 objects = b.u16(start + 10);
    if (fileWords < WmfHeaderSize / 2 || fileWords * 2 > quint64(file.size() - start))
        fail(QStringLiteral("The metafile's length field does not match the file."));

    qint64 windowW = 0, windowH = 0, viewportW = 0, viewportH = 0;
    qsizetype scaledModeEnd = 0; // just after the first switch to an isotropic/anisotropic map mode
    quint32 largest = 0;
    qsizetype at = start + WmfHeaderSize;
    for (int index = 1;; ++index) {
        if (!b.has(at, 6))
            fail(QStringLiteral("The metafile ends without its end record."));
        const quint32 words = b.u32(at);
        const quint16 function = b.u16(at + 4);
        if (words < 3 || qint64(words) * 2 > file.size() - at)
            fail(QStringLiteral("Record %1 of the metafile has an invalid size.").arg(index));
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
                fail(QStringLiteral("Record %1 of the metafile refers to an object it does not have.").arg(index));
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
    if (!viewport.isEmpty()) {
        prepared.data.insert(scaledModeEnd, viewport);
        at += viewport.size();
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

// ---------------------------------------------------------------------------------------
// Playing old-style metafiles: libwmflite interprets the records (mapping modes, object
// table, saved states, clipping regions) and reports each drawing call, in its device
// units, to this device layer, which paints it with QPainter onto a copy of the picture.

constexpr quint16 BrushNull = 1, BrushHatched = 2;
constexpr quint16 PenNull = 5;
constexpr quint16 BackgroundOpaque = 2;
constexpr quint16 FillWinding = 2;
constexpr quint16 TextOpaque = 0x0002, TextClipped = 0x0004;
constexpr quint32 RopSrcPaint = 0x00EE0086, RopSrcAnd = 0x008800C6, RopSrcInvert = 0x00660046,
                  RopNotSrcCopy = 0x00330008, RopPatCopy = 0x00F00021, RopPatInvert = 0x005A0049,
                  RopDstInvert = 0x00550009, RopBlackness = 0x00000042, RopWhiteness = 0x00FF0062;
// Text beyond this many pixels high is not drawn: nothing that large fits a picture.
constexpr double MaxTextPixels = 4 * Raster::MaxSide;

struct WmfCanvas
{
    QPainter *painter = nullptr; // only while playing
    double scaleY = 1;           // device units to pixels, for font sizes
    // Decoded DIBs by the handle the player keeps; their bytes stay within the limits.
    std::unordered_map<const void *, std::unique_ptr<QImage>> bitmaps;
    qint64 bitmapBytes = 0;
    bool tooLarge = false;
};

WmfCanvas &canvasOf(wmfAPI *api) { return **static_cast<WmfCanvas **>(api->device_data); }

QColor colorOf(const wmfRGB &c) { return QColor(c.r, c.g, c.b); }

bool usable(const wmfD_Coord &p)
{
    return std::isfinite(p.x) && std::isfinite(p.y) && std::fabs(p.x) < CoordinateLimit &&
           std::fabs(p.y) < CoordinateLimit;
}

QPointF pointOf(const wmfD_Coord &p) { return {p.x, p.y}; }

QString decodeText(const char *text)
{
    QStringDecoder decoder("windows-1252");
    if (!decoder.isValid())
        return QString::fromLatin1(text);
    return decoder.decode(QByteArrayView(text));
}

QFont fontOf(const wmfFont *f)
{
    QFont font(f && f->lfFaceName && *f->lfFaceName ? decodeText(f->lfFaceName) : QStringLiteral("Arial"));
    if (f) {
        font.setWeight(QFont::Weight(qBound(100, f->lfWeight ? int(f->lfWeight) : 400, 900)));
        font.setItalic(f->lfItalic != 0);
        font.setUnderline(f->lfUnderline != 0);
        font.setStrikeOut(f->lfStrikeOut != 0);
    }
    return font;
}

QPen penOf(const wmfDC *dc)
{
    const wmfPen *pen = dc ? dc->pen : nullptr;
    if (!pen || (pen->lopnStyle & 0x0F) == PenNull)
        return Qt::NoPen;
    QPen qpen(colorOf(pen->lopnColor));
    const double width = (std::fabs(pen->width) + std::fabs(pen->height)) / 2;
    qpen.setWidthF(std::isfinite(width) && width < CoordinateLimit ? width : 0);
    switch (pen->lopnStyle & 0x0F) {
    case 1: qpen.setStyle(Qt::DashLine); break;
    case 2: case 8: qpen.setStyle(Qt::DotLine); break;
    case 3: qpen.setStyle(Qt::DashDotLine); break;
    case 4: qpen.setStyle(Qt::DashDotDotLine); break;
    default: break;
    }
    const quint16 cap = pen->lopnStyle & 0x0F00, join = pen->lopnStyle & 0xF000;
    qpen.setCapStyle(cap == 0x0100 ? Qt::SquareCap : cap == 0x0200 ? Qt::FlatCap : Qt::RoundCap);
    qpen.setJoinStyle(join == 0x1000 ? Qt::BevelJoin : join == 0x2000 ? Qt::MiterJoin : Qt::RoundJoin);
    return qpen;
}

QBrush brushOf(WmfCanvas &c, const wmfBrush *brush)
{
    const QColor color = colorOf(brush->lbColor);
    if (brush->lbStyle == BrushHatched) {
        static const Qt::BrushStyle hatches[] = {Qt::HorPattern, Qt::VerPattern, Qt::FDiagPattern,
                                                 Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
        return QBrush(color, brush->lbHatch < 6 ? hatches[brush->lbHatch] : Qt::SolidPattern);
    }
    if (brush->bmp.data) {
        const auto found = c.bitmaps.find(brush->bmp.data);
        if (found != c.bitmaps.end())
            return QBrush(*found->second);
    }
    return QBrush(color);
}

// The DC's binary raster operation as a composition mode; false when nothing is drawn.
bool applyMix(QPainter &p, quint16 mix)
{
    static const QPainter::CompositionMode modes[] = {
        QPainter::RasterOp_ClearDestination,           // R2_BLACK
        QPainter::RasterOp_NotSourceAndNotDestination, // R2_NOTMERGEPEN
        QPainter::RasterOp_NotSourceAndDestination,    // R2_MASKNOTPEN
        QPainter::RasterOp_NotSource,                  // R2_NOTCOPYPEN
        QPainter::RasterOp_SourceAndNotDestination,    // R2_MASKPENNOT
        QPainter::RasterOp_NotDestination,             // R2_NOT
        QPainter::RasterOp_SourceXorDestination,       // R2_XORPEN
        QPainter::RasterOp_NotSourceOrNotDestination,  // R2_NOTMASKPEN
        QPainter::RasterOp_SourceAndDestination,       // R2_MASKPEN
        QPainter::RasterOp_NotSourceXorDestination,    // R2_NOTXORPEN
        QPainter::CompositionMode_SourceOver,          // R2_NOP (not drawn)
        QPainter::RasterOp_NotSourceOrDestination,     // R2_MERGENOTPEN
        QPainter::CompositionMode_SourceOver,          // R2_COPYPEN
        QPainter::RasterOp_SourceOrNotDestination,     // R2_MERGEPENNOT
        QPainter::RasterOp_SourceOrDestination,        // R2_MERGEPEN
        QPainter::RasterOp_SetDestination,             // R2_WHITE
    };
    if (mix == 11)
        return false;
    if (mix >= 1 && mix <= 16 && mix != 13) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setCompositionMode(modes[mix - 1]);
    }
    return true;
}

void fillPath(WmfCanvas &c, QPainter &p, const wmfDC *dc, const QPainterPath &path)
{
    const wmfBrush *brush = dc->brush;
    if (!brush || brush->lbStyle == BrushNull)
        return;
    if (brush->lbStyle == BrushHatched && dc->bgmode == BackgroundOpaque)
        p.fillPath(path, colorOf(dc->bgcolor));
    p.fillPath(path, brushOf(c, brush));
}

// Fills a shape with the DC's brush (when fill is set) and outlines it with its pen.
void paintPath(wmfAPI *api, const wmfDC *dc, QPainterPath path, bool fill)
{
    WmfCanvas &c = canvasOf(api);
    if (!c.painter || !dc)
        return;
    QPainter &p = *c.painter;
    p.save();
    if (applyMix(p, dc->ROPmode)) {
        path.setFillRule(dc->polyfillmode == FillWinding ? Qt::WindingFill : Qt::OddEvenFill);
        if (fill)
            fillPath(c, p, dc, path);
        const QPen pen = penOf(dc);
        if (pen.style() != Qt::NoPen)
            p.strokePath(path, pen);
    }
    p.restore();
}

QPolygonF polygonOf(const wmfD_Coord *points, unsigned count)
{
    QPolygonF polygon;
    if (!points)
        return polygon;
    polygon.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
        if (!usable(points[i]))
            return {};
        polygon << pointOf(points[i]);
    }
    return polygon;
}

void drawPixel(wmfAPI *api, wmfDrawPixel_t *d)
{
    WmfCanvas &c = canvasOf(api);
    if (c.painter && usable(d->pt))
        c.painter->fillRect(QRectF(pointOf(d->pt), QSizeF(d->pixel_width, d->pixel_height)), colorOf(d->color));
}

enum class ArcKind { Open, Chord, Pie };

void drawArcShape(wmfAPI *api, wmfDrawArc_t *d, ArcKind kind)
{
    if (!usable(d->TL) || !usable(d->BR) || !usable(d->start) || !usable(d->end))
        return;
    const QRectF box = QRectF(pointOf(d->TL), pointOf(d->BR)).normalized();
    const double rx = box.width() / 2, ry = box.height() / 2;
    if (rx <= 0 || ry <= 0)
        return;
    // The player gives the radial points relative to the centre, and names the record's
    // end point "start"; GDI arcs run counter-clockwise from the start point to the end point.
    const auto angle = [&](const wmfD_Coord &v) { return qRadiansToDegrees(std::atan2(-v.y / ry, v.x / rx)); };
    const double start = angle(d->end);
    double sweep = angle(d->start) - start;
    if (sweep <= 0)
        sweep += 360;
    QPainterPath path;
    if (kind == ArcKind::Pie)
        path.moveTo(box.center());
    else
        path.arcMoveTo(box, start);
    path.arcTo(box, start, sweep);
    if (kind != ArcKind::Open)
        path.closeSubpath();
    paintPath(api, d->dc, path, kind != ArcKind::Open);
}

void drawPie(wmfAPI *api, wmfDrawArc_t *d) { drawArcShape(api, d, ArcKind::Pie); }
void drawChord(wmfAPI *api, wmfDrawArc_t *d) { drawArcShape(api, d, ArcKind::Chord); }
void drawArc(wmfAPI *api, wmfDrawArc_t *d) { drawArcShape(api, d, ArcKind::Open); }

void drawEllipse(wmfAPI *api, wmfDrawArc_t *d)
{
    if (!usable(d->TL) || !usable(d->BR))
        return;
    QPainterPath path;
    path.addEllipse(QRectF(pointOf(d->TL), pointOf(d->BR)).normalized());
    paintPath(api, d->dc, path, true);
}

void drawLine(wmfAPI *api, wmfDrawLine_t *d)
{
    if (!usable(d->from) || !usable(d->to))
        return;
    QPainterPath path(pointOf(d->from));
    path.lineTo(pointOf(d->to));
    paintPath(api, d->dc, path, false);
}

void drawPolyline(wmfAPI *api, wmfPolyLine_t *d)
{
    QPainterPath path;
    path.addPolygon(polygonOf(d->pt, d->count));
    paintPath(api, d->dc, path, false);
}

void drawPolygon(wmfAPI *api, wmfPolyLine_t *d)
{
    QPainterPath path;
    path.addPolygon(polygonOf(d->pt, d->count));
    path.closeSubpath();
    paintPath(api, d->dc, path, true);
}

void drawPolyPolygon(wmfAPI *api, wmfPolyPoly_t *d)
{
    if (!d->pt || !d->count)
        return;
    QPainterPath path;
    for (unsigned i = 0; i < d->npoly; ++i) {
        path.addPolygon(polygonOf(d->pt[i], d->count[i]));
        path.closeSubpath();
    }
    paintPath(api, d->dc, path, true);
}

void drawRectangle(wmfAPI *api, wmfDrawRectangle_t *d)
{
    if (!usable(d->TL) || !usable(d->BR))
        return;
    const QRectF box = QRectF(pointOf(d->TL), pointOf(d->BR)).normalized();
    QPainterPath path;
    if (d->width > 0 && d->height > 0 && std::isfinite(d->width) && std::isfinite(d->height))
        path.addRoundedRect(box, d->width / 2, d->height / 2);
    else
        path.addRect(box);
    paintPath(api, d->dc, path, true);
}

// Pattern blocks: the few raster operations that use no source bitmap.
void drawRop(wmfAPI *api, wmfROP_Draw_t *d)
{
    WmfCanvas &c = canvasOf(api);
    if (!c.painter || !d->dc || !usable(d->TL) || !usable(d->BR))
        return;
    QPainter &p = *c.painter;
    QPainterPath path;
    path.addRect(QRectF(pointOf(d->TL), pointOf(d->BR)).normalized());
    p.save();
    switch (d->ROP) {
    case RopPatCopy: fillPath(c, p, d->dc, path); break;
    case RopBlackness: p.fillPath(path, Qt::black); break;
    case RopWhiteness: p.fillPath(path, Qt::white); break;
    case RopDstInvert:
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setCompositionMode(QPainter::RasterOp_NotDestination);
        p.fillPath(path, Qt::black);
        break;
    case RopPatInvert:
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        fillPath(c, p, d->dc, path);
        break;
    default: break;
    }
    p.restore();
}

void readBitmap(wmfAPI *api, wmfBMP_Read_t *r)
{
    r->bmp.data = nullptr;
    r->bmp.width = r->bmp.height = 0;
    if (!r->buffer || r->length <= 0)
        return;
    const Bytes b(r->buffer, qsizetype(r->length));
    DibLayout layout;
    if (!dibLayout(b, 0, b.size, layout))
        return;
    WmfCanvas &c = canvasOf(api);
    const qint64 bytes = layout.width * layout.height * 4;
    if (c.bitmapBytes + bytes > Raster::MaxBytes) {
        c.tooLarge = true;
        api->err = wmf_E_InsMem;
        return;
    }
    // A BMP file header in front lets Qt's BMP reader decode the DIB.
    QByteArray file(14, '\0');
    file[0] = 'B';
    file[1] = 'M';
    putU32(file, 2, quint32(14 + b.size));
    putU32(file, 10, quint32(14 + layout.headerBytes));
    file.append(reinterpret_cast<const char *>(r->buffer), b.size);
    auto image = std::make_unique<QImage>();
    if (!image->loadFromData(file, "BMP") || image->isNull() || image->width() > 0xFFFF || image->height() > 0xFFFF)
        return;
    r->bmp.width = quint16(image->width());
    r->bmp.height = quint16(image->height());
    r->bmp.data = image.get();
    c.bitmapBytes += image->sizeInBytes();
    c.bitmaps.emplace(image.get(), std::move(image));
}

void freeBitmap(wmfAPI *api, wmfBMP *bmp)
{
    WmfCanvas &c = canvasOf(api);
    const auto found = c.bitmaps.find(bmp->data);
    if (found != c.bitmaps.end()) {
        c.bitmapBytes -= found->second->sizeInBytes();
        c.bitmaps.erase(found);
    }
    bmp->data = nullptr;
}

void drawBitmap(wmfAPI *api, wmfBMP_Draw_t *d)
{
    WmfCanvas &c = canvasOf(api);
    const auto found = c.bitmaps.find(d->bmp.data);
    if (!c.painter || found == c.bitmaps.end() || !usable(d->pt))
        return;
    const QImage &image = *found->second;
    // Source rectangles are taken from the top row, as the player reports them.
    const QRect source = QRect(d->crop.x, d->crop.y, d->crop.w, d->crop.h) & image.rect();
    const double w = source.width() * std::fabs(d->pixel_width), h = source.height() * std::fabs(d->pixel_height);
    if (source.isEmpty() || !std::isfinite(w) || !std::isfinite(h) || w > CoordinateLimit || h > CoordinateLimit)
        return;
    QPainter &p = *c.painter;
    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
    switch (d->type) {
    case RopSrcAnd: mode = QPainter::RasterOp_SourceAndDestination; break;
    case RopSrcPaint: mode = QPainter::RasterOp_SourceOrDestination; break;
    case RopSrcInvert: mode = QPainter::RasterOp_SourceXorDestination; break;
    case RopNotSrcCopy: mode = QPainter::RasterOp_NotSource; break;
    default: break;
    }
    if (mode != QPainter::CompositionMode_SourceOver)
        p.setRenderHint(QPainter::Antialiasing, false);
    p.setCompositionMode(mode);
    p.drawImage(QRectF(pointOf(d->pt), QSizeF(w, h)), image, source);
    p.restore();
}

void drawText(wmfAPI *api, wmfDrawText_t *t)
{
    WmfCanvas &c = canvasOf(api);
    if (!c.painter || !t->dc || !t->str || !usable(t->pt))
        return;
    const double pixels = std::fabs(t->font_height) * c.scaleY;
    if (!(pixels >= 0.5) || pixels > MaxTextPixels)
        return;
    QFont font = fontOf(t->dc->font);
    font.setPixelSize(qMax(1, qRound(pixels)));
    const QString text = decodeText(t->str);
    QPainter &p = *c.painter;
    p.save();
    if ((t->flags & (TextOpaque | TextClipped)) && usable(t->TL) && usable(t->BR)) {
        const QRectF box = QRectF(pointOf(t->TL), pointOf(t->BR)).normalized();
        if (t->flags & TextOpaque)
            p.fillRect(box, colorOf(t->dc->bgcolor));
        if (t->flags & TextClipped)
            p.setClipRect(box, Qt::IntersectClip);
    }
    // The reference point is on the baseline; escapement turns the text counter-clockwise.
    const QPointF at = p.transform().map(pointOf(t->pt));
    p.resetTransform();
    p.translate(at);
    if (t->dc->font)
        p.rotate(-t->dc->font->lfEscapement / 10.0);
    const QFontMetricsF metrics(font);
    if (t->dc->bgmode == BackgroundOpaque)
        p.fillRect(QRectF(0, -metrics.ascent(), metrics.horizontalAdvance(text), metrics.height()),
                   colorOf(t->dc->bgcolor));
    p.setFont(font);
    p.setPen(colorOf(t->dc->textcolor));
    p.drawText(QPointF(0, 0), text);
    p.restore();
}

QPainterPath regionPath(const wmfPolyRectangle_t *r, double inset = 0)
{
    QPainterPath path;
    if (!r->TL || !r->BR)
        return path;
    for (unsigned i = 0; i < r->count; ++i) {
        if (!usable(r->TL[i]) || !usable(r->BR[i]))
            continue;
        const QRectF box = QRectF(pointOf(r->TL[i]), pointOf(r->BR[i])).normalized();
        path.addRect(box);
        if (inset > 0)
            path.addRect(box.adjusted(r->width, r->height, -r->width, -r->height));
    }
    return path;
}

void regionClip(wmfAPI *api, wmfPolyRectangle_t *r)
{
    WmfCanvas &c = canvasOf(api);
    if (!c.painter)
        return;
    if (r->count == 0)
        c.painter->setClipping(false);
    else
        c.painter->setClipPath(regionPath(r));
}

void regionPaint(wmfAPI *api, wmfPolyRectangle_t *r)
{
    WmfCanvas &c = canvasOf(api);
    if (c.painter && r->dc)
        fillPath(c, *c.painter, r->dc, regionPath(r));
}

void regionFrame(wmfAPI *api, wmfPolyRectangle_t *r)
{
    WmfCanvas &c = canvasOf(api);
    if (!c.painter || !r->dc || !(r->width > 0) || !(r->height > 0))
        return;
    QPainterPath frame = regionPath(r, 1);
    frame.setFillRule(Qt::OddEvenFill);
    fillPath(c, *c.painter, r->dc, frame);
}

// Text widths for the player's alignment, as a fraction of the font height.
float stringWidth(wmfAPI *, wmfFont *font, char *text)
{
    if (!text)
        return 0;
    QFont f = fontOf(font);
    f.setPixelSize(256);
    return float(QFontMetricsF(f).horizontalAdvance(decodeText(text)) / 256);
}

void mapFont(wmfAPI *, wmfFont *) {}

// Installs the device layer; called by the library while it creates its handle.
void installDevice(wmfAPI *api)
{
    auto *fr = static_cast<wmfFunctionReference *>(api->function_reference);
    fr->draw_pixel = drawPixel;
    fr->draw_pie = drawPie;
    fr->draw_chord = drawChord;
    fr->draw_arc = drawArc;
    fr->draw_ellipse = drawEllipse;
    fr->draw_line = drawLine;
    fr->poly_line = drawPolyline;
    fr->draw_polygon = drawPolygon;
    fr->draw_polypolygon = drawPolyPolygon;
    fr->draw_rectangle = drawRectangle;
    fr->rop_draw = drawRop;
    fr->bmp_draw = drawBitmap;
    fr->bmp_read = readBitmap;
    fr->bmp_free = freeBitmap;
    fr->draw_text = drawText;
    fr->region_frame = regionFrame;
    fr->region_paint = regionPaint;
    fr->region_clip = regionClip;
    // Filled in with the canvas once the handle exists.
    api->device_data = wmf_malloc(api, sizeof(WmfCanvas *));
}

// One run of the player over a prepared metafile: created and scanned on construction.
class WmfPlayer
{
public:
    WmfPlayer(PreparedWmf &wmf, WmfCanvas &canvas) : wmf_(wmf), canvas_(canvas)
    {
        wmfAPI_Options options{};
        options.function = installDevice;
        const unsigned long flags = WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
        wmfAPI *api = nullptr;
        const wmf_error_t created = wmf_lite_create(&api, flags, &options);
        api_.reset(api);
        if (created != wmf_E_None || !api || !api->device_data)
            fail(QStringLiteral("The metafile could not be drawn: out of memory."));
        *static_cast<WmfCanvas **>(api->device_data) = &canvas_;
        auto *fonts = static_cast<wmfFontData *>(wmf_malloc(api, sizeof(wmfFontData)));
        if (!fonts)
            fail(QStringLiteral("The metafile could not be drawn: out of memory."));
        fonts->map = mapFont;
        fonts->stringwidth = stringWidth;
        fonts->user_data = nullptr;
        api->font_data = fonts;
        check(wmf_mem_open(api, reinterpret_cast<unsigned char *>(wmf_.data.data()), long(wmf_.data.size())));
        check(wmf_scan(api, 0, &box_));
        if (wmf_.units.isEmpty()) {
            // No extent given: the picture is what it draws, from the origin.
            if (!(box_.BR.x > 0) || !(box_.BR.y > 0))
                fail(QStringLiteral("The metafile has no size."));
            wmf_.units = QSizeF(std::ceil(box_.BR.x), std::ceil(box_.BR.y));
            wmf_.size = extentSize(wmf_.units);
        }
    }
    void play() { check(wmf_play(api_.get(), 0, &box_)); }

private:
    void check(wmf_error_t error)
    {
        if (canvas_.tooLarge)
            fail(QStringLiteral("The metafile's bitmaps are beyond the limits."));
        switch (error) {
        case wmf_E_None: return;
        case wmf_E_InsMem: fail(QStringLiteral("The metafile could not be drawn: out of memory."));
        case wmf_E_EOF: fail(QStringLiteral("The metafile ends early."));
        default: fail(QStringLiteral("The metafile's records are damaged."));
        }
    }

    struct Destroy
    {
        void operator()(wmfAPI *api) const { wmf_lite_destroy(api); }
    };

    PreparedWmf &wmf_;
    WmfCanvas &canvas_;
    std::unique_ptr<wmfAPI, Destroy> api_; // released also when the constructor throws
    wmfD_Rect box_{};
};

// Plays the metafile onto a copy of the picture and keeps the copy only when the whole
// metafile played.
void drawWmf(PreparedWmf &wmf, Raster &picture)
{
    WmfCanvas canvas;
    WmfPlayer player(wmf, canvas);
    QImage work = picture.isEmpty() ? QImage(1, 1, QImage::Format_RGB32)
                                    : picture.image().convertToFormat(QImage::Format_RGB32);
    if (work.isNull())
        fail(QStringLiteral("The metafile could not be drawn: out of memory."));
    {
        QPainter painter(&work);
        painter.setRenderHint(QPainter::Antialiasing);
        const double sx = wmf.size.width() / wmf.units.width(), sy = wmf.size.height() / wmf.units.height();
        painter.setTransform(QTransform::fromScale(sx, sy));
        canvas.painter = &painter;
        canvas.scaleY = sy;
        player.play();
        canvas.painter = nullptr;
    }
    if (!picture.isEmpty())
        picture.paintable() = work;
}

} // namespace

QSize MetafileSize(const QByteArray &data)
{
    const MetafileKind kind = kindOf(data);
    if (kind == MetafileKind::Enhanced)
        return prepareEmf(data).size;
    PreparedWmf wmf = prepareWmf(data, kind == MetafileKind::Placeable);
    if (wmf.units.isEmpty()) {
        WmfCanvas canvas;
        WmfPlayer player(wmf, canvas);
    }
    return wmf.size;
}

void ReadMetafile(const QByteArray &data, Raster &picture)
{
    const MetafileKind kind = kindOf(data);
    if (kind == MetafileKind::Enhanced) {
        PreparedEmf emf = prepareEmf(data);
        paintSvg(emfToSvg(emf.data), emf.size, picture);
    } else {
        PreparedWmf wmf = prepareWmf(data, kind == MetafileKind::Placeable);
        drawWmf(wmf, picture);
    }
}

void LoadMetafile(const QString &fileName, Raster &picture)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("Cannot open file \"%1\". %2").arg(QFileInfo(fileName).fileName(), file.errorString()));
    if (file.size() > Raster::MaxBytes)
        fail(QStringLiteral("The metafile \"%1\" is too large.").arg(QFileInfo(fileName).fileName()));
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        fail(QStringLiteral("Cannot read file \"%1\". %2").arg(QFileInfo(fileName).fileName(), file.errorString()));
    ReadMetafile(data, picture);
}

// ---------------------------------------------------------------------------------------
// Writing

QByteArray EncodeMetafile(const Raster &picture)
{
    if (picture.isEmpty())
        fail(QStringLiteral("There is no picture to save."));
    const int w = picture.width(), h = picture.height();
    const qint64 stride = Raster::dibStride(w, 24);
    const qint64 bitsSize = stride * h;
    constexpr qint64 BlitSize = sizeof(U_EMRSTRETCHDIBITS), InfoSize = sizeof(U_BITMAPINFOHEADER);
    constexpr qint64 EofSize = sizeof(U_EMREOF) + 4; // with nSizeLast
    static_assert(sizeof(U_EMRHEADER) == EmfHeaderSize && BlitSize == 80 && InfoSize == 40 && EofSize == 20);
    const qint64 total = EmfHeaderSize + BlitSize + InfoSize + bitsSize + EofSize;
    if (!Raster::sizeAllowed(w, h) || total > 0xFFFFFFFFLL)
        fail(QStringLiteral("The picture is too large for a metafile."));

    QByteArray out(qsizetype(total), '\0');
    // Bounds and frame give the full extent (right = width): the other readers on this
    // platform take right - left as the picture's size.
    putU32(out, offsetof(U_EMRHEADER, emr.iType), U_EMR_HEADER);
    putU32(out, offsetof(U_EMRHEADER, emr.nSize), quint32(EmfHeaderSize));
    putI32(out, offsetof(U_EMRHEADER, rclBounds.right), w);
    putI32(out, offsetof(U_EMRHEADER, rclBounds.bottom), h);
    putI32(out, offsetof(U_EMRHEADER, rclFrame.right), qRound(w * HundredthMmPerInch / PixelsPerInch));
    putI32(out, offsetof(U_EMRHEADER, rclFrame.bottom), qRound(h * HundredthMmPerInch / PixelsPerInch));
    putU32(out, offsetof(U_EMRHEADER, dSignature), EmfSignature);
    putU32(out, offsetof(U_EMRHEADER, nVersion), 0x00010000);
    putU32(out, offsetof(U_EMRHEADER, nBytes), quint32(total));
    putU32(out, offsetof(U_EMRHEADER, nRecords), 3);
    putU16(out, offsetof(U_EMRHEADER, nHandles), 1); // only the reserved entry
    // A reference device of 20 x 15 inches at 96 pixels per inch: pixels, millimetres and
    // micrometres agree exactly.
    putI32(out, offsetof(U_EMRHEADER, szlDevice.cx), 1920);
    putI32(out, offsetof(U_EMRHEADER, szlDevice.cy), 1440);
    putI32(out, offsetof(U_EMRHEADER, szlMillimeters.cx), 508);
    putI32(out, offsetof(U_EMRHEADER, szlMillimeters.cy), 381);
    putI32(out, offsetof(U_EMRHEADER, szlMicrometers.cx), 508000);
    putI32(out, offsetof(U_EMRHEADER, szlMicrometers.cy), 381000);

    const qsizetype blit = EmfHeaderSize;
    const auto blitField = [&](std::size_t offset) { return blit + qsizetype(offset); };
    putU32(out, blitField(offsetof(U_EMRSTRETCHDIBITS, emr.iType)), U_EMR_STRETCHDIBITS);
    putU32(out, blitField(offsetof(U_EMRSTRETCHDIBITS, emr.nSize)), quint32(BlitSize + InfoSize + bitsSize));
    putI32(out, blitField(offsetof(U_EMRSTRETCHDIBITS, rclBounds.right)), w - 1); // inclusive
    putI32(out, blitField(offsetof(U_EMRSTRETCHDIBITS, rclBounds.bottom)), h - 1);
    putI32(out, blitField(offsetof(U_EMRSTRETCHDIBITS, cSrc.x)), w);
    putI32(out, blitField(offsetof(U_EMRSTRETCHDIBITS, cSrc.y)), h);
    putU32(out, blitField(offsetof(U_EMRSTRETCHDIBITS, offBmiSrc)), quint32(BlitSize));
    putU32(out, blitField(offsetof(U_EMRSTRETCHDIBITS, cbBmiSrc)), quint32(InfoSize));
    putU32(out, blitField(offsetof(U_EMRSTRETCHDIBITS, offBitsSrc)), quint32(BlitSize + InfoSize));
    putU32(out, blitField(offsetof(U_EMRSTRETCHDIBITS, cbBitsSrc)), quint32(bitsSize));
    putU32(out, blitField(offsetof(U_EMRSTRETCHDIBITS, iUsageSrc)), U_DIB_RGB_COLORS);
    putU32(out, blitField(offsetof(U_EMRSTRETCHDIBITS, dwRop)), U_SRCCOPY);
    putI32(out, blitField(offsetof(U_EMRSTRETCHDIBITS, cDest.x)), w);
    putI32(out, blitField(offsetof(U_EMRSTRETCHDIBITS, cDest.y)), h);

    const qsizetype info = blit + BlitSize;
    putU32(out, info + offsetof(U_BITMAPINFOHEADER, biSize), quint32(InfoSize));
    putI32(out, info + offsetof(U_BITMAPINFOHEADER, biWidth), w);
    putI32(out, info + offsetof(U_BITMAPINFOHEADER, biHeight), h); // rows bottom-up
    putU16(out, info + offsetof(U_BITMAPINFOHEADER, biPlanes), 1);
    putU16(out, info + offsetof(U_BITMAPINFOHEADER, biBitCount), 24);
    putU32(out, info + offsetof(U_BITMAPINFOHEADER, biCompression), U_BI_RGB);
    putU32(out, info + offsetof(U_BITMAPINFOHEADER, biSizeImage), quint32(bitsSize));
    putI32(out, info + offsetof(U_BITMAPINFOHEADER, biXPelsPerMeter), 3780);
    putI32(out, info + offsetof(U_BITMAPINFOHEADER, biYPelsPerMeter), 3780);

    const QImage image = picture.toRgb32();
    uchar *bits = reinterpret_cast<uchar *>(out.data()) + info + InfoSize;
    for (int y = 0; y < h; ++y) {
        const QRgb *src = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        uchar *dst = bits + (h - 1 - y) * stride;
        for (int x = 0; x < w; ++x) {
            *dst++ = uchar(qBlue(src[x]));
            *dst++ = uchar(qGreen(src[x]));
            *dst++ = uchar(qRed(src[x]));
        }
    }

    const qsizetype eof = info + InfoSize + bitsSize;
    putU32(out, eof + offsetof(U_EMREOF, emr.iType), U_EMR_EOF);
    putU32(out, eof + offsetof(U_EMREOF, emr.nSize), quint32(EofSize));
    putU32(out, eof + offsetof(U_EMREOF, cbPalEntries), 0);
    putU32(out, eof + offsetof(U_EMREOF, offPalEntries), 16);
    putU32(out, eof + qsizetype(sizeof(U_EMREOF)), quint32(EofSize)); // nSizeLast
    return out;
}

void SaveMetafile(const QString &fileName, const Raster &picture)
{
    const QByteArray data = EncodeMetafile(picture);
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        fail(QStringLiteral("Cannot create file \"%1\". %2").arg(QFileInfo(fileName).fileName(), file.errorString()));
    if (file.write(data) != data.size() || !file.commit())
        fail(QStringLiteral("Cannot write file \"%1\". %2").arg(QFileInfo(fileName).fileName(), file.errorString()));
}
