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

#include <QFont>
#include <QFontInfo>

#include <gtest/gtest.h>

#include <string>

namespace {
// The tests name the fonts "Arial" and "Times New Roman", which fontconfig draws with the
// metric-compatible Liberation faces; with other faces every measured size and pixel is
// off. Checked before the first test of every program; without them it runs no test.
class LiberationFaces : public ::testing::Environment
{
public:
    void SetUp() override
    {
        const char *faces[][2] = {{"Arial", "Liberation Sans"}, {"Times New Roman", "Liberation Serif"}};
        for (const auto &[named, expected] : faces) {
            const std::string drawn = QFontInfo(QFont(QString::fromLatin1(named))).family().toStdString();
            ASSERT_EQ(drawn, expected) << "\"" << named << "\" is drawn with \"" << drawn << "\" instead of \"" << expected
                                       << "\": the tests need the package fonts-liberation2 (tools/setup.sh installs it)";
        }
    }
};
} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    useHintedGlyphsAtEverySize();
    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new LiberationFaces);
    return RUN_ALL_TESTS();
}
