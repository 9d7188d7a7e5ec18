#include "imageio/BmpCodec.h"

#include "core/FileBytes.h"
#include "core/MessageText.h"
#include "imageio/AlphaCompose.h"

#include <QFile>
#include <QIODevice>
#include <QtEndian>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

namespace {

constexpr qint64 FileHeaderSize = 14;
constexpr int DotsPerMeter = 3780; // 96 pixels per inch

// Compression 4 is JPEG data in a Windows header and 24-bit run-length data in OS/2's; only
// the latter is read.
enum Compression : quint32 { BiRgb = 0, BiRle8 = 1, BiRle4 = 2, BiBitfields = 3, BiRle24 = 4, BiAlphaBitfields = 6 };

[[noreturn]] void fail(const QString &detail)
{
    throw LetrafexError(messageText("Bitmap image is not valid: %1").arg(detail));
}

quint16 u16(const uchar *p) { return qFromLittleEndian<quint16>(p); }
quint32 u32(const uchar *p) { return qFromLittleEndian<quint32>(p); }
qint32 i32(const uchar *p) { return qFromLittleEndian<qint32>(p); }

bool knownInfoSize(quint32 size)
{
    switch (size) {
    case 12: case 16: case 40: case 52: case 56: case 64: case 108: case 124:
        return true;
    default:
        return false;
    }
}

bool isOs2(quint32 infoSize) { return infoSize == 12 || infoSize == 16 || infoSize == 64; }

// Bytes of bit-field masks that follow a 40-byte information header. Colour masks are
// followed by an alpha mask where the pixel data starts right after four masks and the
// header names no colour table: the 40-byte header and four masks are then laid out as
// the 56-byte header, and read the same way. Any other room before the pixels holds a
// colour table or padding, not a mask.
qint64 trailingMaskBytes(quint32 infoSize, quint32 compression, quint32 offBits, quint32 colorsUsed)
{
    if (infoSize != 40)
        return 0;
    if (compression == BiBitfields)
        return colorsUsed == 0 && offBits == FileHeaderSize + 40 + 16 ? 16 : 12;
    return compression == BiAlphaBitfields ? 16 : 0;
}

// What the headers say about a file image. Offsets are from the start of the file header.
struct Layout
{
    qint64 width = 0;
    qint64 height = 0;
    bool topDown = false;
    int bits = 0;
    quint32 compression = BiRgb;
    quint32 masks[3] = {0, 0, 0};
    quint32 alphaMask = 0; // composed over white unless every pixel's alpha is 0
    qint64 paletteOffset = 0;
    int paletteEntrySize = 4;
    int paletteCount = 0;
    qint64 dataOffset = 0;
    qint64 dataSize = 0; // bytes of pixel data; for run-length data 0 means "to the end"
    qint64 fileSize = 0; // the file header's size field
    qint64 stride = 0;

