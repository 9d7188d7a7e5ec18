// The print engine without a printer: pages recorded against the screen's Letter sheet,
// the page furniture, the rich-text pagination with its markers, units and statuses.
#include "PrintTestTools.h"
#include "richtext/RtfReader.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetrics>
#include <QRegularExpression>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QTextImageFormat>
#include <QUrl>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>

#include <algorithm>

#include <gtest/gtest.h>

namespace {
class Pagination : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    TPageRecorder engine;
    QStringList statuses;

    void SetUp() override
    {
        engine.OnStatus = [this](TPageRecorder *sender, const QString &msg, int page, TStatusType type) {
            EXPECT_EQ(sender, &engine);
            statuses << QStringLiteral("%1|%2|%3").arg(msg).arg(page).arg(int(type));
        };
    }
    QStringList paginate(const QString &text)
    {
        QTextDocument doc;
        doc.setPlainText(text);
        engine.PrintRichText(doc);
        QString why;
        const QStringList pages = printedPages(engine, dir.filePath("pages.pdf"), &why);
        EXPECT_TRUE(why.isEmpty()) << why.toStdString();
        return pages;
    }
};

// Line numbers found on a page, in order.
QList<int> lineNumbers(const QString &page)
{
    QList<int> numbers;
    static const QRegularExpression line(QStringLiteral("Line (\\d+)"));
    for (auto it = line.globalMatch(page); it.hasNext();)
        numbers << it.next().captured(1).toInt();
    return numbers;
}
} // namespace

TEST_F(Pagination, WithoutAPrinterPagesAreLetterAtScreenResolution)
{
    paginate("one line");
    const int ppi = QPicture().logicalDpiX();
    EXPECT_EQ(engine.LogPixelsX(), ppi);
    EXPECT_EQ(engine.LogPixelsY(), QPicture().logicalDpiY());
    EXPECT_EQ(engine.PageWidth(), qRound(ppi * 8.5));
    EXPECT_EQ(engine.PageHeight(), engine.LogPixelsY() * 11);
    EXPECT_EQ(engine.OffsetX(), 0);
    EXPECT_EQ(engine.PageCount(), 1);
    QString why;
    QByteArray info;
    ASSERT_TRUE(runTool("pdfinfo", {dir.filePath("pages.pdf")}, &info).isEmpty());
    EXPECT_TRUE(info.contains("612 x 792 pts")) << info.toStdString();
}

TEST_F(Pagination, ADocumentWithoutMarkersTakesAsManyPagesAsItNeeds)
{
    const QStringList pages = paginate(numberedLines(1, 150));
    ASSERT_GE(pages.size(), 3);
    EXPECT_EQ(pages.size(), engine.PageCount());
    QList<int> all;
    for (int p = 0; p < pages.size(); ++p) {
        const QList<int> numbers = lineNumbers(pages[p]);
        EXPECT_FALSE(numbers.isEmpty()) << "page " << p + 1;
        all += numbers;
        EXPECT_TRUE(pages[p].contains(QStringLiteral("Page %1").arg(p + 1)));
    }
    // Every line exactly once, in order: no line lost or doubled at a page end.
    QList<int> expected;
    for (int i = 1; i <= 150; ++i)
        expected << i;
    EXPECT_EQ(all, expected);
    // Full pages hold the same number of lines.
    EXPECT_EQ(lineNumbers(pages[0]).size(), lineNumbers(pages[1]).size());
}

TEST_F(Pagination, MarkersStartNewPagesAndEmptyChunksGivePagesWithOnlyTheFurniture)
{
    engine.TextOptions.Header = "Head";
    engine.TextOptions.Footer = "Foot";
    const QString marker = PageBreakMarker();
    ASSERT_EQ(marker.size(), 352);
    EXPECT_EQ(marker.front(), QChar('`'));
    EXPECT_EQ(marker.back(), QChar(0xB4));
    const QStringList pages = paginate(marker + "\n" + numberedLines(1, 3) + "\n" + marker + "\n" + marker + "\n" + numberedLines(4, 5));
    ASSERT_EQ(pages.size(), 4);
    // A leading marker: the first page carries header, footer and number only.
    EXPECT_EQ(pages[0].simplified(), "Head Foot Page 1");
    EXPECT_EQ(lineNumbers(pages[1]), (QList<int>{1, 2, 3}));
    // Two markers on consecutive lines: a page without body between them.
    EXPECT_EQ(pages[2].simplified(), "Head Foot Page 3");
    EXPECT_EQ(lineNumbers(pages[3]), (QList<int>{4, 5}));
    EXPECT_FALSE(pages.join("").contains("000"));
}

