// Page recording, page furniture and the replay of recorded pages.
#include "print/PageRecorder.h"

#include "core/Errors.h"
#include "core/MessageText.h"
#include "print/MetricsDevice.h"

#include <QFontMetrics>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPdfWriter>

#include <algorithm>
#include <cmath>

void failAssertion(const char *message, const char *file, int line)
{
    throw TAssertionError(QStringLiteral("%1 (%2, line %3)").arg(QLatin1String(message), QLatin1String(file)).arg(line).toStdString());
}

QString PageBreakMarker()
{
    return QLatin1Char('`') + QString(350, QLatin1Char('0')) + QChar(0x00B4);
}

void DrawPagePicture(QPainter &painter, const QPicture &page)
{
    const QPaintDevice *device = painter.device();
    painter.save();
    painter.scale(double(page.logicalDpiX()) / device->logicalDpiX(), double(page.logicalDpiY()) / device->logicalDpiY());
    painter.drawPicture(0, 0, page);
    painter.restore();
}

namespace {
// Nearest integer, a half going to the even neighbour.
// (nearbyint rounds in the default mode, to nearest with ties to even.)
int nearest(double x)
{
    return int(std::nearbyint(x));
}

// The screen as reference device: its resolution, and a US Letter sheet at that
// resolution because the screen has no sheet size of its own.
TDeviceMetrics screenMetrics()
{
    const QPicture probe;
    TDeviceMetrics m;
    m.LogPixelsX = probe.logicalDpiX();
    m.LogPixelsY = probe.logicalDpiY();
    m.PageWidth = nearest(m.LogPixelsX * 8.5);
    m.PageHeight = m.LogPixelsY * 11;
    return m;
}
} // namespace

TVardoMetaFileCanvas::TVardoMetaFileCanvas(QPicture &page, int pixelsPerInch) : pixelsPerInch_(pixelsPerInch)
{
    painter_.begin(&page);
}

TVardoMetaFileCanvas::~TVardoMetaFileCanvas()
{
    painter_.end();
}

void TVardoMetaFileCanvas::SetFont(const QFont &font)
{
    font_ = font;
    QFont device(font);
    if (font.pointSizeF() > 0)
        device.setPixelSize(std::max(1, int(std::lround(font.pointSizeF() * pixelsPerInch_ / 72.0))));
    else if (font.pixelSize() > 0)
        device.setPixelSize(std::max(1, int(std::lround(font.pixelSize() * pixelsPerInch_ / 96.0))));
    painter_.setFont(device);
}

int TVardoMetaFileCanvas::TextWidth(const QString &text)
{
    return QFontMetrics(painter_.font()).horizontalAdvance(text);
}

void TVardoMetaFileCanvas::TextOut(int x, int y, const QString &text)
{
    painter_.drawText(QPointF(x, y + QFontMetrics(painter_.font()).ascent()), text);
}

TPageRecorder::TPageRecorder() = default;

TPageRecorder::~TPageRecorder()
{
    ClearPages();
}

void TPageRecorder::SetUnits(TUnits units)
{
    units_ = units;
    if (units == unInches)
        unitFactor_ = 1.0;
    else if (units == unCentimeters)
        unitFactor_ = 2.54;
}

const QPicture &TPageRecorder::Page(int index) const
{
    PRINT_ASSERT(index >= 0 && index < PageCount(), "Assertion failure");
    return *pages_[size_t(index)].picture;
}

void TPageRecorder::ClearPages()
{
    canvas_.reset();
    pages_.clear();
}

void TPageRecorder::BeginDoc()
{
    inDocument_ = true;
    ClearPages();
    NewPage();
}

void TPageRecorder::NewPage()
{
    PRINT_ASSERT(inDocument_, "Assertion failure");
    TDeviceMetrics m;
    bool printer = false;
    try {
        printer = ReadPrinterMetrics(m);
    } catch (const std::exception &) {
        printer = false; // an unusable printer: record against the screen
    }
    if (!printer || m.LogPixelsX <= 0 || m.LogPixelsY <= 0)
        m = screenMetrics();
    auto picture = std::make_unique<QPicture>();
    auto canvas = std::make_unique<TVardoMetaFileCanvas>(*picture, m.LogPixelsY);
    if (canvas_) {
        canvas->SetFont(canvas_->Font());
        canvas->Painter().setBrush(canvas_->Painter().brush());
        canvas->Painter().setPen(canvas_->Painter().pen());
    } else {
        QFont font(QStringLiteral("Arial"));
        font.setPointSize(10);
        canvas->SetFont(font);
        canvas->Painter().setBrush(Qt::NoBrush);
    }
    canvas_ = std::move(canvas); // ends the recording of the previous page
    pages_.push_back({std::move(picture), m.LogPixelsX, m.LogPixelsY});
    metrics_ = m;
    pageUsed_ = false;
    ReportStatus(QStringLiteral("Paginating page %1").arg(PageCount()), PageCount(), stPaginating);
}

