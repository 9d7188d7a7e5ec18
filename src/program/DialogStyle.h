#pragma once
// Colours and texts of the program's own message dialogs. The language step fills the
// texts; InitDialogTexts gives every text still empty its English default, so the
// dialogs work before any language file has been read.
#include "core/Color.h"

#include <QString>

struct TDialogStyle
{
    TColor startColor = 0;
    TColor endColor = 0;
    QString okText, cancelText, yesText, noText;
    QString informationTitle, confirmationTitle, warningTitle, inputTitle;
};

extern TDialogStyle DialogStyle;

void InitDialogTexts();
