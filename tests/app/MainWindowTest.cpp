#include "PainterTestSupport.h"
#include "ScriptedDialogs.h"
#include "TestProgramFolder.h"
#include "app/MainWindow.h"
#include "background/BackgroundForm.h"
#include "compose/ItemRowsText.h"
#include "imageio/BmpCodec.h"
#include "ui/Controls.h"
#include "ui/GaugeUpdater.h"
#include "ui/ImageWidget.h"
#include "program/Language.h"
#include "ui/MessageDialogs.h"
#include "ui/OptionsForm.h"
#include "ui/AboutForm.h"
#include "ui/PageForm.h"
#include "program/ProgramOptions.h"
#include "help/HelpForm.h"
#include "ui/RichEdit.h"
#include "ui/SplashScreen.h"
#include "WindowControls.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QToolButton>
#include <QTranslator>
#include <gtest/gtest.h>

namespace {
class MainWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TSplashScreen::pause = [this](int percent, int ms) { splash << qMakePair(percent, ms); };
        window = std::make_unique<TLetrafex>();
        window->createSecondaryWindows();
        window->show();
    }
    void TearDown() override
    {
        ProgramOptions.noExitDialog = true;
        window.reset();
    }
    void typeItem(int index, const QString &text)
    {
        control<TRadioGroup>(*window, "TextNoBox")->setItemIndex(index);
        window->TextNoBoxClick();
        control<QTextEdit>(*window, "TextMemo")->setPlainText(text);
    }
    TestProgramFolder program;
    ScriptedDialogs dialogs;
    QList<QPair<int, int>> splash;
    std::unique_ptr<TLetrafex> window;
};
} // namespace

TEST_F(MainWindow, StartsWithSplashProgressAndTheFirstPage)
{
    const QList<QPair<int, int>> expected{{10, 0}, {50, 0}, {90, 0}, {100, 500}};
    EXPECT_EQ(splash, expected);
    EXPECT_EQ(window->objectName(), "Letrafex");
    EXPECT_EQ(window->windowTitle(), "KORVA's Letrafex");
    EXPECT_EQ(control<QListWidget>(*window, "SelectionView")->count(), 5);
    EXPECT_EQ(control<QListWidget>(*window, "SelectionView")->currentRow(), 0);
    EXPECT_EQ(window->shownForm(), window.get());
    EXPECT_EQ(control<TSpinEdit>(*window, "FontSizeEdit")->value(), 48);
    EXPECT_EQ(window->composition().currentItem(), 0);
    EXPECT_EQ(window->composition().currentType(), 1);
    EXPECT_TRUE(window->composition().undo().isEmpty());
    EXPECT_TRUE(control<QToolButton>(*window, "TextUpLeftButton")->isChecked());
    EXPECT_FALSE(control<QToolButton>(*window, "Text3dButton")->isEnabled());
    EXPECT_FALSE(control<QToolButton>(*window, "SurfaceDeleteButton")->isEnabled());
    EXPECT_EQ(control<TShape>(*window, "EndColor")->toolTip(), "Click to change");
    EXPECT_GE(window->width(), 640);
    EXPECT_GE(window->height(), 480);
    EXPECT_TRUE(QDir(programDir()).exists("Data"));
    // Every control the language files name is reachable by its name.
    for (const char *name : {"SelectionBox", "SelectionView", "ProgressBox", "OKButton", "MainPanel", "PictureBox",
                             "sbxPicture", "PicButtonPanel", "PicLoadButton", "btnResizeImage", "TextCreateBox",
                             "TextNoBox", "TextMemo", "TextAttribBox", "FontButton", "BoldButton", "FontSizeEdit",
                             "FontDepth", "StartColor", "EndColor", "TextDownRightButton", "SurfaceIconImage",
                             "SurfaceOpenButton", "XEdit", "YEdit", "Text3dButton", "TextFlatButton", "DataBase",
                             "TitleImage", "BgImage", "PreviewLabel", "ProgressGauge"})
        EXPECT_NE(window->findChild<QWidget *>(name), nullptr) << name;
}

