#include "ui/Language.h"

#include "core/IniFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

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

QString dataFolder(const QString &name)
{
    const QString beside = programPath(name);
    if (QFileInfo(beside).isDir())
        return beside;
    const QString installed = QDir(programDir()).filePath(QStringLiteral("../share/letrafex/") + name);
    if (QFileInfo(installed).isDir())
        return QDir::cleanPath(installed);
    return beside;
}

QString userDataFolderFor(bool programFolderWritable)
{
    if (programFolderWritable)
        return programPath(QStringLiteral("Data"));
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QString userDataFolder() { return userDataFolderFor(QFileInfo(programDir()).isWritable()); }

QString userDataPath(const QString &relative) { return QDir(userDataFolder()).filePath(relative); }

QString languageFilePathFor(const QString &fileName)
{
    return QDir(dataFolder(QStringLiteral("LScripts"))).filePath(fileName);
}

QStringList LanguageList(bool withExtensions)
{
    const QDir folder(dataFolder(QStringLiteral("LScripts")));
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
