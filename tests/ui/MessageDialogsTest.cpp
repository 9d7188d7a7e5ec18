#include "ScriptedDialogs.h"
#include "program/DialogStyle.h"
#include "ui/ImageWidget.h"
#include "ui/MessageDialogs.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {
QStringList buttonTexts(QDialog &d)
{
    QStringList out;
    for (QPushButton *b : static_cast<TMessageForm &>(d).buttons())
        out << b->text();
    return out;
}

class MessageDialogs : public ::testing::Test
{
protected:
    void SetUp() override { DialogStyle = TDialogStyle{}; }
    void TearDown() override { DialogStyle = TDialogStyle{}; }
    ScriptedDialogs dialogs;
};
} // namespace

TEST_F(MessageDialogs, ConfirmationHasYesNoAndOnlyYesIsTrue)
{
    QStringList texts;
    QString title;
    dialogs.onExec = [&](QDialog &d) {
        texts = buttonTexts(d);
        title = d.windowTitle();
        return int(mrYes);
    };
    EXPECT_TRUE(ShowMessageBox("Are you sure?", "c"));
    EXPECT_EQ(texts, (QStringList{"Yes", "No"}));
    EXPECT_EQ(title, "Confirmation");

    dialogs.onExec = [](QDialog &) { return int(mrNo); };
    EXPECT_FALSE(ShowMessageBox("Are you sure?", "C"));
    // The close box ends the dialog with the cancel result.
    dialogs.onExec = [](QDialog &d) { d.reject(); return d.result(); };
    EXPECT_FALSE(ShowMessageBox("Are you sure?", "confirm"));
}

TEST_F(MessageDialogs, NoticesHaveOneOkButton)
{
    QStringList texts;
    QString title;
    dialogs.onExec = [&](QDialog &d) {
        texts = buttonTexts(d);
        title = d.windowTitle();
        return int(mrOk);
    };
    EXPECT_TRUE(ShowMessageBox("Done", "i"));
    EXPECT_EQ(texts, QStringList{"OK"});
    EXPECT_EQ(title, "Information");
    EXPECT_TRUE(ShowMessageBox("Careful", "warning"));
    EXPECT_EQ(title, "Warning");
    dialogs.onExec = [](QDialog &d) { d.reject(); return d.result(); };
    EXPECT_FALSE(ShowMessageBox("Done", "i"));
}

TEST_F(MessageDialogs, ButtonsAndTitlesFollowTheLanguage)
{
    DialogStyle.yesText = "Ja";
    DialogStyle.noText = "Nein";
    DialogStyle.confirmationTitle = "Bestätigung";
    QStringList texts;
    QString title;
    dialogs.onExec = [&](QDialog &d) {
        texts = buttonTexts(d);
        title = d.windowTitle();
        return int(mrNo);
    };
    ShowMessageBox("Sicher?", "c");
    EXPECT_EQ(texts, (QStringList{"Ja", "Nein"}));
    EXPECT_EQ(title, QString::fromUtf8("Bestätigung"));
}

TEST_F(MessageDialogs, GradientRunsFromStartToEndColourBehindEverything)
{
    DialogStyle.startColor = Colors::clYellow;
    DialogStyle.endColor = Colors::clFuchsia;
    TColor top = 0, bottom = 0;
    int height = 0;
    bool behind = false, white = false;
    dialogs.onExec = [&](QDialog &d) {
        auto *image = d.findChild<TImage *>("GradientImage");
        if (!image) return 0;
        const Raster &pic = image->picture();
        EXPECT_EQ(image->width(), d.width());
        EXPECT_EQ(pic.height(), d.height());
        height = pic.height();
        top = pic.pixel(0, 0);
        bottom = pic.pixel(pic.width() - 1, pic.height() - 1);
        behind = d.children().indexOf(image) == 0;
        white = d.palette().color(QPalette::Window) == Qt::white;
        return int(mrOk);
    };
    ShowMessageBox("x", "i");
    EXPECT_EQ(top, Colors::clYellow);
    ASSERT_GT(height, 1);
    EXPECT_EQ(bottom, ColorStep(Colors::clYellow, Colors::clFuchsia, height, height - 1));
    EXPECT_NE(bottom, Colors::clYellow);
    EXPECT_TRUE(behind);
    EXPECT_TRUE(white);
}

TEST_F(MessageDialogs, InputBoxReturnsTextOrEmptyWhenCancelled)
{
    dialogs.onExec = [](QDialog &d) {
        d.findChild<QLineEdit *>("InputEdit")->setText("typed");
        return int(mrOk);
    };
    EXPECT_EQ(ShowInputBox("Name:", 0), "typed");
    dialogs.onExec = [](QDialog &d) {
        d.findChild<QLineEdit *>("InputEdit")->setText("typed");
        return int(mrCancel);
    };
    EXPECT_EQ(ShowInputBox("Name:", 0), "");
    dialogs.onExec = [](QDialog &d) {
        d.findChild<QLineEdit *>("InputEdit")->setText("typed");
        d.reject();
        return d.result();
    };
    EXPECT_EQ(ShowInputBox("Name:", 0), "");
    dialogs.onExec = [](QDialog &) { return int(mrOk); };
    EXPECT_EQ(ShowInputBox("Name:", 0), "");
}

