// The "Export picture" command: its button, shortcut and dialog, and what the dialog writes.
#include "ScriptedDialogs.h"
#include "TestProgramFolder.h"
#include "app/MainWindow.h"
#include "compose/PictureExport.h"
#include "imageio/PictureFiles.h"
#include "ui/Controls.h"
#include "app/ExportForm.h"
#include "ui/ImageWidget.h"
#include "program/Language.h"
#include "ui/MessageDialogs.h"
#include "program/ProgramOptions.h"
#include "WindowControls.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QAction>
#include <QSpinBox>
#include <QTextEdit>
#include <QToolButton>
#include <gtest/gtest.h>

#include <memory>

namespace {

class ExportCommand : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window = std::make_unique<TLetrafex>();
        window->createSecondaryWindows();
        window->show();
        dialogs.onExec = [this](QDialog &d) {
            if (auto *form = qobject_cast<TExportForm *>(&d)) {
                ++exports;
                onExport(*form);
                return form->result();
            }
            messages << static_cast<TMessageForm &>(d).messageLabel()->text();
            return int(mrOk);
        };
    }
    void TearDown() override
    {
        ProgramOptions.noExitDialog = true;
        window.reset();
    }
    QToolButton *exportButton() const { return control<QWidget>(*window, "PicButtonPanel")->findChild<QToolButton *>("ExportButton"); }
    void drawItem(const QString &text)
    {
        control<QTextEdit>(*window, "TextMemo")->setPlainText(text);
        control<TNumberEdit>(*window, "XEdit")->setText(QStringLiteral("40"));
        control<TNumberEdit>(*window, "YEdit")->setText(QStringLiteral("60"));
        control<QToolButton>(*window, "Text3dButton")->click();
    }

    TestProgramFolder program;
    ScriptedDialogs dialogs;
    std::unique_ptr<TLetrafex> window;
    std::function<void(TExportForm &)> onExport = [](TExportForm &) {};
    int exports = 0;
    QStringList messages;
};

} // namespace

TEST_F(ExportCommand, IsTheLastButtonOfTheCommandColumnWithItsShortcut)
{
    QToolButton *button = exportButton();
    ASSERT_NE(button, nullptr);
    QLayout *column = control<QWidget>(*window, "PicButtonPanel")->layout();
    EXPECT_EQ(column->itemAt(column->count() - 1)->widget(), button);
    EXPECT_EQ(button->toolTip(), "Export picture (Ctrl+E)");
    EXPECT_FALSE(button->icon().isNull());
    // Ctrl+E runs the command.
    for (QAction *action : window->findChildren<QAction *>())
        if (action->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_E)))
            action->trigger();
    EXPECT_EQ(exports, 1);
}

