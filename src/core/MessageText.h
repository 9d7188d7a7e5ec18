#pragma once
// Texts the GUI-free code shows to the user (reader and writer errors, notices). Each text
// is given by its English form, which is also its key in the "Messages" section of the
// language files; placeholders (%1, %2) stay in the key so a translation can reorder them.
// The window installs a translator that looks the key up in the current language file;
// without one (the command line, tests of the core) every text is its English form.
#include <QString>

#include <functional>

using MessageTranslator = std::function<QString(const QString &english)>;

// The installed translator's text for english, or english itself.
QString messageText(const char *english);
QString messageText(const QString &english);

// Marks a text as a message key where it is only stored (a library's error buffer, a
// constant); it is translated with messageText where it is shown.
constexpr const char *messageKey(const char *english) { return english; }

// Installs translator (an empty one restores the English texts) and returns the previous one.
MessageTranslator setMessageTranslator(MessageTranslator translator);
