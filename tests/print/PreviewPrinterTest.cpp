// Printing: the print dialog's range and copies, the printable-area offsets, pages laid
// out without a printer, the clipboard and caret of the help text, and letrafex-cli.
#include "PrintTestTools.h"
#include "ScriptedDialogs.h"
#include "core/FileBytes.h"
#include "preview/PreviewForm.h"
#include "richtext/RtfReader.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {
class Printing : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    QStringList statuses;

    void watch(TPageRecorder &engine)
    {
        engine.OnStatus = [this](TPageRecorder *, const QString &msg, int page, TStatusType type) {
            statuses << QStringLiteral("%1|%2|%3").arg(msg).arg(page).arg(int(type));
        };
    }
    // The engine's printer as a PDF file at dpi with margins (inches) around the
    // printable area.
    static void toPdf(QPrinter &printer, const QString &pdf, int dpi, double margin)
    {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setResolution(dpi);
        printer.setPageSize(QPageSize(QPageSize::Letter));
        printer.setPageMargins(QMarginsF(margin, margin, margin, margin), QPageLayout::Inch);
    }
    // Right end of the page number's ink on the first printed page, in inches.
    double pageNumberRight(const QString &pdf)
    {
        QString why;
        const QImage page = renderPdfPage(pdf, 100, &why);
        EXPECT_FALSE(page.isNull()) << why.toStdString();
        return page.isNull() ? -1 : (inkBox(page, QRect(0, 900, page.width(), 1100 - 900)).right() + 1) / 100.0;
    }
};

void paginate(TPreviewPrinter &engine, const QString &text)
{
    QTextDocument doc;
    doc.setPlainText(text);
    engine.PrintRichText(doc);
}
} // namespace

TEST_F(Printing, TwoCopiesOfARangeAreTwoJobsOfThatRange)
{
    FixedDeviceEngine engine(300, 8.5, 11);
    paginate(engine, "one\n" + PageBreakMarker() + "\ntwo\n" + PageBreakMarker() + "\nthree\n" + PageBreakMarker() + "\nfour");
    ASSERT_EQ(engine.PageCount(), 4);
    watch(engine);
    const QString pdf = dir.filePath("range.pdf");
    int asked = 0;
    dialogs.onPrinter = [&](QPrinter &printer) {
        ++asked;
        EXPECT_EQ(printer.fromPage(), 1);
        EXPECT_EQ(printer.toPage(), 4);
        toPdf(printer, pdf, 300, 0);
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(2, 3);
        printer.setCopyCount(2);
        return true;
    };
    EXPECT_TRUE(engine.PrintWithDialog());
    EXPECT_EQ(asked, 1);
    const QStringList job{"Printing page 1|1|1", "Printing page 2|2|1", "Print Job Complete|-1|3"};
    EXPECT_EQ(statuses, job + job);
    QString why;
    const QStringList pages = pdfPageTexts(pdf, &why);
    ASSERT_TRUE(why.isEmpty()) << why.toStdString();
    ASSERT_EQ(pages.size(), 2);
    EXPECT_EQ(pages[0].simplified(), "two Page 2");
    EXPECT_EQ(pages[1].simplified(), "three Page 3");

    // A cancelled dialog prints nothing.
    statuses.clear();
    dialogs.onPrinter = [](QPrinter &) { return false; };
    EXPECT_FALSE(engine.PrintWithDialog());
    EXPECT_TRUE(statuses.isEmpty());
}

TEST_F(Printing, PagesAddressTheSheetWhateverThePrintableArea)
{
    FixedDeviceEngine engine(300, 8.5, 11);
    paginate(engine, "text");
    for (const double margin : {0.0, 1.0}) {
        const QString pdf = dir.filePath(QStringLiteral("margin%1.pdf").arg(margin));
        toPdf(engine.Printer(), pdf, 300, margin);
        EXPECT_TRUE(engine.PrintAll());
        EXPECT_NEAR(pageNumberRight(pdf), 7.5, 0.03) << "margin " << margin;
    }
}

