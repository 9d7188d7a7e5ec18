// Pagination of a rich-text document: the document is cut into chunks at the page-break
// markers, each chunk is laid out at the reference device's resolution in a scratch
// document and drawn a page's worth of lines at a time into the body rectangle.
#include "print/PageRecorder.h"

#include "print/MetricsDevice.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QElapsedTimer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextFragment>
#include <QTextLayout>
#include <QTextList>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {
struct LineBox
{
    double top = 0, bottom = 0;
    int start = 0;
    bool breakBefore = false; // the first line of a block that starts a new page
    QTextBlock block;
    int index = 0;  // the line's number within its block
    QPointF origin; // where the block's layout is drawn
};

// Every line of the document in document order, so their starts ascend.
std::vector<LineBox> lineBoxes(QTextDocument &document)
{
    std::vector<LineBox> lines;
    QAbstractTextDocumentLayout *layout = document.documentLayout();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QTextLayout *text = block.layout();
        if (!text)
            continue;
        // The block's bounding rectangle starts at the position its layout is drawn at.
        const QPointF origin = layout->blockBoundingRect(block).topLeft();
        const bool pageBreak = block.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore;
        for (int i = 0; i < text->lineCount(); ++i) {
            const QTextLine line = text->lineAt(i);
            const double top = origin.y() + line.y();
            lines.push_back({top, top + line.height(), block.position() + line.textStart(), pageBreak && i == 0, block, i,
                             origin});
        }
    }
    return lines;
}

// The number or bullet of a list item, right-aligned before its first line. The help
// documents have no lists; a list pasted into the help text keeps its numbers in print.
void drawListMarker(QPainter &painter, const LineBox &line, int dpi)
{
    const QTextList *list = line.block.textList();
    if (!list || line.index != 0)
        return;
    const bool numbered = list->format().style() < QTextListFormat::ListSquare;
    const QString marker = numbered ? list->itemText(line.block) : QString(QChar(0x2022));
    const QTextLine first = line.block.layout()->lineAt(0);
    QFont font = line.block.charFormat().font();
    if (font.pointSizeF() > 0)
        font.setPixelSize(std::max(1, int(std::lround(font.pointSizeF() * dpi / 72.0))));
    const QFontMetricsF metrics(font);
    painter.save();
    painter.setFont(font);
    const double right = line.origin.x() + first.x() - metrics.horizontalAdvance(QLatin1Char(' '));
    painter.drawText(QPointF(right - metrics.horizontalAdvance(marker), line.origin.y() + first.y() + first.ascent()),
                     marker);
    painter.restore();
}

// The scale that fits a page's only line into the body: a line taller than the body (a
// tall picture, a huge letter) is drawn smaller, with everything beside it, so that it
// ends above the bottom margin; a single unbreakable letter wider than the body shrinks
// too. Lines that fit are drawn at their size.
double fitScale(const LineBox &box, int width, int height)
{
    const QTextLine line = box.block.layout()->lineAt(box.index);
    const double right = box.origin.x() + line.x() + line.naturalTextWidth();
    return std::min({1.0, height / (box.bottom - box.top), right > width ? width / right : 1.0});
}

// Copies the formatted text between from and to of source into target, with the pictures
// it shows. The copy goes straight from document to document: the clipboard is not used.
void copyRange(const QTextDocument &source, int from, int to, QTextDocument &target)
{
    if (to <= from)
        return;
    QTextCursor range(const_cast<QTextDocument *>(&source));
    range.setPosition(from);
    range.setPosition(to, QTextCursor::KeepAnchor);
    QTextCursor(&target).insertFragment(range.selection());
    for (QTextBlock block = target.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextImageFormat image = it.fragment().charFormat().toImageFormat();
            if (!image.isValid())
                continue;
            const QUrl name(image.name());
            if (target.resource(QTextDocument::ImageResource, name).isNull())
                target.addResource(QTextDocument::ImageResource, name, source.resource(QTextDocument::ImageResource, name));
        }
}

