#include "compose/PictureExport.h"

#include "compose/TextPainter.h"
#include "core/Errors.h"
#include "core/FileBytes.h"
#include "core/HintedGlyphs.h"
#include "core/MessageText.h"
#include "imageio/ApngWriter.h"
#include "imageio/PictureFiles.h"
#include "imageio/PngCodec.h"
#include "imageio/TiffCodec.h"

#include <QFontMetrics>

#include <algorithm>
#include <cmath>

namespace {

struct FormatName { ExportFormat format; const char *extension; };
const FormatName formatNames[] = {{ExportFormat::Png, ".png"}, {ExportFormat::Tiff, ".tif"}, {ExportFormat::Jpeg, ".jpg"},
                                  {ExportFormat::Bmp, ".bmp"}, {ExportFormat::Svg, ".svg"}, {ExportFormat::Pdf, ".pdf"},
                                  {ExportFormat::Webp, ".webp"}};

QImage stretchedSmoothly(const QImage &image, int width, int height)
{
    if (image.width() == width && image.height() == height)
        return image;
    return image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// The rows with every surface picture stretched smoothly by k; the painter then fits the
// larger picture to the larger letters.
ItemTable withScaledSurfaces(const ItemTable &table, int k)
{
    ItemTable scaled = table;
    if (k > 1)
        for (Raster &s : scaled.surfaces)
            if (!s.isEmpty())
                s = Raster::fromImage(stretchedSmoothly(s.toRgb32(), s.width() * k, s.height() * k), 24);
    return scaled;
}

void checkSize(QSize picture, int scale)
{
    if (scale < MinExportScale || scale > MaxExportScale)
        throw LetrafexError(messageText("The scale must be 1, 2, 3 or 4, not %1").arg(scale));
    if (!exportSizeAllowed(picture, scale)) {
        const QSize s = exportSize(picture, scale);
        throw LetrafexError(Raster::sizeRefusal(s.width(), s.height()));
    }
}

// The composition at scale k; growth, when given, is the step of the growing animation.
struct Growth
{
    int step = GrowSteps;
};

Raster composeAt(Raster background, const ItemTable &scaledTable, int k, const ItemAttributes &start,
                 Growth growth = {})
{
    return ComposePicture(std::move(background), scaledTable, start, [k, growth](ItemAttributes &item) {
        scaleItem(item, k);
        growItem(item, growth.step, GrowSteps);
    });
}

// Whether every pixel of the raster has one colour, and which.
bool oneColour(const Raster &raster, QRgb &colour)
{
    const QImage image = raster.toRgb32();
    if (image.isNull())
        return false;
    colour = image.pixel(0, 0);
    for (int y = 0; y < image.height(); ++y) {
        const QRgb *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        if (std::any_of(row, row + image.width(), [colour](QRgb p) { return p != colour; }))
            return false;
    }
    return true;
}

// The background stretched smoothly to size. A background of one colour (a plain white
// picture, say) stretches to that colour everywhere, so it is made at its size directly.
Raster stretchedBackground(const Raster &background, QSize size)
{
    QRgb colour = 0;
    if (QSize(background.width(), background.height()) != size && oneColour(background, colour))
        return Raster(size.width(), size.height(), 24, fromRgb(colour));
    return Raster::fromImage(stretchedSmoothly(background.toRgb32(), size.width(), size.height()), 24);
}

// Premultiplied pixels to straight alpha, in place: each colour channel divided by the
// cover, rounded.
void unpremultiply(QImage &image)
{
    for (int y = 0; y < image.height(); ++y) {
        QRgb *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = row[x];
            const int a = qAlpha(p);
            if (a == 255 || p == 0)
                continue;
            auto straight = [a](int c) { return std::min(255, (c * 255 + a / 2) / a); };
            row[x] = a == 0 ? 0 : qRgba(straight(qRed(p)), straight(qGreen(p)), straight(qBlue(p)), a);
        }
    }
    image.reinterpretAsFormat(QImage::Format_ARGB32);
}

// A picture drawn over Raster::transparent, in straight alpha.
QImage straightAlpha(Raster composed)
{
    QImage image = composed.image();
    composed = Raster();
    unpremultiply(image);
    return image;
}

// Calls draw(row, item) for each item the composition draws, loaded as ComposePicture
// loads it and scaled by k.
template <typename Draw>
void forEachDrawnItem(const ItemTable &table, ItemAttributes controls, int k, Draw draw)
{
    std::uint8_t type = 1;
    for (int i = 0; i < ItemCount; ++i) {
        loadItemAsEditor(table, i, controls, type);
        if (!drawsText(controls.lines))
            continue;
        ItemAttributes item = controls;
        scaleItem(item, k);
        draw(table.rows[size_t(i)], item);
    }
}

// One item's layers as PaintGradientText places them, and its surface fill as DrawText3D
// places it, each line's outline added to the scene once.
void addItem(VectorScene &scene, const ItemRow &row, const ItemAttributes &item)
{
    const CanvasFont font{item.fontName, item.fontSize, cellInteger(row.cells[CellStyleSet]) & 0xFF, Colors::clBlack};
    const QFont qfont = toQFont(font);
    const QFontMetrics fm(qfont);
    const int X = positionValue(item.xText), Y = positionValue(item.yText), d = item.depth;
    const int wmax = MaxLineWidth(font, item.lines);
    const int style = cellInteger(row.cells[CellType]);
    const Extrusion ex = extrusionFor(item.direction, d);
    const bool fill = d > 0 && item.surface.height() > 0;
    const QRectF surfaceRect(X - d, Y - d, wmax + d, TextHeight(font) * int(item.lines.size()) + d);
    std::vector<VectorStep> fills;
    for (int j = 0; j < item.lines.size(); ++j) {
        const QString &text = item.lines[j];
        const int shape = int(scene.shapes.size());
        scene.shapes.push_back(HintedTextLine(text, qfont, true).outline());
        QPoint at(alignedLineX(X, wmax, fm.horizontalAdvance(text), item.alignment) + ex.startX,
                  Y + j * fm.height() + ex.startY);
        for (int i = 0; i <= d; ++i) {
            const bool drawn = style == StyleShadow ? (i == 0 || i == d) : style == StyleFlat ? i == d : true;
            if (drawn)
                scene.steps.push_back({shape, at, toRgb(ColorStep(item.endColor, item.startColor, d, i)), -1, {}});
            at += QPoint(ex.stepX, ex.stepY);
        }
        if (fill)
            fills.push_back({shape, at, 0, int(scene.pictures.size()), surfaceRect});
    }
    if (fill) {
        // Stretched here as the painter stretches it, so the file shows the same pixels.
        Raster stretched(int(surfaceRect.width()), int(surfaceRect.height()));
        StretchDraw(item.surface, stretched, stretched.width(), stretched.height());
        scene.pictures.push_back(stretched.toRgb32());
    }
    scene.steps.insert(scene.steps.end(), fills.begin(), fills.end());
}

} // namespace

