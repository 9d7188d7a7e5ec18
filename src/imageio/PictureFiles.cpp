#include "imageio/PictureFiles.h"

#include "core/Errors.h"
#include "core/FileBytes.h"
#include "core/MessageText.h"
#include "core/PlainMessage.h"
#include "imageio/BmpCodec.h"
#include "imageio/JpegCodec.h"
#include "imageio/MetafileCodec.h"
#include "imageio/PcxCodec.h"
#include "imageio/PngCodec.h"
#include "imageio/TgaCodec.h"
#include "imageio/TiffCodec.h"
#include "imageio/WebpCodec.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeData>
#include <QScopeGuard>
#include <QSize>

#include <cstring>
#include <new>

const QStringList PictureExtensions = QString(QStringLiteral(".BMP,.JPG,.EMF,.WMF,.PNG,.TIF,.PCX,.TGA,.LFX,.WEBP")).split(QLatin1Char(','));

namespace {
// The reader each save filter's format is read back with; its extension in
// PictureExtensions is the one a name without the format's extension gets.
const int saveReaders[] = {ReaderBmp, ReaderJpeg, ReaderEmf, ReaderPng, ReaderTiff, ReaderPcx, ReaderTga, ReaderWebp, ReaderProject};

// Every spelling of a format's extension in common use, upper-cased, for the reader of
// the format; the first of each reader is the one of PictureExtensions.
struct Spelling
{
    const char *extension;
    int reader;
};
const Spelling spellings[] = {
    {".BMP", ReaderBmp},   {".DIB", ReaderBmp},   {".JPG", ReaderJpeg},   {".JPEG", ReaderJpeg}, {".JPE", ReaderJpeg},
    {".JFIF", ReaderJpeg}, {".EMF", ReaderEmf},   {".WMF", ReaderWmf},    {".PNG", ReaderPng},   {".TIF", ReaderTiff},
    {".TIFF", ReaderTiff}, {".PCX", ReaderPcx},   {".TGA", ReaderTga},    {".TARGA", ReaderTga}, {".LFX", ReaderProject},
    {".WEBP", ReaderWebp},
};

// The patterns of a reader's spellings for a file dialog: "*.jpg;*.jpeg;*.jpe;*.jfif".
QString patternsOf(int reader)
{
    QStringList patterns;
    for (const Spelling &s : spellings)
        if (s.reader == reader)
            patterns << QLatin1Char('*') + QString::fromLatin1(s.extension).toLower();
    return patterns.join(QLatin1Char(';'));
}

// One description|patterns pair of a filter: the description shows the format's main
// pattern, the dialog lists every spelling.
QString filterEntry(const char *name, const QString &f, const char *shown, int reader)
{
    return QLatin1String(name) + f + QStringLiteral(" (") + QLatin1String(shown) + QStringLiteral(")|") + patternsOf(reader) +
           QLatin1Char('|');
}
} // namespace

QString fileExtension(const QString &fileName)
{
    const int dot = int(fileName.lastIndexOf(QLatin1Char('.')));
    const int slash = int(qMax(fileName.lastIndexOf(QLatin1Char('/')), fileName.lastIndexOf(QLatin1Char('\\'))));
    if (dot < 0 || dot < slash)
        return {};
    return fileName.mid(dot);
}

int pictureReaderFor(const QString &fileName)
{
    const QString extension = fileExtension(fileName).toUpper();
    for (const Spelling &s : spellings)
        if (extension == QLatin1String(s.extension))
            return s.reader;
    return -1;
}

QString notAPictureFormatText(const QString &fileName)
{
    return messageText("The picture \"%1\" could not be read: %2")
        .arg(nativeFilePath(fileName), messageText("This format is not supported by the program."));
}

QString projectNotPictureText(const QString &fileName)
{
    return messageText("The file \"%1\" is a Letrafex project, not a picture.").arg(nativeFilePath(fileName));
}