    bool rle() const { return compression == BiRle8 || compression == BiRle4 || compression == BiRle24; }
    bool bitfields() const { return compression == BiBitfields || compression == BiAlphaBitfields; }
    // Where the headers, palette and pixel data end, as far as the headers tell.
    qint64 extent() const { return std::max(paletteOffset + qint64(paletteCount) * paletteEntrySize, dataOffset + dataSize); }
};

bool contiguous(quint32 mask)
{
    if (mask == 0)
        return true;
    const quint32 m = mask >> std::countr_zero(mask);
    return (m & (m + 1)) == 0;
}

void readMasks(Layout &l, const uchar *p)
{
    for (int i = 0; i < 3; ++i)
        l.masks[i] = u32(p + 4 * i);
    const quint32 limit = l.bits == 16 ? 0xFFFFu : 0xFFFFFFFFu;
    for (quint32 m : l.masks)
        if (!contiguous(m) || (m & ~limit))
            fail(messageText("bit-field mask 0x%1 is not usable").arg(m, 0, 16));
    if ((l.masks[0] | l.masks[1] | l.masks[2]) == 0)
        fail(messageText("all bit-field masks are zero"));
}

// The alpha mask after the colour masks, where the header has one. A mask that is not
// usable, or that shares bits with a colour, is no alpha.
quint32 usableAlphaMask(const Layout &l, quint32 mask)
{
    const quint32 limit = l.bits == 16 ? 0xFFFFu : 0xFFFFFFFFu;
    if (!contiguous(mask) || (mask & ~limit) || (mask & (l.masks[0] | l.masks[1] | l.masks[2])))
        return 0;
    return mask;
}

// Reads the headers from the first `size` bytes. They must hold the file header, the
// information header and any mask block; the palette and pixels are checked later.
Layout parseHeaders(const uchar *p, qint64 size)
{
    if (size < FileHeaderSize + 4)
        fail(messageText("the data ends inside the file header"));
    if (p[0] != 'B' || p[1] != 'M')
        throw LetrafexError(messageText("Bitmap image is not valid"));
    Layout l;
    l.fileSize = u32(p + 2);
    const quint32 offBits = u32(p + 10);
    const quint32 infoSize = u32(p + 14);
    if (!knownInfoSize(infoSize))
        fail(messageText("unknown information header size %1").arg(infoSize));
    if (size < FileHeaderSize + infoSize)
        fail(messageText("the data ends inside the information header"));
    const uchar *h = p + FileHeaderSize;
    quint32 colorsUsed = 0;
    quint32 sizeImage = 0;
    if (infoSize == 12) {
        l.width = u16(h + 4);
        l.height = u16(h + 6);
        l.bits = u16(h + 10);
        l.paletteEntrySize = 3;
    } else {
        l.width = i32(h + 4);
        l.height = i32(h + 8);
        l.bits = u16(h + 14);
        if (infoSize >= 40) {
            l.compression = u32(h + 16);
            sizeImage = u32(h + 20);
            colorsUsed = u32(h + 32);
        }
    }
    if (l.height < 0) {
        l.topDown = true;
        l.height = -l.height;
    }
    if (l.bits != 1 && l.bits != 2 && l.bits != 4 && l.bits != 8 && l.bits != 16 && l.bits != 24 && l.bits != 32)
        fail(messageText("%1 bits per pixel are not supported").arg(l.bits));
    if (l.width <= 0 || l.height <= 0)
        fail(messageText("the picture size %1 x %2 is empty or negative").arg(l.width).arg(l.height));
    if (!Raster::sizeAllowed(l.width, l.height, l.bits))
        fail(messageText("the picture size %1 x %2 is beyond the limits").arg(l.width).arg(l.height));

    const bool compressionOk = l.compression == BiRgb || (l.compression == BiRle8 && l.bits == 8) ||
                               (l.compression == BiRle4 && l.bits == 4) || (l.compression == BiRle24 && l.bits == 24) ||
                               (l.bitfields() && (l.bits == 16 || l.bits == 32) && !isOs2(infoSize));
    if (!compressionOk)
        fail(messageText("compression %1 with %2 bits per pixel is not supported").arg(l.compression).arg(l.bits));

    const qint64 maskBytes = trailingMaskBytes(infoSize, l.compression, offBits, colorsUsed);
    if (size < FileHeaderSize + infoSize + maskBytes)
        fail(messageText("the data ends inside the bit-field masks"));
    if (l.bitfields()) {
        const uchar *masks = maskBytes ? h + infoSize : h + 40;
        readMasks(l, masks);
        if (infoSize >= 56 || maskBytes == 16)
            l.alphaMask = usableAlphaMask(l, u32(masks + 12));
    } else if (l.bits == 16) {
        l.masks[0] = 0x7C00, l.masks[1] = 0x03E0, l.masks[2] = 0x001F;
    } else if (l.bits == 32) {
        // The fourth byte is reserved: whatever a writer left there is not alpha.
        l.masks[0] = 0xFF0000, l.masks[1] = 0xFF00, l.masks[2] = 0xFF;
    }

    // The colour table: 2^bits entries unless the header names fewer; a non-indexed
    // picture may carry a table too, which only moves the pixel data.
    const quint32 fullCount = l.bits <= 8 ? (1u << l.bits) : 256u;
    if (colorsUsed > fullCount)
        fail(messageText("the colour count %1 is too large for %2 bits per pixel").arg(colorsUsed).arg(l.bits));
    const qint64 declared = colorsUsed ? colorsUsed : (l.bits <= 8 ? fullCount : 0);
    l.paletteOffset = FileHeaderSize + infoSize + maskBytes;
    if (offBits == 0) {
        l.dataOffset = l.paletteOffset + declared * l.paletteEntrySize;
        l.paletteCount = l.bits <= 8 ? int(declared) : 0;
    } else {
        if (offBits < l.paletteOffset)
            fail(messageText("the pixel data offset %1 points into the headers").arg(offBits));
        l.dataOffset = offBits;
        const qint64 room = (l.dataOffset - l.paletteOffset) / l.paletteEntrySize;
        l.paletteCount = l.bits <= 8 ? int(std::min(declared, room)) : 0;
    }

    l.stride = Raster::dibStride(int(l.width), l.bits);
    if (l.rle()) {
        if (sizeImage)
            l.dataSize = sizeImage;
        else if (l.fileSize > l.dataOffset)
            l.dataSize = l.fileSize - l.dataOffset;
    } else {
        // The last row's padding may be missing.
        l.dataSize = l.stride * (l.height - 1) + (l.width * l.bits + 7) / 8;
    }
    return l;
}

QVector<QRgb> readPalette(const uchar *p, qint64 size, const Layout &l)
{
    QVector<QRgb> palette;
    if (l.paletteCount == 0)
        return palette;
    if (l.paletteOffset + qint64(l.paletteCount) * l.paletteEntrySize > size)
        fail(messageText("the data ends inside the colour table"));
    palette.reserve(l.paletteCount);
    const uchar *e = p + l.paletteOffset;
    for (int i = 0; i < l.paletteCount; ++i, e += l.paletteEntrySize)
        palette << qRgb(e[2], e[1], e[0]);
    return palette;
}

// Picture row y (0 = top) is stored row fileRow(y), and the other way round.
qint64 fileRow(const Layout &l, int y) { return l.topDown ? y : l.height - 1 - y; }

void unpackIndices(const uchar *src, uchar *dst, int width, int bits)
{
    switch (bits) {
    case 1:
        for (int x = 0; x < width; ++x)
            dst[x] = (src[x >> 3] >> (7 - (x & 7))) & 1;
        break;
    case 2:
        for (int x = 0; x < width; ++x)
            dst[x] = (src[x >> 2] >> (6 - 2 * (x & 3))) & 3;
        break;
    case 4:
        for (int x = 0; x < width; ++x)
            dst[x] = (x & 1) ? (src[x >> 1] & 0x0F) : (src[x >> 1] >> 4);
        break;
    default:
        std::memcpy(dst, src, size_t(width));
    }
}

// Run-length data: records of (count, value) and escapes (0,0) end of line, (0,1) end of
// picture, (0,2,dx,dy) move, (0,n) n literal pixels padded to 16 bits. A value is one index
// byte (RLE8), two alternating 4-bit indices (RLE4) or three bytes blue, green, red (RLE24).
// Pixels the data never reaches keep index 0, or black in a 24-bit picture. Some encoders
// run each row on into its 4-byte padding, as if encoding the stored row; those pixels are
// dropped, and only a run past the padded row is an error.
void decodeRle(const uchar *src, qint64 size, const Layout &l, QImage &image)
{
    const bool four = l.compression == BiRle4, rgb = l.compression == BiRle24;
    const int w = int(l.width), h = int(l.height);
    const qint64 paddedWidth = four ? l.stride * 2 : rgb ? l.stride / 3 : l.stride;
    const qint64 valueBytes = rgb ? 3 : 1;
    image.fill(rgb ? qRgb(0, 0, 0) : 0u);
    qint64 pos = 0;
    int x = 0, y = 0; // y counts stored rows
    // Where a run of count pixels goes, and how many of them are inside the picture.
    auto place = [&](int count, int &visible) {
        if (y >= h)
            fail(messageText("run-length data runs past the picture"));
        if (x + count > paddedWidth)
            fail(messageText("a run-length run goes past the end of row %1").arg(y));
        visible = std::clamp(w - x, 0, count);
        return image.scanLine(int(fileRow(l, y))) + std::min(x, w) * (rgb ? 4 : 1);
    };
    auto colour = [](const uchar *s) { return qRgb(s[2], s[1], s[0]); };
    for (;;) {
        if (pos + 2 > size) {
            if (y >= h)
                return;
            fail(messageText("the run-length data ends before the end of the picture"));
        }
        const int n = src[pos], v = src[pos + 1];
        int visible = 0;
        if (n > 0) {
            if (pos + 1 + valueBytes > size)
                fail(messageText("the run-length data ends inside a run"));
            uchar *row = place(n, visible);
            if (rgb)
                std::fill_n(reinterpret_cast<QRgb *>(row), visible, colour(src + pos + 1));
            else if (four)
                for (int i = 0; i < visible; ++i)
                    row[i] = uchar((i & 1) ? (v & 0x0F) : (v >> 4));
            else
                std::memset(row, v, size_t(visible));
            pos += 1 + valueBytes;
            x += n;
            continue;
        }
        pos += 2;
        if (v == 0) {
            x = 0;
            ++y;
        } else if (v == 1) {
            return;
        } else if (v == 2) {
            if (pos + 2 > size)
                fail(messageText("the run-length data ends inside a move"));
            const int dx = src[pos], dy = src[pos + 1];
            pos += 2;
            if (x + dx > paddedWidth || y + dy > h)
                fail(messageText("a run-length move goes past the picture"));
            x += dx;
            y += dy;
        } else {
            const qint64 bytes = four ? (v + 1) / 2 : v * valueBytes;
            if (pos + bytes > size)
                fail(messageText("the run-length data ends inside a literal run"));
            uchar *row = place(v, visible);
            const uchar *s = src + pos;
            if (rgb)
                for (int i = 0; i < visible; ++i)
                    reinterpret_cast<QRgb *>(row)[i] = colour(s + 3 * i);
            else if (four)
                for (int i = 0; i < visible; ++i)
                    row[i] = uchar((i & 1) ? (s[i >> 1] & 0x0F) : (s[i >> 1] >> 4));
            else
                std::memcpy(row, s, size_t(visible));
            x += v;
            pos += bytes + (bytes & 1);
        }
    }
}

// One colour channel of a bit-field pixel: the masked value shifted down to at most 8
// bits, then widened to 0..255 by a table, v * 255 / max rounded to nearest (5-bit 3 is
// 24.7 and reads as 25).
struct Channel
{
    int shift = 0;
    quint32 mask = 0;
    uchar table[256] = {};

