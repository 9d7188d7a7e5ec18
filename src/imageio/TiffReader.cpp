// The picture readers: one image file directory of a TFileTiff becomes a 24-bit picture.
#include "core/MessageText.h"
#include "core/PlainMessage.h"
#include "imageio/TiffCodec.h"
#include "imageio/TiffFile.h"

#include <QImage>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr quint32 MaxTiffSide = 65535;

enum class Kind { Bilevel, Grey, Palette, Rgb };

constexpr const char *DataError = messageKey("Error reading image data");

QString compressedMessage(Kind kind)
{
    static const char *const firstLines[] = {
        messageKey("Cant read compressed bilevel image"), messageKey("Cant read compressed Gray Scale Image"),
        messageKey("Cant read compressed ColorPaletImage"), messageKey("Cant read compressed RGB Full Color Image")};
    return messageText(firstLines[int(kind)]) + QStringLiteral("\n\n") +
           messageText("Images of this kind are only read uncompressed so far. "
                       "If you can contribute a decoder for them, you are welcome to.");
}

// What the directory says about the pixels, once the checks have passed.
struct ImageFormat
{
    int width = 0;
    int height = 0;
    int bits = 8;           // per pixel of an indexed image; 24 for RGB
    int step = 3;           // bytes from one RGB pixel to the next
    int alpha = 0;          // the fourth sample: 1 associated alpha, 2 unassociated, 0 none
    QRgb table[256] = {};   // the colour of each index
};

// Three tables of 256 levels, reset to a grey ramp, then set by the reader.
struct ColourTables
{
    uchar red[256], green[256], blue[256];
    ColourTables()
    {
        for (int i = 0; i < 256; ++i)
            red[i] = green[i] = blue[i] = uchar(i);
    }
    void set(int i, int r, int g, int b) { red[i] = uchar(r), green[i] = uchar(g), blue[i] = uchar(b); }
    void grey(int i, int v) { set(i, v, v, v); }
    void fill(QRgb *table) const
    {
        for (int i = 0; i < 256; ++i)
            table[i] = qRgb(red[i], green[i], blue[i]);
    }
};

// Shows the message; false for the reader to stop.
bool fail(const QString &message)
{
    ShowPlainMessage(message);
    return false;
}

// Width, height and compression. False after showing the message of the first failed check.
bool readCommon(const TGraphicTiff &dir, Kind kind, ImageFormat &f)
{
    const TiffEntry *width = dir.findEntry(TiffTag::ImageWidth);
    if (!width)
        return fail(messageText("Error reading tag Image Width"));
    const TiffEntry *height = dir.findEntry(TiffTag::ImageLength);
    if (!height)
        return fail(messageText("Error reading tag Image Height"));
    const quint32 w = dir.value(*width), h = dir.value(*height);
    if (w > MaxTiffSide || h > MaxTiffSide)
        throw LetrafexError(messageText("The TIFF image size %1 x %2 is above 65535 pixels").arg(w).arg(h));
    f.width = int(w);
    f.height = int(h);
    const TiffEntry *compression = dir.findEntry(TiffTag::Compression);
    if (!compression)
        return fail(messageText("Error reading tag Compression"));
    if (dir.value(*compression) != 1)
        return fail(compressedMessage(kind));
    return true;
}

// Each reader's own checks and colour table.
bool readFormat(const TGraphicTiff &dir, Kind kind, quint32 photometric, ImageFormat &f)
{
    ColourTables tables;
    const TiffEntry *bitsEntry = dir.findEntry(TiffTag::BitsPerSample);
    const quint32 bits = bitsEntry ? dir.value(*bitsEntry) : 1;
    switch (kind) {
    case Kind::Bilevel:
        f.bits = 1;
        tables.grey(0, photometric == 0 ? 255 : 0);
        tables.grey(1, photometric == 0 ? 0 : 255);
        break;
    case Kind::Grey:
        // White is zero in photometric 0, for grey as for bilevel images.
        f.bits = int(bits);
        for (int i = 0, top = (1 << f.bits) - 1; i <= top; ++i)
            tables.grey(i, photometric == 0 ? 255 - i * 255 / top : i * 255 / top);
        break;
    case Kind::Palette: {
        if (!bitsEntry)
            return fail(messageText("Error reading tag Bits Per Sample"));
        const TiffEntry *map = dir.findEntry(TiffTag::ColorMap);
        if (!map)
            return fail(messageText("Error reading tag Color Table Offset"));
        if (bits != 1 && bits != 4 && bits != 8)
            return fail(messageText("Error: Bits Per Sample (Palette) not 1, 4 or 8"));
        f.bits = int(bits);
        const quint32 n = map->count / 3;
        if (n >= 1 && n <= 256) {
            const QVector<quint32> v = dir.values(*map, 3 * n);
            if (v.size() != qsizetype(3 * n))
                return fail(messageText("Error reading tag Color Table Offset"));
            for (quint32 i = 0; i < n; ++i)
                tables.set(int(i), (v[i] >> 8) & 0xFF, (v[n + i] >> 8) & 0xFF, (v[2 * n + i] >> 8) & 0xFF);
        }
        break;
    }
    case Kind::Rgb: {
        if (!bitsEntry)
            return fail(messageText("Error reading tag Bits Per Sample"));
        const QVector<quint32> v = bitsEntry->count == 1 ? QVector<quint32>(3, bits) : dir.values(*bitsEntry, 3);
        if (!v.contains(8))
            return fail(messageText("Error: Bits Per Sample (RGB) not 8"));
        f.bits = 24;
        // Extra samples (an alpha channel) are stepped over.
        const TiffEntry *samples = dir.findEntry(TiffTag::SamplesPerPixel);
        f.step = samples ? int(std::max<quint32>(3, std::min<quint32>(dir.value(*samples), 64))) : 3;
        // An alpha sample is shown over white, as a transparent PNG is.
        if (const TiffEntry *extra = dir.findEntry(TiffTag::ExtraSamples); extra && f.step >= 4) {
            const quint32 kind = dir.value(*extra);
            f.alpha = kind == 1 || kind == 2 ? int(kind) : 0;
        }
        break;
    }
    }
    tables.fill(f.table);
    return true;
}

