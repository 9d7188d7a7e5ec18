// Every text a window shows fits its control, in English and in German: button captions,
// check and radio captions, group-box titles, labels of a fixed width, and the help page's
// topics, measured with the program's own style and font after the window has been laid
// out at its designed size.
#include "ScriptedDialogs.h"
#include "TestProgramFolder.h"
#include "app/MainWindow.h"
#include "background/BackgroundForm.h"
#include "help/HelpForm.h"
#include "preview/PreviewForm.h"
#include "preview/PreviewPrinter.h"
#include "ui/AboutForm.h"
#include "ui/ButtonFit.h"
#include "app/ExportForm.h"
#include "ui/MessageDialogs.h"
#include "ui/OptionsForm.h"
#include "program/ProgramOptions.h"
#include "ui/ResizeForm.h"
#include "ui/RichEdit.h"
#include "program/Settings.h"
#include "core/IniFile.h"
#include "ui/Translate.h"
#include "WindowControls.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOption>
#include <QTextDocument>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <memory>

namespace {

// A caption as it is drawn: "&&" is an ampersand, a single "&" marks the mnemonic.
QString shownText(const QString &caption)
{
    QString text;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&') && i + 1 < caption.size())
            ++i;
        text += caption[i];
    }
    return text;
}

int widestLine(const QFontMetrics &fm, const QString &text)
{
    int widest = 0;
    for (const QString &line : text.split(QLatin1Char('\n')))
        widest = std::max(widest, fm.horizontalAdvance(line));
    return widest;
}

// The width a button needs for its text (and the icon beside it) inside the style's
// margins; 0 when the button shows no text.
int neededWidth(QAbstractButton *b)
{
    const QString text = shownText(b->text());
    if (text.isEmpty())
        return 0;
    const QFontMetrics fm = b->fontMetrics();
    const int textWidth = widestLine(fm, text);
    const int h = fm.height();
    QStyle *style = b->style();
    if (auto *tool = qobject_cast<QToolButton *>(b)) {
        const bool iconShown = !tool->icon().isNull() && tool->toolButtonStyle() != Qt::ToolButtonTextOnly;
        if (iconShown && tool->toolButtonStyle() == Qt::ToolButtonIconOnly)
            return 0;
        QStyleOptionToolButton opt;
        opt.initFrom(tool);
        const int w = textWidth + (iconShown && tool->toolButtonStyle() == Qt::ToolButtonTextBesideIcon
                                       ? tool->iconSize().width() + 4
                                       : 0);
        return style->sizeFromContents(QStyle::CT_ToolButton, &opt, QSize(w, h), tool).width();
    }
    if (auto *push = qobject_cast<QPushButton *>(b)) {
        // The text stays out of the option: some styles give every captioned button a
        // minimum width, which says nothing about whether the text fits.
        QStyleOptionButton opt;
        opt.initFrom(push);
        const int w = textWidth + (push->icon().isNull() ? 0 : push->iconSize().width() + 4);
        return style->sizeFromContents(QStyle::CT_PushButton, &opt, QSize(w, h), push).width();
    }
    QStyleOptionButton opt;
    opt.initFrom(b);
    const bool radio = qobject_cast<QRadioButton *>(b) != nullptr;
    return style->sizeFromContents(radio ? QStyle::CT_RadioButton : QStyle::CT_CheckBox, &opt, QSize(textWidth, h), b)
        .width();
}

// How many pixel rows of a control its parents cut off (a control inside a scrolled area
// counts as whole: it can be scrolled into view).
int hiddenHeight(QWidget *w)
{
    QRect shown = w->rect();
    for (QWidget *c = w; c->parentWidget() && !c->isWindow(); c = c->parentWidget()) {
        if (qobject_cast<QAbstractScrollArea *>(c->parentWidget()->parentWidget()))
            return 0;
        shown = shown.translated(c->pos()) & c->parentWidget()->rect();
    }
    return w->height() - shown.height();
}

