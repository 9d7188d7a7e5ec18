// Saving onto a disk that refuses the bytes: every picture writer leaves the file that was
// there as it was, leaves nothing else behind, and says which file and why.
#include "FileSizeLimit.h"
#include "core/Errors.h"
#include "core/FileBytes.h"
#include "imageio/ApngWriter.h"
#include "imageio/PictureFiles.h"
#include "imageio/PngCodec.h"
#include "imageio/TiffCodec.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

// The writer's linkat: while refuseProcLinks is set, it refuses to name unnamed files, as some sandboxes do.
static bool refuseProcLinks = false;
extern "C" int linkat(int fromDir, const char *from, int toDir, const char *to, int flags) noexcept
{
    if (refuseProcLinks && QByteArray(from).startsWith("/proc/"))
        return errno = EPERM, -1;
    return int(syscall(SYS_linkat, fromDir, from, toDir, to, flags));
}

namespace {

// Noise does not compress: its file is far larger than the limit in every format.
Raster noise(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, random.generate() | 0xFF000000u);
    return Raster::fromImage(image, 24);
}

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

} // namespace

TEST(FailedWrites, EveryPictureWriterKeepsTheOldFileAndNamesTheFileAndTheSystemsReason)
{
    QTemporaryDir dir;
    const Raster picture = noise(64, 48);
    const QImage argb = picture.toRgb32().convertToFormat(QImage::Format_ARGB32);
    const auto saveAs = [&picture](int filter) {
        return [&picture, filter](const QString &path) { savePictureFile(path, filter, picture); };
    };
    struct Case
    {
        const char *name;
        std::function<void(const QString &)> save;
    };
    const std::vector<Case> cases = {
        {"old.bmp", saveAs(SaveBitmap)},
        {"old.jpg", saveAs(SaveJpeg)},
        {"old.emf", saveAs(SaveEnhancedMeta)},
        {"old.png", saveAs(SavePng)},
        {"old.tif", saveAs(SaveTiff)},
        {"old.pcx", saveAs(SavePcx)},
        {"old.tga", saveAs(SaveTga)},
        {"old.webp", saveAs(SaveWebp)},
        {"apng.png",
         [&argb](const QString &path) {
             const std::unique_ptr<AnimationWriter> apng = newApngAnimation(argb.width(), argb.height(), true);
             apng->addFrame(argb, 100);
             apng->save(path);
         }},
        {"rgba.tif", [&argb](const QString &path) { SaveTiffRgbaFile(path, argb); }},
        {"rgba.png",
         [&argb](const QString &path) {
             QString error;
             if (!SavePngRgba(path, argb, &error))
                 throw LetrafexError(error);
         }},
    };
    const auto path = [&dir](const Case &c) { return dir.filePath(QLatin1String(c.name)); };
    const auto oldBytes = [](const Case &c) { return QByteArray("the file that was there: ") + c.name; };
    for (const Case &c : cases)
        writeFile(path(c), oldBytes(c));

    std::vector<QString> errors;
    {
        const FileSizeLimit limit;
        for (const Case &c : cases) {
            try {
                c.save(path(c));
                errors.push_back({});
            } catch (const LetrafexError &e) {
                errors.push_back(e.text());
            }
        }
    }
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case &c = cases[i];
        EXPECT_TRUE(contents(path(c)) == oldBytes(c)) << c.name << " was replaced by a failed save";
        EXPECT_TRUE(errors[i].contains(QLatin1Char('"') + nativeFilePath(path(c)) + QLatin1Char('"')))
            << c.name << ": " << errors[i].toStdString();
        EXPECT_TRUE(errors[i].endsWith(fileTooLargeText())) << c.name << ": " << errors[i].toStdString();
    }
    // The temporary files are gone with the failed saves.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), qsizetype(cases.size()));

    // With room on the disk the same writers replace the files.
    for (const Case &c : cases) {
        c.save(path(c));
        EXPECT_GT(contents(path(c)).size(), qsizetype(SmallFileLimit)) << c.name;
    }
}