// Paragraph lengths are kept in pixels of 96 per inch, as the screen shows them. Qt's
// document layout treats them in two ways when it lays text out for a device of another
// resolution: the space above and below a paragraph, fixed line heights and tab positions
// it scales by the device's resolution over 96 itself, but the left and right margins and
// the first-line indent it takes as device pixels. Only those three are scaled here, once
// per chunk, so every length keeps its size on paper at any resolution. The paragraphs
// change in one edit, so the layout follows once, not once per paragraph (each of those
// would reposition every paragraph after it).
void scaleParagraphs(QTextDocument &document, int dpiX)
{
    const double sx = dpiX / 96.0;
    if (sx == 1.0)
        return;
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QTextBlockFormat f = block.blockFormat();
        f.setLeftMargin(f.leftMargin() * sx);
        f.setRightMargin(f.rightMargin() * sx);
        f.setTextIndent(f.textIndent() * sx);
        cursor.setPosition(block.position());
        cursor.setBlockFormat(f);
    }
    cursor.endEditBlock();
}

// Puts the units back whatever happens during pagination.
class UnitsGuard
{
public:
    explicit UnitsGuard(TPageRecorder &engine) : engine_(engine), units_(engine.Units()) { engine.SetUnits(unInches); }
    ~UnitsGuard() { engine_.SetUnits(units_); }

private:
    TPageRecorder &engine_;
    TUnits units_;
};

// Reports the share of the source paginated, in percent, to a progress gauge: 0 at the
// start, then at most every 50 ms while pages are made (a gauge may repaint on each
// report, and a page takes far less), and 100 at the end.
class ProgressReports
{
public:
    ProgressReports(const std::function<void(int)> &sink, int total) : sink_(sink), total_(std::max(total, 1))
    {
        report(0);
        clock_.start();
    }
    void at(int position)
    {
        if (!sink_ || clock_.elapsed() < 50)
            return;
        report(int(std::clamp(qint64(position) * 100 / total_, qint64(0), qint64(100))));
        clock_.restart();
    }
    void done() { report(100); }

private:
    void report(int percent)
    {
        if (sink_ && percent != last_)
            sink_(percent);
        last_ = percent;
    }

    const std::function<void(int)> &sink_;
    qint64 total_;
    int last_ = -1;
    QElapsedTimer clock_;
};

int twipsToPixels(int twips, int dpi)
{
    return int(qint64(twips) * dpi / 1440);
}
} // namespace

void TPageRecorder::layOut(QTextDocument &document, int width)
{
    const int dpiX = metrics_.LogPixelsX, dpiY = metrics_.LogPixelsY;
    if (!layoutDevice_ || !layoutDevice_->sameAs(dpiX, dpiY)) {
        layoutDevice_ = std::make_unique<MetricsDevice>(dpiX, dpiY, metrics_.PageWidth, metrics_.PageHeight);
        document.documentLayout()->setPaintDevice(layoutDevice_.get());
    } else if (document.documentLayout()->paintDevice() != layoutDevice_.get()) {
        document.documentLayout()->setPaintDevice(layoutDevice_.get());
    }
    if (document.textWidth() != width)
        document.setTextWidth(width);
}

// The lines of a laid-out document, found once per layout: pages are cut from them in
// order, so the pagination visits every line once whatever the page count.
struct TPageRecorder::LaidOutLines
{
    int dpiX = 0, dpiY = 0, width = 0;
    bool valid = false;
    std::vector<LineBox> lines;
};

bool TPageRecorder::RenderRichTextRange(QTextDocument &document, TVardoMetaFileCanvas &canvas, const QRect &twips, int &next)
{
    LaidOutLines lines;
    return renderPage(document, lines, canvas, twips, next);
}

