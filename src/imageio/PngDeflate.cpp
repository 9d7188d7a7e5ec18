#include "imageio/PngDeflate.h"

#include <QRgb>
#include <QtEndian>

#include <libdeflate.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// ---------------------------------------------------------------------------- filters

inline uchar paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return uchar(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// out[0] is the filter type, out[1..n] the filtered bytes of raw against the row above.
void filterRow(PngFilter filter, const uchar *raw, const uchar *above, std::size_t n, int bpp, uchar *out)
{
    *out++ = uchar(filter);
    const std::size_t left = std::min<std::size_t>(std::size_t(bpp), n);
    switch (filter) {
    case PngFilter::None:
        std::memcpy(out, raw, n);
        break;
    case PngFilter::Sub:
        std::memcpy(out, raw, left);
        for (std::size_t i = left; i < n; ++i)
            out[i] = uchar(raw[i] - raw[i - bpp]);
        break;
    case PngFilter::Up:
        for (std::size_t i = 0; i < n; ++i)
            out[i] = uchar(raw[i] - above[i]);
        break;
    case PngFilter::Average:
        for (std::size_t i = 0; i < left; ++i)
            out[i] = uchar(raw[i] - (above[i] >> 1));
        for (std::size_t i = left; i < n; ++i)
            out[i] = uchar(raw[i] - ((raw[i - bpp] + above[i]) >> 1));
        break;
    case PngFilter::Paeth:
        for (std::size_t i = 0; i < left; ++i)
            out[i] = uchar(raw[i] - above[i]);
        for (std::size_t i = left; i < n; ++i)
            out[i] = uchar(raw[i] - paeth(raw[i - bpp], above[i], above[i - bpp]));
        break;
    }
}

// ---------------------------------------------------------------------------- joining

// Reads a raw deflate stream bit by bit, least significant bit first, never past its end.
class BitStream
{
public:
    BitStream(const uchar *data, std::size_t size) : data_(data), size_(size) {}

    // At least 56 bits from the current position; bits past the end read as zero.
    std::uint64_t peek() const
    {
        const std::size_t byte = pos_ >> 3;
        std::uint64_t v = 0;
        if (byte + 8 <= size_)
            v = qFromLittleEndian<quint64>(data_ + byte);
        else
            for (std::size_t i = byte; i < size_; ++i)
                v |= std::uint64_t(data_[i]) << (8 * (i - byte));
        return v >> (pos_ & 7);
    }
    std::uint32_t take(int n)
    {
        const std::uint32_t v = n ? std::uint32_t(peek() & ((std::uint64_t(1) << n) - 1)) : 0;
        pos_ += std::size_t(n);
        return v;
    }
    void skip(std::size_t bits) { pos_ += bits; }
    void alignToByte() { pos_ = (pos_ + 7) & ~std::size_t(7); }
    std::size_t position() const { return pos_; }
    bool overrun() const { return pos_ > size_ * 8; }

private:
    const uchar *data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// A canonical Huffman code as a table indexed by the next maxBits bits of the stream:
// each entry is symbol << 4 | code length, 0 where no code starts. A code without any
// symbol is allowed: a block of literals only has no distance code at all (libdeflate
// writes such blocks for content without repeats worth a match), and nothing decodes
// from it.
class HuffmanTable
{
public:
    bool build(const uchar *lengths, int count)
    {
        int maxBits = 0, perLength[16] = {};
        for (int s = 0; s < count; ++s) {
            maxBits = std::max<int>(maxBits, lengths[s]);
            ++perLength[lengths[s]];
        }
        bits_ = maxBits;
        table_.assign(std::size_t(1) << maxBits, 0);
        // Codes of each length follow the last code of the length before, doubled.
        int next[16] = {};
        int code = 0;
        perLength[0] = 0;
        for (int len = 1; len <= 15; ++len) {
            code = (code + perLength[len - 1]) << 1;
            next[len] = code;
        }
        for (int s = 0; s < count; ++s) {
            const int len = lengths[s];
            if (!len)
                continue;
            const int c = next[len]++;
            if (c >= (1 << len))
                return false; // more codes than the length allows
            int reversed = 0;
            for (int i = 0; i < len; ++i)
                reversed |= ((c >> i) & 1) << (len - 1 - i);
            for (int k = reversed; k < (1 << maxBits); k += 1 << len)
                table_[std::size_t(k)] = std::uint16_t(s << 4 | len);
        }
        return true;
    }
    // The next symbol, or -1 where the stream holds no code.
    int decode(BitStream &in) const
    {
        const std::uint16_t e = table_[std::size_t(in.peek() & ((1u << bits_) - 1))];
        if (!e)
            return -1;
        in.skip(e & 15);
        return e >> 4;
    }

private:
    std::vector<std::uint16_t> table_;
    int bits_ = 0;
};

// Steps over the symbols of one compressed block up to its end-of-block code.
bool skipSymbols(BitStream &in, const HuffmanTable &literals, const HuffmanTable &distances)
{
    for (;;) {
        const int sym = literals.decode(in);
        if (sym < 0 || sym > 285 || in.overrun())
            return false;
        if (sym < 256)
            continue;
        if (sym == 256)
            return true;
        const int l = sym - 257;
        in.skip(std::size_t(l < 8 || l == 28 ? 0 : l / 4 - 1));
        const int d = distances.decode(in);
        if (d < 0 || d > 29)
            return false;
        in.skip(std::size_t(d < 4 ? 0 : d / 2 - 1));
    }
}

bool readDynamicCodes(BitStream &in, HuffmanTable &literals, HuffmanTable &distances)
{
    static constexpr uchar order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    const int nlit = int(in.take(5)) + 257, ndist = int(in.take(5)) + 1, ncode = int(in.take(4)) + 4;
    uchar codeLengths[19] = {};
    for (int i = 0; i < ncode; ++i)
        codeLengths[order[i]] = uchar(in.take(3));
    HuffmanTable lengthCode;
    if (!lengthCode.build(codeLengths, 19))
        return false;
    uchar lengths[320] = {};
    for (int i = 0; i < nlit + ndist;) {
        const int sym = lengthCode.decode(in);
        if (sym < 0 || in.overrun())
            return false;
        if (sym < 16) {
            lengths[i++] = uchar(sym);
            continue;
        }
        const int repeat = sym == 16 ? 3 + int(in.take(2)) : sym == 17 ? 3 + int(in.take(3)) : 11 + int(in.take(7));
        if ((sym == 16 && i == 0) || i + repeat > nlit + ndist)
            return false;
        std::fill_n(lengths + i, repeat, sym == 16 ? lengths[i - 1] : 0);
        i += repeat;
    }
    return literals.build(lengths, nlit) && distances.build(lengths + nlit, ndist);
}

// Where a complete raw deflate stream's final block starts and where that block ends, in
// bits from the stream's start.
struct FinalBlock
{
    std::size_t headerBit = 0;
    std::size_t endBit = 0;
};

bool findFinalBlock(const uchar *data, std::size_t size, FinalBlock &out)
{
    BitStream in(data, size);
    HuffmanTable literals, distances;
    for (;;) {
        const std::size_t header = in.position();
        const bool final = in.take(1);
        const int type = int(in.take(2));
        if (type == 0) {
            in.alignToByte();
            const std::uint32_t len = in.take(16), nlen = in.take(16);
            if ((len ^ nlen) != 0xFFFF)
                return false;
            in.skip(std::size_t(len) * 8);
        } else if (type == 1) {
            uchar lengths[320];
            std::fill_n(lengths, 144, 8), std::fill_n(lengths + 144, 112, 9);
            std::fill_n(lengths + 256, 24, 7), std::fill_n(lengths + 280, 8, 8);
            std::fill_n(lengths + 288, 30, 5);
            if (!literals.build(lengths, 288) || !distances.build(lengths + 288, 30) ||
                !skipSymbols(in, literals, distances))
                return false;
        } else if (type != 2 || !readDynamicCodes(in, literals, distances) || !skipSymbols(in, literals, distances)) {
            return false;
        }
        if (in.overrun())
            return false;
        if (final) {
            out = {header, in.position()};
            return true;
        }
    }
}

// Turns the complete raw deflate stream in out[start, end) into one that a following
// stream may continue: its final block becomes an ordinary one and an empty stored block
// brings the stream to a byte boundary. Returns the new end, or 0 when the stream cannot
// be read.
std::size_t makeContinuable(std::vector<uchar> &out, std::size_t start, std::size_t end)
{
    FinalBlock f;
    if (!findFinalBlock(out.data() + start, end - start, f))
        return 0;
    uchar *s = out.data() + start;
    s[f.headerBit >> 3] &= uchar(~(1u << (f.headerBit & 7)));
    std::size_t n = (f.endBit + 7) >> 3;
    const int used = int(f.endBit & 7);
    if (used)
        s[n - 1] &= uchar((1u << used) - 1);
    // The stored block's three header bits are zeros: they fit in the last byte's padding
    // when it has three bits left, otherwise a zero byte carries them.
    const int padding = used ? 8 - used : 0;
    if (padding < 3)
        s[n++] = 0;
    static constexpr uchar emptyStored[4] = {0x00, 0x00, 0xFF, 0xFF};
    std::memcpy(s + n, emptyStored, 4);
    return start + n + 4;
}

struct CompressorDeleter
{
    void operator()(libdeflate_compressor *c) const { libdeflate_free_compressor(c); }
};

} // namespace

bool CompressPngImageData(const PngImageData &data, const PngRowSource &rows, const PngStreamSink &sink)
{
    const std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
        libdeflate_alloc_compressor(std::clamp(data.level, 1, 12)));
    if (!compressor || data.height <= 0 || data.rowBytes == 0)
        return false;
    const std::size_t line = data.rowBytes + 1;
    const int rowsPerPiece = int(std::clamp<std::size_t>(data.pieceBytes / line, 1, std::size_t(data.height)));
    try {
        std::vector<uchar> raw(data.rowBytes), above(data.rowBytes, 0);
        std::vector<uchar> filtered(line * std::size_t(rowsPerPiece));
        // Room for the zlib header, the piece, the joining bytes and the checksum.
        std::vector<uchar> out(2 + libdeflate_deflate_compress_bound(compressor.get(), filtered.size()) + 5 + 4);
        std::uint32_t adler = 1;
        for (int first = 0; first < data.height; first += rowsPerPiece) {
            const int count = std::min(rowsPerPiece, data.height - first);
            for (int i = 0; i < count; ++i) {
                rows(first + i, raw.data());
                filterRow(data.filter, raw.data(), above.data(), data.rowBytes, data.pixelBytes,
                          filtered.data() + line * std::size_t(i));
                raw.swap(above);
            }
            const std::size_t in = line * std::size_t(count);
            adler = libdeflate_adler32(adler, filtered.data(), in);
            std::size_t start = 0;
            if (first == 0) {
                out[0] = 0x78; // deflate with a 32 KiB window
                out[1] = 0x9C;
                start = 2;
            }
            std::size_t end = start + libdeflate_deflate_compress(compressor.get(), filtered.data(), in,
                                                                  out.data() + start, out.size() - start - 9);
            if (end == start)
                return false;
            const bool last = first + count >= data.height;
            if (!last && (end = makeContinuable(out, start, end)) == 0)
                return false;
            if (last) {
                qToBigEndian<quint32>(adler, out.data() + end);
                end += 4;
            }
            if (!sink(out.data(), end))
                return false;
        }
    } catch (const std::bad_alloc &) {
        return false;
    }
    return true;
}