QString exportExtension(ExportFormat format)
{
    for (const FormatName &f : formatNames)
        if (f.format == format)
            return QLatin1String(f.extension);
    return {};
}

bool exportFormatFor(const QString &fileName, ExportFormat &format)
{
    // The picture formats in every spelling their reader takes (.jpeg, .tiff, .dib).
    switch (pictureReaderFor(fileName)) {
    case ReaderPng: format = ExportFormat::Png; return true;
    case ReaderTiff: format = ExportFormat::Tiff; return true;
    case ReaderJpeg: format = ExportFormat::Jpeg; return true;
    case ReaderBmp: format = ExportFormat::Bmp; return true;
    case ReaderWebp: format = ExportFormat::Webp; return true;
    default: break;
    }
    const QString ext = fileExtension(fileName).toLower();
    for (const FormatName &f : formatNames)
        if (ext == QLatin1String(f.extension)) {
            format = f.format;
            return true;
        }
    return false;
}

bool exportKeepsTransparency(ExportFormat format) { return format != ExportFormat::Jpeg && format != ExportFormat::Bmp; }

bool exportAnimates(ExportFormat format) { return format == ExportFormat::Png || format == ExportFormat::Webp; }

QSize exportSize(QSize picture, int scale) { return picture * scale; }

bool exportSizeAllowed(QSize picture, int scale)
{
    return picture.width() > 0 && picture.height() > 0 &&
           Raster::sizeAllowed(qint64(picture.width()) * scale, qint64(picture.height()) * scale);
}

void scaleItem(ItemAttributes &item, int k)
{
    if (k == 1)
        return;
    item.fontSize *= k;
    item.depth *= k;
    item.xText = QString::number(qint64(positionValue(item.xText)) * k);
    item.yText = QString::number(qint64(positionValue(item.yText)) * k);
}

void growItem(ItemAttributes &item, int step, int steps)
{
    if (steps <= 0 || step >= steps || item.depth <= 0)
        return;
    const int d = item.depth, now = d * qMax(0, step) / steps;
    const int X = positionValue(item.xText), Y = positionValue(item.yText);
    const QPoint front = frontFacePosition(X, Y, item.direction, d) - frontFacePosition(X, Y, item.direction, now);
    item.depth = now;
    item.xText = QString::number(X + front.x());
    item.yText = QString::number(Y + front.y());
}

Raster ComposeScaled(const Raster &background, const ItemTable &table, int scale, const ItemAttributes &start)
{
    const QSize size(background.width(), background.height());
    checkSize(size, scale);
    return composeAt(stretchedBackground(background, exportSize(size, scale)), withScaledSurfaces(table, scale), scale,
                     start);
}

