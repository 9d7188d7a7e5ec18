#pragma once
// A program folder of a window test's own: the main window reads and writes its settings
// and looks for its language files there, the splash screen does not pause, and the
// shared records start from their defaults and are reset afterwards.
#include "program/DialogStyle.h"
#include "program/Language.h"
#include "program/ProgramOptions.h"
#include "ui/SplashScreen.h"

#include <QDir>
#include <QTemporaryDir>

class TestProgramFolder
{
public:
    TestProgramFolder()
    {
        TSplashScreen::pause = [](int, int) {};
        reset();
        setProgramDir(dir_.path());
        QDir(dir_.path()).mkpath(QStringLiteral("LScripts"));
    }
    ~TestProgramFolder()
    {
        reset();
        setProgramDir(QString());
    }
    QString path() const { return dir_.path(); }
    QString filePath(const QString &relative) const { return QDir(dir_.path()).filePath(relative); }

private:
    static void reset()
    {
        ProgramOptions = TProgramOptions{};
        DialogStyle = TDialogStyle{};
        LanguageFilePath.clear();
        applyQtTranslations(QString());
    }
    QTemporaryDir dir_;
};
