#pragma once
// Every modal dialog the program shows goes through this one interface: the program's own
// message dialogs and the platform's open, save, font, colour and printer dialogs. The
// default implementation shows them; tests install their own and answer without waiting.
#include <QColor>
#include <QFont>
#include <QString>
#include <functional>

class QDialog;
class QPrinter;
class QWidget;

// The state of a file dialog that lives as long as the program: its file name and the
// user's last filter choice carry over from one use to the next.
struct TOpenDialogState
{
    QString fileName;
    int filterIndex = 1;
};

class DialogService
{
public:
    virtual ~DialogService() = default;

    // Runs a prepared dialog modally and returns its result code.
    virtual int exec(QDialog &dialog);
    // Font dialog preset with font; true and the chosen font when confirmed.
    virtual bool chooseFont(QFont &font, QWidget *parent);
    // Colour dialog; true and the chosen colour when confirmed.
    virtual bool chooseColor(QColor &color, QWidget *parent);
    // Open and save dialogs. The filter is a list of description|pattern pairs separated by
    // vertical bars; filterIndex counts from 1 and carries the user's choice both ways.
    virtual bool openFile(QString &fileName, const QString &filter, int &filterIndex, QWidget *parent);
    virtual bool saveFile(QString &fileName, const QString &filter, int &filterIndex, QWidget *parent);
    // Printer set-up; true when the user confirms.
    virtual bool printerSetup(QPrinter &printer, QWidget *parent);
    // The error report of an event handler that failed: shows the error's text.
    virtual void showError(const QString &text, QWidget *parent);
    // Hands a link (a web or mail address) to the desktop's "open" action; the result is
    // not checked.
    virtual void openLink(const QString &link);
};

// The service in use. Setting nullptr restores the default one; the caller keeps ownership.
DialogService &Dialogs();
void setDialogService(DialogService *service);

// Reports the error being handled, inside a catch block: its text for LetrafexError and
// other standard exceptions, a general text for anything else. Never throws.
void reportCurrentError(QWidget *parent);

// Runs an event handler's work; an error it raises is reported and the program goes on.
// The application guards every handler the same way (TApplication); this is the explicit
// form, for work that should be reported over a particular window.
void runGuarded(QWidget *parent, const std::function<void()> &work);

// Turns a description|pattern filter into Qt's name filters, in order.
QStringList qtNameFilters(const QString &filter);
// The position (from 1) of the name filter a file dialog reports as selected; 0 for none.
int nameFilterIndex(const QStringList &filters, const QString &selected);