    explicit Channel(quint32 m) : mask(m)
    {
        if (m == 0)
            return;
        const int n = std::popcount(m);
        const int kept = std::min(n, 8);
        shift = std::countr_zero(m) + (n - kept);
        const int top = (1 << kept) - 1;
        for (int v = 0; v <= top; ++v)
            table[v] = uchar((v * 255 + top / 2) / top);
    }
    quint32 operator()(quint32 pixel) const { return table[(pixel & mask) >> shift]; }
};

void decode24(const uchar *s, QRgb *d, int w)
{
    // Four-byte loads: the byte after each pixel is overwritten by the alpha. The last
    // pixel goes byte by byte so nothing past the row is read.
    int x = 0;
    for (; x + 1 < w; ++x, s += 3)
        d[x] = qFromLittleEndian<quint32>(s) | 0xFF000000u;
    for (; x < w; ++x, s += 3)
        d[x] = 0xFF000000u | (quint32(s[2]) << 16) | (quint32(s[1]) << 8) | s[0];
}

// Turns uncompressed stored rows into picture rows, a piece at a time: indices for 1, 4
// and 8 bits, 32-bit pixels for the rest. Only the used bytes of each row are read.
class RowDecoder
{
public:
    explicit RowDecoder(const Layout &l)
        : l_(l), r_(l.masks[0]), g_(l.masks[1]), b_(l.masks[2]), a_(l.alphaMask),
          opaque_(l.alphaMask ? 0 : 0xFF000000u),
          plain32_(l.bits == 32 && l.masks[0] == 0xFF0000 && l.masks[1] == 0xFF00 && l.masks[2] == 0xFF &&
                   (l.alphaMask == 0 || l.alphaMask == 0xFF000000u)),
          image_(newPictureImage(int(l.width), int(l.height), imageFormat(l)))
    {
        if (image_.isNull())
            fail(messageText("out of memory for %1 x %2 pixels").arg(l.width).arg(l.height));
    }

