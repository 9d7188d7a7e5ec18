// Translating windows from a language file, and the list of language files.
#include "ScriptedDialogs.h"
#include "TestProgramFolder.h"
#include "app/MainWindow.h"
#include "ui/Controls.h"
#include "program/Language.h"
#include "ui/OptionsForm.h"
#include "program/ProgramOptions.h"
#include "ui/SplashScreen.h"
#include "ui/Translate.h"
#include "WindowControls.h"

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <memory>

namespace {

class Translation : public ::testing::Test
{
protected:
    void TearDown() override
    {
        ProgramOptions.noExitDialog = true;
        main.reset();
    }
    // Writes LScripts/<name> and makes it the current language file.
    void useLanguage(const QByteArray &text, const QString &name = "Test.lng")
    {
        const QString path = program.filePath("LScripts/" + name);
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.close();
        LanguageFilePath = path;
    }
    TLetrafex &mainWindow()
    {
        if (!main) {
            main = std::make_unique<TLetrafex>();
            main->createSecondaryWindows();
        }
        return *main;
    }

    TestProgramFolder program;
    ScriptedDialogs dialogs;
    std::unique_ptr<TLetrafex> main;
};

} // namespace

TEST_F(Translation, ItemListsFollowTheFileExceptCheckListsWhichKeepCountAndMarks)
{
    TLetrafex &w = mainWindow();
    TOptionsForm &options = *control<TOptionsForm>(w, "OptionsForm");
    options.GenOptListBox->setChecked(0, false);
    options.GenOptListBox->setChecked(1, true);
    useLanguage("[Letrafex]\nTextNoBox.Items=1,2,3\n[OptionsForm]\nGenOptListBox.Items=Automatisch\n"
                "TextBoxPosBox.Items=Links,Rechts,Mitte,\n");
    TranslateForm(&w);
    TranslateForm(&options);
    EXPECT_EQ(control<TRadioGroup>(w, "TextNoBox")->items(), (QStringList{"1", "2", "3"}));
    ASSERT_EQ(options.GenOptListBox->count(), 3);
    EXPECT_EQ(options.GenOptListBox->item(0)->text(), "Automatisch");
    EXPECT_EQ(options.GenOptListBox->item(1)->text(), "Do not show exit dialog");
    EXPECT_EQ(options.GenOptListBox->item(2)->text(), "Redraw while editing");
    EXPECT_FALSE(options.GenOptListBox->checked(0));
    EXPECT_TRUE(options.GenOptListBox->checked(1));
    // A comma at the very end does not add an empty item.
    EXPECT_EQ(options.TextBoxPosBox->items(), (QStringList{"Links", "Rechts", "Mitte"}));
}

TEST_F(Translation, ColumnCaptionsChangeOnlyTheColumnsGiven)
{
    TLetrafex &w = mainWindow();
    useLanguage("[Letrafex]\nDataBase.Columns.Captions=Inhalt,Art\n");
    TranslateForm(&w);
    ASSERT_EQ(control<QTreeWidget>(w, "DataBase")->columnCount(), 11);
    EXPECT_EQ(control<QTreeWidget>(w, "DataBase")->headerItem()->text(0), "Inhalt");
    EXPECT_EQ(control<QTreeWidget>(w, "DataBase")->headerItem()->text(1), "Art");
    EXPECT_EQ(control<QTreeWidget>(w, "DataBase")->headerItem()->text(2), "FontName");
    EXPECT_EQ(control<QTreeWidget>(w, "DataBase")->headerItem()->text(10), "Alignment");
}

TEST_F(Translation, CaptionsAndHintsChangeOnlyWithNonEmptyValues)
{
    TLetrafex &w = mainWindow();
    useLanguage("[letrafex]\nPICTUREBOX.caption=\"  Bild  \"\nContentBox.Caption=\nOKButton.Hint=Programm beenden\n"
                "PicLoadButton.Hint='Bild laden'\nNoSuchButton.Caption=x\n");
    TranslateForm(&w);
    EXPECT_EQ(control<QGroupBox>(w, "PictureBox")->title(), "  Bild  ");
    EXPECT_EQ(control<QGroupBox>(w, "ContentBox")->title(), "Content");
    EXPECT_EQ(control<QPushButton>(w, "OKButton")->toolTip(), "Programm beenden");
    EXPECT_EQ(control<QToolButton>(w, "PicLoadButton")->toolTip(), "Bild laden");
    EXPECT_EQ(w.windowTitle(), "KORVA's Letrafex");
}

TEST_F(Translation, TheTitleFollowsEvenAnEmptyCaptionButAMissingOneKeepsIt)
{
    TLetrafex &w = mainWindow();
    useLanguage("[Letrafex]\nSelectionBox.Caption=Auswahl\n");
    TranslateForm(&w);
    EXPECT_EQ(w.windowTitle(), "KORVA's Letrafex");
    useLanguage("[Letrafex]\nCaption=\nSelectionBox.Caption=\n");
    TranslateForm(&w);
    EXPECT_EQ(w.windowTitle(), "");
    // An empty entry cannot blank a caption: it shows its built-in text.
    EXPECT_EQ(control<QGroupBox>(w, "SelectionBox")->title(), "Selection");
}

