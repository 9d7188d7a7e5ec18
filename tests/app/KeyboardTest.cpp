// The main window by keyboard: shortcuts per page, Tab through the fields, colour shapes,
// the window's own keys, the enabled state of Undo and Redo, and names for screen readers.
#include "ScriptedDialogs.h"
#include "TestProgramFolder.h"
#include "app/MainWindow.h"
#include "background/BackgroundForm.h"
#include "help/HelpForm.h"
#include "ui/AboutForm.h"
#include "ui/Controls.h"
#include "ui/ImageWidget.h"
#include "ui/MessageDialogs.h"
#include "ui/OptionsForm.h"
#include "program/ProgramOptions.h"
#include "ui/RichEdit.h"
#include "WindowControls.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {
class Keyboard : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window = std::make_unique<TLetrafex>();
        window->createSecondaryWindows();
        window->show();
        // Shortcuts and focus need the active window.
        QApplication::setActiveWindow(window.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        dialogs.execCount = 0; // the first start's language question
    }
    void TearDown() override
    {
        ProgramOptions.noExitDialog = true;
        window.reset();
    }
    void showPage(int entry) { control<QListWidget>(*window, "SelectionView")->setCurrentRow(entry); }
    // Where each Tab press from the page list leads, once round: the control's name, or
    // the name of the group a nameless control (a radio button) belongs to.
    QStringList tabRound()
    {
        control<QListWidget>(*window, "SelectionView")->setFocus();
        QStringList names;
        for (int i = 0; i < 100; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget *focus = QApplication::focusWidget();
            if (!focus || focus == control<QListWidget>(*window, "SelectionView"))
                break;
            const QString name = focus->objectName().isEmpty() ? focus->parentWidget()->objectName() : focus->objectName();
            if (names.isEmpty() || names.last() != name)
                names << name;
        }
        return names;
    }
    void useGerman()
    {
        ASSERT_TRUE(QFile::copy(QStringLiteral(LETRAFEX_DATA "/LScripts/German.lng"),
                                program.filePath(QStringLiteral("LScripts/German.lng"))));
        ProgramOptions.languageFile = QStringLiteral("German.lng");
        window->ApplyLanguage();
    }
    TestProgramFolder program;
    ScriptedDialogs dialogs;
    std::unique_ptr<TLetrafex> window;
};
} // namespace

TEST_F(Keyboard, PictureShortcutsActOnlyOnTheTextPageAndLeaveTextFieldsTheirClipboardKeys)
{
    int saves = 0, prints = 0;
    dialogs.onSave = [&](QString &, int &) { return ++saves, false; };
    dialogs.onPrinter = [&](QPrinter &) { return ++prints, false; };
    QClipboard *clipboard = QGuiApplication::clipboard();

    // The about page: Ctrl+C copies the selected credits, the picture keys do nothing.
    showPage(4);
    QPlainTextEdit *credits = control<TAboutForm>(*window, "AboutForm")->CreditsMemo;
    credits->setFocus();
    credits->selectAll();
    clipboard->clear();
    QTest::keyClick(credits, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), credits->toPlainText());
    EXPECT_FALSE(clipboard->mimeData()->hasImage());
    const QImage before = control<TImage>(*window, "TitleImage")->picture().toRgb32();
    clipboard->setImage(QImage(5, 5, QImage::Format_RGB32));
    for (Qt::Key key : {Qt::Key_O, Qt::Key_S, Qt::Key_P, Qt::Key_E, Qt::Key_V})
        QTest::keyClick(credits, key, Qt::ControlModifier);
    // The options page: Ctrl+O asks nothing.
    showPage(2);
    QTest::keyClick(control<TOptionsForm>(*window, "OptionsForm")->LngListBox, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(dialogs.execCount, 0);
    EXPECT_EQ(saves, 0);
    EXPECT_EQ(prints, 0);
    EXPECT_EQ(control<TImage>(*window, "TitleImage")->picture().toRgb32(), before);

    // The text page: the keys work, and copy and paste in the Content field are text.
    showPage(0);
    control<QToolButton>(*window, "PicLoadButton")->setFocus();
    QTest::keyClick(control<QToolButton>(*window, "PicLoadButton"), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(saves, 1);
    clipboard->clear();
    QTest::keyClick(control<QToolButton>(*window, "PicLoadButton"), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->image().size(), control<TImage>(*window, "TitleImage")->picture().toRgb32().size());
    control<QTextEdit>(*window, "TextMemo")->setFocus();
    control<QTextEdit>(*window, "TextMemo")->setPlainText("Letters");
    control<QTextEdit>(*window, "TextMemo")->selectAll();
    QTest::keyClick(control<QTextEdit>(*window, "TextMemo"), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), "Letters");
    control<QTextEdit>(*window, "TextMemo")->moveCursor(QTextCursor::End);
    QTest::keyClick(control<QTextEdit>(*window, "TextMemo"), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(control<QTextEdit>(*window, "TextMemo")->toPlainText(), "LettersLetters");
    EXPECT_EQ(control<TImage>(*window, "TitleImage")->picture().toRgb32(), before);
}

TEST_F(Keyboard, TabLeavesTheContentFieldWithoutTypingATab)
{
    control<QTextEdit>(*window, "TextMemo")->setFocus();
    QTest::keyClicks(control<QTextEdit>(*window, "TextMemo"), "Hi");
    QTest::keyClick(control<QTextEdit>(*window, "TextMemo"), Qt::Key_Tab);
    EXPECT_EQ(control<QTextEdit>(*window, "TextMemo")->toPlainText(), "Hi");
    EXPECT_EQ(QApplication::focusWidget(), control<QToolButton>(*window, "FontButton"));
    QTest::keyClick(control<QToolButton>(*window, "FontButton"), Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), control<QTextEdit>(*window, "TextMemo"));
}

