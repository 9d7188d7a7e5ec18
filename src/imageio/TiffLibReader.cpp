#include "imageio/TiffLibReader.h"

#include "core/MessageText.h"
#include "imageio/TiffFile.h"
#include "imageio/TiffPicture.h"
#include "imageio/TiffSamples.h"

#include <QImage>

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <set>
#include <vector>

struct TiffLibReader::State
{
    State(const TFileTiff &f, const QString &n) : file(f), name(n) {}

    const TFileTiff &file;
    const QString name;
    quint64 position = 0;
    TIFF *tif = nullptr;
    bool openTried = false;
    QString firstError; // since the last clear
    bool open();
};

namespace {

using State = TiffLibReader::State;

State &state(thandle_t handle) { return *static_cast<State *>(handle); }

tmsize_t readBytes(thandle_t handle, void *buffer, tmsize_t size)
{
    State &s = state(handle);
    const qint64 available = s.file.fileSize() - qint64(s.position);
    const qint64 wanted = std::min<qint64>(qint64(size), std::max<qint64>(available, 0));
    // In pieces, so a large strip never makes the file reader hold a second copy of it.
    constexpr qint64 Piece = qint64(1) << 20;
    qint64 done = 0;
    while (done < wanted) {
        const qint64 n = std::min(Piece, wanted - done);
        const uchar *p = s.file.bytes(qint64(s.position), n);
        if (!p)
            break;
        std::memcpy(static_cast<char *>(buffer) + done, p, size_t(n));
        s.position += quint64(n);
        done += n;
    }
    return tmsize_t(done);
}

tmsize_t writeNothing(thandle_t, void *, tmsize_t) { return -1; }

toff_t seekTo(thandle_t handle, toff_t offset, int whence)
{
    State &s = state(handle);
    quint64 base = 0;
    if (whence == SEEK_CUR)
        base = s.position;
    else if (whence == SEEK_END)
        base = quint64(s.file.fileSize());
    // libtiff passes negative moves as their two's complement; the sum wraps the same way.
    const quint64 target = base + quint64(offset);
    if ((whence == SEEK_SET && offset > toff_t(INT64_MAX)) || target > quint64(INT64_MAX))
        return toff_t(-1);
    s.position = target;
    return target;
}

int closeNothing(thandle_t) { return 0; }
toff_t fileSize(thandle_t handle) { return toff_t(state(handle).file.fileSize()); }
// The whole file as one block: libtiff then takes strips and tiles straight from it.
int mapWhole(thandle_t handle, void **base, toff_t *size)
{
    State &s = state(handle);
    const uchar *all = s.file.whole();
    if (!all)
        return 0;
    *base = const_cast<uchar *>(all);
    *size = toff_t(s.file.fileSize());
    return 1;
}
void unmapNothing(thandle_t, void *, toff_t) {}

QString formatted(const char *module, const char *fmt, va_list ap, const QString &name)
{
    char text[1024];
    std::vsnprintf(text, sizeof text, fmt, ap);
    const QString message = QString::fromUtf8(text).trimmed();
    const QString where = module ? QString::fromUtf8(module) : QString();
    return where.isEmpty() || where == name ? message : where + QStringLiteral(": ") + message;
}

void keep(State &s, const char *module, const char *fmt, va_list ap)
{
    if (s.firstError.isEmpty())
        s.firstError = formatted(module, fmt, ap, s.name);
}

int keepError(TIFF *, void *user, const char *module, const char *fmt, va_list ap)
{
    keep(*static_cast<State *>(user), module, fmt, ap);
    return 1;
}

// Warnings describe files libtiff reads anyway; the picture says the rest.
int dropWarning(TIFF *, void *, const char *, const char *, va_list) { return 1; }

// The readers open now; some of libtiff's codecs still report through the process-wide
// handler with the file's client data, which is only taken for one of these.
std::set<const State *> &openStates()
{
    static std::set<const State *> states;
    return states;
}

void keepProcessWideError(thandle_t client, const char *module, const char *fmt, va_list ap)
{
    auto *s = static_cast<State *>(client);
    if (openStates().count(s))
        keep(*s, module, fmt, ap);
}

void dropProcessWideWarning(thandle_t, const char *, const char *, va_list) {}

// Nothing goes to stderr: texts without a file of ours are dropped. Set at every open, in
// case another user of libtiff in the process changed them.
void silenceLibtiff()
{
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    TIFFSetErrorHandlerExt(keepProcessWideError);
    TIFFSetWarningHandlerExt(dropProcessWideWarning);
}

// libtiff's RGBA pixels (red in the low byte) as opaque QRgb values, alpha shown over
// white. libtiff multiplies colour samples by an unassociated alpha except where it keeps
// them straight (grey images), which it shows by building no conversion table.
void toPicturePixels(QImage &image, const TIFFRGBAImage &img)
{
    const int kind = img.alpha == EXTRASAMPLE_UNASSALPHA && !img.UaToAa ? TiffPicture::Unassociated
                                                                          : TiffPicture::Associated;
    for (int y = 0; y < image.height(); ++y) {
        auto *row = reinterpret_cast<quint32 *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const quint32 p = row[x];
            const int a = int(p >> 24);
            if (a == 255) {
                row[x] = 0xFF000000u | (p & 0xFF) << 16 | (p & 0xFF00) | (p >> 16 & 0xFF);
            } else {
                const int r = int(p & 0xFF), g = int(p >> 8 & 0xFF), b = int(p >> 16 & 0xFF);
                row[x] = qRgb(TiffPicture::overWhite(r, a, kind), TiffPicture::overWhite(g, a, kind),
                              TiffPicture::overWhite(b, a, kind));
            }
        }
    }
}

