// The settings file: first start, reading and writing every key, damaged values, and the
// options page's effect on the main window when the user leaves it.
#include "ScriptedDialogs.h"
#include "TestProgramFolder.h"
#include "app/MainWindow.h"
#include "core/IniFile.h"
#include "ui/Controls.h"
#include "program/DialogStyle.h"
#include "program/Language.h"
#include "ui/MessageDialogs.h"
#include "ui/OptionsForm.h"
#include "program/ProgramOptions.h"
#include "program/Settings.h"
#include "ui/SplashScreen.h"
#include "WindowControls.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPaintEvent>
#include <QPushButton>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <climits>
#include <memory>

namespace {

class Settings : public ::testing::Test
{
protected:
    void SetUp() override { QDir(program.path()).mkpath("Data"); }
    void TearDown() override { closeWindow(); }
    QString path(const QString &relative) const { return program.filePath(relative); }
    void writeSettings(const QByteArray &text)
    {
        QFile f(settingsFilePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    void shipLanguage(const char *name)
    {
        ASSERT_TRUE(QFile::copy(QStringLiteral(LETRAFEX_DATA "/LScripts/") + name, path(QStringLiteral("LScripts/") + name)));
    }
    TLetrafex &start()
    {
        window = std::make_unique<TLetrafex>();
        window->createSecondaryWindows();
        window->show();
        return *window;
    }
    // Closes the window as the user would, without the exit question.
    void closeWindow()
    {
        if (!window)
            return;
        ProgramOptions.noExitDialog = true;
        window->close();
        window.reset();
    }
    void leavePageTo(int entry)
    {
        control<QListWidget>(*window, "SelectionView")->setCurrentRow(entry);
        window->layout()->activate();
    }

    TestProgramFolder program;
    ScriptedDialogs dialogs;
    std::unique_ptr<TLetrafex> window;
};

} // namespace

TEST_F(Settings, FirstStartAsksForTheLanguageAndStoresItAtOnce)
{
    int listed = -1;
    QString prompt;
    dialogs.onExec = [&](QDialog &d) {
        listed = d.findChild<QListWidget *>("ChoiceList")->count();
        prompt = static_cast<TMessageForm &>(d).messageLabel()->text();
        return int(mrCancel);
    };
    window = std::make_unique<TLetrafex>();
    EXPECT_EQ(listed, 0);
    EXPECT_EQ(prompt, "Please select language:");
    // Written before anything else, while the window is still being made.
    EXPECT_EQ(IniFile(settingsFilePath()).readString("Language", "File", ""), "English.lng");
    EXPECT_EQ(ProgramOptions.languageFile, "English.lng");
    window.reset();

    // A later start does not ask again.
    dialogs.execCount = 0;
    window = std::make_unique<TLetrafex>();
    EXPECT_EQ(dialogs.execCount, 0);
}

TEST_F(Settings, FirstStartListsLanguagesWithoutExtensionAndTakesTheAnswer)
{
    shipLanguage("English.lng");
    shipLanguage("German.lng");
    QStringList names;
    dialogs.onExec = [&](QDialog &d) {
        auto *list = d.findChild<QListWidget *>("ChoiceList");
        for (int i = 0; i < list->count(); ++i)
            names << list->item(i)->text();
        list->setCurrentRow(int(names.indexOf("German")));
        return int(mrOk);
    };
    TLetrafex &w = start();
    names.sort();
    EXPECT_EQ(names, (QStringList{"English", "German"}));
    EXPECT_EQ(ProgramOptions.languageFile, "German.lng");
    EXPECT_EQ(control<QGroupBox>(w, "PictureBox")->title(), "Bild");
    EXPECT_EQ(control<QListWidget>(w, "SelectionView")->item(1)->text(), "Hintergrund erstellen");
    EXPECT_EQ(DialogStyle.noText, "Nein");
}

TEST_F(Settings, FirstStartQuestionStandsInFrontWithTheUsersLanguageChosenAndTheKeyboardInTheList)
{
    shipLanguage("English.lng");
    shipLanguage("German.lng");
    QFile notes(path("LScripts/notes.txt"));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.close();
    struct DefaultLocale
    {
        explicit DefaultLocale(const QLocale &l) { QLocale::setDefault(l); }
        ~DefaultLocale() { QLocale::setDefault(QLocale::system()); }
    };
    auto splashShown = [] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (qobject_cast<TSplashScreen *>(w) && w->isVisible())
                return true;
        return false;
    };
    struct Asked
    {
        bool splashShown = true;
        bool listHasFocus = false;
        QStringList names;
        QString chosen;
    } asked;
    // The question is answered by pressing Enter in its list.
    dialogs.onExec = [&](QDialog &d) {
        auto *list = d.findChild<QListWidget *>("ChoiceList");
        asked.splashShown = splashShown();
        asked.listHasFocus = d.focusWidget() == list;
        asked.names.clear();
        for (int i = 0; i < list->count(); ++i)
            asked.names << list->item(i)->text();
        asked.names.sort();
        asked.chosen = list->currentItem() ? list->currentItem()->text() : QString();
        d.show();
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(list, &enter);
        return d.isVisible() ? int(mrCancel) : d.result();
    };
    {
        const DefaultLocale german(QLocale(QLocale::German, QLocale::Germany));
        window = std::make_unique<TLetrafex>();
    }
    EXPECT_FALSE(asked.splashShown);
    EXPECT_TRUE(asked.listHasFocus);
    EXPECT_EQ(asked.names, (QStringList{"English", "German"}));
    EXPECT_EQ(asked.chosen, "German");
    EXPECT_EQ(IniFile(settingsFilePath()).readString("Language", "File", ""), "German.lng");

