// BMP reading and writing: round trips in every layout, the variants other programs write
// (checked against Pillow's decoding), and damaged files.
#include "imageio/BmpCodec.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>

#include "ReferenceTools.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const QString Fixtures = QStringLiteral(LETRAFEX_FIXTURES);

QString fixture(const QString &name) { return Fixtures + QStringLiteral("/bmp/") + name; }

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The colour the fixture generator gives palette entry i.
QRgb fixtureColour(int i) { return qRgb((i * 53 + 17) % 256, (i * 101 + 90) % 256, (i * 29 + 200) % 256); }


enum class Decoder { Pillow, ImageMagick };

// Decodes each file with the reference decoder into an RGB PPM in dir.
QString reference(Decoder decoder, const QStringList &files, const QString &dir, QList<QImage> &out)
{
    QStringList ppms;
    for (qsizetype i = 0; i < files.size(); ++i)
        ppms << dir + QStringLiteral("/ref%1.ppm").arg(i);
    if (decoder == Decoder::Pillow) {
        static const char *script = "import sys\n"
                                    "from PIL import Image\n"
                                    "a = sys.argv[1:]\n"
                                    "for src, dst in zip(a[0::2], a[1::2]):\n"
                                    "    Image.open(src).convert('RGB').save(dst, 'PPM')\n";
        QStringList args{QStringLiteral("-c"), QString::fromLatin1(script)};
        for (qsizetype i = 0; i < files.size(); ++i)
            args << files[i] << ppms[i];
        if (QString why = runTool(Python, args); !why.isEmpty())
            return QStringLiteral("Pillow (python3-pil) is the reference decoder: ") + why;
    } else {
        for (qsizetype i = 0; i < files.size(); ++i)
            if (QString why = runTool(QStringLiteral("convert"), {files[i], QStringLiteral("-depth"), QStringLiteral("8"), ppms[i]}); !why.isEmpty())
                return QStringLiteral("ImageMagick is the reference decoder: ") + why;
    }
    for (const QString &ppm : ppms) {
        out << QImage(ppm).convertToFormat(QImage::Format_RGB32);
        if (out.last().isNull())
            return QStringLiteral("cannot read the reference picture ") + ppm;
    }
    return {};
}

// Channels narrower than 8 bits are widened by v * 255 / max rounded to nearest; other
// decoders repeat the top bits instead, which differs by at most 1. tolerance allows that.
::testing::AssertionResult samePicture(const Raster &r, const QImage &ref, int tolerance = 0)
{
    if (r.width() != ref.width() || r.height() != ref.height())
        return ::testing::AssertionFailure() << "size " << r.width() << "x" << r.height() << ", reference " << ref.width()
                                             << "x" << ref.height();
    for (int y = 0; y < r.height(); ++y)
        for (int x = 0; x < r.width(); ++x)
            if (std::abs(qRed(r.pixelRgb(x, y)) - qRed(ref.pixel(x, y))) > tolerance ||
                std::abs(qGreen(r.pixelRgb(x, y)) - qGreen(ref.pixel(x, y))) > tolerance ||
                std::abs(qBlue(r.pixelRgb(x, y)) - qBlue(ref.pixel(x, y))) > tolerance)
                return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << std::hex
                                                     << (r.pixelRgb(x, y) & 0xFFFFFF) << ", reference "
                                                     << (ref.pixel(x, y) & 0xFFFFFF);
    return ::testing::AssertionSuccess();
}

// The bits-per-pixel field as the file states it.
int fileBitCount(const QByteArray &d)
{
    const auto *p = reinterpret_cast<const uchar *>(d.constData());
    return qFromLittleEndian<quint32>(p + 14) == 12 ? qFromLittleEndian<quint16>(p + 24) : qFromLittleEndian<quint16>(p + 28);
}

