#pragma once
// Comma text: the list encoding of item captions, choice lists and preview texts.
#include <QString>
#include <QStringList>

QString toCommaText(const QStringList &items);
QStringList fromCommaText(const QString &text);
