#include "imageio/WebpCodec.h"

#include "imageio/AlphaCompose.h"

#include "core/Errors.h"
#include "core/FileBytes.h"
#include "core/MessageText.h"


#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <algorithm>
#include <cstring>

// libwebp's BGRA byte order is QImage's ARGB32 on a little-endian machine.
static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "WebP pixels are exchanged as BGRA bytes");

namespace {

void checkWebpSize(int width, int height)
{
    if (width > WebpMaxSide || height > WebpMaxSide)
        throw LetrafexError(messageText("A picture of %1 x %2 pixels is too large for a WebP file (%3 pixels a side "
                                        "at most)")
                                .arg(width)
                                .arg(height)
                                .arg(WebpMaxSide));
}

QString encodingError(WebPEncodingError code)
{
    if (code == VP8_ENC_ERROR_OUT_OF_MEMORY || code == VP8_ENC_ERROR_BITSTREAM_OUT_OF_MEMORY)
        return messageText("Out of memory.");
    return messageText("The WebP picture could not be encoded (libwebp error %1).").arg(int(code));
}

WebPConfig encoderConfig(const WebpOptions &options)
{
    WebPConfig config;
    WebPConfigInit(&config);
    config.lossless = options.lossless ? 1 : 0;
    // Lossless: the effort libwebp's own tool takes by default. Lossy: the quality asked for.
    config.quality = options.lossless ? 75.0f : float(std::clamp(options.quality, 0, 100));
    config.method = 4;
    return config;
}

// A WebPPicture that frees what libwebp allocated for it.
struct Picture
{
    WebPPicture pic;
    Picture() { WebPPictureInit(&pic); }
    ~Picture() { WebPPictureFree(&pic); }
    Picture(const Picture &) = delete;
    Picture &operator=(const Picture &) = delete;