TEST(FailedWrites, ASaveRemovesTheTemporaryFilesOfEndedWritersOfTheSameFileOnly)
{
    QTemporaryDir dir;
    const QString target = dir.filePath("pic.png");
    // Writers killed while writing left their named temporary files behind.
    QProcess ended;
    ended.start(QStringLiteral("true"), {});
    ASSERT_TRUE(ended.waitForStarted());
    const QString endedPid = QString::number(ended.processId()), ours = QString::number(getpid());
    ASSERT_TRUE(ended.waitForFinished());
    const auto byProcess = [&](const QString &pid) { return WholeFileWriter::temporaryName(target, 3).replace(ours + "-", pid + "-"); };
    const QString dead = byProcess(endedPid), running = byProcess(QString::number(getppid()));
    const QString ownLeftover = WholeFileWriter::temporaryName(target, 999999);
    const QString otherFile = WholeFileWriter::temporaryName(dir.filePath("other.png"), 999999);
    for (const QString &path : {dead, running, ownLeftover, otherFile})
        writeFile(path, "partial");
    EXPECT_TRUE(QFileInfo(dead).fileName().startsWith(".pic.png."));
    writeWholeFile(target, "whole");
    EXPECT_EQ(contents(target), "whole");
    EXPECT_FALSE(QFile::exists(dead) || QFile::exists(ownLeftover));
    EXPECT_TRUE(QFile::exists(running) && QFile::exists(otherFile));
    EXPECT_FALSE(WholeFileWriter::isStaleTemporary(target, target));

    // Names too long for a temporary name beside them lose whole characters (emoji are
    // surrogate pairs; one of the four lengths meets each cut position); wildcards match
    // only themselves.
    for (int pad = 0; pad < 4; ++pad) {
        const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80").repeated(60) + ".png";
        const auto staleOf = [&](const QString &name) { return WholeFileWriter::temporaryName(dir.filePath(name), 5).replace(ours + "-", endedPid + "-"); };
        const QString name = QStringLiteral("[*?").left(pad) + emoji, stale = staleOf(name), other = staleOf("x!]" + emoji);
        for (const QString &path : {stale, other})
            writeFile(path, "partial");
        writeWholeFile(dir.filePath(name), "whole");
        EXPECT_TRUE(!QFile::exists(stale) && QFile::exists(other)) << pad;
    }
}

TEST(FailedWrites, ASaveThroughSymbolicLinksReplacesTheFileTheSystemWouldOpenAndKeepsItsPermissions)
{
    QTemporaryDir dir;
    const auto at = [&dir](const char *name) { return dir.filePath(QLatin1String(name)); };
    ASSERT_TRUE(QDir(dir.path()).mkpath("x/y/a") && QDir(dir.path()).mkpath("x/y/b"));
    writeFile(at("real.png"), "old");
    ASSERT_TRUE(QFile::setPermissions(at("real.png"), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    // "a/l.png" is x/y/a/../b/file.png; chains of links to a file and to one not made yet; a loop.
    for (const auto &[target, name] : {std::pair{"x/y/a", "a"}, {"../b/file.png", "x/y/a/l.png"}, {"l2.png", "l1.png"}, {"real.png", "l2.png"},
                                       {"d2.png", "d1.png"}, {"a/../new.png", "d2.png"}, {"loop2", "loop1"}, {"loop1", "loop2"}})
        ASSERT_EQ(::symlink(target, QFile::encodeName(at(name)).constData()), 0) << name;
    // The second round replaces the files where the system refuses to name unnamed files.
    const QImage pixels = noise(1001, 800).toRgb32(); // 3 MiB: more than one piece of the copy
    const QByteArray big(reinterpret_cast<const char *>(pixels.constBits()), pixels.sizeInBytes());
    for (const QByteArray &text : {QByteArray("made"), big}) {
        refuseProcLinks = text == big;
        for (const char *name : {"a/l.png", "l1.png", "d1.png"})
            writeWholeFile(at(name), text);
        for (const char *name : {"x/y/b/file.png", "real.png", "x/y/new.png"})
            EXPECT_TRUE(contents(at(name)) == text) << name;
    }
    refuseProcLinks = false;
    EXPECT_EQ(QFileInfo(at("real.png")).permissions(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 5); // real.png and the links to files
    for (const char *name : {"x/y/a/l.png", "l1.png", "l2.png", "d1.png", "d2.png"})
        EXPECT_TRUE(QFileInfo(at(name)).isSymLink()) << name;
    EXPECT_THROW(writeWholeFile(at("loop1"), "x"), LetrafexError);
}
