#include "ui/DialogService.h"

#include "core/Errors.h"
#include "core/MessageText.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QUrl>
#include <QDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QFontInfo>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

#include <new>

namespace {
DialogService defaultService;
DialogService *current = nullptr;
} // namespace

DialogService &Dialogs() { return current ? *current : defaultService; }
void setDialogService(DialogService *service) { current = service; }

int DialogService::exec(QDialog &dialog) { return dialog.exec(); }

bool DialogService::chooseFont(QFont &font, QWidget *parent)
{
    // The dialog lists only the families installed, so a name that the system substitutes
    // ("Arial", drawn with Liberation Sans) would open it on some other family and style.
    // It opens on the family and style the font is really drawn with, and a family left as
    // it opened keeps the name it was given.
    const QFontInfo drawn(font);
    QFont shown = font;
    shown.setFamily(drawn.family());
    shown.setStyleName(drawn.styleName());
    bool ok = false;
    QFont chosen = QFontDialog::getFont(&ok, shown, parent);
    if (!ok)
        return false;
    if (chosen.family() == drawn.family())
        chosen.setFamily(font.family());
    font = chosen;
    return true;
}

bool DialogService::chooseColor(QColor &color, QWidget *parent)
{
    const QColor chosen = QColorDialog::getColor(color.isValid() ? color : QColor(Qt::white), parent);
    if (!chosen.isValid())
        return false;
    color = chosen;
    return true;
}

QStringList qtNameFilters(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt reads the patterns from the last parentheses; the description keeps its own.
        out << parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return out;
}

namespace {
bool runFileDialog(QFileDialog::AcceptMode mode, QString &fileName, const QString &filter, int &filterIndex,
                   QWidget *parent)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    // The caller asks before it replaces a file (ConfirmReplaceFile), once, for the name
    // it really writes: the save command may add the format's extension, and the export
    // dialog takes a typed name as well as a browsed one.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    const QStringList filters = qtNameFilters(filter);
    dialog.setNameFilters(filters);
    if (filterIndex >= 1 && filterIndex <= filters.size())
        dialog.selectNameFilter(filters[filterIndex - 1]);
    if (!fileName.isEmpty())
        dialog.selectFile(fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    fileName = dialog.selectedFiles().first();
    filterIndex = nameFilterIndex(filters, dialog.selectedNameFilter());
    return true;
}
} // namespace

int nameFilterIndex(const QStringList &filters, const QString &selected)
{
    // With the filter details hidden the dialog answers the text it shows, which lacks
    // the patterns the filter ends with.
    for (int i = 0; i < filters.size(); ++i)
        if (filters[i] == selected)
            return i + 1;
    for (int i = 0; i < filters.size(); ++i)
        if (!selected.isEmpty() && filters[i].startsWith(selected))
            return i + 1;
    return 0;
}

bool DialogService::openFile(QString &fileName, const QString &filter, int &filterIndex, QWidget *parent)
{
    return runFileDialog(QFileDialog::AcceptOpen, fileName, filter, filterIndex, parent);
}

bool DialogService::saveFile(QString &fileName, const QString &filter, int &filterIndex, QWidget *parent)
{
    return runFileDialog(QFileDialog::AcceptSave, fileName, filter, filterIndex, parent);
}

void DialogService::openLink(const QString &link) { QDesktopServices::openUrl(QUrl(link)); }

void DialogService::showError(const QString &text, QWidget *parent)
{
    QMessageBox::critical(parent, messageText("Error"), text);
}

void reportCurrentError(QWidget *parent)
{
    QString text;
    try {
        throw;
    } catch (const LetrafexError &e) {
        text = e.text();
    } catch (const std::bad_alloc &) {
        // The library's own text ("std::bad_alloc") tells a user nothing.
        text = messageText("Out of memory.");
    } catch (const std::exception &e) {
        text = QString::fromLocal8Bit(e.what());
    } catch (...) {
        text = messageText("An unexpected error occurred.");
    }
    try {
        Dialogs().showError(text, parent);
    } catch (...) {
        // A report that fails itself has nowhere left to go.
    }
}

void runGuarded(QWidget *parent, const std::function<void()> &work)
{
    try {
        work();
    } catch (...) {
        reportCurrentError(parent);
    }
}

bool DialogService::printerSetup(QPrinter &printer, QWidget *parent)
{
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}