    void import(const QImage &pixels, bool lossless)
    {
        checkWebpSize(pixels.width(), pixels.height());
        pic.use_argb = lossless ? 1 : 0;
        pic.width = pixels.width();
        pic.height = pixels.height();
        const bool alpha = pixels.format() == QImage::Format_ARGB32;
        const int ok = alpha ? WebPPictureImportBGRA(&pic, pixels.constBits(), int(pixels.bytesPerLine()))
                             : WebPPictureImportBGRX(&pic, pixels.constBits(), int(pixels.bytesPerLine()));
        if (!ok)
            throw LetrafexError(encodingError(pic.error_code));
    }
};

int writeToMemory(const uint8_t *data, size_t size, const WebPPicture *pic)
{
    auto *out = static_cast<QByteArray *>(pic->custom_ptr);
    out->append(reinterpret_cast<const char *>(data), qsizetype(size));
    return 1;
}

// The pixels as the encoders take them: 32-bit, straight alpha where there is alpha.
QImage encodable(const QImage &pixels)
{
    if (pixels.format() == QImage::Format_RGB32 || pixels.format() == QImage::Format_ARGB32)
        return pixels;
    return pixels.convertToFormat(pixels.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
}

// The decoded pixels (straight alpha) over the picture as it was, resized to the file's
// size with white where it showed nothing.
Raster composedOverPicture(const QImage &decoded, const Raster &picture)
{
    QImage result = newPictureImage(decoded.width(), decoded.height(), QImage::Format_RGB32);
    if (result.isNull())
        throw LetrafexError(messageText("Out of memory."));
    const QImage backdrop = picture.toRgb32();
    for (int y = 0; y < result.height(); ++y) {
        const auto *src = reinterpret_cast<const QRgb *>(decoded.constScanLine(y));
        auto *dst = reinterpret_cast<QRgb *>(result.scanLine(y));
        const QRgb *under = y < backdrop.height() ? reinterpret_cast<const QRgb *>(backdrop.constScanLine(y)) : nullptr;
        const int covered = under ? std::min(backdrop.width(), result.width()) : 0;
        for (int x = 0; x < result.width(); ++x)
            dst[x] = composeOver(src[x], x < covered ? under[x] : 0xFFFFFFFFu);
    }
    return Raster::fromImage(result, 24);
}

QImage decodeStill(const QByteArray &data, int width, int height)
{
    QImage decoded = newPictureImage(width, height, QImage::Format_ARGB32);
    if (decoded.isNull())
        throw LetrafexError(messageText("Out of memory."));
    if (!WebPDecodeBGRAInto(reinterpret_cast<const uint8_t *>(data.constData()), size_t(data.size()), decoded.bits(),
                            size_t(decoded.sizeInBytes()), int(decoded.bytesPerLine())))
        throw LetrafexError(messageText("The file is not a WebP picture or is damaged."));
    return decoded;
}

// The canvas after the animation's last frame.
QImage decodeLastFrame(const QByteArray &data, int width, int height)
{
    WebPAnimDecoderOptions options;
    WebPAnimDecoderOptionsInit(&options);
    options.color_mode = MODE_BGRA;
    options.use_threads = 0;
    const WebPData webp{reinterpret_cast<const uint8_t *>(data.constData()), size_t(data.size())};
    std::unique_ptr<WebPAnimDecoder, void (*)(WebPAnimDecoder *)> decoder(WebPAnimDecoderNew(&webp, &options),
                                                                           WebPAnimDecoderDelete);
    if (!decoder)
        throw LetrafexError(messageText("The file is not a WebP picture or is damaged."));
    uint8_t *canvas = nullptr;
    int timestamp = 0;
    while (WebPAnimDecoderHasMoreFrames(decoder.get()))
        if (!WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp))
            throw LetrafexError(messageText("The file is not a WebP picture or is damaged."));
    if (!canvas)
        throw LetrafexError(messageText("The file holds no picture."));
    QImage decoded = newPictureImage(width, height, QImage::Format_ARGB32);
    if (decoded.isNull())
        throw LetrafexError(messageText("Out of memory."));
    for (int y = 0; y < height; ++y)
        std::memcpy(decoded.scanLine(y), canvas + std::size_t(y) * std::size_t(width) * 4, std::size_t(width) * 4);
    return decoded;
}

// Frames handed to libwebp's animation encoder with the settings of a still picture: for
// lossless ones those of libwebp's own img2webp -lossless, whose files the encoder then
// makes byte for byte. Key frames stay off, as the encoder starts: each frame is stored as
// what changed, and forced key frames (every 1, 5 or 16 frames) made the ten-item growth
// 0.3 to 10 % larger. Lossless stays lossless: no frame may fall back to lossy. The first
// frame waits for a second one, since a single frame is written as the plain still.
class WebpAnimation : public AnimationWriter
{
public:
    WebpAnimation(int width, int height, const WebpOptions &options)
        : options_(options), config_(encoderConfig(options)), width_(width), height_(height)
    {
        checkWebpSize(width, height);
    }

    void addFrame(const QImage &pixels, int delayMs) override
    {
        if (pixels.width() != width_ || pixels.height() != height_)
            throw LetrafexError(messageText("All frames of an animation must have one size."));
        if (frames_ == 0) {
            first_ = encodable(pixels);
            firstMs_ = delayMs;
        } else {
            if (frames_ == 1) {
                encode(first_, firstMs_);
                first_ = QImage();
            }
            encode(encodable(pixels), delayMs);
        }
        ++frames_;
    }

