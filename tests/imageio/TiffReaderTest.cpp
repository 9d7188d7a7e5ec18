// The TIFF reader on files built byte by byte: both byte orders, every kind of image, strip
// arrangements, the messages for what it cannot read, and damaged files.
#include "imageio/TiffCodec.h"

#include <QFile>
#include <QTemporaryDir>

#include "TiffTestFiles.h"

#include <gtest/gtest.h>

namespace {

QRgb rgb(QRgb c) { return c & 0xFFFFFF; }

// A 3 x 2 RGB image with pixel (x, y) = (10x + y, 100 + x, 200 + y).
QByteArray rgbPixels(int w = 3, int h = 2)
{
    QByteArray p;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p += bytes({10 * x + y, 100 + x, 200 + y});
    return p;
}

bool isRgbPicture(const Raster &r, int w = 3, int h = 2)
{
    if (r.width() != w || r.height() != h)
        return false;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (rgb(r.pixelRgb(x, y)) != rgb(qRgb(10 * x + y, 100 + x, 200 + y)))
                return false;
    return true;
}

// An RGB file whose strips are given as (offset, count) arrays of the given field type.
std::vector<TiffField> rgbFields(TiffBuilder &b, quint32 stripOffset, quint32 stripBytes, int w = 3, int h = 2)
{
    std::vector<TiffField> f = imageFields(w, h, 0, 2, stripOffset, stripBytes);
    setField(f, {258, 3, 3, b.appendShorts({8, 8, 8}), {}});
    return f;
}

QByteArray rgbFile(bool intel = true)
{
    TiffBuilder b(intel);
    const quint32 strip = b.append(rgbPixels());
    b.addDirectory(rgbFields(b, strip, 18));
    return b.bytes;
}

// A one-strip file of w x h with the given bits and photometric and a one-row strip.
QByteArray simpleFile(int w, int h, int bits, int photometric, const QByteArray &strip, std::vector<TiffField> extra = {})
{
    TiffBuilder b;
    const quint32 at = b.append(strip);
    std::vector<TiffField> f = imageFields(w, h, bits, photometric, at, strip.size());
    for (const TiffField &e : extra)
        setField(f, e);
    b.addDirectory(f);
    return b.bytes;
}

} // namespace

TEST(TiffRead, RgbInBothByteOrders)
{
    EXPECT_TRUE(isRgbPicture(read(rgbFile(true))));
    EXPECT_TRUE(isRgbPicture(read(rgbFile(false))));
    // Width and height as LONG values.
    TiffBuilder b(false);
    const quint32 strip = b.append(rgbPixels());
    std::vector<TiffField> f = rgbFields(b, strip, 18);
    setField(f, {256, 4, 1, 3, {}});
    setField(f, {257, 4, 1, 2, {}});
    b.addDirectory(f);
    EXPECT_TRUE(isRgbPicture(read(b.bytes)));
}

TEST(TiffRead, BilevelFollowsPhotometric)
{
    const QByteArray row = bytes({0xA0});
    const Raster blackIsZero = read(simpleFile(3, 1, 1, 1, row));
    const Raster whiteIsZero = read(simpleFile(3, 1, 1, 0, row));
    EXPECT_EQ(rgb(blackIsZero.pixelRgb(0, 0)), 0xFFFFFFu);
    EXPECT_EQ(rgb(blackIsZero.pixelRgb(1, 0)), 0u);
    EXPECT_EQ(rgb(whiteIsZero.pixelRgb(0, 0)), 0u);
    EXPECT_EQ(rgb(whiteIsZero.pixelRgb(1, 0)), 0xFFFFFFu);
    EXPECT_EQ(rgb(whiteIsZero.pixelRgb(2, 0)), 0u);
    TiffBuilder b;
    const quint32 at = b.append(row);
    std::vector<TiffField> f = imageFields(3, 1, 1, 0, at, 1);
    setField(f, {258, 3, 1, 0, {}}, true);
    b.addDirectory(f);
    EXPECT_EQ(rgb(read(b.bytes).pixelRgb(1, 0)), 0xFFFFFFu) << "no bits per sample: bilevel";
}

