#pragma once
// Language lookups. The current language file is an INI file in LScripts beside the
// program; it is opened for every lookup, so a file edited while the program runs is
// seen at once. Every key of "Captions" and "Messages" is the English text itself.
#include <QString>
#include <QStringList>

// Full path of the current language file; empty until the main window applies a language.
extern QString LanguageFilePath;

// The value of key in section, or the key itself when the file, section or entry is missing.
QString LngText(const QString &section, const QString &key);
// The value of key in section, or def when the file, section or entry is missing.
QString LngValue(const QString &section, const QString &key, const QString &def);

// The program's folder (where the executable lies) and paths inside it.
QString programDir();
QString programPath(const QString &relative);
// Makes programDir() answer dir instead of the executable's folder (tests run the
// program against a folder of their own); an empty dir restores the executable's folder.
void setProgramDir(const QString &dir);

// A data folder the program reads (LScripts, Help, Texts): beside the program when it is
// there (the build tree, a folder copied whole), else in the installed share folder
// (share/letrafex beside the program's bin folder); beside the program when neither exists.
QString dataFolder(const QString &name);
// The folder of the program's own files (settings, favourite textures): Data beside the
// program while the program's folder is writable, else the user's data folder
// (QStandardPaths::AppDataLocation), as for an installed program.
QString userDataFolder();
// The same for a program folder that is, or is not, writable.
QString userDataFolderFor(bool programFolderWritable);
QString userDataPath(const QString &relative);

// The full path of a file in LScripts.
QString languageFilePathFor(const QString &fileName);
// Every entry of LScripts except "." and "..", files and folders alike, in the order the
// file system lists them, not filtered by extension. Without extensions each name loses
// everything from its last dot on. A missing or empty folder gives an empty list.
QStringList LanguageList(bool withExtensions);
