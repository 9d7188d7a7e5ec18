// Redrawing while editing (general option 3): edits of a drawn item redraw at once, a
// burst of edits is one undo step, and with the option off nothing changes.
#include "ScriptedDialogs.h"
#include "TestProgramFolder.h"
#include "app/MainWindow.h"
#include "core/IniFile.h"
#include "ui/Controls.h"
#include "ui/ImageWidget.h"
#include <QLabel>
#include "ui/OptionsForm.h"
#include "program/Settings.h"
#include "WindowControls.h"

#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <memory>

namespace {

class LiveRedraw : public ::testing::Test
{
protected:
    void SetUp() override { start(true); }
    void TearDown() override
    {
        ProgramOptions.noExitDialog = true;
        window.reset();
    }
    void start(bool option)
    {
        window = std::make_unique<TLetrafex>();
        window->createSecondaryWindows();
        window->show();
        ProgramOptions.redrawWhileEditing = option;
    }
    // Types text at the end of the editor, one character at a time, as keystrokes do.
    void type(const QString &text)
    {
        for (QChar c : text) {
            QTextCursor cursor = control<QTextEdit>(*window, "TextMemo")->textCursor();
            cursor.movePosition(QTextCursor::End);
            cursor.insertText(QString(c));
            control<QTextEdit>(*window, "TextMemo")->setTextCursor(cursor);
        }
    }
    // What the frame timer does when its frame comes.
    void nextFrame()
    {
        if (framePending())
            window->LiveRedrawTimer();
    }
    // Whether a redraw waits for the next frame (the frame timer runs).
    bool framePending() const
    {
        for (QTimer *t : window->findChildren<QTimer *>())
            if (t->isActive() && t->interval() < 100)
                return true;
        return false;
    }
    void drawFlat(const QString &text, int x, int y)
    {
        control<QTextEdit>(*window, "TextMemo")->setPlainText(text);
        control<TNumberEdit>(*window, "XEdit")->setText(QString::number(x));
        control<TNumberEdit>(*window, "YEdit")->setText(QString::number(y));
        control<QToolButton>(*window, "TextFlatButton")->click();
    }
    Raster &picture() { return control<TImage>(*window, "TitleImage")->picture(); }

    TestProgramFolder program;
    ScriptedDialogs dialogs;
    std::unique_ptr<TLetrafex> window;
};

} // namespace

TEST_F(LiveRedraw, TypingRedrawsEachFrameAndTheBurstIsOneUndoStep)
{
    drawFlat("Live", 10, 10);
    const int steps = window->composition().undo().count();
    const Raster before = picture();
    type("ly type");
    EXPECT_TRUE(framePending());
    nextFrame();
    EXPECT_FALSE(picture().samePixels(before));
    type(" wins");
    nextFrame();
    // The picture shows the text itself; no preview of it floats over the picture.
    EXPECT_TRUE(control<TPreviewLabel>(*window, "PreviewLabel")->text().isEmpty());
    // The caret stays where the typing left it; the editor was not reloaded.
    EXPECT_EQ(control<QTextEdit>(*window, "TextMemo")->textCursor().position(), control<QTextEdit>(*window, "TextMemo")->toPlainText().size());
    EXPECT_EQ(window->composition().undo().count(), steps);
    window->LiveEditPause();
    EXPECT_EQ(window->composition().undo().count(), steps + 1);
    const Raster live = picture();

    // The same as typing and then clicking the style button.
    control<QToolButton>(*window, "UndoButton")->click();
    EXPECT_TRUE(picture().samePixels(before));
    control<QToolButton>(*window, "RedoButton")->click();
    EXPECT_TRUE(picture().samePixels(live));
    control<QToolButton>(*window, "TextFlatButton")->click();
    EXPECT_TRUE(picture().samePixels(live));
}

TEST_F(LiveRedraw, EveryKindOfEditRedrawsInTheItemsOwnStyle)
{
    control<TSpinEdit>(*window, "FontDepth")->setValue(6);
    control<QTextEdit>(*window, "TextMemo")->setPlainText("Deep");
    control<QToolButton>(*window, "Text3dButton")->click();
    control<QToolButton>(*window, "TextFlatButton")->setFocus();
    Raster last = picture();
    auto changed = [&] {
        nextFrame();
        const bool differs = !picture().samePixels(last);
        last = picture();
        return differs;
    };
    control<TSpinEdit>(*window, "FontDepth")->setValue(12);
    EXPECT_TRUE(changed()) << "depth";
    control<TSpinEdit>(*window, "FontSizeEdit")->setValue(30);
    EXPECT_TRUE(changed()) << "size";
    control<TNumberEdit>(*window, "XEdit")->setText("40");
    EXPECT_TRUE(changed()) << "position";
    control<QToolButton>(*window, "TextDownButton")->click();
    EXPECT_TRUE(changed()) << "direction";
    control<QToolButton>(*window, "BoldButton")->click();
    EXPECT_TRUE(changed()) << "style";
    control<QTextEdit>(*window, "TextMemo")->setPlainText("Deep\nText");
    control<QToolButton>(*window, "AlignRightButton")->click();
    EXPECT_TRUE(changed()) << "alignment";
    dialogs.onColor = [](QColor &c) { c = QColor(200, 0, 0); return true; };
    emit control<TShape>(*window, "StartColor")->pressed();
    EXPECT_TRUE(changed()) << "colour";
    // Still drawn in 3D, the style last chosen for the item.
    EXPECT_EQ(window->composition().items().rows[0].cells[CellType], "1");
    window->LiveEditPause();
    // Drawing again with the style button changes nothing: the live picture was exact.
    control<QToolButton>(*window, "Text3dButton")->click();
    EXPECT_TRUE(picture().samePixels(last));
}

