#include "imageio/WmfDevice.h"

#include "core/Raster.h"
#include "imageio/MetafileInternal.h"
#include "imageio/WmfChecks.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainterPath>
#include <QStringDecoder>

#include <cmath>

namespace metafile {
namespace {

constexpr quint16 BrushNull = 1, BrushHatched = 2;
constexpr quint16 PenNull = 5;
constexpr quint16 BackgroundOpaque = 2;
constexpr quint16 FillWinding = 2;
constexpr quint16 TextOpaque = 0x0002, TextClipped = 0x0004;
constexpr quint32 RopSrcPaint = 0x00EE0086, RopSrcAnd = 0x008800C6, RopSrcInvert = 0x00660046,
                  RopNotSrcCopy = 0x00330008, RopPatCopy = 0x00F00021, RopPatInvert = 0x005A0049,
                  RopDstInvert = 0x00550009, RopBlackness = 0x00000042, RopWhiteness = 0x00FF0062;
// Text beyond this many pixels high is not drawn: nothing that large fits a picture.
constexpr double MaxTextPixels = 4 * Raster::MaxSide;

WmfCanvas &canvasOf(wmfAPI *api) { return **static_cast<WmfCanvas **>(api->device_data); }

QColor colorOf(const wmfRGB &c) { return QColor(c.r, c.g, c.b); }

bool usable(const wmfD_Coord &p)
{
    return std::isfinite(p.x) && std::isfinite(p.y) && std::fabs(p.x) < CoordinateLimit &&
           std::fabs(p.y) < CoordinateLimit;
}

QPointF pointOf(const wmfD_Coord &p) { return {p.x, p.y}; }

QString decodeText(const char *text)
{
    QStringDecoder decoder("windows-1252");
    if (!decoder.isValid())
        return QString::fromLatin1(text);
    return decoder.decode(QByteArrayView(text));
}

QFont fontOf(const wmfFont *f)
{
    QFont font(f && f->lfFaceName && *f->lfFaceName ? decodeText(f->lfFaceName) : QStringLiteral("Arial"));
    if (f) {
        font.setWeight(QFont::Weight(qBound(100, f->lfWeight ? int(f->lfWeight) : 400, 900)));
        font.setItalic(f->lfItalic != 0);
        font.setUnderline(f->lfUnderline != 0);
        font.setStrikeOut(f->lfStrikeOut != 0);
    }
    return font;
}

QPen penOf(const wmfDC *dc)
{
    const wmfPen *pen = dc ? dc->pen : nullptr;
    if (!pen || (pen->lopnStyle & 0x0F) == PenNull)
        return Qt::NoPen;
    QPen qpen(colorOf(pen->lopnColor));
    const double width = (std::fabs(pen->width) + std::fabs(pen->height)) / 2;
    qpen.setWidthF(std::isfinite(width) && width < CoordinateLimit ? width : 0);
    switch (pen->lopnStyle & 0x0F) {
    case 1: qpen.setStyle(Qt::DashLine); break;
    case 2: case 8: qpen.setStyle(Qt::DotLine); break;
    case 3: qpen.setStyle(Qt::DashDotLine); break;
    case 4: qpen.setStyle(Qt::DashDotDotLine); break;
    default: break;
    }
    const quint16 cap = pen->lopnStyle & 0x0F00, join = pen->lopnStyle & 0xF000;
    qpen.setCapStyle(cap == 0x0100 ? Qt::SquareCap : cap == 0x0200 ? Qt::FlatCap : Qt::RoundCap);
    qpen.setJoinStyle(join == 0x1000 ? Qt::BevelJoin : join == 0x2000 ? Qt::MiterJoin : Qt::RoundJoin);
    return qpen;
}

QBrush brushOf(WmfCanvas &c, const wmfBrush *brush)
{
    const QColor color = colorOf(brush->lbColor);
    if (brush->lbStyle == BrushHatched) {
        static const Qt::BrushStyle hatches[] = {Qt::HorPattern, Qt::VerPattern, Qt::FDiagPattern,
                                                 Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
        return QBrush(color, brush->lbHatch < 6 ? hatches[brush->lbHatch] : Qt::SolidPattern);
    }
    if (brush->bmp.data) {
        const auto found = c.bitmaps.find(brush->bmp.data);
        if (found != c.bitmaps.end())
            return QBrush(*found->second);
    }
    return QBrush(color);
}

// The DC's binary raster operation as a composition mode; false when nothing is drawn.
bool applyMix(QPainter &p, quint16 mix)
{
    static const QPainter::CompositionMode modes[] = {
        QPainter::RasterOp_ClearDestination,           // R2_BLACK
        QPainter::RasterOp_NotSourceAndNotDestination, // R2_NOTMERGEPEN
        QPainter::RasterOp_NotSourceAndDestination,    // R2_MASKNOTPEN
        QPainter::RasterOp_NotSource,                  // R2_NOTCOPYPEN
        QPainter::RasterOp_SourceAndNotDestination,    // R2_MASKPENNOT
        QPainter::RasterOp_NotDestination,             // R2_NOT
        QPainter::RasterOp_SourceXorDestination,       // R2_XORPEN
        QPainter::RasterOp_NotSourceOrNotDestination,  // R2_NOTMASKPEN
        QPainter::RasterOp_SourceAndDestination,       // R2_MASKPEN
        QPainter::RasterOp_NotSourceXorDestination,    // R2_NOTXORPEN
        QPainter::CompositionMode_SourceOver,          // R2_NOP (not drawn)
        QPainter::RasterOp_NotSourceOrDestination,     // R2_MERGENOTPEN
        QPainter::CompositionMode_SourceOver,          // R2_COPYPEN
        QPainter::RasterOp_SourceOrNotDestination,     // R2_MERGEPENNOT
        QPainter::RasterOp_SourceOrDestination,        // R2_MERGEPEN
        QPainter::RasterOp_SetDestination,             // R2_WHITE
    };
    if (mix == 11)
        return false;
    if (mix >= 1 && mix <= 16 && mix != 13) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setCompositionMode(modes[mix - 1]);
    }
    return true;
}

void fillPath(WmfCanvas &c, QPainter &p, const wmfDC *dc, const QPainterPath &path)
{
    const wmfBrush *brush = dc->brush;
    if (!brush || brush->lbStyle == BrushNull)
        return;
    if (brush->lbStyle == BrushHatched && dc->bgmode == BackgroundOpaque)
        p.fillPath(path, colorOf(dc->bgcolor));
    p.fillPath(path, brushOf(c, brush));
}

// Fills a shape with the DC's brush (when fill is set) and outlines it with its pen.
void paintPath(wmfAPI *api, const wmfDC *dc, QPainterPath path, bool fill)
{
    WmfCanvas &c = canvasOf(api);
    if (!c.painter || !dc)
        return;
    QPainter &p = *c.painter;
    p.save();
    if (applyMix(p, dc->ROPmode)) {
        path.setFillRule(dc->polyfillmode == FillWinding ? Qt::WindingFill : Qt::OddEvenFill);
        if (fill)
            fillPath(c, p, dc, path);
        const QPen pen = penOf(dc);
        if (pen.style() != Qt::NoPen)
            p.strokePath(path, pen);
    }
    p.restore();
}

QPolygonF polygonOf(const wmfD_Coord *points, unsigned count)
{
    QPolygonF polygon;
    if (!points)
        return polygon;
    polygon.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
        if (!usable(points[i]))
            return {};
        polygon << pointOf(points[i]);
    }
    return polygon;
}

void drawPixel(wmfAPI *api, wmfDrawPixel_t *d)
{
    WmfCanvas &c = canvasOf(api);
    if (c.painter && usable(d->pt))
        c.painter->fillRect(QRectF(pointOf(d->pt), QSizeF(d->pixel_width, d->pixel_height)), colorOf(d->color));
}

enum class ArcKind { Open, Chord, Pie };

void drawArcShape(wmfAPI *api, wmfDrawArc_t *d, ArcKind kind)
{
    if (!usable(d->TL) || !usable(d->BR) || !usable(d->start) || !usable(d->end))
        return;
    const QRectF box = QRectF(pointOf(d->TL), pointOf(d->BR)).normalized();
    const double rx = box.width() / 2, ry = box.height() / 2;
    if (rx <= 0 || ry <= 0)
        return;
    // The player gives the radial points relative to the centre, and names the record's
    // end point "start"; GDI arcs run counter-clockwise from the start point to the end point.
    const auto angle = [&](const wmfD_Coord &v) { return qRadiansToDegrees(std::atan2(-v.y / ry, v.x / rx)); };
    const double start = angle(d->end);
    double sweep = angle(d->start) - start;
    if (sweep <= 0)
        sweep += 360;
    QPainterPath path;
    if (kind == ArcKind::Pie)
        path.moveTo(box.center());
    else
        path.arcMoveTo(box, start);
    path.arcTo(box, start, sweep);
    if (kind != ArcKind::Open)
        path.closeSubpath();
    paintPath(api, d->dc, path, kind != ArcKind::Open);
}

void drawPie(wmfAPI *api, wmfDrawArc_t *d) { drawArcShape(api, d, ArcKind::Pie); }
void drawChord(wmfAPI *api, wmfDrawArc_t *d) { drawArcShape(api, d, ArcKind::Chord); }
void drawArc(wmfAPI *api, wmfDrawArc_t *d) { drawArcShape(api, d, ArcKind::Open); }

void drawEllipse(wmfAPI *api, wmfDrawArc_t *d)
{
    if (!usable(d->TL) || !usable(d->BR))
        return;
    QPainterPath path;
    path.addEllipse(QRectF(pointOf(d->TL), pointOf(d->BR)).normalized());
    paintPath(api, d->dc, path, true);
}

void drawLine(wmfAPI *api, wmfDrawLine_t *d)
{
    if (!usable(d->from) || !usable(d->to))
        return;
    QPainterPath path(pointOf(d->from));
    path.lineTo(pointOf(d->to));
    paintPath(api, d->dc, path, false);
}

void drawPolyline(wmfAPI *api, wmfPolyLine_t *d)
{
    QPainterPath path;
    path.addPolygon(polygonOf(d->pt, d->count));
    paintPath(api, d->dc, path, false);
}

void drawPolygon(wmfAPI *api, wmfPolyLine_t *d)
{
    QPainterPath path;
    path.addPolygon(polygonOf(d->pt, d->count));
    path.closeSubpath();
    paintPath(api, d->dc, path, true);
}

void drawPolyPolygon(wmfAPI *api, wmfPolyPoly_t *d)
{
    if (!d->pt || !d->count)
        return;
    QPainterPath path;
    for (unsigned i = 0; i < d->npoly; ++i) {
        path.addPolygon(polygonOf(d->pt[i], d->count[i]));
        path.closeSubpath();
    }
    paintPath(api, d->dc, path, true);
}

void drawRectangle(wmfAPI *api, wmfDrawRectangle_t *d)
{
    if (!usable(d->TL) || !usable(d->BR))
        return;
    const QRectF box = QRectF(pointOf(d->TL), pointOf(d->BR)).normalized();
    QPainterPath path;
    if (d->width > 0 && d->height > 0 && std::isfinite(d->width) && std::isfinite(d->height))
        path.addRoundedRect(box, d->width / 2, d->height / 2);
    else
        path.addRect(box);
    paintPath(api, d->dc, path, true);
}

// Pattern blocks: the few raster operations that use no source bitmap.
void drawRop(wmfAPI *api, wmfROP_Draw_t *d)
{
    WmfCanvas &c = canvasOf(api);
    if (!c.painter || !d->dc || !usable(d->TL) || !usable(d->BR))
        return;
    QPainter &p = *c.painter;
    QPainterPath path;
    path.addRect(QRectF(pointOf(d->TL), pointOf(d->BR)).normalized());
    p.save();
    switch (d->ROP) {
    case RopPatCopy: fillPath(c, p, d->dc, path); break;
    case RopBlackness: p.fillPath(path, Qt::black); break;
    case RopWhiteness: p.fillPath(path, Qt::white); break;
    case RopDstInvert:
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setCompositionMode(QPainter::RasterOp_NotDestination);
        p.fillPath(path, Qt::black);
        break;
    case RopPatInvert:
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        fillPath(c, p, d->dc, path);
        break;
    default: break;
    }
    p.restore();
}

void readBitmap(wmfAPI *api, wmfBMP_Read_t *r)
{
    r->bmp.data = nullptr;
    r->bmp.width = r->bmp.height = 0;
    if (!r->buffer || r->length <= 0)
        return;
    const Bytes b(r->buffer, qsizetype(r->length));
    DibLayout layout;
    if (!dibLayout(b, 0, b.size, layout))
        return;
    WmfCanvas &c = canvasOf(api);
    const qint64 bytes = layout.width * layout.height * 4;
    if (c.bitmapBytes + bytes > Raster::MaxBytes) {
        c.tooLarge = true;
        api->err = wmf_E_InsMem;
        return;
    }
    // A BMP file header in front lets Qt's BMP reader decode the DIB.
    QByteArray file(14, '\0');
    file[0] = 'B';
    file[1] = 'M';
    putU32(file, 2, quint32(14 + b.size));
    putU32(file, 10, quint32(14 + layout.headerBytes));
    file.append(reinterpret_cast<const char *>(r->buffer), b.size);
    auto image = std::make_unique<QImage>();
    if (!image->loadFromData(file, "BMP") || image->isNull() || image->width() > 0xFFFF || image->height() > 0xFFFF)
        return;
    r->bmp.width = quint16(image->width());
    r->bmp.height = quint16(image->height());
    r->bmp.data = image.get();
    c.bitmapBytes += image->sizeInBytes();
    c.bitmaps.emplace(image.get(), std::move(image));
}

void freeBitmap(wmfAPI *api, wmfBMP *bmp)
{
    WmfCanvas &c = canvasOf(api);
    const auto found = c.bitmaps.find(bmp->data);
    if (found != c.bitmaps.end()) {
        c.bitmapBytes -= found->second->sizeInBytes();
        c.bitmaps.erase(found);
    }
    bmp->data = nullptr;
}

void drawBitmap(wmfAPI *api, wmfBMP_Draw_t *d)
{
    WmfCanvas &c = canvasOf(api);
    const auto found = c.bitmaps.find(d->bmp.data);
    if (!c.painter || found == c.bitmaps.end() || !usable(d->pt))
        return;
    const QImage &image = *found->second;
    // Source rectangles are taken from the top row, as the player reports them.
    const QRect source = QRect(d->crop.x, d->crop.y, d->crop.w, d->crop.h) & image.rect();
    const double w = source.width() * std::fabs(d->pixel_width), h = source.height() * std::fabs(d->pixel_height);
    if (source.isEmpty() || !std::isfinite(w) || !std::isfinite(h) || w > CoordinateLimit || h > CoordinateLimit)
        return;
    QPainter &p = *c.painter;
    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
    switch (d->type) {
    case RopSrcAnd: mode = QPainter::RasterOp_SourceAndDestination; break;
    case RopSrcPaint: mode = QPainter::RasterOp_SourceOrDestination; break;
    case RopSrcInvert: mode = QPainter::RasterOp_SourceXorDestination; break;
    case RopNotSrcCopy: mode = QPainter::RasterOp_NotSource; break;
    default: break;
    }
    if (mode != QPainter::CompositionMode_SourceOver)
        p.setRenderHint(QPainter::Antialiasing, false);
    p.setCompositionMode(mode);
    p.drawImage(QRectF(pointOf(d->pt), QSizeF(w, h)), image, source);
    p.restore();
}

void drawText(wmfAPI *api, wmfDrawText_t *t)
{
    WmfCanvas &c = canvasOf(api);
    if (!c.painter || !t->dc || !t->str || !usable(t->pt))
        return;
    const double pixels = std::fabs(t->font_height) * c.scaleY;
    if (!(pixels >= 0.5) || pixels > MaxTextPixels)
        return;
    QFont font = fontOf(t->dc->font);
    font.setPixelSize(qMax(1, qRound(pixels)));
    const QString text = decodeText(t->str);
    QPainter &p = *c.painter;
    p.save();
    if ((t->flags & (TextOpaque | TextClipped)) && usable(t->TL) && usable(t->BR)) {
        const QRectF box = QRectF(pointOf(t->TL), pointOf(t->BR)).normalized();
        if (t->flags & TextOpaque)
            p.fillRect(box, colorOf(t->dc->bgcolor));
        if (t->flags & TextClipped)
            p.setClipRect(box, Qt::IntersectClip);
    }
    // The reference point is on the baseline; escapement turns the text counter-clockwise.
    const QPointF at = p.transform().map(pointOf(t->pt));
    p.resetTransform();
    p.translate(at);
    if (t->dc->font)
        p.rotate(-t->dc->font->lfEscapement / 10.0);
    const QFontMetricsF metrics(font);
    if (t->dc->bgmode == BackgroundOpaque)
        p.fillRect(QRectF(0, -metrics.ascent(), metrics.horizontalAdvance(text), metrics.height()),
                   colorOf(t->dc->bgcolor));
    p.setFont(font);
    p.setPen(colorOf(t->dc->textcolor));
    p.drawText(QPointF(0, 0), text);
    p.restore();
}

QPainterPath regionPath(const wmfPolyRectangle_t *r, double inset = 0)
{
    QPainterPath path;
    if (!r->TL || !r->BR)
        return path;
    for (unsigned i = 0; i < r->count; ++i) {
        if (!usable(r->TL[i]) || !usable(r->BR[i]))
            continue;
        const QRectF box = QRectF(pointOf(r->TL[i]), pointOf(r->BR[i])).normalized();
        path.addRect(box);
        if (inset > 0)
            path.addRect(box.adjusted(r->width, r->height, -r->width, -r->height));
    }
    return path;
}

void regionClip(wmfAPI *api, wmfPolyRectangle_t *r)
{
    WmfCanvas &c = canvasOf(api);
    if (!c.painter)
        return;
    if (r->count == 0) {
        c.painter->setClipRect(c.area);
    } else {
        c.painter->setClipPath(regionPath(r));
        c.painter->setClipRect(c.area, Qt::IntersectClip);
    }
}

void regionPaint(wmfAPI *api, wmfPolyRectangle_t *r)
{
    WmfCanvas &c = canvasOf(api);
    if (c.painter && r->dc)
        fillPath(c, *c.painter, r->dc, regionPath(r));
}

void regionFrame(wmfAPI *api, wmfPolyRectangle_t *r)
{
    WmfCanvas &c = canvasOf(api);
    if (!c.painter || !r->dc || !(r->width > 0) || !(r->height > 0))
        return;
    QPainterPath frame = regionPath(r, 1);
    frame.setFillRule(Qt::OddEvenFill);
    fillPath(c, *c.painter, r->dc, frame);
}

} // namespace

