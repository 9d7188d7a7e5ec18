#include "imageio/TgaCodec.h"

#include "core/FileBytes.h"
#include "core/MessageText.h"

#include "imageio/AlphaCompose.h"
#include "imageio/PieceWriter.h"

#include <QFile>
#include <QImage>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace {

constexpr qint64 HeaderSize = 18;
// The image ID every written file carries: 45 characters and an end-of-file mark.
constexpr char WrittenId[] = "Quillmark(GIF-NOMA) produced this TARGA file!\x1A";
constexpr qint64 WrittenIdSize = sizeof(WrittenId) - 1;
static_assert(WrittenIdSize == 46);
constexpr int DotsPerMeter = 3780; // what Raster gives every picture; set before, so nothing detaches

constexpr const char *InvalidFile = messageKey("Invalid TGA file!");
constexpr const char *TruncatedFile = messageKey("Truncated TGA file!");
constexpr const char *TooLarge = messageKey("TGA picture is too large!");

// The error text of the last read (the codec works one call at a time).
QString lastError;

// Raised inside the reader for bad contents; ReadTga turns it into the last error.
struct TgaFault
{
    const char *text; // a message key
};

struct Header
{
    int idLength = 0;
    int mapType = 0;
    int imageType = 0;
    int mapFirst = 0;
    int mapLength = 0;
    int mapEntryBits = 0;
    int width = 0;
    int height = 0;
    int depth = 0;
    int descriptor = 0;

    bool rle() const { return imageType >= 9; }
    bool grey() const { return imageType == 3 || imageType == 11; }
    bool topDown() const { return descriptor & 0x20; }
    bool rightToLeft() const { return descriptor & 0x10; }
    bool indexed() const { return depth <= 8; }
    // Pixels of 32 bits, and grey ones of 16, end in an alpha byte when the descriptor
    // declares attribute bits; without them that byte is not alpha and is ignored.
    bool pixelAlpha() const { return (descriptor & 0x0F) && (depth == 32 || (grey() && depth == 16)); }
    // A row is read in units: packed bytes below 8 bits a pixel, whole pixels otherwise.
    // Run-length packets count units too.
    int unitSize() const { return std::max(1, depth / 8); }
    qint64 rowUnits() const { return depth < 8 ? (qint64(width) * depth + 7) / 8 : width; }
    qint64 mapBytes() const { return mapType ? qint64(mapLength) * ((mapEntryBits + 7) / 8) : 0; }
};

Header parseHeader(const uchar *p)
{
    Header h;
    h.idLength = p[0];
    h.mapType = p[1];
    h.imageType = p[2];
    h.mapFirst = qFromLittleEndian<quint16>(p + 3);
    h.mapLength = qFromLittleEndian<quint16>(p + 5);
    h.mapEntryBits = p[7];
    h.width = qFromLittleEndian<quint16>(p + 12);
    h.height = qFromLittleEndian<quint16>(p + 14);
    h.depth = p[16];
    h.descriptor = p[17];
    return h;
}

bool headerValid(const Header &h)
{
    switch (h.imageType) {
    case 1: case 2: case 3: case 9: case 10: case 11: break;
    default: return false;
    }
    switch (h.depth) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return false;
    }
    return h.width > 0 && h.height > 0;
}

// The most bytes a file with this header can use: every run-length unit a packet of its own.
qint64 extentBound(const Header &h)
{
    const qint64 units = h.rowUnits() * h.height;
    return HeaderSize + h.idLength + h.mapBytes() + units * (h.unitSize() + (h.rle() ? 1 : 0));
}

// The fewest bytes the pixel data can take: runs of 128 units when run-length encoded.
qint64 leastPixelBytes(const Header &h)
{
    const qint64 units = h.rowUnits() * h.height;
    return h.rle() ? (units + 127) / 128 * (1 + h.unitSize()) : units * h.unitSize();
}

// Reads forward through a file image in memory, or through a file a piece at a time, so a
// large file never sits in memory whole. Every read is checked against what is there; a
// pointer handed out stays valid until the next take().
class Cursor
{
public:
    Cursor(const uchar *data, qint64 size) : data_(data), size_(size) {}
    explicit Cursor(QFile &file) : file_(&file), unread_(file.size() - file.pos()) {}

