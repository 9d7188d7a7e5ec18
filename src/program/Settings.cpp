#include "program/Settings.h"

#include "core/FileBytes.h"
#include "core/IniFile.h"
#include "core/MessageText.h"
#include "program/Language.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <filesystem>

QString SettingsKeys::general(int number) { return QStringLiteral("General ") + QString::number(number); }

QString settingsFilePath() { return userDataPath(QStringLiteral("LETRAFEX.INI")); }

bool readBoolean(const IniFile &ini, const QString &section, const QString &key, bool def)
{
    return ini.readInteger(section, key, def ? 1 : 0) != 0;
}

WindowBounds readWindowBounds(const IniFile &ini, const WindowBounds &defaults)
{
    using namespace SettingsKeys;
    WindowBounds b;
    b.left = ini.readInteger(Window, Left, defaults.left);
    b.top = ini.readInteger(Window, Top, defaults.top);
    b.height = ini.readInteger(Window, Height, defaults.height);
    b.width = ini.readInteger(Window, Width, defaults.width);
    return b;
}

QRect placeWindow(const WindowBounds &stored, const QList<QRect> &availableScreens)
{
    // Far beyond any desktop, and far from the integer limits a rectangle's edges would pass.
    constexpr int Far = 1 << 24;
    const QRect wanted(std::clamp(stored.left, -Far, Far), std::clamp(stored.top, -Far, Far),
                       std::clamp(stored.width, 0, Far), std::clamp(stored.height, 0, Far));
    if (availableScreens.isEmpty())
        return wanted;
    // The screen showing the largest part of the window; the primary when none shows any.
    QRect screen = availableScreens.first();
    qint64 shown = 0;
    for (const QRect &s : availableScreens) {
        const QRect part = s.intersected(wanted);
        const qint64 area = part.isEmpty() ? 0 : qint64(part.width()) * part.height();
        if (area > shown) {
            shown = area;
            screen = s;
        }
    }
    const QSize size = wanted.size().boundedTo(screen.size());
    const int left = std::clamp(wanted.left(), screen.left(), screen.left() + screen.width() - size.width());
    const int top = std::clamp(wanted.top(), screen.top(), screen.top() + screen.height() - size.height());
    return {QPoint(left, top), size};
}

void readProgramOptions(const IniFile &ini, TProgramOptions &options)
{
    using namespace SettingsKeys;
    const TProgramOptions defaults;
    options.addBackgroundAutomatically = readBoolean(ini, Options, general(1), defaults.addBackgroundAutomatically);
    options.noExitDialog = readBoolean(ini, Options, general(2), defaults.noExitDialog);
    options.redrawWhileEditing = readBoolean(ini, Options, general(3), defaults.redrawWhileEditing);
    options.windowColor = ini.readInteger(Options, WindowColor, defaults.windowColor);
    // Only 0 (left) and 1 (right) are positions; anything else is a damaged value.
    const int position = ini.readInteger(Options, MenuPosition, defaults.menuPosition);
    options.menuPosition = position == 1 ? 1 : 0;
    options.messageStartColor = ini.readInteger(Options, MessageStartColor, defaults.messageStartColor);
    options.messageEndColor = ini.readInteger(Options, MessageEndColor, defaults.messageEndColor);
    options.languageFile = ini.readString(Language, File, defaults.languageFile);
}

bool writeSettings(IniFile &ini, const WindowBounds &bounds, bool maximized, const TProgramOptions &options)
{
    using namespace SettingsKeys;
    ini.holdWrites();
    ini.writeInteger(Window, Left, bounds.left);
    ini.writeInteger(Window, Top, bounds.top);
    ini.writeInteger(Window, Height, bounds.height);
    ini.writeInteger(Window, Width, bounds.width);
    ini.writeInteger(Options, general(1), options.addBackgroundAutomatically ? 1 : 0);
    ini.writeInteger(Options, general(2), options.noExitDialog ? 1 : 0);
    ini.writeInteger(Options, general(3), options.redrawWhileEditing ? 1 : 0);
    ini.writeInteger(Options, WindowColor, options.windowColor);
    ini.writeInteger(Options, MenuPosition, options.menuPosition);
    ini.writeInteger(Options, MessageStartColor, options.messageStartColor);
    ini.writeInteger(Options, MessageEndColor, options.messageEndColor);
    ini.writeString(Language, File, options.languageFile);
    ini.writeInteger(Window, State, maximized ? 1 : 0);
    return ini.commitWrites();
}

QString settingsNotSavedMessage(const IniFile &ini)
{
    QString why = ini.errorString();
    const QString folder = QFileInfo(ini.path()).absolutePath();
    if (!QFileInfo(folder).isDir()) {
        // The start tried to make the folder already; making it again is how the system's
        // reason is learnt ("Not a directory" when a file has the folder's name).
        std::error_code error;
        std::filesystem::create_directories(QFile::encodeName(folder).toStdString(), error);
        if (error)
            why = messageText("Cannot create folder \"%1\". %2")
                   .arg(nativeFilePath(folder), QString::fromLocal8Bit(error.message()));
    }
    return LngText(QStringLiteral("Messages"), QStringLiteral("The settings could not be saved.")) +
           QLatin1Char('\n') + why;
}
