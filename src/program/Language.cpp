#include "program/Language.h"

#include "core/FileBytes.h"
#include "core/IniFile.h"
#include "core/MessageText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QPointer>
#include <QStandardPaths>
#include <QTranslator>

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

// Data goes beside the program when the program keeps its data folders beside it and may
// write there. An installed program (its folders in the prefix's share folder) keeps Data
// in the user's data folder even where it could write its own folder, as root can /usr/bin.
QString userDataFolder()
{
    const bool installed = dataFolder(QStringLiteral("LScripts")) != programPath(QStringLiteral("LScripts"));
    return userDataFolderFor(!installed && QFileInfo(programDir()).isWritable());
}

QString userDataPath(const QString &relative) { return QDir(userDataFolder()).filePath(relative); }

namespace {
const QLatin1String LanguageSuffix(".lng");

QDir languageFolder() { return QDir(dataFolder(QStringLiteral("LScripts"))); }

// The user's choice of Qt catalogue, and the language it is for.
QPointer<QTranslator> qtTranslator;
QLocale::Language qtTranslatorLanguage = QLocale::AnyLanguage;
} // namespace

QString findLanguageFile(const QString &fileName)
{
    const QDir folder = languageFolder();
    if (fileName.isEmpty())
        return {};
    if (QFileInfo::exists(folder.filePath(fileName)))
        return fileName;
    const QStringList entries = folder.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted);
    for (const QString &entry : entries)
        if (entry.compare(fileName, Qt::CaseInsensitive) == 0)
            return entry;
    return {};
}

QString languageFilePathFor(const QString &fileName)
{
    const QString found = findLanguageFile(fileName);
    return languageFolder().filePath(found.isEmpty() ? fileName : found);
}

QString languageFileProblem(const QString &fileName)
{
    const QString path = languageFilePathFor(fileName);
    const QFileInfo info(path);
    QString reason;
    if (info.isDir()) {
        reason = messageText("it is a folder, not a file");
    } else if (!info.exists()) {
        reason = messageText("the file does not exist");
    } else {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            reason = file.errorString();
        else if (file.read(4096).trimmed().isEmpty() && file.atEnd())
            reason = messageText("the file is empty");
        else if (file.error() != QFileDevice::NoError)
            reason = file.errorString();
    }
    if (reason.isEmpty())
        return {};
    return messageText("The language file \"%1\" cannot be used: %2. The texts are shown in English.")
        .arg(nativeFilePath(path), reason);
}

QStringList LanguageList(bool withExtensions)
{
    QStringList names;
    const QStringList entries = languageFolder().entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted);
    for (const QString &entry : entries) {
        if (entry.size() <= LanguageSuffix.size() || !entry.endsWith(LanguageSuffix, Qt::CaseInsensitive))
            continue;
        names << (withExtensions ? entry : entry.chopped(LanguageSuffix.size()));
    }
    return names;
}

QLocale::Language languageOfFile(const QString &fileName)
{
    QString name = QFileInfo(fileName).fileName();
    if (name.endsWith(LanguageSuffix, Qt::CaseInsensitive))
        name.chop(LanguageSuffix.size());
    for (int l = QLocale::AnyLanguage + 1; l <= QLocale::LastLanguage; ++l) {
        const auto language = QLocale::Language(l);
        if (language != QLocale::C && QLocale::languageToString(language).compare(name, Qt::CaseInsensitive) == 0)
            return language;
    }
    return QLocale::AnyLanguage;
}

QString preferredLanguageFile(const QStringList &files, const QLocale &locale)
{
    for (const QString &uiLanguage : locale.uiLanguages()) {
        const QLocale::Language wanted = QLocale(uiLanguage).language();
        for (const QString &file : files)
            if (wanted != QLocale::AnyLanguage && wanted != QLocale::C && languageOfFile(file) == wanted)
                return file;
    }
    for (const QString &file : files)
        if (file.compare(QLatin1String("English.lng"), Qt::CaseInsensitive) == 0)
            return file;
    return {};
}

void applyQtTranslations(const QString &languageFile)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return;
    QLocale::Language language = languageOfFile(languageFile);
    if (language == QLocale::English)
        language = QLocale::AnyLanguage;
    if (qtTranslator && language == qtTranslatorLanguage)
        return;
    if (qtTranslator) {
        QCoreApplication::removeTranslator(qtTranslator);
        delete qtTranslator;
    }
    qtTranslatorLanguage = QLocale::AnyLanguage;
    if (language == QLocale::AnyLanguage)
        return;
    auto *translator = new QTranslator(app);
    if (!translator->load(QLocale(language), QStringLiteral("qt"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return;
    }
    QCoreApplication::installTranslator(translator);
    qtTranslator = translator;
    qtTranslatorLanguage = language;
}
