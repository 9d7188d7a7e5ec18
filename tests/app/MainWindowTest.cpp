#include "PainterTestSupport.h"
#include "ScriptedDialogs.h"
#include "TestProgramFolder.h"
#include "app/MainWindow.h"
#include "background/BackgroundForm.h"
#include "app/ItemRowsText.h"
#include "imageio/BmpCodec.h"
#include "ui/Controls.h"
#include "ui/GaugeUpdater.h"
#include "ui/ImageWidget.h"
#include "ui/Language.h"
#include "ui/MessageDialogs.h"
#include "ui/OptionsForm.h"
#include "ui/AboutForm.h"
#include "ui/PageForm.h"
#include "ui/ProgramOptions.h"
#include "help/HelpForm.h"
#include "ui/RichEdit.h"
#include "ui/SplashScreen.h"

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
        window->TextNoBox->setItemIndex(index);
        window->TextNoBoxClick();
        window->TextMemo->setPlainText(text);
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
    EXPECT_EQ(window->SelectionView->count(), 5);
    EXPECT_EQ(window->SelectionView->currentRow(), 0);
    EXPECT_EQ(window->ShownForm, window.get());
    EXPECT_EQ(window->FontSizeEdit->value(), 48);
    EXPECT_EQ(window->CurrentItem, 0);
    EXPECT_EQ(window->CurrentType, 1);
    EXPECT_TRUE(window->Undo->isEmpty());
    EXPECT_TRUE(window->TextUpLeftButton->isChecked());
    EXPECT_FALSE(window->Text3dButton->isEnabled());
    EXPECT_FALSE(window->SurfaceDeleteButton->isEnabled());
    EXPECT_EQ(window->EndColor->toolTip(), "Click to change");
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
    EXPECT_EQ(window->PicSaveButton->toolTip(), "Save picture (Strg+S)");
    EXPECT_EQ(window->RedoButton->toolTip(), "Redo action (Strg+Y)");
    QCoreApplication::removeTranslator(&german);
    window->ApplyLanguage();
    EXPECT_EQ(exportButton->toolTip(), "Export picture (Ctrl+E)");
}

TEST_F(MainWindow, PagesSwitchAndTheOptionsPageHides)
{
    window->SelectionView->setCurrentRow(2);
    EXPECT_EQ(window->ShownForm, window->OptionsForm);
    EXPECT_TRUE(window->OptionsForm->isVisible());
    EXPECT_FALSE(window->PictureBox->isVisible());
    EXPECT_FALSE(window->TextCreateBox->isVisible());
    window->SelectionView->setCurrentRow(4);
    EXPECT_FALSE(window->OptionsForm->isVisible());
    EXPECT_TRUE(window->AboutForm->isVisible());
    window->SelectionView->setCurrentRow(0);
    EXPECT_FALSE(window->AboutForm->isVisible());
    EXPECT_TRUE(window->PictureBox->isVisible());
    EXPECT_TRUE(window->TextCreateBox->isVisible());
    EXPECT_EQ(window->ShownForm, window->AboutForm); // entry 0 leaves it
    EXPECT_EQ(window->OptionsForm->parentWidget(), window->MainPanel);
}