PngEncoding ChoosePngEncoding(const uchar *pixels, int width, int height, qsizetype stride)
{
    // Sampled rows, each against the row above. The filter whose residuals are smaller
    // (as signed bytes) wins; Sub and Paeth never compressed best in the measurements.
    constexpr int SampleRows = 64;
    PngEncoding e;
    if (height < 2 || width < 1)
        return e;
    qint64 same = 0, total = 0, upCost = 0, averageCost = 0;
    const int step = std::max(1, (height - 1) / SampleRows);
    for (int y = 1; y < height; y += step) {
        const auto *row = reinterpret_cast<const QRgb *>(pixels + y * stride);
        const auto *up = reinterpret_cast<const QRgb *>(pixels + (y - 1) * stride);
        QRgb left = 0;
        for (int x = 0; x < width; ++x) {
            same += row[x] == up[x];
            for (int shift = 0; shift < 24; shift += 8) {
                const int c = int(row[x] >> shift & 0xFF), b = int(up[x] >> shift & 0xFF);
                const int a = int(left >> shift & 0xFF);
                upCost += std::abs(int(qint8(uchar(c - b))));
                averageCost += std::abs(int(qint8(uchar(c - ((a + b) >> 1)))));
            }
            left = row[x];
        }
        total += width;
    }
    e.filter = upCost <= averageCost ? PngFilter::Up : PngFilter::Average;
    // Drawn pictures repeat the row above in most places: there a higher level finds the
    // long matches cheaply. Photographs gain little from it for much more time.
    e.level = same * 2 >= total ? 6 : 4;
    return e;
}

