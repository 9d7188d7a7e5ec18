#include "imageio/PngCodec.h"

#include "core/Errors.h"
#include "core/FileBytes.h"
#include "core/MessageText.h"
#include "core/Raster.h"
#include "imageio/AlphaCompose.h"
#include "imageio/PngDeflate.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QString>

#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

// libpng reports errors by longjmp back to the setjmp of the function that called it:
// decode(), writeHead(), writeChunk() or writeEnd(). A longjmp skips destructors, so these
// functions and the callbacks libpng calls hold nothing but raw pointers and plain values;
// every C++ object (files, images, the picture, the compressor's buffers) lives in their
// callers, whose frames a longjmp never crosses: writeChunk() is called from inside the
// compression, but its jump ends in writeChunk() itself. Each call has its own state
// struct, so calls share nothing.

namespace {

constexpr png_uint_32 MaxSide = png_uint_32(Raster::MaxSide);
constexpr std::uint64_t MaxDecodedBytes = std::uint64_t(Raster::MaxBytes);
// Chunks the reader has no use for are skipped unread (see decode()). As a second line,
// libpng may not buffer a chunk over MaxChunkBytes; since it only warns about such a chunk
// and then still asks for the memory, its allocator also refuses anything larger than
// libpng legitimately needs (row buffers are at most a few hundred KiB). A small file can
// never claim gigabytes.
constexpr png_alloc_size_t MaxChunkBytes = 8 * 1024 * 1024;
constexpr png_alloc_size_t MaxLibpngAllocation = 2 * MaxChunkBytes;

struct FreeDeleter
{
    void operator()(void *p) const { std::free(p); }
};

// Warnings are dropped: a bad file only makes the call return false.
void ignoreWarning(png_structp, png_const_charp) {}

// Why the last read failed; empty after a read that succeeded.
QString lastError;

png_voidp cappedMalloc(png_structp, png_alloc_size_t size)
{
    return size > MaxLibpngAllocation ? nullptr : std::malloc(size);
}

void plainFree(png_structp, png_voidp p)
{
    std::free(p);
}

// ---------------------------------------------------------------------------- reading

struct DecodeState
{
    QIODevice *source = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;  // after the transformations: 8 or 16
    int colorType = 0; // after the transformations: grey, grey+alpha, RGB or RGBA
    int channels = 0;
    std::size_t rowBytes = 0;
    unsigned char *buffer = nullptr; // rows top to bottom, rowBytes each, no padding
    png_bytep *rows = nullptr;
    char error[128] = {}; // libpng's text of the error that ended the decoding
};

// As failQuietly, keeping libpng's text in the decoding state for the reader's error text.
[[noreturn]] void failReading(png_structp png, png_const_charp message)
{
    if (auto *st = static_cast<DecodeState *>(png_get_error_ptr(png)); st && message)
        std::snprintf(st->error, sizeof st->error, "%s", message);
    png_longjmp(png, 1);
}

void readFromDevice(png_structp png, png_bytep data, std::size_t length)
{
    auto *device = static_cast<QIODevice *>(png_get_io_ptr(png));
    if (length > std::size_t(INT64_MAX) || device->read(reinterpret_cast<char *>(data), qint64(length)) != qint64(length))
        png_error(png, messageKey("unexpected end of file"));
}

// The only layouts the transformations below can produce: 8- or 16-bit grey, grey+alpha,
// RGB or RGBA, with rows exactly width * channels * sample size long.
bool layoutExpected(const DecodeState *st)
{
    int channels = 0;
    switch (st->colorType) {
    case PNG_COLOR_TYPE_GRAY: channels = 1; break;
    case PNG_COLOR_TYPE_GRAY_ALPHA: channels = 2; break;
    case PNG_COLOR_TYPE_RGB: channels = 3; break;
    case PNG_COLOR_TYPE_RGB_ALPHA: channels = 4; break;
    default: return false;
    }
    if ((st->bitDepth != 8 && st->bitDepth != 16) || st->channels != channels)
        return false;
    return std::uint64_t(st->rowBytes) == std::uint64_t(st->width) * channels * (st->bitDepth / 8);
}

bool decode(DecodeState *st)
{
    st->png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, st, failReading, ignoreWarning, nullptr, cappedMalloc,
                                       plainFree);
    if (!st->png)
        return false;
    st->info = png_create_info_struct(st->png);
    if (!st->info)
        return false;
    if (setjmp(png_jmpbuf(st->png)))
        return false;

