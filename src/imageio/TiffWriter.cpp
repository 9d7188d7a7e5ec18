// The TIFF writer: an uncompressed, single-strip, little-endian file in one of three
// layouts. Everything but the strip is small and built in memory first; the strip is
// encoded row by row straight from the picture, so a file can be written in pieces.
#include "imageio/TiffCodec.h"
#include "core/MessageText.h"
#include "imageio/PieceWriter.h"
#include "imageio/TiffFile.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr quint32 ResolutionNumerator = 877; // 87.7 pixels per inch
constexpr quint32 ResolutionDenominator = 10;
// With the closing zero every ASCII field ends with. Its block takes one byte more, so
// whatever follows it starts on a word boundary as TIFF asks of every offset.
constexpr char SoftwareText[11] = {'V', 'e', 'l', 'm', 'o', ' ', 's', 'o', 'f', 't', '\0'};
constexpr int SoftwareBlock = sizeof(SoftwareText) + 1;
constexpr int HeaderSize = 8;
constexpr int ConstantBlocks = 8 + 8 + SoftwareBlock; // the two resolutions and the software text

enum class Layout { Bilevel, Palette, Rgb };

// The file as the bytes before the strip, the strip's rows and the bytes after it.
struct TiffPlan
{
    Layout layout = Layout::Rgb;
    QImage source;            // Indexed8 for bilevel and palette pictures, RGB32 otherwise
    int width = 0;            // pixels of each row
    int bits = 24;            // the picture's layout: bits per pixel of the strip for indexed ones
    qint64 rowBytes = 0;
    std::vector<uchar> levels; // bilevel: 0 or 1 for each palette index
    QByteArray head;
    QByteArray tail;

    qint64 stripSize() const { return rowBytes * source.height(); }
    qint64 total() const { return head.size() + stripSize() + tail.size(); }
};

void put16(QByteArray &out, quint16 v)
{
    uchar b[2];
    qToLittleEndian(v, b);
    out.append(reinterpret_cast<const char *>(b), 2);
}

void put32(QByteArray &out, quint32 v)
{
    uchar b[4];
    qToLittleEndian(v, b);
    out.append(reinterpret_cast<const char *>(b), 4);
}

void putHeader(QByteArray &out, quint32 ifdOffset)
{
    out.append("II", 2);
    put16(out, 42);
    put32(out, ifdOffset);
}

void putSoftware(QByteArray &out)
{
    out.append(SoftwareText, sizeof(SoftwareText));
    out.append(SoftwareBlock - int(sizeof(SoftwareText)), '\0');
}

// The offset after a block that ends at end, rounded up to a word boundary; the pad byte
// goes to out. Strips start on even offsets, so an odd strip length is what needs it.
quint32 padToWord(QByteArray &out, qint64 end)
{
    if (end & 1)
        out.append('\0');
    return quint32(end + (end & 1));
}

void putResolutionsAndSoftware(QByteArray &out)
{
    for (int i = 0; i < 2; ++i) {
        put32(out, ResolutionNumerator);
        put32(out, ResolutionDenominator);
    }
    putSoftware(out);
}

struct Entry
{
    quint16 tag;
    quint16 type;
    quint32 count;
    quint32 value;
};

// Entries in ascending tag order, then the next-directory offset 0.
void putDirectory(QByteArray &out, const std::vector<Entry> &entries)
{
    put16(out, quint16(entries.size()));
    for (const Entry &e : entries) {
        put16(out, e.tag);
        put16(out, e.type);
        put32(out, e.count);
        put32(out, e.value); // a single SHORT lands in the low-order two bytes
    }
    put32(out, 0);
}

// The entries every layout shares, with the layout's own ones merged in by tag.
std::vector<Entry> directoryEntries(const TiffPlan &p, quint32 bitsValue, quint32 photometric, quint32 stripOffset,
                                    quint32 resolutionOffset, quint32 softwareOffset, std::vector<Entry> own)
{
    using namespace TiffTag;
    using namespace TiffType;
    const quint32 h = quint32(p.source.height());
    std::vector<Entry> entries = {
        {NewSubfileType, Long, 1, 0},
        {ImageWidth, Short, 1, quint32(p.width)},
        {ImageLength, Short, 1, h},
        {BitsPerSample, Short, p.layout == Layout::Rgb ? 3u : 1u, bitsValue},
        {Compression, Short, 1, 1},
        {PhotometricInterpretation, Short, 1, photometric},
        {StripOffsets, Long, 1, stripOffset},
        {SamplesPerPixel, Short, 1, p.layout == Layout::Rgb ? 3u : 1u},
        {RowsPerStrip, Long, 1, h},
        {StripByteCounts, Long, 1, quint32(p.stripSize())},
        {XResolution, Rational, 1, resolutionOffset},
        {YResolution, Rational, 1, resolutionOffset + 8},
        {ResolutionUnit, Short, 1, 2},
        {Software, Ascii, sizeof(SoftwareText), softwareOffset},
    };
    entries.insert(entries.end(), own.begin(), own.end());
    std::stable_sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) { return a.tag < b.tag; });
    return entries;
}