TEST_F(Keyboard, SpaceOrEnterOnAColourShapeOpensItsDialogAndTheFocusIsFramed)
{
    int opened = 0;
    dialogs.onColor = [&](QColor &c) {
        ++opened;
        c = QColor(10 * opened, 20, 30);
        return true;
    };
    const QList<QPair<int, TShape *>> shapes{
        {0, control<TShape>(*window, "StartColor")},  {0, control<TShape>(*window, "EndColor")},
        {1, control<TBackgroundForm>(*window, "BackgroundForm")->BgStartColor}, {1, control<TBackgroundForm>(*window, "BackgroundForm")->BgEndColor},
        {2, control<TOptionsForm>(*window, "OptionsForm")->WindowColor}, {2, control<TOptionsForm>(*window, "OptionsForm")->MStartColor},
        {2, control<TOptionsForm>(*window, "OptionsForm")->MEndColor}};
    for (const auto &[page, shape] : shapes) {
        SCOPED_TRACE(shape->objectName().toStdString());
        showPage(page);
        shape->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(shape->hasFocus());
        const QImage framed = shape->grab().toImage();
        control<QListWidget>(*window, "SelectionView")->setFocus();
        EXPECT_NE(shape->grab().toImage(), framed);
        shape->setFocus(Qt::TabFocusReason);
        const int before = opened;
        QTest::keyClick(shape, Qt::Key_Space);
        EXPECT_EQ(opened, before + 1);
        EXPECT_EQ(shape->brushColor(), fromQColor(QColor(10 * opened, 20, 30)));
        QTest::keyClick(shape, Qt::Key_Return);
        QTest::keyClick(shape, Qt::Key_Enter, Qt::KeypadModifier);
        EXPECT_EQ(opened, before + 3);
        QTest::keyClick(shape, Qt::Key_A);
        EXPECT_EQ(opened, before + 3);
    }
}