// A picture with varied colours in the given layout, sized so rows need padding.
Raster samplePicture(int bits, int w = 37, int h = 11)
{
    if (bits <= 8) {
        const int n = 1 << bits;
        QVector<QRgb> pal;
        for (int i = 0; i < n; ++i)
            pal << fixtureColour(i);
        std::vector<uchar> idx(size_t(w) * h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                idx[size_t(y) * w + x] = uchar((x * 7 + y * 3) % n);
        return Raster::fromIndices(w, h, bits, pal, idx.data(), w);
    }
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int r = (x * 37 + y * 11) % 256, g = (x * 5 + y * 71) % 256, b = (x * y * 13) % 256;
            if (bits == 16) // values a 5-bit channel holds exactly
                r = ((r >> 3) * 255 + 15) / 31, g = ((g >> 3) * 255 + 15) / 31, b = ((b >> 3) * 255 + 15) / 31;
            img.setPixel(x, y, qRgb(r, g, b));
        }
    return Raster::fromImage(img, bits);
}

const int Layouts[] = {1, 4, 8, 16, 24, 32};

} // namespace

TEST(BmpWrite, EveryLayoutRoundTripsWithSamePixelsAndBitCount)
{
    for (int bits : Layouts) {
        SCOPED_TRACE(bits);
        const Raster source = samplePicture(bits);
        ASSERT_EQ(source.bitCount(), bits);
        const Raster back = ReadBmp(WriteBmp(source));
        EXPECT_EQ(back.bitCount(), bits);
        EXPECT_TRUE(back.samePixels(source));
        if (bits <= 8) {
            EXPECT_EQ(back.palette(), source.palette());
        }
    }
}

TEST(BmpWrite, FileHoldsInfoHeaderAndBottomUpPaddedRows)
{
    for (int bits : Layouts) {
        SCOPED_TRACE(bits);
        const Raster source = samplePicture(bits);
        const QByteArray file = WriteBmp(source);
        const auto *p = reinterpret_cast<const uchar *>(file.constData());
        const int paletteBytes = bits <= 8 ? 4 << bits : 0;
        ASSERT_EQ(file.left(2), QByteArray("BM"));
        EXPECT_EQ(qFromLittleEndian<quint32>(p + 2), quint32(file.size()));
        EXPECT_EQ(qFromLittleEndian<quint32>(p + 10), quint32(54 + paletteBytes));
        EXPECT_EQ(qFromLittleEndian<quint32>(p + 14), 40u);
        EXPECT_EQ(qFromLittleEndian<qint32>(p + 18), source.width());
        EXPECT_EQ(qFromLittleEndian<qint32>(p + 22), source.height()); // positive: bottom-up
        EXPECT_EQ(qFromLittleEndian<quint16>(p + 28), bits);
        EXPECT_EQ(qFromLittleEndian<quint32>(p + 30), 0u); // uncompressed, 16 bits as 5-5-5
        // The pixel rows are exactly the device-independent copy of the raster.
        EXPECT_EQ(file.mid(54 + paletteBytes), source.dibBits());
    }
}

TEST(BmpWrite, PillowReadsWrittenFilesAsTheSamePicture)
{
    QTemporaryDir dir;
    QStringList files;
    std::vector<Raster> sources;
    for (int bits : Layouts) {
        sources.push_back(samplePicture(bits));
        files << dir.filePath(QStringLiteral("out%1.bmp").arg(bits));
        SaveBmpFile(files.last(), sources.back());
    }
    QList<QImage> refs;
    const QString why = reference(Decoder::Pillow, files, dir.path(), refs);
    ASSERT_TRUE(why.isEmpty()) << why.toStdString();
    for (size_t i = 0; i < sources.size(); ++i)
        EXPECT_TRUE(samePicture(sources[i], refs[qsizetype(i)], sources[i].bitCount() == 16 ? 1 : 0))
            << files[qsizetype(i)].toStdString();
}

TEST(BmpWrite, ForcedLayoutsAndEmptyPictures)
{
    const Raster indexed = samplePicture(8);
    const Raster as24 = ReadBmp(WriteBmp(indexed, 24));
    EXPECT_EQ(as24.bitCount(), 24);
    EXPECT_TRUE(as24.samePixels(indexed));
    EXPECT_EQ(ReadBmp(WriteBmp(samplePicture(32), 24)).bitCount(), 24);
    EXPECT_THROW(WriteBmp(samplePicture(24), 8), LetrafexError);
    EXPECT_THROW(WriteBmp(samplePicture(24), 12), LetrafexError);
    EXPECT_THROW(WriteBmp(Raster()), LetrafexError);
}

