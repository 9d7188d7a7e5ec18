#include "core/FileBytes.h"

#include "core/Errors.h"
#include "core/MessageText.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <atomic>
#include <mutex>
#include <set>
#include <utility>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
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

// The bytes go to the temporary file with the system's own write calls: Qt stops at a
// short write (a disk that fills up part way) without keeping the system's reason, so its
// error text says only "Unknown error", and QSaveFile::commit() ignores a failure of the
// flush it does itself. QSaveFile also names its temporary file "NAME.XXXXXX" where the
// file system has no unnamed files, which nothing could later tell from a user's file.

namespace {
const QLatin1String TemporarySuffix(".letrafex-tmp");

#ifdef Q_OS_UNIX
// The host's name in file-name characters: a folder shared between machines holds the
// temporary files of processes this host cannot look at.
QString hostTag()
{
    char buffer[256] = {};
    if (::gethostname(buffer, sizeof buffer - 1) != 0 || !buffer[0])
        return QStringLiteral("host");
    QString tag = QString::fromLocal8Bit(buffer).left(64);
    for (QChar &c : tag)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('-'))
            c = QLatin1Char('_');
    return tag;
}

// ".NAME.HOST.": the start of every temporary file name of fileName. NAME loses whole
// characters at its end where the whole temporary name would pass the file system's 255
// bytes: half a surrogate pair would be stored as another character, and the name read
// back from the folder would then never match the prefix again.
QString temporaryPrefix(const QString &fileName)
{
    QString base = QFileInfo(fileName).fileName();
    const QString host = hostTag(); // ASCII, at most 64 bytes
    constexpr qsizetype Room = 255 - 42; // the pid (7), '-', the serial (20) and the suffix (13)
    while (!base.isEmpty() && (QLatin1Char('.') + base + QLatin1Char('.') + host + QLatin1Char('.')).toUtf8().size() > Room)
        base.chop(base.size() >= 2 && base.back().isLowSurrogate() && base[base.size() - 2].isHighSurrogate() ? 2 : 1);
    return QLatin1Char('.') + base + QLatin1Char('.') + host + QLatin1Char('.');
}

// The temporary files this process is writing now, by full path.
std::mutex liveMutex;
std::set<QString> liveTemporaries;
std::atomic<quint64> nextSerial{0};

void setLive(const QString &path, bool live)
{
    const std::lock_guard<std::mutex> lock(liveMutex);
    if (live)
        liveTemporaries.insert(path);
    else
        liveTemporaries.erase(path);
}

bool isLive(const QString &path)
{
    const std::lock_guard<std::mutex> lock(liveMutex);
    return liveTemporaries.count(path) != 0;
}

// The folder's names are read as the system gives them, unsorted, and only those that start
// with the prefix are looked at, so a folder of many files costs little.
void removeStaleTemporaries(const QString &fileName)
{
    const QString folder = QFileInfo(fileName).absolutePath();
    const QByteArray prefix = QFile::encodeName(temporaryPrefix(fileName));
    DIR *entries = ::opendir(QFile::encodeName(folder).constData());
    if (!entries)
        return;
    QStringList candidates;
    while (const dirent *entry = ::readdir(entries))
        if (std::strncmp(entry->d_name, prefix.constData(), size_t(prefix.size())) == 0)
            candidates << QDir(folder).filePath(QFile::decodeName(entry->d_name));
    ::closedir(entries);
    for (const QString &path : candidates)
        if (WholeFileWriter::isStaleTemporary(fileName, path) && QFileInfo(path).isFile())
            QFile::remove(path);
}

// An unnamed file gets its name through /proc; without /proc it could not get one.
bool canNameUnnamedFiles() { return ::access("/proc/self/fd", X_OK) == 0; }

// path with the folder part (all before the last '/') replaced by its real path; false
// (with errno) when the folder cannot be resolved.
bool resolveFolder(QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
    char *real = ::realpath(folder.constData(), nullptr);
    if (!real)
        return false;
    const QByteArray realFolder(real);
    std::free(real);
    path = (realFolder == "/" ? QByteArray() : realFolder) + '/' + path.mid(slash + 1);
    return true;
}