TEST_F(Keyboard, F1OpensHelpF3RepeatsTheSearchAndCtrlQAsksToExit)
{
    control<QTextEdit>(*window, "TextMemo")->setFocus();
    QTest::keyClick(control<QTextEdit>(*window, "TextMemo"), Qt::Key_F1);
    EXPECT_EQ(control<QListWidget>(*window, "SelectionView")->currentRow(), 3);
    ASSERT_TRUE(control<THelpForm>(*window, "HelpForm")->isVisible());

    TRichEdit *text = control<THelpForm>(*window, "HelpForm")->HelpTextField;
    text->setPlainText("Find one, then find two.");
    text->setFocus();
    dialogs.onExec = [](QDialog &d) {
        d.findChild<QLineEdit *>("InputEdit")->setText("FIND");
        return int(mrOk);
    };
    // Nothing searched yet: F3 asks for the text.
    QTest::keyClick(text, Qt::Key_F3);
    EXPECT_EQ(dialogs.execCount, 1);
    EXPECT_EQ(text->textCursor().selectionStart(), 0);
    QTest::keyClick(text, Qt::Key_F3);
    EXPECT_EQ(dialogs.execCount, 1);
    EXPECT_EQ(text->textCursor().selectionStart(), 15);
    EXPECT_EQ(text->textCursor().selectedText(), "find");

    ProgramOptions.noExitDialog = false;
    QString question;
    dialogs.onExec = [&](QDialog &d) {
        question = static_cast<TMessageForm &>(d).messageLabel()->text();
        return int(mrNo);
    };
    QTest::keyClick(text, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(question, "Do you really want to exit the program?");
    EXPECT_TRUE(window->isVisible());
}

TEST_F(Keyboard, TabFollowsTheLayoutOnEveryPageBeforeAndAfterALanguageChange)
{
    const QStringList textPage{
        "sbxPicture", "PicLoadButton", "PicSaveButton", "SendClipboardButton", "GetClipboardButton", "PrintButton",
        "PicDeleteButton", "btnResizeImage", "ExportButton", "TextNoBox", "TextMemo", "FontButton", "BoldButton",
        "ItalicButton", "UnderLineButton", "AlignLeftButton", "FontSizeEdit", "FontDepth", "StartColor", "EndColor",
        "TextUpLeftButton", "SurfaceOpenButton", "XEdit", "YEdit", "OKButton"};
    const QStringList optionsPage{"GenOptListBox", "TextBoxPosBox", "WindowColor", "MStartColor",
                                  "MEndColor",     "LngListBox",    "OKButton"};
    const QStringList backgroundPage{"sbxBgPicture", "BgAddButton", "BgLoadButton", "BgClearButton", "btnResizeImage",
                                     "BgStartColor", "BgEndColor", "BgType1Button", "Texture1Button",
                                     "TextureOpenButton", "OKButton"};
    const QStringList helpPage{"HFilesListBox", "HTopicsView", "HelpTextField", "HelpPreviewButton",
                               "HelpPrintButton", "HelpFindButton", "OKButton"};
    auto check = [&] {
        showPage(0);
        EXPECT_EQ(tabRound(), textPage);
        showPage(1);
        EXPECT_EQ(tabRound(), backgroundPage);
        showPage(2);
        EXPECT_EQ(tabRound(), optionsPage);
        showPage(3);
        EXPECT_EQ(tabRound(), helpPage);
    };
    check();
    // German renames the radio items of Text# and of the menu position.
    useGerman();
    check();
    showPage(2);
    QListWidget *languages = control<TOptionsForm>(*window, "OptionsForm")->LngListBox;
    languages->setCurrentItem(languages->findItems("English.lng", Qt::MatchFixedString).value(0));
    EXPECT_EQ(tabRound(), optionsPage);
}

TEST_F(Keyboard, UndoAndRedoAreEnabledOnlyWhenTheyShowAnotherPicture)
{
    auto states = [this] {
        return std::make_pair(control<QToolButton>(*window, "UndoButton")->isEnabled(), control<QToolButton>(*window, "RedoButton")->isEnabled());
    };
    EXPECT_EQ(states(), std::make_pair(false, false));
    control<QTextEdit>(*window, "TextMemo")->setPlainText("Undo me");
    control<QToolButton>(*window, "Text3dButton")->click(); // [empty, drawn]
    EXPECT_EQ(states(), std::make_pair(true, false));
    control<QToolButton>(*window, "Text3dButton")->click(); // [empty, drawn, drawn]: nothing changed
    EXPECT_EQ(states(), std::make_pair(true, false));
    control<QToolButton>(*window, "PicLoadButton")->setFocus();
    QTest::keyClick(control<QToolButton>(*window, "PicLoadButton"), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(window->composition().undo().index(), 0);
    EXPECT_EQ(states(), std::make_pair(false, true));
    QTest::keyClick(control<QToolButton>(*window, "PicLoadButton"), Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(states(), std::make_pair(true, false));
    control<QToolButton>(*window, "UndoButton")->click();
    control<QToolButton>(*window, "TextFlatButton")->click(); // [empty, drawn, drawn, empty, flat]
    EXPECT_EQ(window->composition().undo().index(), 4);
    EXPECT_EQ(states(), std::make_pair(true, false));
    // A pasted picture is no snapshot: Redo has nothing to show, Undo shows the flat picture.
    const Raster &shown = control<TImage>(*window, "TitleImage")->picture();
    const QImage flat = shown.toRgb32().copy(0, 0, 60, 40);
    QImage pasted = flat;
    pasted.invertPixels();
    QGuiApplication::clipboard()->setImage(pasted);
    control<QToolButton>(*window, "GetClipboardButton")->click();
    EXPECT_EQ(states(), std::make_pair(true, false));
    QTest::keyClick(control<QToolButton>(*window, "PicLoadButton"), Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(shown.toRgb32(), pasted);
    control<QToolButton>(*window, "UndoButton")->click();
    EXPECT_EQ(shown.toRgb32(), flat);
}

TEST_F(Keyboard, EveryIconOnlyButtonIsNamedByItsHint)
{
    auto check = [](QWidget *root, const char *language) {
        int checked = 0;
        for (QAbstractButton *b : root->findChildren<QAbstractButton *>()) {
            if (!b->text().isEmpty() || b->icon().isNull())
                continue;
            ++checked;
            QAccessibleInterface *face = QAccessible::queryAccessibleInterface(b);
            EXPECT_FALSE(b->toolTip().isEmpty()) << b->objectName().toStdString();
            EXPECT_EQ(face ? face->text(QAccessible::Name) : QString(), b->toolTip()) << language << ' ' << b->objectName().toStdString();
        }
        return checked;
    };
    for (const char *language : {"English", "German"}) {
        if (QLatin1String(language) == QLatin1String("German"))
            useGerman();
        // Every page translates itself when shown.
        for (int page : {1, 2, 3, 4, 0})
            showPage(page);
        EXPECT_GE(check(window.get(), language), 40);
        // The help page's print preview.
        int previews = 0;
        dialogs.onExec = [&](QDialog &preview) {
            previews += check(&preview, language);
            return 0;
        };
        showPage(3);
        control<THelpForm>(*window, "HelpForm")->HelpPreviewButton->click();
        EXPECT_GE(previews, 8) << language;
        showPage(0);
    }
}