TEST_F(MainWindow, LeavingTheBackgroundPageHandsOverOnlyAFilledBackground)
{
    window->SelectionView->setCurrentRow(1);
    window->SelectionView->setCurrentRow(0);
    EXPECT_TRUE(window->Undo->isEmpty()); // nothing redrawn

    window->SelectionView->setCurrentRow(1);
    window->SharedBackground = Raster(200, 100, 24, Colors::clBlue);
    window->SelectionView->setCurrentRow(0);
    EXPECT_EQ(window->BgImage->picture().width(), 200);
    EXPECT_EQ(window->TitleImage->picture().height(), 100);
    EXPECT_EQ(window->TitleImage->picture().pixel(199, 99), Colors::clBlue);
    EXPECT_EQ(window->Undo->count(), 1);
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
    window->FontSizeEdit->setValue(30);
    window->FontDepth->setValue(25);
    window->StartColor->setBrushColor(Colors::clAqua);
    window->XEdit->setText("12");
    window->YEdit->setText("34");
    window->TextDownButton->click();
    window->AlignRightButton->click();
    window->BoldButton->click();
    window->SurfaceIconImage->picture() = Raster(3, 2, 24, Colors::clFuchsia);

    typeItem(1, "other");
    EXPECT_EQ(window->FontSizeEdit->value(), 48);
    EXPECT_EQ(window->FontDepth->value(), 10);
    EXPECT_EQ(window->StartColor->brushColor(), Colors::clYellow);
    EXPECT_EQ(window->XEdit->text(), "0");
    EXPECT_TRUE(window->TextUpLeftButton->isChecked());
    EXPECT_FALSE(window->TextMemo->font().bold());
    EXPECT_EQ(window->alignmentCode(), AlignRightCode); // carried over from item 1
    EXPECT_TRUE(window->SurfaceIconImage->picture().isEmpty());
    EXPECT_EQ(window->Items.rows[0].caption, "\"a b\",c");

    window->TextNoBox->setItemIndex(0);
    window->TextNoBoxClick();
    EXPECT_EQ(window->TextMemo->toPlainText(), "a b\nc");
    EXPECT_EQ(window->FontSizeEdit->value(), 30);
    EXPECT_EQ(window->FontDepth->value(), 25);
    EXPECT_EQ(window->StartColor->brushColor(), Colors::clAqua);
    EXPECT_EQ(window->XEdit->text(), "12");
    EXPECT_EQ(window->YEdit->text(), "34");
    EXPECT_TRUE(window->TextDownButton->isChecked());
    EXPECT_EQ(window->alignmentCode(), AlignRightCode);
    EXPECT_TRUE(window->TextMemo->font().bold());
    EXPECT_TRUE(window->BoldButton->isChecked());
    EXPECT_EQ(window->SurfaceIconImage->picture().width(), 3);
    EXPECT_EQ(window->SurfaceIconImage->picture().pixel(2, 1), Colors::clFuchsia);
    EXPECT_TRUE(window->SurfaceDeleteButton->isEnabled());
    EXPECT_EQ(window->Items.rows[1].caption, QString("other"));
}

// An empty clipboard (as right after login) pasted into any text field of the window or
// its pages changes nothing, and the program goes on. On X11 an empty clipboard is data
// without any format; offscreen it is no data at all, so formatless data is put there.
TEST_F(MainWindow, PastingAnEmptyClipboardIntoAnyTextFieldChangesNothing)
{
    window->TextMemo->setPlainText("kept");
    window->HelpForm->HelpTextField->setPlainText("help text");
    QGuiApplication::clipboard()->setMimeData(new QMimeData);
    const QList<QTextEdit *> rich = window->findChildren<QTextEdit *>();
    const QList<QPlainTextEdit *> plain = window->findChildren<QPlainTextEdit *>();
    ASSERT_TRUE(rich.contains(window->TextMemo));
    ASSERT_TRUE(rich.contains(window->HelpForm->HelpTextField));
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
    window->TextMemo->moveCursor(QTextCursor::End);
    window->TextMemo->paste();
    EXPECT_EQ(window->TextMemo->toPlainText(), "keptpasted");
}

TEST_F(MainWindow, StyleButtonsFollowTheEditorText)
{
    window->TextMemo->setPlainText("x");
    EXPECT_TRUE(window->Text3dButton->isEnabled());
    EXPECT_TRUE(window->TextShadowButton->isEnabled());
    EXPECT_TRUE(window->TextFlatButton->isEnabled());
    window->TextMemo->clear();
    EXPECT_FALSE(window->Text3dButton->isEnabled());
    EXPECT_FALSE(window->TextFlatButton->isEnabled());
}

