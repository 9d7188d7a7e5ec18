#include "imageio/PcxCodec.h"

#include "core/FileBytes.h"
#include "core/MessageText.h"
#include "imageio/PcxFormat.h"

#include <QBuffer>
#include <QFile>
#include <QImage>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

using namespace pcx;

constexpr qint64 BufferSize = 8192;

constexpr const char *NotPcx = messageKey("Not a PCX file, or header read error.");
constexpr const char *NotValid = messageKey("Not a valid PCX file!");

// Why the last read failed. The codec is used one call at a time.
QString lastError;

// Reads a file through an 8192-byte buffer. A refill zero-fills the buffer, reads what the
// file still has and then counts the whole buffer as available, so bytes past the end read
// as 0; pastEnd() tells whether any such byte was taken.
class BufferedReader
{
public:
    BufferedReader(QIODevice &device, const QString &name) : device_(device), name_(name) {}

    uchar byte()
    {
        if (left_ == 0)
            refill();
        --left_;
        return *next_++;
    }
    quint16 word()
    {
        const uchar low = byte();
        return quint16(low | byte() << 8);
    }
    // Empties the buffer: the next byte read refills from the file's current position.
    void reset()
    {
        left_ = 0;
        next_ = end_ = buffer_ + BufferSize;
    }
    // Moves to pos; bytes at or after limit count as past the end.
    void seek(qint64 pos, qint64 limit)
    {
        if (!device_.seek(pos))
            fail();
        position_ = pos;
        limit_ = limit;
        reset();
    }
    bool pastEnd() const { return short_ || next_ > end_; }
    // The bytes the buffer still counts as available, for reading many at once; skip()
    // takes them as read.
    const uchar *peek(qint64 &count) const
    {
        count = left_;
        return next_;
    }
    void skip(qint64 count)
    {
        next_ += count;
        left_ -= count;
    }

private:
    [[noreturn]] void fail() const
    {
        throw LetrafexError(messageText("Cannot read file \"%1\". %2").arg(name_, device_.errorString()));
    }
    void refill()
    {
        // The previous buffer ended with the file and has been used up, zeros included.
        if (end_ != buffer_ + BufferSize)
            short_ = true;
        std::memset(buffer_, 0, sizeof buffer_);
        const qint64 want = std::clamp<qint64>(limit_ - position_, 0, BufferSize);
        const qint64 got = want ? device_.read(reinterpret_cast<char *>(buffer_), want) : 0;
        if (got < 0)
            fail();
        position_ += got;
        next_ = buffer_;
        end_ = buffer_ + got;
        left_ = BufferSize;
    }

    QIODevice &device_;
    const QString &name_;
    uchar buffer_[BufferSize] = {};
    const uchar *next_ = buffer_ + BufferSize;
    const uchar *end_ = buffer_ + BufferSize; // one past the last byte the file gave
    qint64 left_ = 0;
    qint64 position_ = 0;
    qint64 limit_ = 0;
    bool short_ = false;
};

enum class Layout { Mono, Planes16, Packed16, Indexed256, Rgb, Undecoded };

struct Header
{
    int version = 0;
    bool raw = false; // encoding 0: rows stored as they are; any other value: run-length data
    int bits = 0;
    int width = 0;
    int height = 0;
    int planes = 0;
    int bytesPerLine = 0;
    QVector<QRgb> palette; // the 16 header entries, 8 bits a component

    Layout layout() const
    {
        if (bits == 1 && planes == 1)
            return Layout::Mono;
        if (bits == 1 && planes >= 2 && planes <= 4)
            return Layout::Planes16;
        if ((bits == 2 || bits == 4) && planes == 1)
            return Layout::Packed16;
        if (bits == 8 && planes == 1)
            return Layout::Indexed256;
        if (bits == 8 && planes == 3)
            return Layout::Rgb;
        return Layout::Undecoded;
    }
    qint64 lineBytes() const { return qint64(bytesPerLine) * planes; }
};

// Version 2 files give their palette in two bits a component (0 to 3).
QVector<QRgb> readPalette(BufferedReader &in, int entries, int version)
{
    QVector<QRgb> palette(entries);
    for (QRgb &c : palette) {
        int rgb[3];
        for (int &v : rgb) {
            v = in.byte();
            if (version == 2 && v < 4)
                v *= 85;
        }
        c = qRgb(rgb[0], rgb[1], rgb[2]);
    }
    return palette;
}

// The palette of version 3 files, in 6-bit units, shown as c x 4 + 3.
QVector<QRgb> defaultPalette()
{
    static const uchar entries[16][3] = {{0, 0, 0},    {0, 0, 32},   {0, 32, 0},   {0, 32, 32},
                                         {32, 0, 0},   {32, 0, 32},  {32, 32, 0},  {42, 42, 42},
                                         {21, 21, 21}, {0, 0, 63},   {0, 63, 0},   {0, 63, 63},
                                         {63, 0, 0},   {63, 0, 63},  {63, 63, 0},  {63, 63, 63}};
    QVector<QRgb> palette;
    for (const auto &e : entries)
        palette << qRgb(e[0] * 4 + 3, e[1] * 4 + 3, e[2] * 4 + 3);
    return palette;
}

