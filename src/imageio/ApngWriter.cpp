#include "imageio/ApngWriter.h"

#include "core/Errors.h"
#include "core/FileBytes.h"
#include "core/MessageText.h"
#include "core/Raster.h"
#include "imageio/PngCodec.h"
#include "imageio/PngDeflate.h"

#include <QRect>
#include <QtEndian>

#include <libdeflate.h>

#include <algorithm>
#include <vector>

namespace {

void appendUint32(QByteArray &out, quint32 v)
{
    uchar b[4];
    qToBigEndian<quint32>(v, b);
    out.append(reinterpret_cast<const char *>(b), 4);
}

void appendUint16(QByteArray &out, quint16 v)
{
    uchar b[2];
    qToBigEndian<quint16>(v, b);
    out.append(reinterpret_cast<const char *>(b), 2);
}

// Length, type, data and the CRC of type and data.
void appendChunk(QByteArray &out, const char type[4], const QByteArray &data)
{
    appendUint32(out, quint32(data.size()));
    const qsizetype start = out.size();
    out.append(type, 4);
    out.append(data);
    appendUint32(out, libdeflate_crc32(0, out.constData() + start, std::size_t(out.size() - start)));
}

// The smallest rectangle holding every pixel where now differs from before (a 1 x 1 one
// at the origin where nothing differs: a frame must cover at least one pixel).
QRect changedArea(const QImage &before, const QImage &now)
{
    int top = now.height(), bottom = -1, left = now.width(), right = -1;
    for (int y = 0; y < now.height(); ++y) {
        const auto *a = reinterpret_cast<const QRgb *>(before.constScanLine(y));
        const auto *b = reinterpret_cast<const QRgb *>(now.constScanLine(y));
        int x = 0;
        while (x < now.width() && a[x] == b[x])
            ++x;
        if (x == now.width())
            continue;
        int last = now.width() - 1;
        while (a[last] == b[last])
            --last;
        top = std::min(top, y), bottom = y;
        left = std::min(left, x), right = std::max(right, last);
    }
    return bottom < 0 ? QRect(0, 0, 1, 1) : QRect(QPoint(left, top), QPoint(right, bottom));
}

class ApngAnimation : public AnimationWriter
{
public:
    ApngAnimation(int width, int height, bool alpha) : width_(width), height_(height), alpha_(alpha) {}

    void addFrame(const QImage &image, int delayMs) override
    {
        QImage pixels = image.convertToFormat(alpha_ ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        if (pixels.width() != width_ || pixels.height() != height_)
            throw LetrafexError(messageText("All frames of an animation must have one size."));
        // A frame after the first replaces only the area where it differs from the one
        // before; the first and the default image cover the whole picture.
        const QRect area = frames_.empty() ? pixels.rect() : changedArea(previous_, pixels);
        frames_.push_back({compressed(area == pixels.rect() ? pixels : pixels.copy(area)), area,
                           std::clamp(delayMs, 0, 65535)});
        previous_ = std::move(pixels);
    }

    void save(const QString &fileName) override
    {
        if (frames_.empty())
            throw LetrafexError(messageText("There is no picture."));
        if (frames_.size() == 1) {
            saveStill(fileName);
            return;
        }
        QByteArray out("\x89PNG\r\n\x1a\n", 8);
        QByteArray header;
        appendUint32(header, quint32(width_));
        appendUint32(header, quint32(height_));
        header.append(char(8)).append(char(alpha_ ? 6 : 2)).append(char(0)).append(char(0)).append(char(0));
        appendChunk(out, "IHDR", header);
        QByteArray control;
        appendUint32(control, quint32(frames_.size()));
        appendUint32(control, 0); // plays: forever
        appendChunk(out, "acTL", control);
        // The image data before the first frame control is no frame of the animation: it is
        // the picture viewers without animation show, the finished one.
        const Frame &last = frames_.back();
        appendChunk(out, "IDAT", last.area == previous_.rect() ? last.stream : compressed(previous_));
        quint32 sequence = 0;
        for (const Frame &frame : frames_) {
            appendChunk(out, "fcTL", frameControl(sequence++, frame));
            QByteArray data;
            appendUint32(data, sequence++);
            data.append(frame.stream);
            appendChunk(out, "fdAT", data);
        }
        appendChunk(out, "IEND", {});
        writeWholeFile(fileName, out);
    }

private:
    struct Frame
    {
        QByteArray stream; // the zlib stream of the filtered rows of area
        QRect area;
        int delayMs;
    };

    // The zlib stream of a picture's rows, filtered and compressed as the PNG writer does.
    QByteArray compressed(const QImage &pixels) const
    {
        QByteArray stream;
        const bool done = CompressPngPicture(pixels, alpha_ ? 4 : 3, [&stream](const uchar *piece, std::size_t size) {
            stream.append(reinterpret_cast<const char *>(piece), qsizetype(size));
            return true;
        });
        if (!done)
            throw LetrafexError(messageText("Out of memory."));
        return stream;
    }

    // One frame is no animation: the file is the plain PNG the still picture gives.
    void saveStill(const QString &fileName) const
    {
        QString error;
        const bool saved = alpha_ ? SavePngRgba(fileName, previous_, &error)
                                  : SavePngFile(fileName, Raster::fromImage(previous_, 24), &error);
        if (!saved)
            throw LetrafexError(error);
    }

    // The frame's area, shown for its time and then left as it is; the next frame replaces
    // its own area of it, pixels and transparency alike.
    QByteArray frameControl(quint32 sequence, const Frame &frame) const
    {
        QByteArray c;
        appendUint32(c, sequence);
        appendUint32(c, quint32(frame.area.width()));
        appendUint32(c, quint32(frame.area.height()));
        appendUint32(c, quint32(frame.area.x()));
        appendUint32(c, quint32(frame.area.y()));
        appendUint16(c, quint16(frame.delayMs));
        appendUint16(c, 1000);
        c.append(char(0)); // dispose: none
        c.append(char(0)); // blend: source
        return c;
    }

    int width_, height_;
    bool alpha_;
    std::vector<Frame> frames_;
    QImage previous_; // the last frame added
};

} // namespace

std::unique_ptr<AnimationWriter> newApngAnimation(int width, int height, bool alpha)
{
    return std::make_unique<ApngAnimation>(width, height, alpha);
}