TEST_F(Printing, PagesLaidOutWithoutAPrinterKeepTheirSizeOnPaper)
{
    // Recorded against the screen (no printer here), printed at 600 dots per inch: the
    // page is scaled to the printer, not shrunk to a sixth.
    TPreviewPrinter engine;
    paginate(engine, "text");
    ASSERT_LT(engine.LogPixelsX(), 600);
    const QString pdf = dir.filePath("screen.pdf");
    toPdf(engine.Printer(), pdf, 600, 0.25);
    EXPECT_TRUE(engine.PrintRange(0, 0));
    EXPECT_NEAR(pageNumberRight(pdf), 7.5, 0.03);
}

namespace {
// The words of pages without their page-number lines; a word broken at a line's end after
// a hyphen or a slash (a web address) is one word.
QStringList wordsOf(QStringList pages)
{
    static const QRegularExpression pageNumber("\\n *Page \\d+\\s*$"), broken("(?<=[-/])\\s+"), space("\\s+");
    for (QString &page : pages)
        page.remove(pageNumber);
    return pages.join('\n').remove(broken).split(space, Qt::SkipEmptyParts);
}
} // namespace

TEST_F(Printing, HelpPrintedOnThePaperChosenInTheDialogKeepsEveryWordOnceAndInOrder)
{
    using Paper = std::pair<QPageSize::PageSizeId, QPageLayout::Orientation>;
    for (const QString name : {"English", "German"})
        for (const Paper &paper : {Paper{QPageSize::A4, QPageLayout::Portrait}, Paper{QPageSize::A4, QPageLayout::Landscape},
                                   Paper{QPageSize::Letter, QPageLayout::Portrait}}) {
            // Plain variables: clang 14 lets no lambda capture a structured binding.
            const QPageSize::PageSizeId size = paper.first;
            const QPageLayout::Orientation orientation = paper.second;
            SCOPED_TRACE((name + " " + QPageSize(size).key() + " " + QString::number(orientation)).toStdString());
            QTextEdit help;
            ASSERT_TRUE(LoadRtfFile(QStringLiteral(LETRAFEX_DATA "/Help/") + name + ".rtf", *help.document()));
            TPreviewPrinter engine; // no printer here: the preview is laid out on a Letter sheet
            engine.PrintRichText(&help);
            const QString pdf = dir.filePath("help.pdf");
            dialogs.onPrinter = [&](QPrinter &printer) {
                printer.setOutputFormat(QPrinter::PdfFormat);
                printer.setOutputFileName(pdf);
                printer.setPageSize(QPageSize(size));
                printer.setPageOrientation(orientation);
                return true;
            };
            ASSERT_TRUE(engine.PrintWithDialog());
            QString why;
            const QStringList printed = pdfPageTexts(pdf, &why);
            ASSERT_TRUE(why.isEmpty()) << why.toStdString();
            EXPECT_EQ(wordsOf(printed),
                      wordsOf({help.toPlainText().remove(PageBreakMarker()).remove(QChar::ObjectReplacementCharacter)}));

            // The preview now shows that layout: pages 2 and 3 printed are its pages 2 and 3.
            EXPECT_EQ(printed, printedPages(engine, dir.filePath("preview.pdf"), &why));
            dialogs.onPrinter = [&](QPrinter &printer) {
                printer.setPrintRange(QPrinter::PageRange);
                printer.setFromTo(2, 3);
                return true;
            };
            ASSERT_TRUE(engine.PrintWithDialog());
            EXPECT_EQ(pdfPageTexts(pdf, &why), printed.mid(1, 2));
        }
}

