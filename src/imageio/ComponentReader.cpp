#include "imageio/ComponentStream.h"

#include "core/Errors.h"
#include "core/MessageText.h"
#include "imageio/BmpCodec.h"

#include <QList>
#include <QtEndian>

#include <algorithm>

namespace {

// Nested lists and collections deeper than this are not a component stream the program
// could have written; the limit keeps a hostile file from exhausting the stack.
constexpr int MaxNesting = 64;

[[noreturn]] void readError() { throw LetrafexError(messageText("Stream read error")); }
[[noreturn]] void formatError() { throw LetrafexError(messageText("Invalid stream format")); }
[[noreturn]] void valueError() { throw LetrafexError(messageText("Invalid property value")); }

} // namespace

ComponentReader::ComponentReader(const QByteArray &data, qsizetype start) : data_(data), pos_(start) {}

void ComponentReader::need(qint64 n) const
{
    if (n < 0 || n > remaining())
        readError();
}

quint8 ComponentReader::readByte()
{
    need(1);
    return data_.constData()[pos_++];
}

qint32 ComponentReader::readInt32()
{
    need(4);
    const qint32 v = qFromLittleEndian<qint32>(at());
    pos_ += 4;
    return v;
}

qint16 ComponentReader::readInt16()
{
    need(2);
    const qint16 v = qFromLittleEndian<qint16>(at());
    pos_ += 2;
    return v;
}

QByteArray ComponentReader::readBytes(qint64 n)
{
    need(n);
    const QByteArray bytes(data_.constData() + pos_, qsizetype(n));
    pos_ += qsizetype(n);
    return bytes;
}

void ComponentReader::skipBytes(qint64 n)
{
    need(n);
    pos_ += qsizetype(n);
}

QByteArray ComponentReader::readShortString() { return readBytes(readByte()); }

bool ComponentReader::atName(const QByteArray &name)
{
    if (name.size() > MaxShortString || remaining() < 1 + name.size() || uchar(data_[pos_]) != name.size() ||
        QByteArray::fromRawData(data_.constData() + pos_ + 1, name.size()) != name)
        return false;
    pos_ += 1 + name.size();
    return true;
}

ObjectHeader ComponentReader::beginObject()
{
    const QByteArray signature(StreamSignature);
    const qint64 have = std::min<qint64>(remaining(), signature.size());
    if (QByteArray(data_.constData() + pos_, qsizetype(have)) != signature.left(have))
        formatError();
    skipBytes(signature.size());
    ObjectHeader header;
    header.className = readShortString();
    header.objectName = readShortString();
    return header;
}

void ComponentReader::endObject()
{
    // The records the program reads own no child components.
    if (!atListEnd())
        formatError();
}

bool ComponentReader::atListEnd()
{
    need(1);
    if (data_.constData()[pos_] != 0)
        return false;
    ++pos_;
    return true;
}

ValueKind ComponentReader::readKind()
{
    const quint8 kind = readByte();
    if (kind > quint8(ValueKind::Utf8String))
        formatError();
    return ValueKind(kind);
}

ValueKind ComponentReader::peekKind() const
{
    need(1);
    const quint8 kind = quint8(data_.constData()[pos_]);
    if (kind > quint8(ValueKind::Utf8String))
        formatError();
    return ValueKind(kind);
}

qint64 ComponentReader::readInteger()
{
    switch (readKind()) {
    case ValueKind::Int8: return qint8(readByte());
    case ValueKind::Int16: return readInt16();
    case ValueKind::Int32: return readInt32();
    case ValueKind::Int64: {
        need(8);
        const qint64 v = qFromLittleEndian<qint64>(at());
        pos_ += 8;
        return v;
    }
    default: valueError();
    }
}

bool ComponentReader::readBoolean()
{
    switch (readKind()) {
    case ValueKind::False: return false;
    case ValueKind::True: return true;
    default: valueError();
    }
}

QString ComponentReader::readString()
{
    switch (readKind()) {
    case ValueKind::String: return decodeText(readShortString());
    case ValueKind::LString: return decodeText(readBytes(readInt32()));
    case ValueKind::Utf8String: return QString::fromUtf8(readBytes(readInt32()));
    case ValueKind::WString: {
        const qint64 units = readInt32();
        const QByteArray bytes = readBytes(units * 2);
        QString text(qsizetype(units), Qt::Uninitialized);
        for (qsizetype i = 0; i < units; ++i)
            text[i] = QChar(qFromLittleEndian<quint16>(bytes.constData() + 2 * i));
        return text;
    }
    default: valueError();
    }
}

