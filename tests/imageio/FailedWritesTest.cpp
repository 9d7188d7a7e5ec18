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
#include <unistd.h>
#include <vector>

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
}
