#pragma once
// The recording half of the print engine: pages recorded as QPicture in the pixels of a
// reference device (the printer, or the screen with a US Letter sheet when no printer is
// there), the header, footer and page-number lines, the unit conversions, the rich-text
// pagination and the replay of recorded pages onto a paged device. Needs QtGui only; the
// printer itself and the preview window are added by TPreviewPrinter.
#include "print/TextOptions.h"

#include <QFont>
#include <QPainter>
#include <QPicture>
#include <QRect>
#include <QString>

#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

class QIODevice;
class QPagedPaintDevice;
class QTextDocument;

// A broken call order of the engine: a programming error, not a user message.
struct TAssertionError : std::logic_error
{
    using std::logic_error::logic_error;
};

// The line that forces a page break in a paginated document: a backquote, 350 zeros and
// an acute accent.
QString PageBreakMarker();

// Draws a recorded page at the painter's logical origin, one recorded unit onto one
// logical unit. (QPicture's own replay scales by the device's resolution against the
// default one; that scale is taken back here.)
void DrawPagePicture(QPainter &painter, const QPicture &page);

// Resolution, sheet size and unprintable offsets of a device, in its pixels.
struct TDeviceMetrics
{
    int LogPixelsX = 0, LogPixelsY = 0;
    int PageWidth = 0, PageHeight = 0;
    int OffsetX = 0, OffsetY = 0;
};

// The recording canvas of one page. Its fonts keep their size in points; the painter gets
// them with the pixel height that size has at PixelsPerInch, the reference device's
// vertical resolution.
class TVardoMetaFileCanvas
{
public:
    TVardoMetaFileCanvas(QPicture &page, int pixelsPerInch);
    ~TVardoMetaFileCanvas();
    TVardoMetaFileCanvas(const TVardoMetaFileCanvas &) = delete;
    TVardoMetaFileCanvas &operator=(const TVardoMetaFileCanvas &) = delete;

    int PixelsPerInch() const { return pixelsPerInch_; }
    QPainter &Painter() { return painter_; }
    const QFont &Font() const { return font_; }
    void SetFont(const QFont &font);
    int TextWidth(const QString &text);
    // Draws text with its top-left corner at (x, y), without a background box.
    void TextOut(int x, int y, const QString &text);

private:
    QPainter painter_;
    int pixelsPerInch_;
    QFont font_;
};

class TPageRecorder
{
public:
    using TStatusProc = std::function<void(TPageRecorder *sender, const QString &statMsg, int pageNum, TStatusType type)>;
    using TOwnerHeightProc = std::function<void(TPageRecorder *sender, int line, int &height, bool &forceNewPage)>;
    using TOwnerDrawProc = std::function<void(TPageRecorder *sender, int page, int line, QRect r, TVardoMetaFileCanvas &canvas)>;
    using TNewPageProc = std::function<void(TPageRecorder *sender, int page)>;

    TPageRecorder();
    virtual ~TPageRecorder();
    TPageRecorder(const TPageRecorder &) = delete;
    TPageRecorder &operator=(const TPageRecorder &) = delete;

    TPrinterOrientation Orientation = poPortrait;
    QString Title;
    TTextOptions TextOptions;
    bool ShowGrid = false;
    TZoomOption ZoomOption = zoFitToPage;
    int ZoomVal = 100;
    QString PreviewTexts;
    TStatusProc OnStatus;
    // The share of the document paginated, 0 to 100, for a progress gauge: reported when
    // pagination starts, at most every 50 ms while it goes on, and when it is complete.
    std::function<void(int percent)> OnProgress;
    TOwnerHeightProc OnOwnerHeight; // stored only
    TOwnerDrawProc OnOwnerDraw;     // stored only
    TNewPageProc OnNewPage;         // stored only

    void SetTitle(const QString &text) { Title = text; }
    int PageStartNo() const { return pageStartNo_; }
    void SetPageStartNo(int n) { pageStartNo_ = n; }
    TUnits Units() const { return units_; }
    void SetUnits(TUnits units);
    double UnitFactor() const { return unitFactor_; }

    bool InDocument() const { return inDocument_; }
    bool PageUsed() const { return pageUsed_; }
    int LogPixelsX() const { return metrics_.LogPixelsX; }
    int LogPixelsY() const { return metrics_.LogPixelsY; }
    int PageWidth() const { return metrics_.PageWidth; }
    int PageHeight() const { return metrics_.PageHeight; }
    int OffsetX() const { return metrics_.OffsetX; }
    int OffsetY() const { return metrics_.OffsetY; }

    int PageCount() const { return int(pages_.size()); }
    const QPicture &Page(int index) const;
    void ClearPages();

    void BeginDoc();
    void NewPage();
    TVardoMetaFileCanvas &Canvas();
    void EndDoc();

    int UnitsToPixelsX(double length) const;
    int UnitsToPixelsY(double length) const;
    double PixelsToUnitsX(int pixels) const;
    double PixelsToUnitsY(int pixels) const;

    void PrintTextLine(int y, TAlignment alignment, const QString &text, const QFont *font);
    void PrintHeaderFooter(int pageNumber);

    // Paginates the whole document into pages, replacing earlier ones. The document is
    // only read.
    void PrintRichText(const QTextDocument &source);
    // Draws the part of document from next on that fits the body rectangle (in twips)
    // onto canvas; next becomes the first character that did not fit. Returns whether
    // text is left. Every call places at least one line. Each call finds the document's
    // lines afresh; the pagination finds them once per chunk.
    bool RenderRichTextRange(QTextDocument &document, TVardoMetaFileCanvas &canvas, const QRect &twips, int &next);

    // Plays pages first..last (zero-based) onto device as one job, each page's top-left
    // corner on the corner of the sheet. Throws TAssertionError when the device cannot be
    // painted on.
    void PrintPages(QPagedPaintDevice &device, int first, int last);
    // Prints every page as a PDF document onto out: the sheet and resolution of the
    // reference device, so the PDF's pages are the recorded ones.
    void PrintPagesToPdf(QIODevice &out);

protected:
    // Reads the printer's metrics when a printer is installed and usable as the reference
    // device of a new page; the engine without a printer always uses the screen.
    virtual bool ReadPrinterMetrics(TDeviceMetrics &) { return false; }
    void ReportStatus(const QString &statMsg, int pageNum, TStatusType type);
    void SetMetrics(const TDeviceMetrics &metrics) { metrics_ = metrics; }

private:
    struct PageEntry
    {
        std::unique_ptr<QPicture> picture;
        int dpiX = 0, dpiY = 0;
    };
    class MetricsDevice;
    struct LaidOutLines;

    void layOut(QTextDocument &document, int width);
    // Draws one page of document from next on, cutting it from laidOut, the document's
    // lines, which are found again only when the layout changes.
    bool renderPage(QTextDocument &document, LaidOutLines &laidOut, TVardoMetaFileCanvas &canvas, const QRect &twips,
                    int &next);
    // The body rectangle of the current page, in twips.
    QRect bodyTwips() const;

    std::vector<PageEntry> pages_;
    std::unique_ptr<TVardoMetaFileCanvas> canvas_;
    std::unique_ptr<MetricsDevice> layoutDevice_;
    TDeviceMetrics metrics_;
    bool inDocument_ = false;
    bool pageUsed_ = false;
    TUnits units_ = unInches;
    double unitFactor_ = 1.0;
    int pageStartNo_ = 0;
};

[[noreturn]] void failAssertion(const char *message, const char *file, int line);
#define PRINT_ASSERT(condition, message) \
    do { \
        if (!(condition)) \
            failAssertion(message, __FILE__, __LINE__); \
    } while (false)