    window.reset();
    ASSERT_TRUE(QFile::remove(settingsFilePath()));
    {
        const DefaultLocale c(QLocale::c());
        window = std::make_unique<TLetrafex>();
    }
    EXPECT_EQ(asked.chosen, "English");
    EXPECT_EQ(ProgramOptions.languageFile, "English.lng");
}

TEST_F(Settings, AStoredLanguageNameInOtherLetterCaseGivesThatLanguageEverywhere)
{
    shipLanguage("English.lng");
    shipLanguage("German.lng");
    writeSettings("[Language]\nFile=german.LNG\n");
    TLetrafex &w = start();
    EXPECT_EQ(control<QGroupBox>(w, "PictureBox")->title(), "Bild");
    EXPECT_EQ(control<QListWidget>(w, "SelectionView")->item(0)->text(), "Text erstellen");
    leavePageTo(2);
    QListWidget *list = control<TOptionsForm>(w, "OptionsForm")->LngListBox;
    ASSERT_EQ(list->selectedItems().size(), 1);
    EXPECT_EQ(list->selectedItems().first()->text(), "German.lng");
    EXPECT_EQ(control<TOptionsForm>(w, "OptionsForm")->SettingsBox->title(), "Einstellungen");
}

TEST_F(Settings, QtsOwnTextsFollowTheLanguage)
{
    const QString catalogue = QDir(QLibraryInfo::path(QLibraryInfo::TranslationsPath)).filePath("qt_de.qm");
    if (!QFile::exists(catalogue))
        GTEST_SKIP() << "Qt's German translations are not installed (" << catalogue.toStdString()
                     << "; Debian package qt6-translations-l10n)";
    shipLanguage("English.lng");
    shipLanguage("German.lng");
    writeSettings("[Language]\nFile=German.lng\n");
    auto cancelText = [] {
        QDialogButtonBox box(QDialogButtonBox::Cancel);
        return box.button(QDialogButtonBox::Cancel)->text().remove('&');
    };
    auto contextMenuTexts = [] {
        QLineEdit edit;
        std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
        QStringList texts;
        for (QAction *a : menu->actions())
            texts << a->text().remove('&').section('\t', 0, 0);
        return texts;
    };
    TLetrafex &w = start();
    EXPECT_EQ(cancelText(), "Abbrechen");
    EXPECT_TRUE(contextMenuTexts().contains("Alles auswählen")) << contextMenuTexts().join('|').toStdString();

    leavePageTo(2);
    QListWidget *list = control<TOptionsForm>(w, "OptionsForm")->LngListBox;
    list->setCurrentRow(int(list->row(list->findItems("English.lng", Qt::MatchExactly).first())));
    leavePageTo(0);
    EXPECT_EQ(cancelText(), "Cancel");
    EXPECT_TRUE(contextMenuTexts().contains("Select All")) << contextMenuTexts().join('|').toStdString();

    // And back: the German catalogue replaces Qt's English again.
    leavePageTo(2);
    list->setCurrentRow(int(list->row(list->findItems("German.lng", Qt::MatchExactly).first())));
    leavePageTo(0);
    EXPECT_EQ(cancelText(), "Abbrechen");
}

TEST_F(Settings, ANewLanguageRepaintsTheWholePageList)
{
    QFile longer(path("LScripts/Long.lng"));
    ASSERT_TRUE(longer.open(QIODevice::WriteOnly));
    longer.write("[Captions]\nCreate text=Einen neuen Text erstellen\n");
    longer.close();
    writeSettings("[Language]\nFile=Long.lng\n");
    TLetrafex &w = start();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    struct PaintRecorder : QObject
    {
        QRegion painted;
        bool eventFilter(QObject *, QEvent *e) override
        {
            if (e->type() == QEvent::Paint)
                painted += static_cast<QPaintEvent *>(e)->region();
            return false;
        }
    } recorder;
    QWidget *viewport = control<QListWidget>(w, "SelectionView")->viewport();
    viewport->installEventFilter(&recorder);
    ProgramOptions.languageFile = "English.lng";
    w.ApplyLanguage();
    QCoreApplication::processEvents();
    EXPECT_EQ(control<QListWidget>(w, "SelectionView")->item(0)->text(), "Create text");
    // Every pixel of the list was painted again.
    EXPECT_TRUE((QRegion(viewport->rect()) - recorder.painted).isEmpty())
        << recorder.painted.boundingRect().x() << "," << recorder.painted.boundingRect().y() << " "
        << recorder.painted.boundingRect().width() << "x" << recorder.painted.boundingRect().height();
}

TEST_F(Settings, StoredBoundsAreUsedAndStateOneMaximizesAfterPlacing)
{
    writeSettings("[Language]\nFile=English.lng\n[Window]\nLeft=40\nTop=$32\nWidth=0x2BC\nHeight=520\nState=1\n");
    window = std::make_unique<TLetrafex>();
    EXPECT_EQ(window->pos(), QPoint(40, 50));
    EXPECT_EQ(window->size(), QSize(700, 520));
    EXPECT_TRUE(window->windowState() & Qt::WindowMaximized);
}

TEST_F(Settings, StoredBoundsOffTheScreenOrLargerThanItAreBroughtOntoThePrimaryScreen)
{
    writeSettings("[Language]\nFile=English.lng\n[Window]\nLeft=50000\nTop=-40000\nWidth=30000\nHeight=500\n");
    window = std::make_unique<TLetrafex>();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(window->geometry(), QRect(screen.left(), screen.top(), screen.width(), 500));
}

TEST(WindowPlacement, AWindowLiesFullyOnTheScreenThatShowsMostOfItAndIsNoLargerThanIt)
{
    // The primary screen above a task bar, and a second screen to its right.
    const QRect primary(0, 0, 1920, 1040), second(1920, 0, 1280, 1024);
    const QList<QRect> screens{primary, second};
    auto place = [&](int left, int top, int width, int height) {
        return placeWindow(WindowBounds{left, top, width, height}, screens);
    };
    EXPECT_EQ(place(100, 100, 640, 480), QRect(100, 100, 640, 480));
    EXPECT_EQ(place(2000, 50, 640, 480), QRect(2000, 50, 640, 480));
    // On no screen: onto the primary one.
    EXPECT_EQ(place(5000, 3000, 640, 480), QRect(1280, 560, 640, 480));
    EXPECT_EQ(place(-3000, -3000, 800, 600), QRect(0, 0, 800, 600));
    // Larger than its screen: the screen's available size.
    EXPECT_EQ(place(0, 0, 4000, 3000), primary);
    EXPECT_EQ(place(1950, 10, 2000, 2000), second);
    // Partly off a screen: moved onto the screen that shows most of it.
    EXPECT_EQ(place(3000, 100, 640, 480), QRect(2560, 100, 640, 480));
    EXPECT_EQ(place(1800, 100, 640, 480), QRect(1920, 100, 640, 480));
    EXPECT_EQ(place(1400, 700, 640, 480), QRect(1280, 560, 640, 480));
    // Values at the integer limits, and no screens at all.
    EXPECT_EQ(place(INT_MAX, INT_MIN, INT_MAX, 480), QRect(0, 0, 1920, 480));
    EXPECT_EQ(placeWindow(WindowBounds{7, 8, 640, 480}, {}), QRect(7, 8, 640, 480));
}

TEST_F(Settings, MissingBoundsCentreTheDesignedWindow)
{
    writeSettings("[Language]\nFile=English.lng\n");
    window = std::make_unique<TLetrafex>();
    EXPECT_EQ(window->size(), QSize(640, 480));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(window->pos(), QPoint(screen.width() / 2 - 320, screen.height() / 2 - 240));
    EXPECT_FALSE(window->windowState() & Qt::WindowMaximized);
}

TEST_F(Settings, MenuPositionMovesTheSelectionListWhenTheOptionsPageIsLeft)
{
    writeSettings("[Language]\nFile=English.lng\n");
    TLetrafex &w = start();
    w.layout()->activate();
    EXPECT_LT(control<QGroupBox>(w, "SelectionBox")->x(), control<QWidget>(w, "MainPanel")->x());
    leavePageTo(2);
    control<TOptionsForm>(w, "OptionsForm")->TextBoxPosBox->setItemIndex(1);
    EXPECT_LT(control<QGroupBox>(w, "SelectionBox")->x(), control<QWidget>(w, "MainPanel")->x());
    leavePageTo(0);
    EXPECT_EQ(ProgramOptions.menuPosition, 1);
    EXPECT_GT(control<QGroupBox>(w, "SelectionBox")->x(), control<QWidget>(w, "MainPanel")->x());
    leavePageTo(2);
    control<TOptionsForm>(w, "OptionsForm")->TextBoxPosBox->setItemIndex(0);
    leavePageTo(3);
    EXPECT_EQ(ProgramOptions.menuPosition, 0);
    EXPECT_LT(control<QGroupBox>(w, "SelectionBox")->x(), control<QWidget>(w, "MainPanel")->x());
}

TEST_F(Settings, APickedLanguageTranslatesOnlyTheOptionsPageUntilItIsLeft)
{
    shipLanguage("English.lng");
    shipLanguage("German.lng");
    writeSettings("[Language]\nFile=english.LNG\n");
    TLetrafex &w = start();
    leavePageTo(2);
    QListWidget *list = control<TOptionsForm>(w, "OptionsForm")->LngListBox;
    ASSERT_EQ(list->count(), 2);
    // The stored name is found whatever its letter case.
    ASSERT_EQ(list->selectedItems().size(), 1);
    EXPECT_EQ(list->selectedItems().first()->text(), "English.lng");

    list->setCurrentRow(int(list->row(list->findItems("German.lng", Qt::MatchExactly).first())));
    EXPECT_EQ(control<TOptionsForm>(w, "OptionsForm")->SettingsBox->title(), "Einstellungen");
    EXPECT_EQ(control<TOptionsForm>(w, "OptionsForm")->windowTitle(), "Optionen");
    EXPECT_EQ(control<QGroupBox>(w, "PictureBox")->title(), "Picture");
    EXPECT_EQ(control<QListWidget>(w, "SelectionView")->item(0)->text(), "Create text");

    leavePageTo(0);
    EXPECT_EQ(ProgramOptions.languageFile, "German.lng");
    EXPECT_EQ(control<QGroupBox>(w, "PictureBox")->title(), "Bild");
    EXPECT_EQ(control<QListWidget>(w, "SelectionView")->item(0)->text(), "Text erstellen");
    EXPECT_EQ(DialogStyle.yesText, "Ja");
    EXPECT_EQ(DialogStyle.confirmationTitle, "Bestätigung");
    EXPECT_EQ(LngText("Messages", "Are you sure?"), "Sind Sie sicher?");
}

TEST_F(Settings, AStoredLanguageThatIsGoneShowsEnglishAndNoSelection)
{
    shipLanguage("German.lng");
    QStringList messages;
    dialogs.onExec = [&](QDialog &d) {
        messages << static_cast<TMessageForm &>(d).messageLabel()->text();
        return int(mrOk);
    };
    writeSettings("[Language]\nFile=Klingon.lng\n");
    TLetrafex &w = start();
    EXPECT_EQ(control<QGroupBox>(w, "PictureBox")->title(), "Picture");
    QCoreApplication::processEvents();
    const QString klingon = QDir::toNativeSeparators(path("LScripts/Klingon.lng"));
    EXPECT_EQ(messages, QStringList("The language file \"" + klingon +
                                    "\" cannot be used: the file does not exist. The texts are shown in English."));
    leavePageTo(2);
    EXPECT_TRUE(control<TOptionsForm>(w, "OptionsForm")->LngListBox->selectedItems().isEmpty());
    leavePageTo(0);
    QCoreApplication::processEvents();
    EXPECT_EQ(messages.size(), 1); // told once, not at every apply
    EXPECT_EQ(ProgramOptions.languageFile, "Klingon.lng");
    closeWindow();

    // An empty file and a folder are told the same way, and English is used, Qt's texts too.
    QFile(path("LScripts/German.lng")).resize(0);
    ASSERT_TRUE(QDir().mkpath(path("LScripts/French.lng")));
    for (const char *name : {"German.lng", "French.lng"}) {
        messages.clear();
        writeSettings(QByteArray("[Language]\nFile=") + name + "\n");
        TLetrafex &again = start();
        QCoreApplication::processEvents();
        EXPECT_EQ(control<QGroupBox>(again, "PictureBox")->title(), "Picture");
        EXPECT_EQ(QDialogButtonBox(QDialogButtonBox::Cancel).button(QDialogButtonBox::Cancel)->text().remove('&'), "Cancel");
        ASSERT_EQ(messages.size(), 1) << name;
        EXPECT_TRUE(messages[0].contains(QStringLiteral(": the file is empty.")) ||
                    messages[0].contains(QStringLiteral(": it is a folder, not a file.")))
            << messages[0].toStdString();
        closeWindow();
    }
}

TEST_F(Settings, WindowAndMessageColoursAreAppliedAndSurviveARestart)
{
    writeSettings("[Language]\nFile=English.lng\n");
    TLetrafex &w = start();
    leavePageTo(2);
    dialogs.onColor = [](QColor &c) {
        c = QColor(10, 120, 200);
        return true;
    };
    control<TOptionsForm>(w, "OptionsForm")->WindowColorMouseDown(control<TOptionsForm>(w, "OptionsForm")->WindowColor);
    dialogs.onColor = [](QColor &c) {
        c = QColor(1, 2, 3);
        return true;
    };
    control<TOptionsForm>(w, "OptionsForm")->WindowColorMouseDown(control<TOptionsForm>(w, "OptionsForm")->MEndColor);
    // A cancelled dialog changes nothing.
    dialogs.onColor = [](QColor &) { return false; };
    control<TOptionsForm>(w, "OptionsForm")->WindowColorMouseDown(control<TOptionsForm>(w, "OptionsForm")->MStartColor);
    EXPECT_NE(w.palette().color(QPalette::Window), QColor(10, 120, 200));
    leavePageTo(0);
    EXPECT_EQ(w.palette().color(QPalette::Window), QColor(10, 120, 200));
    EXPECT_EQ(DialogStyle.endColor, makeColor(1, 2, 3));
    EXPECT_EQ(DialogStyle.startColor, Colors::clYellow);

    closeWindow();
    EXPECT_EQ(IniFile(settingsFilePath()).readInteger("Options", "Window color", 0), makeColor(10, 120, 200));
    ProgramOptions = TProgramOptions{};
    TLetrafex &again = start();
    EXPECT_EQ(again.palette().color(QPalette::Window), QColor(10, 120, 200));
    EXPECT_EQ(DialogStyle.endColor, makeColor(1, 2, 3));
}

TEST_F(Settings, ExitWithoutTheQuestionStillWritesTheSettingsAndNoKeepsEverything)
{
    writeSettings("[Language]\nFile=English.lng\n");
    TLetrafex &w = start();
    w.move(12, 34);
    ProgramOptions.noExitDialog = false;
    dialogs.onExec = [](QDialog &) { return int(mrNo); };
    EXPECT_FALSE(w.close());
    EXPECT_EQ(IniFile(settingsFilePath()).readString("Window", "Left", "none"), "none");

    leavePageTo(2);
    control<TOptionsForm>(w, "OptionsForm")->GenOptListBox->setChecked(1, true);
    // Leaving the program from the options page keeps the choice made there.
    EXPECT_TRUE(w.close());
    const IniFile ini(settingsFilePath());
    EXPECT_EQ(ini.readInteger("Options", "General 2", 0), 1);
    EXPECT_EQ(ini.readInteger("Window", "Left", -1), w.x());
    window.reset();
}

TEST_F(Settings, SettingsThatCannotBeWrittenAreToldOnceWithThePlaceAndTheReason)
{
    shipLanguage("German.lng");
    // Every dialog is recorded: the first-start question is answered "German", any other
    // dialog is a message whose text is kept.
    QStringList messages, titles;
    dialogs.onExec = [&](QDialog &d) {
        if (auto *list = d.findChild<QListWidget *>("ChoiceList")) {
            list->setCurrentRow(0);
            return int(mrOk);
        }
        messages << static_cast<TMessageForm &>(d).messageLabel()->text();
        titles << d.windowTitle();
        return int(mrOk);
    };
    // What the program says while it runs, and what it adds when it is closed.
    QStringList atExit;
    auto runOnce = [&] {
        messages.clear();
        start();
        QCoreApplication::processEvents();
        const QStringList running = messages;
        closeWindow();
        atExit = messages.mid(running.size());
        return running;
    };

    // "Data" is a file: the folder cannot be made, so neither the first-start answer nor
    // the settings at exit can be kept; one message, once the window is up, names the folder.
    const QString data = path("Data");
    ASSERT_TRUE(QDir(data).removeRecursively());
    QFile blocker(data);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QStringList told = runOnce();
    ASSERT_EQ(told.size(), 1);
    // The message is in the language chosen; the system's reason is as the system gives it.
    EXPECT_EQ(told[0], "Die Einstellungen konnten nicht gespeichert werden.\nDer Ordner „" + data +
                           "“ kann nicht angelegt werden. Not a directory");
    EXPECT_EQ(titles.join(QLatin1Char('|')).toStdString(), "Warnung");
    EXPECT_EQ(ProgramOptions.languageFile, "German.lng");
    EXPECT_TRUE(atExit.isEmpty());

    // LETRAFEX.INI cannot be replaced (here a folder has its name).
    ASSERT_TRUE(QFile::remove(data));
    ASSERT_TRUE(QDir().mkpath(settingsFilePath()));
    const QStringList taken = runOnce();
    EXPECT_TRUE(atExit.isEmpty());
    ASSERT_EQ(taken.size(), 1);
    EXPECT_TRUE(taken[0].startsWith("Die Einstellungen konnten nicht gespeichert werden.\nDie Datei „" +
                                    settingsFilePath() + "“ kann nicht angelegt werden. "))
        << taken[0].toStdString();

    // A "Data" folder that cannot be written (not for root, whom the permissions do not
    // stop): the start reads the file, and the exit says why it cannot write it.
    ASSERT_TRUE(QDir(settingsFilePath()).removeRecursively());
    writeSettings("[Language]\nFile=English.lng\n");
    QFile::setPermissions(data, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    if (!QFileInfo(data).isWritable()) {
        EXPECT_TRUE(runOnce().isEmpty());
        const QStringList refused = atExit;
        ASSERT_EQ(refused.size(), 1);
        EXPECT_EQ(refused[0], "The settings could not be saved.\nCannot create file \"" + settingsFilePath() + "\". Permission denied");
    }
    QFile::setPermissions(data, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // Where the settings can be written again, nothing is said.
    EXPECT_TRUE(runOnce().isEmpty());
    EXPECT_TRUE(atExit.isEmpty());
}

TEST(SettingsFile, EveryKeyRoundTripsWithSystemColoursAsNegativeDecimals)
{
    QTemporaryDir dir;
    IniFile ini(dir.filePath("LETRAFEX.INI"));
    TProgramOptions out;
    out.addBackgroundAutomatically = true;
    out.noExitDialog = false;
    out.redrawWhileEditing = true;
    out.menuPosition = 1;
    out.windowColor = Colors::clBtnFace;
    out.messageStartColor = makeColor(1, 2, 3);
    out.messageEndColor = Colors::clInfoBk;
    out.languageFile = "German.lng";
    ASSERT_TRUE(writeSettings(ini, {-20, 30, 800, 600}, true, out));

    const IniFile back(dir.filePath("LETRAFEX.INI"));
    EXPECT_EQ(back.readString("Options", "Window color", ""), "-2147483633");
    EXPECT_EQ(back.readString("Options", "Menu bar position", ""), "1");
    EXPECT_EQ(back.readString("Options", "General 1", ""), "1");
    EXPECT_EQ(back.readString("Options", "General 2", ""), "0");
    EXPECT_EQ(back.readString("Options", "General 3", ""), "1");
    EXPECT_EQ(back.readString("Window", "State", ""), "1");
    TProgramOptions in;
    readProgramOptions(back, in);
    EXPECT_TRUE(in.addBackgroundAutomatically);
    EXPECT_FALSE(in.noExitDialog);
    EXPECT_TRUE(in.redrawWhileEditing);
    EXPECT_EQ(in.menuPosition, 1);
    EXPECT_EQ(in.windowColor, Colors::clBtnFace);
    EXPECT_EQ(in.messageStartColor, makeColor(1, 2, 3));
    EXPECT_EQ(in.messageEndColor, Colors::clInfoBk);
    EXPECT_EQ(in.languageFile, "German.lng");
    const WindowBounds b = readWindowBounds(back, {});
    EXPECT_EQ(b.left, -20);
    EXPECT_EQ(b.top, 30);
    EXPECT_EQ(b.width, 800);
    EXPECT_EQ(b.height, 600);
}

TEST(SettingsFile, DamagedValuesReadAsDefaultsAndGoodOnesAreKept)
{
    QTemporaryDir dir;
    QFile f(dir.filePath("LETRAFEX.INI"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("garbage line\n[Options]\nGeneral 1=yes\nGeneral 2=7\nWindow color=0xFF00\nMenu bar position=9\n"
            "Message start color=12abc\nMessage end color=$FF\n[Window]\nLeft=\nTop=99999999999\nWidth=900\n\x01\x02\n");
    f.close();
    const IniFile ini(dir.filePath("LETRAFEX.INI"));
    TProgramOptions o;
    readProgramOptions(ini, o);
    EXPECT_FALSE(o.addBackgroundAutomatically);
    EXPECT_TRUE(o.noExitDialog);
    EXPECT_EQ(o.windowColor, 0xFF00);
    EXPECT_EQ(o.menuPosition, 0);
    EXPECT_EQ(o.messageStartColor, Colors::clYellow);
    EXPECT_EQ(o.messageEndColor, 0xFF);
    EXPECT_EQ(o.languageFile, "English.lng");
    const WindowBounds b = readWindowBounds(ini, {5, 6, 640, 480});
    EXPECT_EQ(b.left, 5);
    EXPECT_EQ(b.top, 6);
    EXPECT_EQ(b.width, 900);
    EXPECT_EQ(b.height, 480);
}