QByteArray ComponentReader::readIdentifier()
{
    if (readKind() != ValueKind::Ident)
        valueError();
    return readShortString();
}

QByteArray ComponentReader::readBinary()
{
    if (readKind() != ValueKind::Binary)
        valueError();
    return readBytes(readInt32());
}

Raster ComponentReader::readPicture()
{
    const QByteArray block = readBinary();
    ComponentReader payload(block);
    const QByteArray kind = payload.readShortString();
    if (kind.isEmpty())
        return Raster();
    if (kind != BitmapPictureKind)
        throw LetrafexError(messageText("Bitmap image is not valid"));
    const QByteArray image = payload.readBytes(payload.readInt32());
    return image.isEmpty() ? Raster() : ReadBmp(image);
}

void ComponentReader::skipValue() { skipValue(readKind()); }

void ComponentReader::skipValue(ValueKind kind)
{
    switch (kind) {
    case ValueKind::Null: case ValueKind::False: case ValueKind::True: case ValueKind::Nil: return;
    case ValueKind::Int8: skipBytes(1); return;
    case ValueKind::Int16: skipBytes(2); return;
    case ValueKind::Int32: case ValueKind::Single: skipBytes(4); return;
    case ValueKind::Extended: skipBytes(10); return;
    case ValueKind::Currency: case ValueKind::Date: case ValueKind::Int64: skipBytes(8); return;
    case ValueKind::String: case ValueKind::Ident: skipBytes(readByte()); return;
    case ValueKind::Binary: case ValueKind::LString: case ValueKind::Utf8String: skipBytes(readInt32()); return;
    case ValueKind::WString: skipBytes(qint64(readInt32()) * 2); return;
    case ValueKind::Set:
        for (quint8 n = readByte(); n != 0; n = readByte())
            skipBytes(n); // the identifiers, up to an empty one
        return;
    case ValueKind::List:
    case ValueKind::Collection:
        if (++depth_ > MaxNesting)
            formatError();
        if (kind == ValueKind::List) {
            while (!atListEnd())
                skipValue();
        } else {
            skipCollection();
        }
        --depth_;
        return;
    }
}

void ComponentReader::skipCollection()
{
    while (!atListEnd()) {
        // An item: an optional integer (its order number), a list marker, property entries.
        ValueKind kind = readKind();
        if (kind == ValueKind::Int8 || kind == ValueKind::Int16 || kind == ValueKind::Int32) {
            skipValue(kind);
            kind = readKind();
        }
        if (kind != ValueKind::List)
            formatError();
        while (!atListEnd()) {
            skipBytes(readByte()); // property name
            skipValue();
        }
    }
}

// ----- image records -----

[[noreturn]] void throwUnknownProperty(const QByteArray &name)
{
    throw LetrafexError(messageText("Property %1 does not exist").arg(QString::fromLatin1(name)));
}

namespace {

// Properties of an image control that carry only its look or behaviour.
bool isImageLookProperty(const QByteArray &name)
{
    static const QList<QByteArray> names = {
        "Align", "Anchors", "AutoSize", "Center", "Cursor", "DragCursor", "DragKind", "DragMode",
        "Enabled", "IncrementalDisplay", "ParentShowHint", "PopupMenu", "Proportional", "ShowHint",
        "Stretch", "Tag", "Transparent", "Visible"};
    return names.contains(name);
}

int readCoordinate(ComponentReader &reader, qint64 low, qint64 high)
{
    const qint64 v = reader.readInteger();
    if (v < low || v > high)
        valueError();
    return int(v);
}

} // namespace

ImageRecord readImageRecord(ComponentReader &reader)
{
    ImageRecord r;
    r.header = reader.beginObject();
    while (!reader.atListEnd()) {
        const QByteArray name = reader.readName();
        // A control's size becomes the size of a picture layer: keep it inside a raster's.
        if (name == "Left")
            r.left = readCoordinate(reader, INT32_MIN, INT32_MAX);
        else if (name == "Top")
            r.top = readCoordinate(reader, INT32_MIN, INT32_MAX);
        else if (name == "Width")
            r.width = readCoordinate(reader, 0, Raster::MaxSide);
        else if (name == "Height")
            r.height = readCoordinate(reader, 0, Raster::MaxSide);
        else if (name == "Hint")
            r.hint = reader.readString();
        else if (name == "Picture.Data")
            r.picture = reader.readPicture();
        else if (isImageLookProperty(name))
            reader.skipValue();
        else
            throwUnknownProperty(name);
    }
    reader.endObject();
    return r;
}
