#include "imageio/TiffFile.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <unordered_set>

namespace {

class MemorySource final : public TiffSource
{
public:
    explicit MemorySource(const QByteArray &data) : data_(data) {}
    qint64 size() const override { return data_.size(); }
    const uchar *bytes(qint64 offset, qint64 length) override
    {
        if (offset < 0 || length < 0 || offset > data_.size() - length)
            return nullptr;
        return reinterpret_cast<const uchar *>(data_.constData()) + offset;
    }
    const uchar *whole() override { return reinterpret_cast<const uchar *>(data_.constData()); }

private:
    const QByteArray data_;
};

// Reads the file through a window of about 1 MiB, so strips read row by row cost few
// system calls and the file never sits in memory whole.
class FileSource final : public TiffSource
{
public:
    bool open(const QString &fileName)
    {
        file_.setFileName(fileName);
        if (!QFileInfo(fileName).isFile() || !file_.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            return false;
        // Taken once: asking the system for every row costs more than reading the row.
        size_ = file_.size();
        return true;
    }
    qint64 size() const override { return size_; }
    const uchar *bytes(qint64 offset, qint64 length) override
    {
        constexpr qint64 Window = qint64(1) << 20;
        const qint64 fileSize = size_;
        if (offset < 0 || length < 0 || offset > fileSize - length)
            return nullptr;
        if (offset < start_ || offset + length > start_ + window_.size()) {
            const qint64 n = std::min(std::max(length, Window), fileSize - offset);
            window_.resize(n);
            const bool ok = file_.seek(offset) && file_.read(window_.data(), n) == n;
            start_ = offset;
            if (!ok) {
                window_.clear();
                return nullptr;
            }
        }
        return reinterpret_cast<const uchar *>(window_.constData()) + (offset - start_);
    }
    // Read, not mapped: a mapped file that another program shortens meanwhile would end
    // the program at the first page past the new end instead of failing the read.
    const uchar *whole() override
    {
        if (all_.isEmpty() && size_ > 0) {
            all_.resize(size_);
            if (!file_.seek(0) || file_.read(all_.data(), size_) != size_) {
                all_.clear();
                return nullptr;
            }
        }
        return all_.isEmpty() ? nullptr : reinterpret_cast<const uchar *>(all_.constData());
    }

private:
    QFile file_;
    qint64 size_ = 0;
    QByteArray window_;
    qint64 start_ = 0;
    QByteArray all_; // the whole file, once libtiff asks for it
};

// Bytes a value of this field type takes.
int typeSize(quint16 type)
{
    switch (type) {
    case TiffType::Byte: case TiffType::Ascii: case 6: case 7:
        return 1;
    case TiffType::Short: case 8:
        return 2;
    case TiffType::Rational: case 10: case 12:
        return 8;
    default:
        return 4;
    }
}

// Strips come in at most 16-bit numbers; a longer table is damage.
constexpr quint32 MaxStrips = 65535;

} // namespace

const TiffEntry *TGraphicTiff::findEntry(quint16 tag) const
{
    const auto found = std::find_if(entries_.rbegin(), entries_.rend(), [tag](const TiffEntry &e) { return e.tag == tag; });
    return found == entries_.rend() ? nullptr : &*found;
}

quint32 TGraphicTiff::value(const TiffEntry &entry) const
{
    const bool intel = file_.intel();
    switch (typeSize(entry.type)) {
    case 1:
        return intel ? entry.value & 0xFF : entry.value >> 24;
    case 2:
        return intel ? entry.value & 0xFFFF : entry.value >> 16;
    default:
        return entry.value;
    }
}

QVector<quint32> TGraphicTiff::values(const TiffEntry &entry, quint32 max) const
{
    const int size = typeSize(entry.type);
    const quint32 n = std::min(entry.count, max);
    uchar inlineBytes[4];
    const uchar *p = nullptr;
    if (qint64(entry.count) * size <= 4) {
        if (file_.intel())
            qToLittleEndian(entry.value, inlineBytes);
        else
            qToBigEndian(entry.value, inlineBytes);
        p = inlineBytes;
    } else {
        p = file_.bytes(entry.value, qint64(n) * size);
    }
    QVector<quint32> out;
    if (!p)
        return out;
    out.reserve(n);
    for (quint32 i = 0; i < n; ++i, p += size)
        out << (size == 1 ? *p : size == 2 ? file_.u16(p) : file_.u32(p));
    return out;
}

const TiffStrip *TGraphicTiff::strip(int index) const
{
    return index >= 0 && index < stripCount() ? &strips_[size_t(index)] : nullptr;
}

// A strip table is made only when offsets and byte counts come in equal numbers and both
// arrays lie inside the file.
void TGraphicTiff::readStrips()
{
    const TiffEntry *offsets = findEntry(TiffTag::StripOffsets);
    const TiffEntry *counts = findEntry(TiffTag::StripByteCounts);
    const quint32 n = offsets ? offsets->count : 0;
    if (n == 0 || !counts || counts->count != n || n > MaxStrips)
        return;
    const QVector<quint32> where = values(*offsets, n);
    const QVector<quint32> sizes = values(*counts, n);
    if (where.size() != qsizetype(n) || sizes.size() != qsizetype(n))
        return;
    strips_.resize(n);
    for (quint32 i = 0; i < n; ++i)
        strips_[i] = {where[i], sizes[i]};
}

TFileTiff::~TFileTiff() = default;

void TFileTiff::setFileName(const QString &fileName)
{
    if (fileName.isEmpty()) {
        clear();
        fileName_.clear();
        return;
    }
    if (fileName == fileName_)
        return;
    clear();
    fileName_ = fileName;
    auto file = std::make_unique<FileSource>();
    if (!file->open(fileName))
        return;
    source_ = std::move(file);
    parse();
}

void TFileTiff::setData(const QByteArray &data)
{
    clear();
    fileName_.clear();
    source_ = std::make_unique<MemorySource>(data);
    parse();
}

const TGraphicTiff *TFileTiff::directory(int index) const
{
    return index >= 0 && index < directoryCount() ? directories_[size_t(index)].get() : nullptr;
}

void TFileTiff::clear()
{
    directories_.clear();
    source_.reset();
    valid_ = false;
    bigTiff_ = false;
    intel_ = true;
}

const uchar *TFileTiff::bytes(qint64 offset, qint64 length) const
{
    return source_ ? source_->bytes(offset, length) : nullptr;
}

const uchar *TFileTiff::whole() const { return source_ ? source_->whole() : nullptr; }

quint16 TFileTiff::u16(const uchar *p) const { return intel_ ? qFromLittleEndian<quint16>(p) : qFromBigEndian<quint16>(p); }

quint32 TFileTiff::u32(const uchar *p) const { return intel_ ? qFromLittleEndian<quint32>(p) : qFromBigEndian<quint32>(p); }

// The header, then the directories along the chain. A chain that comes back to a
// directory already read ends there, and so does one longer than MaxDirectories.
void TFileTiff::parse()
{
    const uchar *p = bytes(0, 8);
    if (!p)
        return;
    if (p[0] == 'I' && p[1] == 'I')
        intel_ = true;
    else if (p[0] == 'M' && p[1] == 'M')
        intel_ = false;
    else
        return;
    const quint16 version = u16(p + 2);
    bigTiff_ = version == 43;
    if (version != 42)
        return;
    valid_ = true;
    quint32 offset = u32(p + 4);
    std::unordered_set<quint32> visited;
    while (offset > 7 && directoryCount() < MaxDirectories && visited.insert(offset).second) {
        if (!readDirectory(offset))
            break;
        offset = directories_.back()->nextOffset();
    }
}

// A directory whose entries run past the end of the file keeps the whole entries that are
// there and has no next directory.
bool TFileTiff::readDirectory(quint32 offset)
{
    const uchar *p = bytes(offset, 2);
    if (!p)
        return false;
    const quint32 count = u16(p);
    const qint64 room = (fileSize() - offset - 2) / 12;
    const quint32 n = quint32(std::min<qint64>(count, room));
    auto dir = std::make_unique<TGraphicTiff>(*this, offset);
    if (n > 0 && (p = bytes(qint64(offset) + 2, qint64(n) * 12))) {
        dir->entries_.resize(n);
        for (quint32 i = 0; i < n; ++i, p += 12) {
            TiffEntry &e = dir->entries_[i];
            e.tag = u16(p);
            e.type = u16(p + 2);
            e.count = u32(p + 4);
            e.value = u32(p + 8);
        }
    }
    if (n == count) {
        if (const uchar *q = bytes(qint64(offset) + 2 + qint64(count) * 12, 4))
            dir->next_ = u32(q);
    }
    dir->readStrips();
    directories_.push_back(std::move(dir));
    return true;
}
