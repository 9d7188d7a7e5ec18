#pragma once
// A rich-text field that shows RTF documents and reports clicks on their links, whether
// or not the user may type into it.
#include "ui/PasteGuard.h"

class PlainLinkHighlighter;

class TRichEdit : public TTextEdit
{
    Q_OBJECT
public:
    explicit TRichEdit(const QString &name, QWidget *parent = nullptr);

    // Whether web and mail addresses written as plain text are links too, besides the
    // document's own links; off until switched on.
    void setDetectsLinks(bool on);
    bool detectsLinks() const { return links_ != nullptr; }
    // The target of the link under a point of the viewport, or an empty text.
    QString linkAt(const QPoint &position) const;

    // Replaces the text with the RTF file's; false (and the text unchanged) when the file
    // cannot be read as RTF.
    bool loadRtfFile(const QString &fileName);

signals:
    // A link was clicked, with any mouse button; the link's target. A link takes every
    // button: a right click opens it instead of the text's menu.
    void linkClicked(const QString &link);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    QString pressedLink_;
    PlainLinkHighlighter *links_ = nullptr; // owned by the document
};