    void save(const QString &fileName) override
    {
        if (frames_ == 0)
            throw LetrafexError(messageText("There is no picture."));
        if (frames_ == 1) {
            SaveWebpFile(fileName, first_, options_);
            return;
        }
        WebPData assembled;
        WebPDataInit(&assembled);
        if (!WebPAnimEncoderAdd(encoder_.get(), nullptr, elapsedMs_, nullptr) ||
            !WebPAnimEncoderAssemble(encoder_.get(), &assembled)) {
            WebPDataClear(&assembled);
            throw LetrafexError(messageText("The WebP file \"%1\" could not be written: %2")
                                    .arg(nativeFilePath(fileName), animationError()));
        }
        const QByteArray bytes(reinterpret_cast<const char *>(assembled.bytes), qsizetype(assembled.size));
        WebPDataClear(&assembled);
        writeWholeFile(fileName, bytes);
    }

private:
    // The encoder is made with the first frame encoded: a transparent animation (frames
    // with alpha) declares a transparent background, an opaque one white.
    void encode(const QImage &pixels, int delayMs)
    {
        if (!encoder_) {
            WebPAnimEncoderOptions encoderOptions;
            WebPAnimEncoderOptionsInit(&encoderOptions);
            encoderOptions.anim_params.loop_count = 0; // forever
            encoderOptions.anim_params.bgcolor = pixels.format() == QImage::Format_ARGB32 ? 0x00FFFFFFu : 0xFFFFFFFFu;
            encoderOptions.allow_mixed = 0;
            encoder_.reset(WebPAnimEncoderNew(width_, height_, &encoderOptions));
            if (!encoder_)
                throw LetrafexError(messageText("Out of memory."));
        }
        Picture frame;
        frame.import(pixels, options_.lossless);
        if (!WebPAnimEncoderAdd(encoder_.get(), &frame.pic, elapsedMs_, &config_))
            throw LetrafexError(animationError());
        elapsedMs_ += delayMs;
    }

    QString animationError() const
    {
        return messageText("The WebP animation could not be encoded: %1")
            .arg(QString::fromLocal8Bit(WebPAnimEncoderGetError(encoder_.get())));
    }

    WebpOptions options_;
    WebPConfig config_;
    int width_, height_;
    int frames_ = 0;
    QImage first_; // the first frame, until a second one comes
    int firstMs_ = 0;
    int elapsedMs_ = 0;
    std::unique_ptr<WebPAnimEncoder, void (*)(WebPAnimEncoder *)> encoder_{nullptr, WebPAnimEncoderDelete};
};

} // namespace

QByteArray WriteWebp(const QImage &image, const WebpOptions &options)
{
    const QImage pixels = encodable(image);
    if (pixels.isNull())
        throw LetrafexError(messageText("There is no picture."));
    const WebPConfig config = encoderConfig(options);
    Picture picture;
    picture.import(pixels, options.lossless);
    QByteArray out;
    picture.pic.writer = writeToMemory;
    picture.pic.custom_ptr = &out;
    if (!WebPEncode(&config, &picture.pic))
        throw LetrafexError(encodingError(picture.pic.error_code));
    return out;
}

void SaveWebpFile(const QString &fileName, const QImage &pixels, const WebpOptions &options)
{
    QByteArray bytes;
    try {
        bytes = WriteWebp(pixels, options);
    } catch (const LetrafexError &e) {
        throw LetrafexError(messageText("The WebP file \"%1\" could not be written: %2").arg(nativeFilePath(fileName), e.text()));
    }
    writeWholeFile(fileName, bytes);
}

void ReadWebp(const QByteArray &data, Raster &picture)
{
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(reinterpret_cast<const uint8_t *>(data.constData()), size_t(data.size()), &features) !=
        VP8_STATUS_OK)
        throw LetrafexError(messageText("The file is not a WebP picture or is damaged."));
    const int w = features.width, h = features.height;
    if (w < 1 || h < 1 || !Raster::sizeAllowed(w, h))
        throw LetrafexError(messageText("the picture size %1 x %2 is beyond the limits").arg(w).arg(h));
    const QImage decoded = features.has_animation ? decodeLastFrame(data, w, h) : decodeStill(data, w, h);
    picture = composedOverPicture(decoded, picture);
}

void LoadWebpFile(const QString &fileName, Raster &picture) { ReadWebp(readWholeFile(fileName), picture); }

std::unique_ptr<AnimationWriter> newWebpAnimation(int width, int height, const WebpOptions &options)
{
    return std::make_unique<WebpAnimation>(width, height, options);
}
