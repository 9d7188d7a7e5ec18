// The main window's picture commands: opening pictures and projects (also by dropping),
// saving, the clipboard, clearing, resizing, printing and the surface buttons.
#include "DamagedPictures.h"
#include "FileSizeLimit.h"
#include "ReferenceTools.h"
#include "ScriptedDialogs.h"
#include "TestProgramFolder.h"
#include "compose/ItemRowsText.h"
#include "app/MainWindow.h"
#include "compose/ProjectFile.h"
#include "core/FileBytes.h"
#include "imageio/BmpCodec.h"
#include "imageio/PictureFiles.h"
#include "ui/Controls.h"
#include "ui/ImageWidget.h"
#include "ui/MessageDialogs.h"
#include "ui/ResizeForm.h"
#include "WindowControls.h"

#include <QClipboard>
#include <QFile>
#include <QBuffer>
#include <QGuiApplication>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QListWidget>
#include <QMimeData>
#include <QPrinter>
#include <QProcess>
#include <QScrollArea>
#include <QTextEdit>
#include <QToolButton>
#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace {

class PictureCommands : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window = std::make_unique<TLetrafex>();
        window->createSecondaryWindows();
        window->show();
        dialogs.onExec = [this](QDialog &d) { return answer(d); };
    }
    void TearDown() override
    {
        ProgramOptions.noExitDialog = true;
        window.reset();
    }
    // Answers the draw-mode question with drawMode, confirmations with yes, the resize
    // dialog through onResize.
    int answer(QDialog &d)
    {
        ++questions;
        if (auto *list = d.findChild<QListWidget *>("ChoiceList")) {
            const QList<QListWidgetItem *> found = list->findItems(drawMode, Qt::MatchExactly);
            if (found.isEmpty())
                return int(mrCancel);
            list->setCurrentItem(found.first());
            return int(mrOk);
        }
        if (auto *resize = qobject_cast<TResizeForm *>(&d))
            return onResize(*resize);
        messages << static_cast<TMessageForm &>(d).messageLabel()->text();
        return int(confirm ? mrYes : mrNo);
    }
    QString file(const QString &name) const { return program.filePath(name); }
    void writeBmp(const QString &name, const Raster &r) { SaveBmpFile(file(name), r); }
    // Types text into item 1 and draws it flat at (x, y).
    void drawItem(const QString &text, int x, int y)
    {
        control<QTextEdit>(*window, "TextMemo")->setPlainText(text);
        control<TNumberEdit>(*window, "XEdit")->setText(QString::number(x));
        control<TNumberEdit>(*window, "YEdit")->setText(QString::number(y));
        control<QToolButton>(*window, "TextFlatButton")->click();
    }
    // The open dialog answers with the file name, the save dialog with the name and filter.
    void openAnswers(const QString &name)
    {
        dialogs.onOpen = [this, name](QString &chosen, int &) {
            chosen = file(name);
            return true;
        };
    }
    void saveAnswers(const QString &name, int filter)
    {
        dialogs.onSave = [this, name, filter](QString &chosen, int &index) {
            chosen = file(name);
            index = filter;
            return true;
        };
    }
    Raster &title() { return control<TImage>(*window, "TitleImage")->picture(); }
    Raster &bg() { return control<TImage>(*window, "BgImage")->picture(); }

    TestProgramFolder program;
    ScriptedDialogs dialogs;
    std::unique_ptr<TLetrafex> window;
    QString drawMode = "Original";
    bool confirm = true;
    int questions = 0;
    QStringList messages;
    std::function<int(TResizeForm &)> onResize = [](TResizeForm &) { return int(QDialog::Rejected); };
};

} // namespace

TEST_F(PictureCommands, OpenAskTheDrawModeAndTheLoadedPictureBecomesTheBackground)
{
    writeBmp("photo.bmp", Raster(40, 30, 24, Colors::clAqua));
    openAnswers("photo.bmp");
    control<QToolButton>(*window, "PicLoadButton")->click();
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(title().width(), 40);
    EXPECT_EQ(bg().width(), 40);
    EXPECT_EQ(bg().pixel(39, 29), Colors::clAqua);
    EXPECT_TRUE(window->composition().undo().isEmpty());

    // A cancelled question or file dialog changes nothing.
    drawMode = "none";
    writeBmp("other.bmp", Raster(10, 10, 24, Colors::clBlue));
    openAnswers("other.bmp");
    control<QToolButton>(*window, "PicLoadButton")->click();
    drawMode = "Stretched";
    dialogs.onOpen = [](QString &, int &) { return false; };
    control<QToolButton>(*window, "PicLoadButton")->click();
    EXPECT_EQ(title().pixel(0, 0), Colors::clAqua);
    EXPECT_EQ(bg().pixel(0, 0), Colors::clAqua);
}

