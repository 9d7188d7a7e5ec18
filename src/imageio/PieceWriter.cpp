#include "imageio/PieceWriter.h"

#include "core/Errors.h"

#include <QSaveFile>

#include <algorithm>

#ifdef __linux__
#include <fcntl.h>
#endif

void SaveRowsInPieces(const QString &fileName, const QByteArray &head, qint64 rowBytes, int rows,
                      const RowEncoder &encode)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw LetrafexError(QStringLiteral("Cannot create file \"%1\". %2").arg(fileName, file.errorString()));
    const int rowsPerPiece = int(std::clamp<qint64>((qint64(1) << 20) / std::max<qint64>(rowBytes, 1), 1, std::max(rows, 1)));
    QByteArray piece(rowsPerPiece * rowBytes, Qt::Uninitialized);
    bool ok = file.write(head) == head.size();
    qint64 written = head.size();
    for (int first = 0; ok && first < rows; first += rowsPerPiece) {
        const int count = std::min(rowsPerPiece, rows - first);
        encode(first, count, reinterpret_cast<uchar *>(piece.data()));
        const qint64 bytes = count * rowBytes;
        ok = file.write(piece.constData(), bytes) == bytes && file.flush();
#ifdef __linux__
        // Start writing the piece to disk now, so the sync at the commit has little left.
        if (ok)
            sync_file_range(file.handle(), written, bytes, SYNC_FILE_RANGE_WRITE);
#endif
        written += bytes;
    }
    if (!ok || !file.commit())
        throw LetrafexError(QStringLiteral("Cannot write file \"%1\". %2").arg(fileName, file.errorString()));
}