TEST_F(Pagination, PageNumberSitsBottomRightInTimesItalicOneInchFromTheEdge)
{
    paginate("Body");
    const QImage page = pageImage(engine, 0);
    const int ppi = engine.LogPixelsX();
    // The same text drawn where the default options put it: right end one inch from the
    // right edge, top 0.75 inch above the bottom edge, Times New Roman 10 pt italic.
    QFont font("Times New Roman");
    font.setItalic(true);
    font.setPixelSize(qRound(10.0 * engine.LogPixelsY() / 72));
    const int width = QFontMetrics(font).horizontalAdvance("Page 1");
    QImage expected(page.size(), QImage::Format_RGB32);
    expected.fill(Qt::white);
    {
        QPainter painter(&expected);
        painter.setFont(font);
        painter.drawText(QPointF(engine.PageWidth() - ppi - width, engine.PageHeight() - qRound(0.75 * engine.LogPixelsY()) + QFontMetrics(font).ascent()), "Page 1");
    }
    const QRect footer(0, engine.PageHeight() - 2 * ppi, engine.PageWidth(), 2 * ppi);
    EXPECT_EQ(page.copy(footer), expected.copy(footer));
    const QRect ink = inkBox(page, footer);
    EXPECT_LE(qAbs(ink.right() - (engine.PageWidth() - ppi)), 2);
    EXPECT_GE(ink.top(), engine.PageHeight() - qRound(0.75 * ppi));
    // The body starts one inch from the left and top edges.
    const QRect body = inkBox(page, QRect(0, 0, engine.PageWidth(), engine.PageHeight() / 2));
    EXPECT_LE(qAbs(body.left() - ppi), 2);
    EXPECT_GE(body.top(), ppi);
    EXPECT_LE(body.top(), ppi + 6);
}

TEST_F(Pagination, MarginsAreInchesDuringPaginationWhateverTheUnits)
{
    engine.SetUnits(unCentimeters);
    EXPECT_DOUBLE_EQ(engine.UnitFactor(), 2.54);
    engine.TextOptions.MarginLeft = 2.0;
    paginate("Body");
    EXPECT_EQ(engine.Units(), unCentimeters);
    EXPECT_DOUBLE_EQ(engine.UnitFactor(), 2.54);
    const QRect body = inkBox(pageImage(engine, 0), QRect(0, 0, engine.PageWidth(), engine.PageHeight() / 2));
    EXPECT_LE(qAbs(body.left() - 2 * engine.LogPixelsX()), 2); // two inches, not two centimetres
    engine.SetUnits(TUnits(7));
    EXPECT_DOUBLE_EQ(engine.UnitFactor(), 2.54);
}

TEST_F(Pagination, PageNumbersStartAfterPageStartNo)
{
    engine.SetPageStartNo(10);
    engine.TextOptions.SetPageNumText("Seite");
    const QStringList pages = paginate(numberedLines(1, 2) + "\n" + PageBreakMarker() + "\nmore");
    ASSERT_EQ(pages.size(), 2);
    EXPECT_TRUE(pages[0].contains("Seite 11"));
    EXPECT_TRUE(pages[1].contains("Seite 12"));
}

TEST_F(Pagination, StatusReportsComeInOrder)
{
    paginate(numberedLines(1, 2) + "\n" + PageBreakMarker() + "\nmore");
    EXPECT_EQ(statuses, (QStringList{"Paginating page 1|1|0", "Paginating page 2|2|0", "Pagination Complete|-1|2",
                                     "Printing page 0|0|1", "Printing page 1|1|1", "Print Job Complete|-1|3"}));
}

TEST_F(Pagination, BrokenCallOrdersFailWithAssertionMessages)
{
    auto message = [](const std::function<void()> &f) -> std::string {
        try {
            f();
        } catch (const TAssertionError &e) {
            return e.what();
        }
        return "no error";
    };
    EXPECT_EQ(message([&] { engine.Canvas(); }).rfind("Canvas is not available before BeginDoc (", 0), 0u);
    EXPECT_EQ(message([&] { engine.NewPage(); }).rfind("Assertion failure (", 0), 0u);
    engine.BeginDoc();
    engine.EndDoc();
    EXPECT_EQ(engine.PageCount(), 0); // the untouched page is dropped
    EXPECT_EQ(message([&] { engine.Canvas(); }).rfind("Canvas is not available before BeginDoc", 0), 0u);
    engine.BeginDoc();
    engine.PrintTextLine(10, taLeftJustify, "", nullptr);
    engine.NewPage();
    engine.EndDoc();
    EXPECT_EQ(engine.PageCount(), 1);
}

