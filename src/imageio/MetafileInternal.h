#pragma once
// What the metafile reader and writer files share: units, limits, error reporting and
// little-endian access to the bytes. Not part of the codec's interface.
#include "core/Errors.h"

#include <QByteArray>
#include <QSize>
#include <QString>
#include <QtEndian>

namespace metafile {

inline constexpr quint32 EmfSignature = 0x464D4520; // " EMF"
inline constexpr qsizetype EmfHeaderSize = 108;     // with the pixel-format and micrometre fields
inline constexpr double PixelsPerInch = 96.0;
inline constexpr double HundredthMmPerInch = 2540.0;
// Coordinates handed to the converters stay well inside 32 bits after scaling.
inline constexpr double CoordinateLimit = 1 << 30;

[[noreturn]] inline void fail(const QString &text) { throw LetrafexError(text); }

// A byte range with little-endian readers; callers check the range with has() first.
struct Bytes
{
    const uchar *p = nullptr;
    qsizetype size = 0;

    explicit Bytes(const QByteArray &data) : p(reinterpret_cast<const uchar *>(data.constData())), size(data.size()) {}
    Bytes(const uchar *data, qsizetype length) : p(data), size(length) {}
    bool has(qint64 at, qint64 length) const { return at >= 0 && length >= 0 && at <= size && length <= size - at; }
    quint16 u16(qsizetype at) const { return qFromLittleEndian<quint16>(p + at); }
    qint16 i16(qsizetype at) const { return qFromLittleEndian<qint16>(p + at); }
    quint32 u32(qsizetype at) const { return qFromLittleEndian<quint32>(p + at); }
    qint32 i32(qsizetype at) const { return qFromLittleEndian<qint32>(p + at); }
};

inline void putU16(QByteArray &data, qsizetype at, quint16 v) { qToLittleEndian(v, data.data() + at); }
inline void putU32(QByteArray &data, qsizetype at, quint32 v) { qToLittleEndian(v, data.data() + at); }
inline void putI32(QByteArray &data, qsizetype at, qint32 v) { qToLittleEndian(v, data.data() + at); }

// The picture's own size checked against the program's limits.
QSize pictureSize(double width, double height);

} // namespace metafile