TEST(TiffRead, GreyLevelsSpreadOverTheWholeRange)
{
    const Raster four = read(simpleFile(4, 1, 4, 1, bytes({0xF1, 0x08})));
    EXPECT_EQ(rgb(four.pixelRgb(0, 0)), 0xFFFFFFu);
    EXPECT_EQ(rgb(four.pixelRgb(1, 0)), 0x111111u);
    EXPECT_EQ(rgb(four.pixelRgb(2, 0)), 0u);
    EXPECT_EQ(rgb(four.pixelRgb(3, 0)), 0x888888u);
    const Raster eight = read(simpleFile(2, 1, 8, 1, bytes({0x40, 0xFE})));
    EXPECT_EQ(rgb(eight.pixelRgb(0, 0)), 0x404040u);
    EXPECT_EQ(rgb(eight.pixelRgb(1, 0)), 0xFEFEFEu);
}

TEST(TiffRead, WhiteIsZeroGreyIsNotShownAsANegative)
{
    const Raster eight = read(simpleFile(2, 1, 8, 0, bytes({0x00, 0x40})));
    EXPECT_EQ(rgb(eight.pixelRgb(0, 0)), 0xFFFFFFu);
    EXPECT_EQ(rgb(eight.pixelRgb(1, 0)), 0xBFBFBFu);
    const Raster four = read(simpleFile(2, 1, 4, 0, bytes({0x0F})));
    EXPECT_EQ(rgb(four.pixelRgb(0, 0)), 0xFFFFFFu);
    EXPECT_EQ(rgb(four.pixelRgb(1, 0)), 0u);
}

TEST(TiffRead, ShortColourMapColoursItsEntriesAndLeavesTheRestGrey)
{
    TiffBuilder b;
    QVector<quint32> map;
    for (int channel = 0; channel < 3; ++channel)
        for (int i = 0; i < 16; ++i)
            map << (quint32((i * 15 + channel * 40) % 256) << 8 | 0x55); // the low byte is ignored
    const quint32 mapAt = b.appendShorts(map);
    const quint32 strip = b.append(bytes({0, 15, 16, 200}));
    std::vector<TiffField> f = imageFields(4, 1, 8, 3, strip, 4);
    setField(f, {320, 3, 48, mapAt, {}});
    b.addDirectory(f);
    const Raster r = read(b.bytes);
    EXPECT_EQ(rgb(r.pixelRgb(0, 0)), rgb(qRgb(0, 40, 80)));
    EXPECT_EQ(rgb(r.pixelRgb(1, 0)), rgb(qRgb(225, 9, 49)));
    EXPECT_EQ(rgb(r.pixelRgb(2, 0)), 0x101010u);
    EXPECT_EQ(rgb(r.pixelRgb(3, 0)), 0xC8C8C8u);
}

TEST(TiffRead, RgbNeedsOneEightBitSample)
{
    for (const QVector<quint32> &bits : {QVector<quint32>{8, 16, 16}, QVector<quint32>{16, 16, 16}}) {
        TiffBuilder b;
        const quint32 strip = b.append(rgbPixels());
        std::vector<TiffField> f = rgbFields(b, strip, 18);
        setField(f, {258, 3, 3, b.appendShorts(bits), {}});
        b.addDirectory(f);
        QStringList messages;
        const Raster r = read(b.bytes, &messages);
        if (bits[0] == 8) {
            EXPECT_TRUE(messages.isEmpty());
            EXPECT_TRUE(isRgbPicture(r));
        } else {
            EXPECT_EQ(messages, QStringList(QStringLiteral("Error: Bits Per Sample (RGB) not 8")));
            EXPECT_TRUE(r.isEmpty());
        }
    }
    // One value standing for all three.
    EXPECT_TRUE(isRgbPicture(read(simpleFile(3, 2, 8, 2, rgbPixels()))));
}

