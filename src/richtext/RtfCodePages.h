#pragma once
// Code pages of RTF documents: the byte text of \'hh and of plain 8-bit text.
#include <QByteArray>
#include <QString>

// The Windows code page of an RTF font charset (\fcharsetN); 0 when the charset names no
// code page of its own (the document's code page applies).
int codePageOfCharset(int charset);

// Decodes bytes in a Windows code page; code pages without a decoder read as Windows-1252.
QString decodeCodePage(const QByteArray &bytes, int codePage);
