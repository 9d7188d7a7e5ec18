#pragma once
// Running the reference programs the tests compare with: decoders (ImageMagick, Pillow,
// libtiff's tools) and poppler, which reads back what the program printed.
#include <QByteArray>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Runs program with args; returns why it failed (not installed, non-zero exit, error text)
// or an empty string. Standard output goes to *out when given.
inline QString runTool(const QString &program, const QStringList &args, QByteArray *out = nullptr)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted(10000))
        return QStringLiteral("%1 could not be started (%2); install it to run this test").arg(program, p.errorString());
    p.waitForFinished(60000);
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QStringLiteral("%1 %2 failed: %3")
            .arg(program, args.join(QLatin1Char(' ')), QString::fromLocal8Bit(p.readAllStandardError()));
    if (out)
        *out = p.readAllStandardOutput();
    return {};
}

// Page 1 of pdf rendered by poppler's pdftoppm at dpi, or a null image with *why set.
// A crop size renders only that much of the page from its top-left corner.
inline QImage renderPdfPage(const QString &pdf, int dpi, QString *why = nullptr, QSize crop = {})
{
    QTemporaryDir dir;
    QStringList args{QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-f"), QStringLiteral("1"),
                     QStringLiteral("-l"), QStringLiteral("1"), QStringLiteral("-png")};
    if (crop.isValid())
        args << QStringLiteral("-W") << QString::number(crop.width()) << QStringLiteral("-H") << QString::number(crop.height());
    const QString failure = runTool(QStringLiteral("pdftoppm"), args << pdf << dir.filePath(QStringLiteral("page")));
    const QStringList pages = QDir(dir.path()).entryList({QStringLiteral("page*.png")});
    if (why)
        *why = failure.isEmpty() && pages.isEmpty() ? QStringLiteral("pdftoppm wrote no page") : failure;
    return pages.isEmpty() ? QImage() : QImage(dir.filePath(pages.first())).convertToFormat(QImage::Format_RGB32);
}
