#pragma once
// Language lookups. The current language file is an INI file in LScripts beside the
// program; it is opened for every lookup, so a file edited while the program runs is
// seen at once. Every key of "Captions" and "Messages" is the English text itself.
#include <QString>

// Full path of the current language file; empty until the main window applies a language.
extern QString LanguageFilePath;

// The value of key in section, or the key itself when the file, section or entry is missing.
QString LngText(const QString &section, const QString &key);
// The value of key in section, or def when the file, section or entry is missing.
QString LngValue(const QString &section, const QString &key, const QString &def);

// The program's folder (where the executable lies) and paths inside it.
QString programDir();
QString programPath(const QString &relative);
