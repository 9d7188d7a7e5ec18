// letrafex-cli gradient paints exactly what the window's painter paints.
#include "ReferenceTools.h"
#include "compose/GradientPainters.h"
#include "imageio/BmpCodec.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
int runCli(const QStringList &args, QByteArray *err = nullptr)
{
    QProcess cli;
    cli.start(LETRAFEX_CLI, args);
    if (!cli.waitForFinished(60000))
        return -1; // still running: a failure, not the exit code 0 of a process not yet ended
    if (err)
        *err = cli.readAllStandardError();
    return cli.exitCode();
}
} // namespace

TEST(GradientCommand, PaintsEachKindAsTheWindowDoes)
{
    QTemporaryDir dir;
    for (int kind = 1; kind <= 10; ++kind) {
        const QString out = dir.filePath(QStringLiteral("k%1.bmp").arg(kind));
        QByteArray err;
        ASSERT_EQ(runCli({"gradient", QString::number(kind), "90x70", "#00FFFF", "16711680", out}, &err), 0) << err.data();
        ImageBox expected(QStringLiteral("BackImage"));
        SetImageSize(expected, 90, 70);
        CanvasTools tools;
        PaintGradient(kind, expected, tools, Colors::clAqua, Colors::clBlue);
        EXPECT_TRUE(LoadBmpFile(out).samePixels(expected.picture)) << "kind " << kind;
    }
    // 0x-prefixed 0x00BBGGRR, and a PNG by extension.
    const QString png = dir.filePath("k1.png");
    ASSERT_EQ(runCli({"gradient", "1", "2x2", "0", "0xFF0000", png}), 0);
    const QImage read(png);
    EXPECT_EQ(read.pixel(0, 1), qRgb(0, 0, 128));
}

TEST(GradientCommand, RejectsBadArguments)
{
    QTemporaryDir dir;
    const QString out = dir.filePath("x.bmp");
    for (const QStringList &args : {QStringList{"gradient", "11", "10x10", "0", "0", out},
                                    QStringList{"gradient", "1", "0x10", "0", "0", out},
                                    QStringList{"gradient", "1", "10x10", "#12345", "0", out},
                                    QStringList{"gradient", "1", "10x10", "0", "0x1FFFFFFF", out},
                                    QStringList{"gradient", "1", "10x10", "0", "0", dir.filePath("x.gif")},
                                    QStringList{"gradient", "1", "10x10", "0", "0"}})
        EXPECT_NE(runCli(args), 0) << args.join(' ').toStdString();
    EXPECT_FALSE(QFile::exists(out));
}
