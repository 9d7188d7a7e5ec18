// PCX reading and writing: the exact bytes the writer produces, every layout the reader
// decodes, palettes kept at 8 bits, clamped and short lines, damaged files, and files
// exchanged with Pillow and ImageMagick.
#include "imageio/PcxCodec.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtEndian>

#include "ReferenceTools.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <random>

namespace {

struct HeaderFields
{
    int version = 5;
    int bits = 8;
    int planes = 3;
    int width = 1;
    int height = 1;
    int bytesPerLine = 0; // 0: as wide as the picture needs
    QByteArray palette{}; // up to 48 bytes of the header palette
};

QByteArray header(const HeaderFields &f)
{
    QByteArray h(128, '\0');
    auto *p = reinterpret_cast<uchar *>(h.data());
    p[0] = 10;
    p[1] = uchar(f.version);
    p[2] = 1;
    p[3] = uchar(f.bits);
    qToLittleEndian<quint16>(quint16(f.width - 1), p + 8);
    qToLittleEndian<quint16>(quint16(f.height - 1), p + 10);
    h.replace(16, f.palette.size(), f.palette);
    p[65] = uchar(f.planes);
    const int bpl = f.bytesPerLine ? f.bytesPerLine : f.bits == 1 ? (f.width + 7) / 8 : f.width;
    qToLittleEndian<quint16>(quint16(bpl), p + 66);
    return h;
}

// The 769 bytes after the pixels of a 256-colour file: marker, then the palette.
QByteArray trailer(const QVector<QRgb> &palette, int marker = 12)
{
    QByteArray t(1, char(marker));
    for (int i = 0; i < 256; ++i) {
        const QRgb c = palette.value(i);
        t += char(qRed(c));
        t += char(qGreen(c));
        t += char(qBlue(c));
    }
    return t;
}

Raster rgbPicture(int w, int h, std::initializer_list<QRgb> pixels)
{
    QImage img(w, h, QImage::Format_RGB32);
    auto it = pixels.begin();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, *it++);
    return Raster::fromImage(img, 24);
}

Raster noisePicture(int w, int h, unsigned seed)
{
    std::mt19937 rng(seed);
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            // Runs of several lengths, values above 0xC0 and plain noise.
            const int band = x / 7 % 3;
            const QRgb noise = rng() | 0xFF000000u;
            img.setPixel(x, y, band == 0 ? noise : band == 1 ? qRgb(0xC0 + y % 64, 5, 200) : qRgb(x % 2 * 255, 0, 0));
        }
    return Raster::fromImage(img, 24);
}

QByteArray pixelData(const QByteArray &file) { return file.mid(128, file.size() - 128 - 769); }

// ------------------------------------------------------------------------------- writer

TEST(PcxWriter, WritesTheHeaderThePlanesAndThePalette)
{
    const QByteArray file = WritePcx(rgbPicture(2, 1, {qRgb(255, 0, 0), qRgb(0, 0, 255)}));
    ASSERT_EQ(file.size(), 128 + 8 + 769);
    const auto *p = reinterpret_cast<const uchar *>(file.constData());
    EXPECT_EQ(file.left(4), bytes({10, 5, 1, 8}));
    EXPECT_EQ(qFromLittleEndian<quint16>(p + 4), 0);
    EXPECT_EQ(qFromLittleEndian<quint16>(p + 8), 1);  // Xmax
    EXPECT_EQ(qFromLittleEndian<quint16>(p + 10), 0); // Ymax
    EXPECT_EQ(qFromLittleEndian<quint16>(p + 12), 2);
    EXPECT_EQ(qFromLittleEndian<quint16>(p + 14), 1);
    EXPECT_EQ(p[65], 3);
    EXPECT_EQ(qFromLittleEndian<quint16>(p + 66), 2);
    EXPECT_EQ(qFromLittleEndian<quint16>(p + 68), 1);
    // Red plane, green plane, blue plane.
    EXPECT_EQ(pixelData(file), bytes({0xC1, 0xFF, 0x00, 0xC2, 0x00, 0x00, 0xC1, 0xFF}));
    EXPECT_EQ(file.mid(128 + 8), QByteArray(1, 12) + QByteArray(768, '\0'));
}

