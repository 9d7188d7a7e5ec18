#include "ui/RichEdit.h"

#include "richtext/PlainLinks.h"
#include "richtext/RtfReader.h"

#include <QAbstractTextDocumentLayout>
#include <QContextMenuEvent>
#include <QFile>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>

TRichEdit::TRichEdit(const QString &name, QWidget *parent) : TTextEdit(parent)
{
    setObjectName(name);
    setAcceptRichText(true);
    viewport()->setMouseTracking(true);
}

void TRichEdit::setDetectsLinks(bool on)
{
    if (on == detectsLinks())
        return;
    if (on) {
        links_ = new PlainLinkHighlighter(document());
    } else {
        delete links_;
        links_ = nullptr;
    }
}

QString TRichEdit::linkAt(const QPoint &position) const
{
    const QString anchor = anchorAt(position);
    if (!anchor.isEmpty() || !links_)
        return anchor;
    const QPointF contents = position + QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const int at = document()->documentLayout()->hitTest(contents, Qt::ExactHit);
    if (at < 0)
        return {};
    const QTextBlock block = document()->findBlock(at);
    const std::optional<PlainLink> link = PlainLinkAt(block.text(), at - block.position());
    return link ? link->target : QString();
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
    pressedLink_ = linkAt(event->position().toPoint());
    // Other buttons than the left one neither select nor paste on a link.
    if (!pressedLink_.isEmpty() && event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    TTextEdit::mousePressEvent(event);
}

void TRichEdit::mouseReleaseEvent(QMouseEvent *event)
{
    const QString link = linkAt(event->position().toPoint());
    // A press and release on the same link is a click; a drag from it is a selection.
    const bool clicked = !link.isEmpty() && link == pressedLink_;
    pressedLink_.clear();
    if (clicked && event->button() != Qt::LeftButton)
        event->accept();
    else
        TTextEdit::mouseReleaseEvent(event);
    if (clicked)
        emit linkClicked(link);
}

void TRichEdit::mouseMoveEvent(QMouseEvent *event)
{
    TTextEdit::mouseMoveEvent(event);
    viewport()->setCursor(linkAt(event->position().toPoint()).isEmpty()
                              ? (isReadOnly() ? Qt::ArrowCursor : Qt::IBeamCursor)
                              : Qt::PointingHandCursor);
}

void TRichEdit::contextMenuEvent(QContextMenuEvent *event)
{
    // A right click on a link opens it when the button comes up; the text's menu is for
    // everywhere else.
    if (event->reason() == QContextMenuEvent::Mouse && !linkAt(event->pos()).isEmpty()) {
        event->accept();
        return;
    }
    TTextEdit::contextMenuEvent(event);
}
