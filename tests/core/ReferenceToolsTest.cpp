#include "ReferenceTools.h"

#include <gtest/gtest.h>

TEST(ReferenceTools, AToolCountsOnlyWhenItRanAndEndedWell)
{
    QByteArray out;
    EXPECT_EQ(runTool(QStringLiteral("echo"), {QStringLiteral("drawn")}, &out), QString());
    EXPECT_EQ(out, "drawn\n");
    EXPECT_TRUE(QFileInfo(toolPath(QStringLiteral("echo"))).isAbsolute());
    EXPECT_TRUE(runTool(QStringLiteral("no-such-reference-tool"), {}).contains(QLatin1String("not installed")));
    EXPECT_TRUE(runTool(QStringLiteral("false"), {}).contains(QLatin1String("failed")));
    // cat reads its input, which stays open: it is still running at the time-out.
    const QString why = runTool(QStringLiteral("cat"), {}, &out, 200);
    EXPECT_TRUE(why.contains(QLatin1String("did not finish within 200 ms"))) << why.toStdString();
}