// Rows per strip as the standard gives it: missing (or 0) means all rows in one strip.
qint64 rowsPerStrip(const TGraphicTiff &dir, int height)
{
    const TiffEntry *e = dir.findEntry(TiffTag::RowsPerStrip);
    const quint32 rows = e ? dir.value(*e) : 0;
    return rows == 0 || rows > quint32(height) ? height : rows;
}

// The rows of the image in the strips taken one after another: row y starts rowBytes * y
// bytes into them. Only the bytes a row's pixels need are read.
class StripRows
{
public:
    // The bytes of each row are the first strip's byte count over the rows per strip.
    StripRows(const TGraphicTiff &dir, const ImageFormat &f)
        : dir_(dir), height_(f.height),
          rowBytes_(dir.stripCount() ? dir.strip(0)->byteCount / rowsPerStrip(dir, f.height) : 0),
          need_(f.bits == 24 ? qint64(f.width - 1) * f.step + 3 : (qint64(f.width) * f.bits + 7) / 8)
    {
        qint64 end = 0;
        for (int i = 0; i < dir.stripCount(); ++i)
            ends_.push_back(end += dir.strip(i)->byteCount);
    }

    // Every strip must lie inside the file and together they must hold all rows.
    bool usable() const
    {
        if (ends_.empty() || rowBytes_ < need_)
            return false;
        for (int i = 0; i < dir_.stripCount(); ++i) {
            const TiffStrip *s = dir_.strip(i);
            if (qint64(s->offset) + s->byteCount > dir_.file().fileSize())
                return false;
        }
        return ends_.back() >= rowBytes_ * (height_ - 1) + need_;
    }

    // The first need bytes of row y (rows are asked for in order); nullptr when unreadable.
    const uchar *row(int y)
    {
        qint64 pos = rowBytes_ * y;
        while (ends_[current_] <= pos)
            ++current_;
        const qint64 start = ends_[current_] - dir_.strip(int(current_))->byteCount;
        if (pos + need_ <= ends_[current_])
            return dir_.file().bytes(dir_.strip(int(current_))->offset + (pos - start), need_);
        // The row runs on into the next strips.
        scratch_.resize(size_t(need_));
        qint64 done = 0;
        for (size_t s = current_; done < need_ && s < ends_.size(); ++s) {
            const qint64 first = ends_[s] - dir_.strip(int(s))->byteCount;
            const qint64 from = std::max(pos, first);
            const qint64 n = std::min(ends_[s], pos + need_) - from;
            if (n <= 0)
                continue;
            const uchar *p = dir_.file().bytes(dir_.strip(int(s))->offset + (from - first), n);
            if (!p)
                return nullptr;
            std::memcpy(scratch_.data() + done, p, size_t(n));
            done += n;
        }
        return done == need_ ? scratch_.data() : nullptr;
    }

private:
    const TGraphicTiff &dir_;
    const int height_;
    const qint64 rowBytes_;
    const qint64 need_;
    std::vector<qint64> ends_; // where each strip ends among the strips taken together
    size_t current_ = 0;
    std::vector<uchar> scratch_;
};

void decodeIndexed(const uchar *s, QRgb *d, const ImageFormat &f)
{
    const int w = f.width;
    switch (f.bits) {
    case 1:
        for (int x = 0; x < w; ++x)
            d[x] = f.table[(s[x >> 3] >> (7 - (x & 7))) & 1];
        break;
    case 4:
        for (int x = 0; x < w; ++x)
            d[x] = f.table[(x & 1) ? (s[x >> 1] & 0x0F) : (s[x >> 1] >> 4)];
        break;
    default:
        for (int x = 0; x < w; ++x)
            d[x] = f.table[s[x]];
    }
}