TEST(MainWindowStart, CreatesTheDataFolderOnlyWhenMissing)
{
    TestProgramFolder program;
    ScriptedDialogs dialogs;
    QDir dir(program.path());
    { TLetrafex w; }
    ASSERT_TRUE(dir.exists("Data"));
    QFile marker(dir.filePath("Data/keep.txt"));
    ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
    marker.write("x");
    marker.close();
    { TLetrafex w; }
    EXPECT_TRUE(QFile::exists(dir.filePath("Data/keep.txt")));
}

namespace {
// Qt's own translation of the modifier names, as its German translations give them.
class GermanKeyNames : public QTranslator
{
public:
    bool isEmpty() const override { return false; }
    QString translate(const char *context, const char *source, const char *, int) const override
    {
        if (qstrcmp(context, "QShortcut") == 0 && qstrcmp(source, "Ctrl") == 0)
            return QStringLiteral("Strg");
        return {};
    }
};
} // namespace

TEST_F(MainWindow, CommandHintsShowTheirShortcutInThePlatformsTextOfTheCurrentLanguage)
{
    auto *exportButton = window->findChild<QToolButton *>(QStringLiteral("ExportButton"));
    ASSERT_TRUE(exportButton);
    EXPECT_EQ(exportButton->toolTip(), "Export picture (Ctrl+E)");
    GermanKeyNames german;
    QCoreApplication::installTranslator(&german);
    window->ApplyLanguage();
    window->ApplyLanguage();
    EXPECT_EQ(exportButton->toolTip(), "Export picture (Strg+E)");
    EXPECT_EQ(control<QToolButton>(*window, "PicSaveButton")->toolTip(), "Save picture (Strg+S)");
    EXPECT_EQ(control<QToolButton>(*window, "RedoButton")->toolTip(), "Redo action (Strg+Y)");
    QCoreApplication::removeTranslator(&german);
    window->ApplyLanguage();
    EXPECT_EQ(exportButton->toolTip(), "Export picture (Ctrl+E)");
}

TEST_F(MainWindow, PagesSwitchAndTheOptionsPageHides)
{
    control<QListWidget>(*window, "SelectionView")->setCurrentRow(2);
    EXPECT_EQ(window->shownForm(), control<TOptionsForm>(*window, "OptionsForm"));
    EXPECT_TRUE(control<TOptionsForm>(*window, "OptionsForm")->isVisible());
    EXPECT_FALSE(control<QGroupBox>(*window, "PictureBox")->isVisible());
    EXPECT_FALSE(control<QGroupBox>(*window, "TextCreateBox")->isVisible());
    control<QListWidget>(*window, "SelectionView")->setCurrentRow(4);
    EXPECT_FALSE(control<TOptionsForm>(*window, "OptionsForm")->isVisible());
    EXPECT_TRUE(control<TAboutForm>(*window, "AboutForm")->isVisible());
    control<QListWidget>(*window, "SelectionView")->setCurrentRow(0);
    EXPECT_FALSE(control<TAboutForm>(*window, "AboutForm")->isVisible());
    EXPECT_TRUE(control<QGroupBox>(*window, "PictureBox")->isVisible());
    EXPECT_TRUE(control<QGroupBox>(*window, "TextCreateBox")->isVisible());
    EXPECT_EQ(window->shownForm(), control<TAboutForm>(*window, "AboutForm")); // entry 0 leaves it
    EXPECT_EQ(control<TOptionsForm>(*window, "OptionsForm")->parentWidget(), control<QWidget>(*window, "MainPanel"));
}