TEST(PcxWriter, SplitsLongRunsAndNeverRunsAcrossPlaneRows)
{
    QImage img(100, 2, QImage::Format_RGB32);
    img.fill(qRgb(5, 5, 5));
    const QByteArray run100 = bytes({0xFF, 0x05, 0xE5, 0x05});
    EXPECT_EQ(pixelData(WritePcx(Raster::fromImage(img, 24))).left(4), run100);
    EXPECT_EQ(pixelData(WritePcx(Raster::fromImage(img, 24))), run100.repeated(6));

    img = QImage(3, 1, QImage::Format_RGB32);
    img.fill(qRgb(0xC0, 0xC0, 0xBF));
    // Equal bytes at the end of one plane and the start of the next stay apart; a lone
    // byte of 0xC0 or more needs a run of one, 0xBF stands for itself.
    EXPECT_EQ(pixelData(WritePcx(Raster::fromImage(img, 24))),
              bytes({0xC3, 0xC0, 0xC3, 0xC0, 0xC3, 0xBF}));
    img = QImage(2, 1, QImage::Format_RGB32);
    img.setPixel(0, 0, qRgb(0xBF, 0xC0, 1));
    img.setPixel(1, 0, qRgb(0xC0, 0xBF, 2));
    EXPECT_EQ(pixelData(WritePcx(Raster::fromImage(img, 24))), bytes({0xBF, 0xC1, 0xC0, 0xC1, 0xC0, 0xBF, 1, 2}));
}

TEST(PcxWriter, KeepsAnIndexedPicturesPaletteAndWritesItsColours)
{
    const QVector<QRgb> palette{qRgb(255, 255, 255), qRgb(1, 2, 3), qRgb(250, 128, 7)};
    const uchar indices[] = {0, 1, 2};
    const Raster picture = Raster::fromIndices(3, 1, 8, palette, indices, 3);
    const QByteArray file = WritePcx(picture);
    EXPECT_EQ(file.mid(16, 9), bytes({255, 255, 255, 1, 2, 3, 250, 128, 7}));
    EXPECT_EQ(file.right(768).left(9), file.mid(16, 9));
    Raster back;
    ASSERT_TRUE(ReadPcx(file, back));
    EXPECT_EQ(back.bitCount(), 24);
    EXPECT_TRUE(back.samePixels(picture));
}

TEST(PcxWriter, RefusesEmptyPicturesAndOtherKinds)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("a.pcx"));
    EXPECT_THROW(WritePcx(Raster()), LetrafexError);
    EXPECT_THROW(SavePcxFile(name, Raster(0, 5)), LetrafexError);
    EXPECT_THROW(SavePcxWriter(name, rgbPicture(1, 1, {qRgb(1, 2, 3)}), 2), LetrafexError);
    EXPECT_FALSE(QFile::exists(name));
    EXPECT_THROW(SavePcxFile(dir.filePath(QStringLiteral("missing/a.pcx")), rgbPicture(1, 1, {qRgb(1, 2, 3)})),
                 LetrafexError);
}

TEST(PcxWriter, FilesReadBackToTheSamePixels)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("noise.pcx"));
    for (const QSize size : {QSize(1, 1), QSize(37, 23), QSize(64, 3), QSize(301, 2), QSize(700, 40)}) {
        SCOPED_TRACE(size.width());
        const Raster picture = noisePicture(size.width(), size.height(), unsigned(size.width()));
        SavePcxFile(name, picture);
        QFile f(name);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), WritePcx(picture));
        Raster back;
        ASSERT_TRUE(LoadPcxFile(name, back)) << PcxLastError().toStdString();
        EXPECT_TRUE(PcxLastError().isEmpty());
        EXPECT_EQ(back.bitCount(), 24);
        EXPECT_TRUE(back.samePixels(picture));
    }
}