    QImage &image() { return image_; }

    // count stored rows from src (l.stride apart), the first being stored row `first`.
    void rows(const uchar *src, int first, int count)
    {
        const int w = int(l_.width);
        for (int i = 0; i < count; ++i, src += l_.stride) {
            uchar *line = image_.scanLine(int(fileRow(l_, first + i)));
            QRgb *d = reinterpret_cast<QRgb *>(line);
            if (l_.bits <= 8)
                unpackIndices(src, line, w, l_.bits);
            else if (l_.bits == 24)
                decode24(src, d, w);
            else if (plain32_)
                for (int x = 0; x < w; ++x)
                    d[x] = qFromLittleEndian<quint32>(src + 4 * x) | opaque_;
            else if (l_.bits == 32)
                for (int x = 0; x < w; ++x)
                    d[x] = pixel(qFromLittleEndian<quint32>(src + 4 * x));
            else
                for (int x = 0; x < w; ++x)
                    d[x] = pixel(qFromLittleEndian<quint16>(src + 2 * x));
        }
    }

private:
    static QImage::Format imageFormat(const Layout &l)
    {
        return l.bits <= 8 ? QImage::Format_Indexed8 : l.alphaMask ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    }
    QRgb pixel(quint32 v) const { return opaque_ | (a_(v) << 24) | (r_(v) << 16) | (g_(v) << 8) | b_(v); }