// Reads the header fields in file order; returns the error text, or empty.
QString readHeader(BufferedReader &in, qint64 fileSize, Header &h)
{
    if (fileSize < HeaderSize)
        return messageText(NotPcx);
    const int manufacturer = in.byte();
    h.version = in.byte();
    h.raw = in.byte() == 0;
    h.bits = in.byte();
    const int xMin = in.word(), yMin = in.word(), xMax = in.word(), yMax = in.word();
    in.word(); // resolutions
    in.word();
    h.palette = readPalette(in, 16, h.version);
    in.byte(); // reserved
    h.planes = in.byte();
    h.bytesPerLine = in.word();
    if (manufacturer != 10)
        return messageText(NotPcx);
    if (h.bits != 1 && h.bits != 2 && h.bits != 4 && h.bits != 8 && h.bits != 16 && h.bits != 24 && h.bits != 32)
        return messageText(NotValid);
    h.width = xMax - xMin + 1;
    h.height = yMax - yMin + 1;
    const bool indexed = h.layout() != Layout::Rgb && h.layout() != Layout::Undecoded;
    if (h.width <= 0 || h.height <= 0 || !Raster::sizeAllowed(h.width, h.height, indexed ? 8 : 32))
        return messageText("The PCX picture size %1 x %2 is empty or beyond the limits.").arg(h.width).arg(h.height);
    return {};
}

// Decodes the picture data a line at a time. Run-length data is one stream: a run that goes
// past the end of a line goes on at the start of the next. Raw data is copied as it is.
class RunDecoder
{
public:
    RunDecoder(BufferedReader &in, bool raw) : in_(in), raw_(raw) {}

    void line(uchar *out, qint64 n)
    {
        if (raw_) {
            rawLine(out, n);
            return;
        }
        qint64 i = 0;
        while (i < n) {
            if (pending_ > 0) {
                const qint64 k = std::min<qint64>(pending_, n - i);
                std::memset(out + i, value_, size_t(k));
                i += k;
                pending_ -= int(k);
            } else if (!fromBuffer(out, n, i)) {
                const uchar b = in_.byte();
                if ((b & RunFlag) == RunFlag) {
                    pending_ = b & MaxRun;
                    value_ = in_.byte();
                } else {
                    out[i++] = b;
                }
            }
        }
    }

private:
    void rawLine(uchar *out, qint64 n)
    {
        for (qint64 i = 0; i < n;) {
            qint64 count = 0;
            const uchar *p = in_.peek(count);
            if (count == 0) {
                out[i++] = in_.byte(); // refills the buffer
                continue;
            }
            const qint64 k = std::min(count, n - i);
            std::memcpy(out + i, p, size_t(k));
            in_.skip(k);
            i += k;
        }
    }

    // Decodes straight from the reader's buffer while a whole pair is sure to be there;
    // false when it could not take a byte, so that the caller refills.
    bool fromBuffer(uchar *out, qint64 n, qint64 &i)
    {
        qint64 count = 0;
        const uchar *const start = in_.peek(count);
        const uchar *p = start, *const last = start + count - 1;
        while (i < n && p < last) {
            const uchar b = *p++;
            if ((b & RunFlag) != RunFlag) {
                out[i++] = b;
                continue;
            }
            const int run = b & MaxRun;
            const uchar v = *p++;
            const qint64 k = std::min<qint64>(run, n - i);
            if (k < 8) {
                for (qint64 j = 0; j < k; ++j)
                    out[i + j] = v;
            } else {
                std::memset(out + i, v, size_t(k));
            }
            i += k;
            if (k < run) {
                pending_ = int(run - k);
                value_ = v;
                break;
            }
        }
        in_.skip(p - start);
        return p != start;
    }

    BufferedReader &in_;
    const bool raw_;
    int pending_ = 0;
    uchar value_ = 0;
};

// The most bytes n bytes of run-length data can stand for: pairs of 63, and a last single byte.
qint64 mostDecoded(qint64 n) { return MaxRun * (n / 2) + n % 2; }

// Turns one decoded line into picture row y. Bytes-per-line beyond the row are dropped;
// pixels a short line does not reach are 0.
class RowStore
{
public:
    RowStore(const Header &h, QImage &image) : h_(h), image_(image)
    {
        const qint64 bpl = h.bytesPerLine;
        const qint64 packedBits = h.layout() == Layout::Mono || h.layout() == Layout::Packed16 ? h.bits : 8;
        line_.assign(size_t(std::max<qint64>(h.lineBytes(), (h.width * packedBits + 7) / 8)), 0);
        if (h.layout() == Layout::Planes16)
            indices_.assign(size_t(std::max<qint64>(bpl * 8, h.width)), 0);
    }

    uchar *line() { return line_.data(); }

