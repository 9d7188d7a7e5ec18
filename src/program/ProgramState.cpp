// The program-wide records shared by the windows.
#include "program/DialogStyle.h"
#include "program/ProgramOptions.h"

TProgramOptions ProgramOptions;
TDialogStyle DialogStyle;

void InitDialogTexts()
{
    auto init = [](QString &text, const char *english) {
        if (text.isEmpty())
            text = QString::fromLatin1(english);
    };
    init(DialogStyle.okText, "OK");
    init(DialogStyle.cancelText, "Cancel");
    init(DialogStyle.yesText, "Yes");
    init(DialogStyle.noText, "No");
    init(DialogStyle.informationTitle, "Information");
    init(DialogStyle.confirmationTitle, "Confirmation");
    init(DialogStyle.warningTitle, "Warning");
    init(DialogStyle.inputTitle, "Input");
}
