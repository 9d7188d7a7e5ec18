#pragma once
// Rich Text Format reading into a QTextDocument: the platform's rich-text loader for the
// help viewer, the print engine and the about page.
//
// Understood: groups and destinations (unknown \* destinations are skipped), the font and
// colour tables, character formats (\f \fs \b \i \ul \ulnone \strike \cf \cb \highlight
// \plain \super \sub), paragraphs (\par \pard \ql \qc \qr \qj \li \ri \fi \sb \sa \line
// \tab \page), \'hh in the document's code page (Windows-1252 unless \ansicpgN or a font
// charset says otherwise), \uN with \ucN, HYPERLINK fields and pictures (\pict with PNG,
// JPEG or device-independent bitmap data). Everything else is skipped; damaged input
// gives as much of the document as could be read, never a read outside the input.
#include <QByteArray>
#include <QString>

class QTextDocument;

// Replaces the document's content with the RTF in data. Returns false with *error set
// when data does not start like an RTF document ("{\rtf"); the document is then empty.
bool ReadRtf(const QByteArray &data, QTextDocument &document, QString *error = nullptr);

// Reads an RTF file into the document; false with *error set when the file cannot be read
// or is not RTF.
bool LoadRtfFile(const QString &fileName, QTextDocument &document, QString *error = nullptr);
