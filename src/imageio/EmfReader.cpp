#include "imageio/EmfReader.h"

#include "core/MessageText.h"
#include "imageio/MetafileInternal.h"

#include <QPainter>
#include <QSvgRenderer>
#include <QXmlStreamReader>

#include <cmath>
#include <cstddef>
#include <cstdlib>

extern "C" {
#include <emf2svg.h>
#include <uemf.h>
#include <uemf_safe.h>
}

// libemf2svg looks glyph-index text up through fontconfig and then calls FcFini(), which
// tears down the caches Qt's font database still holds: fontconfig then aborts on an
// assertion, or Qt reads freed memory, the next time a font is looked up. Defined here,
// in the executable, this no-op takes the place of fontconfig's FcFini for every caller.
// Nothing in the program needs fontconfig released before the process ends.
extern "C" void FcFini(void) {}

namespace metafile {
namespace {

constexpr qsizetype EmfBaseHeaderSize = 88; // up to and including szlMillimeters

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
            fail(messageText("The metafile contains text that cannot be drawn safely."));
        if (token != QXmlStreamReader::StartElement)
            continue;
        for (const QXmlStreamAttribute &attribute : xml.attributes()) {
            if (attribute.name() != u"href")
                continue;
            const QStringView value = attribute.value().trimmed();
            if (!value.startsWith(u'#') && !value.startsWith(u"data:image/png;") &&
                !value.startsWith(u"data:image/jpeg;"))
                fail(messageText("The metafile refers to other files, which are not drawn."));
        }
    }
    if (xml.hasError())
        fail(messageText("The metafile could not be drawn."));
}

// Draws the converted picture over the rectangle (0, 0, size) of the picture. The SVG is
// checked before the picture is touched.
void paintSvg(const QByteArray &svg, const QSize &size, Raster &picture)
{
    checkSvgReferences(svg);
    QSvgRenderer renderer(svg);
    if (!renderer.isValid())
        fail(messageText("The metafile could not be drawn."));
    if (picture.isEmpty())
        return;
    QPainter painter(&picture.paintable());
    renderer.render(&painter, QRectF(0, 0, size.width(), size.height()));
}

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
        fail(messageText("Record %1 of the enhanced metafile holds a damaged bitmap.").arg(index));
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
        fail(messageText("Record %1 of the enhanced metafile is damaged.").arg(index));
    };
    for (const ObjectField &field : ObjectFields) {
        if (field.type != type)
            continue;
        if (qint64(field.offset) + 4 > size)
            damaged();
        const quint32 object = b.u32(at + field.offset);
        const bool stock = (object & 0x80000000u) != 0;
        if ((stock && field.creates) || (!stock && object > handles))
            fail(messageText("Record %1 of the enhanced metafile refers to object %2 of a table of %3.")
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
        fail(messageText("The enhanced metafile could not be converted for drawing."));
    return svg;
}

} // namespace

PreparedEmf prepareEmf(const QByteArray &file)
{
    const Bytes b(file);
    if (!b.has(0, EmfBaseHeaderSize))
        fail(messageText("The enhanced metafile's header is truncated."));
    if (b.u32(40) != EmfSignature)
        fail(messageText("The enhanced metafile's signature is missing."));
    const quint32 headerSize = b.u32(4);
    if (headerSize < EmfBaseHeaderSize || headerSize % 4 != 0 || headerSize > quint64(file.size()))
        fail(messageText("The enhanced metafile's header has an invalid size."));
    const quint32 totalBytes = b.u32(48);
    if (totalBytes < headerSize || totalBytes > quint64(file.size()))
        fail(messageText("The enhanced metafile's length field does not match the file."));
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
        fail(messageText("The enhanced metafile's bounds are invalid."));
    }
    PreparedEmf prepared;
    prepared.size = pictureSize(width / (perX * HundredthMmPerInch) * PixelsPerInch,
                                height / (perY * HundredthMmPerInch) * PixelsPerInch);
    width = qMax(1.0, std::round(width));
    height = qMax(1.0, std::round(height));
    if (std::fabs(left) + width > CoordinateLimit || std::fabs(top) + height > CoordinateLimit)
        fail(messageText("The enhanced metafile's bounds are invalid."));

    qsizetype at = headerSize;
    QList<qsizetype> unchecked;
    for (int index = 2;; ++index) {
        if (!b.has(at, 8) || at + 8 > qsizetype(totalBytes))
            fail(messageText("The enhanced metafile ends without its end record."));
        const quint32 type = b.u32(at), size = b.u32(at + 4);
        if (size < 8 || size % 4 != 0 || size > totalBytes - at)
            fail(messageText("Record %1 of the enhanced metafile has an invalid size.").arg(index));
        if (type < U_EMR_MIN || type > U_EMR_MAX || type == U_EMR_HEADER)
            fail(messageText("Record %1 of the enhanced metafile has an unknown type.").arg(index));
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

void drawEmf(PreparedEmf &emf, Raster &picture) { paintSvg(emfToSvg(emf.data), emf.size, picture); }

} // namespace metafile