TEST_F(Pagination, ALineTallerThanTheBodyIsDrawnSmallerOnAPageOfItsOwnWithTheTextBesideIt)
{
    // A picture of 20 inches with words on either side, and a letter of 1,638 points: the
    // body holds neither, yet each takes one page inside the body, keeps its words, and the
    // pagination goes on.
    QTextDocument picture;
    QImage tall(10, 10, QImage::Format_RGB32);
    tall.fill(Qt::black);
    picture.addResource(QTextDocument::ImageResource, QUrl("tall"), tall);
    QTextCursor cursor(&picture);
    cursor.insertText("Line 1\nbefore ");
    QTextImageFormat image;
    image.setName("tall");
    image.setWidth(96);
    image.setHeight(96 * 20);
    cursor.insertImage(image);
    cursor.insertText(" after\nLine 2");
    QTextDocument letter;
    ASSERT_TRUE(ReadRtf("{\\rtf1{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 Line 1\\par{\\fs3276 W}\\par Line 2\\par}", letter));

    for (auto [doc, words] : {std::pair{&picture, QStringList{"before", "after"}}, std::pair{&letter, QStringList{"W"}}}) {
        SCOPED_TRACE(words.join(' ').toStdString());
        engine.PrintRichText(*doc);
        QString why;
        const QStringList pages = printedPages(engine, dir.filePath("tall.pdf"), &why);
        ASSERT_EQ(pages.size(), 3) << why.toStdString();
        EXPECT_EQ(lineNumbers(pages[0]), QList<int>{1});
        EXPECT_EQ(pages[1].simplified(), words.join(' ') + " Page 2");
        EXPECT_EQ(lineNumbers(pages[2]), QList<int>{2});

        // Above the footer line everything drawn lies in the body, and the line is drawn.
        const int inch = engine.LogPixelsY();
        const QImage page = pageImage(engine, 1);
        const QRect body(inch, inch, engine.PageWidth() - 2 * inch, engine.PageHeight() - 2 * inch);
        const QRect ink = inkBox(page, QRect(0, 0, page.width(), engine.PageHeight() - inch * 3 / 4));
        EXPECT_TRUE(body.adjusted(-1, -1, 1, 1).contains(ink)) << ink.top() << " " << ink.bottom() << " " << ink.right();
        EXPECT_GT(ink.height(), body.height() / 2);
    }
}

TEST_F(Pagination, ListsPastedIntoTheTextKeepTheirNumbersAndBullets)
{
    QTextDocument doc;
    doc.setHtml("<ol><li>Line 1</li><li>Line 2</li></ol><ul><li>Line 3</li></ul>");
    engine.PrintRichText(doc);
    QString why;
    const QStringList pages = printedPages(engine, dir.filePath("list.pdf"), &why);
    ASSERT_EQ(pages.size(), 1) << why.toStdString();
    EXPECT_EQ(pages[0].simplified(), QString::fromUtf8("1. Line 1 2. Line 2 \u2022 Line 3 Page 1"));
}

