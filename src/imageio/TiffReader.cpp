// The picture readers: one image file directory of a TFileTiff becomes a 24-bit picture.
// The own strip reader takes the uncompressed kinds it knows; every other directory goes
// to libtiff (TiffLibReader), and a BigTIFF file goes there whole.
#include "core/MessageText.h"
#include "core/PlainMessage.h"
#include "imageio/TiffCodec.h"
#include "imageio/TiffFile.h"
#include "imageio/TiffLibReader.h"
#include "imageio/TiffPicture.h"

#include <QImage>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

enum class Kind { Bilevel, Grey, Palette, Rgb };

constexpr const char *DataError = messageKey("Error reading image data");

// The message for a compressed image that no decoder read: libtiff's reason, when it gave
// one, follows the first line.
QString compressedMessage(Kind kind, const QString &reason)
{
    static const char *const firstLines[] = {
        messageKey("Cant read compressed bilevel image"), messageKey("Cant read compressed Gray Scale Image"),
        messageKey("Cant read compressed ColorPaletImage"), messageKey("Cant read compressed RGB Full Color Image")};
    return messageText(firstLines[int(kind)]) + QStringLiteral("\n\n") +
           (reason.isEmpty() ? messageText("Images of this kind are only read uncompressed so far. "
                                           "If you can contribute a decoder for them, you are welcome to.")
                             : reason);
}

// Why the own reader leaves a directory.
struct Refusal
{
    QString message;        // its own message; empty for layouts it has none for
    bool toLibrary = false; // an image of a kind libtiff may read
    int compressed = -1;    // the Kind of a compressed image, whose message takes libtiff's reason
    bool endsRead = false;  // when libtiff refuses it too, no further directory is read
};

// Sets the refusal; false for the reader to stop.
bool refuse(Refusal &r, const QString &message, bool toLibrary = false)
{
    r.message = message;
    r.toLibrary = toLibrary;
    return false;
}