// ------------------------------------------------------------------------------- reader

TEST(PcxReader, ReadsOneBitPicturesAsBlackAndWhite)
{
    HeaderFields f{.bits = 1, .planes = 1, .width = 10, .height = 2, .bytesPerLine = 2};
    // Row 0: 1010 1010 11; row 1: a run of two 0x0F bytes.
    const QByteArray file = header(f) + bytes({0xAA, 0xC0 | 1, 0xC0, 0xC2, 0x0F});
    Raster r;
    ASSERT_TRUE(ReadPcx(file, r)) << PcxLastError().toStdString();
    EXPECT_EQ(r.bitCount(), 1);
    EXPECT_EQ(r.palette(), (QVector<QRgb>{qRgb(0, 0, 0), qRgb(255, 255, 255)}));
    const int row0[10] = {1, 0, 1, 0, 1, 0, 1, 0, 1, 1};
    const int row1[10] = {0, 0, 0, 0, 1, 1, 1, 1, 0, 0};
    for (int x = 0; x < 10; ++x) {
        EXPECT_EQ(r.pixelRgb(x, 0), row0[x] ? qRgb(255, 255, 255) : qRgb(0, 0, 0)) << x;
        EXPECT_EQ(r.pixelRgb(x, 1), row1[x] ? qRgb(255, 255, 255) : qRgb(0, 0, 0)) << x;
    }
}

// Raw bytes as run-length data: bytes of 0xC0 and more need a run of one.
QByteArray encoded(const QByteArray &raw)
{
    QByteArray out;
    for (char c : raw) {
        if (uchar(c) >= 0xC0)
            out += char(0xC1);
        out += c;
    }
    return out;
}

// One row of 1 bit in 4 planes, not yet encoded: plane k holds bit k of each value.
QByteArray fourPlaneRow(const QVector<int> &values)
{
    const int bpl = int(values.size() + 7) / 8;
    QByteArray row(4 * bpl, '\0');
    for (int k = 0; k < 4; ++k)
        for (int p = 0; p < values.size(); ++p)
            if (values[p] >> k & 1)
                row[k * bpl + p / 8] = char(row[k * bpl + p / 8] | (0x80 >> (p % 8)));
    return row;
}

TEST(PcxReader, VersionThreeShowsTheDefaultPalette)
{
    HeaderFields f{.version = 3, .bits = 1, .planes = 4, .width = 3};
    f.palette = QByteArray(48, char(0x33)); // replaced by the default palette
    Raster r;
    ASSERT_TRUE(ReadPcx(header(f) + encoded(fourPlaneRow({7, 0, 15})), r)) << PcxLastError().toStdString();
    EXPECT_EQ(r.bitCount(), 8);
    EXPECT_EQ(r.pixelRgb(0, 0), qRgb(171, 171, 171));
    EXPECT_EQ(r.pixelRgb(1, 0), qRgb(3, 3, 3));
    EXPECT_EQ(r.pixelRgb(2, 0), qRgb(255, 255, 255));
}

TEST(PcxReader, PlanarPicturesKeepTheHeaderPaletteExactly)
{
    HeaderFields f{.bits = 1, .width = 9, .palette = QByteArray(48, '\0')};
    f.palette.replace(7 * 3, 3, bytes({255, 254, 1}));
    f.palette.replace(5 * 3, 3, bytes({3, 2, 1}));
    for (int planes : {2, 3, 4}) {
        SCOPED_TRACE(planes);
        f.planes = planes;
        // A value with more bits than there are planes keeps only the planes' bits.
        QByteArray data = fourPlaneRow({7, 5, 0, 1, 2, 3, 4, 6, 7});
        data.truncate(planes * 2);
        Raster r;
        ASSERT_TRUE(ReadPcx(header(f) + encoded(data), r)) << PcxLastError().toStdString();
        EXPECT_EQ(r.pixelRgb(0, 0), planes >= 3 ? qRgb(255, 254, 1) : qRgb(0, 0, 0));
        EXPECT_EQ(r.pixelRgb(1, 0), planes >= 3 ? qRgb(3, 2, 1) : qRgb(0, 0, 0));
        EXPECT_EQ(r.pixelRgb(8, 0), r.pixelRgb(0, 0));
    }
}

