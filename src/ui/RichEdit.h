#pragma once
// A rich-text field that shows RTF documents and reports clicks on their links, whether
// or not the user may type into it.
#include "ui/PasteGuard.h"

class TRichEdit : public TTextEdit
{
    Q_OBJECT
public:
    explicit TRichEdit(const QString &name, QWidget *parent = nullptr);

    // Replaces the text with the RTF file's; false (and the text unchanged) when the file
    // cannot be read as RTF.
    bool loadRtfFile(const QString &fileName);

signals:
    // A link was clicked, with any mouse button; the link's target.
    void linkClicked(const QString &link);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    QString pressedLink_;
};
