#pragma once
// Text fields that refuse clipboard and drop data without any format.
//
// Qt 6.4's text edit reads the first format of the data it is given without checking that
// there is one, so pasting an empty clipboard (Ctrl+V, the context menu, a middle click
// with nothing selected on screen) or dropping empty data ends the program. Every
// editable text field of the program is one of these instead of the bare Qt class.
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextEdit>

// Whether data can be inserted into a text field at all.
inline bool hasInsertableFormats(const QMimeData *source) { return source && !source->formats().isEmpty(); }

template <class TextEdit>
class PasteGuard : public TextEdit
{
public:
    using TextEdit::TextEdit;

protected:
    bool canInsertFromMimeData(const QMimeData *source) const override
    {
        return hasInsertableFormats(source) && TextEdit::canInsertFromMimeData(source);
    }
    void insertFromMimeData(const QMimeData *source) override
    {
        if (hasInsertableFormats(source))
            TextEdit::insertFromMimeData(source);
    }
};

using TTextEdit = PasteGuard<QTextEdit>;
using TPlainTextEdit = PasteGuard<QPlainTextEdit>;
