#include "imageio/JpegCodec.h"

#include "core/FileBytes.h"
#include "core/MessageText.h"

#include <QFile>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <vector>

// libjpeg's headers expect size_t and FILE to be declared first.
#include <jerror.h>
#include <jpeglib.h>

namespace {

// Progressive files may have any number of scans, each one a pass over the whole
// picture; real encoders use about ten, so this bound only stops crafted files.
constexpr int MaxScans = 500;
// Decoding a progressive file keeps all coefficients: 2 bytes per sample, up to three
// samples per pixel at the largest picture the program accepts, with room to spare.
constexpr long MaxDecoderMemory = 1024L * 1024 * 1024;

// libjpeg reports a fatal error by calling error_exit, which must not return. Ours jumps
// back to the function that started the work; everything it owns lives outside the
// jumped-over frames (which are all libjpeg's), so nothing is skipped that needs cleaning.
struct ErrorManager
{
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    bool tooManyScans = false; // the scan limit stopped the decoding, not libjpeg
};

[[noreturn]] void jumpBack(j_common_ptr cinfo)
{
    auto *err = reinterpret_cast<ErrorManager *>(cinfo->err);
    std::longjmp(err->jump, 1);
}

extern "C" void errorExit(j_common_ptr cinfo)
{
    auto *err = reinterpret_cast<ErrorManager *>(cinfo->err);
    cinfo->err->format_message(cinfo, err->message);
    jumpBack(cinfo);
}

// Warnings are mostly about recoverable damage and are dropped, except a file that ends
// before its picture is complete: libjpeg would fill the rest with grey.
extern "C" void emitMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0)
        return;
    if (cinfo->err->msg_code == JWRN_JPEG_EOF)
        errorExit(cinfo);
    cinfo->err->num_warnings++;
}

extern "C" void outputMessage(j_common_ptr) {}

extern "C" void progressMonitor(j_common_ptr cinfo)
{
    if (!cinfo->is_decompressor)
        return;
    if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > MaxScans) {
        reinterpret_cast<ErrorManager *>(cinfo->err)->tooManyScans = true;
        jumpBack(cinfo);
    }
}

void installErrorManager(ErrorManager &err)
{
    jpeg_std_error(&err.pub);
    err.pub.error_exit = errorExit;
    err.pub.emit_message = emitMessage;
    err.pub.output_message = outputMessage;
    err.message[0] = '\0';
}

inline uchar div255(int v) { return uchar((v + 128 + ((v + 128) >> 8)) >> 8); }

// Adobe programs store CMYK inverted (0 = full ink); others store plain ink amounts.
void cmykToRgb(const uchar *s, QRgb *d, int w, bool inverted)
{
    for (int x = 0; x < w; ++x, s += 4) {
        const int c = inverted ? s[0] : 255 - s[0], m = inverted ? s[1] : 255 - s[1];
        const int y = inverted ? s[2] : 255 - s[2], k = inverted ? s[3] : 255 - s[3];
        d[x] = qRgb(div255(c * k), div255(m * k), div255(y * k));
    }
}

struct Decoder
{
    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    jpeg_progress_mgr progress{};
    QImage image;
    std::vector<uchar> row;
    QString detail; // why the decoding stopped, when it was not libjpeg's error

    ~Decoder() { jpeg_destroy_decompress(&cinfo); }
};

// Runs the decoder; false with d.err.message set on any error.
bool decode(Decoder &d, const uchar *data, size_t size)
{
    installErrorManager(d.err);
    d.cinfo.err = &d.err.pub;
    if (setjmp(d.err.jump))
        return false;
    jpeg_create_decompress(&d.cinfo);
    d.cinfo.mem->max_memory_to_use = MaxDecoderMemory;
    d.progress.progress_monitor = progressMonitor;
    d.cinfo.progress = &d.progress;
    jpeg_mem_src(&d.cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&d.cinfo, TRUE);

    const int w = int(d.cinfo.image_width), h = int(d.cinfo.image_height);
    if (!Raster::sizeAllowed(d.cinfo.image_width, d.cinfo.image_height, 24)) {
        d.detail = messageText("the picture size %1 x %2 is beyond the limits").arg(w).arg(h);
        return false;
    }
    const bool cmyk = d.cinfo.jpeg_color_space == JCS_CMYK || d.cinfo.jpeg_color_space == JCS_YCCK;
    d.cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    jpeg_start_decompress(&d.cinfo);
    if (int(d.cinfo.output_width) != w || int(d.cinfo.output_height) != h) {
        d.detail = messageText("unexpected output size");
        return false;
    }
    d.image = newPictureImage(w, h, QImage::Format_RGB32);
    if (d.image.isNull()) {
        d.detail = messageText("out of memory for %1 x %2 pixels").arg(w).arg(h);
        return false;
    }
    if (cmyk)
        d.row.resize(size_t(w) * 4);
    while (d.cinfo.output_scanline < d.cinfo.output_height) {
        const int y = int(d.cinfo.output_scanline);
        JSAMPROW target = cmyk ? d.row.data() : d.image.scanLine(y);
        jpeg_read_scanlines(&d.cinfo, &target, 1);
        if (cmyk)
            cmykToRgb(d.row.data(), reinterpret_cast<QRgb *>(d.image.scanLine(y)), w, d.cinfo.saw_Adobe_marker);
    }
    jpeg_finish_decompress(&d.cinfo);
    return true;
}