    const uchar *take(qint64 n)
    {
        if (n > size_ - pos_ && !(file_ && fill(n)))
            throw TgaFault{TruncatedFile};
        const uchar *p = data_ + pos_;
        pos_ += n;
        return p;
    }
    uchar byte() { return *take(1); }
    qint64 remaining() const { return size_ - pos_ + unread_; }

private:
    // Keeps the bytes not yet taken and reads at least enough for n of them, a piece at a
    // time. A read error of the system throws LetrafexError naming the file.
    bool fill(qint64 n)
    {
        constexpr qint64 Piece = qint64(1) << 20;
        const qint64 kept = size_ - pos_;
        const qint64 want = std::min(std::max(n - kept, Piece), unread_);
        if (want < n - kept)
            return false;
        if (kept > 0)
            std::memmove(buffer_.data(), data_ + pos_, size_t(kept));
        buffer_.resize(kept + want);
        const qint64 got = file_->read(buffer_.data() + kept, want);
        checkReadSucceeded(*file_);
        unread_ = got == want ? unread_ - got : 0;
        data_ = reinterpret_cast<const uchar *>(buffer_.constData());
        size_ = kept + std::max<qint64>(got, 0);
        pos_ = 0;
        return n <= size_;
    }

    const uchar *data_ = nullptr;
    qint64 size_ = 0;
    qint64 pos_ = 0;
    QFile *file_ = nullptr;
    qint64 unread_ = 0; // bytes of the file not read yet
    QByteArray buffer_;
};

// Hands out the file's rows of units, undoing run-length packets. A packet that runs past
// the end of a row goes on at the start of the next one, as other programs write them.
class RowReader
{
public:
    RowReader(Cursor &cursor, const Header &h)
        : cursor_(cursor), rle_(h.rle()), unit_(h.unitSize()), units_(h.rowUnits()),
          line_(rle_ ? units_ * unit_ : 0, Qt::Uninitialized)
    {
    }

    const uchar *next()
    {
        if (!rle_)
            return cursor_.take(units_ * unit_);
        uchar *out = reinterpret_cast<uchar *>(line_.data());
        for (qint64 done = 0; done < units_;) {
            if (left_ == 0)
                startPacket();
            const qint64 n = std::min<qint64>(left_, units_ - done);
            uchar *d = out + done * unit_;
            if (run_) {
                for (qint64 i = 0; i < n; ++i, d += unit_)
                    std::memcpy(d, value_, size_t(unit_));
            } else {
                std::memcpy(d, cursor_.take(n * unit_), size_t(n * unit_));
            }
            done += n;
            left_ -= int(n);
        }
        return out;
    }

private:
    void startPacket()
    {
        const uchar h = cursor_.byte();
        left_ = (h & 0x7F) + 1;
        run_ = h & 0x80;
        if (run_)
            std::memcpy(value_, cursor_.take(unit_), size_t(unit_));
    }

    Cursor &cursor_;
    const bool rle_;
    const int unit_;
    const qint64 units_;
    QByteArray line_; // one row of units, for run-length data only
    int left_ = 0;    // units still to come from the current packet
    bool run_ = false;
    uchar value_[4] = {}; // the repeated unit of a run packet
};

// The colour map's entries from the first index on, up to entry 255. Entries keep the
// file's bits: 24- and 32-bit entries exactly, 5-bit components (15- and 16-bit entries,
// the top bit unused) times 8. The alpha of 32-bit entries is composed over white, unless
// it is 0 in every entry, where the writer never set it.
void readColourMap(const uchar *map, const Header &h, QVector<QRgb> &palette)
{
    uint alphaSeen = 0;
    for (int k = 0; k < h.mapLength && h.mapFirst + k <= 255; ++k) {
        QRgb &entry = palette[h.mapFirst + k];
        if (h.mapEntryBits == 24) {
            const uchar *e = map + 3 * k;
            entry = qRgb(e[2], e[1], e[0]);
        } else if (h.mapEntryBits == 32) {
            const uchar *e = map + 4 * k;
            entry = qRgba(e[2], e[1], e[0], e[3]);
            alphaSeen |= e[3];
        } else if (h.mapEntryBits == 15 || h.mapEntryBits == 16) {
            const unsigned v = qFromLittleEndian<quint16>(map + 2 * k);
            entry = qRgb(((v >> 10) & 31) * 8, ((v >> 5) & 31) * 8, (v & 31) * 8);
        }
    }
    for (QRgb &entry : palette)
        entry = alphaSeen ? composeOverWhite(entry) : entry | 0xFF000000u;
}

