#include "imageio/ComponentStream.h"

#include "core/Errors.h"
#include "imageio/BmpCodec.h"

#include <QStringDecoder>
#include <QtEndian>

#include <algorithm>
#include <array>

namespace {

const QByteArray Utf8Mark = QByteArrayLiteral("\xEF\xBB\xBF");
// Windows-1252 bytes 0x80 to 0x9F. The five bytes without a character there map to the
// control characters of the same number, so every byte has a character and back.
constexpr std::array<char16_t, 32> HighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The text as Windows-1252, or false when a character has no code there.
bool toWindows1252(const QString &text, QByteArray &out)
{
    out.resize(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out[i] = char(c);
            continue;
        }
        const auto found = std::find(HighControls.begin(), HighControls.end(), c);
        if (found == HighControls.end())
            return false;
        out[i] = char(0x80 + (found - HighControls.begin()));
    }
    return true;
}

QString fromWindows1252(const QByteArray &bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const uchar b = uchar(bytes[i]);
        text[i] = QChar(b >= 0x80 && b < 0xA0 ? HighControls[b - 0x80] : char16_t(b));
    }
    return text;
}

QString fromUtf8Checked(const QByteArray &bytes)
{
    // An inner byte order mark is a character of the text and stays.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) {
        // Damaged text: each bad sequence becomes one '?', so the text never needs more
        // bytes when it is written again than it had when it was read.
        text.replace(QChar::ReplacementCharacter, QLatin1Char('?'));
    }
    return text;
}

} // namespace

QByteArray encodeText(const QString &text, int maxBytes)
{
    const QString head = maxBytes < 0 ? text : text.left(maxBytes);
    QByteArray bytes;
    // Text that happens to start with the characters of the mark in Windows-1252 goes the
    // UTF-8 way, or it would read back as UTF-8.
    if (toWindows1252(head, bytes) && !bytes.startsWith(Utf8Mark))
        return bytes;
    bytes = Utf8Mark + text.toUtf8();
    if (maxBytes >= 0 && bytes.size() > maxBytes) {
        qsizetype cut = std::max<qsizetype>(maxBytes, Utf8Mark.size());
        while (cut > Utf8Mark.size() && (uchar(bytes[cut]) & 0xC0) == 0x80)
            --cut;
        bytes.truncate(cut);
    }
    return bytes;
}

QString decodeText(const QByteArray &bytes)
{
    if (bytes.startsWith(Utf8Mark))
        return fromUtf8Checked(bytes.mid(Utf8Mark.size()));
    return fromWindows1252(bytes);
}

// ----- writer -----

void ComponentWriter::beginObject(const QByteArray &className, const QByteArray &objectName)
{
    out_.append(StreamSignature);
    writeShortString(className);
    writeShortString(objectName);
}

void ComponentWriter::endObject()
{
    endList(); // properties
    endList(); // child components
}

void ComponentWriter::writeName(const QByteArray &name) { writeShortString(name); }

void ComponentWriter::writeShortString(const QByteArray &bytes)
{
    const qsizetype n = std::min<qsizetype>(bytes.size(), MaxShortString);
    out_.append(char(n));
    out_.append(bytes.constData(), n);
}

void ComponentWriter::writeInt32(qint32 value)
{
    char b[4];
    qToLittleEndian(value, b);
    out_.append(b, 4);
}

void ComponentWriter::writeInt16(qint16 value)
{
    char b[2];
    qToLittleEndian(value, b);
    out_.append(b, 2);
}

void ComponentWriter::writeInteger(qint64 value)
{
    if (value >= -128 && value <= 127) {
        writeKind(ValueKind::Int8);
        out_.append(char(qint8(value)));
    } else if (value >= -32768 && value <= 32767) {
        writeKind(ValueKind::Int16);
        writeInt16(qint16(value));
    } else if (value >= INT32_MIN && value <= INT32_MAX) {
        writeKind(ValueKind::Int32);
        writeInt32(qint32(value));
    } else {
        writeKind(ValueKind::Int64);
        char b[8];
        qToLittleEndian(value, b);
        out_.append(b, 8);
    }
}

void ComponentWriter::writeString(const QString &text)
{
    const QByteArray bytes = encodeText(text, -1);
    if (bytes.size() <= MaxShortString) {
        writeKind(ValueKind::String);
        writeShortString(bytes);
    } else {
        writeKind(ValueKind::LString);
        writeInt32(qint32(bytes.size()));
        out_.append(bytes);
    }
}

void ComponentWriter::writeBoolean(bool value) { writeKind(value ? ValueKind::True : ValueKind::False); }

void ComponentWriter::writeIdentifier(const QByteArray &name)
{
    writeKind(ValueKind::Ident);
    writeShortString(name);
}

void ComponentWriter::writeBinary(const QByteArray &bytes)
{
    writeKind(ValueKind::Binary);
    writeInt32(qint32(bytes.size()));
    out_.append(bytes);
}

void ComponentWriter::beginList() { writeKind(ValueKind::List); }
void ComponentWriter::beginCollection() { writeKind(ValueKind::Collection); }
void ComponentWriter::endList() { writeKind(ValueKind::Null); }

void ComponentWriter::pictureProperty(const QByteArray &name, const Raster &picture)
{
    const QByteArray image = picture.isEmpty() ? QByteArray() : WriteBmp(picture, 24);
    ComponentWriter payload;
    payload.writeShortString(BitmapPictureKind);
    payload.writeInt32(qint32(image.size()));
    payload.writeRaw(image);
    binaryProperty(name, payload.data());
}