    png_set_user_limits(st->png, MaxSide, MaxSide);
    png_set_chunk_malloc_max(st->png, MaxChunkBytes);
    png_set_read_fn(st->png, st->source, readFromDevice);
    // Only IHDR, PLTE, tRNS and IDAT matter to the pixels here (no gamma or background
    // transformation is asked for), so every other chunk is skipped unread: no text or
    // profile is decompressed or stored, whatever size it claims.
    png_set_keep_unknown_chunks(st->png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_read_info(st->png, st->info);
    png_get_IHDR(st->png, st->info, &st->width, &st->height, &st->bitDepth, &st->colorType, nullptr, nullptr, nullptr);

    // Alpha arrives inverted: 0 is opaque, 255 fully transparent. Palettes, grey below
    // 8 bits and tRNS transparency are expanded, so that only 8- and 16-bit samples
    // remain; 16-bit samples arrive least significant byte first.
    png_set_invert_alpha(st->png);
    if (st->colorType == PNG_COLOR_TYPE_PALETTE && st->bitDepth <= 8)
        png_set_expand(st->png);
    if (st->colorType == PNG_COLOR_TYPE_GRAY && st->bitDepth < 8)
        png_set_expand(st->png);
    if (png_get_valid(st->png, st->info, PNG_INFO_tRNS) == PNG_INFO_tRNS)
        png_set_expand(st->png);
    if (st->bitDepth < 8)
        png_set_packing(st->png);
    if (st->bitDepth == 16)
        png_set_swap(st->png);
    png_set_interlace_handling(st->png);
    png_read_update_info(st->png, st->info);

    png_get_IHDR(st->png, st->info, &st->width, &st->height, &st->bitDepth, &st->colorType, nullptr, nullptr, nullptr);
    st->channels = png_get_channels(st->png, st->info);
    st->rowBytes = png_get_rowbytes(st->png, st->info);
    if (st->width == 0 || st->height == 0 || !layoutExpected(st))
        png_error(st->png, messageKey("unexpected pixel layout"));
    const std::uint64_t total = std::uint64_t(st->rowBytes) * st->height;
    if (total > MaxDecodedBytes || !Raster::sizeAllowed(st->width, st->height))
        png_error(st->png, messageKey("picture too large"));

    st->buffer = static_cast<unsigned char *>(std::malloc(std::size_t(total)));
    st->rows = static_cast<png_bytep *>(std::malloc(std::size_t(st->height) * sizeof(png_bytep)));
    if (!st->buffer || !st->rows)
        png_error(st->png, messageKey("not enough memory"));
    for (png_uint_32 y = 0; y < st->height; ++y)
        st->rows[y] = st->buffer + std::size_t(y) * st->rowBytes;
    png_read_image(st->png, st->rows);
    return true;
}

// Builds the new picture: the old one resized to the file's size (the overlap keeps its
// pixels, the new area is white) as the backdrop, with the file's pixels composed on top.
// Grey is replicated to red, green and blue; of a 16-bit sample only the most significant
// byte counts (the second byte, as the samples arrive swapped).
bool compose(const DecodeState &st, Raster &picture)
{
    const int width = int(st.width);
    const int height = int(st.height);
    QImage result = newPictureImage(width, height, QImage::Format_RGB32);
    if (result.isNull())
        return false;
    result.fill(qRgb(255, 255, 255));
    const QImage old = picture.toRgb32();
    if (!old.isNull()) {
        const int cw = qMin(width, old.width());
        const int ch = qMin(height, old.height());
        for (int y = 0; y < ch; ++y)
            std::memcpy(result.scanLine(y), old.constScanLine(y), std::size_t(cw) * sizeof(QRgb));
    }

    const int sampleBytes = st.bitDepth / 8;
    const int high = sampleBytes - 1;
    const int pixelBytes = st.channels * sampleBytes;
    const bool grey = st.channels <= 2;
    const bool hasAlpha = st.channels == 2 || st.channels == 4;
    const int greenAt = grey ? high : sampleBytes + high;
    const int blueAt = grey ? high : 2 * sampleBytes + high;
    const int alphaAt = (st.channels - 1) * sampleBytes + high;

    for (int y = 0; y < height; ++y) {
        const unsigned char *s = st.buffer + std::size_t(y) * st.rowBytes;
        QRgb *d = reinterpret_cast<QRgb *>(result.scanLine(y));
        for (int x = 0; x < width; ++x, s += pixelBytes) {
            const int r = s[high], g = s[greenAt], b = s[blueAt];
            // Alpha arrives inverted: 0 opaque, 255 transparent.
            d[x] = hasAlpha ? composeOver(qRgba(r, g, b, 255 - s[alphaAt]), d[x]) : qRgb(r, g, b);
        }
    }
    // The raster takes this resolution too; setting it first keeps the buffer shared.
    result.setDotsPerMeterX(3780);
    result.setDotsPerMeterY(3780);
    Raster composed = Raster::fromImage(result, 24);
    if (composed.width() != width || composed.height() != height)
        return false;
    picture = composed;
    return true;
}

bool readPng(QIODevice &source, Raster &picture)
{
    DecodeState st;
    st.source = &source;
    const bool decoded = decode(&st);
    png_destroy_read_struct(&st.png, &st.info, nullptr);
    std::free(st.rows);
    st.rows = nullptr;
    const std::unique_ptr<unsigned char, FreeDeleter> buffer(st.buffer);
    if (!decoded) {
        // The detail is one of the texts given to png_error here, or libpng's own text.
        const char *detail = st.error[0] ? st.error : messageKey("not enough memory");
        lastError = messageText("PNG image is not valid: %1").arg(messageText(detail));
        return false;
    }
    if (!compose(st, picture)) {
        lastError = messageText("Out of memory.");
        return false;
    }
    lastError.clear();
    return true;
}

// ---------------------------------------------------------------------------- writing

struct EncodeState
{
    WholeFileWriter *target = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    bool keyed = false;
    std::uint32_t key = 0; // 0x00BBGGRR
    bool alpha = false;    // the pixels are straight ARGB and carry their own alpha
    char error[128] = {}; // libpng's message when encoding failed
};

// Keeps libpng's message for the caller's error text; must not return to libpng.
[[noreturn]] void failWithMessage(png_structp png, png_const_charp message)
{
    auto *st = static_cast<EncodeState *>(png_get_error_ptr(png));
    std::snprintf(st->error, sizeof st->error, "%s", message ? message : "");
    png_longjmp(png, 1);
}

// Every piece goes straight to the checked writer, which keeps the system's reason when a
// write fails; nothing may be thrown through libpng's frames.
void writeToFile(png_structp png, png_bytep data, std::size_t length)
{
    auto *file = static_cast<WholeFileWriter *>(png_get_io_ptr(png));
    bool written = false;
    try {
        written = length <= std::size_t(INT64_MAX) && file->tryWrite(reinterpret_cast<const char *>(data), qint64(length));
    } catch (...) {
    }
    if (!written)
        png_error(png, messageKey("write failed"));
}

// The writer keeps no buffer of its own: what libpng hands over is already written.
void flushFile(png_structp) {}

// The signature and the chunks before the image data: the header and one text.
bool writeHead(EncodeState *st)
{
    st->png = png_create_write_struct(PNG_LIBPNG_VER_STRING, st, failWithMessage, ignoreWarning);
    if (!st->png)
        return false;
    st->info = png_create_info_struct(st->png);
    if (!st->info)
        return false;
    if (setjmp(png_jmpbuf(st->png)))
        return false;

    png_set_write_fn(st->png, st->target, writeToFile, flushFile);
    const bool withAlpha = st->keyed || st->alpha;
    png_set_IHDR(st->png, st->info, st->width, st->height, 8, withAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    static char softwareKey[] = "Software";
    static char softwareText[] = "Letrafex";
    png_text text;
    std::memset(&text, 0, sizeof text);
    text.compression = PNG_TEXT_COMPRESSION_NONE;
    text.key = softwareKey;
    text.text = softwareText;
    text.text_length = sizeof softwareText - 1;
    png_set_text(st->png, st->info, &text, 1);
    png_write_info(st->png, st->info);
    return true;
}

// One chunk through libpng, which adds its length and CRC. A failed write ends here.
bool writeChunk(EncodeState *st, const char *type, const uchar *data, std::size_t size)
{
    if (setjmp(png_jmpbuf(st->png)))
        return false;
    png_write_chunk(st->png, reinterpret_cast<png_const_bytep>(type), data, size);
    return true;
}

bool writeEnd(EncodeState *st)
{
    if (!writeChunk(st, "IEND", nullptr, 0))
        return false;
    if (setjmp(png_jmpbuf(st->png)))
        return false;
    png_write_flush(st->png);
    return true;
}

// The image data as IDAT chunks. A keyed colour is stored as a transparent pixel of an
// alpha channel; every other picture as its rows are.
bool writeImageData(EncodeState *st, const QImage &pixels)
{
    const auto sink = [st](const uchar *piece, std::size_t size) { return writeChunk(st, "IDAT", piece, size); };
    if (!st->keyed)
        return CompressPngPicture(pixels, st->alpha ? 4 : 3, sink);
    return CompressPngPicture(pixels, 4, sink, [&](int y, uchar *out) {
        const QRgb *src = reinterpret_cast<const QRgb *>(pixels.constScanLine(y));
        for (int x = 0; x < pixels.width(); ++x, out += 4) {
            const int r = qRed(src[x]), g = qGreen(src[x]), b = qBlue(src[x]);
            out[0] = uchar(r);
            out[1] = uchar(g);
            out[2] = uchar(b);
            out[3] = std::uint32_t(r | g << 8 | b << 16) == st->key ? 0 : 255;
        }
    });
}

} // namespace

bool LoadPngFile(const QString &fileName, Raster &picture)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        lastError = messageText("Cannot open file \"%1\". %2").arg(fileName, file.errorString());
        return false;
    }
    return readPng(file, picture);
}

