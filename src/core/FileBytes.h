#pragma once
// Reading and writing whole files for the picture and project readers and writers.
// Files are read, not mapped: a file cut short by another program while mapped would end
// the process instead of failing. Files are written whole or not at all: a failed save,
// a full disk included, leaves the file that was there as it was.
#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <QString>

// Opens file for reading (with the extra open flags); throws LetrafexError ("Cannot open
// file ...") when it cannot.
void openForReading(QFile &file, QIODevice::OpenMode extra = {});
// Throws LetrafexError ("Cannot read file ...") when a read of file has failed.
void checkReadSucceeded(const QFile &file);
// The whole file; throws LetrafexError when it cannot be opened or read.
QByteArray readWholeFile(const QString &fileName);

// The file's full path in the system's notation, as messages name it.
QString nativeFilePath(const QString &fileName);

// A file written piece by piece into a temporary file beside it, which replaces the file
// only when every byte is written and on disk. Every write is checked and its failure
// keeps the system's reason ("No space left on device"); a writer that is destroyed
// without a successful commit() leaves the old file untouched and removes its temporary
// file.
//
// The temporary file has no name while the file system allows it (O_TMPFILE); otherwise,
// and for the moment before the replacement, it is named
// ".NAME.HOST.PID-N.letrafex-tmp" beside the file. A process that is killed while writing
// can leave such a file behind; the next writer of the same file on the same host removes
// the ones whose process has ended, and never those of a writer still running.
class WholeFileWriter
{
public:
    // Throws LetrafexError "Cannot create file "PATH". REASON" when the temporary file
    // cannot be created (a missing folder, no permission).
    explicit WholeFileWriter(const QString &fileName);
    WholeFileWriter(const WholeFileWriter &) = delete;
    WholeFileWriter &operator=(const WholeFileWriter &) = delete;

    ~WholeFileWriter();

    // Appends the bytes; throws LetrafexError (failure()) when they cannot all be written.
    void write(const char *data, qint64 size);
    void write(const QByteArray &bytes) { write(bytes.constData(), bytes.size()); }
    // Appends the bytes without throwing, for the callbacks of C libraries: false when
    // they, or any earlier bytes, could not be written; later writes are then ignored.
    bool tryWrite(const char *data, qint64 size);
    bool failed() const { return !reason_.isEmpty(); }
    // "Cannot write file "PATH". REASON" after a failed write.
    QString failure() const;

    // Puts the written bytes on disk and replaces the file with them. Throws LetrafexError
    // naming the file and the reason when a write failed, or the sync or the replacement
    // fails; the old file then stays as it was.
    void commit();

    // The name of the temporary file of the writer number serial of this process for
    // fileName, and whether a name is such a temporary file of fileName whose writer has
    // ended: removing it then breaks nothing.
    static QString temporaryName(const QString &fileName, quint64 serial);
    static bool isStaleTemporary(const QString &fileName, const QString &candidate);

private:
    void startWriteback();
    void discard();
#ifdef Q_OS_UNIX
    int openNamedTemporary();
    void nameTemporary();
#endif

    QString name_;
#ifdef Q_OS_UNIX
    QString target_;
    QString temporary_;
    int fd_ = -1;
    int mode_ = -1; // the replaced file's permissions, -1 for a new file
    bool named_ = false;
#else
    QSaveFile file_;
#endif
    QString reason_;
    qint64 written_ = 0;
    qint64 handedToDisk_ = 0;
};

// Writes bytes as the whole content of fileName through a WholeFileWriter; throws
// LetrafexError naming the file and the system's reason when it cannot.
void writeWholeFile(const QString &fileName, const QByteArray &bytes);
