// Entry points of the RTF reader.
#include "richtext/RtfReader.h"

#include "core/MessageText.h"
#include "richtext/RtfParser.h"

#include <QFile>
#include <QTextCursor>
#include <QTextDocument>

bool ReadRtf(const QByteArray &data, QTextDocument &document, QString *error)
{
    document.clear();
    if (!data.startsWith("{\\rtf")) {
        if (error)
            *error = messageText("The file is not a rich-text document");
        return false;
    }
    const bool undo = document.isUndoRedoEnabled();
    document.setUndoRedoEnabled(false);
    // One edit block for the whole reading: the document's layout then lays each paragraph
    // out once at the end instead of again after every insertion, which made a paragraph
    // of many thousand lines take minutes.
    QTextCursor block(&document);
    block.beginEditBlock();
    RtfParser(data, document).run();
    block.endEditBlock();
    document.setUndoRedoEnabled(undo);
    return true;
}

bool LoadRtfFile(const QString &fileName, QTextDocument &document, QString *error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        document.clear();
        if (error)
            *error = messageText("Cannot open file \"%1\"").arg(fileName);
        return false;
    }
    return ReadRtf(file.readAll(), document, error);
}