TEST(PcxReader, VersionTwoWidensTwoBitComponents)
{
    HeaderFields f{.version = 2, .bits = 1, .planes = 2, .width = 2, .palette = QByteArray(48, '\0')};
    f.palette.replace(3, 6, bytes({1, 2, 3, 200, 4, 0}));
    Raster r;
    ASSERT_TRUE(ReadPcx(header(f) + bytes({0x80, 0x40}), r)) << PcxLastError().toStdString();
    EXPECT_EQ(r.pixelRgb(0, 0), qRgb(85, 170, 255));
    EXPECT_EQ(r.pixelRgb(1, 0), qRgb(200, 4, 0));
}

TEST(PcxReader, TwoHundredFiftySixColoursKeepEightBits)
{
    HeaderFields f{.planes = 1, .width = 3};
    QVector<QRgb> palette(256, qRgb(9, 9, 9));
    palette[0] = qRgb(255, 255, 255);
    palette[1] = qRgb(1, 2, 3);
    palette[255] = qRgb(254, 253, 127);
    for (int marker : {12, 0x55}) {
        SCOPED_TRACE(marker);
        Raster r;
        ASSERT_TRUE(ReadPcx(header(f) + bytes({0xC1, 0, 1, 0xC1, 255}) + trailer(palette, marker), r))
            << PcxLastError().toStdString();
        EXPECT_EQ(r.bitCount(), 8);
        EXPECT_EQ(r.palette(), palette);
        EXPECT_EQ(r.pixelRgb(0, 0), qRgb(255, 255, 255));
        EXPECT_EQ(r.pixelRgb(1, 0), qRgb(1, 2, 3));
        EXPECT_EQ(r.pixelRgb(2, 0), qRgb(254, 253, 127));
    }
}

