#pragma once
// Small controls the windows share: a colour shape, a radio group whose items can be
// replaced, a transparent text label that reports its mouse events, and number fields.
#include "core/Color.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QWidget>

class QButtonGroup;
class QRadioButton;
class QVBoxLayout;

class QToolButton;

// An icon of the program's icon set (":/icons/<name>.svg").
QIcon programIcon(const char *name);
// A group box with its caption, named for the language files; placed at geometry when given.
QGroupBox *namedGroupBox(QWidget *parent, const char *name, const char *caption, const QRect &geometry = {});
// A tool button named for the language files, with an icon of the program's set (none for
// nullptr) of 20 x 20 pixels and a hint (none for nullptr), sized size when given.
QToolButton *namedToolButton(QWidget *parent, const char *name, const char *iconName, const char *hint,
                             QSize size = {});
// Keeps control's accessible name equal to its hint, now and whenever the hint changes
// (translation, a copied hint): a button that shows only an icon is named by its hint for
// screen readers. Without a hint, the control is named by its text.
void nameByHint(QWidget *control);

// Gives target the style set (bold, italic, underline, strikeout) of from.
void copyFontStyle(const QFont &from, QFont &target);

// A rounded shape filled with one colour (a colour well the user clicks to change). It is
// in the tab order: Space or Enter while it has the focus act as a mouse press, and a
// frame shows the focus.
class TShape : public QWidget
{
    Q_OBJECT
public:
    explicit TShape(const QString &name, QWidget *parent = nullptr);
    TColor brushColor() const { return color_; }
    void setBrushColor(TColor c);
    QSize sizeHint() const override { return {32, 24}; }

signals:
    // Any mouse button pressed on the shape, or Space or Enter while it has the focus.
    void pressed();

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *) override { emit pressed(); }
    void keyPressEvent(QKeyEvent *event) override;

private:
    TColor color_ = Colors::clWhite;
};

// A captioned group of radio buttons, one per item, in one column.
class TRadioGroup : public QGroupBox
{
    Q_OBJECT
public:
    TRadioGroup(const QString &name, const QString &caption, QWidget *parent = nullptr);
    void setItems(const QStringList &items);
    QStringList items() const;
    int count() const { return int(buttons_.size()); }
    int itemIndex() const;
    void setItemIndex(int index);

signals:
    // An item was chosen by the user.
    void clicked(int index);

private:
    QVBoxLayout *layout_;
    QButtonGroup *group_;
    QList<QRadioButton *> buttons_;
};

// A list box whose items carry check marks.
class TCheckListBox : public QListWidget
{
    Q_OBJECT
public:
    explicit TCheckListBox(const QString &name, QWidget *parent = nullptr);
    void setItems(const QStringList &items);
    bool checked(int index) const;
    void setChecked(int index, bool on);
};

// A label without background that reports its mouse events (the text preview). It draws
// its lines as the text painter draws an item's face: the same glyphs (hinted at every
// size, no kerning), lines one font height apart, each aligned within the widest line.
// The block's top-left corner is the text position; placed at the item's front face, it
// covers exactly the pixels the face will. The label reaches beyond the block as far as
// the glyphs' ink does (an italic overhang, a descender below the line's height), so no
// drawn pixel is cut at its edges.
class TPreviewLabel : public QLabel
{
    Q_OBJECT
public:
    explicit TPreviewLabel(const QString &name, QWidget *parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
    // The font the lines are drawn in: the label's font as the painter treats its fonts.
    QFont drawingFont() const;

    // Where the text block's top-left corner lies, in the parent's coordinates.
    QPoint textPosition() const { return textPosition_; }
    void moveText(QPoint topLeft);
    // Sizes the label to its text's block and ink, keeping the text position (after the
    // text, the font or the alignment changed).
    void fitText();
    // The block of the lines (widest line by lines times the font height) at (0, 0).
    QSize blockSize() const;
    // How far the ink of the lines reaches beyond the block on each side.
    QMargins inkMargins() const;

signals:
    void mousePressed(QMouseEvent *event);
    void mouseMoved(QMouseEvent *event);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override { emit mousePressed(event); }
    void mouseMoveEvent(QMouseEvent *event) override { emit mouseMoved(event); }

private:
    QStringList lines() const;
    // Where line j starts in a block of width blockWidth, as the painter aligns it.
    int lineLeft(int blockWidth, int lineWidth) const;

    QPoint textPosition_;
    // The ink margins of the last text, font and alignment measured: a drag moves the label
    // at every mouse move, and measuring a long line's outline each time would stall it.
    struct InkCache
    {
        QString text;
        QString fontKey;
        int alignment = -1;
        QMargins margins;
    };
    mutable InkCache ink_;
};

// A number field with a range that takes any number typed and moves it to the nearest
// bound when editing finishes (Enter, leaving the field, or interpretText()): 200 typed
// into 8..100 becomes 100, not the 20 a plain spin box would stop at. An emptied field, or
// a lone sign, becomes the lower bound.
class TSpinEdit : public QSpinBox
{
    Q_OBJECT
public:
    explicit TSpinEdit(const QString &name, QWidget *parent = nullptr);
    QValidator::State validate(QString &input, int &pos) const override;
    void fixup(QString &input) const override;
};

// A field for a whole number of pixels (a position). Any text may be typed, but text that
// is no whole number is shown as invalid (a red field) and never taken: when the edit
// ends (Enter, leaving the field, or finishEdit()) the field goes back to the text it had
// before the edit. Text the program sets is taken as it is (a stored row's stays the row's).
class TNumberEdit : public QLineEdit
{
    Q_OBJECT
public:
    TNumberEdit(const QString &name, const QString &text, QWidget *parent = nullptr);
    // The text a drawing uses: the field's text while it is a whole number or was set by
    // the program, else the text from before the edit.
    QString acceptedText() const;
    bool showsInvalid() const { return invalid_; }
    // Ends an edit: text typed that is no whole number gives way to the text from before.
    void finishEdit();

    static bool isWholeNumber(const QString &text);

private:
    void textChangedHere(const QString &text);
    void setInvalid(bool invalid);

    QString committed_;
    bool invalid_ = false;
    bool userEdit_ = false;
};
