// The text attributes as typed and placed: size and depth fields keep typed values in their
// ranges, positions that are no whole numbers are refused, and the drag preview covers the
// front face exactly where the painter draws it.
#include "PainterTestSupport.h"
#include "ScriptedDialogs.h"
#include "TestProgramFolder.h"
#include "app/MainWindow.h"
#include "ui/Controls.h"
#include "ui/ImageWidget.h"
#include "ui/MessageDialogs.h"
#include "program/ProgramOptions.h"
#include "ui/SplashScreen.h"
#include "WindowControls.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
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
        const Raster &pic = control<TImage>(*window, "TitleImage")->picture();
        Raster shown(pic.width(), pic.height());
        control<TPreviewLabel>(*window, "PreviewLabel")->render(&shown.paintable(), control<TPreviewLabel>(*window, "PreviewLabel")->pos(), QRegion(), QWidget::RenderFlags());
        return inkBox(shown);
    }
    TestProgramFolder program;
    ScriptedDialogs dialogs;
    std::unique_ptr<TLetrafex> window;
};
} // namespace

TEST_F(TextFields, TypedSizesAndDepthsAreMovedIntoTheirRanges)
{
    type(control<TSpinEdit>(*window, "FontSizeEdit"), "200");
    pressEnter(control<TSpinEdit>(*window, "FontSizeEdit"));
    EXPECT_EQ(control<TSpinEdit>(*window, "FontSizeEdit")->value(), 100);
    type(control<TSpinEdit>(*window, "FontDepth"), "75");
    pressEnter(control<TSpinEdit>(*window, "FontDepth"));
    EXPECT_EQ(control<TSpinEdit>(*window, "FontDepth")->value(), 50);

    // An emptied field takes the lower bound, not its old value.
    type(control<TSpinEdit>(*window, "FontSizeEdit"), "");
    pressEnter(control<TSpinEdit>(*window, "FontSizeEdit"));
    EXPECT_EQ(control<TSpinEdit>(*window, "FontSizeEdit")->value(), 8);
    type(control<TSpinEdit>(*window, "FontDepth"), "");
    pressEnter(control<TSpinEdit>(*window, "FontDepth"));
    EXPECT_EQ(control<TSpinEdit>(*window, "FontDepth")->value(), 0);

    // A style click ends the typing too (the button takes no focus from the field).
    control<QTextEdit>(*window, "TextMemo")->setPlainText("Deep");
    type(control<TSpinEdit>(*window, "FontSizeEdit"), "150");
    type(control<TSpinEdit>(*window, "FontDepth"), "75");
    window->Text3DButtonClick(control<QToolButton>(*window, "TextFlatButton"));
    EXPECT_EQ(window->composition().items().rows[0].cells[CellFontSize], "100");
    EXPECT_EQ(window->composition().items().rows[0].cells[CellFontDepth], "50");
    EXPECT_EQ(control<TSpinEdit>(*window, "FontDepth")->value(), 50);
}

TEST_F(TextFields, APositionThatIsNoWholeNumberIsRefusedVisibly)
{
    control<QTextEdit>(*window, "TextMemo")->setPlainText("T");
    window->TitleImageMouseDown(100, 50);
    ASSERT_EQ(control<TNumberEdit>(*window, "XEdit")->text(), "97");
    const QColor normalBase = control<TNumberEdit>(*window, "XEdit")->palette().color(QPalette::Base);

    type(control<TNumberEdit>(*window, "XEdit"), "12.5");
    EXPECT_EQ(control<TNumberEdit>(*window, "XEdit")->text(), "12.5");
    EXPECT_TRUE(control<TNumberEdit>(*window, "XEdit")->showsInvalid());
    EXPECT_NE(control<TNumberEdit>(*window, "XEdit")->palette().color(QPalette::Base), normalBase);
    pressEnter(control<TNumberEdit>(*window, "XEdit"));
    EXPECT_EQ(control<TNumberEdit>(*window, "XEdit")->text(), "97");
    EXPECT_FALSE(control<TNumberEdit>(*window, "XEdit")->showsInvalid());
    EXPECT_EQ(control<TNumberEdit>(*window, "XEdit")->palette().color(QPalette::Base), normalBase);

    // Drawn while the refused text is still in the field: the item stays at 97, not at 0.
    type(control<TNumberEdit>(*window, "XEdit"), "12.5");
    control<QToolButton>(*window, "TextDownButton")->click();
    window->Text3DButtonClick(control<QToolButton>(*window, "TextFlatButton"));
    EXPECT_EQ(control<TNumberEdit>(*window, "XEdit")->text(), "97");
    EXPECT_EQ(window->composition().items().rows[0].cells[CellXPos], "97");
    const Raster &pic = control<TImage>(*window, "TitleImage")->picture();
    TestLayers ref(pic.width(), pic.height());
    PaintGradientText(ref.layers(), makeItem({"T"}, 10, DirDown), StyleFlat, 97, 45, Colors::clGreen, Colors::clYellow);
    EXPECT_TRUE(pic.samePixels(ref.picture()));

    // A whole number typed is taken.
    type(control<TNumberEdit>(*window, "YEdit"), "-12");
    window->Text3DButtonClick(control<QToolButton>(*window, "TextFlatButton"));
    EXPECT_EQ(window->composition().items().rows[0].cells[CellYPos], "-12");
    EXPECT_FALSE(control<TNumberEdit>(*window, "YEdit")->showsInvalid());
}

