// Paginating a long help document as the help viewer does: the RTF read into the help
// text control, the print engine paginating it into page pictures (the gauge receiving
// the engine's progress). Documents of about 300 and 3,000 pages with headings, body
// paragraphs of several lines in two sizes, forced page breaks and page-break markers,
// laid out without a printer (the screen's Letter sheet) and for a 600 dpi printer.
#include "BenchMain.h"
#include "print/PageRecorder.h"
#include "preview/PreviewPrinter.h"
#include "richtext/RtfReader.h"

#include <QApplication>
#include <QTextEdit>
#include <benchmark/benchmark.h>

#include <memory>

namespace {
// The help viewer's engine with a printer of 600 dots per inch on US Letter.
class PrinterEngine : public TPreviewPrinter
{
protected:
    bool ReadPrinterMetrics(TDeviceMetrics &m) override
    {
        m.LogPixelsX = m.LogPixelsY = 600;
        m.PageWidth = 5100;
        m.PageHeight = 6600;
        return true;
    }
};

// One section is a heading, body paragraphs in 10 and 14 points, a short list; every
// seventh section starts on a new page. Page-break markers end the third and the fourth
// section, so nearly all of the document is one long chunk.
QByteArray generatedRtf(int sections)
{
    QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}{\\f1 Times New Roman;}}"
                     "{\\colortbl;\\red0\\green0\\blue255;}\n";
    const QByteArray words = "The quick brown fox jumps over the lazy dog while the print engine lays out "
                             "every line of this paragraph on the sheet. ";
    const QByteArray marker = "`" + QByteArray(350, '0') + "\\'b4\\par\n";
    for (int s = 1; s <= sections; ++s) {
        if (s % 7 == 0)
            rtf += "\\page\n";
        rtf += "\\pard\\sb120\\sa60\\f0\\fs32\\b\\ul\\cf1 Section " + QByteArray::number(s) + "\\b0\\ulnone\\cf0\\par\n";
        rtf += "\\pard\\f1\\fs20 " + words.repeated(4) + "\\par\n";
        rtf += "\\pard\\li720\\f0\\fs28 " + words.repeated(2) + "\\par\n";
        rtf += "\\pard\\f1\\fs20 " + words.repeated(3) + "\\line " + words + "\\par\n";
        for (int i = 1; i <= 4; ++i)
            rtf += "\\pard\\fi-360\\li360\\fs20 \\bullet\\tab Item " + QByteArray::number(i) + "\\par\n";
        if (s == 3 || s == 4)
            rtf += marker;
    }
    return rtf + "}";
}

// range 0: sections of the generated document; range 1: 0 without a printer (about 2.3
// sections a page: 300 and 3,000 pages), 600 with the 600 dpi printer (about 1.75 sections
// a page: 300 and 1,500 pages; Qt's text layout cannot lay out one document taller than
// 2^23 device pixels, about 1,550 pages at 600 dpi).
void PaginateHelpDocument(benchmark::State &state)
{
    QTextEdit help;
    if (!ReadRtf(generatedRtf(int(state.range(0))), *help.document())) {
        state.SkipWithError("the generated document is not RTF");
        return;
    }
    int pages = 0, reports = 0;
    for (auto _ : state) {
        std::unique_ptr<TPreviewPrinter> printer =
            state.range(1) == 600 ? std::make_unique<PrinterEngine>() : std::make_unique<TPreviewPrinter>();
        TPreviewPrinter &engine = *printer;
        engine.SetTitle(QStringLiteral("Tavorin"));
        engine.OnProgress = [&reports](int) { ++reports; };
        engine.PrintRichText(&help);
        pages = engine.PageCount();
    }
    state.counters["pages"] = pages;
    state.counters["gauge_updates"] = double(reports) / double(state.iterations());
}
BENCHMARK(PaginateHelpDocument)
    ->Args({700, 0})
    ->Args({7000, 0})
    ->Args({525, 600})
    ->Args({2625, 600})
    ->ArgNames({"sections", "dpi"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3);
} // namespace

int main(int argc, char **argv) { return runTextBenchmarks<QApplication>(argc, argv); }