TEST(BmpFile, SaveReplacesWholeFileAndLoadReadsIt)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("pic.bmp"));
    SaveBmpFile(name, samplePicture(24, 300, 200));
    const Raster small = samplePicture(4);
    SaveBmpFile(name, small);
    EXPECT_EQ(QFileInfo(name).size(), WriteBmp(small).size());
    const Raster back = LoadBmpFile(name);
    EXPECT_EQ(back.bitCount(), 4);
    EXPECT_TRUE(back.samePixels(small));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("pic.bmp")}); // no temporary left
}

TEST(BmpFile, LargeFilesLoadPieceByPieceLikeSmallOnes)
{
    // Above 4 MiB a file's rows are decoded as they are read; the result must not differ.
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("large.bmp"));
    for (int bits : {24, 32, 8}) {
        SCOPED_TRACE(bits);
        const int w = bits == 8 ? 2301 : 1203, h = 2003;
        const Raster source = samplePicture(bits, w, h);
        SaveBmpFile(name, source);
        ASSERT_GT(QFileInfo(name).size(), 4 * 1024 * 1024);
        const Raster back = LoadBmpFile(name);
        EXPECT_EQ(back.bitCount(), bits);
        EXPECT_TRUE(back.samePixels(source));
    }

    // Top-down rows, and a file one byte short of its last row.
    QByteArray data = WriteBmp(samplePicture(24, 1203, 2003));
    const Raster bottomUp = ReadBmp(data);
    qToLittleEndian<qint32>(-2003, data.data() + 22);
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
    f.close();
    const Raster topDown = LoadBmpFile(name);
    EXPECT_TRUE(topDown.samePixels(ReadBmp(data)));
    EXPECT_EQ(topDown.pixelRgb(5, 0), bottomUp.pixelRgb(5, 2002));
    EXPECT_EQ(topDown.pixelRgb(7, 1000), bottomUp.pixelRgb(7, 1002));

    const qsizetype padding = Raster::dibStride(1203, 24) - 1203 * 3;
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data.left(data.size() - padding - 1));
    f.close();
    try {
        LoadBmpFile(name);
        ADD_FAILURE() << "no error";
    } catch (const LetrafexError &e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("ends inside the pixel data"))) << e.what();
    }
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data.left(data.size() - padding));
    f.close();
    EXPECT_TRUE(LoadBmpFile(name).samePixels(topDown));
}

TEST(BmpFile, FailuresThrowAndKeepTheOldFile)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("pic.bmp"));
    SaveBmpFile(name, samplePicture(8));
    const QByteArray before = readAll(name);
    EXPECT_THROW(SaveBmpFile(name, Raster()), LetrafexError);
    EXPECT_EQ(readAll(name), before);

    try {
        SaveBmpFile(dir.filePath(QStringLiteral("no/such/folder/pic.bmp")), samplePicture(8));
        ADD_FAILURE() << "saving into a missing folder did not throw";
    } catch (const LetrafexError &e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("pic.bmp"))) << e.what();
    }
    try {
        LoadBmpFile(dir.filePath(QStringLiteral("missing.bmp")));
        ADD_FAILURE() << "loading a missing file did not throw";
    } catch (const LetrafexError &e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("missing.bmp"))) << e.what();
    }
}

TEST(BmpRead, VariantsDecodeLikePillow)
{
    struct Case
    {
        const char *file;
        int bits;
    };
    const Case cases[] = {
        {"rgb24.bmp", 24},    {"topdown24.bmp", 24}, {"rgb32.bmp", 32},  {"v4_rgb24.bmp", 24}, {"rgb16.bmp", 16},
        {"bf565.bmp", 16},    {"v4_bf565.bmp", 16},  {"v5_bf32.bmp", 32}, {"pal1.bmp", 1},     {"pal4.bmp", 4},
        {"pal8.bmp", 8},      {"topdown8.bmp", 8},   {"core1.bmp", 1},   {"core4.bmp", 4},     {"core8.bmp", 8},
        {"core24.bmp", 24},
    };
    QTemporaryDir dir;
    QStringList files;
    for (const Case &c : cases)
        files << fixture(QString::fromLatin1(c.file));
    QList<QImage> refs;
    const QString why = reference(Decoder::Pillow, files, dir.path(), refs);
    ASSERT_TRUE(why.isEmpty()) << why.toStdString();
    for (qsizetype i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(cases[i].file);
        const Raster r = LoadBmpFile(files[i]);
        EXPECT_EQ(r.bitCount(), cases[i].bits);
        EXPECT_TRUE(samePicture(r, refs[i], cases[i].bits == 16 ? 1 : 0));
    }
}