TEST_F(MainWindow, FontAndColourDialogsChangeTheEditor)
{
    window->TextMemo->setPlainText("Font");
    dialogs.onFont = [](QFont &f) {
        f.setFamily("Times New Roman");
        f.setItalic(true);
        f.setPointSize(72);
        return true;
    };
    window->FontButtonClick();
    EXPECT_EQ(window->TextMemo->font().family(), "Times New Roman");
    EXPECT_TRUE(window->TextMemo->font().italic());
    EXPECT_EQ(window->FontSizeEdit->value(), 72);
    EXPECT_EQ(window->PreviewLabel->font().family(), "Times New Roman");

    dialogs.onColor = [](QColor &c) { c = QColor(1, 2, 3); return true; };
    window->StartColorMouseDown(window->EndColor);
    EXPECT_EQ(window->EndColor->brushColor(), makeColor(1, 2, 3));
    EXPECT_EQ(window->StartColor->brushColor(), Colors::clYellow);
    dialogs.onColor = [](QColor &) { return false; };
    window->StartColorMouseDown(window->StartColor);
    EXPECT_EQ(window->StartColor->brushColor(), Colors::clYellow);
}

TEST_F(MainWindow, ClickPlacesTextAndFlatDownDrawsThere)
{
    window->TextMemo->setPlainText("T");
    window->TitleImageMouseDown(100, 50);
    EXPECT_EQ(window->XEdit->text(), "97");
    EXPECT_EQ(window->YEdit->text(), "45");
    // The preview lies where the front face will: the depth (10) higher while extruding up.
    EXPECT_EQ(window->PreviewLabel->pos(), QPoint(97, 35));
    window->TextDownButton->click();
    EXPECT_EQ(window->PreviewLabel->pos(), QPoint(97, 45));
    window->Text3DButtonClick(window->TextFlatButton);
    const Raster &pic = window->TitleImage->picture();
    TestLayers ref(pic.width(), pic.height());
    PaintGradientText(ref.layers(), makeItem({"T"}, 10, DirDown), StyleFlat, 97, 45, Colors::clGreen, Colors::clYellow);
    EXPECT_TRUE(pic.samePixels(ref.picture()));
    EXPECT_TRUE(window->PreviewLabel->text().isEmpty());
}

