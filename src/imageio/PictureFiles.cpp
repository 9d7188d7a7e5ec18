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

#include <new>

const QStringList PictureExtensions = QString(QStringLiteral(".BMP,.JPG,.EMF,.WMF,.PNG,.TIF,.PCX,.TGA,.LFX,.WEBP")).split(QLatin1Char(','));

namespace {
const char *const saveExtensions[] = {".BMP", ".JPG", ".EMF", ".PNG", ".TIF", ".PCX", ".TGA", ".WEBP", ".LFX"};
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
    return int(PictureExtensions.indexOf(fileExtension(fileName).toUpper()));
}

QString pictureOpenFilter(const QString &f, const QString &g)
{
    return g + QStringLiteral(" ") + f +
           QStringLiteral(" (*.bmp,*.jpg,*.emf,*.wmf,*.png,*.tif,*.pcx,*.tga,*.webp)|"
                          "*.bmp;*.jpg;*.emf;*.wmf;*.png;*.tif;*.pcx;*.tga;*.webp|") +
           QStringLiteral("Bitmap ") + f + QStringLiteral(" (*.bmp)|*.bmp|JPEG ") + f +
           QStringLiteral(" (*.jpg)|*.jpg|Enhanced Meta ") + f + QStringLiteral(" (*.emf)|*.emf|") +
           QStringLiteral("Windows Meta ") + f + QStringLiteral(" (*.wmf)|*.wmf|Portable Networks Graphic ") + f +
           QStringLiteral(" (*.png)|*.png|") + QStringLiteral("Tagged Image ") + f +
           QStringLiteral(" (*.tif)|*.tif|ZSoft Paintbrush ") + f + QStringLiteral(" (*.pcx)|*.pcx|") +
           QStringLiteral("Targa ") + f + QStringLiteral(" (*.tga)|*.tga|WebP ") + f + QStringLiteral(" (*.webp)|*.webp|") +
           QStringLiteral("Letrafex ") + f + QStringLiteral(" (*.lfx)|*.lfx");
}

QString pictureSaveFilter(const QString &f)
{
    return QStringLiteral("Bitmap ") + f + QStringLiteral(" (*.bmp)|*.bmp|JPEG ") + f + QStringLiteral(" (*.jpg)|*.jpg|") +
           QStringLiteral("Enhanced Meta ") + f + QStringLiteral(" (*.emf)|*.emf|Portable Networks Graphic ") + f +
           QStringLiteral(" (*.png)|*.png|") + QStringLiteral("Tagged image ") + f +
           QStringLiteral(" (*.tif)|*.tif|ZSoft Paintbrush ") + f + QStringLiteral(" (*.pcx)|*.pcx|") +
           QStringLiteral("Targa ") + f + QStringLiteral(" (*.tga)|*.tga|WebP ") + f + QStringLiteral(" (*.webp)|*.webp|") +
           QStringLiteral("Letrafex ") + f + QStringLiteral(" (*.lfx)|*.lfx");
}

QString pictureSaveName(const QString &fileName, int filterIndex)
{
    if (filterIndex < SaveBitmap || filterIndex > SaveProject)
        return fileName;
    const QString wanted = QLatin1String(saveExtensions[filterIndex - 1]);
    if (fileExtension(fileName).toUpper() != wanted)
        return fileName + wanted.toLower();
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

// The error text names the file with its full path; a reason that already does so (the
// system's "Cannot open file ...") is the whole text.
QString readError(const QString &path, const QString &reason)
{
    if (reason.contains(path))
        return reason;
    return messageText("The picture \"%1\" could not be read: %2").arg(path, reason);
}
} // namespace

PictureRead readPictureFile(const QString &fileName, int reader, const Raster &base)
{
    const QString path = QFileInfo(fileName).absoluteFilePath();
    PictureRead result{base, {}};
    QString reason;
    try {
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
} // namespace

void savePictureFile(const QString &fileName, int filterIndex, const Raster &picture)
{
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
