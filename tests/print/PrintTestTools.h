#pragma once
// Shared helpers of the print tests: documents of numbered lines with page-break markers,
// engines with a fixed reference device, and reading printed pages back with poppler.
#include "ReferenceTools.h"
#include "preview/PreviewPrinter.h"

#include <QBuffer>
#include <QPainter>
#include <QTextDocument>

#include <ostream>

inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

// Lines "Line 1" .. "Line n", one paragraph each.
inline QString numberedLines(int first, int last)
{
    QStringList lines;
    for (int i = first; i <= last; ++i)
        lines << QStringLiteral("Line %1").arg(i);
    return lines.join(QLatin1Char('\n'));
}

// An engine whose "printer" is a device of the given resolution and sheet, as an
// installed printer would be.
class FixedDeviceEngine : public TPreviewPrinter
{
public:
    FixedDeviceEngine(int dpi, double widthInches, double heightInches, int offset = 0) : dpi_(dpi), w_(widthInches), h_(heightInches), offset_(offset) {}

protected:
    bool ReadPrinterMetrics(TDeviceMetrics &m) override
    {
        m.LogPixelsX = m.LogPixelsY = dpi_;
        m.PageWidth = int(dpi_ * w_);
        m.PageHeight = int(dpi_ * h_);
        m.OffsetX = m.OffsetY = offset_;
        return true;
    }

private:
    int dpi_;
    double w_, h_;
    int offset_;
};

// The text of each page of a PDF file, as pdftotext reads it (pages end with a form feed).
inline QStringList pdfPageTexts(const QString &pdf, QString *why)
{
    QByteArray out;
    *why = runTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")}, &out);
    QStringList pages = QString::fromUtf8(out).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

// The engine's pages printed to a PDF file and read back, one text per page.
inline QStringList printedPages(TPageRecorder &engine, const QString &pdf, QString *why)
{
    QFile file(pdf);
    if (!file.open(QIODevice::WriteOnly)) {
        *why = QStringLiteral("cannot write ") + pdf;
        return {};
    }
    engine.PrintPagesToPdf(file);
    file.close();
    return pdfPageTexts(pdf, why);
}

// A page replayed one to one onto a white picture of the sheet's size.
inline QImage pageImage(const TPageRecorder &engine, int index)
{
    QImage image(engine.PageWidth(), engine.PageHeight(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    DrawPagePicture(painter, engine.Page(index));
    return image;
}

// The box of the non-white pixels of image inside area.
inline QRect inkBox(const QImage &image, const QRect &area)
{
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) < 160)
                box |= QRect(x, y, 1, 1);
    return box;
}