QString withReason(const char *message, const QString &reason)
{
    const QString text = messageText(message);
    return reason.isEmpty() ? text : text + QStringLiteral("\n\n") + reason;
}


// Tiled 16-bit grey, decoded here: libtiff 4.5's RGBA reader steps over the unused part
// of a tile at the right edge in samples instead of bytes, which shifts the rows of
// every partial tile. Each level keeps its high byte, as libtiff's own map does.
bool readGrey16Tiles(TIFF *tif, QImage &image, bool minIsWhite)
{
    uint32_t tileWidth = 0, tileHeight = 0;
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileHeight);
    const tmsize_t tileBytes = TIFFTileSize(tif);
    if (tileWidth == 0 || tileHeight == 0 || tileBytes < tmsize_t(tileWidth) * tileHeight * 2)
        return false;
    std::vector<uint16_t> tile(size_t(tileBytes) / 2 + 1);
    const int w = image.width(), h = image.height();
    for (uint32_t ty = 0; ty < uint32_t(h); ty += tileHeight)
        for (uint32_t tx = 0; tx < uint32_t(w); tx += tileWidth) {
            if (TIFFReadTile(tif, tile.data(), tx, ty, 0, 0) < 0)
                return false;
            const int rows = int(std::min<uint32_t>(tileHeight, uint32_t(h) - ty));
            const int cols = int(std::min<uint32_t>(tileWidth, uint32_t(w) - tx));
            for (int y = 0; y < rows; ++y) {
                const uint16_t *s = tile.data() + size_t(y) * tileWidth;
                QRgb *d = reinterpret_cast<QRgb *>(image.scanLine(int(ty) + y)) + tx;
                for (int x = 0; x < cols; ++x) {
                    const int v = minIsWhite ? 255 - (s[x] >> 8) : s[x] >> 8;
                    d[x] = qRgb(v, v, v);
                }
            }
        }
    return true;
}

