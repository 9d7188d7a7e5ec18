#pragma once
// Text fields that refuse clipboard and drop data without any format, and that can hold
// their text to a length.
//
// Qt 6.4's text edit reads the first format of the data it is given without checking that
// there is one, so pasting an empty clipboard (Ctrl+V, the context menu, a middle click
// with nothing selected on screen) or dropping empty data ends the program. Every
// editable text field of the program is one of these instead of the bare Qt class.
//
// A field with a length limit takes pasted and dropped data as plain text only, and refuses
// an insertion that would make its text longer than the limit at once, before the field
// lays out any of it: laying out a text of many megabytes takes the field minutes. The
// refusal is told through the field's refusal handler with the length the text would have.
#include <QDropEvent>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextEdit>

#include <functional>

// Whether data can be inserted into a text field at all.
inline bool hasInsertableFormats(const QMimeData *source) { return source && !source->formats().isEmpty(); }

template <class TextEdit>
class PasteGuard : public TextEdit
{
public:
    using TextEdit::TextEdit;

    // No limit (the default) is 0.
    void setLengthLimit(qsizetype limit, std::function<void(qsizetype length)> refused)
    {
        limit_ = limit;
        refused_ = std::move(refused);
    }
    qsizetype lengthLimit() const { return limit_; }

protected:
    bool canInsertFromMimeData(const QMimeData *source) const override
    {
        if (limit_ > 0)
            return hasInsertableFormats(source) && source->hasText();
        return hasInsertableFormats(source) && TextEdit::canInsertFromMimeData(source);
    }
    void insertFromMimeData(const QMimeData *source) override
    {
        if (!hasInsertableFormats(source))
            return;
        if (limit_ <= 0) {
            TextEdit::insertFromMimeData(source);
            return;
        }
        if (!source->hasText())
            return;
        // The field keeps one line break where the data may have "\r\n" or a lone "\r"
        // (which the field would take as a break of its own): count and insert what it keeps.
        QString text = source->text();
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        QMimeData plain;
        plain.setText(text);
        const qsizetype length =
            this->document()->characterCount() - 1 - this->textCursor().selectedText().size() + text.size();
        // Text moved within the field was taken out before it is inserted again: the move
        // leaves the length as it was before the drop, which is never refused (typing and
        // loading are not limited, so the text may already be over the limit).
        if (length > limit_ && length > lengthBeforeDrop_) {
            refusedInDrop_ = true;
            if (refused_)
                refused_(length);
            return;
        }
        TextEdit::insertFromMimeData(&plain);
    }

    void dropEvent(QDropEvent *event) override
    {
        lengthBeforeDrop_ = this->document()->characterCount() - 1;
        refusedInDrop_ = false;
        TextEdit::dropEvent(event);
        lengthBeforeDrop_ = -1;
        // A refused drop takes nothing, so a move from another field must not remove the
        // text there.
        if (refusedInDrop_) {
            event->setDropAction(Qt::IgnoreAction);
            event->ignore();
        }
    }

private:
    qsizetype limit_ = 0;
    qsizetype lengthBeforeDrop_ = -1; // the text's length while a drop is handled
    bool refusedInDrop_ = false;
    std::function<void(qsizetype)> refused_;
};

using TTextEdit = PasteGuard<QTextEdit>;
using TPlainTextEdit = PasteGuard<QPlainTextEdit>;
