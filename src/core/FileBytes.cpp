#include "core/FileBytes.h"

#include "core/Errors.h"

void openForReading(QFile &file, QIODevice::OpenMode extra)
{
    if (!file.open(QIODevice::ReadOnly | extra))
        throw LetrafexError(QStringLiteral("Cannot open file \"%1\". %2").arg(file.fileName(), file.errorString()));
}

void checkReadSucceeded(const QFile &file)
{
    if (file.error() != QFileDevice::NoError)
        throw LetrafexError(QStringLiteral("Cannot read file \"%1\". %2").arg(file.fileName(), file.errorString()));
}

QByteArray readWholeFile(const QString &fileName)
{
    QFile file(fileName);
    openForReading(file);
    const QByteArray data = file.readAll();
    checkReadSucceeded(file);
    return data;
}