TEST_F(PictureCommands, ABitmapWhoseNameHoldsLfxLoadsAsABitmap)
{
    writeBmp("holiday.lfx.bmp", Raster(20, 10, 24, Colors::clGreen));
    openAnswers("holiday.lfx.bmp");
    control<QToolButton>(*window, "PicLoadButton")->click();
    EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join('\n').toStdString();
    EXPECT_EQ(bg().width(), 20);
    EXPECT_EQ(bg().pixel(5, 5), Colors::clGreen);
}

TEST_F(PictureCommands, AnUnsupportedFileLoadsNothingAndKeepsTheBackground)
{
    drawItem("Hi", 10, 10);
    const Raster before = bg();
    QFile(file("notes.txt")).open(QIODevice::WriteOnly);
    openAnswers("notes.txt");
    control<QToolButton>(*window, "PicLoadButton")->click();
    EXPECT_EQ(messages.size(), 1);
    EXPECT_TRUE(bg().samePixels(before));
}

TEST_F(PictureCommands, ADamagedPictureIsReportedOnceNamingTheFileAndChangesNoLayer)
{
    drawItem("Kept", 10, 10);
    const Raster savedTitle = title(), savedBg = bg();
    const QSize titleSize = control<TImage>(*window, "TitleImage")->size();
    control<TImage>(*window, "SurfaceIconImage")->picture() = Raster(8, 8, 24, Colors::clFuchsia);
    for (const DamagedPicture &d : writeDamagedPictures(QDir(program.path()))) {
        const QString path = file(d.name);
        const QString expected = readPictureFile(path, pictureReaderFor(path)).error;
        dialogs.errors.clear();
        openAnswers(d.name);
        control<QToolButton>(*window, "PicLoadButton")->click();
        window->WMDropFiles({path});
        control<QToolButton>(*window, "SurfaceOpenButton")->click();
        // Open, drop and surface open: each says once what is wrong with which file.
        EXPECT_EQ(dialogs.errors, QStringList(3, expected)) << d.name.toStdString();
        EXPECT_TRUE(expected.contains(path) && expected.contains(QLatin1String(d.reason))) << expected.toStdString();
        EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
        EXPECT_TRUE(title().samePixels(savedTitle)) << d.name.toStdString();
        EXPECT_TRUE(bg().samePixels(savedBg)) << d.name.toStdString();
        EXPECT_EQ(control<TImage>(*window, "TitleImage")->size(), titleSize);
        EXPECT_TRUE(control<TImage>(*window, "SurfaceIconImage")->picture().samePixels(Raster(8, 8, 24, Colors::clFuchsia)));
    }
}