QString pictureOpenFilter(const QString &f, const QString &g)
{
    const int listed[] = {ReaderBmp, ReaderJpeg, ReaderEmf, ReaderWmf, ReaderPng, ReaderTiff, ReaderPcx, ReaderTga, ReaderWebp};
    QStringList all;
    for (int reader : listed)
        all << patternsOf(reader);
    const auto entry = [&f](const char *name, const char *shown, int reader) { return filterEntry(name, f, shown, reader); };
    return g + QStringLiteral(" ") + f + QStringLiteral(" (*.bmp,*.jpg,*.emf,*.wmf,*.png,*.tif,*.pcx,*.tga,*.webp)|") +
           all.join(QLatin1Char(';')) + QLatin1Char('|') + entry("Bitmap ", "*.bmp", ReaderBmp) +
           entry("JPEG ", "*.jpg", ReaderJpeg) + entry("Enhanced Meta ", "*.emf", ReaderEmf) +
           entry("Windows Meta ", "*.wmf", ReaderWmf) + entry("Portable Networks Graphic ", "*.png", ReaderPng) +
           entry("Tagged Image ", "*.tif", ReaderTiff) + entry("ZSoft Paintbrush ", "*.pcx", ReaderPcx) +
           entry("Targa ", "*.tga", ReaderTga) + entry("WebP ", "*.webp", ReaderWebp) + QStringLiteral("Letrafex ") + f +
           QStringLiteral(" (*.lfx)|*.lfx");
}

QString pictureSaveFilter(const QString &f)
{
    const auto entry = [&f](const char *name, const char *shown, int reader) { return filterEntry(name, f, shown, reader); };
    return entry("Bitmap ", "*.bmp", ReaderBmp) + entry("JPEG ", "*.jpg", ReaderJpeg) +
           entry("Enhanced Meta ", "*.emf", ReaderEmf) + entry("Portable Networks Graphic ", "*.png", ReaderPng) +
           entry("Tagged image ", "*.tif", ReaderTiff) + entry("ZSoft Paintbrush ", "*.pcx", ReaderPcx) +
           entry("Targa ", "*.tga", ReaderTga) + entry("WebP ", "*.webp", ReaderWebp) + QStringLiteral("Letrafex ") + f +
           QStringLiteral(" (*.lfx)|*.lfx");
}

QString pictureSaveName(const QString &fileName, int filterIndex)
{
    if (filterIndex < SaveBitmap || filterIndex > SaveProject)
        return fileName;
    // Any spelling of the format's extension is kept: photo.jpeg stays photo.jpeg.
    if (pictureReaderFor(fileName) != saveReaders[filterIndex - 1])
        return fileName + PictureExtensions[saveReaders[filterIndex - 1]].toLower();
    return fileName;
}

