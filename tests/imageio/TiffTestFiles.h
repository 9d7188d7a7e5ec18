#pragma once
#include "ReferenceTools.h"
// Building TIFF files byte by byte for the reader tests: blocks of data, then directories
// whose entries the test spells out, in either byte order.
#include "core/PlainMessage.h"
#include "imageio/TiffCodec.h"

#include <QByteArray>
#include <QImage>
#include <QStringList>
#include <QVector>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <vector>

// A picture with varied colours in a 16-, 24- or 32-bit layout.
inline Raster rgbTexture(int bits, int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb((x * 37 + y * 11) % 256, (x * 5 + y * 71) % 256, (x * y * 13) % 256));
    return Raster::fromImage(img, bits);
}

// Collects the plain messages shown while it lives.
class Messages
{
public:
    Messages() : previous_(setPlainMessageHandler([this](const QString &text) { texts << text; })) {}
    ~Messages() { setPlainMessageHandler(previous_); }
    QStringList texts;

private:
    PlainMessageHandler previous_;
};

// Reads a file held in memory into a new picture. Without messages, any message fails the test.
inline Raster read(const QByteArray &data, QStringList *messages = nullptr, Raster picture = Raster())
{
    Messages m;
    ReadTiff(data, picture, QStringLiteral("test.tif"));
    if (messages)
        *messages = m.texts;
    else
        EXPECT_TRUE(m.texts.isEmpty()) << m.texts.join(QLatin1Char('|')).toStdString();
    return picture;
}

// Equal pixels; tolerance allows each channel to differ by that much.
inline ::testing::AssertionResult samePicture(const Raster &r, const QImage &ref, int tolerance = 0)
{
    if (r.width() != ref.width() || r.height() != ref.height())
        return ::testing::AssertionFailure() << "size " << r.width() << "x" << r.height() << ", reference " << ref.width()
                                             << "x" << ref.height();
    const auto near = [tolerance](QRgb a, QRgb b) {
        return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
               std::abs(qBlue(a) - qBlue(b)) <= tolerance;
    };
    for (int y = 0; y < r.height(); ++y)
        for (int x = 0; x < r.width(); ++x)
            if (!near(r.pixelRgb(x, y), ref.pixel(x, y)))
                return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << std::hex
                                                     << (r.pixelRgb(x, y) & 0xFFFFFF) << ", reference "
                                                     << (ref.pixel(x, y) & 0xFFFFFF);
    return ::testing::AssertionSuccess();
}

// Reads a file from disk into a new picture; any message fails the test.
inline Raster load(const QString &file)
{
    Messages m;
    Raster picture;
    LoadTiffFile(file, picture);
    EXPECT_TRUE(m.texts.isEmpty()) << file.toStdString() << ": " << m.texts.join(QLatin1Char('|')).toStdString();
    return picture;
}

struct TiffField
{
    quint16 tag = 0;
    quint16 type = 3;
    quint32 count = 1;
    quint32 value = 0;          // a single BYTE/SHORT/LONG value, or an offset
    QVector<quint16> shorts;    // when set: SHORT values kept in the value field itself
};

class TiffBuilder
{
public:
    explicit TiffBuilder(bool intel = true) : intel_(intel)
    {
        bytes.append(intel ? "II" : "MM", 2);
        put16(42);
        put32(0);
    }

    // Appends data and returns its offset.
    quint32 append(const QByteArray &data)
    {
        const quint32 at = quint32(bytes.size());
        bytes.append(data);
        return at;
    }
    quint32 appendShorts(const QVector<quint32> &values)
    {
        const quint32 at = quint32(bytes.size());
        for (quint32 v : values)
            put16(quint16(v));
        return at;
    }
    quint32 appendLongs(const QVector<quint32> &values)
    {
        const quint32 at = quint32(bytes.size());
        for (quint32 v : values)
            put32(v);
        return at;
    }

    // Appends a directory and links it from the header or the previous directory.
    quint32 addDirectory(const std::vector<TiffField> &fields)
    {
        const quint32 at = quint32(bytes.size());
        setLong(link_, at);
        put16(quint16(fields.size()));
        for (const TiffField &f : fields) {
            put16(f.tag);
            put16(f.type);
            put32(f.count);
            if (!f.shorts.isEmpty()) {
                put16(f.shorts.value(0));
                put16(f.shorts.value(1));
            } else if (f.type == 3 && f.count == 1) {
                put16(quint16(f.value));
                put16(0);
            } else if (f.type == 1 && f.count == 1) {
                bytes.append(char(f.value));
                bytes.append(3, '\0');
            } else {
                put32(f.value);
            }
        }
        link_ = quint32(bytes.size());
        put32(0);
        return at;
    }

    // Points the next-directory field of the directory at `from` to `to`.
    void setNext(quint32 from, quint32 to)
    {
        const quint16 n = intel_ ? qFromLittleEndian<quint16>(bytes.constData() + from)
                                 : qFromBigEndian<quint16>(bytes.constData() + from);
        setLong(from + 2 + 12 * n, to);
    }

    QByteArray bytes;

private:
    void put16(quint16 v)
    {
        char b[2];
        intel_ ? qToLittleEndian(v, b) : qToBigEndian(v, b);
        bytes.append(b, 2);
    }
    void put32(quint32 v)
    {
        char b[4];
        intel_ ? qToLittleEndian(v, b) : qToBigEndian(v, b);
        bytes.append(b, 4);
    }
    void setLong(quint32 at, quint32 v)
    {
        intel_ ? qToLittleEndian(v, bytes.data() + at) : qToBigEndian(v, bytes.data() + at);
    }

    bool intel_;
    quint32 link_ = 4;
};

// The fields of an uncompressed one-strip image; more fields may be added by the caller.
inline std::vector<TiffField> imageFields(quint32 width, quint32 height, quint32 bits, quint32 photometric,
                                          quint32 stripOffset, quint32 stripBytes)
{
    return {{256, 3, 1, width, {}}, {257, 3, 1, height, {}}, {258, 3, 1, bits, {}}, {259, 3, 1, 1, {}},
            {262, 3, 1, photometric, {}}, {273, 4, 1, stripOffset, {}}, {278, 4, 1, height, {}},
            {279, 4, 1, stripBytes, {}}};
}

// Replaces the field with the same tag (or adds it), or removes that field.
inline void setField(std::vector<TiffField> &fields, TiffField field, bool remove = false)
{
    for (auto it = fields.begin(); it != fields.end(); ++it)
        if (it->tag == field.tag) {
            if (remove)
                fields.erase(it);
            else
                *it = field;
            return;
        }
    if (!remove)
        fields.push_back(field);
}
