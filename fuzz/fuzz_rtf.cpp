// libFuzzer target for the RTF reader and the rich-text pagination: any input reads into a
// document without a crash or a read outside the input, and the document paginates into
// at least one page. Inputs are read as the body of an RTF document, so every input
// reaches the parser.
#include "print/PageRecorder.h"
#include "richtext/RtfReader.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QTextDocument>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
// Pagination lays the text out with Qt; large inputs are only read, so the fuzzer spends
// its time in the reader.
constexpr size_t MaxPaginated = 2048;
}

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray rtf = "{\\rtf1 " + QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
    QTextDocument document;
    if (!ReadRtf(rtf, document))
        std::abort();
    if (size > MaxPaginated)
        return 0;
    TPageRecorder engine;
    engine.PrintRichText(document);
    if (engine.PageCount() < 1 || engine.InDocument())
        std::abort();
    // Qt trims its font caches on timers; without an event loop every font the inputs
    // name would stay cached.
    QCoreApplication::processEvents();
    return 0;
}
