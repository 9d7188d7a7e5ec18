#include "core/FileBytes.h"

#include "core/Errors.h"
#include "core/MessageText.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

void openForReading(QFile &file, QIODevice::OpenMode extra)
{
    if (!file.open(QIODevice::ReadOnly | extra))
        throw LetrafexError(messageText("Cannot open file \"%1\". %2").arg(file.fileName(), file.errorString()));
}

void checkReadSucceeded(const QFile &file)
{
    if (file.error() != QFileDevice::NoError)
        throw LetrafexError(messageText("Cannot read file \"%1\". %2").arg(file.fileName(), file.errorString()));
}

QByteArray readWholeFile(const QString &fileName)
{
    QFile file(fileName);
    openForReading(file);
    const QByteArray data = file.readAll();
    checkReadSucceeded(file);
    return data;
}

QString nativeFilePath(const QString &fileName)
{
    return QDir::toNativeSeparators(QFileInfo(fileName).absoluteFilePath());
}

// The bytes go to the temporary file with the system's own write calls, not through
// QSaveFile::write: Qt stops at a short write (a disk that fills up part way) without
// keeping the system's reason, so its error text says only "Unknown error", and
// QSaveFile::commit() ignores a failure of the flush it does itself, so bytes still in
// Qt's buffer that do not fit would leave a cut-off file in place of the old one.

WholeFileWriter::WholeFileWriter(const QString &fileName) : file_(fileName)
{
    if (!file_.open(QIODevice::WriteOnly))
        throw LetrafexError(
            messageText("Cannot create file \"%1\". %2").arg(nativeFilePath(fileName), file_.errorString()));
}

bool WholeFileWriter::tryWrite(const char *data, qint64 size)
{
    if (failed())
        return false;
#ifdef Q_OS_UNIX
    const int fd = file_.handle();
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(std::min<qint64>(size, qint64(1) << 30)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // A regular file that takes nothing is out of room.
            reason_ = qt_error_string(n < 0 ? errno : ENOSPC);
            return false;
        }
        data += n;
        size -= n;
        written_ += n;
    }
    startWriteback();
#else
    if (file_.write(data, size) != size) {
        reason_ = file_.errorString();
        return false;
    }
    written_ += size;
#endif
    return true;
}

void WholeFileWriter::write(const char *data, qint64 size)
{
    if (!tryWrite(data, size))
        throw LetrafexError(failure());
}

QString WholeFileWriter::failure() const
{
    return messageText("Cannot write file \"%1\". %2").arg(nativeFilePath(file_.fileName()), reason_);
}

// Starts writing each full MiB to disk while the rest is still being encoded, so the sync
// at the commit has little left to wait for.
void WholeFileWriter::startWriteback()
{
#ifdef __linux__
    constexpr qint64 Step = qint64(1) << 20;
    if (written_ - handedToDisk_ < Step)
        return;
    sync_file_range(file_.handle(), handedToDisk_, written_ - handedToDisk_, SYNC_FILE_RANGE_WRITE);
    handedToDisk_ = written_;
#endif
}

void WholeFileWriter::commit()
{
#ifdef Q_OS_UNIX
    // A file system that reserves space only when the data goes to disk reports a full
    // disk here. Systems that cannot sync this file (EINVAL) have nothing to report.
    if (!failed() && ::fsync(file_.handle()) != 0 && errno != EINVAL)
        reason_ = qt_error_string(errno);
#else
    if (!failed() && !file_.flush())
        reason_ = file_.errorString();
#endif
    if (failed()) {
        file_.cancelWriting();
        throw LetrafexError(failure());
    }
    if (!file_.commit())
        throw LetrafexError(messageText("Cannot write file \"%1\". %2").arg(nativeFilePath(file_.fileName()),
                                                                              file_.errorString()));
}

void writeWholeFile(const QString &fileName, const QByteArray &bytes)
{
    WholeFileWriter file(fileName);
    file.write(bytes);
    file.commit();
}