TEST_F(ExportCommand, TheDialogShowsTheSizeAndWritesTheChosenExport)
{
    drawItem(QStringLiteral("Export"));
    const int w = control<TImage>(*window, "BgImage")->picture().width(), h = control<TImage>(*window, "BgImage")->picture().height();
    onExport = [this, w, h](TExportForm &form) {
        form.FormShow();
        EXPECT_EQ(form.lblSizeValue->text(), QStringLiteral("%1 x %2 pixels").arg(w).arg(h));
        form.spnScale->setValue(2);
        EXPECT_EQ(form.lblSizeValue->text(), QStringLiteral("%1 x %2 pixels").arg(2 * w).arg(2 * h));
        // JPEG cannot be transparent; the name follows the format.
        form.edtFileName->setText(program.filePath("title.png"));
        form.cbxFormat->setCurrentIndex(2);
        EXPECT_FALSE(form.chkTransparent->isEnabled());
        EXPECT_EQ(form.edtFileName->text(), program.filePath("title.jpg"));
        form.cbxFormat->setCurrentIndex(0);
        EXPECT_TRUE(form.chkTransparent->isEnabled());
        form.chkTransparent->setChecked(true);
        form.btnOK->click();
    };
    exportButton()->click();
    ASSERT_TRUE(messages.isEmpty()) << messages.join(' ').toStdString() << dialogs.errors.join(' ').toStdString();
    const QImage written = QImage(program.filePath("title.png")).convertToFormat(QImage::Format_ARGB32);
    const Raster &bg = control<TImage>(*window, "BgImage")->picture();
    EXPECT_EQ(written, ComposeTransparent(QSize(bg.width(), bg.height()), window->composition().items(), 2, window->gatherAttributes()));

    // Browsing asks the save dialog for a name of the chosen format.
    dialogs.onSave = [this](QString &name, int &) {
        EXPECT_EQ(name, program.filePath("title.pdf")); // the name has followed the format
        name = program.filePath("chosen.pdf");
        return true;
    };
    onExport = [this](TExportForm &form) {
        form.cbxFormat->setCurrentIndex(5);
        form.btnBrowse->click();
        EXPECT_EQ(dialogs.lastFilter, "PDF document|*.pdf");
        EXPECT_EQ(form.fileName(), program.filePath("chosen.pdf"));
        form.btnCancel->click();
    };
    exportButton()->click();

    // The next export offers the last name; cancelling writes nothing.
    QFile::remove(program.filePath("title.png"));
    onExport = [this](TExportForm &form) {
        EXPECT_EQ(form.edtFileName->text(), program.filePath("title.png"));
        form.btnCancel->click();
    };
    exportButton()->click();
    EXPECT_FALSE(QFile::exists(program.filePath("title.png")));
}

TEST_F(ExportCommand, WebpIsLosslessUntilAQualityIsChosenAndPngAndWebpCanGrowAsAnimations)
{
    drawItem(QStringLiteral("Grow"));
    onExport = [this](TExportForm &form) {
        form.edtFileName->setText(program.filePath("title.png"));
        EXPECT_TRUE(form.chkAnimate->isEnabled());
        EXPECT_FALSE(form.chkLossless->isEnabled());
        EXPECT_FALSE(form.spnQuality->isEnabled());
        form.chkAnimate->setChecked(true);
        form.cbxFormat->setCurrentIndex(2); // JPEG neither animates nor has a quality here
        EXPECT_FALSE(form.chkAnimate->isEnabled());
        EXPECT_FALSE(form.chkAnimate->isChecked());
        form.cbxFormat->setCurrentIndex(6);
        EXPECT_EQ(form.cbxFormat->currentText(), "WebP picture");
        EXPECT_EQ(form.edtFileName->text(), program.filePath("title.webp"));
        EXPECT_TRUE(form.chkLossless->isEnabled() && form.chkLossless->isChecked());
        EXPECT_FALSE(form.spnQuality->isEnabled());
        form.chkLossless->click();
        EXPECT_TRUE(form.spnQuality->isEnabled());
        form.spnQuality->setValue(60);
        form.chkAnimate->setChecked(true);
        const ExportOptions o = form.options();
        EXPECT_TRUE(o.format == ExportFormat::Webp && !o.webp.lossless && o.webp.quality == 60 && o.animate);
        form.btnOK->click();
    };
    exportButton()->click();
    ASSERT_TRUE(messages.isEmpty()) << messages.join(' ').toStdString() << dialogs.errors.join(' ').toStdString();
    // An animated WebP ("ANIM") of lossy frames ("VP8 ", not the lossless "VP8L").
    QFile written(program.filePath("title.webp"));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray bytes = written.readAll();
    EXPECT_TRUE(bytes.startsWith("RIFF") && bytes.contains("ANIM") && bytes.contains("VP8 ") && !bytes.contains("VP8L"));
}

