// Writing Windows bitmap files: a 40-byte information header, rows bottom-up padded to 4
// bytes, 1/4/8 bits with their palette, 16 bits as 5-5-5, 24 and 32 bits as blue, green, red.
#include "imageio/BmpCodec.h"
#include "core/MessageText.h"
#include "imageio/PieceWriter.h"

#include <QtEndian>

#include <cstring>

namespace {

constexpr qint64 FileHeaderSize = 14;
constexpr int DotsPerMeter = 3780; // 96 pixels per inch

// What a writer puts in the file: the pixels to encode, the layout and the table.
struct WritePlan
{
    QImage source; // Indexed8 for 1/4/8 bits, RGB32 otherwise
    int bits = 24;
    QVector<QRgb> palette;
    qsizetype stride = 0;
    qint64 offBits = 0;
    qint64 total = 0;
};

WritePlan planWrite(const Raster &raster, int bitCount)
{
    if (raster.isEmpty())
        throw LetrafexError(messageText("An empty picture cannot be written as a bitmap"));
    WritePlan plan;
    plan.bits = bitCount ? bitCount : raster.bitCount();
    const int bits = plan.bits;
    const bool indexed = bits <= 8;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        throw LetrafexError(messageText("A bitmap cannot be written with %1 bits per pixel").arg(bits));
    if (indexed && bits != raster.bitCount())
        throw LetrafexError(
            messageText("A %1-bit picture cannot be written as a %2-bit bitmap").arg(raster.bitCount()).arg(bits));

    plan.source = indexed || !raster.isIndexed() ? raster.image() : raster.toRgb32();
    if (indexed) {
        plan.palette = raster.palette().mid(0, 1 << bits);
        if (plan.palette.isEmpty())
            plan.palette.resize(1 << bits, qRgb(0, 0, 0));
    }
    plan.stride = Raster::dibStride(plan.source.width(), bits);
    plan.offBits = FileHeaderSize + 40 + qint64(plan.palette.size()) * 4;
    plan.total = plan.offBits + plan.stride * plan.source.height();
    if (plan.total > 0x7FFFFFFF)
        throw LetrafexError(messageText("The picture is too large for a bitmap file"));
    return plan;
}

// File header, information header and colour table: plan.offBits bytes.
void writeHeaders(const WritePlan &plan, uchar *p)
{
    const QImage &source = plan.source;
    std::memset(p, 0, size_t(plan.offBits));
    p[0] = 'B';
    p[1] = 'M';
    qToLittleEndian<quint32>(quint32(plan.total), p + 2);
    qToLittleEndian<quint32>(quint32(plan.offBits), p + 10);
    uchar *info = p + FileHeaderSize;
    qToLittleEndian<quint32>(40, info);
    qToLittleEndian<qint32>(source.width(), info + 4);
    qToLittleEndian<qint32>(source.height(), info + 8); // positive: rows bottom-up
    qToLittleEndian<quint16>(1, info + 12);
    qToLittleEndian<quint16>(quint16(plan.bits), info + 14);
    qToLittleEndian<quint32>(quint32(plan.total - plan.offBits), info + 20);
    qToLittleEndian<qint32>(source.dotsPerMeterX() > 0 ? source.dotsPerMeterX() : DotsPerMeter, info + 24);
    qToLittleEndian<qint32>(source.dotsPerMeterY() > 0 ? source.dotsPerMeterY() : DotsPerMeter, info + 28);
    const qsizetype count = plan.palette.size();
    qToLittleEndian<quint32>(count == (qsizetype(1) << plan.bits) ? 0 : quint32(count), info + 32);
    uchar *e = info + 40;
    for (QRgb c : plan.palette) {
        e[0] = uchar(qBlue(c));
        e[1] = uchar(qGreen(c));
        e[2] = uchar(qRed(c));
        e += 4;
    }
}

// Stored rows first..first+count-1 (stored row 0 is the picture's bottom row).
void writeRows(const WritePlan &plan, int first, int count, uchar *out)
{
    const int w = plan.source.width(), h = plan.source.height();
    for (int i = 0; i < count; ++i)
        Raster::encodeDibRow(plan.source.constScanLine(h - 1 - (first + i)), out + i * plan.stride, plan.stride, w, plan.bits);
}

} // namespace

QByteArray WriteBmp(const Raster &raster, int bitCount)
{
    const WritePlan plan = planWrite(raster, bitCount);
    QByteArray out(plan.total, Qt::Uninitialized);
    uchar *p = reinterpret_cast<uchar *>(out.data());
    writeHeaders(plan, p);
    writeRows(plan, 0, plan.source.height(), p + plan.offBits);
    return out;
}

void SaveBmpFile(const QString &fileName, const Raster &raster)
{
    const WritePlan plan = planWrite(raster, 0);
    QByteArray head(plan.offBits, Qt::Uninitialized);
    writeHeaders(plan, reinterpret_cast<uchar *>(head.data()));
    // Rows go out in pieces, so a large picture needs no second copy in memory.
    SaveRowsInPieces(fileName, {head, plan.stride, plan.source.height(), [&plan](int first, int count, uchar *out) {
                                    writeRows(plan, first, count, out);
                                    return count * qint64(plan.stride);
                                }, {}});
}
