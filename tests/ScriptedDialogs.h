#pragma once
// A dialog service for tests: every dialog is answered by a script instead of waiting.
#include "ui/DialogService.h"

#include <QDialog>
#include <functional>

class ScriptedDialogs : public DialogService
{
public:
    ScriptedDialogs() { setDialogService(this); }
    ~ScriptedDialogs() override { setDialogService(nullptr); }

    std::function<int(QDialog &)> onExec = [](QDialog &) { return 0; };
    std::function<bool(QFont &)> onFont = [](QFont &) { return false; };
    std::function<bool(QColor &)> onColor = [](QColor &) { return false; };
    std::function<bool(QString &, int &)> onOpen = [](QString &, int &) { return false; };
    std::function<bool(QString &, int &)> onSave = [](QString &, int &) { return false; };
    int execCount = 0;
    QString lastFilter;

    int exec(QDialog &dialog) override { ++execCount; return onExec(dialog); }
    bool chooseFont(QFont &font, QWidget *) override { return onFont(font); }
    bool chooseColor(QColor &color, QWidget *) override { return onColor(color); }
    bool openFile(QString &fileName, const QString &filter, int &index, QWidget *) override
    {
        lastFilter = filter;
        return onOpen(fileName, index);
    }
    bool saveFile(QString &fileName, const QString &filter, int &index, QWidget *) override
    {
        lastFilter = filter;
        return onSave(fileName, index);
    }
    // Tests that print set the printer up here (a PDF file, a resolution) and confirm.
    std::function<bool(QPrinter &)> onPrinter = [](QPrinter &) { return false; };
    bool printerSetup(QPrinter &printer, QWidget *) override { return onPrinter(printer); }
    QStringList errors;
    QStringList openedLinks;
    void openLink(const QString &link) override { openedLinks << link; }
    void showError(const QString &text, QWidget *) override { errors << text; }
};