TEST_F(TextFields, ThePreviewCoversTheFrontFaceAsDrawn)
{
    window->ResizeLayers(420, 300);
    window->InitPics();
    // One colour for the preview (end colour) and the front face (start colour).
    control<TShape>(*window, "StartColor")->setBrushColor(Colors::clBlack);
    control<TShape>(*window, "EndColor")->setBrushColor(Colors::clBlack);
    struct Case { QString text; int size; int depth; int alignment; bool boldItalic = false; };
    const Case cases[] = {{"Ag", 48, 0, AlignLeftCode},
                          {"Ag", 48, 7, AlignLeftCode},
                          {"Ag", 30, 23, AlignLeftCode},
                          // Two lines centred, at a size drawn from hinted outlines.
                          {"Wide line\nab", 60, 12, AlignCenterCode},
                          // Slanted letters reaching past their advances on both sides.
                          {"jump If\nfly", 72, 5, AlignRightCode, true}};
    for (const Case &c : cases) {
        if (c.boldItalic) {
            window->BoldButtonClick();
            window->ItalicButtonClick();
        }
        control<QTextEdit>(*window, "TextMemo")->setPlainText(c.text);
        control<TSpinEdit>(*window, "FontSizeEdit")->setValue(c.size);
        control<TSpinEdit>(*window, "FontDepth")->setValue(c.depth);
        window->setAlignmentCode(c.alignment);
        for (int direction = DirUpLeft; direction <= DirDownRight; ++direction) {
            SCOPED_TRACE(c.text.toStdString() + " depth " + std::to_string(c.depth) + " direction " +
                         std::to_string(direction));
            control<QButtonGroup>(*window, "directionGroup")->button(direction)->click();
            window->TitleImageMouseDown(160, 140);
            const QRect preview = previewInk();
            ASSERT_FALSE(preview.isEmpty());
            window->Text3DButtonClick(control<QToolButton>(*window, "TextFlatButton"));
            EXPECT_EQ(preview, inkBox(control<TImage>(*window, "TitleImage")->picture()));
        }
    }
}

// Content takes pasted text as plain text, and refuses a paste that would make it longer
// than an item holds at once, with a message naming the limit; undo takes a paste back.
TEST_F(TextFields, ContentPastesPlainTextUpToItsLimitAndRefusesMoreAtOnce)
{
    auto *memo = control<QTextEdit>(*window, "TextMemo");
    QStringList messages;
    dialogs.onExec = [&](QDialog &d) {
        messages << static_cast<TMessageForm &>(d).messageLabel()->text();
        return int(mrOk);
    };
    const auto paste = [&](const QString &text, const QString &html = {}) {
        auto *data = new QMimeData;
        data->setText(text);
        if (!html.isEmpty())
            data->setHtml(html);
        QGuiApplication::clipboard()->setMimeData(data);
        memo->paste();
        QCoreApplication::processEvents();
    };
    type(memo, "Hi");
    paste("bold", "<b>bold</b>");
    EXPECT_EQ(memo->toPlainText(), "Hibold");
    EXPECT_FALSE(memo->toHtml().contains("font-weight:700"));
    memo->undo();
    EXPECT_EQ(memo->toPlainText(), "Hi");

    paste(QString(MaxTextLength - 1, QLatin1Char('x')));
    EXPECT_EQ(memo->toPlainText(), "Hi");
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QString::number(MaxTextLength)) && messages[0].contains(QString::number(MaxTextLength + 1)))
        << messages[0].toStdString();
    // Replacing a selection counts what stays: the text may reach the limit exactly.
    memo->selectAll();
    paste(QString(MaxTextLength, QLatin1Char('y')));
    EXPECT_EQ(memo->toPlainText().size(), MaxTextLength);
    EXPECT_EQ(messages.size(), 1);
    // "\r\n" and a lone "\r" are one line break each, as the field keeps them.
    memo->selectAll();
    paste(QString(MaxTextLength - 4, QLatin1Char('z')) + "\r\nb\rc");
    EXPECT_EQ(memo->toPlainText(), QString(MaxTextLength - 4, QLatin1Char('z')) + "\nb\nc");
    EXPECT_EQ(messages.size(), 1);
}
