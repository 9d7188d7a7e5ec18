#pragma once
// Reading files for the picture and project readers. Files are read, not mapped: a file
// cut short by another program while mapped would end the process instead of failing.
#include <QByteArray>
#include <QFile>
#include <QString>

// Opens file for reading (with the extra open flags); throws LetrafexError ("Cannot open
// file ...") when it cannot.
void openForReading(QFile &file, QIODevice::OpenMode extra = {});
// Throws LetrafexError ("Cannot read file ...") when a read of file has failed.
void checkReadSucceeded(const QFile &file);
// The whole file; throws LetrafexError when it cannot be opened or read.
QByteArray readWholeFile(const QString &fileName);
