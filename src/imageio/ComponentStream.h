#pragma once
// The tagged property format of component streams ("TPF0"): object records made of a
// signature, a class name, an object name, property entries (a name and a typed value)
// and an end marker, as the project file and the favourite textures file keep them.
//
// The writer emits the value kinds the program writes; the reader reads or skips every
// kind, checking each length against the bytes that remain. All integers are
// little-endian. Errors throw LetrafexError with "Invalid stream format" (no signature),
// "Stream read error" (the data ends early or a length runs past it) or
// "Invalid property value" (a value of a kind the property cannot take).
#include "core/Raster.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// The kind byte that precedes every value.
enum class ValueKind : quint8 {
    Null = 0,       // end of a list
    List = 1,       // values until Null
    Int8 = 2,
    Int16 = 3,
    Int32 = 4,
    Extended = 5,   // 10-byte floating point
    String = 6,     // short string
    Ident = 7,      // enumeration value as a short string
    False = 8,
    True = 9,
    Binary = 10,    // 4-byte length, then the bytes
    Set = 11,       // short strings ended by an empty one
    LString = 12,   // 4-byte length, then the characters
    Nil = 13,
    Collection = 14,
    Single = 15,    // 4-byte floating point
    Currency = 16,
    Date = 17,
    WString = 18,   // 4-byte count of 16-bit units, then the units
    Int64 = 19,
    Utf8String = 20 // 4-byte length, then the bytes
};

constexpr int MaxShortString = 255;
// The first four bytes of every record.
inline constexpr char StreamSignature[] = "TPF0";
// The picture kind of a "Picture.Data" value that holds a bitmap.
inline constexpr char BitmapPictureKind[] = "TBitmap";

// Text in 8-bit strings: Windows-1252 when every character has a code there, otherwise
// UTF-8 behind the three-byte byte order mark, so no character is lost. maxBytes cuts the
// text: Windows-1252 text to that many characters, UTF-8 text to that many bytes with the
// mark, on a character boundary. A negative maxBytes keeps everything.
QByteArray encodeText(const QString &text, int maxBytes = MaxShortString);
// The reverse: bytes starting with the byte order mark are UTF-8 (an invalid sequence
// reads as '?', one for each bad byte at most), anything else is Windows-1252.
QString decodeText(const QByteArray &bytes);

class ComponentWriter
{
public:
    // Signature, class name and object name of a record.
    void beginObject(const QByteArray &className, const QByteArray &objectName);
    // Ends the property list and the (empty) list of child components.
    void endObject();

    void writeName(const QByteArray &name);           // a property name
    void writeShortString(const QByteArray &bytes);   // length byte and at most 255 bytes
    void writeInteger(qint64 value);                  // smallest of kinds 2, 3, 4 (19 beyond)
    void writeString(const QString &text);            // encodeText bytes: kind 6, or 12 above 255
    void writeBoolean(bool value);                    // kind 9 or 8
    void writeIdentifier(const QByteArray &name);     // kind 7
    void writeBinary(const QByteArray &bytes);        // kind 10
    void beginList();                                 // kind 1
    void beginCollection();                           // kind 14; items with beginList()
    void endList();                                   // a 0 byte: ends a list, item, collection

    // A property entry: its name and one value.
    void integerProperty(const QByteArray &name, qint64 value) { writeName(name); writeInteger(value); }
    void stringProperty(const QByteArray &name, const QString &text) { writeName(name); writeString(text); }
    void booleanProperty(const QByteArray &name, bool value) { writeName(name); writeBoolean(value); }
    void identifierProperty(const QByteArray &name, const QByteArray &value) { writeName(name); writeIdentifier(value); }
    void binaryProperty(const QByteArray &name, const QByteArray &bytes) { writeName(name); writeBinary(bytes); }
    // A picture property ("Picture.Data"): the raster as a 24-bit bitmap.
    void pictureProperty(const QByteArray &name, const Raster &picture);

    // Raw bytes, for payloads built outside the writer.
    void writeRaw(const QByteArray &bytes) { out_.append(bytes); }
    void writeInt32(qint32 value);
    void writeInt16(qint16 value);

    const QByteArray &data() const { return out_; }

private:
    void writeKind(ValueKind kind) { out_.append(char(kind)); }

    QByteArray out_;
};

// The record's class and object names.
struct ObjectHeader
{
    QByteArray className;
    QByteArray objectName;
};

class ComponentReader
{
public:
    // Reads data from offset start. The reader keeps a shared copy of the bytes.
    explicit ComponentReader(const QByteArray &data, qsizetype start = 0);

    // Signature, class name and object name.
    ObjectHeader beginObject();
    // After the last property: the (empty) list of child components.
    void endObject();

    // Reads the 0 byte that ends a list, property list, collection or collection item;
    // returns false and reads nothing when a value or entry follows instead.
    bool atListEnd();

    QByteArray readShortString();
    QByteArray readName() { return readShortString(); }
    // Reads the name when it comes next; returns false and reads nothing otherwise.
    bool atName(const QByteArray &name);
    ValueKind readKind();
    ValueKind peekKind() const;

    qint64 readInteger();           // kinds 2, 3, 4, 19
    bool readBoolean();             // kinds 8, 9
    QString readString();           // kinds 6, 12, 18, 20
    QByteArray readIdentifier();    // kind 7
    QByteArray readBinary();        // kind 10
    // A "Picture.Data" value: an empty raster for an image size of 0 or no picture kind.
    Raster readPicture();

    // Skips one value of any kind, nested lists, collections and sets included.
    void skipValue();
    void skipValue(ValueKind kind);
    // Skips a property's value when the property is one the target ignores.
    void skipProperty() { skipValue(); }

    // The next n bytes as a little-endian number; throws when fewer remain.
    qint32 readInt32();
    qint16 readInt16();
    quint8 readByte();
    QByteArray readBytes(qint64 n);
    void skipBytes(qint64 n);

    qsizetype position() const { return pos_; }
    qint64 remaining() const { return qint64(data_.size()) - pos_; }
    bool atEnd() const { return pos_ >= data_.size(); }

private:
    const uchar *at() const { return reinterpret_cast<const uchar *>(data_.constData()) + pos_; }
    void need(qint64 n) const;
    void skipCollection();

    const QByteArray data_;
    qsizetype pos_ = 0;
    int depth_ = 0; // lists and collections being skipped
};

// An image control's record, as the project file and the favourite textures file keep
// them: the geometry, the hint and the picture. Properties an image control has but that
// carry only its look (Center, Visible, Stretch, ...) are read and ignored; a property it
// does not have throws "Property %s does not exist".
struct ImageRecord
{
    ObjectHeader header;
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    QString hint;
    Raster picture;
};

// Reads one whole record (signature to the end of the children) as an image control.
ImageRecord readImageRecord(ComponentReader &reader);

// The error for a property the target does not have.
[[noreturn]] void throwUnknownProperty(const QByteArray &name);
