#pragma once
// Language lookups. The current language file is an INI file in LScripts beside the
// program; it is opened for every lookup, so a file edited while the program runs is
// seen at once. Every key of "Captions" and "Messages" is the English text itself.
#include <QLocale>
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

// The full path of a file in LScripts. The name is matched against the folder's entries
// without regard to letter case ("german.lng" finds German.lng), as on the systems whose
// settings files name it so.
QString languageFilePathFor(const QString &fileName);
// Why the language file fileName (a name in LScripts) cannot be used: a message naming the
// file and the reason (it does not exist, it is a folder, it is empty, or the system's
// reason it cannot be read), saying that the texts are shown in English. Empty when the
// file can be read and holds something.
QString languageFileProblem(const QString &fileName);
// The entry of LScripts that is fileName apart from letter case (an exact match first);
// empty when there is none.
QString findLanguageFile(const QString &fileName);
// The language files offered to the user: the files in LScripts whose names end in ".lng"
// (in any letter case), in the order the file system lists them. Without extensions each
// name loses its ".lng". A missing or empty folder gives an empty list.
QStringList LanguageList(bool withExtensions);

// The language a language file is for: its name without extension is the language's
// English name as QLocale spells it ("German.lng" is German, "english.LNG" English);
// QLocale::AnyLanguage for any other name.
QLocale::Language languageOfFile(const QString &fileName);
// Of files (names with extension), the one for the first of the locale's user-interface
// languages that has one; else English.lng in any letter case; else empty.
QString preferredLanguageFile(const QStringList &files, const QLocale &locale = QLocale());
// Makes Qt's own texts (standard buttons, context menus, the file, colour, font and print
// dialogs) speak the language of the language file: Qt's translation catalogue "qt" for
// that language is installed from Qt's translations folder in place of the one installed
// before; English, a file that names no language, or a language Qt has no catalogue for,
// leave Qt's built-in English. Without an application object nothing happens.
void applyQtTranslations(const QString &languageFile);
