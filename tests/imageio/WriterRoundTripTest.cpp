// Random pictures of every kind (fuzz/WriterFuzz.h) at widths 1 to 67 and large odd sizes go
// through every writer; Pillow reads all back in one process and must see the pixels (JPEG within
// a bound), transparency kept or refused with an error, every frame of an animation, its last one
// where a viewer shows one (APNG's default image), and a single frame written as a still.
#include "WriterFuzz.h"
#include "ReferenceTools.h"
#include "core/Errors.h"
#include "core/FileBytes.h"
#include "imageio/ApngWriter.h"
#include "imageio/JpegCodec.h"
#include "imageio/PictureFiles.h"
#include "imageio/WebpCodec.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <random>

namespace {
using Frames = std::vector<Raster>;
using Write = std::function<void(const QString &, const Frames &)>;
struct Writer { const char *name, *ext; bool alpha, animation; Write write; };
Write dispatch(int filter) { return [filter](const QString &p, const Frames &f) { savePictureFile(p, filter, f[0]); }; }
void animate(std::unique_ptr<AnimationWriter> out, const QString &path, const Frames &frames)
{
    for (const Raster &f : frames)
        out->addFrame(f.hasAlpha() ? f.toStraightArgb32() : f.toRgb32(), 100);
    out->save(path);
}
const Writer writers[] = {
    {"BMP", "bmp", false, false, dispatch(SaveBitmap)},
    // The dispatch decides what JPEG takes; quality 100 keeps the bound tight.
    {"JPEG", "jpg", false, false, [](const QString &p, const Frames &f) { savePictureFile(p, SaveJpeg, f[0]); writeWholeFile(p, WriteJpeg(f[0], 100)); }},
    {"PNG", "png", true, false, dispatch(SavePng)}, {"TIFF", "tif", true, false, dispatch(SaveTiff)},
    {"PCX", "pcx", false, false, dispatch(SavePcx)}, {"TGA", "tga", false, false, dispatch(SaveTga)},
    {"WebP", "webp", true, false, dispatch(SaveWebp)},
    {"APNG", "png", true, true, [](const QString &p, const Frames &f) { animate(newApngAnimation(f[0].width(), f[0].height(), f[0].hasAlpha()), p, f); }},
    {"animated WebP", "webp", true, true, [](const QString &p, const Frames &f) { animate(newWebpAnimation(f[0].width(), f[0].height()), p, f); }}};

} // namespace