TEST_F(MainWindow, LeavingTheBackgroundPageHandsOverOnlyAFilledBackground)
{
    control<QListWidget>(*window, "SelectionView")->setCurrentRow(1);
    control<QListWidget>(*window, "SelectionView")->setCurrentRow(0);
    EXPECT_TRUE(window->composition().undo().isEmpty()); // nothing redrawn

    control<QListWidget>(*window, "SelectionView")->setCurrentRow(1);
    window->composition().sharedBackground() = Raster(200, 100, 24, Colors::clBlue);
    control<QListWidget>(*window, "SelectionView")->setCurrentRow(0);
    EXPECT_EQ(control<TImage>(*window, "BgImage")->picture().width(), 200);
    EXPECT_EQ(control<TImage>(*window, "TitleImage")->picture().height(), 100);
    EXPECT_EQ(control<TImage>(*window, "TitleImage")->picture().pixel(199, 99), Colors::clBlue);
    EXPECT_EQ(window->composition().undo().count(), 1);
}

TEST_F(MainWindow, ExitAsksUnlessOptionTwoIsSet)
{
    int asked = 0;
    dialogs.onExec = [&](QDialog &) { ++asked; return int(mrNo); };
    EXPECT_FALSE(window->close());
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(window->isVisible());
    ProgramOptions.noExitDialog = true;
    EXPECT_TRUE(window->close());
    EXPECT_EQ(asked, 1);
}

TEST_F(MainWindow, SwitchingItemsRestoresTextAttributesAndSurface)
{
    typeItem(0, "a b\nc");
    control<TSpinEdit>(*window, "FontSizeEdit")->setValue(30);
    control<TSpinEdit>(*window, "FontDepth")->setValue(25);
    control<TShape>(*window, "StartColor")->setBrushColor(Colors::clAqua);
    control<TNumberEdit>(*window, "XEdit")->setText("12");
    control<TNumberEdit>(*window, "YEdit")->setText("34");
    control<QToolButton>(*window, "TextDownButton")->click();
    control<QToolButton>(*window, "AlignRightButton")->click();
    control<QToolButton>(*window, "BoldButton")->click();
    control<TImage>(*window, "SurfaceIconImage")->picture() = Raster(3, 2, 24, Colors::clFuchsia);

    typeItem(1, "other");
    EXPECT_EQ(control<TSpinEdit>(*window, "FontSizeEdit")->value(), 48);
    EXPECT_EQ(control<TSpinEdit>(*window, "FontDepth")->value(), 10);
    EXPECT_EQ(control<TShape>(*window, "StartColor")->brushColor(), Colors::clYellow);
    EXPECT_EQ(control<TNumberEdit>(*window, "XEdit")->text(), "0");
    EXPECT_TRUE(control<QToolButton>(*window, "TextUpLeftButton")->isChecked());
    EXPECT_FALSE(control<QTextEdit>(*window, "TextMemo")->font().bold());
    EXPECT_EQ(window->alignmentCode(), AlignRightCode); // carried over from item 1
    EXPECT_TRUE(control<TImage>(*window, "SurfaceIconImage")->picture().isEmpty());
    EXPECT_EQ(window->composition().items().rows[0].caption, "\"a b\",c");

    control<TRadioGroup>(*window, "TextNoBox")->setItemIndex(0);
    window->TextNoBoxClick();
    EXPECT_EQ(control<QTextEdit>(*window, "TextMemo")->toPlainText(), "a b\nc");
    EXPECT_EQ(control<TSpinEdit>(*window, "FontSizeEdit")->value(), 30);
    EXPECT_EQ(control<TSpinEdit>(*window, "FontDepth")->value(), 25);
    EXPECT_EQ(control<TShape>(*window, "StartColor")->brushColor(), Colors::clAqua);
    EXPECT_EQ(control<TNumberEdit>(*window, "XEdit")->text(), "12");
    EXPECT_EQ(control<TNumberEdit>(*window, "YEdit")->text(), "34");
    EXPECT_TRUE(control<QToolButton>(*window, "TextDownButton")->isChecked());
    EXPECT_EQ(window->alignmentCode(), AlignRightCode);
    EXPECT_TRUE(control<QTextEdit>(*window, "TextMemo")->font().bold());
    EXPECT_TRUE(control<QToolButton>(*window, "BoldButton")->isChecked());
    EXPECT_EQ(control<TImage>(*window, "SurfaceIconImage")->picture().width(), 3);
    EXPECT_EQ(control<TImage>(*window, "SurfaceIconImage")->picture().pixel(2, 1), Colors::clFuchsia);
    EXPECT_TRUE(control<QToolButton>(*window, "SurfaceDeleteButton")->isEnabled());
    EXPECT_EQ(window->composition().items().rows[1].caption, QString("other"));
}

