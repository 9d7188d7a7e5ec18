#pragma once
// Writing a large picture file without a second copy of it in memory: a head, then rows
// encoded piece by piece (about 1 MiB each), the file replaced whole or not at all.
#include <QByteArray>
#include <QString>

#include <functional>

// Encodes rows first..first+count-1 into out, rowBytes bytes each, with no padding between.
using RowEncoder = std::function<void(int first, int count, uchar *out)>;

// Writes head and then rows rows of rowBytes bytes each to fileName through a save file.
// Throws LetrafexError when the file cannot be created or written; an existing file is
// then left as it was.
void SaveRowsInPieces(const QString &fileName, const QByteArray &head, qint64 rowBytes, int rows,
                      const RowEncoder &encode);
