// letrafex-cli: batch work with the program's own painters and picture files.
#include "cli/Cli.h"

#include "core/Errors.h"
#include "core/HintedGlyphs.h"
#include "core/MessageText.h"
#include "core/Raster.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <new>

namespace {
const CliCommand commands[] = {
    {"render", "render ITEMS OUT [--size WxH] [--background IN] [--surface K=FILE]... [--scale K] [--transparent]\n"
               "         [--quality Q] [--animate grow]\n"
               "    Draws the ten item rows of ITEMS (one row a line: caption and cells as comma text)\n"
               "    over a white picture of WxH or over the background picture (stretched to WxH when\n"
               "    both are given). --surface gives item K (1-10) a surface picture.\n"
               "  render PROJECT.lfx OUT [--scale K] [--transparent] [--quality Q] [--animate grow]\n"
               "    Draws the project's items over the project's background, as the window's style\n"
               "    buttons do. OUT is written in the format its extension names (BMP, JPG, EMF, PNG,\n"
               "    TIF, PCX, TGA, WEBP, and SVG or PDF with the texts as outlines). --scale K (1-4) draws\n"
               "    everything K times as large; --transparent leaves the background out (PNG, TIF,\n"
               "    WEBP, SVG, PDF). WebP is lossless unless --quality Q (0-100) asks for a lossy one.\n"
               "    --animate grow (PNG as APNG, WEBP) writes an animation: 21 frames, frame s (0-20)\n"
               "    drawing every text at s/20 of its depth with its front face in place; frames 0-19\n"
               "    are shown 50 ms each (the texts grow for one second), frame 20, the still picture,\n"
               "    2000 ms; it loops forever. A frame that looks like the one before it is merged into\n"
               "    that one, which is then shown longer; a single frame is written as the still picture.\n"
               "    Viewers without animation show an APNG's still picture.",
     runRender},
    {"info", "info PROJECT.lfx\n"
             "    Prints the project's ten item rows in the ITEMS format of render.",
     runInfo},
    {"project", "project ITEMS OUT.lfx [--size WxH] [--background IN] [--surface K=FILE]...\n"
                "    Draws a composition as render does and saves it as a project the window opens.",
     runProject},
    {"convert", "convert IN OUT\n"
                "    Reads IN with the reader its extension chooses (BMP, JPG, EMF, WMF, PNG, TIF, PCX,\n"
                "    TGA, WEBP, in every usual spelling: .dib, .jpeg, .jpe, .jfif, .tiff, .targa; an\n"
                "    animated WebP as its last frame), or the one its content's signature shows where\n"
                "    that is another format, into a white picture and writes OUT with the writer its\n"
                "    extension chooses (BMP, JPG, EMF, PNG, TIF, PCX, TGA, WEBP lossless).",
     runConvert},
    {"gradient", "gradient KIND WxH START END OUT\n"
                 "    Paints background gradient KIND (1-10) from START to END over a white picture of\n"
                 "    WxH, as the background window does, and writes OUT in the format its extension\n"
                 "    names. Colours are 0x00BBGGRR values (decimal or 0x...) or #RRGGBB.",
     runGradient},
    {"print-rtf", "print-rtf DOC.rtf OUT.pdf\n"
                  "    Paginates the rich-text document as the help viewer's print does (default options,\n"
                  "    a new page at every page-break marker) and prints every page to a PDF file.",
     runPrintRtf},
};

// A colour argument naming a system colour (high byte 0x80), which takes its value from the
// GUI application's palette.
bool namesSystemColor(const QString &text)
{
    if (text.startsWith(QLatin1Char('#')))
        return false;
    bool ok = false;
    const bool hex = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
    const qint64 value = hex ? text.mid(2).toLongLong(&ok, 16) : text.toLongLong(&ok, 10);
    return !ok || (value >> 24) != 0;
}

// Fonts, text and the system colours need a GUI application (on the offscreen platform);
// commands that draw no text start the lighter core application. Metafiles may hold text.
bool needsGuiApplication(const QStringList &args)
{
    const QString name = args.value(0);
    if (name == QLatin1String("convert")) {
        const QString in = args.value(1).toUpper();
        return in.endsWith(QLatin1String(".EMF")) || in.endsWith(QLatin1String(".WMF"));
    }
    if (name == QLatin1String("gradient"))
        return args.size() < 5 || namesSystemColor(args[3]) || namesSystemColor(args[4]);
    return name == QLatin1String("render") || name == QLatin1String("project") || name == QLatin1String("print-rtf");
}

void printUsage(std::FILE *out)
{
    std::fprintf(out, "usage: letrafex-cli COMMAND ARGUMENTS\n\ncommands:\n");
    for (const CliCommand &c : commands)
        std::fprintf(out, "  %s\n", c.usage);
}
} // namespace

