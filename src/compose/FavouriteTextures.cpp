#include "compose/FavouriteTextures.h"

#include "imageio/ComponentStream.h"
#include "core/Errors.h"
#include "core/FileBytes.h"
#include "core/ImageBox.h"

#include <QDir>
#include <QFile>

#include <algorithm>

namespace {
// The textures hold small tiles; a file larger than one picture of the largest size a raster
// may hold is read only up to that size, and reading stops where the cap cuts a record.
constexpr qint64 MaxFileBytes = Raster::MaxBytes + (qint64(1) << 20);
} // namespace

QByteArray writeTextureRecord(const Raster &picture, const CarrierBounds &bounds)
{
    ComponentWriter w;
    w.beginObject("TImage", "TextureImage");
    w.integerProperty("Left", bounds.left);
    w.integerProperty("Top", bounds.top);
    w.integerProperty("Width", bounds.width);
    w.integerProperty("Height", bounds.height);
    w.booleanProperty("Center", true);
    w.pictureProperty("Picture.Data", picture);
    w.booleanProperty("Visible", false);
    w.endObject();
    return w.data();
}

QByteArray writeFavouriteTextures(const FavouriteSlots &textures, const CarrierBounds &bounds)
{
    QByteArray out;
    for (const Raster &slot : textures)
        out += writeTextureRecord(slot, bounds);
    return out;
}

FavouritesReading readFavouriteTextures(const QByteArray &data, FavouriteSlots &textures)
{
    FavouritesReading result;
    for (Raster &slot : textures)
        slot = Raster();
    ComponentReader reader(data);
    for (Raster &slot : textures) {
        try {
            const ImageRecord record = readImageRecord(reader);
            // The slot takes the carrier's picture: its height, its width, then its pixels.
            // A picture without pixels (one side 0) leaves the slot empty.
            if (!record.picture.isEmpty()) {
                Raster copy;
                copy.setHeight(record.picture.height());
                copy.setWidth(record.picture.width());
                CopyPixels(record.picture, copy);
                slot = copy;
            }
        } catch (const LetrafexError &e) {
            result.error = e.text();
            return result;
        }
        ++result.slotsRead;
    }
    return result;
}

QString favouriteTexturesPath(const QString &dataFolder)
{
    return QDir(dataFolder).filePath(QStringLiteral("FTextures.Dat"));
}

void saveFavouriteTexturesFile(const QString &path, const FavouriteSlots &textures, const CarrierBounds &bounds)
{
    writeWholeFile(path, writeFavouriteTextures(textures, bounds));
}

FavouritesReading loadFavouriteTexturesFile(const QString &path, FavouriteSlots &textures)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        for (Raster &slot : textures)
            slot = Raster();
        return {0, file.errorString()};
    }
    return readFavouriteTextures(file.read(std::min(file.size(), MaxFileBytes)), textures);
}