TEST(BmpRead, RunLengthFilesDecodeLikeImageMagick)
{
    // Pillow 9 misreads the move escape, so ImageMagick is the reference here.
    QTemporaryDir dir;
    const QStringList files{fixture(QStringLiteral("rle8.bmp")), fixture(QStringLiteral("rle4.bmp"))};
    QList<QImage> refs;
    const QString why = reference(Decoder::ImageMagick, files, dir.path(), refs);
    ASSERT_TRUE(why.isEmpty()) << why.toStdString();
    for (qsizetype i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i].toStdString());
        const Raster r = LoadBmpFile(files[i]);
        EXPECT_EQ(r.bitCount(), i == 0 ? 8 : 4);
        EXPECT_TRUE(samePicture(r, refs[i]));
    }
}

TEST(BmpRead, PaletteOfCountZeroHasAllEntries)
{
    const Raster r = LoadBmpFile(fixture(QStringLiteral("pal8.bmp")));
    ASSERT_EQ(r.palette().size(), 256);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(r.palette()[i], fixtureColour(i)) << i;
    EXPECT_EQ(LoadBmpFile(fixture(QStringLiteral("core4.bmp"))).palette().size(), 16);
}

TEST(BmpRead, ShortPaletteLeavesMissingEntriesBlack)
{
    const Raster r = LoadBmpFile(fixture(QStringLiteral("pal8_short.bmp")));
    ASSERT_EQ(r.width(), 10);
    EXPECT_EQ(r.bitCount(), 8);
    for (int x = 0; x < 10; ++x)
        EXPECT_EQ(r.pixelRgb(x, 0), x < 6 ? fixtureColour(x) : qRgb(0, 0, 0)) << x;
}

TEST(BmpRead, RunLengthPixelsNotWrittenAreIndexZero)
{
    // rle8.bmp, stored rows from the bottom: row 2 ends with a move to (7, 3), row 4
    // ends its line after two pixels, row 5 ends the picture after five.
    const Raster r = LoadBmpFile(fixture(QStringLiteral("rle8.bmp")));
    const QImage &img = r.image();
    auto index = [&](int x, int storedRow) { return img.pixelIndex(x, 5 - storedRow); };
    EXPECT_EQ(index(2, 0), 1);
    EXPECT_EQ(index(5, 0), 2);
    EXPECT_EQ(index(8, 0), 5);
    for (int x = 3; x < 12; ++x)
        EXPECT_EQ(index(x, 2), 0) << x;
    for (int x = 0; x < 7; ++x)
        EXPECT_EQ(index(x, 3), 0) << x;
    EXPECT_EQ(index(7, 3), 7);
    EXPECT_EQ(index(1, 4), 8);
    EXPECT_EQ(index(2, 4), 0);
    EXPECT_EQ(index(4, 5), 13);
    EXPECT_EQ(index(5, 5), 0);
    EXPECT_EQ(r.pixelRgb(11, 5 - 4), fixtureColour(0));

    const Raster r4 = LoadBmpFile(fixture(QStringLiteral("rle4.bmp")));
    const QImage &img4 = r4.image();
    auto index4 = [&](int x, int storedRow) { return img4.pixelIndex(x, 4 - storedRow); };
    const int row0[13] = {1, 2, 1, 2, 1, 3, 4, 5, 6, 7, 8, 9, 8};
    for (int x = 0; x < 13; ++x)
        EXPECT_EQ(index4(x, 0), row0[x]) << x;
    EXPECT_EQ(index4(4, 2), 0);
    EXPECT_EQ(index4(5, 3), 0);
    EXPECT_EQ(index4(6, 3), 12);
    EXPECT_EQ(index4(2, 4), 1);
    EXPECT_EQ(index4(3, 4), 0);
}

