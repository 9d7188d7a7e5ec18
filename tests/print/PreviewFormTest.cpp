// The preview window: navigation, the layout step with its zoom factors, one and two
// pages, click-to-zoom, the grid, and the texts the engine puts on it.
#include "PrintTestTools.h"
#include "ScriptedDialogs.h"
#include "core/CommaText.h"
#include "preview/PreviewForm.h"
#include "program/Language.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {
class PreviewWindow : public ::testing::Test
{
protected:
    // Letter at 600 dots per inch, as a printer would give it.
    FixedDeviceEngine engine{600, 8.5, 11};
    std::unique_ptr<TPreviewForm> form;

    void open(int lines, const QString &extra = {})
    {
        QTextDocument doc;
        doc.setPlainText(numberedLines(1, lines) + extra);
        engine.PrintRichText(doc);
        form = engine.CreatePreviewForm();
        form->setWindowState(Qt::WindowNoState);
        form->resize(900, 700);
        form->show();
        QApplication::processEvents();
    }
    void click(Qt::MouseButtons buttons, QPoint at)
    {
        const Qt::MouseButton button = buttons & Qt::LeftButton ? Qt::LeftButton : Qt::RightButton;
        QMouseEvent press(QEvent::MouseButtonPress, at, form->PB1->mapToGlobal(at), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(form->PB1, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, form->PB1->mapToGlobal(at), button, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(form->PB1, &release);
    }
    QSize client() const { return form->ScrollBox1->viewport()->size(); }
};

// Runs of silver pixels along a row or a column of the view.
int silverRuns(const QImage &image, bool alongRow, int at, int *last = nullptr)
{
    int runs = 0;
    bool inRun = false;
    const int n = alongRow ? image.width() : image.height();
    for (int i = 0; i < n; ++i) {
        const QRgb c = alongRow ? image.pixel(i, at) : image.pixel(at, i);
        const bool silver = (c & 0xFFFFFF) == 0xC0C0C0;
        if (silver && !inRun) {
            ++runs;
            if (last)
                *last = i;
        }
        inRun = silver;
    }
    return runs;
}
} // namespace

TEST_F(PreviewWindow, OnePageDocumentDisablesNavigation)
{
    open(3);
    ASSERT_EQ(engine.PageCount(), 1);
    EXPECT_EQ(form->CurPageLabel->text(), " 1/1");
    for (QWidget *b : {static_cast<QWidget *>(form->FirstPageSpeed), static_cast<QWidget *>(form->PrevPageSpeed),
                       static_cast<QWidget *>(form->NextPageSpeed), static_cast<QWidget *>(form->LastPageSpeed),
                       static_cast<QWidget *>(form->PageNumSpeed)})
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
    // Two pages: the second sheet is shown, empty.
    form->TwoPageBut->click();
    EXPECT_TRUE(form->PagePanel2->isVisible());
    const QImage second = form->PB2->grab().toImage();
    EXPECT_EQ(inkBox(second, second.rect()), QRect());
}

TEST_F(PreviewWindow, NavigationMovesOnePageAtATime)
{
    open(200);
    const int count = engine.PageCount();
    ASSERT_GE(count, 3);
    EXPECT_EQ(form->CurPageLabel->text(), QString(" 1/%1").arg(count));
    EXPECT_FALSE(form->PrevPageSpeed->isEnabled());
    EXPECT_TRUE(form->NextPageSpeed->isEnabled());
    EXPECT_TRUE(form->PageNumSpeed->isEnabled());
    form->NextPageSpeed->click();
    EXPECT_EQ(form->CurrentPage, 1);
    EXPECT_TRUE(form->FirstPageSpeed->isEnabled());
    form->LastPageSpeed->click();
    EXPECT_EQ(form->CurPageLabel->text(), QString(" %1/%1").arg(count));
    EXPECT_FALSE(form->NextPageSpeed->isEnabled());
    EXPECT_FALSE(form->LastPageSpeed->isEnabled());
    form->TwoPageBut->click();
    form->PrevPageSpeed->click();
    EXPECT_EQ(form->CurrentPage, count - 2);
    form->FirstPageSpeed->click();
    EXPECT_EQ(form->CurrentPage, 0);
}

TEST_F(PreviewWindow, KeysAndTheWheelTurnPages)
{
    open(200);
    auto key = [this](int k) {
        QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
        QApplication::sendEvent(form->ScrollBox1, &press);
        return form->CurrentPage;
    };
    auto wheel = [this](int delta) {
        QWheelEvent turn({10, 10}, {10, 10}, {}, {0, delta}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(form->ScrollBox1->viewport(), &turn);
        return form->CurrentPage;
    };
    const std::vector<int> fitted{key(Qt::Key_PageDown), key(Qt::Key_Down), key(Qt::Key_Left), key(Qt::Key_End),
                                  key(Qt::Key_Home),     wheel(-60),        wheel(-60),        wheel(120)};
    EXPECT_EQ(fitted, (std::vector<int>{1, 2, 1, engine.PageCount() - 1, 0, 0, 1, 0}));
    // Zoomed in, the arrows and the wheel scroll the sheet; the page stays.
    form->ZoomBox->setCurrentIndex(9);
    form->ZoomBoxChange();
    EXPECT_EQ(key(Qt::Key_Down) + wheel(-120), 0);
    EXPECT_GT(form->ScrollBox1->verticalScrollBar()->value(), 0);
    // After the zoom list took the focus: "Fit To Page" chosen with an arrow gives the arrows
    // back to the page view; the page keys turn pages wherever the focus is.
    QApplication::setActiveWindow(form.get());
    form->ZoomBox->setCurrentIndex(1);
    form->ZoomBox->setFocus();
    QTest::keyClick(form->ZoomBox, Qt::Key_Up);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_EQ(form->CurrentPage, 1);
    form->ZoomBox->setFocus();
    QTest::keyClick(form->ZoomBox, Qt::Key_End);
    QTest::keyClick(form->FitWidthBut, Qt::Key_PageUp);
    EXPECT_EQ(form->CurrentPage, engine.PageCount() - 2);
    EXPECT_EQ(form->ZoomBox->currentIndex(), 0);
}

TEST_F(PreviewWindow, LayoutFitsTheSheetAndFixedZoomsShowRealSize)
{
    open(3);
    const double ppi = form->logicalDpiY();
    // Fit To Page: one sheet's height plus a 20-pixel border fills the visible height.
    EXPECT_TRUE(form->FitPageBut->isChecked());
    EXPECT_DOUBLE_EQ(form->ZoomFactor, (client().height() - 20) / ppi / 11.0);
    EXPECT_EQ(form->PagePanel->height(), int(ppi * form->ZoomFactor * 11));
    // "100%": Letter at 600 dots per inch on the screen is 8.5 x 11 inches of screen pixels.
    form->ZoomBox->setCurrentIndex(6);
    form->ZoomBoxChange();
    EXPECT_FALSE(form->FitPageBut->isChecked());
    if (ppi == 96) {
        EXPECT_EQ(form->PagePanel->size(), QSize(816, 1056));
    }
    EXPECT_EQ(form->PagePanel->size(), QSize(int(ppi * 8.5), int(ppi * 11)));
    EXPECT_EQ(form->PagePanel->pos().y(), 10);
    EXPECT_EQ(form->ZoomLabel->text(), "100%");
    // A resize with a fixed percentage only re-centres; with Fit To Page it re-fits.
    form->resize(1200, 700);
    QApplication::processEvents();
    EXPECT_EQ(form->PagePanel->size(), QSize(int(ppi * 8.5), int(ppi * 11)));
    EXPECT_EQ(form->PagePanel->x(), form->ContainPanel->width() / 2 - int(ppi * 8.5) / 2);
    form->FitPageBut->click();
    const int fitted = form->PagePanel->height();
    form->resize(1200, 500);
    QApplication::processEvents();
    EXPECT_LT(form->PagePanel->height(), fitted);
    EXPECT_EQ(form->PagePanel->height(), int(ppi * ((client().height() - 20) / ppi / 11.0) * 11));
}

TEST_F(PreviewWindow, TwoPagesOnlyWithFitToPage)
{
    open(200);
    form->FitWidthBut->click();
    EXPECT_EQ(form->ZoomBox->currentIndex(), 1);
    EXPECT_TRUE(form->FitWidthBut->isChecked());
    form->TwoPageBut->click();
    EXPECT_EQ(form->ZoomBox->currentIndex(), 0);
    EXPECT_TRUE(form->FitPageBut->isChecked());
    EXPECT_TRUE(form->PagePanel2->isVisible());
    EXPECT_EQ(form->PagePanel2->x(), form->PagePanel->x() + form->PagePanel->width() + 20);
    // Any other zoom entry returns to one page.
    const int index = 4;
    form->ZoomBox->setCurrentIndex(index);
    emit form->ZoomBox->activated(index);
    EXPECT_TRUE(form->OnePageBut->isChecked());
    EXPECT_FALSE(form->PagePanel2->isVisible());
    EXPECT_DOUBLE_EQ(form->ZoomFactor, 0.5);
}

TEST_F(PreviewWindow, ZoomToolClicksMultiplyAndDivideByOneAndAHalf)
{
    open(3);
    form->ZoomBox->setCurrentIndex(6);
    form->ZoomBoxChange();
    for (int i = 0; i < 3; ++i)
        click(Qt::LeftButton, QPoint(form->PB1->width() / 2, form->PB1->height() / 3));
    EXPECT_DOUBLE_EQ(form->ZoomFactor, 3.375);
    EXPECT_EQ(form->ZoomBox->currentText(), "Custom");
    EXPECT_EQ(form->ZoomLabel->text(), "338%");
    click(Qt::RightButton, QPoint(10, 10));
    EXPECT_DOUBLE_EQ(form->ZoomFactor, 2.25);
    click(Qt::LeftButton | Qt::RightButton, QPoint(10, 10));
    EXPECT_DOUBLE_EQ(form->ZoomFactor, 2.25);
    // The clicked point comes to the view's centre (as far as the scroll range allows).
    const int y = form->PB1->height() / 2;
    click(Qt::LeftButton, QPoint(form->PB1->width() / 2, y));
    const int expected = int(form->PagePanel->height() * (float(y) / (form->PagePanel->height() / 1.5))) - form->ScrollBox1->height() / 2;
    EXPECT_EQ(form->ScrollBox1->verticalScrollBar()->value(),
              std::clamp(expected, 0, form->ScrollBox1->verticalScrollBar()->maximum()));
}

TEST_F(PreviewWindow, HandToolDragsThePageUnderTheMouse)
{
    open(3);
    form->ZoomBox->setCurrentIndex(11);
    form->ZoomBoxChange();
    form->HandCursorBut->click();
    EXPECT_EQ(form->PB1->cursor().shape(), Qt::PointingHandCursor);
    QScrollBar *h = form->ScrollBox1->horizontalScrollBar();
    QScrollBar *v = form->ScrollBox1->verticalScrollBar();
    h->setValue(300);
    v->setValue(400);
    const double zoom = form->ZoomFactor;
    auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        QMouseEvent e(type, at, form->PB1->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(form->PB1, &e);
    };
    send(QEvent::MouseButtonPress, QPoint(500, 600), Qt::LeftButton);
    EXPECT_TRUE(form->Dragging);
    send(QEvent::MouseMove, QPoint(450, 560), Qt::LeftButton);
    EXPECT_EQ(h->value(), 350);
    EXPECT_EQ(v->value(), 440);
    send(QEvent::MouseButtonRelease, QPoint(450, 560), Qt::NoButton);
    EXPECT_FALSE(form->Dragging);
    send(QEvent::MouseMove, QPoint(0, 0), Qt::NoButton);
    EXPECT_EQ(h->value(), 350);
    EXPECT_DOUBLE_EQ(form->ZoomFactor, zoom); // the hand does not zoom
    form->ZoomCursorBut->click();
    EXPECT_EQ(form->PB1->cursor().shape(), Qt::BitmapCursor);
}

TEST_F(PreviewWindow, GridHasOneInchSquaresFromTheTopLeftCorner)
{
    open(1);
    form->ZoomBox->setCurrentIndex(6);
    form->ZoomBoxChange();
    form->GridBut->click();
    const QImage view = form->PB1->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int lastRow = -1;
    // Sample away from text: a row and column in the right and bottom margins.
    EXPECT_EQ(silverRuns(view, true, view.height() - 20), 8);
    EXPECT_EQ(silverRuns(view, false, view.width() - 20, &lastRow), 11);
    EXPECT_EQ(lastRow, view.height() - 1); // the eleventh line on the bottom edge
    form->GridBut->click();
    EXPECT_EQ(silverRuns(form->PB1->grab().toImage().convertToFormat(QImage::Format_RGB32), true, view.height() - 20), 0);
}

TEST_F(PreviewWindow, PreviewTextsReplaceHintsCaptionsAndZoomEntries)
{
    QTextDocument doc;
    doc.setPlainText("x");
    engine.PrintRichText(doc);
    LanguageFilePath = QString(LETRAFEX_DATA) + "/LScripts/German.lng";
    const QStringList keys{"First Page", "Last Page", "Previous Page", "Next Page", "Fit Page", "Fit Width", "Print",
                           "Grid", "ZoomCursor", "OnePage", "TwoPage", "CloseButton Hint", "CloseButton Caption",
                           "Caption", "ZoomboxItems"};
    QStringList texts;
    for (const QString &key : keys)
        texts << LngText("Print Preview", key);
    engine.PreviewTexts = toCommaText(texts);
    ScriptedDialogs dialogs;
    int shown = 0;
    dialogs.onExec = [&](QDialog &dialog) {
        auto &f = dynamic_cast<TPreviewForm &>(dialog);
        ++shown;
        EXPECT_EQ(f.FirstPageSpeed->toolTip(), texts[0]);
        EXPECT_EQ(f.LastPageSpeed->toolTip(), texts[1]);
        EXPECT_EQ(f.TwoPageBut->toolTip(), texts[10]);
        EXPECT_EQ(f.CloseBut->text(), texts[12]);
        EXPECT_EQ(f.windowTitle(), texts[13]);
        EXPECT_EQ(f.ZoomBox->count(), 12);
        EXPECT_EQ(f.ZoomBox->itemText(6), "100%");
        // The hints the preview texts leave out are German too, with a single "&".
        EXPECT_TRUE(f.CurPageLabel->toolTip().startsWith("Zeigt"));
        EXPECT_TRUE(f.PB1->toolTip().startsWith("Seitenansicht"));
        EXPECT_TRUE(f.PB1->toolTip().contains(" & "));
        return 0;
    };
    engine.Preview();

    // A language without the texts: every key stands for its text.
    LanguageFilePath = "/nonexistent.lng";
    texts.clear();
    for (const QString &key : keys)
        texts << LngText("Print Preview", key);
    engine.PreviewTexts = toCommaText(texts);
    engine.TextOptions.SetPageNumText(LngText("Print Preview", "Page"));
    dialogs.onExec = [&](QDialog &dialog) {
        auto &f = dynamic_cast<TPreviewForm &>(dialog);
        ++shown;
        EXPECT_EQ(f.CloseBut->text(), "CloseButton Caption");
        EXPECT_EQ(f.windowTitle(), "Caption");
        EXPECT_EQ(f.ZoomBox->count(), 1);
        EXPECT_EQ(f.ZoomBox->itemText(0), "ZoomboxItems");
        EXPECT_EQ(f.PageBox->title(), "Page");
        f.ScrollBox1Resize();
        EXPECT_TRUE(f.FitPageBut->isChecked());
        return 0;
    };
    engine.Preview();

    // No texts, or a short list: the defaults stay where nothing was given.
    engine.PreviewTexts = "One,Two";
    dialogs.onExec = [&](QDialog &dialog) {
        auto &f = dynamic_cast<TPreviewForm &>(dialog);
        ++shown;
        EXPECT_EQ(f.FirstPageSpeed->toolTip(), "One");
        EXPECT_EQ(f.LastPageSpeed->toolTip(), "Two");
        EXPECT_EQ(f.PrevPageSpeed->toolTip(), "Move to Previous Page in Document");
        EXPECT_EQ(f.CloseBut->text(), "Exit");
        EXPECT_EQ(f.windowTitle(), "Print Preview");
        EXPECT_EQ(f.ZoomBox->count(), 12);
        return 0;
    };
    engine.Preview();
    LanguageFilePath.clear();
    EXPECT_EQ(shown, 3);
}

TEST_F(PreviewWindow, EngineSettingsPrepareTheWindowAndRecordingRefusesIt)
{
    engine.ShowGrid = true;
    engine.ZoomOption = zoTwoPages;
    open(200);
    EXPECT_TRUE(form->GridBut->isChecked());
    EXPECT_TRUE(form->TwoPageBut->isChecked());
    EXPECT_TRUE(form->PagePanel2->isVisible());
    engine.ZoomOption = zoFitToWidth;
    EXPECT_EQ(engine.CreatePreviewForm()->ZoomBox->currentIndex(), 1);
    engine.BeginDoc();
    EXPECT_THROW(engine.CreatePreviewForm(), TAssertionError);
    EXPECT_THROW(engine.Preview(), TAssertionError);
    engine.EndDoc();
}