bool ReadPng(const QByteArray &data, Raster &picture)
{
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly)) {
        lastError = messageText("Out of memory.");
        return false;
    }
    return readPng(buffer, picture);
}

QString PngLastError() { return lastError; }

namespace {
// Encodes the rows through libpng into file; libpng's structures are released again
// whatever happens. An empty text when all went well.
QString encodeInto(WholeFileWriter &file, const QString &fileName, const QImage &pixels, EncodeState st)
{
    st.target = &file;
    st.width = png_uint_32(pixels.width());
    st.height = png_uint_32(pixels.height());
    const bool encoded = writeHead(&st) && writeImageData(&st, pixels) && writeEnd(&st);
    png_destroy_write_struct(&st.png, &st.info);
    if (encoded)
        return {};
    if (file.failed())
        return file.failure();
    const char *detail = st.error[0] ? st.error : messageKey("not enough memory");
    return messageText("Error Writing PNG File \"%1\"! %2")
        .arg(nativeFilePath(fileName), messageText(QString::fromLocal8Bit(detail)));
}

bool refuse(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

// Writes a temporary file beside the target, which replaces the target only once
// everything is written: a failed save leaves the old file as it was. The failure's text,
// naming the file and the reason, goes to error.
bool savePng(const QString &fileName, const QImage &pixels, const EncodeState &st, QString *error)
{
    if (pixels.isNull())
        return refuse(error, messageText("Error Writing PNG File \"%1\"! %2")
                                 .arg(nativeFilePath(fileName), messageText("There is no picture.")));
    try {
        WholeFileWriter file(fileName);
        const QString failure = encodeInto(file, fileName, pixels, st);
        if (!failure.isEmpty())
            return refuse(error, failure);
        file.commit();
        return true;
    } catch (const LetrafexError &e) {
        return refuse(error, e.text());
    }
}
} // namespace

bool SavePngWriter(const QString &fileName, const Raster &picture, TColor colorKey, QString *error)
{
    const QImage pixels = picture.isEmpty() ? QImage() : picture.toRgb32();
    EncodeState st;
    st.keyed = colorKey != Colors::clNone;
    st.key = std::uint32_t(colorKey) & 0xFFFFFFu;
    return savePng(fileName, pixels.format() == QImage::Format_RGB32 ? pixels : QImage(), st, error);
}

bool SavePngRgba(const QString &fileName, const QImage &pixels, QString *error)
{
    EncodeState st;
    st.alpha = true;
    return savePng(fileName, pixels.format() == QImage::Format_ARGB32 ? pixels : QImage(), st, error);
}

bool SavePngFile(const QString &fileName, const Raster &picture, QString *error)
{
    return SavePngWriter(fileName, picture, Colors::clNone, error);
}