// An empty clipboard (as right after login) pasted into any text field of the window or
// its pages changes nothing, and the program goes on. On X11 an empty clipboard is data
// without any format; offscreen it is no data at all, so formatless data is put there.
TEST_F(MainWindow, PastingAnEmptyClipboardIntoAnyTextFieldChangesNothing)
{
    control<QTextEdit>(*window, "TextMemo")->setPlainText("kept");
    control<THelpForm>(*window, "HelpForm")->HelpTextField->setPlainText("help text");
    QGuiApplication::clipboard()->setMimeData(new QMimeData);
    const QList<QTextEdit *> rich = window->findChildren<QTextEdit *>();
    const QList<QPlainTextEdit *> plain = window->findChildren<QPlainTextEdit *>();
    ASSERT_TRUE(rich.contains(control<QTextEdit>(*window, "TextMemo")));
    ASSERT_TRUE(rich.contains(control<THelpForm>(*window, "HelpForm")->HelpTextField));
    for (QTextEdit *field : rich) {
        const QString before = field->toHtml();
        field->paste();
        EXPECT_EQ(field->toHtml(), before) << field->objectName().toStdString();
    }
    for (QPlainTextEdit *field : plain) {
        const QString before = field->toPlainText();
        field->paste();
        EXPECT_EQ(field->toPlainText(), before) << field->objectName().toStdString();
    }
    // Text on the clipboard still arrives.
    QGuiApplication::clipboard()->setText("pasted");
    control<QTextEdit>(*window, "TextMemo")->moveCursor(QTextCursor::End);
    control<QTextEdit>(*window, "TextMemo")->paste();
    EXPECT_EQ(control<QTextEdit>(*window, "TextMemo")->toPlainText(), "keptpasted");
}

TEST_F(MainWindow, StyleButtonsFollowTheEditorText)
{
    control<QTextEdit>(*window, "TextMemo")->setPlainText("x");
    EXPECT_TRUE(control<QToolButton>(*window, "Text3dButton")->isEnabled());
    EXPECT_TRUE(control<QToolButton>(*window, "TextShadowButton")->isEnabled());
    EXPECT_TRUE(control<QToolButton>(*window, "TextFlatButton")->isEnabled());
    control<QTextEdit>(*window, "TextMemo")->clear();
    EXPECT_FALSE(control<QToolButton>(*window, "Text3dButton")->isEnabled());
    EXPECT_FALSE(control<QToolButton>(*window, "TextFlatButton")->isEnabled());
}

TEST_F(MainWindow, FontAndColourDialogsChangeTheEditor)
{
    control<QTextEdit>(*window, "TextMemo")->setPlainText("Font");
    dialogs.onFont = [](QFont &f) {
        f.setFamily("Times New Roman");
        f.setItalic(true);
        f.setPointSize(72);
        return true;
    };
    window->FontButtonClick();
    EXPECT_EQ(control<QTextEdit>(*window, "TextMemo")->font().family(), "Times New Roman");
    EXPECT_TRUE(control<QTextEdit>(*window, "TextMemo")->font().italic());
    EXPECT_EQ(control<TSpinEdit>(*window, "FontSizeEdit")->value(), 72);
    EXPECT_EQ(control<TPreviewLabel>(*window, "PreviewLabel")->font().family(), "Times New Roman");

    dialogs.onColor = [](QColor &c) { c = QColor(1, 2, 3); return true; };
    window->StartColorMouseDown(control<TShape>(*window, "EndColor"));
    EXPECT_EQ(control<TShape>(*window, "EndColor")->brushColor(), makeColor(1, 2, 3));
    EXPECT_EQ(control<TShape>(*window, "StartColor")->brushColor(), Colors::clYellow);
    dialogs.onColor = [](QColor &) { return false; };
    window->StartColorMouseDown(control<TShape>(*window, "StartColor"));
    EXPECT_EQ(control<TShape>(*window, "StartColor")->brushColor(), Colors::clYellow);
}

