// The shipped language files: every designed text of every window, and every text the
// program looks up, has an entry; no entry names a control that does not exist; the
// English file says what the windows say; the German file leaves nothing in English.
#include "ScriptedDialogs.h"
#include "TestProgramFolder.h"
#include "app/MainWindow.h"
#include "background/BackgroundForm.h"
#include "core/IniFile.h"
#include "program/Language.h"
#include "ui/OptionsForm.h"
#include "help/HelpForm.h"
#include "ui/AboutForm.h"
#include "app/ExportForm.h"
#include "ui/PageForm.h"
#include "program/ProgramOptions.h"
#include "ui/ResizeForm.h"
#include "ui/SplashScreen.h"
#include "ui/Translate.h"
#include "WindowControls.h"

#include <QDir>
#include <QDirIterator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace {

// One designed text: its key in the window's section and the text the window shows.
using WindowTexts = std::map<QString, QString>;

WindowTexts designedTexts(QWidget *window)
{
    WindowTexts texts;
    if (!window->windowTitle().isEmpty())
        texts[QStringLiteral("Caption")] = window->windowTitle();
    for (QWidget *c : designedControls(window)) {
        const QString name = c->objectName();
        if (ControlTexts::hasCaption(c) && !ControlTexts::caption(c).isEmpty())
            texts[name + ".Caption"] = ControlTexts::caption(c);
        if (!c->toolTip().isEmpty())
            texts[name + ".Hint"] = c->toolTip();
        if (ControlTexts::hasItems(c) && !ControlTexts::items(c).isEmpty())
            texts[name + ".Items"] = ControlTexts::items(c).join(',');
        if (ControlTexts::hasLines(c) && !ControlTexts::lines(c).join(QString()).isEmpty())
            texts[name + ".Lines"] = ControlTexts::lines(c).join(',');
        if (ControlTexts::hasColumns(c))
            texts[name + ".Columns.Captions"] = ControlTexts::columns(c).join(',');
    }
    return texts;
}

// Every key a window section may hold: the title and each designed control's entries.
QStringList possibleKeys(QWidget *window)
{
    QStringList keys{QStringLiteral("Caption")};
    for (QWidget *c : designedControls(window))
        for (const char *suffix : {".Caption", ".Hint", ".Items", ".Lines", ".Columns.Captions"})
            keys << c->objectName() + suffix;
    return keys;
}

const QStringList textKeys[] = {
    // Captions
    {"OK", "Cancel", "Yes", "No", "Information", "Confirmation", "Warning", "Input", "Create text",
     "Create background", "Options", "Help", "About", "Tiled", "Stretched", "Original", "Files", "Graphic", "pixels"},
    // Messages
    {"Are you sure?", "Please select draw mode", "This format is not supported by the program.",
     "Do you really want to exit the program?", "Please enter text (F3 = repeat search):",
     "A picture of this size is not possible.", "The picture could not be printed."},
    // Print Preview
    {"First Page", "Last Page", "Previous Page", "Next Page", "Fit Page", "Fit Width", "Print", "Grid", "ZoomCursor",
     "OnePage", "TwoPage", "CloseButton Hint", "CloseButton Caption", "Caption", "ZoomboxItems", "Page"}};
const char *const textSections[] = {"Captions", "Messages", "Print Preview"};

// Texts that are the same in German and English.
bool sameInGerman(const QString &text)
{
    static const QStringList same{"KORVA's Letrafex", "Letrafex", "ABC", "X", "Y", "1,2,3,4,5,6,7,8,9,10", "OK", "Information", "Pos.",
                                  "1", "2", "3", "4", "5", "Format"};
    return same.contains(text);
}

class ShippedLanguageFiles : public ::testing::Test
{
protected:
    void SetUp() override
    {
        main = std::make_unique<TLetrafex>();
        main->createSecondaryWindows();
        resize = std::make_unique<TResizeForm>();
        exportForm = std::make_unique<TExportForm>();
        windows = {main.get(),       control<TBackgroundForm>(*main, "BackgroundForm"), control<TOptionsForm>(*main, "OptionsForm"), control<THelpForm>(*main, "HelpForm"),
                   control<TAboutForm>(*main, "AboutForm"), resize.get(),          exportForm.get()};
        for (QWidget *w : windows)
            english[w->objectName()] = designedTexts(w);
    }
    void TearDown() override
    {
        ProgramOptions.noExitDialog = true;
        main.reset();
    }
    static QString shipped(const char *name) { return QStringLiteral(LETRAFEX_DATA "/LScripts/") + name; }

    TestProgramFolder program;
    ScriptedDialogs dialogs;
    std::unique_ptr<TLetrafex> main;
    std::unique_ptr<TResizeForm> resize;
    std::unique_ptr<TExportForm> exportForm;
    QList<QWidget *> windows;
    std::map<QString, WindowTexts> english;
};

} // namespace

