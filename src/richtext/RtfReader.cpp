// Entry points of the RTF reader.
#include "richtext/RtfReader.h"

#include "core/MessageText.h"
#include "richtext/RtfParser.h"

#include <QFile>
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
    RtfParser(data, document).run();
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
