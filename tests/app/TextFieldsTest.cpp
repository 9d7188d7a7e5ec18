// The text attributes as typed and placed: size and depth fields keep typed values in their
// ranges, positions that are no whole numbers are refused, and the drag preview covers the
// front face exactly where the painter draws it.
#include "PainterTestSupport.h"
#include "ScriptedDialogs.h"
#include "TestProgramFolder.h"
#include "app/MainWindow.h"
#include "ui/Controls.h"
#include "ui/ImageWidget.h"
#include "ui/ProgramOptions.h"
#include "ui/SplashScreen.h"

#include <QApplication>
#include <QButtonGroup>
#include <QKeyEvent>
#include <QTextEdit>
#include <QToolButton>
#include <gtest/gtest.h>

#include <memory>

namespace {
class TextFields : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TSplashScreen::pause = [](int, int) {};
        window = std::make_unique<TLetrafex>();
        window->createSecondaryWindows();
        window->show();
    }
    void TearDown() override
    {
        ProgramOptions.noExitDialog = true;
        window.reset();
    }
    // Replaces the field's text by typing, as a user does, without ending the edit.
    static void type(QWidget *field, const QString &text)
    {
        QKeyEvent selectAll(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
        QApplication::sendEvent(field, &selectAll);
        QKeyEvent erase(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
        QApplication::sendEvent(field, &erase);
        for (QChar c : text) {
            QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(field, &key);
        }
    }
    static void pressEnter(QWidget *field)
    {
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(field, &enter);
    }
    // The preview as it shows over a white picture of the working picture's size.
    QRect previewInk() const
    {
        const Raster &pic = window->TitleImage->picture();
        Raster shown(pic.width(), pic.height());
        window->PreviewLabel->render(&shown.paintable(), window->PreviewLabel->pos(), QRegion(), QWidget::RenderFlags());
        return inkBox(shown);
    }
    TestProgramFolder program;
    ScriptedDialogs dialogs;
    std::unique_ptr<TLetrafex> window;
};
} // namespace

TEST_F(TextFields, TypedSizesAndDepthsAreMovedIntoTheirRanges)
{
    type(window->FontSizeEdit, "200");
    pressEnter(window->FontSizeEdit);
    EXPECT_EQ(window->FontSizeEdit->value(), 100);
    type(window->FontDepth, "75");
    pressEnter(window->FontDepth);
    EXPECT_EQ(window->FontDepth->value(), 50);

    // An emptied field takes the lower bound, not its old value.
    type(window->FontSizeEdit, "");
    pressEnter(window->FontSizeEdit);
    EXPECT_EQ(window->FontSizeEdit->value(), 8);
    type(window->FontDepth, "");
    pressEnter(window->FontDepth);
    EXPECT_EQ(window->FontDepth->value(), 0);

    // A style click ends the typing too (the button takes no focus from the field).
    window->TextMemo->setPlainText("Deep");
    type(window->FontSizeEdit, "150");
    type(window->FontDepth, "75");
    window->Text3DButtonClick(window->TextFlatButton);
    EXPECT_EQ(window->Items.rows[0].cells[CellFontSize], "100");
    EXPECT_EQ(window->Items.rows[0].cells[CellFontDepth], "50");
    EXPECT_EQ(window->FontDepth->value(), 50);
}

TEST_F(TextFields, APositionThatIsNoWholeNumberIsRefusedVisibly)
{
    window->TextMemo->setPlainText("T");
    window->TitleImageMouseDown(100, 50);
    ASSERT_EQ(window->XEdit->text(), "97");
    const QColor normalBase = window->XEdit->palette().color(QPalette::Base);

    type(window->XEdit, "12.5");
    EXPECT_EQ(window->XEdit->text(), "12.5");
    EXPECT_TRUE(window->XEdit->showsInvalid());
    EXPECT_NE(window->XEdit->palette().color(QPalette::Base), normalBase);
    pressEnter(window->XEdit);
    EXPECT_EQ(window->XEdit->text(), "97");
    EXPECT_FALSE(window->XEdit->showsInvalid());
    EXPECT_EQ(window->XEdit->palette().color(QPalette::Base), normalBase);

    // Drawn while the refused text is still in the field: the item stays at 97, not at 0.
    type(window->XEdit, "12.5");
    window->TextDownButton->click();
    window->Text3DButtonClick(window->TextFlatButton);
    EXPECT_EQ(window->XEdit->text(), "97");
    EXPECT_EQ(window->Items.rows[0].cells[CellXPos], "97");
    const Raster &pic = window->TitleImage->picture();
    TestLayers ref(pic.width(), pic.height());
    PaintGradientText(ref.layers(), makeItem({"T"}, 10, DirDown), StyleFlat, 97, 45, Colors::clGreen, Colors::clYellow);
    EXPECT_TRUE(pic.samePixels(ref.picture()));

    // A whole number typed is taken.
    type(window->YEdit, "-12");
    window->Text3DButtonClick(window->TextFlatButton);
    EXPECT_EQ(window->Items.rows[0].cells[CellYPos], "-12");
    EXPECT_FALSE(window->YEdit->showsInvalid());
}

TEST_F(TextFields, ThePreviewCoversTheFrontFaceAsDrawn)
{
    window->ResizeLayers(420, 300);
    window->InitPics();
    // One colour for the preview (end colour) and the front face (start colour).
    window->StartColor->setBrushColor(Colors::clBlack);
    window->EndColor->setBrushColor(Colors::clBlack);
    struct Case { QString text; int size; int depth; int alignment; };
    const Case cases[] = {{"Ag", 48, 0, AlignLeftCode},
                          {"Ag", 48, 7, AlignLeftCode},
                          {"Ag", 30, 23, AlignLeftCode},
                          // Two lines centred, at a size drawn from hinted outlines.
                          {"Wide line\nab", 60, 12, AlignCenterCode}};
    for (const Case &c : cases) {
        window->TextMemo->setPlainText(c.text);
        window->FontSizeEdit->setValue(c.size);
        window->FontDepth->setValue(c.depth);
        window->setAlignmentCode(c.alignment);
        for (int direction = DirUpLeft; direction <= DirDownRight; ++direction) {
            SCOPED_TRACE(c.text.toStdString() + " depth " + std::to_string(c.depth) + " direction " +
                         std::to_string(direction));
            window->directionGroup->button(direction)->click();
            window->TitleImageMouseDown(160, 140);
            const QRect preview = previewInk();
            ASSERT_FALSE(preview.isEmpty());
            window->Text3DButtonClick(window->TextFlatButton);
            EXPECT_EQ(preview, inkBox(window->TitleImage->picture()));
        }
    }
}