TEST_F(Translation, AFileWithoutSomeEntriesBringsBackTheBuiltInTextsTheLastFileChanged)
{
    TLetrafex &w = mainWindow();
    TOptionsForm &options = *control<TOptionsForm>(w, "OptionsForm");
    options.GenOptListBox->setChecked(1, true);
    options.TextBoxPosBox->setItemIndex(1);
    useLanguage("[Letrafex]\nCaption=Titel\nPictureBox.Caption=Bild\nPicLoadButton.Hint=Bild laden\n"
                "TextNoBox.Items=a,b,c\nDataBase.Columns.Captions=Inhalt\n"
                "[OptionsForm]\nCaption=Optionen\nGenOptListBox.Items=Eins,Zwei\nTextBoxPosBox.Items=Links,Rechts\n",
                "German.lng");
    TranslateForm(&w);
    TranslateForm(&options);
    ASSERT_EQ(control<QGroupBox>(w, "PictureBox")->title(), "Bild");
    ASSERT_EQ(control<TRadioGroup>(w, "TextNoBox")->items(), (QStringList{"a", "b", "c"}));
    ASSERT_EQ(options.TextBoxPosBox->items(), (QStringList{"Links", "Rechts"}));

    useLanguage("[Letrafex]\nContentBox.Caption=Texte\n[OptionsForm]\nGenOptListBox.Items=\n", "Partial.lng");
    TranslateForm(&w);
    TranslateForm(&options);
    EXPECT_EQ(w.windowTitle(), "KORVA's Letrafex");
    EXPECT_EQ(control<QGroupBox>(w, "PictureBox")->title(), "Picture");
    EXPECT_EQ(control<QGroupBox>(w, "ContentBox")->title(), "Texte");
    EXPECT_EQ(control<QToolButton>(w, "PicLoadButton")->toolTip(), "Open picture");
    EXPECT_EQ(control<TRadioGroup>(w, "TextNoBox")->items().size(), 10);
    EXPECT_EQ(control<TRadioGroup>(w, "TextNoBox")->items().first(), "1");
    EXPECT_EQ(control<QTreeWidget>(w, "DataBase")->headerItem()->text(0), "Text");
    EXPECT_EQ(options.windowTitle(), "Options");
    EXPECT_EQ(options.GenOptListBox->item(0)->text(), "Add background to picture automatically");
    EXPECT_EQ(options.GenOptListBox->item(1)->text(), "Do not show exit dialog");
    EXPECT_TRUE(options.GenOptListBox->checked(1));
    EXPECT_EQ(options.TextBoxPosBox->items(), (QStringList{"Left", "Right"}));
    EXPECT_EQ(options.TextBoxPosBox->itemIndex(), 1);
    // Texts the file gives are still taken.
    useLanguage("[Letrafex]\nPictureBox.Caption=Bild\n", "German.lng");
    TranslateForm(&w);
    EXPECT_EQ(control<QGroupBox>(w, "PictureBox")->title(), "Bild");
    EXPECT_EQ(control<QGroupBox>(w, "ContentBox")->title(), "Content");
}

TEST_F(Translation, ControlsMadeAtRunTimeAndOtherWindowsControlsAreLeftAlone)
{
    TLetrafex &w = mainWindow();
    w.show();
    // The options page is now a child of the main window's page area, but not its control.
    ASSERT_TRUE(control<QWidget>(w, "MainPanel")->isAncestorOf(control<TOptionsForm>(w, "OptionsForm")));
    control<QProgressBar>(w, "ProgressGauge")->setToolTip("before");
    useLanguage("[Letrafex]\nProgressGauge.Hint=after\nSettingsBox.Caption=Wrong window\n"
                "[OptionsForm]\nSettingsBox.Caption=Einstellungen\n");
    TranslateForm(&w);
    EXPECT_EQ(control<QProgressBar>(w, "ProgressGauge")->toolTip(), "before");
    EXPECT_EQ(control<TOptionsForm>(w, "OptionsForm")->SettingsBox->title(), "Settings");
    TranslateForm(control<TOptionsForm>(w, "OptionsForm"));
    EXPECT_EQ(control<TOptionsForm>(w, "OptionsForm")->SettingsBox->title(), "Einstellungen");
}

TEST_F(Translation, WithoutALanguageFileEveryTextStays)
{
    TLetrafex &w = mainWindow();
    LanguageFilePath = QDir(program.path()).filePath("LScripts/Missing.lng");
    TranslateForm(&w);
    EXPECT_EQ(w.windowTitle(), "KORVA's Letrafex");
    EXPECT_EQ(control<QGroupBox>(w, "PictureBox")->title(), "Picture");
    EXPECT_EQ(LngText("Messages", "Are you sure?"), "Are you sure?");
}

TEST_F(Translation, LanguageListOffersOnlyLanguageFilesAndFindsNamesInAnyLetterCase)
{
    useLanguage("[Letrafex]\n", "English.lng");
    useLanguage("[Letrafex]\nPictureBox.Caption=Bild\n", "German.LNG");
    useLanguage("notes\n", "readme.txt");
    useLanguage("notes\n", ".lng");
    QDir(program.path()).mkdir("LScripts/Old.lng");
    QStringList full = LanguageList(true);
    full.sort();
    EXPECT_EQ(full, (QStringList{"English.lng", "German.LNG"}));
    QStringList bare = LanguageList(false);
    bare.sort();
    EXPECT_EQ(bare, (QStringList{"English", "German"}));

    // A name typed by hand finds its file whatever its letter case.
    EXPECT_EQ(findLanguageFile("german.lng"), "German.LNG");
    EXPECT_EQ(languageFilePathFor("GERMAN.lng"), QDir(program.path()).filePath("LScripts/German.LNG"));
    EXPECT_EQ(findLanguageFile("French.lng"), "");
    LanguageFilePath = languageFilePathFor("german.lng");
    TranslateForm(&mainWindow());
    EXPECT_EQ(control<QGroupBox>(mainWindow(), "PictureBox")->title(), "Bild");

    QDir(program.path()).rename("LScripts", "Elsewhere");
    EXPECT_TRUE(LanguageList(true).isEmpty());
}