TEST(BmpRead, MasksInsideLongerHeadersAndUncommonMasks)
{
    const Raster reference = LoadBmpFile(fixture(QStringLiteral("bf565.bmp")));
    for (const char *name : {"v2_bf565.bmp", "v3_bf565.bmp", "v4_bf565.bmp"}) {
        const Raster r = LoadBmpFile(fixture(QString::fromLatin1(name)));
        EXPECT_EQ(r.bitCount(), 16) << name;
        EXPECT_TRUE(r.samePixels(reference)) << name;
    }
    // 4-4-4: pixel (x, y) holds red x, green y, blue x + y; a 4-bit value v shows as v * 17.
    const Raster r444 = LoadBmpFile(fixture(QStringLiteral("bf444.bmp")));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 16; ++x)
            EXPECT_EQ(r444.pixelRgb(x, y), qRgb(x * 17, y * 17, (x + y) % 16 * 17)) << x << "," << y;
    // 10-10-10: channels wider than 8 bits keep their top 8 bits.
    const Raster r10 = LoadBmpFile(fixture(QStringLiteral("bf101010.bmp")));
    EXPECT_EQ(r10.bitCount(), 32);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(r10.pixelRgb(x, y), qRgb(x * 100 >> 2, y * 300 >> 2, (1023 - x * 100) >> 2)) << x << "," << y;
}

TEST(BmpRead, FourMasksAfterAnInfoHeaderAreReadAsTheVersion3Header)
{
    // 4 x 1 16-bit pixels with an alpha mask; the 40-byte header and four masks are laid
    // out as the 56-byte header, whose alpha rule they follow (over white; 8/15 of red
    // over white is 255, 119, 119 by the standard's formula).
    const auto file = [](quint32 infoSize, std::vector<quint32> words) {
        QByteArray f(14 + 56 + 8, '\0');
        uchar *p = reinterpret_cast<uchar *>(f.data());
        p[0] = 'B', p[1] = 'M';
        qToLittleEndian<quint32>(14 + 56, p + 10);
        words.insert(words.begin(), {infoSize, 4, 1, 1 | 16u << 16, 3, 8, 0, 0, 0, 0});
        for (size_t i = 0; i < words.size(); ++i)
            qToLittleEndian<quint32>(words[i], p + 14 + 4 * i);
        return f;
    };
    const QRgb white = qRgb(255, 255, 255), red = qRgb(255, 0, 0);
    for (quint32 size : {40u, 56u}) {
        QByteArray bytes = file(size, {0x7C00, 0x03E0, 0x001F, 0x8000, 0xFC007C00, 0x001F83E0});
        QBuffer stream(&bytes);
        ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
        const Raster r = ReadBmp(bytes), s = ReadBmp(stream);
        const Raster q = ReadBmp(file(size, {0x0F00, 0x00F0, 0x000F, 0xF000, 0x8F000F00, 0x00F0FFFF}));
        const QRgb want[3][4] = {{white, red, qRgb(0, 255, 0), white}, {white, red, qRgb(0, 255, 0), white},
                                 {white, qRgb(255, 119, 119), white, white}};
        for (int x = 0; x < 4; ++x)
            for (int i = 0; i < 3; ++i)
                EXPECT_EQ((i == 0 ? r : i == 1 ? s : q).pixelRgb(x, 0), want[i][x]) << size << " " << x;
    }

    // Room after three masks may hold a colour table instead (allowed with bit fields):
    // 2 x 1 32-bit pixels whose top byte is no alpha, decoded as Pillow decodes them.
    QByteArray table = file(40, {0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0x80102030, 0xFF405060});
    table[14 + 4] = 2, table[14 + 14] = 32, table[14 + 32] = 1; // width, bits, colours used
    QTemporaryDir dir;
    QFile written(dir.filePath("table.bmp"));
    ASSERT_TRUE(written.open(QIODevice::WriteOnly) && written.write(table) == table.size());
    written.close();
    QList<QImage> refs;
    const QString why = reference(Decoder::Pillow, {written.fileName()}, dir.path(), refs);
    ASSERT_TRUE(why.isEmpty()) << why.toStdString();
    EXPECT_TRUE(samePicture(LoadBmpFile(written.fileName()), refs[0]));
    EXPECT_EQ(ReadBmp(table).pixelRgb(0, 0), qRgb(16, 32, 48));
}