// The controls of window whose text is cut off, one line each.
QStringList clippedTexts(QWidget *window)
{
    QStringList clipped;
    auto report = [&](QWidget *w, const QString &text, int needs, int has) {
        if (needs > has)
            clipped << QStringLiteral("%1/%2 \"%3\" needs %4 px, has %5")
                           .arg(window->objectName(), w->objectName(), text)
                           .arg(needs)
                           .arg(has);
    };
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (!w->isVisibleTo(window) || w->objectName().startsWith(QLatin1String("qt_")))
            continue;
        if (auto *b = qobject_cast<QAbstractButton *>(w)) {
            report(w, b->text(), neededWidth(b), b->width());
            if (const int hidden = hiddenHeight(b))
                clipped << QStringLiteral("%1/%2 is cut off by %3 px").arg(window->objectName(), w->objectName()).arg(hidden);
        } else if (auto *g = qobject_cast<QGroupBox *>(w)) {
            if (g->title().isEmpty())
                continue;
            QStyleOptionGroupBox opt;
            opt.initFrom(g);
            opt.text = g->title();
            opt.lineWidth = 1;
            opt.textAlignment = g->alignment();
            opt.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
            const QRect label = g->style()->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxLabel, g);
            report(w, g->title(), label.left() + g->fontMetrics().horizontalAdvance(shownText(g->title())), g->width());
        } else if (auto *l = qobject_cast<QLabel *>(w)) {
            if (l->wordWrap() || l->text().isEmpty() || l->textFormat() == Qt::RichText ||
                (l->textFormat() == Qt::AutoText && Qt::mightBeRichText(l->text())))
                continue;
            const int room = l->contentsRect().width() - 2 * l->margin() - std::max(0, l->indent());
            report(w, l->text(), widestLine(l->fontMetrics(), shownText(l->text())), room);
        }
    }
    return clipped;
}

// Topics of the help page's tree that are cut off.
QStringList clippedTopics(QTreeWidget *tree)
{
    QStringList clipped;
    const int margin = 2 * (tree->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, tree) + 1);
    QList<QTreeWidgetItem *> items;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        items << tree->topLevelItem(i);
    for (int i = 0; i < items.size(); ++i) {
        QTreeWidgetItem *item = items[i];
        for (int c = 0; c < item->childCount(); ++c)
            items << item->child(c);
        item->setExpanded(true);
    }
    // A topic is read in the tree's visible area, not in its column: it lies inside the
    // viewport and is as high as its text's lines at the width it has there.
    for (QTreeWidgetItem *item : items) {
        tree->scrollToItem(item);
        const QRect rect = tree->visualItemRect(item);
        const int width = std::min(rect.right() + 1, tree->viewport()->width()) - std::max(rect.left(), 0) - margin;
        const QRect needs = tree->fontMetrics().boundingRect(QRect(0, 0, std::max(1, width), 10000),
                                                             Qt::TextWordWrap | Qt::TextWrapAnywhere, item->text(0));
        if (rect.left() < 0 || rect.right() >= tree->viewport()->width() || needs.height() > rect.height())
            clipped << QStringLiteral("topic \"%1\" needs %2 px high, has %3 x %4 of the visible area")
                           .arg(item->text(0)).arg(needs.height()).arg(width).arg(rect.height());
    }
    return clipped;
}

void layOut(QWidget *window)
{
    window->show();
    QCoreApplication::processEvents();
}

class TextsFit : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The program's own look: its style and its window font.
        oldFont = QApplication::font();
        QApplication::setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
        for (const char *file : {"English.lng", "German.lng"})
            QFile::copy(QStringLiteral(LETRAFEX_DATA "/LScripts/") + file,
                        program.filePath(QStringLiteral("LScripts/") + file));
        // Captions longer than any shipped one, for the buttons designed to a fixed width.
        QFile lng(program.filePath(QStringLiteral("LScripts/Long.lng")));
        ASSERT_TRUE(lng.open(QIODevice::WriteOnly));
        lng.write("[ResizeForm]\nbtnOK.Caption=Uebernehmen\nbtnCancel.Caption=Nicht uebernehmen\n"
                  "[Print Preview]\nCloseButton Caption=Vorschau schliessen\n"
                  "[Captions]\nOK=Einverstanden\nCancel=Nicht uebernehmen\nYes=Ja, gewiss\nNo=Nein, lieber nicht\n");
        lng.close();
        QDir(program.path()).mkpath(QStringLiteral("Help"));
        for (const char *file : {"English.rtf", "English.ini", "German.rtf", "German.ini"})
            QFile::copy(QStringLiteral(LETRAFEX_DATA "/Help/") + file, program.filePath(QStringLiteral("Help/") + file));
    }
    void TearDown() override { QApplication::setFont(oldFont); }

    TestProgramFolder program;
    ScriptedDialogs dialogs;
    QFont oldFont;
};