TEST_F(Printing, HelpTextKeepsTheClipboardAndEndsWithTheCaretAtItsStart)
{
    QApplication::clipboard()->setText("the user's own text");
    QTextEdit edit;
    edit.setPlainText(numberedLines(1, 80) + "\n" + PageBreakMarker() + "\nlast chunk");
    QTextCursor selection = edit.textCursor();
    selection.setPosition(5);
    selection.setPosition(40, QTextCursor::KeepAnchor);
    edit.setTextCursor(selection);
    TPreviewPrinter engine;
    engine.PrintRichText(&edit);
    EXPECT_GE(engine.PageCount(), 3);
    EXPECT_EQ(QApplication::clipboard()->text(), "the user's own text");
    EXPECT_EQ(edit.textCursor().position(), 0);
    EXPECT_FALSE(edit.textCursor().hasSelection());
    EXPECT_THROW(engine.PrintRichText(static_cast<QTextEdit *>(nullptr)), TAssertionError);
}

TEST_F(Printing, PreviewPrintButtonRunsThePrintDialog)
{
    TPreviewPrinter engine;
    paginate(engine, "x");
    int asked = 0;
    dialogs.onPrinter = [&](QPrinter &) { return ++asked, false; };
    dialogs.onExec = [&](QDialog &dialog) {
        auto &form = dynamic_cast<TPreviewForm &>(dialog);
        EXPECT_EQ(form.windowTitle(), "Print Preview");
        form.PrintBut->click();
        return 0;
    };
    engine.Preview();
    EXPECT_EQ(asked, 1);
}

TEST_F(Printing, ARangeBeyondTheNewLayoutPrintsNothingAndThePreviewShowsTheNewPages)
{
    // Laid out on Letter (no printer here), on fewer pages on the Legal sheet chosen.
    TPreviewPrinter engine;
    paginate(engine, numberedLines(1, 400));
    const int before = engine.PageCount();
    const QString pdf = dir.filePath("kept.pdf");
    writeWholeFile(pdf, "an earlier print");
    dialogs.onPrinter = [&](QPrinter &printer) {
        toPdf(printer, pdf, 300, 0.25);
        printer.setPageSize(QPageSize(QPageSize::Legal));
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(before, before);
        return true;
    };
    QString pageLabel;
    dialogs.onExec = [&](QDialog &dialog) {
        dynamic_cast<TPreviewForm &>(dialog).PrintBut->click();
        return pageLabel = dynamic_cast<TPreviewForm &>(dialog).CurPageLabel->text(), 0;
    };
    engine.Preview();
    ASSERT_LT(engine.PageCount(), before);
    EXPECT_EQ(dialogs.errors, QStringList{QString("Laid out on the chosen sheet, the document ends on page %1, before the "
                                                  "page range begins. Nothing was printed.").arg(engine.PageCount())});
    EXPECT_EQ(readWholeFile(pdf), "an earlier print");
    EXPECT_EQ(pageLabel, QString(" 1/%1").arg(engine.PageCount()));
}