    const Layout &l_;
    const Channel r_, g_, b_, a_;
    const quint32 opaque_; // the alpha of pixels without an alpha mask
    const bool plain32_;
    QImage image_;
};

// Indices beyond a short colour table show black. Below 8 bits the table is simply
// completed; an 8-bit picture with a short table is scanned for its largest index.
void completePalette(QImage &image, int bits, QVector<QRgb> palette)
{
    const int fullCount = 1 << bits;
    if (palette.size() < fullCount) {
        int needed = fullCount;
        if (bits == 8) {
            uchar maxIndex = 0;
            for (int y = 0; y < image.height(); ++y) {
                const uchar *s = image.constScanLine(y);
                for (int x = 0; x < image.width(); ++x)
                    maxIndex = std::max(maxIndex, s[x]);
            }
            needed = maxIndex + 1;
        }
        while (palette.size() < needed)
            palette << qRgb(0, 0, 0);
    }
    image.setColorTable(palette);
}

// Pixels decoded with their alpha are composed over white; a 2-bit picture is kept as a
// 4-bit one with its four colours.
Raster finish(QImage &image, int bits, const QVector<QRgb> &palette)
{
    image.setDotsPerMeterX(DotsPerMeter);
    image.setDotsPerMeterY(DotsPerMeter);
    if (image.format() == QImage::Format_ARGB32)
        composeOverWhiteUnlessUnset(image);
    if (bits > 8)
        return Raster::fromImage(image, bits);
    completePalette(image, bits, palette);
    if (bits == 2)
        bits = 4;
    if (Raster::sizeAllowed(image.width(), image.height()))
        return Raster::fromImage(image, bits);
    return Raster::fromIndices(image.width(), image.height(), bits, image.colorTable(), image.constBits(),
                               image.bytesPerLine());
}

Raster decode(const uchar *p, qint64 size, const Layout &l)
{
    const QVector<QRgb> palette = readPalette(p, size, l);
    if (l.dataOffset > size)
        fail(messageText("the pixel data offset %1 lies past the end of the data").arg(l.dataOffset));
    if (!l.rle() && l.dataOffset + l.dataSize > size)
        fail(messageText("the data ends inside the pixel data"));
    RowDecoder decoder(l);
    if (l.rle()) {
        qint64 avail = size - l.dataOffset;
        if (l.dataSize > 0)
            avail = std::min(avail, l.dataSize);
        decodeRle(p + l.dataOffset, avail, l, decoder.image());
    } else {
        decoder.rows(p + l.dataOffset, 0, int(l.height));
    }
    return finish(decoder.image(), l.bits, palette);
}

Raster decodeSpan(const uchar *p, qint64 size) { return decode(p, size, parseHeaders(p, size)); }

// A large uncompressed file is decoded as its rows are read, so the file's bytes never
// sit in memory all at once. Anything else is read whole.
Raster loadLargeFile(QFile &file)
{
    constexpr qint64 Piece = qint64(1) << 20;
    const QByteArray head = file.read(64 * 1024);
    const auto *hp = reinterpret_cast<const uchar *>(head.constData());
    const Layout l = parseHeaders(hp, head.size());
    if (l.rle() || l.dataOffset > head.size()) {
        if (!file.seek(0))
            fail(messageText("cannot go back to the start of the file"));
        const QByteArray data = file.readAll();
        return decodeSpan(reinterpret_cast<const uchar *>(data.constData()), data.size());
    }
    const QVector<QRgb> palette = readPalette(hp, head.size(), l);
    if (l.dataOffset + l.dataSize > file.size())
        fail(messageText("the data ends inside the pixel data"));
    if (!file.seek(l.dataOffset))
        fail(messageText("cannot go to the pixel data"));
    RowDecoder decoder(l);
    const int h = int(l.height);
    const int rowsPerPiece = int(std::clamp<qint64>(Piece / l.stride, 1, h));
    QByteArray piece(qint64(rowsPerPiece) * l.stride, Qt::Uninitialized);
    for (int first = 0; first < h; first += rowsPerPiece) {
        const int count = std::min(rowsPerPiece, h - first);
        const qint64 needed = qint64(count - 1) * l.stride + (l.width * l.bits + 7) / 8;
        const qint64 got = file.read(piece.data(), qint64(count) * l.stride);
        if (got < needed)
            fail(messageText("the data ends inside the pixel data"));
        decoder.rows(reinterpret_cast<const uchar *>(piece.constData()), first, count);
    }
    return finish(decoder.image(), l.bits, palette);
}

// Reads exactly n more bytes onto buffer, in pieces so that a size from a damaged header
// costs no memory the device cannot back.
void readMore(QIODevice &device, QByteArray &buffer, qint64 n)
{
    constexpr qint64 Piece = qint64(1) << 20;
    while (n > 0) {
        const qint64 want = std::min(n, Piece);
        const qsizetype old = buffer.size();
        buffer.resize(old + want);
        const qint64 got = device.read(buffer.data() + old, want);
        if (got != want)
            throw LetrafexError(messageText("Stream read error"));
        n -= got;
    }
}

} // namespace