namespace {
// Collects the TIFF reader's plain messages while it reads, instead of showing them.
class CollectedMessages
{
public:
    CollectedMessages() : previous_(setPlainMessageHandler([this](const QString &text) { texts << text; })) {}
    ~CollectedMessages() { setPlainMessageHandler(previous_); }
    CollectedMessages(const CollectedMessages &) = delete;
    CollectedMessages &operator=(const CollectedMessages &) = delete;
    QStringList texts;

private:
    PlainMessageHandler previous_;
};

// A metafile read onto no picture gets a white one of its own size.
void readMetafileOntoWhite(const QString &fileName, Raster &picture)
{
    QFile file(fileName);
    openForReading(file);
    if (file.size() > Raster::MaxBytes)
        throw LetrafexError(messageText("The metafile is too large."));
    const QByteArray data = file.readAll();
    checkReadSucceeded(file);
    const QSize size = MetafileSize(data);
    picture = Raster(size.width(), size.height());
    ReadMetafile(data, picture);
}

// Runs the reader; returns why it failed, or an empty text.
QString runReader(const QString &fileName, int reader, Raster &picture)
{
    switch (reader) {
    case ReaderBmp:
        picture = LoadBmpFile(fileName);
        return {};
    case ReaderJpeg:
        picture = LoadJpegFile(fileName);
        return {};
    case ReaderEmf:
    case ReaderWmf:
        if (picture.isEmpty())
            readMetafileOntoWhite(fileName, picture);
        else
            LoadMetafile(fileName, picture);
        return {};
    case ReaderPng:
        return LoadPngFile(fileName, picture) ? QString() : PngLastError();
    case ReaderTiff: {
        CollectedMessages messages;
        LoadTiffFile(fileName, picture);
        return messages.texts.join(QLatin1Char('\n'));
    }
    case ReaderPcx:
        return LoadPcxFile(fileName, picture) ? QString() : PcxLastError();
    case ReaderTga:
        return LoadTgaFile(fileName, picture) ? QString() : TgaLastError();
    case ReaderWebp:
        LoadWebpFile(fileName, picture);
        return {};
    default:
        return messageText("This format is not supported by the program.");
    }
}

// The first bytes of a regular file, as many as the signatures need; empty when it cannot
// be read (the reader then reports why). Only regular files are looked into: opening a
// pipe waits for a writer, and reading it or a device takes bytes no one gets back.
QByteArray fileStart(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(64);
}

// The error text names the file with its full path; a reason that already does so (the
// system's "Cannot open file ...") is the whole text.
QString readError(const QString &path, const QString &reason)
{
    if (reason.contains(path))
        return reason;
    return messageText("The picture \"%1\" could not be read: %2").arg(path, reason);
}
} // namespace

int pictureReaderForContent(const QByteArray &start, int byName)
{
    const auto startsWith = [&start](const char *bytes, int size, int at = 0) {
        return start.size() >= at + size && std::memcmp(start.constData() + at, bytes, size_t(size)) == 0;
    };
    if (startsWith("\x89PNG\r\n\x1a\n", 8))
        return ReaderPng;
    if (startsWith("\xff\xd8\xff", 3))
        return ReaderJpeg;
    if (startsWith("II*\0", 4) || startsWith("MM\0*", 4) || startsWith("II+\0", 4) || startsWith("MM\0+", 4))
        return ReaderTiff;
    if (startsWith("RIFF", 4) && startsWith("WEBP", 4, 8))
        return ReaderWebp;
    if (startsWith("\x01\0\0\0", 4) && startsWith(" EMF", 4, 40))
        return ReaderEmf;
    // A placeable header, or the plain header of a metafile in memory or on disk.
    if (startsWith("\xd7\xcd\xc6\x9a", 4) || startsWith("\x01\0\x09\0\0\x03", 6) || startsWith("\x02\0\x09\0\0\x03", 6))
        return ReaderWmf;
    if (startsWith("BM", 2))
        return ReaderBmp;
    // PCX and TGA have no signature of their own: a name that says PCX or TGA, or bytes
    // that prove nothing, leave the reader the name chose.
    return byName;
}

PictureRead readPictureFile(const QString &fileName, int reader, const Raster &base)
{
    const QString path = QFileInfo(fileName).absoluteFilePath();
    // A picture is read by what it holds when that is a format with a signature; a PNG
    // named .bmp is read as a PNG.
    const QFileInfo info(path);
    if (reader >= 0 && reader != ReaderProject && info.isFile())
        reader = pictureReaderForContent(fileStart(path), reader);
    PictureRead result{base, {}};
    QString reason;
    try {
        // A pipe or a device would keep the reader waiting or reading for ever.
        if (info.exists() && !info.isFile() && !info.isDir())
            reason = messageText("This is no regular file but a pipe, a socket or a device.");
        else
            reason = runReader(path, reader, result.picture);
        if (reason.isEmpty() && result.picture.isEmpty())
            reason = messageText("The file holds no picture.");
    } catch (const LetrafexError &e) {
        reason = e.text();
    } catch (const std::bad_alloc &) {
        reason = messageText("Out of memory.");
    } catch (const std::exception &e) {
        reason = QString::fromLocal8Bit(e.what());
    }
    if (!reason.isEmpty()) {
        result.picture = base;
        result.error = readError(path, reason);
    }
    return result;
}

