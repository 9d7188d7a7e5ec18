// Program start: the application, the main window and its four pages, the event loop.
#include "app/MainWindow.h"
#include "core/HintedGlyphs.h"
#include "ui/Application.h"
#include "ui/PlainMessageBox.h"

#include <QFont>
#include <cstdio>

namespace {
// Without a display a windowing program can only fail; say so instead of hanging.
bool displayAvailable()
{
#if defined(Q_OS_LINUX) || defined(Q_OS_UNIX)
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    return true;
#endif
}
} // namespace

int main(int argc, char **argv)
{
    if (!displayAvailable()) {
        std::fprintf(stderr, "letrafex: no display found (DISPLAY and WAYLAND_DISPLAY are not set).\n"
                             "Start it in a desktop session, or under a virtual display: xvfb-run -a letrafex\n");
        return 2;
    }
    useHintedGlyphsAtEverySize();
    TApplication app(argc, argv);
    installPlainMessageBox();
    QApplication::setApplicationName(QStringLiteral("Letrafex"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    TLetrafex window;
    window.createSecondaryWindows();
    window.show();
    return app.exec();
}