TEST(BmpRead, ImageMagickVariantsDecodeLikePillow)
{
    QTemporaryDir dir;
    QImage src(29, 17, QImage::Format_RGB32);
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < src.width(); ++x)
            src.setPixel(x, y, qRgb(x * 8, y * 15, (x * y) % 256));
    const QString in = dir.filePath(QStringLiteral("in.ppm"));
    ASSERT_TRUE(src.save(in, "PPM"));
    const QList<QStringList> variants = {
        {QStringLiteral("-colors"), QStringLiteral("200"), QStringLiteral("-compress"), QStringLiteral("RLE"), QStringLiteral("BMP3:im_rle8.bmp")},
        {QStringLiteral("BMP2:im_core.bmp")},
        {QStringLiteral("-define"), QStringLiteral("bmp:subtype=RGB565"), QStringLiteral("BMP:im_565.bmp")},
        {QStringLiteral("-define"), QStringLiteral("bmp:subtype=RGB555"), QStringLiteral("BMP:im_555.bmp")},
        {QStringLiteral("-alpha"), QStringLiteral("set"), QStringLiteral("BMP:im_32.bmp")},
        {QStringLiteral("-colors"), QStringLiteral("16"), QStringLiteral("BMP3:im_4.bmp")},
        {QStringLiteral("-type"), QStringLiteral("bilevel"), QStringLiteral("BMP3:im_1.bmp")},
        {QStringLiteral("BMP3:im_24.bmp")},
    };
    QStringList files;
    for (QStringList args : variants) {
        QString &target = args.last();
        const QString file = target.section(':', 1);
        target = target.section(':', 0, 0) + ':' + dir.filePath(file);
        args.prepend(in);
        const QString why = runTool(QStringLiteral("convert"), args);
        ASSERT_TRUE(why.isEmpty()) << "ImageMagick writes the sample variants: " << why.toStdString();
        files << dir.filePath(file);
    }
    QList<QImage> refs;
    const QString why = reference(Decoder::Pillow, files, dir.path(), refs);
    ASSERT_TRUE(why.isEmpty()) << why.toStdString();
    for (qsizetype i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i].toStdString());
        const QByteArray data = readAll(files[i]);
        const Raster r = ReadBmp(data);
        EXPECT_EQ(r.bitCount(), fileBitCount(data));
        EXPECT_TRUE(samePicture(r, refs[i], r.bitCount() == 16 ? 1 : 0));
    }
}