TEST_F(ExportCommand, AnExportBeyondThePictureLimitsIsRefusedWithAMessage)
{
    control<TImage>(*window, "BgImage")->setImageSize(9000, 100);
    onExport = [this](TExportForm &form) {
        form.spnScale->setValue(4);
        form.edtFileName->setText(program.filePath("wide.tif"));
        form.btnOK->click();
        EXPECT_FALSE(form.Confirmed);
    };
    exportButton()->click();
    EXPECT_EQ(messages, QStringList{"A picture of this size is not possible."});
    EXPECT_FALSE(QFile::exists(program.filePath("wide.tif")));
    // A vector file has no such limit.
    messages.clear();
    onExport = [this](TExportForm &form) {
        form.spnScale->setValue(4);
        form.setFileName(program.filePath("wide.svg"));
        form.btnOK->click();
    };
    exportButton()->click();
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_TRUE(QFile::exists(program.filePath("wide.svg")));
}

// LETRAFEX_SHOTS=folder keeps pictures of the dialog in English and German.
TEST_F(ExportCommand, DialogInEnglishAndGerman)
{
    for (const char *language : {"English", "German"}) {
        LanguageFilePath = QStringLiteral(LETRAFEX_DATA "/LScripts/%1.lng").arg(QLatin1String(language));
        TExportForm form;
        form.setPictureSize(QSize(1920, 1080));
        form.setFileName(QStringLiteral("/home/user/Pictures/title.png"));
        form.spnScale->setValue(4);
        form.chkTransparent->setChecked(true);
        form.show();
        QApplication::processEvents();
        EXPECT_EQ(form.lblSizeValue->text(),
                  QString::fromLatin1(language) == "German" ? "7680 x 4320 Pixel" : "7680 x 4320 pixels");
        const QString shots = qEnvironmentVariable("LETRAFEX_SHOTS");
        if (!shots.isEmpty())
            form.grab().save(QDir(shots).filePath(QStringLiteral("export-%1.png").arg(QLatin1String(language))));
    }
}

TEST_F(ExportCommand, AnExistingFileIsReplacedOnlyAfterTheSaveCommandsQuestion)
{
    drawItem(QStringLiteral("Export"));
    const QString path = program.filePath("old.png");
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
    old.close();
    int answer = mrNo, saves = 0;
    dialogs.onExec = [&](QDialog &d) {
        if (auto *form = qobject_cast<TExportForm *>(&d)) {
            form->setFileName(path);
            form->btnOK->click();
            if (!form->Confirmed) // declined: the dialog stays open for another name
                form->btnCancel->click();
            return form->result();
        }
        messages << static_cast<TMessageForm &>(d).messageLabel()->text();
        return answer;
    };
    exportButton()->click();
    EXPECT_EQ(QFileInfo(path).size(), 3);
    answer = mrYes;
    exportButton()->click();
    EXPECT_GT(QFileInfo(path).size(), 3);
    // The save command asks the same question; declining shows its dialog again.
    answer = mrNo;
    dialogs.onSave = [&](QString &name, int &index) { return name = path, index = SavePng, ++saves == 1; };
    control<QToolButton>(*window, "PicSaveButton")->click();
    EXPECT_EQ(saves, 2);
    const QString question = "The file \"" + QDir::toNativeSeparators(path) + "\" already exists. Do you want to replace it?";
    EXPECT_EQ(messages, QStringList({question, question, question}));
    // A folder of that name is told as one, with no question, and the dialog comes back.
    const QString folder = program.filePath("folder.png");
    ASSERT_TRUE(QDir().mkpath(folder));
    messages.clear();
    saves = 0;
    answer = mrYes;
    dialogs.onSave = [&](QString &name, int &index) { return name = folder, index = SavePng, ++saves == 1; };
    control<QToolButton>(*window, "PicSaveButton")->click();
    EXPECT_EQ(saves, 2);
    EXPECT_EQ(messages, QStringList{"\"" + QDir::toNativeSeparators(folder) + "\" is a folder, not a file. Please choose another name."});
    EXPECT_TRUE(QFileInfo(folder).isDir());
}
