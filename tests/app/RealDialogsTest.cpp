// The platform's colour and font dialogs themselves, opened from the windows that use them:
// what they show when they open, and what accepting them does. The scripted dialog service
// answers everything else; these two go through the real service.
#include "ScriptedDialogs.h"
#include "TestProgramFolder.h"
#include "app/MainWindow.h"
#include "background/BackgroundForm.h"
#include "ui/Controls.h"
#include "ui/OptionsForm.h"
#include "WindowControls.h"

#include <QApplication>
#include <QColorDialog>
#include <QFontDialog>
#include <QFontInfo>
#include <QSpinBox>
#include <QTextEdit>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

// Runs open(), which shows a modal dialog of type D; once that dialog runs, answer(dialog)
// reads it and ends it. Looking for the dialog is repeated from the event loop until it is
// found, so nothing waits on a clock; if it never appears, open() has returned by itself.
template <class D>
void answerRealDialog(const std::function<void()> &open, const std::function<void(D &)> &answer)
{
    bool answered = false;
    QTimer watcher;
    watcher.setInterval(0);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        D *dialog = qobject_cast<D *>(QApplication::activeModalWidget());
        for (QWidget *w : QApplication::topLevelWidgets())
            if (!dialog && w->isVisible())
                dialog = qobject_cast<D *>(w);
        if (!dialog)
            return;
        watcher.stop();
        answered = true;
        answer(*dialog);
    });
    watcher.start();
    open();
    watcher.stop();
    EXPECT_TRUE(answered) << "the dialog did not open";
}

class RealDialogs : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The colour and font dialogs are the real ones; message boxes stay scripted.
        dialogs.onColor = [this](QColor &c) { return real.chooseColor(c, window.get()); };
        dialogs.onFont = [this](QFont &f) { return real.chooseFont(f, window.get()); };
        window = std::make_unique<TLetrafex>();
        window->createSecondaryWindows();
        window->show();
    }
    void TearDown() override
    {
        ProgramOptions.noExitDialog = true;
        window->close();
        window.reset();
    }

    TestProgramFolder program;
    ScriptedDialogs dialogs;
    DialogService real;
    std::unique_ptr<TLetrafex> window;
};

} // namespace

TEST_F(RealDialogs, ColourDialogsOpenOnTheShapesColourOrOnTheBackgroundPagesLastColour)
{
    QStringList shown;
    // Reads the colour the dialog opens on, then confirms next (or cancels when invalid).
    auto pick = [&](TShape *shape, const std::function<void(TShape *)> &click, QColor next) {
        answerRealDialog<QColorDialog>([&] { click(shape); }, [&](QColorDialog &d) {
            shown << d.currentColor().name();
            if (next.isValid()) {
                d.setCurrentColor(next);
                d.accept();
            } else {
                d.reject();
            }
        });
    };
    auto mainShape = [&](TShape *s) { window->StartColorMouseDown(s); };
    control<TShape>(*window, "EndColor")->setBrushColor(makeColor(10, 120, 200));
    pick(control<TShape>(*window, "EndColor"), mainShape, QColor(1, 2, 3));
    EXPECT_EQ(control<TShape>(*window, "EndColor")->brushColor(), makeColor(1, 2, 3));
    pick(control<TShape>(*window, "StartColor"), mainShape, QColor());
    EXPECT_EQ(control<TShape>(*window, "StartColor")->brushColor(), Colors::clYellow);

    auto optionsShape = [&](TShape *s) { control<TOptionsForm>(*window, "OptionsForm")->WindowColorMouseDown(s); };
    pick(control<TOptionsForm>(*window, "OptionsForm")->MEndColor, optionsShape, QColor());
    // A system colour opens resolved to what it shows.
    control<TOptionsForm>(*window, "OptionsForm")->WindowColor->setBrushColor(Colors::clBtnFace);
    pick(control<TOptionsForm>(*window, "OptionsForm")->WindowColor, optionsShape, QColor());

    // The background page reopens on the colour its dialog last returned.
    TBackgroundForm *bg = control<TBackgroundForm>(*window, "BackgroundForm");
    auto bgShape = [&](TShape *s) { bg->BgStartColorMouseDown(s); };
    pick(bg->BgStartColor, bgShape, QColor(200, 0, 0));
    pick(bg->BgEndColor, bgShape, QColor());
    EXPECT_EQ(bg->BgStartColor->brushColor(), makeColor(200, 0, 0));
    EXPECT_EQ(bg->BgEndColor->brushColor(), Colors::clBlue);

    EXPECT_EQ(shown.join(' ').toStdString(),
              QStringList({"#0a78c8", "#ffff00", "#ff00ff", toQColor(resolveColor(Colors::clBtnFace)).name(),
                           "#000000", "#c80000"})
                  .join(' ')
                  .toStdString());
}

TEST_F(RealDialogs, TheFontDialogOpensOnTheFontTheItemIsDrawnWithAndOkKeepsIt)
{
    const QString drawnFamily = QFontInfo(QFont(QStringLiteral("Arial"))).family();
    ASSERT_EQ(control<QTextEdit>(*window, "TextMemo")->font().family(), "Arial");
    ASSERT_EQ(control<TSpinEdit>(*window, "FontSizeEdit")->value(), 48);
    auto openAndAccept = [&] {
        QFont opened;
        answerRealDialog<QFontDialog>([&] { window->FontButtonClick(); }, [&](QFontDialog &d) {
            opened = d.currentFont();
            d.accept();
        });
        return opened;
    };

    const QFont regular = openAndAccept();
    EXPECT_EQ(regular.family().toStdString(), drawnFamily.toStdString());
    EXPECT_FALSE(regular.bold());
    EXPECT_FALSE(regular.italic());
    EXPECT_EQ(regular.pointSize(), 48);
    // Accepted unchanged: the item keeps the name it was given, its size and its style.
    EXPECT_EQ(window->gatherAttributes().fontName, "Arial");
    EXPECT_EQ(window->gatherAttributes().styleSet, 0);
    EXPECT_EQ(control<TSpinEdit>(*window, "FontSizeEdit")->value(), 48);

    window->BoldButtonClick();
    window->ItalicButtonClick();
    const int boldItalic = window->gatherAttributes().styleSet;
    control<TSpinEdit>(*window, "FontSizeEdit")->setValue(30);
    const QFont styled = openAndAccept();
    EXPECT_EQ(styled.family().toStdString(), drawnFamily.toStdString());
    EXPECT_TRUE(styled.bold());
    EXPECT_TRUE(styled.italic());
    EXPECT_EQ(styled.pointSize(), 30);
    EXPECT_EQ(window->gatherAttributes().fontName, "Arial");
    EXPECT_EQ(window->gatherAttributes().styleSet, boldItalic);
    EXPECT_EQ(control<TSpinEdit>(*window, "FontSizeEdit")->value(), 30);
}