bool TPageRecorder::renderPage(QTextDocument &document, LaidOutLines &laidOut, TVardoMetaFileCanvas &canvas,
                               const QRect &twips, int &next)
{
    const int left = twipsToPixels(twips.left(), metrics_.LogPixelsX);
    const int top = twipsToPixels(twips.top(), metrics_.LogPixelsY);
    const int width = std::max(1, twipsToPixels(twips.right(), metrics_.LogPixelsX) - left);
    const int height = std::max(1, twipsToPixels(twips.bottom(), metrics_.LogPixelsY) - top);
    layOut(document, width);
    // A page started on another device lays the text out again, and its lines change.
    if (!laidOut.valid || laidOut.dpiX != metrics_.LogPixelsX || laidOut.dpiY != metrics_.LogPixelsY || laidOut.width != width)
        laidOut = {metrics_.LogPixelsX, metrics_.LogPixelsY, width, true, lineBoxes(document)};
    const std::vector<LineBox> &lines = laidOut.lines;
    const int total = document.characterCount() - 1;

    // The page starts at the last line that starts at or before next.
    const auto after = std::upper_bound(lines.begin(), lines.end(), next,
                                        [](int position, const LineBox &line) { return position < line.start; });
    const size_t first = after == lines.begin() ? 0 : size_t(after - lines.begin()) - 1;
    if (first >= lines.size()) {
        next = -1;
        return false;
    }
    const double pageTop = lines[first].top;
    size_t end = first + 1; // every page takes at least one line, even one taller than the body
    while (end < lines.size() && !lines[end].breakBefore && lines[end].bottom - pageTop <= height)
        ++end;

    const double scale = end == first + 1 ? fitScale(lines[first], width, height) : 1.0;
    QPainter &painter = canvas.Painter();
    painter.save();
    painter.translate(left, top);
    painter.scale(scale, scale);
    painter.translate(0, -pageTop);
    painter.setPen(Qt::black);
    // Only the page's own lines are drawn: the document layout would also draw, clipped
    // away yet present in a PDF's text, the line above a page that starts within a paragraph.
    for (size_t i = first; i < end; ++i) {
        drawListMarker(painter, lines[i], metrics_.LogPixelsY);
        lines[i].block.layout()->lineAt(lines[i].index).draw(&painter, lines[i].origin);
    }
    painter.restore();

    next = end < lines.size() ? lines[end].start : total;
    return next < total && next != -1;
}

QRect TPageRecorder::bodyTwips() const
{
    const TTextOptions &o = TextOptions;
    return QRect(QPoint(int(std::nearbyint(o.MarginLeft * 1440)), int(std::nearbyint(o.MarginTop * 1440))),
                 QPoint(int(std::nearbyint((PixelsToUnitsX(metrics_.PageWidth) - o.MarginRight) * 1440)),
                        int(std::nearbyint((PixelsToUnitsY(metrics_.PageHeight) - o.MarginBottom) * 1440))));
}

void TPageRecorder::PrintRichText(const QTextDocument &source)
{
    UnitsGuard units(*this);
    const QString marker = PageBreakMarker();
    QTextDocument scratch;
    scratch.setObjectName(QStringLiteral("PrxEdit"));
    scratch.setUndoRedoEnabled(false);
    scratch.setDocumentMargin(0);
    QFont font = scratch.defaultFont();
    font.setPointSize(10);
    scratch.setDefaultFont(font);

    const int total = source.characterCount() - 1;
    ProgressReports progress(OnProgress, total);
    int srcPos = 0, fmtPos = 0, pageNo = 0;
    BeginDoc();
    while (srcPos <= total) {
        scratch.clear();
        const QTextCursor hit = source.find(marker, srcPos, QTextDocument::FindCaseSensitively);
        const int found = hit.isNull() ? total : hit.selectionStart();
        copyRange(source, srcPos, found, scratch);
        scaleParagraphs(scratch, metrics_.LogPixelsX);
        const int chunkStart = srcPos;
        srcPos = found + int(marker.size()) + 1;
        LaidOutLines lines; // the scratch document's lines, for all pages of this chunk
        bool more = true;
        do {
            if (fmtPos > 0)
                NewPage();
            ++pageNo;
            PrintHeaderFooter(pageStartNo_ + pageNo);
            more = renderPage(scratch, lines, Canvas(), bodyTwips(), fmtPos);
            progress.at(chunkStart + std::max(fmtPos, 0));
        } while (more);
        fmtPos = 0;
        if (srcPos <= total)
            NewPage();
    }
    EndDoc();
    progress.done();
}