TEST(PcxReader, RunsGoOnIntoTheNextLine)
{
    HeaderFields f{.planes = 1, .width = 2, .height = 2};
    Raster r;
    ASSERT_TRUE(ReadPcx(header(f) + bytes({0xC3, 4, 6}) + trailer({}), r)) << PcxLastError().toStdString();
    const uchar expected[2][2] = {{4, 4}, {4, 6}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            EXPECT_EQ(r.image().pixelIndex(x, y), expected[y][x]);
}

// Lines longer than the picture's rows are decoded whole and cut to the row; shorter
// ones leave the rest of the row black.
TEST(PcxReader, ClampsBytesPerLineToTheRow)
{
    HeaderFields f{.width = 2, .bytesPerLine = 4};
    Raster r;
    ASSERT_TRUE(ReadPcx(header(f) + bytes({1, 2, 90, 91, 3, 4, 92, 93, 5, 6, 94, 95}), r));
    EXPECT_EQ(r.pixelRgb(0, 0), qRgb(1, 3, 5));
    EXPECT_EQ(r.pixelRgb(1, 0), qRgb(2, 4, 6));

    f.width = 3;
    f.bytesPerLine = 1;
    ASSERT_TRUE(ReadPcx(header(f) + bytes({1, 2, 3}), r));
    EXPECT_EQ(r.width(), 3);
    EXPECT_EQ(r.pixelRgb(0, 0), qRgb(1, 2, 3));
    EXPECT_EQ(r.pixelRgb(2, 0), qRgb(0, 0, 0));

    f.planes = 1;
    f.width = 2;
    f.height = 2;
    f.bytesPerLine = 3;
    ASSERT_TRUE(ReadPcx(header(f) + bytes({1, 2, 77, 3, 4, 78}) + trailer({}), r));
    EXPECT_EQ(r.image().pixelIndex(1, 0), 2);
    EXPECT_EQ(r.image().pixelIndex(0, 1), 3);

    f.bits = 1;
    f.planes = 1;
    f.width = 9;
    f.height = 1;
    f.bytesPerLine = 1;
    ASSERT_TRUE(ReadPcx(header(f) + bytes({0xC1, 0xFF}), r));
    EXPECT_EQ(r.image().pixelIndex(7, 0), 1);
    EXPECT_EQ(r.image().pixelIndex(8, 0), 0);

    f.planes = 4;
    f.width = 3;
    f.bytesPerLine = 5;
    ASSERT_TRUE(ReadPcx(header(f) + QByteArray(20, char(0x3F)), r));
    EXPECT_EQ(r.width(), 3);
    EXPECT_EQ(r.image().pixelIndex(1, 0), 0);
    EXPECT_EQ(r.image().pixelIndex(2, 0), 15);
}

TEST(PcxReader, OtherLayoutsGiveABlankPictureOfTheFilesSize)
{
    for (const auto &[bits, planes] : {std::pair{4, 2}, {2, 3}, {8, 2}, {8, 4}, {1, 5}, {24, 1}, {8, 0}}) {
        SCOPED_TRACE(bits * 100 + planes);
        HeaderFields f{.bits = bits, .planes = planes, .width = 5, .height = 4};
        Raster r = rgbPicture(1, 1, {qRgb(1, 2, 3)});
        EXPECT_FALSE(ReadPcx(header(f), r));
        EXPECT_FALSE(PcxLastError().isEmpty());
        EXPECT_EQ(r.width(), 5);
        EXPECT_EQ(r.height(), 4);
        EXPECT_EQ(r.pixelRgb(0, 0), qRgb(255, 255, 255));
    }
}

// ------------------------------------------------------------------------- bad files

void expectRejected(const QByteArray &file, const QString &error = {})
{
    const Raster before = rgbPicture(1, 1, {qRgb(1, 2, 3)});
    Raster r = before;
    EXPECT_FALSE(ReadPcx(file, r));
    EXPECT_FALSE(PcxLastError().isEmpty());
    if (!error.isEmpty()) {
        EXPECT_EQ(PcxLastError(), error);
    }
    EXPECT_TRUE(r.samePixels(before));
}

TEST(PcxReader, RejectsBadHeadersAndLeavesThePicture)
{
    QByteArray file = WritePcx(noisePicture(4, 4, 1));
    file[0] = 11;
    expectRejected(file, QStringLiteral("Not a PCX file, or header read error."));
    expectRejected(WritePcx(noisePicture(4, 4, 1)).left(127), QStringLiteral("Not a PCX file, or header read error."));
    expectRejected(QByteArray());
    for (int bits : {0, 3, 7, 255}) {
        file = WritePcx(noisePicture(4, 4, 1));
        file[3] = char(bits);
        expectRejected(file, QStringLiteral("Not a valid PCX file!"));
    }
}

TEST(PcxReader, RejectsSizesBeyondTheLimits)
{
    HeaderFields f{.width = 32769};
    expectRejected(header(f) + QByteArray(1000, '\0'));
    f.width = 32768;
    f.height = 2049; // 256 MiB and a bit at four bytes a pixel
    expectRejected(header(f));
    QByteArray file = header(HeaderFields{});
    qToLittleEndian<quint16>(5, file.data() + 4); // Xmin beyond Xmax
    expectRejected(file);
    // A picture its data cannot fill is refused before anything is allocated.
    f.height = 2048;
    expectRejected(header(f) + QByteArray(4096, char(0xFF)));
}

TEST(PcxReader, RejectsEveryTruncation)
{
    HeaderFields f{.planes = 1, .width = 70, .height = 3};
    QByteArray data;
    for (int y = 0; y < 3; ++y)
        data += bytes({0xFF, y, 0xC7, 9});
    QVector<QRgb> palette(256, qRgb(200, 100, 50));
    const QByteArray indexed = header(f) + data + trailer(palette);
    Raster r;
    ASSERT_TRUE(ReadPcx(indexed, r)) << PcxLastError().toStdString();
    for (qsizetype n = 0; n < indexed.size(); ++n)
        expectRejected(indexed.left(n));

    // A 24-bit file needs no palette after its pixels; cut into the pixels it is refused.
    const QByteArray rgb = WritePcx(noisePicture(30, 5, 3));
    for (qsizetype n = 0; n < rgb.size() - 769; ++n)
        expectRejected(rgb.left(n));
    ASSERT_TRUE(ReadPcx(rgb.left(rgb.size() - 769), r));
    ASSERT_TRUE(PcxLastError().isEmpty());
}

TEST(PcxReader, MissingFilesThrow)
{
    QTemporaryDir dir;
    Raster r;
    EXPECT_THROW(LoadPcxFile(dir.filePath(QStringLiteral("none.pcx")), r), LetrafexError);
}

// ------------------------------------------------------------ other programs' files

::testing::AssertionResult sameAsReference(const Raster &r, const QString &ppm)
{
    const QImage ref = referencePicture(ppm);
    if (ref.isNull())
        return ::testing::AssertionFailure() << "no reference picture " << ppm.toStdString();
    if (!r.samePixels(Raster::fromImage(ref, 24)))
        return ::testing::AssertionFailure() << ppm.toStdString() << " differs";
    return ::testing::AssertionSuccess();
}

TEST(PcxInterop, PillowAndImageMagickReadOurFilesToTheSamePixels)
{
    QTemporaryDir dir;
    QStringList files;
    QList<Raster> pictures;
    for (const QSize size : {QSize(1, 1), QSize(37, 23), QSize(301, 2), QSize(128, 65)}) {
        pictures << noisePicture(size.width(), size.height(), unsigned(size.height()));
        files << dir.filePath(QStringLiteral("ours%1.pcx").arg(files.size()));
        SavePcxFile(files.last(), pictures.last());
    }
    const QString why = decodeWithPillow(files);
    ASSERT_TRUE(why.isEmpty()) << why.toStdString();
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QString imWhy = decodeWithImageMagick(files[i]);
        ASSERT_TRUE(imWhy.isEmpty()) << imWhy.toStdString();
        EXPECT_TRUE(sameAsReference(pictures[i], files[i] + QStringLiteral(".pil.ppm")));
        EXPECT_TRUE(sameAsReference(pictures[i], files[i] + QStringLiteral(".im.ppm")));
    }
}

