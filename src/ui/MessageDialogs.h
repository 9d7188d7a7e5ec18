#pragma once
// The program's own modal dialogs: a message box, an input box and a list-choice box,
// white with black text over a top-to-bottom colour gradient, with button captions and
// titles from DialogStyle.
#include "core/Color.h"

#include <QDialog>
#include <QString>
#include <QStringList>

class QLabel;
class QPushButton;
class TImage;

// Result codes of the dialogs' buttons.
enum ModalResult { mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };

enum class MessageType { Warning, Information, Confirmation, Custom };
enum MessageButton { mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8 };

// The platform-style message dialog the three dialogs are built on: an optional icon, the
// message label and one button per requested button in the order Yes, No, OK, Cancel,
// all placed at fixed positions that the callers may change.
class TMessageForm : public QDialog
{
    Q_OBJECT
public:
    TMessageForm(const QString &text, MessageType type, int buttons, QWidget *parent = nullptr);

    QLabel *messageLabel() const { return label_; }
    // Controls in creation order: label, then buttons.
    const QList<QWidget *> &controls() const { return controls_; }
    QList<QPushButton *> buttons() const;

    // Fills the whole client area with a gradient image behind every other control.
    TImage *addGradient(TColor c1, TColor c2);

    void reject() override { done(mrCancel); }

private:
    QLabel *label_ = nullptr;
    QList<QWidget *> controls_;
};

// Sizes the image's picture to its display size and paints the dialog gradient into it.
void PaintDialogGradient(TImage &image, TColor c1, TColor c2);

// kind: only the first letter counts: "c" confirmation (Yes/No), "w" warning, "i"
// information (OK). True when the dialog ends through OK or Yes.
bool ShowMessageBox(const QString &text, const QString &kind);
// The edited text, or empty when cancelled. password 1 shows "*" for every character.
QString ShowInputBox(const QString &prompt, int password);
// The selected item's text when confirmed with OK, otherwise empty. items is comma text.
// The item equal to selected is chosen at the start, else the first one; the list has the
// keyboard focus, and Enter confirms.
QString ShowChoiceBox(const QString &prompt, const QString &items, const QString &selected = QString());

// The question every save asks before it replaces a file: true when fileName does not
// exist or the user answers yes to "The file "PATH" already exists. Do you want to
// replace it?". A folder of that name is told ("PATH" is a folder, not a file) and gives false.
bool ConfirmReplaceFile(const QString &fileName);