Raster ReadBmp(const QByteArray &data)
{
    return decodeSpan(reinterpret_cast<const uchar *>(data.constData()), data.size());
}

Raster ReadBmp(QIODevice &device)
{
    QByteArray buffer;
    readMore(device, buffer, FileHeaderSize + 4);
    const uchar *p = reinterpret_cast<const uchar *>(buffer.constData());
    if (p[0] != 'B' || p[1] != 'M')
        throw LetrafexError(messageText("Bitmap image is not valid"));
    const quint32 infoSize = u32(p + 14);
    const quint32 offBits = u32(p + 10);
    if (!knownInfoSize(infoSize))
        fail(messageText("unknown information header size %1").arg(infoSize));
    readMore(device, buffer, infoSize - 4);
    if (infoSize == 40) {
        const uchar *h = reinterpret_cast<const uchar *>(buffer.constData()) + FileHeaderSize;
        readMore(device, buffer, trailingMaskBytes(infoSize, u32(h + 16), offBits, u32(h + 32)));
    }

    const Layout l = parseHeaders(reinterpret_cast<const uchar *>(buffer.constData()), buffer.size());
    if (l.rle() && l.dataSize == 0)
        fail(messageText("the size of the run-length data is not given"));
    const qint64 needed = l.extent();
    readMore(device, buffer, needed - buffer.size());
    Raster raster = decode(reinterpret_cast<const uchar *>(buffer.constData()), buffer.size(), l);

    // The image ends where its size field says, which may count more than the pixels (the
    // last row's padding, a colour profile). Without a usable size field it ends after the
    // padded rows. The rest is skipped as far as the device has it.
    const qint64 padded = l.rle() ? needed : std::max(needed, l.dataOffset + l.stride * l.height);
    const qint64 end = l.fileSize >= needed ? l.fileSize : padded;
    for (qint64 rest = end - needed; rest > 0;) {
        const qint64 skipped = device.skip(rest);
        if (skipped <= 0)
            break;
        rest -= skipped;
    }
    return raster;
}

Raster LoadBmpFile(const QString &fileName)
{
    QFile file(fileName);
    openForReading(file);
    // Read, not mapped: a file cut short by another program while mapped would end the
    // process instead of failing the load.
    if (file.size() > 4 * 1024 * 1024 && !file.isSequential())
        return loadLargeFile(file);
    const QByteArray data = file.readAll();
    checkReadSucceeded(file);
    return ReadBmp(data);
}