TEST_F(PictureCommands, InGermanADamagedPictureIsReportedInGermanWhileTheCommandLineStaysEnglish)
{
    const std::vector<DamagedPicture> damaged = writeDamagedPictures(QDir(program.path()));
    const QString png = file(QStringLiteral("damaged.png"));
    const QString englishText = readPictureFile(png, pictureReaderFor(png)).error;
    ASSERT_TRUE(englishText.startsWith(QStringLiteral("The picture \"%1\" could not be read: PNG image is not valid: ")
                                           .arg(png)))
        << englishText.toStdString();

    ASSERT_TRUE(QFile::copy(QStringLiteral(LETRAFEX_DATA "/LScripts/German.lng"), file(QStringLiteral("LScripts/German.lng"))));
    ProgramOptions.languageFile = QStringLiteral("German.lng");
    window->ApplyLanguage();
    drawMode = QStringLiteral("Originalgröße");
    const std::map<QString, QString> germanReasons{
        {"damaged.png", "Das PNG-Bild ist ungültig: "},
        {"truncated.tga", "Abgeschnittene TGA-Datei!"},
        {"truncated.pcx", "Die PCX-Datei endet, bevor ihr Bild vollständig ist."},
        {"truncated.webp", "Die Datei ist kein WebP-Bild oder ist beschädigt."},
        {"random.tif", " ist keine gültige TIFF-Datei"},
        {"garbage.bmp", "Das Bitmap-Bild ist ungültig"},
        {"garbage.jpg", "Das JPEG-Bild ist ungültig: "},
        {"pipe.png", "Dies ist keine gewöhnliche Datei"}};
    for (const DamagedPicture &d : damaged) {
        const QString path = file(d.name);
        dialogs.errors.clear();
        openAnswers(d.name);
        control<QToolButton>(*window, "PicLoadButton")->click();
        ASSERT_EQ(dialogs.errors.size(), 1) << d.name.toStdString();
        const QString error = dialogs.errors.first();
        EXPECT_TRUE(error.contains(path) && error.contains(germanReasons.at(d.name))) << error.toStdString();
        EXPECT_FALSE(error.contains(QLatin1String(d.reason))) << error.toStdString();
        if (!d.name.endsWith(QLatin1String(".tif"))) { // the TIFF reader's own text names the file
            EXPECT_TRUE(error.startsWith(QStringLiteral("Das Bild „%1“ konnte nicht gelesen werden: ").arg(path)))
                << error.toStdString();
        }
    }

    writeWholeFile(file(QStringLiteral("card.lfx")), "PK\x03\x04"); // no project
    openAnswers(QStringLiteral("card.lfx"));
    control<QToolButton>(*window, "PicLoadButton")->click();
    EXPECT_EQ(dialogs.errors.last(), QStringLiteral("Die Datei „%1“ ist kein lesbares Letrafex-Projekt: "
                                                    "Ungültiges Datenstromformat").arg(nativeFilePath(file("card.lfx"))));

    // The command line has no language: in a German session it gives the English text.
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LANG"), QStringLiteral("de_DE.UTF-8"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("de_DE.UTF-8"));
    cli.setProcessEnvironment(env);
    cli.setWorkingDirectory(program.path());
    cli.start(QStringLiteral(LETRAFEX_CLI), {QStringLiteral("convert"), png, file(QStringLiteral("out.bmp"))});
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitCode(), 1);
    const QString cliError = QString::fromLocal8Bit(cli.readAllStandardError());
    EXPECT_TRUE(cliError.contains(englishText)) << cliError.toStdString();
}

TEST_F(PictureCommands, DroppingFilesLoadsOnlyTheFirstWithoutTheFileDialog)
{
    writeBmp("one.bmp", Raster(11, 7, 24, Colors::clYellow));
    writeBmp("two.bmp", Raster(13, 9, 24, Colors::clBlue));
    writeBmp("three.bmp", Raster(15, 5, 24, Colors::clGreen));
    int dialogsShown = 0;
    dialogs.onOpen = [&](QString &, int &) { return ++dialogsShown, false; };
    window->WMDropFiles({file("one.bmp"), file("two.bmp"), file("three.bmp")});
    EXPECT_EQ(dialogsShown, 0);
    EXPECT_EQ(questions, 1); // the draw mode is still asked
    EXPECT_EQ(title().width(), 11);
    EXPECT_EQ(bg().pixel(0, 0), Colors::clYellow);
    EXPECT_FALSE(window->droppedFile());
    EXPECT_TRUE(window->acceptDrops());
}

TEST_F(PictureCommands, SavingUsesTheFilterAndProjectsGetTheirExtension)
{
    drawItem("Save", 5, 5);
    int index = SavePng;
    QString name = file("pic");
    dialogs.onSave = [&](QString &n, int &i) {
        n = name;
        i = index;
        return true;
    };
    control<QToolButton>(*window, "PicSaveButton")->click();
    EXPECT_TRUE(readPictureFile(file("pic.png"), ReaderPng).picture.samePixels(title()));

    index = SaveProject;
    control<QToolButton>(*window, "PicSaveButton")->click();
    EXPECT_TRUE(QFile::exists(file("pic.lfx")));
    name = file("second.LfX");
    control<QToolButton>(*window, "PicSaveButton")->click();
    EXPECT_TRUE(QFile::exists(file("second.LfX")));
    EXPECT_FALSE(QFile::exists(file("second.LfX.lfx")));
    // The dialog remembers the last name and filter.
    EXPECT_EQ(window->pictureSaveDialog().filterIndex, SaveProject);
}

