#pragma once
// The structure of a TIFF file: the header and the chain of image file directories, each
// with its entries and strip table. The picture readers (TiffReader.cpp) turn one
// directory into a picture; they read the bytes they need through the file object, which
// checks every offset against the file's size.
#include <QByteArray>
#include <QString>
#include <QVector>

#include <memory>
#include <vector>

namespace TiffTag {
enum : quint16 {
    NewSubfileType = 254,
    SubfileType = 255,
    ImageWidth = 256,
    ImageLength = 257,
    BitsPerSample = 258,
    Compression = 259,
    PhotometricInterpretation = 262,
    FillOrder = 266,
    StripOffsets = 273,
    SamplesPerPixel = 277,
    RowsPerStrip = 278,
    StripByteCounts = 279,
    XResolution = 282,
    YResolution = 283,
    PlanarConfiguration = 284,
    ResolutionUnit = 296,
    Software = 305,
    ColorMap = 320,
    TileWidth = 322,
    TileLength = 323,
    TileOffsets = 324,
    TileByteCounts = 325,
    ExtraSamples = 338,
};
}

namespace TiffType {
enum : quint16 { Byte = 1, Ascii = 2, Short = 3, Long = 4, Rational = 5 };
}

struct TiffEntry
{
    quint16 tag = 0;
    quint16 type = 0;
    quint32 count = 0;
    quint32 value = 0; // the four value bytes read as one number in the file's byte order
};

struct TiffStrip
{
    quint32 offset = 0;
    quint32 byteCount = 0;
};

// Random access to a file's bytes.
class TiffSource
{
public:
    virtual ~TiffSource() = default;
    virtual qint64 size() const = 0;
    // The length bytes at offset, valid until the next call; nullptr unless all are there.
    virtual const uchar *bytes(qint64 offset, qint64 length) = 0;
    // All size() bytes at once, valid while the source lives (a file is read whole the
    // first time); nullptr when that is not possible.
    virtual const uchar *whole() = 0;
};

class TFileTiff;

// One image file directory.
class TGraphicTiff
{
public:
    TGraphicTiff(const TFileTiff &file, quint32 offset) : file_(file), offset_(offset) {}

    // The entry with this tag (the last one when several carry it), or nullptr.
    const TiffEntry *findEntry(quint16 tag) const;
    // A single value: the first byte of a BYTE, the first two bytes of a SHORT, all four
    // bytes of anything else, in the file's byte order.
    quint32 value(const TiffEntry &entry) const;
    // Up to max values of the entry, inline when they fit the value field, else at the
    // offset it holds. Empty when they are not all inside the file.
    QVector<quint32> values(const TiffEntry &entry, quint32 max) const;

    int stripCount() const { return int(strips_.size()); }
    const TiffStrip *strip(int index) const;
    quint32 nextOffset() const { return next_; }
    // Where the directory starts in the file.
    quint32 offset() const { return offset_; }
    int entryCount() const { return int(entries_.size()); }
    const TFileTiff &file() const { return file_; }

private:
    friend class TFileTiff;
    void readStrips();

    const TFileTiff &file_;
    const quint32 offset_;
    std::vector<TiffEntry> entries_;
    std::vector<TiffStrip> strips_;
    quint32 next_ = 0;
};

// A TIFF file: setting its name (or its bytes) parses the header and the directories.
class TFileTiff
{
public:
    // A chain longer than this is cut; a picture needs only one directory.
    static constexpr int MaxDirectories = 256;

    TFileTiff() = default;
    ~TFileTiff();
    TFileTiff(const TFileTiff &) = delete;
    TFileTiff &operator=(const TFileTiff &) = delete;

    QString FileName() const { return fileName_; }
    // Parses the named file. A name that is no readable file leaves the object invalid
    // and creates nothing. An empty name clears the object.
    void setFileName(const QString &fileName);
    // Parses a file held in memory.
    void setData(const QByteArray &data);

    bool valid() const { return valid_; }
    // The header is that of a BigTIFF file (version 43, 64-bit offsets): such a file is
    // not valid for the own directory parser and is read whole through libtiff.
    bool bigTiff() const { return bigTiff_; }
    bool intel() const { return intel_; }
    qint64 fileSize() const { return source_ ? source_->size() : 0; }
    int directoryCount() const { return int(directories_.size()); }
    const TGraphicTiff *directory(int index) const;
    void clear();

    // Reading helpers for the directories and the picture readers; all check the file's size.
    const uchar *bytes(qint64 offset, qint64 length) const;
    const uchar *whole() const;
    quint16 u16(const uchar *p) const;
    quint32 u32(const uchar *p) const;

private:
    void parse();
    bool readDirectory(quint32 offset);

    QString fileName_;
    std::unique_ptr<TiffSource> source_;
    std::vector<std::unique_ptr<TGraphicTiff>> directories_;
    bool intel_ = true;
    bool valid_ = false;
    bool bigTiff_ = false;
};