TEST_F(MainWindow, ClickPlacesTextAndFlatDownDrawsThere)
{
    control<QTextEdit>(*window, "TextMemo")->setPlainText("T");
    window->TitleImageMouseDown(100, 50);
    EXPECT_EQ(control<TNumberEdit>(*window, "XEdit")->text(), "97");
    EXPECT_EQ(control<TNumberEdit>(*window, "YEdit")->text(), "45");
    // The preview lies where the front face will: the depth (10) higher while extruding up.
    EXPECT_EQ(control<TPreviewLabel>(*window, "PreviewLabel")->textPosition(), QPoint(97, 35));
    control<QToolButton>(*window, "TextDownButton")->click();
    EXPECT_EQ(control<TPreviewLabel>(*window, "PreviewLabel")->textPosition(), QPoint(97, 45));
    window->Text3DButtonClick(control<QToolButton>(*window, "TextFlatButton"));
    const Raster &pic = control<TImage>(*window, "TitleImage")->picture();
    TestLayers ref(pic.width(), pic.height());
    PaintGradientText(ref.layers(), makeItem({"T"}, 10, DirDown), StyleFlat, 97, 45, Colors::clGreen, Colors::clYellow);
    EXPECT_TRUE(pic.samePixels(ref.picture()));
    EXPECT_TRUE(control<TPreviewLabel>(*window, "PreviewLabel")->text().isEmpty());
}