TEST(TiffRead, ExtraSamplesAreSteppedOver)
{
    QByteArray rgba;
    const QByteArray plain = rgbPixels();
    for (int i = 0; i < 6; ++i)
        rgba += plain.mid(3 * i, 3) + bytes({0x7F});
    EXPECT_TRUE(isRgbPicture(read(simpleFile(3, 2, 8, 2, rgba, {{277, 3, 1, 4, {}}}))));
}

TEST(TiffRead, CompressedDirectoryKeepsTheImageBeforeIt)
{
    TiffBuilder b;
    const quint32 strip = b.append(rgbPixels());
    b.addDirectory(rgbFields(b, strip, 18));
    std::vector<TiffField> lzw = rgbFields(b, strip, 18);
    setField(lzw, {259, 3, 1, 5, {}});
    b.addDirectory(lzw);
    QStringList messages;
    const Raster r = read(b.bytes, &messages);
    EXPECT_TRUE(isRgbPicture(r));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("Cant read compressed RGB Full Color Image\n\n")));
}

TEST(TiffRead, LastReadableDirectoryWins)
{
    TiffBuilder b;
    const quint32 strip = b.append(rgbPixels());
    const quint32 grey = b.append(bytes({0x40, 0x80}));
    b.addDirectory(rgbFields(b, strip, 18));
    b.addDirectory(imageFields(2, 1, 8, 1, grey, 2));
    const Raster r = read(b.bytes);
    ASSERT_EQ(r.width(), 2);
    EXPECT_EQ(rgb(r.pixelRgb(1, 0)), 0x808080u);
}

TEST(TiffRead, ThumbnailsAndMasksAreNotThePicture)
{
    // The picture, then a 1 x 1 thumbnail (NewSubfileType 1), a mask (4) and an overview
    // marked the older way (SubfileType 2), through both directory parsers.
    TiffBuilder b;
    const quint32 strip = b.append(rgbPixels());
    std::vector<TiffField> full = rgbFields(b, strip, 18);
    setField(full, {277, 3, 1, 3, {}});
    b.addDirectory(full);
    const std::vector<TiffField> marks = {{254, 4, 1, 1, {}}, {254, 4, 1, 4, {}}, {255, 3, 1, 2, {}}};
    for (const TiffField &mark : marks) {
        std::vector<TiffField> small = rgbFields(b, strip, 3, 1, 1);
        setField(small, mark);
        setField(small, {277, 3, 1, 3, {}});
        b.addDirectory(small);
    }
    QTemporaryDir dir;
    const QString classic = dir.filePath(QStringLiteral("camera.tif")), big = classic + QStringLiteral(".big.tif");
    QFile f(classic);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(b.bytes) == b.bytes.size());
    f.close();
    // tiffcp keeps no SubfileType: the BigTIFF copy holds the first three directories.
    ASSERT_EQ(runTool(QStringLiteral("tiffcp"), {QStringLiteral("-8"), classic + QStringLiteral(",0,1,2"), big}), QString());
    EXPECT_TRUE(isRgbPicture(load(classic)));
    EXPECT_TRUE(isRgbPicture(load(big)));
    // A file of reduced-resolution images only still shows one.
    TiffBuilder thumbnails;
    std::vector<TiffField> only = rgbFields(thumbnails, thumbnails.append(rgbPixels()), 18);
    setField(only, marks[0]);
    thumbnails.addDirectory(only);
    EXPECT_TRUE(isRgbPicture(read(thumbnails.bytes)));
}

TEST(TiffRead, EachMissingTagHasItsMessage)
{
    struct Case
    {
        int photometric;
        quint16 tag;
        const char *message;
    };
    const Case cases[] = {{2, 256, "Error reading tag Image Width"},   {2, 257, "Error reading tag Image Height"},
                          {2, 259, "Error reading tag Compression"},  {2, 258, "Error reading tag Bits Per Sample"},
                          {3, 258, "Error reading tag Bits Per Sample"}, {3, 320, "Error reading tag Color Table Offset"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.message);
        TiffBuilder b;
        const quint32 strip = b.append(rgbPixels());
        std::vector<TiffField> f = imageFields(3, 2, 8, quint32(c.photometric), strip, 18);
        setField(f, {c.tag, 3, 1, 0, {}}, true);
        b.addDirectory(f);
        QStringList messages;
        EXPECT_TRUE(read(b.bytes, &messages).isEmpty());
        EXPECT_EQ(messages, QStringList(QLatin1String(c.message)));
    }
}

