#include "compose/TextPainter.h"

#include "core/HintedGlyphs.h"
#include "core/TextStamp.h"

#include <QFontMetrics>

#include <algorithm>
#include <climits>

Extrusion extrusionFor(int direction, int d)
{
    switch (direction) {
    case DirUpLeft: return {d, 0, -1, -1};
    case DirUpRight: return {-d, 0, 1, -1};
    case DirDownLeft: return {d, -2 * d, -1, 1};
    case DirDown: return {0, -d, 0, 1};
    case DirDownRight: return {-d, -d, 1, 1};
    case DirUp:
    default: return {0, 0, 0, -1};
    }
}

QPoint frontFacePosition(int X, int Y, int direction, int depth)
{
    // PaintGradientText starts at the start offset and takes d steps to the front copy.
    const Extrusion ex = extrusionFor(direction, depth);
    return {X + ex.startX + depth * ex.stepX, Y + ex.startY + depth * ex.stepY};
}

int alignedLineX(int X, int wmax, int w, int alignment)
{
    if (alignment == AlignRightCode)
        return X + wmax - w;
    if (alignment == AlignCenterCode)
        return X + wmax / 2 - w / 2;
    return X;
}

namespace {

bool whole(const ImageBox *b) { return b && !b->picture.isEmpty(); }

} // namespace

void ResizeLayers(PictureLayers &layers, int w, int h)
{
    for (ImageBox *b : {layers.bg, layers.texture, layers.surface, layers.textCreate, layers.title})
        if (b)
            SetImageSize(*b, w, h);
}

void InitPics(PictureLayers &layers)
{
    const int w = layers.title->width, h = layers.title->height;
    const Raster white(w, h);
    layers.title->picture = white;
    layers.textCreate->picture = white;
    layers.surface->picture = white;
    layers.bg->height = h;
    layers.bg->width = w;
    layers.bg->picture = white;
}

void InvertImage(Raster &raster)
{
    if (raster.isEmpty())
        return;
    QImage &img = raster.paintable();
    img.invertPixels(QImage::InvertRgb);
}

void PaintGradientText(PictureLayers &layers, const ItemAttributes &item, std::uint8_t style, int X, int Y,
                       TColor backColor, TColor frontColor, const ProgressFn &progress)
{
    Raster &L = layers.title->picture;
    CanvasFont &font = layers.titleFont;
    font.name = item.fontName;
    font.size = item.fontSize;
    const int d = item.depth;
    const QStringList &lines = item.lines;
    const int wmax = MaxLineWidth(font, lines);
    const QFont qfont = toQFont(font);
    const QFontMetrics fm(qfont);
    const int h = fm.height();
    const bool drawMask = d > 0 && item.surface.height() > 0;
    const Extrusion ex = extrusionFor(item.direction, d);
    const bool shadow = style == StyleShadow, flat = style == StyleFlat;

    if (L.isEmpty()) {
        if (progress) progress(100);
        return;
    }
    // Each line is rasterised once and its coverage blended at every layer's offset.
    QImage &picture = L.paintable();
    for (int j = 0; j < lines.size(); ++j) {
        const QString &text = lines[j];
        int x = alignedLineX(X, wmax, fm.horizontalAdvance(text), item.alignment);
        int y = Y + j * h;
        x += ex.startX;
        y += ex.startY;
        // Only the part of the line that one of the copies (and the blackened one beyond
        // them) can put on the picture is rasterised: a line far longer than the picture
        // costs no more than the picture.
        const QRect reach = stampReach(picture.size(), {x, y}, {ex.stepX, ex.stepY}, d + 1);
        const std::shared_ptr<const TextStamp> shaped = stampFor(text, qfont, {x, y}, reach);
        for (int i = 0; i <= d; ++i) {
            if (progress)
                progress(d == 0 ? 100 : 100 * i / d);
            const TColor c = ColorStep(backColor, frontColor, d, i);
            font.color = c;
            const bool draw = shadow ? (i == 0 || i == d) : flat ? (i == d) : true;
            if (draw)
                shaped->draw(picture, x, y, toQColor(c).rgba());
            x += ex.stepX;
            y += ex.stepY;
        }
        if (drawMask) {
            // The front face one step beyond the front layer, as black letters on the mask
            // and on the picture, so that the surface fill replaces exactly them. They take
            // every pixel the smooth letters touch: the front copy then shows only as a
            // one-pixel rim on the side the copies come from.
            constexpr QRgb black = 0xFF000000;
            if (whole(layers.textCreate)) {
                QImage &mask = layers.textCreate->picture.paintable();
                stampFor(text, toQFont(layers.maskFont), {x, y}, stampReach(mask.size(), {x, y}, {}, 0))
                    ->drawShape(mask, x, y, black);
            }
            shaped->drawShape(picture, x, y, black);
            font.color = Colors::clBlack;
        }
    }
    if (progress)
        progress(100);
}