TEST_F(Pagination, PrintingClampsTheRangeToThePages)
{
    paginate(numberedLines(1, 2) + "\n" + PageBreakMarker() + "\nmore");
    statuses.clear();
    QFile file(dir.filePath("clamped.pdf"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    QPdfWriter pdf(&file);
    engine.PrintPages(pdf, -3, 10);
    EXPECT_EQ(statuses, (QStringList{"Printing page 0|0|1", "Printing page 1|1|1", "Print Job Complete|-1|3"}));
}

TEST(PageRecorderDevice, TextIsLaidOutAtThePrintersResolution)
{
    // Half an inch of indent and 12-point text at 600 dots per inch: the sizes on paper
    // are those of the document, the line breaks those of the printer.
    FixedDeviceEngine engine(600, 8.5, 11);
    QTextDocument doc;
    ASSERT_TRUE(ReadRtf("{\\rtf1{\\fonttbl{\\f0 Arial;}}\\f0\\fs24\\li720 HHHH\\par}", doc));
    engine.PrintRichText(doc);
    ASSERT_EQ(engine.LogPixelsX(), 600);
    EXPECT_EQ(engine.PageWidth(), 5100);
    const QImage page = pageImage(engine, 0);
    const QRect ink = inkBox(page, QRect(0, 0, page.width(), page.height() / 4));
    EXPECT_NEAR(ink.left(), 600 + 300, 12);
    EXPECT_NEAR(ink.height(), 12.0 / 72 * 600 * 0.72, 12); // capital height of 12-point Arial

    // A picture of one inch square stays one inch on paper.
    QImage black(4, 4, QImage::Format_RGB32);
    black.fill(Qt::black);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    black.save(&buffer, "png");
    ASSERT_TRUE(ReadRtf("{\\rtf1 {\\pict\\pngblip\\picwgoal1440\\pichgoal1440 " + png.toHex() + "}}", doc));
    engine.PrintRichText(doc);
    const QRect picture = inkBox(pageImage(engine, 0), QRect(0, 0, 5100, 3000));
    EXPECT_NEAR(picture.width(), 600, 2);
    EXPECT_NEAR(picture.height(), 600, 2);
    EXPECT_NEAR(picture.left(), 600, 2);
}

TEST(PageRecorderDevice, EveryTwipsLengthKeepsItsSizeOnPaperAtAnyResolution)
{
    // Each line shows one black X; what stands before it is white. Spacing after and
    // before, a hanging indent's bullet and tab, a tab stop and a table cell, each in twips.
    const QByteArray rtf = R"({\rtf1{\fonttbl{\f0 Arial;}}{\colortbl;\red255\green255\blue255;}\f0\fs20
\pard\sa600 X\par
\pard\sb300 X\par
\pard\fi-720\li2160 {\cf1\'95}\tab X\par
\pard\tx4320 {\cf1 a}\tab X\par
\trowd\cellx1440\cellx5760\cellx7200\pard\intbl {\cf1 a}\cell{\cf1 b}\cell X\cell\row})";
    QTextDocument doc;
    ASSERT_TRUE(ReadRtf(rtf, doc));
    for (const int dpi : {96, 300, 1200}) {
        SCOPED_TRACE(dpi);
        FixedDeviceEngine engine(dpi, 8.5, 11);
        engine.PrintRichText(doc);
        QImage page(850, 1100, QImage::Format_RGB32); // 100 pixels per inch
        page.fill(Qt::white);
        QPainter painter(&page);
        painter.scale(100.0 / dpi, 100.0 / dpi);
        DrawPagePicture(painter, engine.Page(0));
        painter.end();
        std::vector<QRect> lines; // the ink of each line, top to bottom
        for (int y = 0; y < 900; ++y) {
            const QRect row = inkBox(page, QRect(0, y, 850, 1));
            if (!row.isEmpty() && (lines.empty() || lines.back().bottom() < y - 1))
                lines.push_back(row);
            else if (!row.isEmpty())
                lines.back() |= row;
        }
        ASSERT_EQ(lines.size(), 5u);
        // Space after and space before add up, as in every RTF writer.
        const double pitch = (lines[4].top() - lines[3].top()) / 100.0;
        EXPECT_NEAR((lines[1].top() - lines[0].top()) / 100.0, pitch + 900 / 1440.0, 0.02);
        EXPECT_NEAR(lines[0].left() / 100.0, 1.0, 0.02);
        EXPECT_NEAR(lines[2].left() / 100.0, 1.0 + 2160 / 1440.0, 0.03);
        EXPECT_NEAR(lines[3].left() / 100.0, 1.0 + 4320 / 1440.0, 0.03);
        EXPECT_NEAR(lines[4].left() / 100.0, 1.0 + 5760 / 1440.0, 0.03);
    }
}

TEST_F(Pagination, DamagedDocumentsPaginate)
{
    // Found by fuzzing: paragraph spacing of 400,000,000 twips beside a broken marker
    // overflowed the layout's coordinates, and the pagination never ended.
    QTextDocument doc;
    ASSERT_TRUE(ReadRtf("{\\rtf1 " + QByteArray::fromHex("610a6030303030303030303030473030303030303030303030303030303030303030305c7361303030303030303034303030303030303040303030303030303030303030303030303030303030303030303030303030303030303030303030315c2762345c70ffffff0e617220625c706167652063"), doc));
    engine.PrintRichText(doc);
    EXPECT_GE(engine.PageCount(), 2);
    EXPECT_FALSE(engine.InDocument());
}

TEST(PageRecorderUnits, ConversionsRoundHalvesToEven)
{
    FixedDeviceEngine engine(64, 8.5, 11);
    engine.BeginDoc();
    EXPECT_EQ(engine.LogPixelsX(), 64);
    EXPECT_EQ(engine.UnitsToPixelsX(5.0 / 128), 2); // 2.5
    EXPECT_EQ(engine.UnitsToPixelsY(7.0 / 128), 4); // 3.5
    EXPECT_EQ(engine.UnitsToPixelsX(1.0), 64);
    EXPECT_DOUBLE_EQ(engine.PixelsToUnitsX(32), 0.5);
    engine.SetUnits(unCentimeters);
    EXPECT_EQ(engine.UnitsToPixelsX(2.54), 64);
    EXPECT_DOUBLE_EQ(engine.PixelsToUnitsY(64), 2.54);
    engine.EndDoc();
}

namespace {
// A long document of numbered words w1, w2, ... in paragraphs of mixed sizes and spacing:
// tall one-line headings, wrapped body text, small text with space above, indented text,
// forced line breaks. Paragraphs listed in breakBefore start on a new page (\page); a
// page-break marker follows a paragraph for each time markerAfter lists it. firstWords
// gets the number of each paragraph's first word, and one more: the number after the last.
QByteArray numberedWordsRtf(int paragraphs, const QList<int> &breakBefore, const QList<int> &markerAfter,
                            QList<int> *firstWords)
{
    QByteArray rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1 Times New Roman;}}\n";
    int word = 0;
    auto words = [&word](int n, const char *separator = " ") {
        QByteArray text;
        for (int i = 0; i < n; ++i)
            text += (i ? separator : "") + QByteArray("w") + QByteArray::number(++word);
        return text;
    };
    static const char *const kinds[] = {"\\f0\\fs48\\b ", "\\f1\\fs20 ", "\\sb240\\f0\\fs16 ", "\\li720\\f1\\fs28 ",
                                        "\\f0\\fs20 "};
    for (int p = 0; p < paragraphs; ++p) {
        if (breakBefore.contains(p))
            rtf += "\\page\n";
        firstWords->append(word + 1);
        const int kind = p % 5;
        rtf += QByteArray("\\pard\\plain ") + kinds[kind];
        rtf += kind == 0 ? words(2) : kind == 4 ? words(3, "\\line ") : words(25 + p % 17);
        rtf += "\\par\n";
        for (qsizetype m = markerAfter.count(p); m > 0; --m)
            rtf += "`" + QByteArray(350, '0') + "\\'b4\\par\n";
    }
    firstWords->append(word + 1);
    return rtf + "}";
}