TEST(WriterRoundTrip, EveryWriterGivesBackEveryKindOfPictureOrRefusesIt)
{
    QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/writers-XXXXXX") : QString());
    std::mt19937 rng(27);
    writerfuzz::Input random{nullptr, 0, &rng};
    struct Case { const Writer *writer; int kind; Frames frames; QString path; };
    std::vector<Case> cases;
    std::map<std::string, std::pair<int, QString>> failures; // by writer and kind: count, first case
    const auto fail = [&](const Case &c, const QString &why) {
        auto &f = failures[std::string(c.writer->name) + " " + writerfuzz::kindNames[c.kind]];
        if (!f.first++)
            f.second = QStringLiteral("%1x%2: %3").arg(c.frames[0].width()).arg(c.frames[0].height()).arg(why);
    };
    std::vector<QSize> sizes{{3001, 7}, {1, 3000}, {3000, 50}};
    for (int w = 1; w <= 67; ++w)
        sizes.emplace_back(w, 1 + w % 5);
    QString list;
    for (const Writer &writer : writers)
        for (int kind = 0; kind < writerfuzz::KindCount; ++kind)
            for (QSize s : sizes) {
                Case c{&writer, kind, {}, dir.filePath(QStringLiteral("%1.%2").arg(cases.size()).arg(writer.ext))};
                while (c.frames.size() < (writer.animation ? 1 + size_t(s.width() % 3) : 1))
                    c.frames.push_back(writerfuzz::picture(random, kind, s.width(), s.height()));
                const bool refuses = !writerfuzz::bitsOfKind[kind] && !writer.alpha; // transparency
                try {
                    writer.write(c.path, c.frames);
                    refuses ? fail(c, QStringLiteral("written")) : (cases.push_back(c), void(list += c.path + '\n'));
                } catch (const LetrafexError &e) {
                    if (!refuses || QFile::exists(c.path))
                        fail(c, e.text());
                }
            }
    writeWholeFile(dir.filePath(QStringLiteral("list")), list.toUtf8());
    QByteArray out;
    ASSERT_EQ(runTool(Python, {QStringLiteral("-c"), QStringLiteral(R"(import sys
from PIL import Image
for path in open(sys.argv[1]).read().splitlines():
  try:
    im = Image.open(path); default = int(bool(im.info.get('default_image'))); n = getattr(im, 'n_frames', 1)
    cmap = im.tag_v2.get(320, ()) if im.format == 'TIFF' else ()
    with open(path + '.rgba', 'wb') as f:
        for i in range(n):
            im.seek(i); f.write(im.convert('RGBA').tobytes())
    print(im.size[0], im.size[1], n, default, int(all(v % 257 == 0 for v in cmap)))
  except Exception as e:
    print('error', str(e).replace('\n', ' '))
)"), dir.filePath(QStringLiteral("list"))}, &out, 120000).toStdString(), "");
    const QList<QByteArray> lines = out.split('\n');
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case &c = cases[i];
        const QList<QByteArray> got = lines.value(qsizetype(i)).split(' ');
        const int w = c.frames[0].width(), h = c.frames[0].height(), n = got.value(2).toInt(), skip = got.value(3).toInt();
        const bool jpeg = c.writer->ext[0] == 'j', apng = c.writer->animation && c.writer->ext[0] == 'p';
        if (got.size() != 5 || got[0].toInt() != w || got[1].toInt() != h) {
            fail(c, QStringLiteral("Pillow read ") + QString::fromUtf8(lines.value(qsizetype(i))));
            continue;
        }
        if (got[4] != "1")
            fail(c, QStringLiteral("colour map entries not written as value x 257"));
        Frames shown; // an animation writer may merge a frame with an equal one before it
        for (const Raster &f : c.frames)
            if (n - skip == int(c.frames.size()) || shown.empty() || !shown.back().samePixels(f))
                shown.push_back(f);
        const bool marked = c.writer->animation && readWholeFile(c.path).contains(apng ? "acTL" : "ANIM");
        if (n - skip != int(shown.size()) || (c.frames.size() == 1 && (skip || marked)))
            fail(c, QStringLiteral("%1 frames (%2 default image) for %3").arg(n - skip).arg(skip).arg(c.frames.size()));
        const QByteArray rgba = readWholeFile(c.path + QStringLiteral(".rgba"));
        for (int f = 0; f < n && int(shown.size()) >= n - skip; ++f) { // APNG's frame 0 is the default image
            const Raster &want = shown[size_t(f < skip || (f == 0 && apng) ? shown.size() - 1 : f - skip)];
            const QImage back(reinterpret_cast<const uchar *>(rgba.constData()) + qsizetype(f) * w * h * 4, w, h, QImage::Format_RGBA8888);
            // JPEG keeps colour at a quarter of the resolution (4:2:0): its brightness is compared.
            const auto luma = [](QRgb p) { return 0.299 * qRed(p) + 0.587 * qGreen(p) + 0.114 * qBlue(p); };
            const QImage wanted = want.toRgb32();
            double squares = 0;
            for (int y = 0; y < h && jpeg; ++y)
                for (int x = 0; x < w; ++x)
                    squares += std::pow(luma(back.pixel(x, y)) - luma(wanted.pixel(x, y)), 2);
            const double psnr = 10 * std::log10(255.0 * 255 * w * h / std::max(squares, 1e-9));
            const int largest = writerfuzz::largestDifference(want, back);
            if (jpeg ? psnr < 30 : largest > writerfuzz::tolerance(want))
                fail(c, QStringLiteral("frame %1 differs by up to %2%3").arg(f).arg(largest).arg(jpeg ? QStringLiteral(", luma PSNR %1 dB").arg(psnr) : QString()));
        }
    }
    QString report;
    for (const auto &[name, f] : failures)
        report += QStringLiteral("%1: %2 cases, e.g. %3\n").arg(QString::fromStdString(name)).arg(f.first).arg(f.second);
    EXPECT_TRUE(failures.empty()) << report.toStdString();
}
