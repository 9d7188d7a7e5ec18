#include "imageio/VectorFiles.h"

#include <QBuffer>
#include <QByteArray>

#include <algorithm>
#include <cmath>

namespace {

// A number with at most the given decimals and no trailing zeros.
QByteArray num(qreal v, int decimals = 2)
{
    const qreal unit = std::pow(10.0, decimals);
    const qreal r = std::round(v * unit) / unit;
    if (r == std::floor(r))
        return QByteArray::number(qint64(r));
    QByteArray s = QByteArray::number(r, 'f', decimals);
    while (s.endsWith('0'))
        s.chop(1);
    return s;
}

// The path as moves, lines and cubic curves: SVG puts the command before its points
// ("M 1 2"), PDF after them ("1 2 m").
enum class Syntax { Svg, Pdf };

QByteArray pathData(const QPainterPath &path, Syntax syntax)
{
    const bool svg = syntax == Syntax::Svg;
    QByteArray out;
    auto command = [&](const char *svgWord, const char *pdfWord, const QByteArray &points) {
        out += svg ? QByteArray(svgWord) + points : points + pdfWord + '\n';
    };
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        const QByteArray point = num(e.x) + ' ' + num(e.y) + ' ';
        if (e.isCurveTo() && i + 2 < path.elementCount()) {
            const QPainterPath::Element c2 = path.elementAt(i + 1), end = path.elementAt(i + 2);
            command("C", "c", point + num(c2.x) + ' ' + num(c2.y) + ' ' + num(end.x) + ' ' + num(end.y) + ' ');
            i += 2;
        } else {
            command(e.isMoveTo() ? "M" : "L", e.isMoveTo() ? "m" : "l", point);
        }
    }
    return out;
}

QByteArray pngBytes(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.convertToFormat(QImage::Format_RGB32).save(&buffer, "PNG");
    return bytes;
}

QByteArray hexColor(QRgb c)
{
    return QByteArray("#") + QByteArray::number((c & 0xFFFFFFu) | 0x1000000u, 16).mid(1);
}

// ------------------------------------------------------------------------------ SVG

QByteArray svgImage(const QImage &image, const QRectF &r, const QByteArray &extra)
{
    return "<image x=\"" + num(r.x()) + "\" y=\"" + num(r.y()) + "\" width=\"" + num(r.width()) + "\" height=\"" +
           num(r.height()) + "\" preserveAspectRatio=\"none\"" + extra + " xlink:href=\"data:image/png;base64," +
           pngBytes(image).toBase64() + "\"/>\n";
}

QByteArray svgUse(int shape, QPoint at, const QByteArray &fill)
{
    return "<use xlink:href=\"#s" + QByteArray::number(shape) + "\" x=\"" + QByteArray::number(at.x()) + "\" y=\"" +
           QByteArray::number(at.y()) + "\"" + fill + "/>";
}

// ------------------------------------------------------------------------------ PDF

QByteArray deflate(const QByteArray &data)
{
    return qCompress(data, 9).mid(4); // qCompress puts the length before the zlib stream
}

QByteArray pdfStream(const QByteArray &dict, const QByteArray &data)
{
    const QByteArray packed = deflate(data);
    return "<< " + dict + " /Filter /FlateDecode /Length " + QByteArray::number(packed.size()) + " >>\nstream\n" +
           packed + "\nendstream";
}

QByteArray pdfImage(const QImage &image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    QByteArray raw;
    raw.reserve(qsizetype(rgb.width()) * 3 * rgb.height());
    for (int y = 0; y < rgb.height(); ++y)
        raw.append(reinterpret_cast<const char *>(rgb.constScanLine(y)), qsizetype(rgb.width()) * 3);
    return pdfStream("/Type /XObject /Subtype /Image /Width " + QByteArray::number(rgb.width()) + " /Height " +
                         QByteArray::number(rgb.height()) + " /ColorSpace /DeviceRGB /BitsPerComponent 8",
                     raw);
}

QByteArray pdfShape(const QPainterPath &shape)
{
    const QRectF box = shape.boundingRect().adjusted(-1, -1, 1, 1);
    return pdfStream("/Type /XObject /Subtype /Form /BBox [" + num(box.left()) + ' ' + num(box.top()) + ' ' +
                         num(box.right()) + ' ' + num(box.bottom()) + "]",
                     pathData(shape, Syntax::Pdf) + "f\n");
}

QByteArray pdfColor(QRgb c)
{
    // A quarter level above the value: a reader that truncates and one that rounds both get
    // the 8-bit value back.
    auto part = [](int v) { return num(std::min(1.0, (v + 0.25) / 255.0), 4); };
    return part(qRed(c)) + ' ' + part(qGreen(c)) + ' ' + part(qBlue(c)) + " rg";
}

// Draws picture i over rect in the page's y-down space. The picture is placed a hundredth
// of a pixel inside its rectangle: poppler resamples a picture whose edges fall exactly on
// pixel boundaries, and would blur a picture drawn at its own size.
QByteArray pdfPlace(int i, const QRectF &rect)
{
    const QRectF r = rect.adjusted(0.01, 0.01, -0.01, -0.01);
    return "q " + num(r.width()) + " 0 0 " + num(-r.height()) + ' ' + num(r.x()) + ' ' + num(r.y() + r.height()) +
           " cm /I" + QByteArray::number(i) + " Do Q\n";
}