// The palette of an indexed picture: the colour map's entries where the file has one,
// otherwise a grey ramp (a black and white pair for one bit a pixel).
QVector<QRgb> readPalette(Cursor &cursor, const Header &h)
{
    QVector<QRgb> palette(256, qRgb(0, 0, 0));
    const uchar *map = cursor.take(h.mapBytes());
    if (h.mapType)
        readColourMap(map, h, palette);
    if (h.depth == 1)
        return {qRgb(0, 0, 0), qRgb(255, 255, 255)};
    const int levels = 1 << h.depth;
    if (!h.mapType)
        for (int i = 0; i < levels; ++i)
            palette[i] = qRgb(i * 255 / (levels - 1), i * 255 / (levels - 1), i * 255 / (levels - 1));
    palette.resize(levels);
    return palette;
}

// One row of units into one row of palette indices.
void indexRow(const uchar *src, uchar *dst, int width, int depth)
{
    if (depth == 8) {
        std::memcpy(dst, src, size_t(width));
    } else if (depth == 4) {
        for (int x = 0; x < width; ++x)
            dst[x] = (src[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F;
    } else {
        for (int x = 0; x < width; ++x)
            dst[x] = (src[x >> 3] >> (7 - (x & 7))) & 1;
    }
}

// One row of units into one row of 32-bit pixels; with alpha, the file's alpha byte is
// kept in each pixel's top byte.
void colourRow(const uchar *src, QRgb *dst, int width, const Header &h)
{
    const bool alpha = h.pixelAlpha();
    if (h.depth == 24) {
        for (int x = 0; x < width; ++x, src += 3)
            dst[x] = 0xFF000000u | (uint(src[2]) << 16) | (uint(src[1]) << 8) | src[0];
    } else if (h.depth == 32) {
        const uint opaque = alpha ? 0 : 0xFF000000u;
        for (int x = 0; x < width; ++x, src += 4)
            dst[x] = opaque | (uint(src[3]) << 24) | (uint(src[2]) << 16) | (uint(src[1]) << 8) | src[0];
    } else if (h.grey()) { // 16 bits: grey, then alpha
        for (int x = 0; x < width; ++x, src += 2)
            dst[x] = qRgba(src[0], src[0], src[0], alpha ? src[1] : 255);
    } else { // 16 bits: 5-5-5, the top bit unused
        for (int x = 0; x < width; ++x, src += 2) {
            const unsigned v = src[0] | (unsigned(src[1]) << 8);
            dst[x] = qRgb(((v >> 10) & 31) * 8, ((v >> 5) & 31) * 8, (v & 31) * 8);
        }
    }
}

Raster decode(Cursor &cursor)
{
    const Header h = parseHeader(cursor.take(HeaderSize));
    if (!headerValid(h))
        throw TgaFault{InvalidFile};
    if (!Raster::sizeAllowed(h.width, h.height, h.indexed() ? 8 : 32))
        throw TgaFault{TooLarge};
    cursor.take(h.idLength);
    const QImage::Format format = h.indexed()      ? QImage::Format_Indexed8
                                  : h.pixelAlpha() ? QImage::Format_ARGB32
                                                   : QImage::Format_RGB32;
    QImage image = newPictureImage(h.width, h.height, format);
    if (h.indexed())
        image.setColorTable(readPalette(cursor, h));
    else
        cursor.take(h.mapBytes());
    // Checked before the picture's memory is touched: a few bytes cannot claim a huge picture.
    if (cursor.remaining() < leastPixelBytes(h))
        throw TgaFault{TruncatedFile};
    if (image.isNull())
        throw TgaFault{TooLarge};
    image.setDotsPerMeterX(DotsPerMeter);
    image.setDotsPerMeterY(DotsPerMeter);

    RowReader rows(cursor, h);
    for (int i = 0; i < h.height; ++i) {
        uchar *line = image.scanLine(h.topDown() ? i : h.height - 1 - i);
        if (h.indexed()) {
            indexRow(rows.next(), line, h.width, h.depth);
            if (h.rightToLeft())
                std::reverse(line, line + h.width);
        } else {
            QRgb *pixels = reinterpret_cast<QRgb *>(line);
            colourRow(rows.next(), pixels, h.width, h);
            if (h.rightToLeft())
                std::reverse(pixels, pixels + h.width);
        }
    }
    if (h.pixelAlpha())
        composeOverWhiteUnlessUnset(image);
    return Raster::fromImage(image, h.indexed() ? h.depth : 24);
}

void writeHeader(uchar *p, int width, int height)
{
    std::memset(p, 0, HeaderSize);
    p[0] = uchar(WrittenIdSize);
    p[2] = 2;  // uncompressed true-colour
    p[7] = 24; // colour map entry size, although no map follows
    qToLittleEndian<quint16>(quint16(width), p + 12);
    qToLittleEndian<quint16>(quint16(height), p + 14);
    p[16] = 24;
    p[17] = 0x20; // rows from the top
    std::memcpy(p + HeaderSize, WrittenId, WrittenIdSize);
}

// The pixels to write: 32-bit rows, whatever layout the picture declares.
QImage writeSource(const Raster &picture)
{
    if (picture.isEmpty())
        throw LetrafexError(messageText("An empty picture cannot be written as a TGA file"));
    return picture.toRgb32();
}

void writeRows(const QImage &source, int first, int count, uchar *out)
{
    const qsizetype stride = qsizetype(source.width()) * 3;
    for (int i = 0; i < count; ++i)
        Raster::encodeDibRow(source.constScanLine(first + i), out + i * stride, stride, source.width(), 24);
}

// Decodes what the cursor reads into picture; bad contents leave a 1 x 1 picture and the
// error text.
bool readThrough(Cursor &cursor, Raster &picture)
{
    lastError.clear();
    try {
        picture = decode(cursor);
        return true;
    } catch (const TgaFault &fault) {
        lastError = messageText(fault.text);
    }
    picture.setSize(1, 1);
    return false;
}

} // namespace

bool ReadTga(const QByteArray &data, Raster &picture)
{
    Cursor cursor(reinterpret_cast<const uchar *>(data.constData()), data.size());
    return readThrough(cursor, picture);
}

QString TgaLastError() { return lastError; }

bool LoadTgaFile(const QString &fileName, Raster &picture)
{
    QFile file(fileName);
    openForReading(file);
    if (!file.isSequential()) {
        Cursor cursor(file);
        return readThrough(cursor, picture);
    }
    // A pipe has no size to check the header against: only as much as the header can use
    // is read, so endless input costs nothing.
    QByteArray data = file.read(HeaderSize);
    if (data.size() == HeaderSize) {
        const Header h = parseHeader(reinterpret_cast<const uchar *>(data.constData()));
        const bool usable = headerValid(h) && Raster::sizeAllowed(h.width, h.height, h.indexed() ? 8 : 32);
        const qint64 more = usable ? extentBound(h) - HeaderSize : 0;
        if (more > 0)
            data += file.read(more);
    }
    checkReadSucceeded(file);
    return ReadTga(data, picture);
}

QByteArray WriteTga(const Raster &picture)
{
    const QImage source = writeSource(picture);
    const qint64 offset = HeaderSize + WrittenIdSize;
    QByteArray out(offset + qint64(source.width()) * 3 * source.height(), Qt::Uninitialized);
    uchar *p = reinterpret_cast<uchar *>(out.data());
    writeHeader(p, source.width(), source.height());
    writeRows(source, 0, source.height(), p + offset);
    return out;
}

void SaveTgaFile(const QString &fileName, const Raster &picture)
{
    const QImage source = writeSource(picture);
    QByteArray head(HeaderSize + WrittenIdSize, Qt::Uninitialized);
    writeHeader(reinterpret_cast<uchar *>(head.data()), source.width(), source.height());
    const qint64 rowBytes = qint64(source.width()) * 3;
    SaveRowsInPieces(fileName, {head, rowBytes, source.height(), [&source, rowBytes](int first, int count, uchar *out) {
                                    writeRows(source, first, count, out);
                                    return count * rowBytes;
                                }, {}});
}
