// print-rtf: paginates a rich-text document with the print engine's default options, as
// the help viewer's print does, and prints every page to a PDF file.
#include "cli/Cli.h"

#include "print/PageRecorder.h"
#include "richtext/RtfReader.h"

#include <QSaveFile>
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

    QSaveFile file(a.positional[1]);
    if (!file.open(QIODevice::WriteOnly))
        throw CliError(QStringLiteral("cannot write %1").arg(a.positional[1]));
    engine.PrintPagesToPdf(file);
    if (!file.commit())
        throw CliError(QStringLiteral("cannot write %1").arg(a.positional[1]));
    std::printf("%d pages\n", engine.PageCount());
    return 0;
}
