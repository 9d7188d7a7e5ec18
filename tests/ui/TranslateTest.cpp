// Translating windows from a language file, and the list of language files.
#include "ScriptedDialogs.h"
#include "TestProgramFolder.h"
#include "app/MainWindow.h"
#include "ui/Controls.h"
#include "ui/Language.h"
#include "ui/OptionsForm.h"
#include "ui/ProgramOptions.h"
#include "ui/SplashScreen.h"
#include "ui/Translate.h"

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
    TOptionsForm &options = *w.OptionsForm;
    options.GenOptListBox->setChecked(0, false);
    options.GenOptListBox->setChecked(1, true);
    useLanguage("[Letrafex]\nTextNoBox.Items=1,2,3\n[OptionsForm]\nGenOptListBox.Items=Automatisch\n"
                "TextBoxPosBox.Items=Links,Rechts,Mitte,\n");
    TranslateForm(&w);
    TranslateForm(&options);
    EXPECT_EQ(w.TextNoBox->items(), (QStringList{"1", "2", "3"}));
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
    ASSERT_EQ(w.DataBase->columnCount(), 11);
    EXPECT_EQ(w.DataBase->headerItem()->text(0), "Inhalt");
    EXPECT_EQ(w.DataBase->headerItem()->text(1), "Art");
    EXPECT_EQ(w.DataBase->headerItem()->text(2), "FontName");
    EXPECT_EQ(w.DataBase->headerItem()->text(10), "Alignment");
}

TEST_F(Translation, CaptionsAndHintsChangeOnlyWithNonEmptyValues)
{
    TLetrafex &w = mainWindow();
    useLanguage("[letrafex]\nPICTUREBOX.caption=\"  Bild  \"\nContentBox.Caption=\nOKButton.Hint=Programm beenden\n"
                "PicLoadButton.Hint='Bild laden'\nNoSuchButton.Caption=x\n");
    TranslateForm(&w);
    EXPECT_EQ(w.PictureBox->title(), "  Bild  ");
    EXPECT_EQ(w.ContentBox->title(), "Content");
    EXPECT_EQ(w.OKButton->toolTip(), "Programm beenden");
    EXPECT_EQ(w.PicLoadButton->toolTip(), "Bild laden");
    EXPECT_EQ(w.windowTitle(), "KORVA's Letrafex");
}

TEST_F(Translation, TheTitleFollowsEvenAnEmptyCaptionButAMissingOneKeepsIt)
{
    TLetrafex &w = mainWindow();
    useLanguage("[Letrafex]\nSelectionBox.Caption=Auswahl\n");
    TranslateForm(&w);
    EXPECT_EQ(w.windowTitle(), "KORVA's Letrafex");
    useLanguage("[Letrafex]\nCaption=\n");
    TranslateForm(&w);
    EXPECT_EQ(w.windowTitle(), "");
    EXPECT_EQ(w.SelectionBox->title(), "Auswahl");
}

TEST_F(Translation, ControlsMadeAtRunTimeAndOtherWindowsControlsAreLeftAlone)
{
    TLetrafex &w = mainWindow();
    w.show();
    // The options page is now a child of the main window's page area, but not its control.
    ASSERT_TRUE(w.MainPanel->isAncestorOf(w.OptionsForm));
    w.ProgressGauge->setToolTip("before");
    useLanguage("[Letrafex]\nProgressGauge.Hint=after\nSettingsBox.Caption=Wrong window\n"
                "[OptionsForm]\nSettingsBox.Caption=Einstellungen\n");
    TranslateForm(&w);
    EXPECT_EQ(w.ProgressGauge->toolTip(), "before");
    EXPECT_EQ(w.OptionsForm->SettingsBox->title(), "Settings");
    TranslateForm(w.OptionsForm);
    EXPECT_EQ(w.OptionsForm->SettingsBox->title(), "Einstellungen");
}

TEST_F(Translation, WithoutALanguageFileEveryTextStays)
{
    TLetrafex &w = mainWindow();
    LanguageFilePath = QDir(program.path()).filePath("LScripts/Missing.lng");
    TranslateForm(&w);
    EXPECT_EQ(w.windowTitle(), "KORVA's Letrafex");
    EXPECT_EQ(w.PictureBox->title(), "Picture");
    EXPECT_EQ(LngText("Messages", "Are you sure?"), "Are you sure?");
}

TEST_F(Translation, LanguageListShowsEveryEntryWithAndWithoutExtension)
{
    useLanguage("[Letrafex]\n", "English.lng");
    useLanguage("notes\n", "readme.txt");
    QDir(program.path()).mkdir("LScripts/Old.Files");
    const QStringList full = LanguageList(true);
    EXPECT_EQ(full.size(), 3);
    EXPECT_TRUE(full.contains("English.lng"));
    EXPECT_TRUE(full.contains("readme.txt"));
    EXPECT_TRUE(full.contains("Old.Files"));
    const QStringList bare = LanguageList(false);
    EXPECT_EQ(bare.size(), 3);
    EXPECT_TRUE(bare.contains("English"));
    EXPECT_TRUE(bare.contains("readme"));
    EXPECT_TRUE(bare.contains("Old"));
    QDir(program.path()).rename("LScripts", "Elsewhere");
    EXPECT_TRUE(LanguageList(true).isEmpty());
}
