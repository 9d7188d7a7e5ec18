#include "ui/Language.h"

#include "core/IniFile.h"

#include <QCoreApplication>
#include <QDir>

QString LanguageFilePath;

QString LngValue(const QString &section, const QString &key, const QString &def)
{
    if (LanguageFilePath.isEmpty())
        return def;
    return IniFile(LanguageFilePath).readString(section, key, def);
}

QString LngText(const QString &section, const QString &key) { return LngValue(section, key, key); }

QString programDir()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QDir::currentPath();
}

QString programPath(const QString &relative) { return QDir(programDir()).filePath(relative); }
