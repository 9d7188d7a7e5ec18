#pragma once
// Writing a large picture file without a second copy of it in memory: a head, then rows
// encoded piece by piece (about 1 MiB each), then a tail, the file replaced whole or not
// at all.
#include <QByteArray>
#include <QString>

#include <functional>

// Encodes rows first..first+count-1 into out and returns the number of bytes it wrote,
// at most count times the rows' largest size.
using RowEncoder = std::function<qint64(int first, int count, uchar *out)>;

struct RowFile
{
    QByteArray head;
    qint64 maxRowBytes = 0; // the most one encoded row can take
    int rows = 0;
    RowEncoder encode;
    QByteArray tail;
};

// Writes the head, the rows and the tail to fileName through a WholeFileWriter. Throws
// LetrafexError naming the file and the system's reason when the file cannot be created
// or written; an existing file is then left as it was.
void SaveRowsInPieces(const QString &fileName, const RowFile &file);

// The same bytes in memory.
QByteArray RowsInMemory(const RowFile &file);
