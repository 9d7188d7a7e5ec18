// Test entry point: an application on the offscreen platform, so that fonts, painting
// (and for window tests, widgets) work without a display and nothing waits on a window.
// Window tests run in the program's own application, which guards every event handler.
#ifdef LETRAFEX_WIDGET_TESTS
#include "ui/Application.h"
using TestApplication = TApplication;
#else
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#endif
#include "core/HintedGlyphs.h"

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    useHintedGlyphsAtEverySize();
    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