void fitLoadedPicture(ImageBox &image, int drawMode)
{
    if (image.name == QLatin1String("SurfaceIconImage") || image.name == QLatin1String("TextureImage"))
        return;
    if (drawMode == DrawOriginal) {
        image.width = image.picture.width();
        image.height = image.picture.height();
        return;
    }
    // Tiled and stretched pictures fill a new raster of the control's size; an empty
    // picture gives an empty (white) raster of that size.
    Raster fitted(image.width, image.height);
    if (drawMode == DrawTiled)
        TileGraphic(image.picture, fitted);
    else
        StretchDraw(image.picture, fitted, image.width, image.height);
    image.picture = fitted;
}

namespace {
// JPEG, PCX and TGA are written from the picture as 24 bits per pixel; the conversion is
// made on a copy, so saving never changes the picture itself.
Raster as24Bits(const Raster &picture)
{
    Raster copy = picture;
    copy.setBitCount(24);
    return copy;
}

// A transparent picture keeps its transparency where the format holds it (PNG, TIFF and
// WebP store it as straight alpha) and is refused by the others, which would otherwise
// store its colours as if they were opaque.
void saveTransparentPicture(const QString &fileName, int filterIndex, const Raster &picture)
{
    switch (filterIndex) {
    case SavePng: {
        QString error;
        if (!SavePngRgba(fileName, picture.toStraightArgb32(), &error))
            throw LetrafexError(error);
        return;
    }
    case SaveTiff:
        SaveTiffRgbaFile(fileName, picture.toStraightArgb32());
        return;
    case SaveWebp:
        SaveWebpFile(fileName, picture.toStraightArgb32());
        return;
    default:
        throw LetrafexError(messageText("The picture \"%1\" has transparency, which this file format cannot hold.")
                                .arg(nativeFilePath(fileName)));
    }
}
} // namespace

void savePictureFile(const QString &fileName, int filterIndex, const Raster &picture)
{
    if (picture.hasAlpha() && filterIndex >= SaveBitmap && filterIndex <= SaveWebp && filterIndex != SaveEnhancedMeta) {
        saveTransparentPicture(fileName, filterIndex, picture);
        return;
    }
    switch (filterIndex) {
    case SaveBitmap:
        SaveBmpFile(fileName, picture);
        break;
    case SaveJpeg:
        SaveJpegFile(fileName, as24Bits(picture));
        break;
    case SaveEnhancedMeta:
        SaveMetafile(fileName, picture);
        break;
    case SavePng: {
        QString error;
        if (!SavePngFile(fileName, picture, &error))
            throw LetrafexError(error);
        break;
    }
    case SaveTiff:
        SaveTiffFile(fileName, picture);
        break;
    case SavePcx:
        SavePcxFile(fileName, as24Bits(picture));
        break;
    case SaveTga:
        SaveTgaFile(fileName, as24Bits(picture));
        break;
    case SaveWebp:
        SaveWebpFile(fileName, picture.toRgb32());
        break;
    default:
        throw LetrafexError(messageText("Unknown picture format"));
    }
}

QImage pictureFromMimeData(const QMimeData &data)
{
    QImage image;
    if (data.hasImage())
        image = qvariant_cast<QImage>(data.imageData());
    if (!image.isNull())
        return image;
    for (const QString &format : data.formats()) {
        if (!format.startsWith(QLatin1String("image/")))
            continue;
        QByteArray bytes = data.data(format);
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        const QSize size = reader.size();
        if (!size.isValid())
            continue;
        if (!Raster::sizeAllowed(size.width(), size.height()))
            throw LetrafexError(Raster::sizeRefusal(size.width(), size.height()));
        // The size is within the program's own limits, which stand in for Qt's.
        const int qtLimit = QImageReader::allocationLimit();
        QImageReader::setAllocationLimit(0);
        const auto restore = qScopeGuard([qtLimit] { QImageReader::setAllocationLimit(qtLimit); });
        image = reader.read();
        if (!image.isNull())
            return image;
    }
    return {};
}
