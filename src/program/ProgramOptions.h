#pragma once
// The program's settings record, shared by the windows.
#include "core/Color.h"

#include <QString>

struct TProgramOptions
{
    bool addBackgroundAutomatically = false; // general option 1
    bool noExitDialog = false;               // general option 2
    bool redrawWhileEditing = false;         // general option 3: every edit redraws at once
    int menuPosition = 0;                    // 0 selection list on the left, 1 on the right
    TColor windowColor = Colors::clBtnFace;
    TColor messageStartColor = Colors::clYellow;
    TColor messageEndColor = Colors::clFuchsia;
    QString languageFile = QStringLiteral("English.lng");
};

extern TProgramOptions ProgramOptions;