// The most bytes one stored byte can decode to, for the schemes whose output their input
// bounds; 0 where no bound holds (JPEG, LZMA, ZSTD and others code long runs in next to
// nothing, and CCITT G4 reads a strip that ends early as a whole one).
qint64 mostBytesPerStoredByte(uint16_t compression)
{
    switch (compression) {
    case COMPRESSION_NONE:
        return 1;
    case COMPRESSION_PACKBITS:
        return 64; // two bytes repeat one byte at most 128 times
    case COMPRESSION_LZW:
        return 4096; // every code takes at least nine bits and stands for at most 4097 bytes
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE:
        return 1032; // deflate's limit: 258 bytes for two bits
    default:
        return 0;
    }
}

// Why a strip or tile of the current directory cannot give the bytes its size says it
// holds from the bytes the file has for it; empty when each can. Checked before anything
// is allocated for the image, so a small file cannot make the reader take the memory its
// header claims.
QString storedDataProblem(TIFF *tif, qint64 fileSize)
{
    uint16_t compression = COMPRESSION_NONE;
    TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
    const qint64 ratio = mostBytesPerStoredByte(compression);
    uint32_t height = 0, rowsPerStrip = 0;
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    rowsPerStrip = std::min(rowsPerStrip, height);
    const bool tiled = TIFFIsTiled(tif);
    if (ratio == 0 || (!tiled && rowsPerStrip == 0))
        return {};
    const uint32_t count = tiled ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    const uint32_t stripsPerPlane = tiled ? 1 : (height + rowsPerStrip - 1) / rowsPerStrip;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t firstRow = tiled ? 0 : i % stripsPerPlane * rowsPerStrip;
        const qint64 wanted = tiled ? qint64(TIFFTileSize64(tif))
                                    : qint64(TIFFVStripSize64(tif, std::min(rowsPerStrip, height - firstRow)));
        const quint64 offset = TIFFGetStrileOffset(tif, i), bytes = TIFFGetStrileByteCount(tif, i);
        const qint64 stored = offset >= quint64(fileSize) ? 0 : qint64(std::min(bytes, quint64(fileSize) - offset));
        if (wanted / ratio > stored)
            return QStringLiteral("%1 %2 has %3 bytes in the file, too few for the %4 bytes of its image data")
                .arg(tiled ? QStringLiteral("Tile") : QStringLiteral("Strip"))
                .arg(i)
                .arg(stored)
                .arg(wanted);
    }
    return {};
}

bool isTiledGrey16(TIFF *tif)
{
    uint16_t bits = 0, samples = 1, photometric = 0;
    TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    return TIFFIsTiled(tif) && bits == 16 && samples == 1 &&
           (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE);
}
} // namespace

bool State::open()
{
    if (openTried)
        return tif != nullptr;
    openTried = true;
    silenceLibtiff();
    TIFFOpenOptions *options = TIFFOpenOptionsAlloc();
    if (!options)
        return false;
    // No single buffer larger than a whole picture may be.
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t(Raster::MaxBytes));
    TIFFOpenOptionsSetErrorHandlerExtR(options, keepError, this);
    TIFFOpenOptionsSetWarningHandlerExtR(options, dropWarning, this);
    // "h": the header only, the directories are read one by one.
    tif = TIFFClientOpenExt(name.toUtf8().constData(), "rh", this, readBytes, writeNothing, seekTo, closeNothing,
                            fileSize, mapWhole, unmapNothing, options);
    TIFFOpenOptionsFree(options);
    return tif != nullptr;
}

TiffLibReader::TiffLibReader(const TFileTiff &file, const QString &name) : d_(std::make_unique<State>(file, name))
{
    openStates().insert(d_.get());
}

TiffLibReader::~TiffLibReader()
{
    if (d_->tif)
        TIFFClose(d_->tif);
    openStates().erase(d_.get());
}

TiffLibReader::Result TiffLibReader::readAt(quint64 offset, Raster &picture)
{
    d_->firstError.clear();
    if (!d_->open() || !TIFFSetSubDirectory(d_->tif, offset))
        return {Outcome::Refused, d_->firstError};
    return readCurrent(picture);
}