void StorePngRow(const QImage &pixels, int y, int pixelBytes, uchar *out)
{
    const QRgb *src = reinterpret_cast<const QRgb *>(pixels.constScanLine(y));
    const int width = pixels.width();
    if (pixelBytes == 3) {
        for (int x = 0; x < width; ++x, out += 3) {
            out[0] = uchar(qRed(src[x]));
            out[1] = uchar(qGreen(src[x]));
            out[2] = uchar(qBlue(src[x]));
        }
        return;
    }
    for (int x = 0; x < width; ++x, out += 4) {
        out[0] = uchar(qRed(src[x]));
        out[1] = uchar(qGreen(src[x]));
        out[2] = uchar(qBlue(src[x]));
        out[3] = uchar(qAlpha(src[x]));
    }
}

bool CompressPngPicture(const QImage &pixels, int pixelBytes, const PngStreamSink &sink, const PngRowSource &store)
{
    PngImageData data;
    data.height = pixels.height();
    data.pixelBytes = pixelBytes;
    data.rowBytes = std::size_t(pixels.width()) * std::size_t(pixelBytes);
    const PngEncoding encoding = ChoosePngEncoding(pixels.constBits(), pixels.width(), pixels.height(), pixels.bytesPerLine());
    data.filter = encoding.filter;
    data.level = encoding.level;
    if (store)
        return CompressPngImageData(data, store, sink);
    return CompressPngImageData(
        data, [&pixels, pixelBytes](int y, uchar *out) { StorePngRow(pixels, y, pixelBytes, out); }, sink);
}