void DrawText3D(PictureLayers &layers, const ItemAttributes &item, std::uint8_t style, int X, int Y,
                TColor backColor, TColor frontColor, const ProgressFn &progress)
{
    PaintGradientText(layers, item, style, X, Y, backColor, frontColor, progress);
    if (!layers.surface || layers.surface->picture.height() < 1)
        return;
    const int d = item.depth;
    // Without a surface picture or depth the mask holds no letters, and the fill below would
    // leave every pixel as it is.
    if (!(d > 0 && item.surface.height() > 0) || !whole(layers.textCreate) || !whole(layers.title))
        return;
    ImageBox &surface = *layers.surface;
    const qint64 width = qint64(MaxLineWidth(layers.titleFont, item.lines)) + d;
    const qint64 height = qint64(TextHeight(layers.titleFont)) * item.lines.size() + d;
    Raster &mask = layers.textCreate->picture;
    QImage &m = mask.paintable();
    // The surface picture is stretched over the item's whole block at (X - d, Y - d), but
    // only the part of the block on the mask is made: a block far larger than the picture
    // costs no more than the picture.
    const QRect block = QRect(X - d, Y - d, int(qMin<qint64>(width, INT_MAX / 2)), int(qMin<qint64>(height, INT_MAX / 2)));
    const QRect onMask = block & m.rect();
    if (!onMask.isEmpty()) {
        surface.picture.setSize(onMask.width(), onMask.height());
        StretchDraw(item.surface, surface.picture, block.width(), block.height(), onMask.topLeft() - block.topLeft());
        InvertImage(surface.picture);
        const QImage s = surface.picture.toRgb32();
        for (int y = onMask.top(); y <= onMask.bottom(); ++y) {
            QRgb *mp = reinterpret_cast<QRgb *>(m.scanLine(y));
            const QRgb *sp = reinterpret_cast<const QRgb *>(s.constScanLine(y - onMask.top()));
            for (int x = onMask.left(); x <= onMask.right(); ++x)
                mp[x] |= sp[x - onMask.left()];
        }
    }
    QImage &t = layers.title->picture.paintable();
    const int w = qMin(t.width(), m.width()), h = qMin(t.height(), m.height());
    // The surface is opaque, also on a picture with transparency.
    for (int y = 0; y < h; ++y) {
        QRgb *tp = reinterpret_cast<QRgb *>(t.scanLine(y));
        const QRgb *mp = reinterpret_cast<const QRgb *>(m.constScanLine(y));
        for (int x = 0; x < w; ++x)
            if (const QRgb face = ~mp[x] & 0x00FFFFFFu)
                tp[x] |= face | 0xFF000000u;
    }
    m.fill(qRgb(255, 255, 255));
}

void DrawItem(PictureLayers &layers, const ItemRow &row, const ItemAttributes &item, const ProgressFn &progress)
{
    layers.titleFont.name = item.fontName;
    layers.titleFont.size = item.fontSize;
    layers.titleFont.color = item.endColor;
    layers.titleFont.style = cellInteger(row.cells[CellStyleSet]) & 0xFF;
    layers.maskFont.name = item.fontName;
    layers.maskFont.style = item.styleSet;
    layers.maskFont.size = item.fontSize;
    const std::uint8_t style = std::uint8_t(cellInteger(row.cells[CellType]));
    DrawText3D(layers, item, style, positionValue(item.xText), positionValue(item.yText), item.endColor,
               item.startColor, progress);
}