float stringWidth(wmfAPI *, wmfFont *font, char *text)
{
    if (!text)
        return 0;
    QFont f = fontOf(font);
    f.setPixelSize(256);
    return float(QFontMetricsF(f).horizontalAdvance(decodeText(text)) / 256);
}

void mapFont(wmfAPI *, wmfFont *) {}

void installDevice(wmfAPI *api)
{
    auto *fr = static_cast<wmfFunctionReference *>(api->function_reference);
    fr->draw_pixel = drawPixel;
    fr->draw_pie = drawPie;
    fr->draw_chord = drawChord;
    fr->draw_arc = drawArc;
    fr->draw_ellipse = drawEllipse;
    fr->draw_line = drawLine;
    fr->poly_line = drawPolyline;
    fr->draw_polygon = drawPolygon;
    fr->draw_polypolygon = drawPolyPolygon;
    fr->draw_rectangle = drawRectangle;
    fr->rop_draw = drawRop;
    fr->bmp_draw = drawBitmap;
    fr->bmp_read = readBitmap;
    fr->bmp_free = freeBitmap;
    fr->draw_text = drawText;
    fr->region_frame = regionFrame;
    fr->region_paint = regionPaint;
    fr->region_clip = regionClip;
    // Filled in with the canvas once the handle exists.
    api->device_data = wmf_malloc(api, sizeof(WmfCanvas *));
}

} // namespace metafile