// The picture's colour table with n entries, black where it has fewer.
QVector<QRgb> paletteOf(const TiffPlan &p, int n)
{
    QVector<QRgb> palette = p.source.colorTable().mid(0, n);
    palette.resize(n, qRgb(0, 0, 0));
    return palette;
}

// A 1-bit picture whose two colours are black or white says all it holds in a bilevel
// file; another colour needs the colour map of a palette file.
bool isBlackAndWhite(const TiffPlan &p)
{
    const QVector<QRgb> palette = paletteOf(p, 2);
    return std::all_of(palette.begin(), palette.end(), [](QRgb c) {
        return (c & 0xFFFFFF) == 0 || (c & 0xFFFFFF) == 0xFFFFFF;
    });
}

// 1 bit in black and white: the strip first, then the constant blocks and the directory.
// Each index is written as the level of its colour, so the file (black is zero) shows
// the picture whichever index holds white.
void planBilevel(TiffPlan &p)
{
    const QVector<QRgb> palette = paletteOf(p, 2);
    p.levels.assign(256, 0);
    for (int i = 0; i < 2; ++i)
        p.levels[size_t(i)] = (palette[i] & 0xFFFFFF) ? 1 : 0;
    p.rowBytes = (p.width + 7) / 8;
    const quint32 after = padToWord(p.tail, HeaderSize + p.stripSize());
    putHeader(p.head, after + ConstantBlocks);
    putResolutionsAndSoftware(p.tail);
    putDirectory(p.tail, directoryEntries(p, 1, 1, HeaderSize, after, after + 16, {}));
}

// 1 bit in colour, 4 or 8 bits: colour map, constant blocks, strip, directory. Rows end
// on a whole byte; the bits after the last pixel are 0.
void planPalette(TiffPlan &p)
{
    const int n = 1 << p.bits;
    p.rowBytes = (qint64(p.width) * p.bits + 7) / 8;
    const quint32 mapOffset = HeaderSize;
    const quint32 resolutionOffset = mapOffset + 6 * n;
    const quint32 stripOffset = resolutionOffset + ConstantBlocks;
    putHeader(p.head, padToWord(p.tail, stripOffset + p.stripSize()));
    // Each component at full 16-bit scale (255 becomes 65535); a reader that keeps the
    // high byte gets the component back as well.
    const QVector<QRgb> palette = paletteOf(p, n);
    for (int channel = 16; channel >= 0; channel -= 8)
        for (QRgb c : palette)
            put16(p.head, quint16(((c >> channel) & 0xFF) * 257));
    putResolutionsAndSoftware(p.head);
    putDirectory(p.tail, directoryEntries(p, quint32(p.bits), 3, stripOffset, resolutionOffset, resolutionOffset + 16,
                                          {{TiffTag::ColorMap, TiffType::Short, quint32(3 * n), mapOffset}}));
}

// 16, 24 or 32 bits: constant blocks with the bits per sample, strip, directory.
void planRgb(TiffPlan &p)
{
    constexpr quint32 BitsOffset = 24, SoftwareOffset = 30, StripOffset = SoftwareOffset + SoftwareBlock;
    p.rowBytes = 3 * qint64(p.width);
    putHeader(p.head, padToWord(p.tail, StripOffset + p.stripSize()));
    put32(p.head, ResolutionNumerator);
    put32(p.head, ResolutionDenominator);
    put32(p.head, ResolutionNumerator);
    put32(p.head, ResolutionDenominator);
    for (int i = 0; i < 3; ++i)
        put16(p.head, 8);
    putSoftware(p.head);
    putDirectory(p.tail, directoryEntries(p, BitsOffset, 2, StripOffset, 8, SoftwareOffset,
                                          {{TiffTag::PlanarConfiguration, TiffType::Short, 1, 1}}));
}