QStringList editorLines(const QString &text)
{
    if (text.isEmpty())
        return {};
    QStringList lines = text.split(QLatin1Char('\n'));
    if (lines.size() > 1 && lines.last().isEmpty())
        lines.removeLast();
    for (QString &l : lines)
        if (l.endsWith(QLatin1Char('\r')))
            l.chop(1);
    return lines;
}

QString editorText(const QStringList &lines) { return lines.join(QLatin1Char('\n')); }

void ComposeItems(PictureLayers &layers, const ItemTable &table, const std::function<ItemAttributes(int)> &loadItem,
                  const ProgressFn &progress)
{
    ImageBox &title = *layers.title, &bg = *layers.bg;
    const bool bgFits = bg.picture.width() == bg.width && bg.picture.height() == bg.height;
    const bool titleFits = title.width == bg.width && title.height == bg.height && title.picture.width() == bg.width &&
                           title.picture.height() == bg.height && title.picture.bitCount() == 24;
    if (bgFits && titleFits && title.picture.image().isDetached()) {
        // A working picture of the right size that shares its pixels with nothing takes
        // the background into its own buffer: a fresh picture-sized buffer costs more to
        // map and fault in than the copy.
        CopyPixels(bg.picture, title.picture, 0, 0);
    } else if (bgFits && bg.picture.bitCount() == 24) {
        // The working picture starts as the background itself; the first drawing on it
        // makes its own copy, and a composition without items copies nothing.
        title.width = bg.width;
        title.height = bg.height;
        title.picture = bg.picture;
    } else {
        SetImageSize(title, bg.width, bg.height);
        CopyPixels(bg.picture, title.picture, 0, 0);
    }
    // A mask smaller than the background (the background grew without the other layers)
    // would stop surface fills at its edge and leave black letters beyond it.
    if (ImageBox *mask = layers.textCreate;
        mask && !mask->picture.isEmpty() && (mask->picture.width() != bg.width || mask->picture.height() != bg.height))
        SetImageSize(*mask, bg.width, bg.height);
    DrawItems(layers, table, loadItem, progress);
}

void DrawItems(PictureLayers &layers, const ItemTable &table, const std::function<ItemAttributes(int)> &loadItem,
               const ProgressFn &progress)
{
    for (int k = 0; k < ItemCount; ++k) {
        const ItemAttributes item = loadItem(k);
        if (!drawsText(item.lines))
            continue;
        DrawItem(layers, table.rows[size_t(k)], item, progress);
    }
}

void loadItemAsEditor(const ItemTable &table, int k, ItemAttributes &controls, std::uint8_t &type)
{
    loadItemRow(table.rows[size_t(k)], table.surfaces[size_t(k)], controls, type);
    controls.lines = editorLines(editorText(controls.lines));
}

Raster ComposePicture(Raster background, const ItemTable &table, ItemAttributes start,
                      const std::function<void(ItemAttributes &)> &adjust)
{
    // Only the layers the rows need: the working picture, which takes over the background's
    // pixels (a background nobody else holds is drawn on without a copy), and the mask and
    // surface layers when an item fills its letters with a picture (the surface layer takes
    // each item's block size by itself). Each is filled once.
    OwnedLayers owned;
    const int w = background.width(), h = background.height();
    background.setBitCount(24);
    owned.title.width = w;
    owned.title.height = h;
    owned.title.picture = std::move(background);
    if (std::any_of(table.surfaces.begin(), table.surfaces.end(), [](const Raster &s) { return s.height() > 0; })) {
        owned.textCreate.width = w;
        owned.textCreate.height = h;
        owned.textCreate.picture = Raster(w, h);
        owned.surface.picture = Raster(1, 1);
    }
    std::uint8_t type = 1;
    ItemAttributes controls = std::move(start);
    DrawItems(owned.layers, table, [&](int k) {
        loadItemAsEditor(table, k, controls, type);
        if (!adjust)
            return controls;
        ItemAttributes drawn = controls;
        adjust(drawn);
        return drawn;
    });
    return std::move(owned.title.picture);
}