TEST_F(MainWindow, DraggingMovesOnlyWithTheLeftButtonAlone)
{
    window->TitleImageMouseMove(40, 40, Qt::RightButton, Qt::NoModifier);
    EXPECT_EQ(window->XEdit->text(), "0");
    window->TitleImageMouseMove(40, 40, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(window->XEdit->text(), "0");
    window->TitleImageMouseMove(40, 40, Qt::LeftButton | Qt::RightButton, Qt::NoModifier);
    EXPECT_EQ(window->XEdit->text(), "0");
    window->TitleImageMouseMove(40, 60, Qt::LeftButton, Qt::NoModifier);
    EXPECT_EQ(window->XEdit->text(), "37");
    EXPECT_EQ(window->YEdit->text(), "55");
    window->PreviewLabel->move(30, 30);
    window->PreviewLabelMouseMove(5, 6, Qt::LeftButton, Qt::NoModifier);
    EXPECT_EQ(window->XEdit->text(), "32");
    EXPECT_EQ(window->YEdit->text(), "31");
}

TEST_F(MainWindow, StyleClickStoresTheStyleAndRedrawsAllItems)
{
    typeItem(0, "One");
    window->Text3DButtonClick(window->TextShadowButton);
    EXPECT_EQ(window->Items.rows[0].cells[CellType], "2");
    // First click: the picture before any text, then the result.
    EXPECT_EQ(window->Undo->count(), 2);
    typeItem(2, "\nhidden");
    window->Text3DButtonClick(window->Text3dButton);
    EXPECT_EQ(window->CurrentItem, 2);
    EXPECT_EQ(window->TextMemo->toPlainText(), "\nhidden");
    EXPECT_EQ(window->Undo->count(), 3);
    // Item 3 starts with an empty line: the picture is that of item 1 alone.
    const Raster &pic = window->TitleImage->picture();
    TestLayers ref(pic.width(), pic.height());
    ref.layers().titleFont.style = 0;
    PaintGradientText(ref.layers(), makeItem({"One"}, 10, DirUpLeft), StyleShadow, 0, 0, Colors::clGreen,
                      Colors::clYellow);
    EXPECT_TRUE(pic.samePixels(ref.picture()));
}

TEST_F(MainWindow, EmptyItemsLeaveTheBackground)
{
    window->BgImage->picture().fill(Colors::clAqua);
    window->TextMemo->setPlainText("x");
    window->TextMemo->clear();
    window->RenderAll();
    EXPECT_TRUE(window->TitleImage->picture().samePixels(window->BgImage->picture()));
}

TEST_F(MainWindow, UndoAndRedoStepThroughTheHistory)
{
    typeItem(0, "A");
    window->Text3DButtonClick(window->TextFlatButton);
    const Raster first = window->TitleImage->picture();
    window->XEdit->setText("50");
    window->Text3DButtonClick(window->TextFlatButton);
    const Raster second = window->TitleImage->picture();
    EXPECT_EQ(window->Undo->count(), 3);
    window->UndoButtonClick();
    EXPECT_TRUE(window->TitleImage->picture().samePixels(first));
    window->UndoButtonClick();
    window->UndoButtonClick();
    EXPECT_EQ(window->Undo->index(), 0);
    window->RedoButtonClick();
    window->RedoButtonClick();
    window->RedoButtonClick();
    EXPECT_TRUE(window->TitleImage->picture().samePixels(second));
    // A click while an older picture is shown appends it first.
    window->UndoButtonClick();
    window->Text3DButtonClick(window->TextFlatButton);
    EXPECT_EQ(window->Undo->count(), 5);
    EXPECT_TRUE(window->Undo->snapshot(3).samePixels(first));
}

TEST_F(MainWindow, CommandLineRendererDrawsWhatTheWindowDraws)
{
    typeItem(0, "Hello\nWorld");
    window->XEdit->setText("20");
    window->YEdit->setText("10");
    window->FontDepth->setValue(15);
    window->TextDownRightButton->click();
    window->AlignCenterButton->click();
    window->Text3DButtonClick(window->Text3dButton);
    typeItem(1, "Shadow");
    window->XEdit->setText("150");
    window->YEdit->setText("120");
    window->ItalicButton->click();
    window->StartColor->setBrushColor(Colors::clFuchsia);
    window->TextDownButton->click();
    window->Text3DButtonClick(window->TextShadowButton);
    typeItem(2, "flat");
    window->XEdit->setText("x?"); // not a number: drawn at 0
    window->SurfaceIconImage->picture() = Raster(4, 4, 24, Colors::clBlue);
    window->Text3DButtonClick(window->TextFlatButton);

    QTemporaryDir dir;
    const QString items = dir.filePath("items.txt"), surface = dir.filePath("s.bmp"), out = dir.filePath("out.bmp");
    QFile f(items);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(writeItemRows(window->Items).toUtf8());
    f.close();
    SaveBmpFile(surface, Raster(4, 4, 24, Colors::clBlue));
    const Raster &pic = window->TitleImage->picture();
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
    const int panelMiddle = window->PicRightPanel->height() / 2;
    const QRect column = window->PicButtonPanel->geometry();
    EXPECT_LE(std::abs(column.center().y() - panelMiddle), 2);
}

TEST_F(MainWindow, AGradientAddedOnTheBackgroundPageBecomesTheBackgroundWhenThePageIsLeft)
{
    typeItem(0, "Over");
    window->Text3DButtonClick(window->TextFlatButton);
    window->SelectionView->setCurrentRow(1);
    window->BackgroundForm->BgTypeButtons[0]->click();
    window->BackgroundForm->BgAddButton->click();
    ASSERT_GT(window->SharedBackground.height(), 0);
    const Raster gradient = window->SharedBackground;
    window->SelectionView->setCurrentRow(0);
    // The background layer holds the gradient (stretched to its size) and the texts are
    // drawn again over it.
    EXPECT_EQ(window->BgImage->picture().width(), gradient.width());
    EXPECT_EQ(window->BgImage->picture().pixel(0, gradient.height() - 1), gradient.pixel(0, gradient.height() - 1));
    EXPECT_EQ(window->TitleImage->picture().pixel(gradient.width() - 1, gradient.height() - 1),
              gradient.pixel(gradient.width() - 1, gradient.height() - 1));
    EXPECT_FALSE(window->TitleImage->picture().samePixels(window->BgImage->picture()));
}

TEST_F(MainWindow, ADefaultBackgroundFitsTheTextPageWithoutScrolling)
{
    window->resize(640, 480);
    window->SelectionView->setCurrentRow(1);
    window->BackgroundForm->BgTypeButtons[0]->click();
    window->BackgroundForm->BgAddButton->click();
    window->SelectionView->setCurrentRow(0);
    QCoreApplication::processEvents();
    ASSERT_GT(window->BgImage->picture().height(), 0);
    EXPECT_FALSE(window->sbxPicture->verticalScrollBar()->isVisible());
    EXPECT_FALSE(window->sbxPicture->horizontalScrollBar()->isVisible());
    // The background page shows all of it too.
    const QWidget *view = window->BackgroundForm->sbxBgPicture;
    EXPECT_LE(window->SharedBackground.width(), view->width());
    EXPECT_LE(window->SharedBackground.height(), view->height());
}

TEST_F(MainWindow, SurfacesFillTextBeyondTheOldSizeAfterALargerBackgroundIsHandedOver)
{
    typeItem(0, "WWW");
    window->SurfaceIconImage->picture() = Raster(6, 6, 24, Colors::clFuchsia);
    window->FontDepth->setValue(3);
    window->XEdit->setText("560");
    window->YEdit->setText("380");
    window->Text3DButtonClick(window->TextFlatButton);
    window->SelectionView->setCurrentRow(1);
    window->SharedBackground = Raster(800, 500, 24, Colors::clWhite);
    window->SelectionView->setCurrentRow(0);
    const Raster &picture = window->TitleImage->picture();
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
    window->BgImage->picture().fill(Colors::clAqua);
    Raster quarters(8, 8, 24, Colors::clFuchsia);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            quarters.setPixel(x, y, Colors::clBlue);
    typeItem(0, "Fill\nme");
    window->FontDepth->setValue(4);
    window->XEdit->setText("20");
    window->YEdit->setText("10");
    window->SurfaceIconImage->picture() = quarters;
    // Each expected picture is composed apart, so the window's picture keeps its own buffer.
    std::vector<Raster> shown;
    auto click = [&](const char *step) {
        window->Text3DButtonClick(window->Text3dButton);
        shown.push_back(ComposePicture(window->BgImage->picture(), window->Items));
        EXPECT_TRUE(window->TitleImage->picture().samePixels(shown.back())) << step;
    };
    click("the first fill");
    click("the same again");
    window->ResizeLayers(900, 600);
    window->XEdit->setText("780");
    window->YEdit->setText("500");
    click("after a resize, beyond the old size");
    window->ClearSurface();
    click("without a fill");
    window->SurfaceIconImage->picture() = quarters;
    window->XEdit->setText("300");
    click("filled again");
    // The history holds exactly the picture each click showed, after the one before them.
    ASSERT_EQ(window->Undo->count(), int(shown.size()) + 1);
    for (int i = 0; i < int(shown.size()); ++i)
        EXPECT_TRUE(window->Undo->snapshot(i + 1).samePixels(shown[size_t(i)])) << i;
    window->UndoButtonClick();
    EXPECT_TRUE(window->TitleImage->picture().samePixels(shown[shown.size() - 2]));
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