// The numbered words each page of a PDF file shows in the body (one to ten inches from
// the top of a Letter sheet), by pdftotext's word boxes.
QList<QList<int>> visibleWords(const QString &pdf, QString *why)
{
    QByteArray out;
    *why = runTool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")}, &out);
    QList<QList<int>> pages;
    static const QRegularExpression item(
        QStringLiteral("<page |<word [^>]*yMin=\"([0-9.]+)\"[^>]*yMax=\"([0-9.]+)\">w(\\d+)</word>"));
    for (auto it = item.globalMatch(QString::fromUtf8(out)); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(0).startsWith(QLatin1String("<page"))) {
            pages << QList<int>();
            continue;
        }
        const double middle = (m.captured(1).toDouble() + m.captured(2).toDouble()) / 2;
        if (!pages.isEmpty() && middle > 72 && middle < 720)
            pages.back() << m.captured(3).toInt();
    }
    return pages;
}

struct WordLine
{
    int firstWord = 0, lastWord = 0;
    double top = 0, bottom = 0;
};

// The lines of doc laid out alone on a body of width pixels at the screen's resolution,
// with their first and last word; lines without words are left out.
std::vector<WordLine> wordLines(QTextDocument &doc, int width)
{
    static const QRegularExpression number(QStringLiteral("w(\\d+)"));
    QPicture screen;
    doc.setDocumentMargin(0);
    doc.documentLayout()->setPaintDevice(&screen);
    doc.setTextWidth(width);
    std::vector<WordLine> lines;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        const double offset = doc.documentLayout()->blockBoundingRect(block).top() - block.layout()->boundingRect().top();
        for (int i = 0; i < block.layout()->lineCount(); ++i) {
            const QTextLine line = block.layout()->lineAt(i);
            QList<int> found;
            for (auto it = number.globalMatch(block.text().mid(line.textStart(), line.textLength())); it.hasNext();)
                found << it.next().captured(1).toInt();
            if (!found.isEmpty())
                lines.push_back({found.front(), found.back(), offset + line.y(), offset + line.y() + line.height()});
        }
    }
    doc.documentLayout()->setPaintDevice(nullptr);
    return lines;
}
} // namespace