// The message, input and choice dialogs as they are shown, checked while they run.
QStringList clippedInMessageDialogs(ScriptedDialogs &dialogs)
{
    QStringList clipped;
    dialogs.onExec = [&](QDialog &dialog) {
        layOut(&dialog);
        clipped << clippedTexts(&dialog);
        // The frame shows the translated title whole ("Bestätigung" over "Sind Sie sicher?").
        if (dialog.width() < titleRoomWidth(dialog))
            clipped << QStringLiteral("title \"%1\" of a %2 px dialog").arg(dialog.windowTitle()).arg(dialog.width());
        dialog.hide();
        return int(mrCancel);
    };
    ShowMessageBox(QStringLiteral("?"), QStringLiteral("c"));
    ShowMessageBox(QStringLiteral("!"), QStringLiteral("w"));
    ShowMessageBox(QStringLiteral("i"), QStringLiteral("i"));
    ShowInputBox(QStringLiteral("Text:"), 0);
    ShowChoiceBox(QStringLiteral("Mode:"), QStringLiteral("a,b"));
    return clipped;
}

// The print preview of the current language's help document.
QStringList clippedInPreview(ScriptedDialogs &dialogs, THelpForm *help)
{
    QStringList clipped;
    dialogs.onExec = [&](QDialog &dialog) {
        layOut(&dialog);
        clipped << clippedTexts(&dialog);
        dialog.hide();
        return 0;
    };
    help->HelpPrintButtonClick(help->HelpPreviewButton);
    return clipped;
}

} // namespace

TEST_F(TextsFit, EveryTextFitsItsControlInEveryWindowAndLanguage)
{
    for (const char *language : {"English", "German", "Long"}) {
        SCOPED_TRACE(language);
        const QString help = QString::fromLatin1(language == std::string("Long") ? "English" : language);
        QDir(program.path()).mkpath(QStringLiteral("Data"));
        IniFile settings(settingsFilePath());
        ASSERT_TRUE(settings.writeString(SettingsKeys::Language, SettingsKeys::File,
                                         QString::fromLatin1(language) + QStringLiteral(".lng")));
        auto main = std::make_unique<TLetrafex>();
        main->createSecondaryWindows();
        main->resize(640, 480);
        layOut(main.get());
        main->ApplyLanguage();
        QStringList clipped = clippedTexts(main.get());
        for (int page = 1; page < control<QListWidget>(*main, "SelectionView")->count(); ++page) {
            control<QListWidget>(*main, "SelectionView")->setCurrentRow(page);
            main->SelectionViewClick();
            QCoreApplication::processEvents();
            clipped << clippedTexts(main->shownForm());
        }
        control<THelpForm>(*main, "HelpForm")->LoadHelpFile(help);
        QCoreApplication::processEvents();
        clipped << clippedTopics(control<THelpForm>(*main, "HelpForm")->HTopicsView);
        clipped << clippedInPreview(dialogs, control<THelpForm>(*main, "HelpForm"));

        TResizeForm resize;
        layOut(&resize);
        TExportForm exportForm;
        layOut(&exportForm);
        clipped << clippedTexts(&resize) << clippedTexts(&exportForm);
        clipped << clippedInMessageDialogs(dialogs);
        EXPECT_TRUE(clipped.isEmpty()) << clipped.join(QLatin1Char('\n')).toStdString();
        ProgramOptions.noExitDialog = true;
    }
}