TEST_F(PictureCommands, ASaveTheDiskRefusesKeepsTheOldFileAndShowsTheFileAndTheReason)
{
    drawItem("Save", 5, 5);
    const Raster before = title();
    for (const auto &[name, filter] : {std::pair{"old.png", int(SavePng)}, std::pair{"old.lfx", int(SaveProject)}}) {
        const QByteArray old = QByteArray("the file that was there: ") + name;
        QFile f(file(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(old);
        f.close();
        saveAnswers(name, filter);
        dialogs.errors.clear();
        {
            const FileSizeLimit limit;
            control<QToolButton>(*window, "PicSaveButton")->click();
        }
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_TRUE(f.readAll() == old) << name << " was replaced by a failed save";
        ASSERT_EQ(dialogs.errors.size(), 1) << name;
        EXPECT_TRUE(dialogs.errors[0].contains(nativeFilePath(file(name))) && dialogs.errors[0].endsWith(fileTooLargeText()))
            << dialogs.errors[0].toStdString();
    }
    EXPECT_TRUE(title().samePixels(before));
}

TEST_F(PictureCommands, AProjectComesBackWithItsOwnBackgroundAndSurfaces)
{
    writeBmp("back.bmp", Raster(120, 80, 24, Colors::clAqua));
    openAnswers("back.bmp");
    control<QToolButton>(*window, "PicLoadButton")->click();
    // Item 2: ten lines of 1,000 characters, small enough to draw quickly.
    control<TRadioGroup>(*window, "TextNoBox")->setItemIndex(1);
    window->TextNoBoxClick();
    control<TSpinEdit>(*window, "FontSizeEdit")->setValue(8);
    control<QTextEdit>(*window, "TextMemo")->setPlainText(QStringList(10, QString(995, u'x') + " \"α😀").join('\n'));
    control<TRadioGroup>(*window, "TextNoBox")->setItemIndex(0);
    window->TextNoBoxClick();
    control<TImage>(*window, "SurfaceIconImage")->picture() = Raster(8, 8, 24, Colors::clBlue);
    drawItem("Proj", 10, 20);
    const Raster savedTitle = title(), savedBg = bg();
    const ItemTable savedItems = window->composition().items();
    saveAnswers("work.lfx", SaveProject);
    control<QToolButton>(*window, "PicSaveButton")->click();

    confirm = true;
    control<QToolButton>(*window, "PicDeleteButton")->click();
    EXPECT_TRUE(window->composition().items().surfaces[0].isEmpty());
    openAnswers("work.lfx");
    control<QToolButton>(*window, "PicLoadButton")->click();
    ASSERT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join('\n').toStdString();
    EXPECT_TRUE(title().samePixels(savedTitle));
    // The background is the project's, not the working picture with its texts.
    EXPECT_TRUE(bg().samePixels(savedBg));
    EXPECT_TRUE(window->composition().items().rows == savedItems.rows);
    EXPECT_TRUE(window->composition().items().surfaces[0].samePixels(savedItems.surfaces[0]));
    EXPECT_EQ(control<QTextEdit>(*window, "TextMemo")->toPlainText(), "Proj");
    // Redrawing draws the text once over the clean background.
    control<QToolButton>(*window, "TextFlatButton")->click();
    EXPECT_TRUE(title().samePixels(savedTitle));
}

TEST_F(PictureCommands, ADamagedProjectLeavesEverythingAsItWasAndSaysWhy)
{
    drawItem("Keep", 10, 10);
    const Raster savedTitle = title(), savedBg = bg();
    const ItemTable savedItems = window->composition().items();
    saveAnswers("good.lfx", SaveProject);
    control<QToolButton>(*window, "PicSaveButton")->click();
    QFile good(file("good.lfx"));
    ASSERT_TRUE(good.open(QIODevice::ReadOnly));
    const QByteArray bytes = good.readAll();
    QFile cut(file("cut.lfx"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(bytes.left(bytes.size() - 100));
    cut.close();

    drawItem("Other", 30, 30);
    const Raster currentTitle = title(), currentBg = bg();
    const ItemTable currentItems = window->composition().items();
    openAnswers("cut.lfx");
    control<QToolButton>(*window, "PicLoadButton")->click();
    const QString notAProject = QStringLiteral("The file \"%1\" is not a readable Letrafex project: %2");
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_EQ(dialogs.errors.first(), notAProject.arg(nativeFilePath(file("cut.lfx")), "Stream read error"));
    EXPECT_TRUE(title().samePixels(currentTitle));
    EXPECT_TRUE(bg().samePixels(currentBg));
    EXPECT_TRUE(window->composition().items().rows == currentItems.rows);

    // A background record that claims 30000 x 30000, beyond the picture limits.
    Project huge = LoadProjectFile(file("good.lfx"));
    huge.bg.width = huge.bg.height = 30000;
    SaveProjectFile(file("huge.lfx"), huge);
    openAnswers("huge.lfx");
    control<QToolButton>(*window, "PicLoadButton")->click();
    ASSERT_EQ(dialogs.errors.size(), 2);
    EXPECT_EQ(dialogs.errors.last(), notAProject.arg(nativeFilePath(file("huge.lfx")), "Invalid property value"));
    EXPECT_TRUE(title().samePixels(currentTitle));
    EXPECT_EQ(control<TImage>(*window, "TitleImage")->size(), QSize(currentTitle.width(), currentTitle.height()));
    EXPECT_TRUE(bg().samePixels(currentBg));
    EXPECT_EQ(control<TImage>(*window, "BgImage")->box().width, currentBg.width());
    EXPECT_TRUE(window->composition().items().rows == currentItems.rows);
}

// The only surface on item 6 comes back to item 6, and drawing again draws the picture
// that was saved.
TEST_F(PictureCommands, AProjectsSurfaceComesBackToItsOwnItem)
{
    drawItem("One", 10, 10);
    control<TRadioGroup>(*window, "TextNoBox")->setItemIndex(5);
    window->TextNoBoxClick();
    control<TImage>(*window, "SurfaceIconImage")->picture() = Raster(8, 8, 24, Colors::clBlue);
    control<TSpinEdit>(*window, "FontDepth")->setValue(4);
    drawItem("Six", 10, 90);
    const Raster saved = title();
    saveAnswers("six.lfx", SaveProject);
    control<QToolButton>(*window, "PicSaveButton")->click();

    confirm = true;
    control<QToolButton>(*window, "PicDeleteButton")->click();
    openAnswers("six.lfx");
    control<QToolButton>(*window, "PicLoadButton")->click();
    ASSERT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join('\n').toStdString();
    for (int k = 0; k < ItemCount; ++k)
        EXPECT_EQ(window->composition().items().surfaces[size_t(k)].isEmpty(), k != 5) << k;
    control<TRadioGroup>(*window, "TextNoBox")->setItemIndex(0);
    window->TextNoBoxClick();
    EXPECT_TRUE(control<TImage>(*window, "SurfaceIconImage")->picture().isEmpty());
    control<QToolButton>(*window, "TextFlatButton")->click();
    EXPECT_TRUE(title().samePixels(saved));
}

TEST_F(PictureCommands, PasteChangesOnlyTheWorkingPictureAndCopyPutsItThere)
{
    drawItem("Clip", 10, 10);
    const Raster savedBg = bg();
    const ItemTable savedItems = window->composition().items();
    const int snapshots = window->composition().undo().count();
    control<QToolButton>(*window, "SendClipboardButton")->click();
    EXPECT_EQ(QGuiApplication::clipboard()->image(), title().toRgb32());

    QImage pasted(30, 20, QImage::Format_RGB32);
    pasted.fill(QColor(0, 128, 0));
    QGuiApplication::clipboard()->setImage(pasted);
    control<QToolButton>(*window, "GetClipboardButton")->click();
    EXPECT_EQ(title().width(), 30);
    EXPECT_EQ(title().pixel(29, 19), Colors::clGreen);
    EXPECT_TRUE(bg().samePixels(savedBg));
    EXPECT_EQ(window->composition().undo().count(), snapshots);
    EXPECT_TRUE(window->composition().items().rows == savedItems.rows);

    // Text on the clipboard is no picture: nothing happens.
    QGuiApplication::clipboard()->setText("words");
    control<QToolButton>(*window, "GetClipboardButton")->click();
    EXPECT_EQ(title().width(), 30);
}

// Qt's own decoding gives nothing for a picture above its reader's limit (128 MB, 5,800 x
// 5,800 pixels; lowered here to keep the pictures small): such a picture pastes up to the
// program's limits, and one beyond them is refused with its size and the limits.
TEST_F(PictureCommands, APictureAboveQtsReaderLimitPastesAndOneAboveTheProgramsIsRefusedNamingIt)
{
    const int qtLimit = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(1);
    const auto pastePng = [&](int w, int h) {
        QImage picture(w, h, QImage::Format_RGB32);
        picture.fill(QColor(0, 128, 0));
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "PNG");
        auto *data = new QMimeData;
        data->setData(QStringLiteral("image/png"), png);
        QGuiApplication::clipboard()->setMimeData(data);
        control<QToolButton>(*window, "GetClipboardButton")->click();
    };
    pastePng(600, 500);
    EXPECT_EQ(title().width(), 600);
    EXPECT_EQ(title().pixel(599, 499), Colors::clGreen);
    EXPECT_TRUE(dialogs.errors.isEmpty());
    pastePng(Raster::MaxSide + 1, 8);
    QImageReader::setAllocationLimit(qtLimit);
    EXPECT_EQ(title().width(), 600);
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_EQ(dialogs.errors[0], Raster::sizeRefusal(Raster::MaxSide + 1, 8));
}

TEST_F(PictureCommands, AroundASmallerPastedPictureThePictureAreaShowsItsEmptyColour)
{
    control<TImage>(*window, "SurfaceImage")->picture().fill(Colors::clFuchsia);
    bg().fill(Colors::clAqua);
    QImage pasted(30, 20, QImage::Format_RGB32);
    pasted.fill(QColor(0, 128, 0));
    QGuiApplication::clipboard()->setImage(pasted);
    control<QToolButton>(*window, "GetClipboardButton")->click();

    QWidget *area = control<QScrollArea>(*window, "sbxPicture")->viewport();
    const QImage shown = area->grab().toImage();
    const QColor empty = area->palette().color(area->backgroundRole());
    EXPECT_EQ(shown.pixelColor(29, 19), QColor(0, 128, 0));
    for (const QPoint at : {QPoint(30, 0), QPoint(0, 20), QPoint(200, 100), QPoint(461, 219)})
        EXPECT_EQ(shown.pixelColor(at), empty) << at.x() << "," << at.y();

    // Copies and saves hold the pasted picture and nothing of the layers below.
    control<QToolButton>(*window, "SendClipboardButton")->click();
    EXPECT_EQ(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32), pasted);
    saveAnswers("pasted.png", SavePng);
    control<QToolButton>(*window, "PicSaveButton")->click();
    EXPECT_TRUE(readPictureFile(file("pasted.png"), ReaderPng).picture.samePixels(Raster::fromImage(pasted, 24)));
}

TEST_F(PictureCommands, ClearImageKeepsTheRowsButEmptiesSurfacesAndText)
{
    control<TImage>(*window, "SurfaceIconImage")->picture() = Raster(8, 8, 24, Colors::clBlue);
    drawItem("Gone", 10, 10);
    control<TRadioGroup>(*window, "TextNoBox")->setItemIndex(1);
    window->TextNoBoxClick();
    control<QTextEdit>(*window, "TextMemo")->setPlainText("Second");
    control<TRadioGroup>(*window, "TextNoBox")->setItemIndex(0);
    window->TextNoBoxClick();
    const auto rows = window->composition().items().rows;

    confirm = false;
    control<QToolButton>(*window, "PicDeleteButton")->click();
    EXPECT_FALSE(window->composition().items().surfaces[0].isEmpty());

    confirm = true;
    control<QToolButton>(*window, "PicDeleteButton")->click();
    EXPECT_TRUE(window->composition().items().rows == rows);
    EXPECT_TRUE(window->composition().items().surfaces[0].isEmpty());
    EXPECT_TRUE(control<QTextEdit>(*window, "TextMemo")->toPlainText().isEmpty());
    EXPECT_EQ(title().pixel(20, 20), Colors::clWhite);
}

TEST_F(PictureCommands, ResizeDialogChangesTheLayersOnlyWhenConfirmedWithSensibleSizes)
{
    QString shownWidth, shownHeight;
    onResize = [&](TResizeForm &d) {
        shownWidth = d.edtImgWidth->text();
        shownHeight = d.edtImgHeight->text();
        d.edtImgWidth->setText("300");
        d.edtImgHeight->setText("150");
        d.reject(); // closed by its frame
        return d.result();
    };
    const int w = title().width(), h = title().height();
    control<QToolButton>(*window, "btnResizeImage")->click();
    EXPECT_EQ(shownWidth, QString::number(w));
    EXPECT_EQ(shownHeight, QString::number(h));
    EXPECT_EQ(title().width(), w);

    onResize = [](TResizeForm &d) { return d.btnOK->click(), d.result(); };
    control<QToolButton>(*window, "btnResizeImage")->click();
    EXPECT_EQ(title().width(), w);
    EXPECT_EQ(title().height(), h);

    onResize = [](TResizeForm &d) {
        d.edtImgWidth->setText("300");
        d.edtImgHeight->setText("150");
        d.btnOK->click();
        return d.result();
    };
    control<QToolButton>(*window, "btnResizeImage")->click();
    EXPECT_EQ(title().width(), 300);
    EXPECT_EQ(bg().height(), 150);

    onResize = [](TResizeForm &d) {
        d.edtImgWidth->setText("0");
        d.edtImgHeight->setText("999999");
        d.btnOK->click();
        return d.result();
    };
    control<QToolButton>(*window, "btnResizeImage")->click();
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(title().width(), 300);
}

TEST_F(PictureCommands, SurfaceButtonsLoadAndEmptyTheSurface)
{
    writeBmp("tex.bmp", Raster(16, 16, 24, Colors::clFuchsia));
    openAnswers("tex.bmp");
    EXPECT_FALSE(control<QToolButton>(*window, "SurfaceDeleteButton")->isEnabled());
    control<QToolButton>(*window, "SurfaceOpenButton")->click();
    EXPECT_EQ(control<TImage>(*window, "SurfaceIconImage")->picture().width(), 16);
    EXPECT_TRUE(control<QToolButton>(*window, "SurfaceDeleteButton")->isEnabled());
    confirm = true;
    control<QToolButton>(*window, "SurfaceDeleteButton")->click();
    EXPECT_TRUE(control<TImage>(*window, "SurfaceIconImage")->picture().isEmpty());
    EXPECT_TRUE(control<QToolButton>(*window, "SurfaceDeleteButton")->isEnabled());
}

TEST_F(PictureCommands, CommandsHaveTheirShortcutsNamedInTheirHints)
{
    EXPECT_TRUE(control<QToolButton>(*window, "PicLoadButton")->toolTip().endsWith("(Ctrl+O)")) << control<QToolButton>(*window, "PicLoadButton")->toolTip().toStdString();
    EXPECT_TRUE(control<QToolButton>(*window, "RedoButton")->toolTip().endsWith("(Ctrl+Y)"));
    EXPECT_TRUE(control<QToolButton>(*window, "PrintButton")->toolTip().startsWith("Print picture"));
    // Applying the language again does not repeat the shortcut.
    window->ApplyLanguage();
    EXPECT_EQ(control<QToolButton>(*window, "PicSaveButton")->toolTip(), "Save picture (Ctrl+S)");
}

TEST_F(PictureCommands, PrintingEnlargesByWholeDotsAtThePrintableOrigin)
{
    QImage pattern(462, 220, QImage::Format_RGB32);
    pattern.fill(Qt::red);
    for (int y = 0; y < 220; ++y)
        for (int x = 231; x < 462; ++x)
            pattern.setPixel(x, y, qRgb(0, 0, 255));
    title() = Raster::fromImage(pattern, 24);
    const QString pdf = file("print.pdf");
    dialogs.onPrinter = [&](QPrinter &printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setResolution(600);
        printer.setPageMargins(QMarginsF(0, 0, 0, 0));
        return true;
    };
    control<QToolButton>(*window, "PrintButton")->click();
    ASSERT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join('\n').toStdString();
    ASSERT_TRUE(QFile::exists(pdf));
    EXPECT_EQ(window->logicalDpiX(), 96);

    // The page rendered at the printer's resolution: the picture covers exactly
    // 2772 x 1320 dots (factor 600 div 96 = 6) from the top-left corner.
    QString why;
    const QImage page = renderPdfPage(pdf, 600, &why, QSize(3000, 1500));
    ASSERT_FALSE(page.isNull()) << why.toStdString();
    auto near = [](QRgb a, QRgb b) { return qAbs(qRed(a) - qRed(b)) < 16 && qAbs(qGreen(a) - qGreen(b)) < 16 && qAbs(qBlue(a) - qBlue(b)) < 16; };
    EXPECT_TRUE(near(page.pixel(2, 2), qRgb(255, 0, 0)));
    EXPECT_TRUE(near(page.pixel(1360, 1300), qRgb(255, 0, 0)));
    EXPECT_TRUE(near(page.pixel(1410, 10), qRgb(0, 0, 255)));
    EXPECT_TRUE(near(page.pixel(2769, 1317), qRgb(0, 0, 255)));
    EXPECT_TRUE(near(page.pixel(2774, 600), qRgb(255, 255, 255)));
    EXPECT_TRUE(near(page.pixel(600, 1322), qRgb(255, 255, 255)));
}

namespace {
// Runs letrafex-cli; returns its exit code, with standard output and error.
int runCli(const QStringList &args, QByteArray *out = nullptr, QByteArray *err = nullptr)
{
    QProcess cli;
    cli.start(LETRAFEX_CLI, args);
    if (!cli.waitForFinished(120000))
        return -1;
    if (out)
        *out = cli.readAllStandardOutput();
    if (err)
        *err = cli.readAllStandardError();
    return cli.exitCode();
}
} // namespace

TEST_F(PictureCommands, CommandLineRendersAndDescribesProjectsAsTheWindowDoes)
{
    writeBmp("back.bmp", Raster(300, 160, 24, Colors::clAqua));
    openAnswers("back.bmp");
    control<QToolButton>(*window, "PicLoadButton")->click();
    control<TImage>(*window, "SurfaceIconImage")->picture() = Raster(6, 6, 24, Colors::clFuchsia);
    control<TSpinEdit>(*window, "FontDepth")->setValue(12);
    control<QToolButton>(*window, "TextDownRightButton")->click();
    drawItem("Batch\nwork", 20, 10);
    control<TRadioGroup>(*window, "TextNoBox")->setItemIndex(1);
    window->TextNoBoxClick();
    control<QTextEdit>(*window, "TextMemo")->setPlainText("Two");
    control<TNumberEdit>(*window, "XEdit")->setText("150");
    control<TNumberEdit>(*window, "YEdit")->setText("90");
    control<QToolButton>(*window, "TextShadowButton")->click();
    const Raster drawn = title();
    saveAnswers("batch.lfx", SaveProject);
    control<QToolButton>(*window, "PicSaveButton")->click();

    QByteArray err;
    ASSERT_EQ(runCli({"render", file("batch.lfx"), file("batch.png")}, nullptr, &err), 0) << err.toStdString();
    EXPECT_TRUE(readPictureFile(file("batch.png"), ReaderPng).picture.samePixels(drawn));

    QByteArray rows;
    ASSERT_EQ(runCli({"info", file("batch.lfx")}, &rows), 0);
    ItemTable described;
    QString error;
    ASSERT_TRUE(readItemRows(QString::fromUtf8(rows), described, &error)) << error.toStdString();
    EXPECT_TRUE(described.rows == window->composition().items().rows);

    EXPECT_EQ(runCli({"render", file("batch.lfx"), file("batch.png"), "--size", "10x10"}), 2);
    EXPECT_EQ(runCli({"render", file("missing.lfx"), file("x.png")}), 1);
}

TEST_F(PictureCommands, ProjectsMadeOnTheCommandLineOpenInTheWindow)
{
    ItemTable table;
    ItemRow &row = table.rows[0];
    row.caption = "\"Made by\",Script";
    row.cells = {"1", "Arial", "40", "8", "65535", "32768", "10", "20", "5", "2", "1", "0", "0"};
    QFile items(file("items.txt"));
    ASSERT_TRUE(items.open(QIODevice::WriteOnly));
    items.write(writeItemRows(table).toUtf8());
    items.close();
    QByteArray err;
    ASSERT_EQ(runCli({"project", file("items.txt"), file("made.lfx"), "--size", "320x140"}, nullptr, &err), 0)
        << err.toStdString();
    ASSERT_EQ(runCli({"render", file("items.txt"), file("made.tga"), "--size", "320x140"}, nullptr, &err), 0)
        << err.toStdString();
    const Raster rendered = readPictureFile(file("made.tga"), ReaderTga).picture;

    openAnswers("made.lfx");
    control<QToolButton>(*window, "PicLoadButton")->click();
    ASSERT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join('\n').toStdString();
    EXPECT_EQ(control<QTextEdit>(*window, "TextMemo")->toPlainText(), "Made by\nScript");
    EXPECT_TRUE(title().samePixels(rendered));
    EXPECT_EQ(bg().width(), 320);
    EXPECT_EQ(bg().pixel(319, 139), Colors::clWhite);
    // Drawn again in the window, the project gives the same picture.
    control<QToolButton>(*window, "Text3dButton")->click();
    EXPECT_TRUE(title().samePixels(rendered));
}

TEST_F(PictureCommands, SurfacesFillTextBeyondTheFirstPictureSize)
{
    writeBmp("large.bmp", Raster(800, 500, 24, Colors::clWhite));
    openAnswers("large.bmp");
    control<QToolButton>(*window, "PicLoadButton")->click();
    control<TImage>(*window, "SurfaceIconImage")->picture() = Raster(6, 6, 24, Colors::clFuchsia);
    control<TSpinEdit>(*window, "FontDepth")->setValue(3);
    drawItem("WWW", 560, 380);
    // The letters beyond the first 462 x 220 are filled with the surface, not left black.
    int black = 0, surface = 0;
    for (int y = 380; y < 500; ++y)
        for (int x = 560; x < 800; ++x) {
            const TColor c = title().pixel(x, y);
            black += c == Colors::clBlack;
            surface += c == Colors::clFuchsia;
        }
    EXPECT_EQ(black, 0);
    EXPECT_GT(surface, 100);
}