// A colour sample over white by its alpha: straight samples are weighted, samples already
// multiplied by their alpha get the white that shows through.
inline int overWhite(int c, int a, int kind)
{
    return kind == 1 ? std::min(255, c + 255 - a) : (c * a + 255 * (255 - a) + 127) / 255;
}

void decodeRgb(const uchar *s, QRgb *d, const ImageFormat &f)
{
    const int w = f.width;
    int x = 0;
    if (f.alpha) {
        for (; x < w; ++x, s += f.step)
            d[x] = qRgb(overWhite(s[0], s[3], f.alpha), overWhite(s[1], s[3], f.alpha), overWhite(s[2], s[3], f.alpha));
        return;
    }
    // Four-byte loads while a fourth byte is there to read; the last pixel byte by byte.
    for (; x + 1 < w; ++x, s += f.step)
        d[x] = 0xFF000000u | (qFromBigEndian<quint32>(s) >> 8);
    for (; x < w; ++x, s += f.step)
        d[x] = qRgb(s[0], s[1], s[2]);
}

bool decodeRows(StripRows &rows, const ImageFormat &f, QImage &image)
{
    for (int y = 0; y < f.height; ++y) {
        const uchar *s = rows.row(y);
        if (!s)
            return false;
        QRgb *d = reinterpret_cast<QRgb *>(image.scanLine(y));
        if (f.bits == 24)
            decodeRgb(s, d, f);
        else
            decodeIndexed(s, d, f);
    }
    return true;
}

// One directory into the picture. The picture changes only when the image was read (or
// is emptied when there is no memory for it).
bool readImage(const TGraphicTiff &dir, Kind kind, quint32 photometric, Raster &picture)
{
    ImageFormat f;
    if (!readCommon(dir, kind, f) || !readFormat(dir, kind, photometric, f))
        return false;
    if (f.width == 0 || f.height == 0)
        return fail(messageText("Error: Image Width or Image Height is 0"));
    if (!Raster::sizeAllowed(f.width, f.height, 32))
        return fail(messageText("Error: an image of %1 x %2 pixels is too large to read").arg(f.width).arg(f.height));
    StripRows rows(dir, f);
    if (!rows.usable())
        return fail(messageText(DataError));
    QImage image = newPictureImage(f.width, f.height, QImage::Format_RGB32);
    if (image.isNull()) {
        picture = Raster();
        return fail(messageText("Out Of Memory") + QLatin1Char(' '));
    }
    if (!decodeRows(rows, f, image))
        return fail(messageText(DataError));
    // Set before the raster shares the image, so it need not copy the pixels to change it.
    image.setDotsPerMeterX(3780);
    image.setDotsPerMeterY(3780);
    // A 24-bit picture, as the file's samples are, whatever the image stores them in.
    picture = Raster::fromImage(image, 24);
    return true;
}

void readDirectories(const TFileTiff &file, Raster &picture, const QString &name)
{
    if (!file.valid() || file.directoryCount() == 0) {
        ShowPlainMessage(messageText("<%1> is not a valid TIFF file").arg(name));
        return;
    }
    for (int i = 0; i < file.directoryCount(); ++i) {
        const TGraphicTiff &dir = *file.directory(i);
        const TiffEntry *entry = dir.findEntry(TiffTag::PhotometricInterpretation);
        if (!entry) {
            ShowPlainMessage(messageText("Error reading tag Photometric interpretation"));
            return;
        }
        const quint32 photometric = dir.value(*entry);
        if (photometric > 3) {
            ShowPlainMessage(messageText("Error evaluating Photometric interpretation: %1").arg(photometric));
            return;
        }
        if (photometric == 2) {
            readImage(dir, Kind::Rgb, photometric, picture);
        } else if (photometric == 3) {
            readImage(dir, Kind::Palette, photometric, picture);
        } else {
            const TiffEntry *bits = dir.findEntry(TiffTag::BitsPerSample);
            const quint32 b = bits ? dir.value(*bits) : 1;
            if (b == 1)
                readImage(dir, Kind::Bilevel, photometric, picture);
            else if (b == 4 || b == 8)
                readImage(dir, Kind::Grey, photometric, picture);
            else
                ShowPlainMessage(messageText("Error: Bits Per Sample (Gray Scale) not 1, 4 or 8"));
        }
    }
}

} // namespace

void LoadTiffFile(const QString &fileName, Raster &picture)
{
    TFileTiff file;
    file.setFileName(fileName);
    readDirectories(file, picture, fileName);
}

void ReadTiff(const QByteArray &data, Raster &picture, const QString &name)
{
    TFileTiff file;
    file.setData(data);
    readDirectories(file, picture, name);
}
