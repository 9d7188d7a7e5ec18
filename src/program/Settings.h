#pragma once
// The settings file Data/LETRAFEX.INI beside the program: where each setting of
// ProgramOptions and of the main window's placement is kept, and how it is read and
// written. Integers are decimal (system colours are negative); on reading, "0x" and "$"
// hexadecimal are accepted too, and a missing or malformed value gives the default.
#include "program/ProgramOptions.h"

#include <QList>
#include <QRect>
#include <QString>

class IniFile;

namespace SettingsKeys {
inline const QString Language = QStringLiteral("Language");
inline const QString File = QStringLiteral("File");
inline const QString Window = QStringLiteral("Window");
inline const QString Left = QStringLiteral("Left");
inline const QString Top = QStringLiteral("Top");
inline const QString Height = QStringLiteral("Height");
inline const QString Width = QStringLiteral("Width");
inline const QString State = QStringLiteral("State");
inline const QString Options = QStringLiteral("Options");
inline const QString WindowColor = QStringLiteral("Window color");
inline const QString MenuPosition = QStringLiteral("Menu bar position");
inline const QString MessageStartColor = QStringLiteral("Message start color");
inline const QString MessageEndColor = QStringLiteral("Message end color");
// "General 1", "General 2": the general options by number.
QString general(int number);
} // namespace SettingsKeys

QString settingsFilePath();

// The main window's placement as the settings file keeps it.
struct WindowBounds
{
    int left = 0;
    int top = 0;
    int width = 640;
    int height = 480;
};

// Where the main window goes for its stored bounds, given the available geometries of the
// screens, the primary screen first. A window lying on a screen stays there, one partly
// off it is moved onto it, and one on no screen at all goes to the primary screen; in
// every case it is no larger than that screen's available area and lies fully inside it.
// With no screens the stored bounds are kept.
QRect placeWindow(const WindowBounds &stored, const QList<QRect> &availableScreens);

// Any non-zero integer reads as true.
bool readBoolean(const IniFile &ini, const QString &section, const QString &key, bool def);

// Reads left, top, height and width, each with its default from defaults.
WindowBounds readWindowBounds(const IniFile &ini, const WindowBounds &defaults);
// Reads the general options, then window colour, menu position and message colours, then
// the language file (default "English.lng"), into options.
void readProgramOptions(const IniFile &ini, TProgramOptions &options);

// Writes the window bounds, the options and the language file, and "State" last, in one
// replacement of the file. False when the file cannot be written (ini.errorString() says why).
bool writeSettings(IniFile &ini, const WindowBounds &bounds, bool maximized, const TProgramOptions &options);

// What the user reads when a write to the settings file ini has failed: where the settings
// could not be written and the system's reason. When the file's folder is missing or is no
// folder, that folder is named with the reason it cannot be made, rather than the file.
QString settingsNotSavedMessage(const IniFile &ini);