QString CliArguments::value(const QString &name) const
{
    for (const auto &o : options)
        if (o.first == name)
            return o.second;
    return {};
}

QStringList CliArguments::values(const QString &name) const
{
    QStringList out;
    for (const auto &o : options)
        if (o.first == name)
            out << o.second;
    return out;
}

bool CliArguments::has(const QString &name) const
{
    for (const auto &o : options)
        if (o.first == name)
            return true;
    return false;
}

CliArguments parseArguments(const QStringList &args, const QStringList &known)
{
    CliArguments out;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a.startsWith(QLatin1String("--"))) {
            if (!known.contains(a))
                throw UsageError(QStringLiteral("unknown option %1").arg(a));
            if (i + 1 >= args.size())
                throw UsageError(QStringLiteral("option %1 needs a value").arg(a));
            out.options.append({a, args[++i]});
        } else {
            out.positional << a;
        }
    }
    return out;
}

void parseSize(const QString &text, int &width, int &height)
{
    const QStringList parts = text.toLower().split(QLatin1Char('x'));
    bool okW = false, okH = false;
    if (parts.size() == 2) {
        width = parts[0].toInt(&okW);
        height = parts[1].toInt(&okH);
    }
    if (!okW || !okH || width < 1 || height < 1 || width > Raster::MaxSide || height > Raster::MaxSide ||
        !Raster::sizeAllowed(width, height))
        throw UsageError(QStringLiteral("bad size \"%1\": expected WxH, each side 1 to %2 and at most 256 MiB")
                             .arg(text)
                             .arg(Raster::MaxSide));
}

int main(int argc, char **argv)
{
    QStringList rawArgs;
    for (int i = 1; i < argc; ++i)
        rawArgs << QString::fromLocal8Bit(argv[i]);
    std::unique_ptr<QCoreApplication> app;
    if (needsGuiApplication(rawArgs)) {
        // Fonts and painting need a GUI application, never a display.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
            // The platform layer wants a private runtime folder; give it one quietly.
            const QString dir = QDir::tempPath() + QStringLiteral("/letrafex-runtime-") + QString::number(getuid());
            QDir().mkpath(dir);
            QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir));
        }
        useHintedGlyphsAtEverySize();
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        // New pictures get 96 pixels per inch, as on the offscreen screen, not Qt's 100.
        QCoreApplication::setAttribute(Qt::AA_Use96Dpi);
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty() || args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h")) {
        printUsage(args.isEmpty() ? stderr : stdout);
        return args.isEmpty() ? 2 : 0;
    }
    const QString name = args.takeFirst();
    for (const CliCommand &c : commands) {
        if (name != QLatin1String(c.name))
            continue;
        if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
            std::printf("usage: letrafex-cli %s\n", c.usage);
            return 0;
        }
        try {
            return c.run(args);
        } catch (const UsageError &e) {
            std::fprintf(stderr, "letrafex-cli %s: %s\nusage: letrafex-cli %s\n", c.name, e.what(), c.usage);
            return 2;
        } catch (const CliError &e) {
            std::fprintf(stderr, "letrafex-cli %s: %s\n", c.name, e.what());
            return 1;
        } catch (const LetrafexError &e) {
            std::fprintf(stderr, "letrafex-cli %s: %s\n", c.name, e.what());
            return 1;
        } catch (const std::bad_alloc &) {
            std::fprintf(stderr, "letrafex-cli %s: %s\n", c.name, qPrintable(messageText("Out of memory.")));
            return 1;
        } catch (const std::exception &e) {
            // Any other failure ends the command with its reason, not with an abort.
            std::fprintf(stderr, "letrafex-cli %s: %s\n", c.name, e.what());
            return 1;
        }
    }
    std::fprintf(stderr, "letrafex-cli: unknown command \"%s\"\n", qPrintable(name));
    printUsage(stderr);
    return 2;
}