TEST(BmpRead, DamagedFilesThrowTheirError)
{
    struct Case
    {
        const char *file;
        const char *error;
    };
    const Case cases[] = {
        {"bmp_truncated_header.bmp", "ends inside the information header"},
        {"bmp_truncated_pixels.bmp", "ends inside the pixel data"},
        {"bmp_bad_signature.bmp", "Bitmap image is not valid"},
        {"bmp_huge_width.bmp", "beyond the limits"},
        {"bmp_huge_area.bmp", "beyond the limits"},
        {"bmp_negative_width.bmp", "empty or negative"},
        {"bmp_zero_height.bmp", "empty or negative"},
        {"bmp_huge_palette.bmp", "colour count"},
        {"bmp_offset_past_end.bmp", "past the end"},
        {"bmp_offset_in_header.bmp", "points into the headers"},
        {"bmp_truncated_palette.bmp", "ends inside the colour table"},
        {"bmp_bad_bitcount.bmp", "7 bits per pixel"},
        {"bmp_bad_header_size.bmp", "header size 20"},
        {"bmp_scattered_mask.bmp", "mask 0xf00f"},
        {"bmp_rle_with_24_bits.bmp", "compression 1 with 24 bits"},
        {"bmp_rle8_run_past_row.bmp", "past the end of row"},
        {"bmp_rle8_literal_past_row.bmp", "past the end of row"},
        {"bmp_rle8_move_past_picture.bmp", "move goes past the picture"},
        {"bmp_rle8_past_last_row.bmp", "runs past the picture"},
        {"bmp_rle8_no_end.bmp", "ends before the end of the picture"},
        {"bmp_rle4_run_past_row.bmp", "past the end of row"},
        {"bmp_rle4_truncated_literal.bmp", "ends inside a literal run"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        const QString path = Fixtures + QStringLiteral("/bad/") + QString::fromLatin1(c.file);
        ASSERT_TRUE(QFile::exists(path));
        try {
            LoadBmpFile(path);
            ADD_FAILURE() << "no error";
        } catch (const LetrafexError &e) {
            EXPECT_TRUE(e.text().contains(QString::fromLatin1(c.error))) << e.what();
        }
        // The stream reader refuses it too, whatever it says.
        QByteArray data = readAll(path);
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        EXPECT_THROW(ReadBmp(buffer), LetrafexError);
    }
}

TEST(BmpRead, EveryTruncationOfAGoodFileThrows)
{
    // Only the last row's padding (at most 3 bytes) may be missing.
    for (const QString &name : QDir(Fixtures + QStringLiteral("/bmp")).entryList({QStringLiteral("*.bmp")})) {
        SCOPED_TRACE(name.toStdString());
        const QByteArray data = readAll(fixture(name));
        ASSERT_NO_THROW(ReadBmp(data));
        for (qsizetype n = 0; n + 3 < data.size(); ++n)
            EXPECT_THROW(ReadBmp(data.left(n)), LetrafexError) << n;
    }
}

TEST(BmpStream, ReadsImagesBackToBackAndStopsAfterEach)
{
    const Raster a = samplePicture(24, 5, 3), b = samplePicture(4, 9, 2);
    const QByteArray rle = readAll(fixture(QStringLiteral("rle8.bmp")));
    QByteArray data = WriteBmp(a) + rle + WriteBmp(b) + "tail";
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    EXPECT_TRUE(ReadBmp(buffer).samePixels(a));
    EXPECT_EQ(buffer.pos(), WriteBmp(a).size());
    EXPECT_TRUE(ReadBmp(buffer).samePixels(ReadBmp(rle)));
    const Raster back = ReadBmp(buffer);
    EXPECT_EQ(back.bitCount(), 4);
    EXPECT_TRUE(back.samePixels(b));
    EXPECT_EQ(buffer.read(4), QByteArray("tail"));
}

TEST(BmpStream, SkipsBytesTheSizeFieldCountsAfterThePixels)
{
    QByteArray first = WriteBmp(samplePicture(8, 3, 3));
    first += QByteArray(10, 'x'); // say, a colour profile
    qToLittleEndian<quint32>(quint32(first.size()), first.data() + 2);
    QByteArray data = first + WriteBmp(samplePicture(1, 3, 3));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    ReadBmp(buffer);
    EXPECT_EQ(buffer.pos(), first.size());
    EXPECT_EQ(ReadBmp(buffer).bitCount(), 1);

    // A size field of 0 says nothing: the image ends after its padded rows.
    QByteArray noSize = WriteBmp(samplePicture(24, 5, 3));
    qToLittleEndian<quint32>(0, noSize.data() + 2);
    QByteArray twice = noSize + noSize;
    QBuffer both(&twice);
    both.open(QIODevice::ReadOnly);
    ReadBmp(both);
    EXPECT_EQ(both.pos(), noSize.size());
    EXPECT_TRUE(ReadBmp(both).samePixels(samplePicture(24, 5, 3)));
}

TEST(BmpStream, ShortOrForeignDataThrowsThePlatformMessages)
{
    QByteArray data = WriteBmp(samplePicture(24, 5, 3));
    QByteArray cut = data.left(data.size() - 10);
    QBuffer shortBuffer(&cut);
    shortBuffer.open(QIODevice::ReadOnly);
    try {
        ReadBmp(shortBuffer);
        ADD_FAILURE() << "no error";
    } catch (const LetrafexError &e) {
        EXPECT_EQ(e.text(), QStringLiteral("Stream read error"));
    }
    data[0] = 'X';
    QBuffer foreign(&data);
    foreign.open(QIODevice::ReadOnly);
    try {
        ReadBmp(foreign);
        ADD_FAILURE() << "no error";
    } catch (const LetrafexError &e) {
        EXPECT_EQ(e.text(), QStringLiteral("Bitmap image is not valid"));
    }
}
