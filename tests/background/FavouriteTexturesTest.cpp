// The favourites file: its records byte for byte, reading it back, and a damaged file.
#include "compose/FavouriteTextures.h"

#include "core/ImageBox.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

namespace {

QByteArray bytesAt(const QByteArray &data, int offset, int n) { return data.mid(offset, n); }
qint32 int32At(const QByteArray &data, int offset)
{
    return qFromLittleEndian<qint32>(reinterpret_cast<const uchar *>(data.constData()) + offset);
}

Raster pattern(int w, int h)
{
    Raster r(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            r.setPixel(x, y, makeColor(x * 7 % 256, y * 5 % 256, (x + y) % 256));
    return r;
}

} // namespace

TEST(FavouriteTexturesFile, AnEmptySlotIsA103ByteRecord)
{
    const QByteArray record = writeTextureRecord(Raster());
    ASSERT_EQ(record.size(), 103);
    EXPECT_EQ(bytesAt(record, 0, 4), "TPF0");
    EXPECT_EQ(bytesAt(record, 4, 7), "\x06TImage");
    EXPECT_EQ(bytesAt(record, 11, 13), "\x0CTextureImage");
    EXPECT_EQ(bytesAt(record, 24, 7), QByteArray("\x04Left\x02\x28", 7));
    EXPECT_EQ(bytesAt(record, 31, 6), QByteArray("\x03Top\x02\x20", 6));
    EXPECT_EQ(bytesAt(record, 37, 8), QByteArray("\x05Width\x02\x59", 8));
    EXPECT_EQ(bytesAt(record, 45, 9), QByteArray("\x06Height\x02\x61", 9));
    EXPECT_EQ(bytesAt(record, 54, 8), QByteArray("\x06" "Center\x09", 8));
    EXPECT_EQ(bytesAt(record, 62, 13), "\x0CPicture.Data");
    EXPECT_EQ(record[75], '\x0A');
    EXPECT_EQ(int32At(record, 76), 12);
    EXPECT_EQ(bytesAt(record, 80, 8), "\x07TBitmap");
    EXPECT_EQ(int32At(record, 88), 0);
    EXPECT_EQ(bytesAt(record, 92, 9), QByteArray("\x07Visible\x08", 9));
    EXPECT_EQ(bytesAt(record, 101, 2), QByteArray(2, '\0'));

    FavouriteSlots empty;
    EXPECT_EQ(writeFavouriteTextures(empty), record.repeated(5));
    EXPECT_EQ(writeFavouriteTextures(empty).size(), 515);
}

TEST(FavouriteTexturesFile, ASlotCarriesAWholeBmpWithItsLengths)
{
    const Raster tile = pattern(89, 97);
    const QByteArray record = writeTextureRecord(tile);
    const qint32 n = int32At(record, 88);
    EXPECT_EQ(int32At(record, 76), 12 + n);
    EXPECT_EQ(record.size(), 103 + n);
    EXPECT_EQ(bytesAt(record, 92, 2), "BM");
    EXPECT_EQ(qFromLittleEndian<quint32>(reinterpret_cast<const uchar *>(record.constData()) + 94), quint32(n));
    // Bounds beyond an 8-bit value take the 16-bit kind.
    const QByteArray moved = writeTextureRecord(Raster(), CarrierBounds{200, -300, 89, 97});
    EXPECT_EQ(bytesAt(moved, 24, 8), QByteArray("\x04Left\x03\xC8\x00", 8));
    EXPECT_EQ(moved.size(), 105);
}

TEST(FavouriteTexturesFile, SlotsReadBackInOrder)
{
    FavouriteSlots stored;
    stored[1] = pattern(89, 97);
    stored[4] = pattern(30, 20);
    QTemporaryDir dir;
    const QString path = dir.filePath("FTextures.Dat");
    saveFavouriteTexturesFile(path, stored);
    FavouriteSlots back;
    back[0] = pattern(5, 5); // replaced by what the file says: empty
    const FavouritesReading reading = loadFavouriteTexturesFile(path, back);
    EXPECT_EQ(reading.slotsRead, 5);
    EXPECT_TRUE(reading.error.isEmpty());
    EXPECT_EQ(back[0].height(), 0);
    EXPECT_TRUE(back[1].samePixels(stored[1]));
    EXPECT_EQ(back[2].height(), 0);
    EXPECT_TRUE(back[4].samePixels(stored[4]));
}

TEST(FavouriteTexturesFile, ReadingStopsAtADamagedRecordAndKeepsTheSlotsBefore)
{
    FavouriteSlots stored;
    for (Raster &slot : stored)
        slot = pattern(89, 97);
    const QByteArray whole = writeFavouriteTextures(stored);
    const int recordSize = whole.size() / 5;

    // Cut inside record 3.
    FavouriteSlots back;
    FavouritesReading reading = readFavouriteTextures(whole.left(2 * recordSize + 500), back);
    EXPECT_EQ(reading.slotsRead, 2);
    EXPECT_FALSE(reading.error.isEmpty());
    EXPECT_TRUE(back[0].samePixels(stored[0]));
    EXPECT_TRUE(back[1].samePixels(stored[1]));
    for (int i = 2; i < 5; ++i)
        EXPECT_EQ(back[size_t(i)].height(), 0) << i;

    // A bitmap length that runs past the record, and a wrong signature.
    QByteArray bad = whole;
    qToLittleEndian<qint32>(0x7FFFFFF0, reinterpret_cast<uchar *>(bad.data()) + recordSize + 88);
    reading = readFavouriteTextures(bad, back);
    EXPECT_EQ(reading.slotsRead, 1);
    bad = whole;
    bad[0] = 'X';
    reading = readFavouriteTextures(bad, back);
    EXPECT_EQ(reading.slotsRead, 0);
    EXPECT_EQ(back[0].height(), 0);
}
