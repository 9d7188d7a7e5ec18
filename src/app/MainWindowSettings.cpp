// The main window's side of the settings and the language: reading the settings file at
// start, writing it at exit, and applying language, colours and page-list position.
#include "app/MainWindow.h"

#include "core/CommaText.h"
#include "core/IniFile.h"
#include "core/MessageText.h"
#include "program/DialogStyle.h"
#include "program/Language.h"
#include "ui/MessageDialogs.h"
#include "program/ProgramOptions.h"
#include "program/Settings.h"
#include "ui/SplashScreen.h"
#include "ui/Translate.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QListWidget>
#include <QScreen>
#include <QTimer>

#include <functional>
#include <utility>

namespace {
// A damaged file must not ask for a window no window system can make.
constexpr int MaxStoredSide = 32767;

void warnSettingsNotSaved(bool &shown, const QString &message)
{
    if (shown)
        return;
    shown = true;
    ShowMessageBox(message, QStringLiteral("w"));
}

// Work that waits for the window's language (the start's settings warning): it runs from
// the event loop once the language has been applied, then goes away with its window.
class AfterLanguageApplied : public QObject
{
public:
    AfterLanguageApplied(QObject *window, std::function<void()> work) : QObject(window), work_(std::move(work)) {}
    void start()
    {
        if (std::exchange(started_, true))
            return;
        QTimer::singleShot(0, this, [this] {
            work_();
            deleteLater();
        });
    }

private:
    std::function<void()> work_;
    bool started_ = false;
};

// The first-start question: the language files by name, the user's own language chosen at
// the start. The answer is a file that is there, or English when nothing was chosen.
QString askForLanguage()
{
    const QStringList files = LanguageList(true);
    QStringList names;
    for (const QString &file : files)
        names << file.chopped(4); // ".lng"
    const QString preferred = preferredLanguageFile(files);
    const QString answer = [&] {
        const TSplashScreen::StepAside splashAside;
        return ShowChoiceBox(QStringLiteral("Please select language:"), toCommaText(names),
                             names.value(files.indexOf(preferred)));
    }();
    const qsizetype chosen = answer.isEmpty() ? -1 : names.indexOf(answer);
    if (chosen >= 0)
        return files[chosen];
    const QString english = findLanguageFile(QStringLiteral("English.lng"));
    return english.isEmpty() ? QStringLiteral("English.lng") : english;
}
} // namespace

void TLetrafex::LoadSettings()
{
    using namespace SettingsKeys;
    DialogStyle.startColor = Colors::clYellow;
    DialogStyle.endColor = Colors::clFuchsia;
    IniFile ini(settingsFilePath());
    if (ini.readString(Language, File, QString()).isEmpty()) {
        if (!ini.writeString(Language, File, askForLanguage())) {
            // The splash window stays on top while the program starts and would hide the
            // message; it is shown once the main window is up, in the language it applied.
            new AfterLanguageApplied(this, [this, ini] {
                warnSettingsNotSaved(settingsWarningShown_, settingsNotSavedMessage(ini));
            });
        }
    }
    WindowBounds defaults;
    defaults.width = width();
    defaults.height = height();
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        defaults.left = screen->geometry().width() / 2 - defaults.width / 2;
        defaults.top = screen->geometry().height() / 2 - defaults.height / 2;
    }
    WindowBounds bounds = readWindowBounds(ini, defaults);
    bounds.width = qBound(minimumWidth(), bounds.width, MaxStoredSide);
    bounds.height = qBound(minimumHeight(), bounds.height, MaxStoredSide);
    // A file written on another screen arrangement must not leave the window where no
    // screen shows it, or larger than its screen.
    QList<QRect> screens;
    for (const QScreen *screen : QGuiApplication::screens())
        screens << screen->availableGeometry();
    if (const QScreen *primary = QGuiApplication::primaryScreen())
        screens.prepend(primary->availableGeometry());
    const QRect placed = placeWindow(bounds, screens);
    move(placed.topLeft());
    resize(placed.size());
    readProgramOptions(ini, ProgramOptions);
    if (ini.readInteger(Window, State, 0) == 1)
        setWindowState(windowState() | Qt::WindowMaximized);
}

void TLetrafex::SaveSettings()
{
    WindowBounds bounds;
    bounds.left = x();
    bounds.top = y();
    bounds.width = width();
    bounds.height = height();
    IniFile ini(settingsFilePath());
    if (!writeSettings(ini, bounds, isMaximized(), ProgramOptions))
        warnSettingsNotSaved(settingsWarningShown_, settingsNotSavedMessage(ini));
}

void TLetrafex::ApplyLanguage()
{
    // A language file that is missing, a folder, empty or unreadable leaves the texts
    // English; the user is told once per run and file, after the splash, once the window
    // is up. The settings keep naming the file, so a file that comes back is used again.
    const QString file = ProgramOptions.languageFile;
    const bool usable = languageFileProblem(file).isEmpty();
    const QString english = findLanguageFile(QStringLiteral("English.lng"));
    const bool englishUsable = !english.isEmpty() && languageFileProblem(english).isEmpty();
    LanguageFilePath = usable          ? languageFilePathFor(file)
                       : englishUsable ? languageFilePathFor(english)
                                       : QString();
    // Qt's own texts follow only a language that is used, as the program's texts do.
    applyQtTranslations(usable ? file : QString());
    if (!usable && languageOfFile(file) != QLocale::English &&
        languageProblemTold_.compare(file, Qt::CaseInsensitive) != 0) {
        languageProblemTold_ = file;
        new AfterLanguageApplied(this, [file] {
            const QString problem = languageFileProblem(file);
            if (!problem.isEmpty())
                ShowMessageBox(problem, QStringLiteral("w"));
        });
    }
    // The texts of the GUI-free code (reader and writer errors) come from the same file.
    setMessageTranslator([](const QString &english) { return LngText(QStringLiteral("Messages"), english); });
    QPalette pal = palette();
    pal.setColor(QPalette::Window, toQColor(resolveColor(ProgramOptions.windowColor)));
    setPalette(pal);
    topLayout_->removeWidget(SelectionBox);
    if (ProgramOptions.menuPosition == 1)
        topLayout_->addWidget(SelectionBox);
    else
        topLayout_->insertWidget(0, SelectionBox);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    TranslateForm(this);
    showShortcutsInHints();
    DialogStyle.startColor = ProgramOptions.messageStartColor;
    DialogStyle.endColor = ProgramOptions.messageEndColor;
    auto caption = [](const char *key) { return LngText(QStringLiteral("Captions"), QLatin1String(key)); };
    DialogStyle.cancelText = caption("Cancel");
    DialogStyle.okText = caption("OK");
    DialogStyle.yesText = caption("Yes");
    DialogStyle.noText = caption("No");
    DialogStyle.informationTitle = caption("Information");
    DialogStyle.confirmationTitle = caption("Confirmation");
    DialogStyle.warningTitle = caption("Warning");
    DialogStyle.inputTitle = caption("Input");
    const char *pages[] = {"Create text", "Create background", "Options", "Help", "About"};
    for (int i = 0; i < 5 && i < SelectionView->count(); ++i)
        SelectionView->item(i)->setText(caption(pages[i]));
    for (QObject *child : children())
        if (auto *waiting = dynamic_cast<AfterLanguageApplied *>(child))
            waiting->start();
}
