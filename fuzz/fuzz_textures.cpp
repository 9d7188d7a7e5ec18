// libFuzzer target for the favourites file reader: any input reads some slots and stops
// cleanly at the first record it cannot read. The slots read must survive writing the
// file and reading it back.
#include "compose/FavouriteTextures.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    FavouriteSlots textures;
    const FavouritesReading reading = readFavouriteTextures(bytes, textures);
    if (reading.slotsRead < 0 || reading.slotsRead > FavouriteSlotCount || (reading.slotsRead < FavouriteSlotCount) == reading.error.isEmpty())
        std::abort();
    for (int i = reading.slotsRead; i < FavouriteSlotCount; ++i)
        if (textures[size_t(i)].height() != 0)
            std::abort(); // the slots after a damaged record stay empty
    FavouriteSlots again;
    if (readFavouriteTextures(writeFavouriteTextures(textures), again).slotsRead != FavouriteSlotCount)
        std::abort(); // what the writer wrote must read
    for (size_t i = 0; i < textures.size(); ++i) {
        const Raster &a = textures[i], &b = again[i];
        if (a.height() != b.height() || (!a.isEmpty() && !a.samePixels(b)))
            std::abort();
    }
    return 0;
}