TEST_F(MessageDialogs, InputBoxLayoutAndPassword)
{
    QStringList texts;
    QString title;
    QLineEdit::EchoMode echo = QLineEdit::Normal;
    int editLeft = 0, editWidth = 0, dialogWidth = 0, okLeft = 0, cancelLeft = 0, okWidth = 0;
    dialogs.onExec = [&](QDialog &d) {
        texts = buttonTexts(d);
        title = d.windowTitle();
        auto *edit = d.findChild<QLineEdit *>("InputEdit");
        echo = edit->echoMode();
        editLeft = edit->x();
        editWidth = edit->width();
        dialogWidth = d.width();
        okLeft = d.findChild<QPushButton *>("OK")->x();
        okWidth = d.findChild<QPushButton *>("OK")->width();
        cancelLeft = d.findChild<QPushButton *>("Cancel")->x();
        return int(mrCancel);
    };
    ShowInputBox("Password:", 1);
    EXPECT_EQ(texts, (QStringList{"OK", "Cancel"}));
    EXPECT_EQ(title, "Input");
    EXPECT_EQ(echo, QLineEdit::Password);
    EXPECT_EQ(dialogWidth, 300);
    EXPECT_EQ(editLeft, 10);
    EXPECT_EQ(editWidth, 270);
    EXPECT_EQ(okLeft, 150 - okWidth - 10);
    EXPECT_EQ(cancelLeft, 160);
}

TEST_F(MessageDialogs, LongPromptsWrapAt270AndTheDialogGrows)
{
    int shortHeight = 0, longHeight = 0, labelWidth = 0;
    int editTop = 0, labelBottom = 0;
    dialogs.onExec = [&](QDialog &d) {
        shortHeight = d.height();
        return int(mrCancel);
    };
    ShowInputBox("Short", 0);
    dialogs.onExec = [&](QDialog &d) {
        longHeight = d.height();
        auto *label = d.findChild<QLabel *>("Message");
        labelWidth = label->width();
        labelBottom = label->y() + label->height();
        editTop = d.findChild<QLineEdit *>("InputEdit")->y();
        return int(mrCancel);
    };
    ShowInputBox(QString("A prompt that is much longer than two hundred and seventy pixels and so it wraps "
                         "onto several lines inside the dialog"), 0);
    EXPECT_EQ(labelWidth, 270);
    EXPECT_EQ(editTop, labelBottom + 20);
    EXPECT_GT(longHeight, shortHeight);
}

TEST_F(MessageDialogs, LongMessagesWrapSoNoMessageBoxIsWiderThanTheScreenAllows)
{
    const int screenWidth = QGuiApplication::primaryScreen()->availableGeometry().width();
    int width = 0, labelHeight = 0, neededHeight = 0, lineHeight = 0;
    dialogs.onExec = [&](QDialog &d) {
        auto *label = d.findChild<QLabel *>("Message");
        width = d.width();
        labelHeight = label->height();
        neededHeight = label->heightForWidth(label->width());
        lineHeight = label->fontMetrics().height();
        return int(mrOk);
    };
    ShowMessageBox("The favourite textures file is damaged. Only the textures before the damaged one could be "
                   "read; the file stays as it is until you change a texture.",
                   "i");
    EXPECT_LE(width, screenWidth / 2 + 150);
    EXPECT_GE(labelHeight, 2 * lineHeight); // wrapped onto several lines
    EXPECT_GE(labelHeight, neededHeight);   // all of which are shown
    // A word longer than a line (a deep path) widens the text, but not beyond the screen.
    ShowMessageBox("The picture \"/" + QString(400, QLatin1Char('x')) + ".png\" could not be read.", "w");
    EXPECT_LT(width, screenWidth);
    // A short message keeps its one line.
    ShowMessageBox("Done", "i");
    EXPECT_EQ(labelHeight, lineHeight);
}

TEST_F(MessageDialogs, ChoiceBoxReturnsTheSelectionOnlyThroughOk)
{
    QStringList listed;
    int listHeight = 0;
    dialogs.onExec = [&](QDialog &d) {
        auto *list = d.findChild<QListWidget *>("ChoiceList");
        for (int i = 0; i < list->count(); ++i)
            listed << list->item(i)->text();
        listHeight = list->height();
        list->setCurrentRow(1);
        return int(mrOk);
    };
    EXPECT_EQ(ShowChoiceBox("Please select draw mode", "Tiled,Stretched,\"Original size\""), "Stretched");
    EXPECT_EQ(listed, (QStringList{"Tiled", "Stretched", "Original size"}));
    EXPECT_EQ(listHeight, 80);

    // The first item is selected at start.
    dialogs.onExec = [](QDialog &) { return int(mrOk); };
    EXPECT_EQ(ShowChoiceBox("Pick", "a,b"), "a");
    // Closed by the close box: empty even with a selection.
    dialogs.onExec = [](QDialog &d) { d.reject(); return d.result(); };
    EXPECT_EQ(ShowChoiceBox("Pick", "a,b"), "");
    // Nothing to choose.
    dialogs.onExec = [](QDialog &) { return int(mrOk); };
    EXPECT_EQ(ShowChoiceBox("Pick", ""), "");
}

TEST_F(MessageDialogs, EnglishDefaultsBeforeAnyLanguage)
{
    InitDialogTexts();
    EXPECT_EQ(DialogStyle.okText, "OK");
    EXPECT_EQ(DialogStyle.cancelText, "Cancel");
    EXPECT_EQ(DialogStyle.inputTitle, "Input");
    EXPECT_EQ(DialogStyle.warningTitle, "Warning");
    DialogStyle.okText = "Gut";
    InitDialogTexts();
    EXPECT_EQ(DialogStyle.okText, "Gut");
}