TEST_F(MainWindow, DraggingMovesOnlyWithTheLeftButtonAlone)
{
    window->TitleImageMouseMove(40, 40, Qt::RightButton, Qt::NoModifier);
    EXPECT_EQ(control<TNumberEdit>(*window, "XEdit")->text(), "0");
    window->TitleImageMouseMove(40, 40, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(control<TNumberEdit>(*window, "XEdit")->text(), "0");
    window->TitleImageMouseMove(40, 40, Qt::LeftButton | Qt::RightButton, Qt::NoModifier);
    EXPECT_EQ(control<TNumberEdit>(*window, "XEdit")->text(), "0");
    window->TitleImageMouseMove(40, 60, Qt::LeftButton, Qt::NoModifier);
    EXPECT_EQ(control<TNumberEdit>(*window, "XEdit")->text(), "37");
    EXPECT_EQ(control<TNumberEdit>(*window, "YEdit")->text(), "55");
    control<TPreviewLabel>(*window, "PreviewLabel")->move(30, 30);
    window->PreviewLabelMouseMove(5, 6, Qt::LeftButton, Qt::NoModifier);
    EXPECT_EQ(control<TNumberEdit>(*window, "XEdit")->text(), "32");
    EXPECT_EQ(control<TNumberEdit>(*window, "YEdit")->text(), "31");
}

TEST_F(MainWindow, StyleClickStoresTheStyleAndRedrawsAllItems)
{
    typeItem(0, "One");
    window->Text3DButtonClick(control<QToolButton>(*window, "TextShadowButton"));
    EXPECT_EQ(window->composition().items().rows[0].cells[CellType], "2");
    // First click: the picture before any text, then the result.
    EXPECT_EQ(window->composition().undo().count(), 2);
    typeItem(2, "\nhidden");
    window->Text3DButtonClick(control<QToolButton>(*window, "Text3dButton"));
    EXPECT_EQ(window->composition().currentItem(), 2);
    EXPECT_EQ(control<QTextEdit>(*window, "TextMemo")->toPlainText(), "\nhidden");
    EXPECT_EQ(window->composition().undo().count(), 3);
    // Item 3 starts with an empty line: the picture is that of item 1 alone.
    const Raster &pic = control<TImage>(*window, "TitleImage")->picture();
    TestLayers ref(pic.width(), pic.height());
    ref.layers().titleFont.style = 0;
    PaintGradientText(ref.layers(), makeItem({"One"}, 10, DirUpLeft), StyleShadow, 0, 0, Colors::clGreen,
                      Colors::clYellow);
    EXPECT_TRUE(pic.samePixels(ref.picture()));
}

TEST_F(MainWindow, EmptyItemsLeaveTheBackground)
{
    control<TImage>(*window, "BgImage")->picture().fill(Colors::clAqua);
    control<QTextEdit>(*window, "TextMemo")->setPlainText("x");
    control<QTextEdit>(*window, "TextMemo")->clear();
    window->RenderAll();
    EXPECT_TRUE(control<TImage>(*window, "TitleImage")->picture().samePixels(control<TImage>(*window, "BgImage")->picture()));
}

TEST_F(MainWindow, UndoAndRedoStepThroughTheHistory)
{
    typeItem(0, "A");
    window->Text3DButtonClick(control<QToolButton>(*window, "TextFlatButton"));
    const Raster first = control<TImage>(*window, "TitleImage")->picture();
    control<TNumberEdit>(*window, "XEdit")->setText("50");
    window->Text3DButtonClick(control<QToolButton>(*window, "TextFlatButton"));
    const Raster second = control<TImage>(*window, "TitleImage")->picture();
    EXPECT_EQ(window->composition().undo().count(), 3);
    window->UndoButtonClick();
    EXPECT_TRUE(control<TImage>(*window, "TitleImage")->picture().samePixels(first));
    window->UndoButtonClick();
    window->UndoButtonClick();
    EXPECT_EQ(window->composition().undo().index(), 0);
    window->RedoButtonClick();
    window->RedoButtonClick();
    window->RedoButtonClick();
    EXPECT_TRUE(control<TImage>(*window, "TitleImage")->picture().samePixels(second));
    // A click while an older picture is shown appends it first.
    window->UndoButtonClick();
    window->Text3DButtonClick(control<QToolButton>(*window, "TextFlatButton"));
    EXPECT_EQ(window->composition().undo().count(), 5);
    EXPECT_TRUE(window->composition().undo().snapshot(3).samePixels(first));
}

TEST_F(MainWindow, CommandLineRendererDrawsWhatTheWindowDraws)
{
    typeItem(0, "Hello\nWorld");
    control<TNumberEdit>(*window, "XEdit")->setText("20");
    control<TNumberEdit>(*window, "YEdit")->setText("10");
    control<TSpinEdit>(*window, "FontDepth")->setValue(15);
    control<QToolButton>(*window, "TextDownRightButton")->click();
    control<QToolButton>(*window, "AlignCenterButton")->click();
    window->Text3DButtonClick(control<QToolButton>(*window, "Text3dButton"));
    typeItem(1, "Shadow");
    control<TNumberEdit>(*window, "XEdit")->setText("150");
    control<TNumberEdit>(*window, "YEdit")->setText("120");
    control<QToolButton>(*window, "ItalicButton")->click();
    control<TShape>(*window, "StartColor")->setBrushColor(Colors::clFuchsia);
    control<QToolButton>(*window, "TextDownButton")->click();
    window->Text3DButtonClick(control<QToolButton>(*window, "TextShadowButton"));
    typeItem(2, "flat");
    control<TNumberEdit>(*window, "XEdit")->setText("x?"); // not a number: drawn at 0
    control<TImage>(*window, "SurfaceIconImage")->picture() = Raster(4, 4, 24, Colors::clBlue);
    window->Text3DButtonClick(control<QToolButton>(*window, "TextFlatButton"));

    QTemporaryDir dir;
    const QString items = dir.filePath("items.txt"), surface = dir.filePath("s.bmp"), out = dir.filePath("out.bmp");
    QFile f(items);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(writeItemRows(window->composition().items()).toUtf8());
    f.close();
    SaveBmpFile(surface, Raster(4, 4, 24, Colors::clBlue));
    const Raster &pic = control<TImage>(*window, "TitleImage")->picture();
    QProcess cli;
    cli.start(LETRAFEX_CLI, {"render", items, out, "--size", QString("%1x%2").arg(pic.width()).arg(pic.height()),
                             "--surface", "3=" + surface});
    ASSERT_TRUE(cli.waitForFinished(60000));
    ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    const Raster fromCli = LoadBmpFile(out);
    EXPECT_EQ(fromCli.bitCount(), 24);
    EXPECT_TRUE(fromCli.samePixels(pic));
}

TEST_F(MainWindow, ShrinkingBelowTheMinimumSpringsBack)
{
    window->resize(500, 300);
    EXPECT_GE(window->width(), 640);
    EXPECT_GE(window->height(), 480);
    window->resize(900, 700);
    EXPECT_EQ(window->width(), 900);
    // The picture commands stay centred beside the picture.
    const int panelMiddle = control<QWidget>(*window, "PicRightPanel")->height() / 2;
    const QRect column = control<QWidget>(*window, "PicButtonPanel")->geometry();
    EXPECT_LE(std::abs(column.center().y() - panelMiddle), 2);
}

TEST_F(MainWindow, AGradientAddedOnTheBackgroundPageBecomesTheBackgroundWhenThePageIsLeft)
{
    typeItem(0, "Over");
    window->Text3DButtonClick(control<QToolButton>(*window, "TextFlatButton"));
    control<QListWidget>(*window, "SelectionView")->setCurrentRow(1);
    control<TBackgroundForm>(*window, "BackgroundForm")->BgTypeButtons[0]->click();
    control<TBackgroundForm>(*window, "BackgroundForm")->BgAddButton->click();
    ASSERT_GT(window->composition().sharedBackground().height(), 0);
    const Raster gradient = window->composition().sharedBackground();
    control<QListWidget>(*window, "SelectionView")->setCurrentRow(0);
    // The background layer holds the gradient (stretched to its size) and the texts are
    // drawn again over it.
    EXPECT_EQ(control<TImage>(*window, "BgImage")->picture().width(), gradient.width());
    EXPECT_EQ(control<TImage>(*window, "BgImage")->picture().pixel(0, gradient.height() - 1), gradient.pixel(0, gradient.height() - 1));
    EXPECT_EQ(control<TImage>(*window, "TitleImage")->picture().pixel(gradient.width() - 1, gradient.height() - 1),
              gradient.pixel(gradient.width() - 1, gradient.height() - 1));
    EXPECT_FALSE(control<TImage>(*window, "TitleImage")->picture().samePixels(control<TImage>(*window, "BgImage")->picture()));
}

TEST_F(MainWindow, ADefaultBackgroundFitsTheTextPageWithoutScrolling)
{
    window->resize(640, 480);
    control<QListWidget>(*window, "SelectionView")->setCurrentRow(1);
    control<TBackgroundForm>(*window, "BackgroundForm")->BgTypeButtons[0]->click();
    control<TBackgroundForm>(*window, "BackgroundForm")->BgAddButton->click();
    control<QListWidget>(*window, "SelectionView")->setCurrentRow(0);
    QCoreApplication::processEvents();
    ASSERT_GT(control<TImage>(*window, "BgImage")->picture().height(), 0);
    EXPECT_FALSE(control<QScrollArea>(*window, "sbxPicture")->verticalScrollBar()->isVisible());
    EXPECT_FALSE(control<QScrollArea>(*window, "sbxPicture")->horizontalScrollBar()->isVisible());
    // The background page shows all of it too.
    const QWidget *view = control<TBackgroundForm>(*window, "BackgroundForm")->sbxBgPicture;
    EXPECT_LE(window->composition().sharedBackground().width(), view->width());
    EXPECT_LE(window->composition().sharedBackground().height(), view->height());
}

TEST_F(MainWindow, SurfacesFillTextBeyondTheOldSizeAfterALargerBackgroundIsHandedOver)
{
    typeItem(0, "WWW");
    control<TImage>(*window, "SurfaceIconImage")->picture() = Raster(6, 6, 24, Colors::clFuchsia);
    control<TSpinEdit>(*window, "FontDepth")->setValue(3);
    control<TNumberEdit>(*window, "XEdit")->setText("560");
    control<TNumberEdit>(*window, "YEdit")->setText("380");
    window->Text3DButtonClick(control<QToolButton>(*window, "TextFlatButton"));
    control<QListWidget>(*window, "SelectionView")->setCurrentRow(1);
    window->composition().sharedBackground() = Raster(800, 500, 24, Colors::clWhite);
    control<QListWidget>(*window, "SelectionView")->setCurrentRow(0);
    const Raster &picture = control<TImage>(*window, "TitleImage")->picture();
    ASSERT_EQ(picture.width(), 800);
    int black = 0, surface = 0;
    for (int y = 380; y < 500; ++y)
        for (int x = 560; x < 800; ++x) {
            black += picture.pixel(x, y) == Colors::clBlack;
            surface += picture.pixel(x, y) == Colors::clFuchsia;
        }
    EXPECT_EQ(black, 0);
    EXPECT_GT(surface, 100);
}

TEST_F(MainWindow, SurfaceFillsAcrossResizesAndRepeatedClicksDrawWhatTheWindowFreeCompositionDraws)
{
    control<TImage>(*window, "BgImage")->picture().fill(Colors::clAqua);
    Raster quarters(8, 8, 24, Colors::clFuchsia);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            quarters.setPixel(x, y, Colors::clBlue);
    typeItem(0, "Fill\nme");
    control<TSpinEdit>(*window, "FontDepth")->setValue(4);
    control<TNumberEdit>(*window, "XEdit")->setText("20");
    control<TNumberEdit>(*window, "YEdit")->setText("10");
    control<TImage>(*window, "SurfaceIconImage")->picture() = quarters;
    // Each expected picture is composed apart, so the window's picture keeps its own buffer.
    std::vector<Raster> shown;
    auto click = [&](const char *step) {
        window->Text3DButtonClick(control<QToolButton>(*window, "Text3dButton"));
        shown.push_back(ComposePicture(control<TImage>(*window, "BgImage")->picture(), window->composition().items()));
        EXPECT_TRUE(control<TImage>(*window, "TitleImage")->picture().samePixels(shown.back())) << step;
    };
    click("the first fill");
    click("the same again");
    window->ResizeLayers(900, 600);
    control<TNumberEdit>(*window, "XEdit")->setText("780");
    control<TNumberEdit>(*window, "YEdit")->setText("500");
    click("after a resize, beyond the old size");
    window->ClearSurface();
    click("without a fill");
    control<TImage>(*window, "SurfaceIconImage")->picture() = quarters;
    control<TNumberEdit>(*window, "XEdit")->setText("300");
    click("filled again");
    // The history holds exactly the picture each click showed, after the one before them.
    ASSERT_EQ(window->composition().undo().count(), int(shown.size()) + 1);
    for (int i = 0; i < int(shown.size()); ++i)
        EXPECT_TRUE(window->composition().undo().snapshot(i + 1).samePixels(shown[size_t(i)])) << i;
    window->UndoButtonClick();
    EXPECT_TRUE(control<TImage>(*window, "TitleImage")->picture().samePixels(shown[shown.size() - 2]));
}

TEST(GaugeUpdater, ShowsAValueAtMostOncePerIntervalAndTheLastOneWhenTheWorkEnds)
{
    QProgressBar bar;
    bar.setRange(0, 100);
    QList<int> shown;
    QObject::connect(&bar, &QProgressBar::valueChanged, [&](int v) { shown << v; });
    {
        // An interval of an hour: a layer-by-layer report reaches the bar only at the end.
        GaugeUpdater gauge(&bar, 3600 * 1000);
        const auto report = gauge.reporter();
        for (int p = 0; p <= 100; p += 2)
            report(p);
        EXPECT_TRUE(shown.isEmpty());
        report(40);
    }
    EXPECT_EQ(shown, QList<int>{40});
    {
        GaugeUpdater gauge(&bar, 0);
        gauge.report(10);
        gauge.report(20);
    }
    EXPECT_EQ(shown, (QList<int>{40, 10, 20}));
}