QByteArray pdfUse(int shape, QPoint at, QRgb color)
{
    return "q " + pdfColor(color) + " 1 0 0 1 " + QByteArray::number(at.x()) + ' ' + QByteArray::number(at.y()) +
           " cm /S" + QByteArray::number(shape) + " Do Q\n";
}

QByteArray pdfContent(const VectorScene &scene, int backgroundIndex)
{
    // One unit is one pixel, y downwards from the top-left corner as in the picture.
    QByteArray c = "1 0 0 -1 0 " + QByteArray::number(scene.size.height()) + " cm\n";
    if (backgroundIndex >= 0)
        c += pdfPlace(backgroundIndex, QRectF(QPointF(0, 0), QSizeF(scene.size)));
    for (const VectorStep &s : scene.steps) {
        if (s.picture < 0) {
            c += pdfUse(s.shape, s.at, s.color);
            continue;
        }
        // The letters white, then the picture clipped to them (the clip path is the one
        // place the outline has to be written out again).
        c += pdfUse(s.shape, s.at, qRgb(255, 255, 255));
        c += "q 1 0 0 1 " + QByteArray::number(s.at.x()) + ' ' + QByteArray::number(s.at.y()) + " cm\n" +
             pathData(scene.shapes[size_t(s.shape)], Syntax::Pdf) + "W n\n1 0 0 1 " +
             QByteArray::number(-s.at.x()) + ' ' + QByteArray::number(-s.at.y()) + " cm\n" +
             pdfPlace(s.picture, s.pictureRect) + "Q\n";
    }
    return c;
}

} // namespace

QByteArray WriteSvg(const VectorScene &scene)
{
    const QByteArray w = QByteArray::number(scene.size.width()), h = QByteArray::number(scene.size.height());
    QByteArray out = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
                     "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
                     "version=\"1.1\" width=\"" + w + "\" height=\"" + h + "\" viewBox=\"0 0 " + w + ' ' + h + "\">\n<defs>\n";
    for (size_t i = 0; i < scene.shapes.size(); ++i)
        out += "<path id=\"s" + QByteArray::number(qsizetype(i)) + "\" d=\"" +
               pathData(scene.shapes[i], Syntax::Svg).trimmed() + "\"/>\n";
    for (size_t i = 0; i < scene.steps.size(); ++i)
        if (scene.steps[i].picture >= 0)
            out += "<clipPath id=\"c" + QByteArray::number(qsizetype(i)) + "\">" +
                   svgUse(scene.steps[i].shape, scene.steps[i].at, {}) + "</clipPath>\n";
    out += "</defs>\n";
    if (!scene.background.isNull())
        out += svgImage(scene.background, QRectF(QPointF(0, 0), QSizeF(scene.size)), {});
    for (size_t i = 0; i < scene.steps.size(); ++i) {
        const VectorStep &s = scene.steps[i];
        out += svgUse(s.shape, s.at, " fill=\"" + hexColor(s.picture < 0 ? s.color : qRgb(255, 255, 255)) + "\"") + '\n';
        if (s.picture >= 0)
            out += svgImage(scene.pictures[size_t(s.picture)], s.pictureRect,
                            " clip-path=\"url(#c" + QByteArray::number(qsizetype(i)) + ")\"");
    }
    return out + "</svg>\n";
}

QByteArray WritePdf(const VectorScene &scene)
{
    // Objects: 1 catalog, 2 page tree, 3 page, 4 contents, then the shapes, then the pictures
    // (the surface pictures and, last, the background).
    std::vector<QByteArray> objects(4);
    QByteArray resources = "/XObject <<";
    for (size_t i = 0; i < scene.shapes.size(); ++i) {
        objects.push_back(pdfShape(scene.shapes[i]));
        resources += " /S" + QByteArray::number(qsizetype(i)) + ' ' + QByteArray::number(qsizetype(objects.size())) + " 0 R";
    }
    std::vector<QImage> pictures = scene.pictures;
    const int backgroundIndex = scene.background.isNull() ? -1 : int(pictures.size());
    if (backgroundIndex >= 0)
        pictures.push_back(scene.background);
    for (size_t i = 0; i < pictures.size(); ++i) {
        objects.push_back(pdfImage(pictures[i]));
        resources += " /I" + QByteArray::number(qsizetype(i)) + ' ' + QByteArray::number(qsizetype(objects.size())) + " 0 R";
    }
    resources += " >>";
    objects[0] = "<< /Type /Catalog /Pages 2 0 R >>";
    objects[1] = "<< /Type /Pages /Kids [3 0 R] /Count 1 >>";
    objects[2] = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + QByteArray::number(scene.size.width()) + ' ' +
                 QByteArray::number(scene.size.height()) + "] /Resources << " + resources + " >> /Contents 4 0 R >>";
    objects[3] = pdfStream({}, pdfContent(scene, backgroundIndex));

    QByteArray out = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    std::vector<qsizetype> offsets;
    for (size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(out.size());
        out += QByteArray::number(qsizetype(i + 1)) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const qsizetype xref = out.size();
    out += "xref\n0 " + QByteArray::number(qsizetype(objects.size() + 1)) + "\n0000000000 65535 f \n";
    for (qsizetype o : offsets)
        out += QByteArray::number(o).rightJustified(10, '0') + " 00000 n \n";
    out += "trailer\n<< /Size " + QByteArray::number(qsizetype(objects.size() + 1)) + " /Root 1 0 R >>\nstartxref\n" +
           QByteArray::number(xref) + "\n%%EOF\n";
    return out;
}
