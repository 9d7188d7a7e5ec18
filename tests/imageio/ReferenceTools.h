#pragma once
// Running the reference decoders (ImageMagick, Pillow) that the codec tests compare with.
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

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