TEST_F(Printing, CommandLinePrintsTheEnginesPages)
{
    QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 ";
    for (int i = 1; i <= 90; ++i)
        rtf += "Line " + QByteArray::number(i) + "\\par\n";
    const QByteArray marker = "`" + QByteArray(350, '0') + "\\'b4\\par\n";
    rtf += marker + "{\\b Line 91}\\par\n" + marker + marker + "Line 92}";
    QFile file(dir.filePath("doc.rtf"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(rtf);
    file.close();

    const QString pdf = dir.filePath("cli.pdf");
    QProcess cli;
    cli.start(LETRAFEX_CLI, {"print-rtf", file.fileName(), pdf});
    ASSERT_TRUE(cli.waitForFinished(60000));
    ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    QString why;
    const QStringList printed = pdfPageTexts(pdf, &why);
    ASSERT_TRUE(why.isEmpty()) << why.toStdString();

    // The engine in this process, on the same document: the same pages.
    QTextDocument doc;
    ASSERT_TRUE(ReadRtf(rtf, doc));
    TPageRecorder engine;
    engine.PrintRichText(doc);
    const QStringList expected = printedPages(engine, dir.filePath("engine.pdf"), &why);
    EXPECT_EQ(printed, expected);
    ASSERT_EQ(printed.size(), engine.PageCount());
    ASSERT_GE(printed.size(), 5);
    for (int p = 0; p < printed.size(); ++p)
        EXPECT_TRUE(printed[p].contains(QStringLiteral("Page %1").arg(p + 1))) << p;
    const int n = int(printed.size());
    EXPECT_TRUE(printed[n - 3].contains("Line 91"));
    EXPECT_EQ(printed[n - 2].simplified(), QStringLiteral("Page %1").arg(n - 1));
    EXPECT_EQ(printed[n - 1].simplified(), QStringLiteral("Line 92 Page %1").arg(n));

    QProcess bad;
    bad.start(LETRAFEX_CLI, {"print-rtf", dir.filePath("missing.rtf"), dir.filePath("no.pdf")});
    ASSERT_TRUE(bad.waitForFinished(60000));
    EXPECT_EQ(bad.exitCode(), 1);
    EXPECT_FALSE(QFile::exists(dir.filePath("no.pdf")));
}

namespace {
// The lines of a page's text as pdftotext lays it out, without blank lines and without
// the page number line at the bottom.
QStringList bodyLines(const QString &page, int number)
{
    QStringList lines;
    for (const QString &line : page.split(QLatin1Char('\n')))
        if (!line.trimmed().isEmpty())
            lines << line.simplified();
    if (!lines.isEmpty() && lines.last() == QStringLiteral("Page %1").arg(number))
        lines.removeLast();
    return lines;
}
} // namespace

TEST_F(Printing, ShippedHelpPrintsEachLineOnceOnOnePage)
{
    for (const QString name : {"English", "German"}) {
        SCOPED_TRACE(name.toStdString());
        const QString rtf = QStringLiteral(LETRAFEX_DATA "/Help/") + name + ".rtf";
        const QString pdf = dir.filePath(name + ".pdf");
        QByteArray out;
        ASSERT_EQ(runTool(LETRAFEX_CLI, {"print-rtf", rtf, pdf}, &out), QString());
        QByteArray info;
        ASSERT_EQ(runTool("pdfinfo", {pdf}, &info), QString());
        const int pages = QRegularExpression("Pages:\\s*(\\d+)").match(QString::fromUtf8(info)).captured(1).toInt();
        ASSERT_GE(pages, 5);

        // Page by page, as a reader copying from the PDF gets them: no line is both the
        // last of one page and the first of the next.
        QStringList printed;
        QStringList previous;
        for (int p = 1; p <= pages; ++p) {
            QByteArray text;
            ASSERT_EQ(runTool("pdftotext", {"-layout", "-f", QString::number(p), "-l", QString::number(p), pdf, "-"}, &text),
                      QString());
            const QStringList lines = bodyLines(QString::fromUtf8(text), p);
            if (!previous.isEmpty() && !lines.isEmpty()) {
                EXPECT_NE(previous.last(), lines.first()) << "pages " << p - 1 << " and " << p;
            }
            printed += lines;
            previous = lines;
        }

        // All pages together hold the document's text once, every character in order
        // (compared without white space: lines break inside hyphenated words).
        QTextDocument doc;
        ASSERT_TRUE(ReadRtf(readWholeFile(rtf), doc));
        static const QRegularExpression space("\\s+");
        const QString expected =
            doc.toPlainText().remove(PageBreakMarker()).remove(QChar::ObjectReplacementCharacter).remove(space);
        const QString all = printed.join(QString()).remove(space);
        qsizetype same = 0;
        while (same < all.size() && same < expected.size() && all[same] == expected[same])
            ++same;
        EXPECT_EQ(all.size(), expected.size());
        EXPECT_EQ(same, expected.size()) << "printed: " << all.mid(same, 40).toStdString()
                                         << "\ndocument: " << expected.mid(same, 40).toStdString();
    }
}