    void store(int y)
    {
        uchar *row = image_.scanLine(y);
        const int w = h_.width;
        const qint64 bpl = h_.bytesPerLine;
        const uchar *s = line_.data();
        switch (h_.layout()) {
        case Layout::Mono:
            for (int x = 0; x < w; ++x)
                row[x] = (s[x >> 3] >> (7 - (x & 7))) & 1;
            std::fill(line_.begin(), line_.end(), 0);
            break;
        case Layout::Packed16: {
            // Leftmost pixel in the top bits of a byte.
            const int bits = h_.bits, mask = (1 << bits) - 1;
            for (int x = 0; x < w; ++x) {
                const int at = x * bits;
                row[x] = uchar((s[at >> 3] >> (8 - bits - (at & 7))) & mask);
            }
            break;
        }
        case Layout::Planes16:
            spreadPlanes();
            std::memcpy(row, indices_.data(), size_t(w));
            break;
        case Layout::Indexed256:
            std::memcpy(row, s, size_t(w));
            break;
        case Layout::Rgb: {
            QRgb *d = reinterpret_cast<QRgb *>(row);
            const int n = int(std::min<qint64>(w, bpl));
            for (int x = 0; x < n; ++x)
                d[x] = qRgb(s[x], s[bpl + x], s[2 * bpl + x]);
            std::fill(d + n, d + w, qRgb(0, 0, 0));
            break;
        }
        case Layout::Undecoded:
            break;
        }
    }

private:
    // Pixel p of plane k gets bit k from bit 7 - p % 8 of the plane's byte p / 8.
    void spreadPlanes()
    {
        std::fill(indices_.begin(), indices_.end(), 0);
        const qint64 bpl = h_.bytesPerLine;
        for (int k = 0; k < h_.planes; ++k) {
            const uchar *plane = line_.data() + k * bpl;
            for (qint64 j = 0; j < bpl; ++j) {
                uchar *p = indices_.data() + j * 8;
                for (int b = 0; b < 8; ++b)
                    p[b] |= uchar(((plane[j] >> (7 - b)) & 1) << k);
            }
        }
    }

    const Header &h_;
    QImage &image_;
    std::vector<uchar> line_;
    std::vector<uchar> indices_;
};

// Reads the whole picture from the device; returns the error text, or empty.
QString readPcx(QIODevice &device, const QString &name, Raster &picture)
{
    const qint64 size = device.size();
    BufferedReader in(device, name);
    in.seek(0, size);
    Header h;
    if (QString error = readHeader(in, size, h); !error.isEmpty())
        return error;
    const Layout layout = h.layout();
    if (layout == Layout::Undecoded) {
        picture = Raster(h.width, h.height, 24);
        return messageText("PCX files of %1 bits in %2 planes are not decoded.").arg(h.bits).arg(h.planes);
    }

    QVector<QRgb> palette = h.version == 3 ? defaultPalette() : h.palette;
    qint64 dataEnd = size;
    if (layout == Layout::Indexed256) {
        if (size < HeaderSize + TrailerSize)
            return messageText("The PCX file has no 256-colour palette.");
        // The palette is the last 768 bytes, whatever the marker byte before it holds.
        dataEnd = size - TrailerSize;
        in.seek(dataEnd, size);
        in.byte();
        palette = readPalette(in, 256, h.version);
    } else if (layout == Layout::Mono) {
        palette = {qRgb(0, 0, 0), qRgb(255, 255, 255)};
    }
    const QString truncated = messageText("The PCX file ends before its picture is complete.");
    const qint64 dataBytes = dataEnd - HeaderSize;
    if ((h.raw ? dataBytes : mostDecoded(dataBytes)) < h.lineBytes() * h.height)
        return truncated;
    in.seek(HeaderSize, dataEnd);

    QImage image(h.width, h.height, layout == Layout::Rgb ? QImage::Format_RGB32 : QImage::Format_Indexed8);
    if (image.isNull())
        return messageText("Out of memory for a PCX picture of %1 x %2.").arg(h.width).arg(h.height);
    RowStore rows(h, image);
    RunDecoder decoder(in, h.raw);
    for (int y = 0; y < h.height; ++y) {
        decoder.line(rows.line(), h.lineBytes());
        if (in.pastEnd())
            return truncated;
        rows.store(y);
    }
    if (layout == Layout::Rgb) {
        picture = Raster::fromImage(image, 24);
    } else {
        image.setColorTable(palette);
        picture = Raster::fromImage(image, layout == Layout::Mono ? 1 : layout == Layout::Packed16 ? 4 : 8);
    }
    return {};
}

bool readInto(QIODevice &device, const QString &name, Raster &picture)
{
    Raster decoded;
    lastError.clear(); // a read error throws; it must not leave an older text behind
    lastError = readPcx(device, name, decoded);
    // The white picture of an undecoded layout replaces the old one, like decoded pixels.
    if (!decoded.isEmpty())
        picture = decoded;
    return lastError.isEmpty();
}

} // namespace

bool LoadPcxFile(const QString &fileName, Raster &picture)
{
    QFile file(fileName);
    openForReading(file, QIODevice::Unbuffered);
    return readInto(file, fileName, picture);
}

bool ReadPcx(const QByteArray &data, Raster &picture)
{
    QByteArray bytes = data;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return readInto(buffer, QStringLiteral("(memory)"), picture);
}

QString PcxLastError() { return lastError; }