TEST_F(Pagination, ALongDocumentPutsEveryLineOnOnePageInOrderAndFillsEachPage)
{
    const QList<int> breakBefore{60, 61, 170, 290};
    const QList<int> markerAfter{40, 40, 150, 239};
    QList<int> firstWords;
    QTextDocument doc;
    ASSERT_TRUE(ReadRtf(numberedWordsRtf(320, breakBefore, markerAfter, &firstWords), doc));
    QList<int> progress;
    engine.OnProgress = [&progress](int percent) { progress << percent; };
    engine.PrintRichText(doc);
    QFile pdf(dir.filePath("long.pdf"));
    ASSERT_TRUE(pdf.open(QIODevice::WriteOnly));
    engine.PrintPagesToPdf(pdf);
    pdf.close();
    QString why;
    const QList<QList<int>> pageWords = visibleWords(pdf.fileName(), &why);
    ASSERT_TRUE(why.isEmpty()) << why.toStdString();
    ASSERT_EQ(pageWords.size(), engine.PageCount());
    ASSERT_GE(pageWords.size(), 25);

    // Every word once, in order: no line lost, doubled or moved at a page end.
    QList<int> all;
    for (const QList<int> &words : pageWords)
        all += words;
    ASSERT_EQ(all.size(), firstWords.back() - 1);
    for (int i = 0; i < all.size(); ++i)
        ASSERT_EQ(all[i], i + 1) << "at word " << i + 1;

    // Each forced break and each marker starts a page with the paragraph that follows it;
    // two markers in a row leave a page with no body between them.
    QList<int> pageStarts;
    for (const QList<int> &words : pageWords)
        pageStarts << (words.isEmpty() ? 0 : words.front());
    for (int p : breakBefore)
        EXPECT_TRUE(pageStarts.contains(firstWords[p])) << "no page starts with paragraph " << p;
    for (int p : markerAfter)
        EXPECT_TRUE(pageStarts.contains(firstWords[p + 1])) << "no page starts after the marker after " << p;
    const auto pageOf = [&pageWords](int word) {
        for (int page = 0; page < pageWords.size(); ++page)
            if (pageWords[page].contains(word))
                return page;
        return -1;
    };
    EXPECT_GE(pageOf(firstWords[41]) - pageOf(firstWords[41] - 1), 2);

    // Against the lines of the document laid out on the body's width: every page starts at
    // a line, its lines fit the body's height, and the line after it would not have fitted
    // unless a break comes first.
    const double bodyHeight = engine.PageHeight() - 2 * engine.LogPixelsY();
    const std::vector<WordLine> lines = wordLines(doc, engine.PageWidth() - 2 * engine.LogPixelsX());
    QList<int> forced;
    for (int p : breakBefore)
        forced << firstWords[p];
    for (int p : markerAfter)
        forced << firstWords[p + 1];
    size_t line = 0;
    for (int page = 0; page < pageWords.size(); ++page) {
        if (pageWords[page].isEmpty())
            continue;
        SCOPED_TRACE("page " + std::to_string(page + 1));
        ASSERT_LT(line, lines.size());
        ASSERT_EQ(lines[line].firstWord, pageWords[page].front());
        const size_t first = line;
        while (line < lines.size() && lines[line].lastWord < pageWords[page].back())
            ++line;
        ASSERT_LT(line, lines.size());
        ASSERT_EQ(lines[line].lastWord, pageWords[page].back());
        if (line > first) {
            EXPECT_LE(lines[line].bottom - lines[first].top, bodyHeight);
        }
        ++line;
        if (line < lines.size() && !forced.contains(lines[line].firstWord)) {
            EXPECT_GT(lines[line].bottom - lines[first].top, bodyHeight);
        }
    }
    EXPECT_EQ(line, lines.size());

    // The gauge runs from 0 to 100 and never goes back.
    ASSERT_GE(progress.size(), 2);
    EXPECT_EQ(progress.front(), 0);
    EXPECT_EQ(progress.back(), 100);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
}