TEST_F(LiveRedraw, AnItemNeverDrawnWaitsForItsFirstStyleClick)
{
    drawFlat("First", 10, 10);
    const Raster drawn = picture();
    const int steps = window->composition().undo().count();
    control<TRadioGroup>(*window, "TextNoBox")->setItemIndex(1);
    window->TextNoBoxClick();
    type("Second");
    control<TNumberEdit>(*window, "XEdit")->setText("100");
    EXPECT_FALSE(framePending());
    EXPECT_TRUE(picture().samePixels(drawn));
    EXPECT_EQ(window->composition().undo().count(), steps);
    EXPECT_FALSE(window->itemDrawn(1));
}

TEST_F(LiveRedraw, SwitchingItemsOrLeavingThePageEndsTheBurst)
{
    drawFlat("One", 10, 10);
    int steps = window->composition().undo().count();
    type("s");
    nextFrame();
    control<TRadioGroup>(*window, "TextNoBox")->setItemIndex(1);
    window->TextNoBoxClick();
    EXPECT_EQ(window->composition().undo().count(), steps + 1);
    EXPECT_FALSE(window->liveEditPending());

    control<TRadioGroup>(*window, "TextNoBox")->setItemIndex(0);
    window->TextNoBoxClick();
    steps = window->composition().undo().count();
    type("!");
    nextFrame();
    control<QListWidget>(*window, "SelectionView")->setCurrentRow(3);
    EXPECT_EQ(window->composition().undo().count(), steps + 1);
    control<QListWidget>(*window, "SelectionView")->setCurrentRow(0);
}

TEST_F(LiveRedraw, WithTheOptionOffNothingIsDrawnBeforeTheClick)
{
    ProgramOptions.redrawWhileEditing = false;
    drawFlat("Still", 10, 10);
    const Raster before = picture();
    const int steps = window->composition().undo().count();
    type(" here");
    control<TSpinEdit>(*window, "FontDepth")->setValue(20);
    EXPECT_FALSE(framePending());
    EXPECT_TRUE(picture().samePixels(before));
    EXPECT_EQ(window->composition().undo().count(), steps);
}

TEST_F(LiveRedraw, TheOptionIsOnTheOptionsPageAndSurvivesARestart)
{
    ProgramOptions.redrawWhileEditing = false;
    control<QListWidget>(*window, "SelectionView")->setCurrentRow(2);
    ASSERT_EQ(control<TOptionsForm>(*window, "OptionsForm")->GenOptListBox->count(), 3);
    control<TOptionsForm>(*window, "OptionsForm")->GenOptListBox->setChecked(2, true);
    control<QListWidget>(*window, "SelectionView")->setCurrentRow(0);
    EXPECT_TRUE(ProgramOptions.redrawWhileEditing);
    ProgramOptions.noExitDialog = true;
    window->close();
    window.reset();
    EXPECT_EQ(IniFile(settingsFilePath()).readInteger("Options", "General 3", 0), 1);
    ProgramOptions = TProgramOptions{};
    window = std::make_unique<TLetrafex>();
    EXPECT_TRUE(ProgramOptions.redrawWhileEditing);
}

// Closing the window releases the undo history: a redraw still waiting for its frame or
// for the pause must not run after that.
TEST_F(LiveRedraw, ClosingTheWindowStopsTheRedrawsThatWait)
{
    drawFlat("Live", 10, 10);
    type("ly");
    nextFrame();
    type("!");
    const QList<QTimer *> timers = window->findChildren<QTimer *>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(std::count_if(timers.begin(), timers.end(), [](QTimer *t) { return t->isActive(); }), 2);
    ProgramOptions.noExitDialog = true;
    ASSERT_TRUE(window->close());
    for (QTimer *t : timers)
        EXPECT_FALSE(t->isActive()) << t->interval();
}