// Bits per pixel and planes of a PCX file.
std::pair<int, int> layoutOf(const QString &file)
{
    QFile f(file);
    const QByteArray h = f.open(QIODevice::ReadOnly) ? f.read(128) : QByteArray();
    return h.size() == 128 ? std::pair{int(uchar(h[3])), int(uchar(h[65]))} : std::pair{0, 0};
}

TEST(PcxInterop, NetpbmsPackedFourAndSixteenColourFilesReadAsTheirSource)
{
    // ppmtopcx -packed writes 3 or 4 colours as 2 bits, up to 16 as 4 bits in one plane.
    QTemporaryDir dir;
    const QString ppm = dir.filePath(QStringLiteral("s.ppm"));
    std::mt19937 rng(5);
    for (int colours : {3, 4, 9, 16})
        for (int w = 1; w <= 19; w += 3) {
            // Every colour is there: the first pixels take them in turn.
            QImage source(w, (colours + w - 1) / w + w % 3, QImage::Format_RGB32);
            std::vector<QRgb> palette(colours);
            for (QRgb &c : palette)
                c = rng() | 0xFF000000u;
            for (int i = 0; i < w * source.height(); ++i)
                source.setPixel(i % w, i / w, palette[i < colours ? i : rng() % colours]);
            QByteArray pcx;
            ASSERT_TRUE(source.save(ppm, "PPM"));
            ASSERT_EQ(runTool(QStringLiteral("ppmtopcx"), {QStringLiteral("-packed"), ppm}, &pcx), QString());
            Raster r;
            ASSERT_TRUE(ReadPcx(pcx, r)) << PcxLastError().toStdString();
            EXPECT_EQ(r.bitCount(), 4);
            EXPECT_TRUE(r.toRgb32() == source) << colours << " colours, " << w << " wide";
        }
}

