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
        QMimeData plain;
        plain.setText(source->text());
        const qsizetype length =
            this->document()->characterCount() - 1 - this->textCursor().selectedText().size() + plain.text().size();
        if (length > limit_) {
            if (refused_)
                refused_(length);
            return;
        }
        TextEdit::insertFromMimeData(&plain);
    }

private:
    qsizetype limit_ = 0;
    std::function<void(qsizetype)> refused_;
};

using TTextEdit = PasteGuard<QTextEdit>;
using TPlainTextEdit = PasteGuard<QPlainTextEdit>;
