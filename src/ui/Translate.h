#pragma once
// Translation of a window from the current language file. A window's section is named
// after the window's object name; a component's entries are its object name followed by
// ".Caption", ".Hint", ".Items", ".Lines" or ".Columns.Captions". Only the controls the
// window made while it was built are translated: controls made later, at run time, keep
// the texts the program gives them.
#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

// Records every named control under window as one of the window's own designed controls,
// in creation order. A window calls this once, at the end of building its controls.
void markDesignedControls(QWidget *window);
// The window's designed controls in creation order (controls of other windows that have
// become its children, such as pages, are not among them).
QList<QWidget *> designedControls(QWidget *window);

// Rewrites the window's title and its designed controls' texts from LanguageFilePath.
// A missing file, section or entry, and an empty value, leave a text as it is; only the
// title can be emptied, by an empty "Caption" entry. A text that an earlier language file
// changed goes back to the window's built-in (English) text instead, so that switching to a
// file that lacks some entries leaves none of the previous language behind: each control
// remembers its built-in texts when a file first changes them.
void TranslateForm(QWidget *window);

// What the language file calls caption, hint, items, lines and columns, for each kind of
// control: a caption is a button's text, a group box's title or a label's text; the hint is
// the tool tip; items are the entries of a list box, check list, combo box or radio group;
// lines are a text field's lines; columns are the header captions of a report list.
namespace ControlTexts {
bool hasCaption(const QWidget *w);
QString caption(const QWidget *w);
void setCaption(QWidget *w, const QString &text);

bool hasItems(const QWidget *w);
QStringList items(const QWidget *w);
// A check list keeps its number of items and its check marks: item i takes piece i, and an
// item without a piece keeps its text. Other controls take the pieces as their list.
void setItems(QWidget *w, const QStringList &pieces);

bool hasLines(const QWidget *w);
QStringList lines(const QWidget *w);
void setLines(QWidget *w, const QStringList &lines);

bool hasColumns(const QWidget *w);
QStringList columns(const QWidget *w);
// Column i takes piece i; columns without a piece keep their captions.
void setColumns(QWidget *w, const QStringList &pieces);
} // namespace ControlTexts

// A language-file list: every comma is a line break (a last comma ends the last line).
QStringList splitLanguageList(const QString &value);
