#include "ui/Language.h"

#include "core/IniFile.h"

#include <QCoreApplication>
#include <QDir>

QString LanguageFilePath;

namespace {
QString programDirOverride;
} // namespace

QString LngValue(const QString &section, const QString &key, const QString &def)
{
    if (LanguageFilePath.isEmpty())
        return def;
    return IniFile(LanguageFilePath).readString(section, key, def);
}

QString LngText(const QString &section, const QString &key) { return LngValue(section, key, key); }

QString programDir()
{
    if (!programDirOverride.isEmpty())
        return programDirOverride;
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QDir::currentPath();
}

QString programPath(const QString &relative) { return QDir(programDir()).filePath(relative); }

void setProgramDir(const QString &dir) { programDirOverride = dir; }

QString languageFilePathFor(const QString &fileName)
{
    return programPath(QStringLiteral("LScripts/") + fileName);
}

QStringList LanguageList(bool withExtensions)
{
    const QDir folder(programPath(QStringLiteral("LScripts")));
    QStringList names =
        folder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Unsorted);
    if (!withExtensions) {
        for (QString &name : names) {
            const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
            if (dot >= 0)
                name.truncate(dot);
        }
    }
    return names;
}
