#pragma once
// The favourites file Data/FTextures.Dat: five records back to back, one per texture slot.
// Each record is the background window's hidden carrier image ("TImage" named
// "TextureImage") written as a component stream, with the slot's bitmap as its picture; an
// empty slot is a record with an empty bitmap (103 bytes).
#include "core/Raster.h"

#include <QByteArray>
#include <QString>

#include <array>

constexpr int FavouriteSlotCount = 5;
using FavouriteSlots = std::array<Raster, FavouriteSlotCount>;

// The carrier image's bounds, which every record repeats.
struct CarrierBounds
{
    int left = 40;
    int top = 32;
    int width = 89;
    int height = 97;
};

// One record: the carrier holding picture (a 24-bit BMP, or none for an empty picture).
QByteArray writeTextureRecord(const Raster &picture, const CarrierBounds &bounds = {});
// The whole file: the five slots' records in slot order.
QByteArray writeFavouriteTextures(const FavouriteSlots &textures, const CarrierBounds &bounds = {});

struct FavouritesReading
{
    int slotsRead = 0; // records read whole, from slot 1 on
    QString error;     // why reading stopped early; empty when all five were read
};

// Reads the records into slots 1 to 5 in turn. Reading stops at the first record that
// cannot be read: the slots read before it keep their pictures, the others are empty.
FavouritesReading readFavouriteTextures(const QByteArray &data, FavouriteSlots &textures);

// The file's path in the program's data folder ("Data").
QString favouriteTexturesPath(const QString &dataFolder);
// Writes the file whole or not at all; throws LetrafexError when it cannot be written.
void saveFavouriteTexturesFile(const QString &path, const FavouriteSlots &textures, const CarrierBounds &bounds = {});
// Reads the file as readFavouriteTextures does; a file that cannot be opened reads nothing
// and reports why.
FavouritesReading loadFavouriteTexturesFile(const QString &path, FavouriteSlots &textures);
