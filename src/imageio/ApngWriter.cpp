#include "imageio/ApngWriter.h"

#include "core/Errors.h"
#include "core/FileBytes.h"
#include "core/MessageText.h"
#include "imageio/PngDeflate.h"

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

class ApngAnimation : public AnimationWriter
{
public:
    ApngAnimation(int width, int height, bool alpha) : width_(width), height_(height), alpha_(alpha) {}

    void addFrame(const QImage &image, int delayMs) override
    {
        const QImage pixels = image.convertToFormat(alpha_ ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        if (pixels.width() != width_ || pixels.height() != height_)
            throw LetrafexError(messageText("All frames of an animation must have one size."));
        Frame frame{{}, std::clamp(delayMs, 0, 65535)};
        const bool compressed = CompressPngPicture(pixels, alpha_ ? 4 : 3, [&frame](const uchar *piece, std::size_t size) {
            frame.stream.append(reinterpret_cast<const char *>(piece), qsizetype(size));
            return true;
        });
        if (!compressed)
            throw LetrafexError(messageText("Out of memory."));
        frames_.push_back(std::move(frame));
    }

    void save(const QString &fileName) override
    {
        if (frames_.empty())
            throw LetrafexError(messageText("There is no picture."));
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
        quint32 sequence = 0;
        for (std::size_t i = 0; i < frames_.size(); ++i) {
            appendChunk(out, "fcTL", frameControl(sequence++, frames_[i].delayMs));
            if (i == 0) {
                appendChunk(out, "IDAT", frames_[i].stream);
                continue;
            }
            QByteArray data;
            appendUint32(data, sequence++);
            data.append(frames_[i].stream);
            appendChunk(out, "fdAT", data);
        }
        appendChunk(out, "IEND", {});
        writeWholeFile(fileName, out);
    }

private:
    struct Frame
    {
        QByteArray stream; // the zlib stream of the filtered rows
        int delayMs;
    };

    // The whole picture, shown for delay ms, then left as it is; the next frame replaces it.
    QByteArray frameControl(quint32 sequence, int delayMs) const
    {
        QByteArray c;
        appendUint32(c, sequence);
        appendUint32(c, quint32(width_));
        appendUint32(c, quint32(height_));
        appendUint32(c, 0); // x offset
        appendUint32(c, 0); // y offset
        appendUint16(c, quint16(delayMs));
        appendUint16(c, 1000);
        c.append(char(0)); // dispose: none
        c.append(char(0)); // blend: source
        return c;
    }

    int width_, height_;
    bool alpha_;
    std::vector<Frame> frames_;
};

} // namespace

std::unique_ptr<AnimationWriter> newApngAnimation(int width, int height, bool alpha)
{
    return std::make_unique<ApngAnimation>(width, height, alpha);
}