TVardoMetaFileCanvas &TPageRecorder::Canvas()
{
    PRINT_ASSERT(inDocument_ && canvas_, "Canvas is not available before BeginDoc");
    pageUsed_ = true;
    return *canvas_;
}

void TPageRecorder::EndDoc()
{
    inDocument_ = false;
    canvas_.reset();
    if (!pageUsed_ && !pages_.empty())
        pages_.pop_back();
    ReportStatus(QStringLiteral("Pagination Complete"), -1, stPaginationComplete);
}

int TPageRecorder::UnitsToPixelsX(double length) const { return nearest(metrics_.LogPixelsX * length / unitFactor_); }
int TPageRecorder::UnitsToPixelsY(double length) const { return nearest(metrics_.LogPixelsY * length / unitFactor_); }
double TPageRecorder::PixelsToUnitsX(int pixels) const { return double(pixels) / metrics_.LogPixelsX * unitFactor_; }
double TPageRecorder::PixelsToUnitsY(int pixels) const { return double(pixels) / metrics_.LogPixelsY * unitFactor_; }

void TPageRecorder::PrintTextLine(int y, TAlignment alignment, const QString &text, const QFont *font)
{
    TVardoMetaFileCanvas &canvas = Canvas();
    const QFont kept = canvas.Font();
    if (font)
        canvas.SetFont(*font);
    const int w = canvas.TextWidth(text);
    int x = 0;
    if (alignment == taLeftJustify)
        x = UnitsToPixelsX(TextOptions.MarginLeft);
    else if (alignment == taRightJustify)
        x = metrics_.PageWidth - UnitsToPixelsX(TextOptions.MarginRight) - w;
    else if (alignment == taCenter)
        x = metrics_.PageWidth / 2 - w / 2;
    canvas.TextOut(x, y, text);
    canvas.SetFont(kept);
}

void TPageRecorder::PrintHeaderFooter(int pageNumber)
{
    const TTextOptions &o = TextOptions;
    const int hy = UnitsToPixelsY(o.HeaderMargin);
    const int fy = metrics_.PageHeight - UnitsToPixelsY(o.FooterMargin);
    PrintTextLine(hy, o.HeaderAlign, o.Header, &o.HeaderFont());
    PrintTextLine(fy, o.FooterAlign, o.Footer, &o.FooterFont());
    const QString number = o.PageNumText() + QLatin1Char(' ') + QString::number(pageNumber);
    if (o.PrintPageNumber == pnBottom)
        PrintTextLine(fy, o.PageNumAlign, number, &o.PageNumFont());
    else if (o.PrintPageNumber == pnTop)
        PrintTextLine(hy, o.PageNumAlign, number, &o.PageNumFont());
}

void TPageRecorder::ReportStatus(const QString &statMsg, int pageNum, TStatusType type)
{
    if (OnStatus)
        OnStatus(this, statMsg, pageNum, type);
}

void TPageRecorder::PrintPages(QPagedPaintDevice &device, int first, int last)
{
    first = std::max(first, 0);
    last = std::min(last, PageCount() - 1);
    QPainter painter;
    if (!painter.begin(&device))
        throw LetrafexError(messageText("The print job could not be started"));
    const int dpiX = device.logicalDpiX();
    const int dpiY = device.logicalDpiY();
    // The device's origin is the corner of its printable area; pages address the sheet.
    const QPoint offset = device.pageLayout().paintRectPixels(dpiX).topLeft();
    for (int i = first; i <= last; ++i) {
        ReportStatus(QStringLiteral("Printing page %1").arg(i), i, stPrinting);
        const PageEntry &page = pages_[size_t(i)];
        painter.save();
        painter.translate(-offset.x(), -offset.y());
        // Pages recorded against another resolution (the screen when the printer could
        // not be used) are scaled to keep their size on paper.
        if (page.dpiX != dpiX || page.dpiY != dpiY)
            painter.scale(double(dpiX) / page.dpiX, double(dpiY) / page.dpiY);
        DrawPagePicture(painter, *page.picture);
        painter.restore();
        if (i < last)
            device.newPage();
    }
    painter.end();
    ReportStatus(QStringLiteral("Print Job Complete"), -1, stPrintJobComplete);
}

void TPageRecorder::PrintPagesToPdf(QIODevice &out)
{
    PRINT_ASSERT(!inDocument_ && PageCount() > 0, "Assertion failure");
    QPdfWriter pdf(&out);
    pdf.setTitle(Title);
    pdf.setCreator(QStringLiteral("Letrafex"));
    pdf.setResolution(metrics_.LogPixelsX);
    const QSizeF inches(double(metrics_.PageWidth) / metrics_.LogPixelsX, double(metrics_.PageHeight) / metrics_.LogPixelsY);
    pdf.setPageLayout(QPageLayout(QPageSize(inches, QPageSize::Inch, QString(), QPageSize::ExactMatch),
                                  QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    PrintPages(pdf, 0, PageCount() - 1);
}