// The detail of a failed decoding: ours, or libjpeg's own text as it gives it.
QString decodeFailure(const Decoder &d)
{
    if (!d.detail.isEmpty())
        return d.detail;
    if (d.err.tooManyScans)
        return messageText("the file has more than %1 scans").arg(MaxScans);
    return QString::fromLocal8Bit(d.err.message);
}

Raster decodeSpan(const uchar *data, qint64 size)
{
    if (size <= 0)
        throw LetrafexError(messageText("JPEG image is not valid: the data is empty"));
    Decoder d;
    if (!decode(d, data, size_t(size)))
        throw LetrafexError(messageText("JPEG image is not valid: %1").arg(decodeFailure(d)));
    d.image.setDotsPerMeterX(3780);
    d.image.setDotsPerMeterY(3780);
    return Raster::fromImage(d.image, 24);
}

struct Encoder
{
    jpeg_compress_struct cinfo{};
    ErrorManager err{};
    unsigned char *buffer = nullptr;
    unsigned long size = 0;

    ~Encoder()
    {
        jpeg_destroy_compress(&cinfo);
        std::free(buffer);
    }
};

bool encode(Encoder &e, const QImage &image, int quality)
{
    installErrorManager(e.err);
    e.cinfo.err = &e.err.pub;
    if (setjmp(e.err.jump))
        return false;
    jpeg_create_compress(&e.cinfo);
    jpeg_mem_dest(&e.cinfo, &e.buffer, &e.size);
    e.cinfo.image_width = JDIMENSION(image.width());
    e.cinfo.image_height = JDIMENSION(image.height());
    // The 32-bit pixels go in as they are; libjpeg ignores the spare byte.
    e.cinfo.input_components = 4;
    e.cinfo.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&e.cinfo);
    jpeg_set_quality(&e.cinfo, quality, TRUE);
    if (image.dotsPerMeterX() > 0 && image.dotsPerMeterY() > 0) {
        e.cinfo.density_unit = 1; // dots per inch
        e.cinfo.X_density = UINT16(qBound(1, qRound(image.dotsPerMeterX() * 0.0254), 65535));
        e.cinfo.Y_density = UINT16(qBound(1, qRound(image.dotsPerMeterY() * 0.0254), 65535));
    }
    jpeg_start_compress(&e.cinfo, TRUE);
    constexpr int Batch = 16;
    JSAMPROW rows[Batch];
    while (e.cinfo.next_scanline < e.cinfo.image_height) {
        const int first = int(e.cinfo.next_scanline);
        const int n = std::min(Batch, image.height() - first);
        for (int i = 0; i < n; ++i)
            rows[i] = const_cast<JSAMPROW>(image.constScanLine(first + i));
        jpeg_write_scanlines(&e.cinfo, rows, JDIMENSION(n));
    }
    jpeg_finish_compress(&e.cinfo);
    return true;
}

} // namespace

Raster ReadJpeg(const QByteArray &data)
{
    return decodeSpan(reinterpret_cast<const uchar *>(data.constData()), data.size());
}

Raster LoadJpegFile(const QString &fileName)
{
    return ReadJpeg(readWholeFile(fileName));
}

QByteArray WriteJpeg(const Raster &raster, int quality)
{
    if (raster.isEmpty())
        throw LetrafexError(messageText("An empty picture cannot be written as a JPEG"));
    const QImage image = raster.toRgb32();
    Encoder e;
    if (!encode(e, image, qBound(1, quality, 100)))
        throw LetrafexError(messageText("JPEG encoding failed: %1").arg(QString::fromLocal8Bit(e.err.message)));
    return QByteArray(reinterpret_cast<const char *>(e.buffer), qsizetype(e.size));
}

void SaveJpegFile(const QString &fileName, const Raster &raster)
{
    writeWholeFile(fileName, WriteJpeg(raster));
}