QImage ComposeTransparent(QSize size, const ItemTable &table, int scale, const ItemAttributes &start)
{
    checkSize(size, scale);
    const QSize big = exportSize(size, scale);
    // Drawn once over nothing: every layer blends onto the premultiplied picture as onto
    // any other, so covers add up as they do over a background.
    return straightAlpha(
        composeAt(Raster::transparent(big.width(), big.height()), withScaledSurfaces(table, scale), scale, start));
}

VectorScene ComposeVector(const Raster &background, const ItemTable &table, int scale, bool transparent,
                          const ItemAttributes &start)
{
    VectorScene scene;
    scene.size = exportSize(QSize(background.width(), background.height()), scale);
    if (!transparent)
        scene.background = background.toRgb32();
    forEachDrawnItem(withScaledSurfaces(table, scale), start, scale, [&](const ItemRow &row, const ItemAttributes &item) { addItem(scene, row, item); });
    return scene;
}

namespace {

// Hands frames on to the writer, joining a frame that looks like the one before it into
// that one's time.
class FrameQueue
{
public:
    explicit FrameQueue(AnimationWriter &writer) : writer_(writer) {}
    void add(QImage frame, int delayMs)
    {
        if (!pending_.isNull() && frame == pending_) {
            pendingMs_ += delayMs;
            return;
        }
        flush();
        pending_ = std::move(frame);
        pendingMs_ = delayMs;
    }
    void flush()
    {
        if (!pending_.isNull())
            writer_.addFrame(pending_, pendingMs_);
        pending_ = QImage();
    }

private:
    AnimationWriter &writer_;
    QImage pending_;
    int pendingMs_ = 0;
};

std::unique_ptr<AnimationWriter> animationWriter(const QString &fileName, QSize size, const ExportOptions &options,
                                                 bool transparent)
{
    if (options.format == ExportFormat::Png)
        return newApngAnimation(size.width(), size.height(), transparent);
    try {
        return newWebpAnimation(size.width(), size.height(), options.webp);
    } catch (const LetrafexError &e) {
        throw LetrafexError(messageText("The WebP file \"%1\" could not be written: %2").arg(nativeFilePath(fileName), e.text()));
    }
}

// The growing animation: every frame composed as the still picture is, at its step.
void exportAnimation(const QString &fileName, const Raster &background, const ItemTable &table,
                     const ExportOptions &options, bool transparent, const ItemAttributes &start)
{
    const QSize size(background.width(), background.height());
    checkSize(size, options.scale);
    const QSize big = exportSize(size, options.scale);
    const std::unique_ptr<AnimationWriter> writer = animationWriter(fileName, big, options, transparent);
    const ItemTable scaled = withScaledSurfaces(table, options.scale);
    const Raster back = transparent ? Raster::transparent(big.width(), big.height()) : stretchedBackground(background, big);
    FrameQueue frames(*writer);
    for (int step = 0; step <= GrowSteps; ++step) {
        Raster frame = composeAt(back, scaled, options.scale, start, Growth{step});
        const int delay = step < GrowSteps ? GrowStepMs : GrowHoldMs;
        frames.add(transparent ? straightAlpha(std::move(frame)) : frame.toRgb32(), delay);
    }
    frames.flush();
    writer->save(fileName);
}

} // namespace

void ExportPicture(const QString &fileName, const Raster &background, const ItemTable &table,
                   const ExportOptions &options, const ItemAttributes &start)
{
    const bool transparent = options.transparent && exportKeepsTransparency(options.format);
    const QSize size(background.width(), background.height());
    if (options.animate && exportAnimates(options.format)) {
        exportAnimation(fileName, background, table, options, transparent, start);
        return;
    }
    switch (options.format) {
    case ExportFormat::Webp:
        SaveWebpFile(fileName,
                     transparent ? ComposeTransparent(size, table, options.scale, start)
                                 : ComposeScaled(background, table, options.scale, start).toRgb32(),
                     options.webp);
        return;
    case ExportFormat::Svg:
    case ExportFormat::Pdf: {
        checkSize(size, 1);
        const VectorScene scene = ComposeVector(background, table, options.scale, transparent, start);
        writeWholeFile(fileName, options.format == ExportFormat::Svg ? WriteSvg(scene) : WritePdf(scene));
        return;
    }
    case ExportFormat::Png: {
        QString error;
        if (transparent && !SavePngRgba(fileName, ComposeTransparent(size, table, options.scale, start), &error))
            throw LetrafexError(error);
        break;
    }
    case ExportFormat::Tiff:
        if (transparent)
            SaveTiffRgbaFile(fileName, ComposeTransparent(size, table, options.scale, start));
        break;
    default:
        break;
    }
    if (transparent)
        return;
    const SaveFilter writers[] = {SavePng, SaveTiff, SaveJpeg, SaveBitmap};
    savePictureFile(fileName, writers[int(options.format)], ComposeScaled(background, table, options.scale, start));
}