TEST(TiffRead, PhotometricProblemsEndTheWholeRead)
{
    for (int photometric : {-1, 5}) {
        TiffBuilder b;
        const quint32 strip = b.append(rgbPixels());
        std::vector<TiffField> bad = rgbFields(b, strip, 18);
        setField(bad, {262, 3, 1, quint32(photometric), {}}, photometric < 0);
        b.addDirectory(bad);
        b.addDirectory(rgbFields(b, strip, 18));
        QStringList messages;
        EXPECT_TRUE(read(b.bytes, &messages).isEmpty()) << "the second directory is not read";
        EXPECT_EQ(messages, QStringList(photometric < 0 ? QStringLiteral("Error reading tag Photometric interpretation")
                                                        : QStringLiteral("Error evaluating Photometric interpretation: 5")));
    }
}

TEST(TiffRead, OddSampleSizesAreReadAndOthersReported)
{
    // Three bits: grey 5 of 7 and palette index 5 through libtiff's sample reader.
    EXPECT_EQ(read(simpleFile(1, 1, 3, 1, bytes({0xA0}))).pixelRgb(0, 0) & 0xFFFFFF, 0xB6B6B6u);
    TiffBuilder b;
    QVector<quint32> map(24, 0);
    map[5] = 0x1200, map[8 + 5] = 0x3400, map[16 + 5] = 0x5600;
    const quint32 mapAt = b.appendShorts(map);
    const quint32 strip = b.append(bytes({0xA0}));
    std::vector<TiffField> f = imageFields(1, 1, 3, 3, strip, 1);
    setField(f, {320, 3, 24, mapAt, {}});
    b.addDirectory(f);
    EXPECT_EQ(read(b.bytes).pixelRgb(0, 0) & 0xFFFFFF, 0x123456u);
    // Forty bits a sample: neither the own reader nor libtiff reads them.
    QStringList messages;
    read(simpleFile(1, 1, 40, 1, bytes({0, 0, 0, 0, 0})), &messages);
    EXPECT_EQ(messages, QStringList(QStringLiteral("Error: Bits Per Sample (Gray Scale) not 1, 4 or 8")));
}

TEST(TiffRead, SizesBeyondTheLimits)
{
    TiffBuilder b;
    const quint32 strip = b.append(rgbPixels());
    std::vector<TiffField> f = rgbFields(b, strip, 18);
    setField(f, {256, 4, 1, 70000, {}});
    b.addDirectory(f);
    Raster picture;
    Messages m;
    EXPECT_THROW(ReadTiff(b.bytes, picture), LetrafexError);

    QStringList messages;
    read(simpleFile(40000, 1, 8, 1, QByteArray(40000, 0)), &messages);
    EXPECT_EQ(messages, QStringList(QStringLiteral("Error: an image of 40000 x 1 pixels is too large to read")));
    read(simpleFile(0, 1, 8, 1, bytes({0})), &messages);
    EXPECT_EQ(messages, QStringList(QStringLiteral("Error: Image Width or Image Height is 0")));
}

TEST(TiffStrips, RowsRunOnAcrossStripsOfAnySize)
{
    // Four rows of 9 bytes in strips of 18, 5 and 13 bytes: row 2 starts in the second
    // strip and ends in the third. The strips lie in the file in reverse order.
    const QByteArray pixels = rgbPixels(3, 4);
    TiffBuilder b;
    const quint32 third = b.append(pixels.mid(23));
    const quint32 second = b.append(pixels.mid(18, 5));
    const quint32 first = b.append(pixels.left(18));
    std::vector<TiffField> f = rgbFields(b, 0, 0, 3, 4);
    setField(f, {273, 4, 3, b.appendLongs({first, second, third}), {}});
    setField(f, {279, 4, 3, b.appendLongs({18, 5, 13}), {}});
    setField(f, {278, 4, 1, 2, {}});
    b.addDirectory(f);
    EXPECT_TRUE(isRgbPicture(read(b.bytes), 3, 4));
}