TEST_F(ShippedLanguageFiles, CoverEveryDesignedTextAndNameOnlyExistingControls)
{
    for (const char *file : {"English.lng", "German.lng"}) {
        const IniFile ini(shipped(file));
        ASSERT_FALSE(ini.sectionKeys("Letrafex").isEmpty()) << file;
        for (QWidget *w : windows) {
            const QString section = w->objectName();
            for (const auto &[key, text] : english[section])
                EXPECT_FALSE(ini.readString(section, key, QString()).isEmpty())
                    << file << " [" << section.toStdString() << "] lacks " << key.toStdString() << "=" << text.toStdString();
            const QStringList possible = possibleKeys(w);
            for (const QString &key : ini.sectionKeys(section))
                EXPECT_TRUE(possible.contains(key)) << file << " [" << section.toStdString() << "] " << key.toStdString()
                                                    << " names no control of the window";
        }
        for (int s = 0; s < 3; ++s)
            for (const QString &key : textKeys[s])
                EXPECT_FALSE(ini.readString(textSections[s], key, QString()).isEmpty())
                    << file << " [" << textSections[s] << "] lacks " << key.toStdString();
    }
}

TEST_F(ShippedLanguageFiles, EnglishSaysWhatTheWindowsSay)
{
    const IniFile ini(shipped("English.lng"));
    for (const auto &[section, texts] : english)
        for (const auto &[key, text] : texts)
            EXPECT_EQ(ini.readString(section, key, QString()), text) << "[" << section.toStdString() << "] " << key.toStdString();
    for (int s = 0; s < 2; ++s)
        for (const QString &key : textKeys[s])
            EXPECT_EQ(ini.readString(textSections[s], key, QString()), key);
}

TEST_F(ShippedLanguageFiles, GermanTranslatesEveryWindowAndText)
{
    LanguageFilePath = shipped("German.lng");
    for (QWidget *w : windows) {
        TranslateForm(w);
        const WindowTexts german = designedTexts(w);
        for (const auto &[key, text] : english[w->objectName()]) {
            ASSERT_TRUE(german.count(key)) << key.toStdString();
            if (!sameInGerman(text)) {
                EXPECT_NE(german.at(key), text) << "[" << w->objectName().toStdString() << "] " << key.toStdString()
                                                << " is still English";
            }
        }
    }
    // In "Print Preview" the keys are names, not the English texts; the other two sections
    // must not answer with their English keys.
    for (int s = 0; s < 2; ++s) {
        for (const QString &key : textKeys[s]) {
            if (!sameInGerman(key)) {
                EXPECT_NE(LngText(textSections[s], key), key) << key.toStdString() << " is still English";
            }
        }
    }
    const IniFile english(shipped("English.lng"));
    for (const QString &key : textKeys[2])
        EXPECT_NE(LngText("Print Preview", key), english.readString("Print Preview", key, QString())) << key.toStdString();
}

namespace {

// The English texts the program's code shows through the "Messages" section: every
// messageText("…") and messageKey("…") in the sources, and every direct lookup there.
QStringList messageKeysInSources()
{
    static const QRegularExpression call(
        QStringLiteral(R"re((?:\bmessageText|\bmessageKey|LngText\(QStringLiteral\("Messages"\),\s*QStringLiteral)\()re"
                       R"re(\s*((?:"(?:[^"\\]|\\.)*"\s*)+)\))re"));
    static const QRegularExpression literal(QStringLiteral(R"re("((?:[^"\\]|\\.)*)")re"));
    QStringList keys;
    QDirIterator files(QStringLiteral(LETRAFEX_DATA "/../src"), {"*.cpp", "*.h"}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile source(files.next());
        if (!source.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromUtf8(source.readAll());
        for (const QRegularExpressionMatch &m : call.globalMatch(text)) {
            QString key;
            for (const QRegularExpressionMatch &piece : literal.globalMatch(m.captured(1)))
                key += piece.captured(1);
            key.replace(QLatin1String("\\\""), QLatin1String("\"")).replace(QLatin1String("\\\\"), QLatin1String("\\"));
            if (!keys.contains(key))
                keys << key;
        }
    }
    return keys;
}

// The placeholders %1 to %9 a text holds, sorted.
QStringList placeholders(const QString &text)
{
    QStringList found;
    for (const QRegularExpressionMatch &m : QRegularExpression(QStringLiteral("%[1-9]")).globalMatch(text))
        found << m.captured();
    found.sort();
    return found;
}

} // namespace

TEST(ShippedMessages, EveryMessageOfTheCodeIsEnglishInTheEnglishFileAndTranslatedInTheGermanFile)
{
    const QStringList keys = messageKeysInSources();
    ASSERT_GT(keys.size(), 100); // the scan found the readers' and writers' texts
    const IniFile english(QStringLiteral(LETRAFEX_DATA "/LScripts/English.lng"));
    const IniFile german(QStringLiteral(LETRAFEX_DATA "/LScripts/German.lng"));
    for (const QString &key : keys) {
        const std::string k = key.toStdString();
        // A language file trims its keys, cannot hold a line break and compares keys
        // without regard to case, so two keys differing only in case would share one text.
        EXPECT_EQ(key, key.trimmed()) << k;
        EXPECT_FALSE(key.contains(QLatin1Char('\n'))) << k;
        for (const QString &other : keys)
            EXPECT_TRUE(other == key || other.compare(key, Qt::CaseInsensitive) != 0) << k;
        EXPECT_EQ(english.readString(QStringLiteral("Messages"), key, QString()), key) << k;
        const QString translated = german.readString(QStringLiteral("Messages"), key, QString());
        EXPECT_FALSE(translated.isEmpty()) << "German.lng lacks " << k;
        if (!sameInGerman(key)) {
            EXPECT_NE(translated, key) << k << " is still English";
        }
        EXPECT_EQ(placeholders(translated), placeholders(key)) << k;
    }
}