TiffPlan planTiff(const Raster &picture)
{
    if (picture.width() > 65535 || picture.height() > 65535)
        throw LetrafexError(messageText("A picture of %1 x %2 pixels is too large for a TIFF file (65535 at most)")
                             .arg(picture.width())
                             .arg(picture.height()));
    TiffPlan p;
    p.bits = picture.bitCount();
    p.source = picture.image();
    p.width = picture.width();
    if (p.bits == 1 && isBlackAndWhite(p)) {
        p.layout = Layout::Bilevel;
        planBilevel(p);
    } else if (p.bits <= 8) {
        p.layout = Layout::Palette;
        planPalette(p);
    } else {
        if (picture.isIndexed())
            p.source = picture.toRgb32();
        planRgb(p);
    }
    return p;
}

// 16-bit pictures hold 5 bits a channel: what they show is that, widened to 8 bits.
QRgb as16Bit(QRgb c)
{
    const auto widen = [](int v) { return (v >> 3) * 255 / 31; };
    return qRgb(widen(qRed(c)), widen(qGreen(c)), widen(qBlue(c)));
}

// Red, green, blue for each pixel. Four-byte stores whose spare byte the next pixel
// overwrites; the last pixel byte by byte so nothing lands past the row.
template <bool FiveBits>
void encodeRgbRow(const QRgb *rgb, uchar *d, int w)
{
    const auto shown = [](QRgb c) { return FiveBits ? as16Bit(c) : c; };
    int x = 0;
    for (; x + 1 < w; ++x, d += 3)
        qToBigEndian(shown(rgb[x]) << 8, d);
    const QRgb last = shown(rgb[x]);
    d[0] = uchar(qRed(last));
    d[1] = uchar(qGreen(last));
    d[2] = uchar(qBlue(last));
}

void encodeRow(const TiffPlan &p, int y, uchar *d)
{
    const uchar *s = p.source.constScanLine(y);
    const int w = p.width;
    switch (p.layout) {
    case Layout::Bilevel:
        std::memset(d, 0, size_t(p.rowBytes));
        for (int x = 0; x < w; ++x)
            d[x >> 3] |= uchar(p.levels[s[x]] << (7 - (x & 7)));
        break;
    case Layout::Palette:
        if (p.bits == 8) {
            std::memcpy(d, s, size_t(w));
        } else if (p.bits == 4) {
            for (int x = 0; x + 1 < w; x += 2)
                d[x >> 1] = uchar(((s[x] & 0x0F) << 4) | (s[x + 1] & 0x0F));
            if (w & 1)
                d[w >> 1] = uchar((s[w - 1] & 0x0F) << 4);
        } else {
            std::memset(d, 0, size_t(p.rowBytes));
            for (int x = 0; x < w; ++x)
                d[x >> 3] |= uchar((s[x] & 1) << (7 - (x & 7)));
        }
        break;
    case Layout::Rgb:
        if (p.bits == 16)
            encodeRgbRow<true>(reinterpret_cast<const QRgb *>(s), d, w);
        else
            encodeRgbRow<false>(reinterpret_cast<const QRgb *>(s), d, w);
        break;
    }
}

void encodeRows(const TiffPlan &p, int first, int count, uchar *out)
{
    for (int i = 0; i < count; ++i)
        encodeRow(p, first + i, out + i * p.rowBytes);
}

} // namespace

QByteArray WriteTiff(const Raster &picture)
{
    if (picture.isEmpty())
        return {};
    const TiffPlan p = planTiff(picture);
    QByteArray out(p.total(), Qt::Uninitialized);
    uchar *d = reinterpret_cast<uchar *>(out.data());
    std::memcpy(d, p.head.constData(), size_t(p.head.size()));
    encodeRows(p, 0, p.source.height(), d + p.head.size());
    std::memcpy(d + p.head.size() + p.stripSize(), p.tail.constData(), size_t(p.tail.size()));
    return out;
}

void SaveTiffFile(const QString &fileName, const Raster &picture)
{
    if (picture.isEmpty())
        throw LetrafexError(messageText("An empty picture cannot be written as a TIFF file"));
    const TiffPlan p = planTiff(picture);
    // Rows go out in pieces, so a large picture needs no second copy in memory.
    SaveRowsInPieces(fileName, {p.head, p.rowBytes, p.source.height(), [&p](int first, int count, uchar *out) {
                                    encodeRows(p, first, count, out);
                                    return count * p.rowBytes;
                                }, p.tail});
}
