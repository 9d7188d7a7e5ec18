// print-rtf: paginates a rich-text document with the print engine's default options, as
// the help viewer's print does, and prints every page to a PDF file.
#include "cli/Cli.h"

#include "core/Errors.h"
#include "core/FileBytes.h"
#include "print/PageRecorder.h"
#include "richtext/RtfReader.h"

#include <QBuffer>
#include <QTextDocument>

#include <cstdio>

int runPrintRtf(const QStringList &args)
{
    const CliArguments a = parseArguments(args, {});
    if (a.positional.size() != 2)
        throw UsageError(QStringLiteral("expected DOC.rtf OUT.pdf"));
    QTextDocument document;
    QString error;
    if (!LoadRtfFile(a.positional[0], document, &error))
        throw CliError(error);

    // No printer is used here: the pages are laid out on the screen's Letter sheet, and
    // the PDF gets that sheet at that resolution, so its pages are the recorded ones.
    TPageRecorder engine;
    engine.SetTitle(QStringLiteral("Tavorin"));
    engine.PrintRichText(document);

    // The PDF writer does not check its writes: it writes into memory, and the file is
    // written whole through the checked writer.
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    engine.PrintPagesToPdf(buffer);
    try {
        writeWholeFile(a.positional[1], pdf);
    } catch (const LetrafexError &e) {
        throw CliError(e.text());
    }
    std::printf("%d pages\n", engine.PageCount());
    return 0;
}