// The file a save of fileName replaces: the real path of fileName, through every symbolic
// link of it and of its folders. A link whose file does not exist yet is followed link by
// link, each relative target taken from the real folder of its link, as the system does.
// Returns an empty string (with errno ELOOP) for a chain of more than 40 links; a folder
// that cannot be resolved leaves the name for the open to report.
QString saveTarget(const QString &fileName)
{
    QByteArray path = QFile::encodeName(fileName);
    if (char *real = ::realpath(path.constData(), nullptr)) {
        const QString target = QFile::decodeName(real);
        std::free(real);
        return target;
    }
    for (int links = 0; links <= 40; ++links) {
        if (!resolveFolder(path))
            return QFileInfo(fileName).absoluteFilePath();
        QByteArray link(PATH_MAX, '\0');
        const ssize_t n = ::readlink(path.constData(), link.data(), size_t(link.size()));
        if (n < 0 || n >= link.size())
            return QFile::decodeName(path);
        link.truncate(n);
        path = link.startsWith('/') ? link : path.left(path.lastIndexOf('/') + 1) + link;
    }
    errno = ELOOP;
    return {};
}
#endif
} // namespace

#ifdef Q_OS_UNIX
QString WholeFileWriter::temporaryName(const QString &fileName, quint64 serial)
{
    return QFileInfo(fileName).absoluteDir().filePath(temporaryPrefix(fileName) + QString::number(qint64(::getpid())) +
                                                      QLatin1Char('-') + QString::number(serial) + TemporarySuffix);
}

bool WholeFileWriter::isStaleTemporary(const QString &fileName, const QString &candidate)
{
    const QString name = QFileInfo(candidate).fileName();
    const QString prefix = temporaryPrefix(fileName);
    if (!name.startsWith(prefix) || !name.endsWith(TemporarySuffix))
        return false;
    const QStringList numbers = name.mid(prefix.size(), name.size() - prefix.size() - TemporarySuffix.size())
                                    .split(QLatin1Char('-'));
    bool pidOk = false, serialOk = false;
    const qint64 pid = numbers.size() == 2 ? numbers[0].toLongLong(&pidOk) : 0;
    if (numbers.size() == 2)
        numbers[1].toULongLong(&serialOk);
    if (!pidOk || !serialOk || pid <= 0)
        return false;
    // This process's own files are stale when no writer of it holds them (the pid may be
    // an earlier process's, reused); another process's when that process has ended.
    if (pid == qint64(::getpid()))
        return !isLive(QFileInfo(candidate).absoluteFilePath());
    return ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

WholeFileWriter::WholeFileWriter(const QString &fileName) : name_(fileName)
{
    // A symbolic link stays a link: the file it names is replaced.
    const auto refuse = [this](int error) {
        throw LetrafexError(messageText("Cannot create file \"%1\". %2").arg(nativeFilePath(name_), qt_error_string(error)));
    };
    target_ = saveTarget(fileName);
    if (target_.isEmpty())
        refuse(errno);
    const QByteArray target = QFile::encodeName(target_);
    struct stat old = {};
    const bool existed = ::stat(target.constData(), &old) == 0;
    // A folder of the name is never replaced, nor a file the user made read-only.
    if (existed && S_ISDIR(old.st_mode))
        refuse(EISDIR);
    if (existed && ::access(target.constData(), W_OK) != 0)
        refuse(errno);
    removeStaleTemporaries(target_);
#ifdef O_TMPFILE
    if (canNameUnnamedFiles())
        fd_ = ::open(QFile::encodeName(QFileInfo(target_).absolutePath()).constData(), O_TMPFILE | O_RDWR | O_CLOEXEC,
                     0666);
#endif
    if (fd_ < 0) {
        fd_ = openNamedTemporary();
        if (fd_ < 0)
            refuse(errno);
    }
    // The new file keeps the old one's permissions.
    if (existed) {
        mode_ = int(old.st_mode & 07777);
        (void)::fchmod(fd_, mode_t(mode_));
    }
}

int WholeFileWriter::openNamedTemporary()
{
    temporary_ = temporaryName(target_, nextSerial++);
    setLive(temporary_, true);
    const int fd = ::open(QFile::encodeName(temporary_).constData(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int error = errno;
        setLive(temporary_, false);
        errno = error;
        return -1;
    }
    named_ = true;
    if (mode_ >= 0)
        (void)::fchmod(fd, mode_t(mode_));
    return fd;
}

// Names the unnamed temporary file. Where the system refuses the link (sandboxes and file
// systems may, with EPERM, ENOENT, EOPNOTSUPP or EXDEV), the bytes are copied into a named
// temporary file instead, which is then synced in its turn.
void WholeFileWriter::nameTemporary()
{
    temporary_ = temporaryName(target_, nextSerial++);
    setLive(temporary_, true);
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd_);
    if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, QFile::encodeName(temporary_).constData(), AT_SYMLINK_FOLLOW) == 0) {
        named_ = true;
        return;
    }
    setLive(temporary_, false);
    const int unnamed = std::exchange(fd_, -1);
    fd_ = openNamedTemporary();
    if (fd_ < 0)
        reason_ = qt_error_string(errno);
    const qint64 size = std::exchange(written_, 0);
    handedToDisk_ = 0;
    QByteArray buffer(qsizetype(1) << 20, Qt::Uninitialized);
    for (qint64 offset = 0; !failed() && offset < size;) {
        const ssize_t n = ::pread(unnamed, buffer.data(), size_t(std::min<qint64>(buffer.size(), size - offset)), offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            reason_ = qt_error_string(n < 0 ? errno : EIO);
            break;
        }
        if (!tryWrite(buffer.constData(), n))
            break;
        offset += n;
    }
    ::close(unnamed);
    if (!failed() && ::fsync(fd_) != 0 && errno != EINVAL)
        reason_ = qt_error_string(errno);
}

