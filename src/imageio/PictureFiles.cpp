#include "imageio/PictureFiles.h"

#include "core/Errors.h"
#include "imageio/BmpCodec.h"
#include "imageio/JpegCodec.h"
#include "imageio/MetafileCodec.h"
#include "imageio/PcxCodec.h"
#include "imageio/PngCodec.h"
#include "imageio/TgaCodec.h"
#include "imageio/TiffCodec.h"

const QStringList PictureExtensions = QString(QStringLiteral(".BMP,.JPG,.EMF,.WMF,.PNG,.TIF,.PCX,.TGA,.LFX")).split(QLatin1Char(','));

namespace {
const char *const saveExtensions[] = {".BMP", ".JPG", ".EMF", ".PNG", ".TIF", ".PCX", ".TGA", ".LFX"};
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
           QStringLiteral(" (*.bmp,*.jpg,*.emf,*.wmf,*.png,*.tif,*.pcx,*.tga)|*.bmp;*.jpg;*.emf;*.wmf;*.png;*.tif;*.pcx;*.tga|") +
           QStringLiteral("Bitmap ") + f + QStringLiteral(" (*.bmp)|*.bmp|JPEG ") + f +
           QStringLiteral(" (*.jpg)|*.jpg|Enhanced Meta ") + f + QStringLiteral(" (*.emf)|*.emf|") +
           QStringLiteral("Windows Meta ") + f + QStringLiteral(" (*.wmf)|*.wmf|Portable Networks Graphic ") + f +
           QStringLiteral(" (*.png)|*.png|") + QStringLiteral("Tagged Image ") + f +
           QStringLiteral(" (*.tif)|*.tif|ZSoft Paintbrush ") + f + QStringLiteral(" (*.pcx)|*.pcx|") +
           QStringLiteral("Targa ") + f + QStringLiteral(" (*.tga)|*.tga|Letrafex ") + f + QStringLiteral(" (*.lfx)|*.lfx");
}

QString pictureSaveFilter(const QString &f)
{
    return QStringLiteral("Bitmap ") + f + QStringLiteral(" (*.bmp)|*.bmp|JPEG ") + f + QStringLiteral(" (*.jpg)|*.jpg|") +
           QStringLiteral("Enhanced Meta ") + f + QStringLiteral(" (*.emf)|*.emf|Portable Networks Graphic ") + f +
           QStringLiteral(" (*.png)|*.png|") + QStringLiteral("Tagged image ") + f +
           QStringLiteral(" (*.tif)|*.tif|ZSoft Paintbrush ") + f + QStringLiteral(" (*.pcx)|*.pcx|") +
           QStringLiteral("Targa ") + f + QStringLiteral(" (*.tga)|*.tga|Letrafex ") + f + QStringLiteral(" (*.lfx)|*.lfx");
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

void readPictureFile(const QString &fileName, int reader, Raster &picture)
{
    switch (reader) {
    case ReaderBmp:
        picture = LoadBmpFile(fileName);
        break;
    case ReaderJpeg:
        picture = LoadJpegFile(fileName);
        break;
    case ReaderEmf:
    case ReaderWmf:
        LoadMetafile(fileName, picture);
        break;
    case ReaderPng:
        LoadPngFile(fileName, picture);
        break;
    case ReaderTiff:
        LoadTiffFile(fileName, picture);
        break;
    case ReaderPcx:
        LoadPcxFile(fileName, picture);
        break;
    case ReaderTga:
        LoadTgaFile(fileName, picture);
        break;
    default:
        break;
    }
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
    default:
        throw LetrafexError(QStringLiteral("Unknown picture format"));
    }
}
