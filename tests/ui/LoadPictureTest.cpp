#include "ScriptedDialogs.h"
#include "imageio/BmpCodec.h"
#include "imageio/PictureFiles.h"
#include "ui/ImageWidget.h"
#include "program/Language.h"
#include "ui/LoadPicture.h"
#include "ui/MessageDialogs.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QFileDialog>
#include <gtest/gtest.h>

namespace {
struct LoadPicture : ::testing::Test
{
    ScriptedDialogs dialogs;
    QTemporaryDir dir;
    TImage image{"TitleImage"};
    TOpenDialogState state;
    QString bmp;
    void SetUp() override
    {
        image.setImageSize(462, 220);
        bmp = dir.filePath("pic.bmp");
        SaveBmpFile(bmp, Raster(100, 50, 24, Colors::clBlue));
    }
};
} // namespace

TEST_F(LoadPicture, DialogChoiceIsReadAndFitted)
{
    int opened = 0;
    dialogs.onOpen = [&](QString &name, int &) { ++opened; name = bmp; return true; };
    EXPECT_EQ(LoadPictureFile(image, 2, false, state), PictureLoad::Loaded);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(state.fileName, bmp); // the dialog keeps its file name
    EXPECT_EQ(image.box().width, 100);
    EXPECT_EQ(image.width(), 100);
    EXPECT_EQ(image.picture().pixel(99, 49), Colors::clBlue);
    EXPECT_TRUE(dialogs.lastFilter.startsWith("Graphic Files (*.bmp,"));
}

TEST_F(LoadPicture, SkippedDialogUsesThePresetName)
{
    int opened = 0;
    dialogs.onOpen = [&](QString &, int &) { ++opened; return false; };
    state.fileName = bmp;
    EXPECT_EQ(LoadPictureFile(image, 0, true, state), PictureLoad::Loaded);
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(image.picture().width(), 462);
    EXPECT_EQ(image.picture().pixel(450, 210), Colors::clBlue);
}

TEST_F(LoadPicture, CancelChangesNothing)
{
    image.picture().fill(Colors::clYellow);
    dialogs.onOpen = [&](QString &name, int &) { name = bmp; return false; };
    EXPECT_EQ(LoadPictureFile(image, 0, false, state), PictureLoad::Cancelled);
    EXPECT_EQ(image.picture().pixel(0, 0), Colors::clYellow);
}

TEST_F(LoadPicture, UnknownExtensionsGetANoticeAndProjectsNothing)
{
    QString message;
    dialogs.onExec = [&](QDialog &d) { message = d.findChild<QLabel *>("Message")->text(); return int(mrOk); };
    image.picture().fill(Colors::clYellow);
    state.fileName = dir.filePath("photo.gif");
    EXPECT_EQ(LoadPictureFile(image, 1, true, state), PictureLoad::Failed);
    EXPECT_EQ(message, notAPictureFormatText(state.fileName));
    EXPECT_TRUE(message.contains(QDir::toNativeSeparators(state.fileName)));
    EXPECT_EQ(image.picture().pixel(0, 0), Colors::clYellow);

    // A project where a picture is wanted is named as such; where projects are opened
    // (the main window's "Open picture"), the caller opens it and nothing is shown here.
    message.clear();
    state.fileName = dir.filePath("work.lfx");
    EXPECT_EQ(LoadPictureFile(image, 1, true, state), PictureLoad::Failed);
    EXPECT_EQ(message, projectNotPictureText(state.fileName));
    message.clear();
    EXPECT_EQ(LoadPictureFile(image, 1, true, state, true), PictureLoad::Failed);
    EXPECT_TRUE(message.isEmpty());
    EXPECT_EQ(image.picture().pixel(0, 0), Colors::clYellow);
    EXPECT_EQ(dialogs.execCount, 2);
}

TEST_F(LoadPicture, AFileThatCannotBeReadIsReportedOnceAndChangesNothing)
{
    QFile bad(dir.filePath("bad.bmp"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("BM garbage");
    bad.close();
    image.setImageSize(300, 200);
    image.picture().fill(Colors::clYellow);
    state.fileName = bad.fileName();
    EXPECT_EQ(LoadPictureFile(image, 1, true, state), PictureLoad::Failed);
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_EQ(dialogs.errors.first(), readPictureFile(bad.fileName(), ReaderBmp).error);
    EXPECT_EQ(image.box().width, 300);
    EXPECT_EQ(image.picture().width(), 300);
    EXPECT_EQ(image.picture().pixel(299, 199), Colors::clYellow);
}

TEST_F(LoadPicture, FilterWordsComeFromTheLanguage)
{
    QFile lng(dir.filePath("German.lng"));
    ASSERT_TRUE(lng.open(QIODevice::WriteOnly));
    lng.write("[Captions]\nFiles=Dateien\nGraphic=Grafik\n");
    lng.close();
    const QString saved = LanguageFilePath;
    LanguageFilePath = lng.fileName();
    LoadPictureFile(image, 0, false, state);
    LanguageFilePath = saved;
    EXPECT_TRUE(dialogs.lastFilter.startsWith("Grafik Dateien (*.bmp,"));
    EXPECT_TRUE(dialogs.lastFilter.endsWith("Letrafex Dateien (*.lfx)|*.lfx"));
}

TEST(FileDialogFilters, TheChosenFilterIsFoundWhateverTheDialogShowsOfIt)
{
    const QStringList filters = qtNameFilters(pictureSaveFilter("Files"));
    ASSERT_EQ(filters.size(), 9);
    // The dialog as the program sets it up, with the patterns hidden from the user.
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(filters);
    for (int index = 1; index <= 9; ++index) {
        dialog.selectNameFilter(filters[index - 1]);
        EXPECT_EQ(nameFilterIndex(filters, dialog.selectedNameFilter()), index) << dialog.selectedNameFilter().toStdString();
    }
    EXPECT_EQ(nameFilterIndex(filters, "Something else"), 0);
    EXPECT_EQ(nameFilterIndex(filters, ""), 0);
}