TEST(TiffStrips, ShortStripArraysInlineAndAtAnOffset)
{
    const QByteArray pixels = rgbPixels(3, 3);
    for (int strips : {2, 3}) {
        SCOPED_TRACE(strips);
        TiffBuilder b;
        const quint32 at = b.append(pixels);
        std::vector<TiffField> f = rgbFields(b, 0, 0, 3, 3);
        if (strips == 2) { // rows 0-1 and row 2; two SHORTs fit the value field
            setField(f, {273, 3, 2, 0, {quint16(at), quint16(at + 18)}});
            setField(f, {279, 3, 2, 0, {18, 9}});
            setField(f, {278, 3, 1, 2, {}});
        } else {
            setField(f, {273, 3, 3, b.appendShorts({at, at + 9, at + 18}), {}});
            setField(f, {279, 3, 3, b.appendShorts({9, 9, 9}), {}});
            setField(f, {278, 3, 1, 1, {}});
        }
        b.addDirectory(f);
        EXPECT_TRUE(isRgbPicture(read(b.bytes), 3, 3));
    }
}

TEST(TiffStrips, MissingOrOversizedRowsPerStripMeansOneStrip)
{
    for (int rows : {-1, 0, 1000000}) {
        SCOPED_TRACE(rows);
        TiffBuilder b;
        const quint32 strip = b.append(rgbPixels());
        std::vector<TiffField> f = rgbFields(b, strip, 18);
        setField(f, {278, 4, 1, quint32(rows), {}}, rows < 0);
        b.addDirectory(f);
        EXPECT_TRUE(isRgbPicture(read(b.bytes)));
    }
}

TEST(TiffStrips, RowLengthComesFromTheFirstStrip)
{
    // Rows of 9 pixel bytes stored 12 bytes apart.
    QByteArray padded;
    const QByteArray pixels = rgbPixels();
    padded += pixels.left(9) + bytes({1, 2, 3}) + pixels.mid(9) + bytes({4, 5, 6});
    EXPECT_TRUE(isRgbPicture(read(simpleFile(3, 2, 8, 2, padded))));
}