WholeFileWriter::~WholeFileWriter() { discard(); }

void WholeFileWriter::discard()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (named_) {
        ::unlink(QFile::encodeName(temporary_).constData());
        setLive(temporary_, false);
        named_ = false;
    }
}

bool WholeFileWriter::tryWrite(const char *data, qint64 size)
{
    if (failed())
        return false;
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, size_t(std::min<qint64>(size, qint64(1) << 30)));
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
    return true;
}

// Starts writing each full MiB to disk while the rest is still being encoded, so the sync
// at the commit has little left to wait for.
void WholeFileWriter::startWriteback()
{
#ifdef __linux__
    constexpr qint64 Step = qint64(1) << 20;
    if (written_ - handedToDisk_ < Step)
        return;
    sync_file_range(fd_, handedToDisk_, written_ - handedToDisk_, SYNC_FILE_RANGE_WRITE);
    handedToDisk_ = written_;
#endif
}

void WholeFileWriter::commit()
{
    // A file system that reserves space only when the data goes to disk reports a full
    // disk here. Systems that cannot sync this file (EINVAL) have nothing to report.
    if (!failed() && ::fsync(fd_) != 0 && errno != EINVAL)
        reason_ = qt_error_string(errno);
    if (!failed() && !named_)
        nameTemporary();
    if (!failed() && ::close(std::exchange(fd_, -1)) != 0)
        reason_ = qt_error_string(errno);
    if (!failed() && ::rename(QFile::encodeName(temporary_).constData(), QFile::encodeName(target_).constData()) != 0)
        reason_ = qt_error_string(errno);
    if (failed()) {
        discard();
        throw LetrafexError(failure());
    }
    setLive(temporary_, false);
    named_ = false;
    // The new name on disk too, where the folder can be synced.
    const int folder = ::open(QFile::encodeName(QFileInfo(target_).absolutePath()).constData(), O_RDONLY | O_CLOEXEC);
    if (folder >= 0) {
        (void)::fsync(folder);
        ::close(folder);
    }
}
#else
QString WholeFileWriter::temporaryName(const QString &fileName, quint64) { return fileName + TemporarySuffix; }
bool WholeFileWriter::isStaleTemporary(const QString &, const QString &) { return false; }

WholeFileWriter::WholeFileWriter(const QString &fileName) : name_(fileName), file_(fileName)
{
    if (!file_.open(QIODevice::WriteOnly))
        throw LetrafexError(
            messageText("Cannot create file \"%1\". %2").arg(nativeFilePath(fileName), file_.errorString()));
}

WholeFileWriter::~WholeFileWriter() = default;
void WholeFileWriter::discard() { file_.cancelWriting(); }

bool WholeFileWriter::tryWrite(const char *data, qint64 size)
{
    if (failed())
        return false;
    if (file_.write(data, size) != size) {
        reason_ = file_.errorString();
        return false;
    }
    written_ += size;
    return true;
}

void WholeFileWriter::startWriteback() {}

void WholeFileWriter::commit()
{
    if (!failed() && !file_.flush())
        reason_ = file_.errorString();
    if (failed()) {
        discard();
        throw LetrafexError(failure());
    }
    if (!file_.commit())
        throw LetrafexError(messageText("Cannot write file \"%1\". %2").arg(nativeFilePath(name_), file_.errorString()));
}
#endif

void WholeFileWriter::write(const char *data, qint64 size)
{
    if (!tryWrite(data, size))
        throw LetrafexError(failure());
}

QString WholeFileWriter::failure() const
{
    return messageText("Cannot write file \"%1\". %2").arg(nativeFilePath(name_), reason_);
}

void writeWholeFile(const QString &fileName, const QByteArray &bytes)
{
    WholeFileWriter file(fileName);
    file.write(bytes);
    file.commit();
}