bool TiffLibReader::nextDirectory(QString &why)
{
    d_->firstError.clear();
    why.clear();
    // A header libtiff cannot read leaves why empty: the file is simply not valid.
    if (!d_->open())
        return false;
    if (TIFFReadDirectory(d_->tif))
        return true;
    why = d_->firstError;
    return false;
}

bool TiffLibReader::currentIsFullResolution() const
{
    uint32_t kind = 0;
    uint16_t oldKind = 0;
    const bool reduced = TIFFGetField(d_->tif, TIFFTAG_SUBFILETYPE, &kind) && (kind & (FILETYPE_REDUCEDIMAGE | FILETYPE_MASK));
    return !reduced && !(TIFFGetField(d_->tif, TIFFTAG_OSUBFILETYPE, &oldKind) && oldKind == OFILETYPE_REDUCEDIMAGE);
}

TiffLibReader::Result TiffLibReader::readCurrent(Raster &picture)
{
    TIFF *tif = d_->tif;
    d_->firstError.clear();
    char why[1024] = {};
    const bool fromSamples = TiffSamples::handles(tif);
    if (!fromSamples && !TIFFRGBAImageOK(tif, why))
        return {Outcome::Refused, QString::fromUtf8(why)};
    // A scheme without a decoder here (JPEG 2000, for one) is a kind of image not read,
    // not damage found while reading.
    uint16_t compression = COMPRESSION_NONE;
    TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
    if (!TIFFIsCODECConfigured(compression))
        return {Outcome::Refused, QStringLiteral("Compression scheme %1 is not implemented").arg(compression)};
    uint32_t width = 0, height = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    TiffPicture::checkSides(width, height);
    const QString problem = TiffPicture::sizeProblem(int(width), int(height));
    if (!problem.isEmpty())
        return {Outcome::Failed, problem};
    const QString damage = storedDataProblem(tif, d_->file.fileSize());
    if (!damage.isEmpty())
        return {Outcome::Failed, withReason(messageKey("Error reading image data"), damage)};
    QImage image = newPictureImage(int(width), int(height), QImage::Format_RGB32);
    if (image.isNull()) {
        picture = Raster();
        return {Outcome::Failed, messageText("Out Of Memory") + QLatin1Char(' ')};
    }
    const auto failed = [this](const QString &reason) {
        return Result{Outcome::Failed, d_->firstError.isEmpty() && !reason.isEmpty()
                                           ? reason
                                           : withReason(messageKey("Error reading image data"), d_->firstError)};
    };
    if (fromSamples || isTiledGrey16(tif)) {
        uint16_t photometric = 0;
        TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
        QString reason;
        const bool read = fromSamples ? TiffSamples::read(tif, image, reason)
                                      : readGrey16Tiles(tif, image, photometric == PHOTOMETRIC_MINISWHITE);
        if (!read || !d_->firstError.isEmpty())
            return failed(reason);
        picture = TiffPicture::finish(image);
        return {Outcome::Read, {}};
    }
    TIFFRGBAImage img;
    if (!TIFFRGBAImageBegin(&img, tif, 1, why))
        return {Outcome::Refused, QString::fromUtf8(why)};
    // Rows are taken top-down whatever orientation the file names, as the own reader
    // takes them.
    img.orientation = ORIENTATION_TOPLEFT;
    img.req_orientation = ORIENTATION_TOPLEFT;
    // A 32-bit image's rows lie one after another, as libtiff writes them.
    const int got = TIFFRGBAImageGet(&img, reinterpret_cast<uint32_t *>(image.bits()), width, height);
    if (got && d_->firstError.isEmpty())
        toPicturePixels(image, img);
    TIFFRGBAImageEnd(&img);
    if (!got || !d_->firstError.isEmpty())
        return failed({});
    picture = TiffPicture::finish(image);
    return {Outcome::Read, {}};
}