TEST(TiffStrips, StripsThatCannotBeReadLeaveThePicture)
{
    const Raster before(5, 5);
    struct Case
    {
        const char *what;
        quint32 offset, count;
        int offsetsCount;
    };
    const Case cases[] = {{"strip past the end", 8, 1000, 1},
                          {"offset past the end", 0x7FFFFFF0, 18, 1},
                          {"offset and count wrap around 32 bits", 0xFFFFFFF0, 0x20, 1},
                          {"too few bytes for the rows", 8, 17, 1},
                          {"first strip smaller than a row", 8, 1, 1},
                          {"strip counts differ", 8, 18, 2},
                          {"no strips", 8, 18, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TiffBuilder b;
        b.append(rgbPixels());
        std::vector<TiffField> f = rgbFields(b, c.offset, c.count);
        if (c.offsetsCount == 2)
            setField(f, {273, 4, 2, b.appendLongs({8, 17}), {}});
        if (c.offsetsCount == 0) {
            setField(f, {273, 4, 1, 0, {}}, true);
            setField(f, {279, 4, 1, 0, {}}, true);
        }
        b.addDirectory(f);
        QStringList messages;
        const Raster r = read(b.bytes, &messages, before);
        EXPECT_EQ(messages, QStringList(QStringLiteral("Error reading image data")));
        EXPECT_TRUE(r.samePixels(before));
    }
}

TEST(TiffStrips, UnreadableColourMapIsReported)
{
    QStringList messages;
    read(simpleFile(1, 1, 8, 3, bytes({0}), {{320, 3, 768, 100000, {}}}), &messages);
    EXPECT_EQ(messages, QStringList(QStringLiteral("Error reading tag Color Table Offset")));
}

TEST(TiffChain, LoopingChainsEnd)
{
    for (bool twoDirectories : {false, true}) {
        TiffBuilder b;
        const quint32 strip = b.append(rgbPixels());
        const quint32 grey = b.append(bytes({0x40, 0x80}));
        const quint32 first = b.addDirectory(rgbFields(b, strip, 18));
        quint32 last = first;
        if (twoDirectories)
            last = b.addDirectory(imageFields(2, 1, 8, 1, grey, 2));
        b.setNext(last, first);
        const Raster r = read(b.bytes);
        EXPECT_EQ(r.width(), twoDirectories ? 2 : 3);
    }
}

TEST(TiffChain, ChainIsCutAfter256Directories)
{
    TiffBuilder b;
    QVector<quint32> strips;
    for (int i = 0; i < 300; ++i)
        strips << b.append(bytes({i % 256}));
    for (int i = 0; i < 300; ++i)
        b.addDirectory(imageFields(1, 1, 8, 1, strips[i], 1));
    EXPECT_EQ(rgb(read(b.bytes).pixelRgb(0, 0)), 0xFFFFFFu) << "directory 255 is the last one read";
}

TEST(TiffChain, EveryCutOfAFileIsReadOrReported)
{
    TiffBuilder b;
    const quint32 strip = b.append(rgbPixels());
    b.addDirectory(rgbFields(b, strip, 18));
    // Only the next-directory offset at the very end may be missing.
    for (qsizetype n = 0; n < b.bytes.size(); ++n) {
        QStringList messages;
        const Raster r = read(b.bytes.left(n), &messages);
        const bool whole = n >= b.bytes.size() - 4;
        EXPECT_EQ(messages.size(), whole ? 0 : 1) << n;
        EXPECT_EQ(isRgbPicture(r), whole) << n;
    }
}

TEST(TiffRead, AlphaSamplesAreShownOverWhite)
{
    // Pixels: opaque red, transparent green, half-transparent blue.
    const QByteArray straight = bytes({255, 0, 0, 255, 0, 255, 0, 0, 0, 0, 255, 128});
    const Raster unassociated = read(simpleFile(3, 1, 8, 2, straight, {{277, 3, 1, 4, {}}, {338, 3, 1, 2, {}}}));
    EXPECT_EQ(unassociated.pixelRgb(0, 0) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(unassociated.pixelRgb(1, 0) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(unassociated.pixelRgb(2, 0) & 0xFFFFFF, qRgb(127, 127, 255) & 0xFFFFFF);
    // Associated alpha: the samples are already multiplied by it.
    const QByteArray premultiplied = bytes({255, 0, 0, 255, 0, 0, 0, 0, 0, 0, 128, 128});
    const Raster associated = read(simpleFile(3, 1, 8, 2, premultiplied, {{277, 3, 1, 4, {}}, {338, 3, 1, 1, {}}}));
    EXPECT_EQ(associated.pixelRgb(1, 0) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(associated.pixelRgb(2, 0) & 0xFFFFFF, qRgb(127, 127, 255) & 0xFFFFFF);
}

TEST(TiffRead, ATransparentExportOpensOverWhite)
{
    QTemporaryDir dir;
    QImage pixels(2, 1, QImage::Format_ARGB32);
    pixels.setPixel(0, 0, qRgba(10, 20, 30, 255));
    pixels.setPixel(1, 0, qRgba(200, 0, 0, 0));
    SaveTiffRgbaFile(dir.filePath("alpha.tif"), pixels);
    Raster back;
    LoadTiffFile(dir.filePath("alpha.tif"), back);
    EXPECT_EQ(back.pixelRgb(0, 0) & 0xFFFFFF, qRgb(10, 20, 30) & 0xFFFFFF);
    EXPECT_EQ(back.pixelRgb(1, 0) & 0xFFFFFF, 0xFFFFFFu);
}
