#include "ui/RichEdit.h"

#include "richtext/RtfReader.h"

#include <QFile>
#include <QMouseEvent>
#include <QTextDocument>

TRichEdit::TRichEdit(const QString &name, QWidget *parent) : TTextEdit(parent)
{
    setObjectName(name);
    setAcceptRichText(true);
    viewport()->setMouseTracking(true);
}

bool TRichEdit::loadRtfFile(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = file.readAll();
    // Read into a scratch document first: a file that is no RTF leaves the text as it was.
    QTextDocument scratch;
    if (!ReadRtf(data, scratch))
        return false;
    ReadRtf(data, *document());
    return true;
}

void TRichEdit::mousePressEvent(QMouseEvent *event)
{
    pressedLink_ = anchorAt(event->position().toPoint());
    TTextEdit::mousePressEvent(event);
}

void TRichEdit::mouseReleaseEvent(QMouseEvent *event)
{
    TTextEdit::mouseReleaseEvent(event);
    const QString link = anchorAt(event->position().toPoint());
    // A press and release on the same link is a click; a drag from it is a selection.
    if (!link.isEmpty() && link == pressedLink_)
        emit linkClicked(link);
    pressedLink_.clear();
}

void TRichEdit::mouseMoveEvent(QMouseEvent *event)
{
    TTextEdit::mouseMoveEvent(event);
    viewport()->setCursor(anchorAt(event->position().toPoint()).isEmpty()
                              ? (isReadOnly() ? Qt::ArrowCursor : Qt::IBeamCursor)
                              : Qt::PointingHandCursor);
}
