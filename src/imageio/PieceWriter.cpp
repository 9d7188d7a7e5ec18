#include "imageio/PieceWriter.h"

#include "core/FileBytes.h"

#include <algorithm>

namespace {

// Encodes the rows a piece of about 1 MiB at a time into a buffer of that size and hands
// each piece to put(const uchar *, qint64).
template <typename Put>
void encodeInPieces(const RowFile &file, Put &&put)
{
    const qint64 rowBytes = std::max<qint64>(file.maxRowBytes, 1);
    const int rowsPerPiece = int(std::clamp<qint64>((qint64(1) << 20) / rowBytes, 1, std::max(file.rows, 1)));
    QByteArray piece(rowsPerPiece * rowBytes, Qt::Uninitialized);
    uchar *out = reinterpret_cast<uchar *>(piece.data());
    for (int first = 0; first < file.rows; first += rowsPerPiece) {
        const int count = std::min(rowsPerPiece, file.rows - first);
        put(out, file.encode(first, count, out));
    }
}

} // namespace

void SaveRowsInPieces(const QString &fileName, const RowFile &file)
{
    WholeFileWriter out(fileName);
    out.write(file.head);
    encodeInPieces(file, [&out](const uchar *bytes, qint64 size) { out.write(reinterpret_cast<const char *>(bytes), size); });
    out.write(file.tail);
    out.commit();
}

QByteArray RowsInMemory(const RowFile &file)
{
    QByteArray out = file.head;
    encodeInPieces(file, [&out](const uchar *bytes, qint64 size) { out.append(reinterpret_cast<const char *>(bytes), size); });
    return out + file.tail;
}