TEST(PcxInterop, WeReadPillowsAndImageMagicksFilesToTheirPixels)
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source.png"));
    const QString mono = dir.filePath(QStringLiteral("mono.bmp"));
    const QImage picture = noisePicture(75, 41, 7).toRgb32();
    ASSERT_TRUE(picture.save(source));
    ASSERT_TRUE(picture.convertToFormat(QImage::Format_Mono).save(mono));

    static const char *script = "import sys\n"
                                "from PIL import Image\n"
                                "src, out = Image.open(sys.argv[1]).convert('RGB'), sys.argv[2]\n"
                                "src.convert('1').save(out + '/pil-mono.pcx')\n"
                                "src.quantize(256).save(out + '/pil-palette.pcx')\n"
                                "src.convert('L').save(out + '/pil-grey.pcx')\n"
                                "src.save(out + '/pil-rgb.pcx')\n";
    QString why = runTool(Python, {QStringLiteral("-c"), QString::fromLatin1(script), source, dir.path()});
    ASSERT_TRUE(why.isEmpty()) << why.toStdString();
    const QList<std::pair<QString, QStringList>> magick{
        {QStringLiteral("im-mono.pcx"), {mono}},
        {QStringLiteral("im-palette.pcx"), {source, QStringLiteral("-colors"), QStringLiteral("200")}},
        {QStringLiteral("im-rgb.pcx"), {source, QStringLiteral("-type"), QStringLiteral("TrueColor")}}};
    for (const auto &[name, args] : magick) {
        why = runTool(QStringLiteral("convert"), args + QStringList{dir.filePath(name)});
        ASSERT_TRUE(why.isEmpty()) << why.toStdString();
    }

    // Each file against its writer's own decoding, except ImageMagick's one-bit file:
    // ImageMagick 6.9 reads (and writes) one-bit data with 1 as black, whatever its header
    // palette says, where the format, Pillow and this reader take 0 as black and 1 as white.
    struct Case
    {
        const char *file;
        std::pair<int, int> layout; // bits, planes
        bool byPillow;
    };
    const Case cases[] = {{"pil-mono.pcx", {1, 1}, true},    {"pil-palette.pcx", {8, 1}, true},
                          {"pil-grey.pcx", {8, 1}, true},    {"pil-rgb.pcx", {8, 3}, true},
                          {"im-mono.pcx", {1, 1}, true},     {"im-palette.pcx", {8, 1}, false},
                          {"im-rgb.pcx", {8, 3}, false}};
    QStringList pillowFiles;
    for (const Case &c : cases) {
        const QString file = dir.filePath(QLatin1String(c.file));
        if (c.byPillow)
            pillowFiles << file;
        else if (why = decodeWithImageMagick(file); !why.isEmpty())
            FAIL() << why.toStdString();
    }
    why = decodeWithPillow(pillowFiles);
    ASSERT_TRUE(why.isEmpty()) << why.toStdString();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        const QString file = dir.filePath(QLatin1String(c.file));
        EXPECT_EQ(layoutOf(file), c.layout);
        Raster r;
        ASSERT_TRUE(LoadPcxFile(file, r)) << PcxLastError().toStdString();
        EXPECT_TRUE(sameAsReference(r, file + QLatin1String(c.byPillow ? ".pil.ppm" : ".im.ppm")));
    }
}

} // namespace