// What the directory says about the pixels, once the checks have passed.
struct ImageFormat
{
    int width = 0;
    int height = 0;
    int bits = 8;             // per pixel of an indexed image; 24 for RGB
    int step = 3;             // bytes from one RGB pixel to the next
    int alpha = 0;            // the fourth sample: 1 associated alpha, 2 unassociated, 0 none
    bool lowBitFirst = false; // FillOrder 2: the bits of every byte are stored in reverse
    QRgb table[256] = {};     // the colour of each index
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

// Width, height, compression and layout. False with the refusal set at the first failed
// check.
bool readCommon(const TGraphicTiff &dir, Kind kind, ImageFormat &f, Refusal &r)
{
    const TiffEntry *width = dir.findEntry(TiffTag::ImageWidth);
    if (!width)
        return refuse(r, messageText("Error reading tag Image Width"));
    const TiffEntry *height = dir.findEntry(TiffTag::ImageLength);
    if (!height)
        return refuse(r, messageText("Error reading tag Image Height"));
    const quint32 w = dir.value(*width), h = dir.value(*height);
    TiffPicture::checkSides(w, h);
    f.width = int(w);
    f.height = int(h);
    const TiffEntry *compression = dir.findEntry(TiffTag::Compression);
    if (!compression)
        return refuse(r, messageText("Error reading tag Compression"));
    if (dir.value(*compression) != 1) {
        r.compressed = int(kind);
        return refuse(r, compressedMessage(kind, {}), true);
    }
    // Tiles, colour planes one after another, and extra samples beside grey or palette
    // indices are laid out in ways the strip reader does not follow.
    const TiffEntry *samples = dir.findEntry(TiffTag::SamplesPerPixel);
    const TiffEntry *planar = dir.findEntry(TiffTag::PlanarConfiguration);
    const quint32 perPixel = samples ? dir.value(*samples) : 1;
    if (dir.findEntry(TiffTag::TileWidth) || dir.findEntry(TiffTag::TileOffsets) ||
        (planar && dir.value(*planar) == 2 && perPixel > 1) || (kind != Kind::Rgb && perPixel > 1))
        return refuse(r, {}, true);
    const TiffEntry *fill = dir.findEntry(TiffTag::FillOrder);
    f.lowBitFirst = fill && dir.value(*fill) == 2;
    return true;
}

// Each reader's own checks and colour table.
bool readFormat(const TGraphicTiff &dir, Kind kind, quint32 photometric, ImageFormat &f, Refusal &r)
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
            return refuse(r, messageText("Error reading tag Bits Per Sample"));
        const TiffEntry *map = dir.findEntry(TiffTag::ColorMap);
        if (!map)
            return refuse(r, messageText("Error reading tag Color Table Offset"));
        if (bits != 1 && bits != 4 && bits != 8)
            return refuse(r, messageText("Error: Bits Per Sample (Palette) not 1, 4 or 8"), true);
        f.bits = int(bits);
        const quint32 n = map->count / 3;
        if (n >= 1 && n <= 256) {
            const QVector<quint32> v = dir.values(*map, 3 * n);
            if (v.size() != qsizetype(3 * n))
                return refuse(r, messageText("Error reading tag Color Table Offset"));
            for (quint32 i = 0; i < n; ++i)
                tables.set(int(i), (v[i] >> 8) & 0xFF, (v[n + i] >> 8) & 0xFF, (v[2 * n + i] >> 8) & 0xFF);
        }
        break;
    }
    case Kind::Rgb: {
        if (!bitsEntry)
            return refuse(r, messageText("Error reading tag Bits Per Sample"));
        const QVector<quint32> v = bitsEntry->count == 1 ? QVector<quint32>(3, bits) : dir.values(*bitsEntry, 3);
        if (!v.contains(8))
            return refuse(r, messageText("Error: Bits Per Sample (RGB) not 8"), true);
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
          need_(f.bits == 24 ? qint64(f.width - 1) * f.step + (f.alpha ? 4 : 3) : (qint64(f.width) * f.bits + 7) / 8)
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

    // Bytes of a row the pixels need.
    qint64 need() const { return need_; }

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

void decodeRgb(const uchar *s, QRgb *d, const ImageFormat &f)
{
    const int w = f.width;
    int x = 0;
    if (f.alpha) {
        for (; x < w; ++x, s += f.step)
            d[x] = qRgb(TiffPicture::overWhite(s[0], s[3], f.alpha), TiffPicture::overWhite(s[1], s[3], f.alpha),
                        TiffPicture::overWhite(s[2], s[3], f.alpha));
        return;
    }
    // Four-byte loads while a fourth byte is there to read; the last pixel byte by byte.
    for (; x + 1 < w; ++x, s += f.step)
        d[x] = 0xFF000000u | (qFromBigEndian<quint32>(s) >> 8);
    for (; x < w; ++x, s += f.step)
        d[x] = qRgb(s[0], s[1], s[2]);
}

// Each byte with its bits in the other order.
struct ReversedBits
{
    uchar of[256];
    constexpr ReversedBits() : of()
    {
        for (int i = 0; i < 256; ++i) {
            int r = 0;
            for (int bit = 0; bit < 8; ++bit)
                r |= ((i >> bit) & 1) << (7 - bit);
            of[i] = uchar(r);
        }
    }
};
constexpr ReversedBits reversedBits;

bool decodeRows(StripRows &rows, const ImageFormat &f, QImage &image)
{
    std::vector<uchar> turned(f.lowBitFirst ? size_t(rows.need()) : 0);
    for (int y = 0; y < f.height; ++y) {
        const uchar *s = rows.row(y);
        if (!s)
            return false;
        if (f.lowBitFirst) {
            for (size_t i = 0; i < turned.size(); ++i)
                turned[i] = reversedBits.of[s[i]];
            s = turned.data();
        }
        QRgb *d = reinterpret_cast<QRgb *>(image.scanLine(y));
        if (f.bits == 24)
            decodeRgb(s, d, f);
        else
            decodeIndexed(s, d, f);
    }
    return true;
}

// One directory into the picture. The picture changes only when the image was read (or
// is emptied when there is no memory for it). False with the refusal set when the
// directory is not read; a refusal without a message left nothing to show.
bool readImage(const TGraphicTiff &dir, Kind kind, quint32 photometric, Raster &picture, Refusal &r)
{
    ImageFormat f;
    if (!readCommon(dir, kind, f, r) || !readFormat(dir, kind, photometric, f, r))
        return false;
    if (const QString problem = TiffPicture::sizeProblem(f.width, f.height); !problem.isEmpty())
        return refuse(r, problem);
    StripRows rows(dir, f);
    if (!rows.usable())
        return refuse(r, messageText(DataError));
    QImage image = newPictureImage(f.width, f.height, QImage::Format_RGB32);
    if (image.isNull()) {
        picture = Raster();
        return refuse(r, messageText("Out Of Memory") + QLatin1Char(' '));
    }
    if (!decodeRows(rows, f, image))
        return refuse(r, messageText(DataError));
    picture = TiffPicture::finish(image);
    return true;
}

// What libtiff makes of a directory the own reader left to it; false when no further
// directory is to be read.
bool readWithLibrary(const TGraphicTiff &dir, TiffLibReader &library, const Refusal &r, Raster &picture)
{
    const TiffLibReader::Result result = library.readAt(dir.offset(), picture);
    switch (result.outcome) {
    case TiffLibReader::Outcome::Read:
        return true;
    case TiffLibReader::Outcome::Failed:
        ShowPlainMessage(result.text);
        return true;
    case TiffLibReader::Outcome::Refused:
        break;
    }
    // Neither reader takes it: the own message stands.
    if (r.compressed >= 0)
        ShowPlainMessage(compressedMessage(Kind(r.compressed), result.text));
    else if (!r.message.isEmpty())
        ShowPlainMessage(r.message);
    else
        ShowPlainMessage(result.text.isEmpty() ? messageText(DataError) : result.text);
    return !r.endsRead;
}

// One directory of a classic file by whichever reader takes it; false when no further
// directory is to be read.
bool readDirectory(const TGraphicTiff &dir, TiffLibReader &library, Raster &picture)
{
    const TiffEntry *entry = dir.findEntry(TiffTag::PhotometricInterpretation);
    if (!entry) {
        ShowPlainMessage(messageText("Error reading tag Photometric interpretation"));
        return false;
    }
    const quint32 photometric = dir.value(*entry);
    Refusal r;
    if (photometric > 3) {
        // CMYK, YCbCr, CIE L*a*b*, LogLuv and the like.
        refuse(r, messageText("Error evaluating Photometric interpretation: %1").arg(photometric), true);
        r.endsRead = true;
    } else if (photometric == 2 || photometric == 3) {
        if (readImage(dir, photometric == 2 ? Kind::Rgb : Kind::Palette, photometric, picture, r))
            return true;
    } else {
        const TiffEntry *bits = dir.findEntry(TiffTag::BitsPerSample);
        const quint32 b = bits ? dir.value(*bits) : 1;
        if (b == 1 || b == 4 || b == 8) {
            if (readImage(dir, b == 1 ? Kind::Bilevel : Kind::Grey, photometric, picture, r))
                return true;
        } else {
            refuse(r, messageText("Error: Bits Per Sample (Gray Scale) not 1, 4 or 8"), true);
        }
    }
    if (r.toLibrary)
        return readWithLibrary(dir, library, r, picture);
    if (!r.message.isEmpty())
        ShowPlainMessage(r.message);
    return true;
}

// A BigTIFF file: every directory along the chain through libtiff.
void readBigTiff(const TFileTiff &file, Raster &picture, const QString &name)
{
    TiffLibReader library(file, name);
    QString why;
    int read = 0;
    // Reduced-resolution images and masks count only while no full-resolution one was seen.
    bool anyFull = false;
    Raster reduced;
    QStringList reducedMessages;
    for (; read < TFileTiff::MaxDirectories && library.nextDirectory(why); ++read) {
        const bool full = library.currentIsFullResolution();
        anyFull = anyFull || full;
        if (!full && anyFull)
            continue;
        const TiffLibReader::Result result = library.readCurrent(full ? picture : reduced);
        const QString text = result.text.isEmpty() ? messageText(DataError) : result.text;
        if (result.outcome != TiffLibReader::Outcome::Read)
            full ? ShowPlainMessage(text) : void(reducedMessages << text);
    }
    if (!anyFull) {
        for (const QString &text : reducedMessages)
            ShowPlainMessage(text);
        if (!reduced.isEmpty())
            picture = reduced;
    }
    if (read == 0 && why.isEmpty())
        ShowPlainMessage(messageText("<%1> is not a valid TIFF file").arg(name));
    else if (!why.isEmpty())
        ShowPlainMessage(why);
}

// A reduced-resolution image (a thumbnail, an overview) or a transparency mask goes with a
// full-resolution image and is not the picture itself: NewSubfileType bits 0 and 2, or the
// older SubfileType 2.
bool isFullResolution(const TGraphicTiff &dir)
{
    const TiffEntry *kind = dir.findEntry(TiffTag::NewSubfileType);
    const TiffEntry *oldKind = dir.findEntry(TiffTag::SubfileType);
    return !(kind && (dir.value(*kind) & 5)) && !(oldKind && dir.value(*oldKind) == 2);
}

void readDirectories(const TFileTiff &file, Raster &picture, const QString &name)
{
    if (file.bigTiff()) {
        readBigTiff(file, picture, name);
        return;
    }
    if (!file.valid() || file.directoryCount() == 0) {
        ShowPlainMessage(messageText("<%1> is not a valid TIFF file").arg(name));
        return;
    }
    // Only full-resolution images are read when the file has any; the last one read wins.
    bool anyFull = false;
    for (int i = 0; i < file.directoryCount(); ++i)
        anyFull = anyFull || isFullResolution(*file.directory(i));
    TiffLibReader library(file, name);
    for (int i = 0; i < file.directoryCount(); ++i)
        if ((!anyFull || isFullResolution(*file.directory(i))) && !readDirectory(*file.directory(i), library, picture))
            return;
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
