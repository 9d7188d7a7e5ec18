// The help page: document list, topics tree, headings, find, links, preview and print.
#include "ReferenceTools.h"
#include "ScriptedDialogs.h"
#include "TestProgramFolder.h"
#include "help/HelpForm.h"
#include "preview/PreviewForm.h"
#include "ui/MessageDialogs.h"
#include "ui/RichEdit.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPrinter>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

// Blue, bold and underlined is a heading; the colour table's entry 1 is pure blue.
const char *const TopicDocument =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red0\\green0\\blue255;}\n"
    "\\f0\\fs20 This text speaks of Colours before the chapter.\\par\n"
    "{\\cf1\\b Colours}\\par\n"
    "Filler line one.\\par Filler line two.\\par\n"
    "{\\cf1\\b\\ul Colours}\\par\n"
    "Help on help: HELP, helpful, Help.\\par\n"
    "{\\cf1\\b\\ul\\i Slanted}\\par\n"
    "{\\field{\\*\\fldinst HYPERLINK \"https://letrafex.org\"}{\\fldrslt letrafex.org}}\\par}\n";

class HelpPage : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QDir(program.path()).mkpath("Help");
        form.resize(700, 500);
    }
    void writeHelp(const QString &name, const QByteArray &rtf, const QByteArray &topics)
    {
        QFile r(program.filePath("Help/" + name + ".rtf"));
        ASSERT_TRUE(r.open(QIODevice::WriteOnly));
        r.write(rtf);
        QFile t(program.filePath("Help/" + name + ".ini"));
        ASSERT_TRUE(t.open(QIODevice::WriteOnly));
        t.write(topics);
    }
    QString selected() const { return form.HelpTextField->textCursor().selectedText(); }
    int selectionStart() const { return form.HelpTextField->textCursor().selectionStart(); }
    int position(const QString &text, int from = 0) const
    {
        return int(form.HelpTextField->toPlainText().indexOf(text, from));
    }

    TestProgramFolder program;
    ScriptedDialogs dialogs;
    THelpForm form;
};

// A click with one button on the help text at a character's position, as the platform
// sends it: press, for the right button the request for a menu, release. Returns whether
// a menu opened (it is closed again at once).
bool clickText(THelpForm &form, int position, Qt::MouseButton button)
{
    QTextCursor cursor(form.HelpTextField->document());
    cursor.setPosition(position);
    QWidget *viewport = form.HelpTextField->viewport();
    const QPoint at = form.HelpTextField->cursorRect(cursor).center() + QPoint(2, 0);
    const QPoint global = viewport->mapToGlobal(at);
    bool menu = false;
    QTimer::singleShot(0, &form, [&menu] {
        if (QWidget *popup = QApplication::activePopupWidget()) {
            menu = true;
            popup->close();
        }
    });
    QMouseEvent press(QEvent::MouseButtonPress, at, global, button, button, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &press);
    if (button == Qt::RightButton) {
        QContextMenuEvent request(QContextMenuEvent::Mouse, at, global);
        QCoreApplication::sendEvent(viewport, &request);
    }
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, button, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &release);
    QCoreApplication::processEvents();
    return menu;
}

// The help documents delivered with the program, with their topics, in the program folder.
bool copyShippedHelp(const TestProgramFolder &program)
{
    bool copied = QDir(program.path()).mkpath("Help");
    for (const char *name : {"English", "German"})
        for (const char *ext : {".rtf", ".ini"})
            copied = copied && QFile::copy(QStringLiteral(LETRAFEX_DATA "/Help/") + name + ext,
                                           program.filePath(QStringLiteral("Help/") + name + ext));
    return copied;
}

// Receives the addresses the desktop is asked to open, in place of a browser or mailer.
class DesktopHandler : public QObject
{
    Q_OBJECT
public:
    QStringList opened;
public slots:
    void open(const QUrl &url) { opened << url.toString(); }
};

} // namespace

TEST_F(HelpPage, AnEmptyHelpFolderGivesAnEmptyList)
{
    QList<int> progress;
    form.progress = [&](int p) { progress << p; };
    form.show();
    EXPECT_EQ(form.HFilesListBox->count(), 0);
    EXPECT_EQ(progress, (QList<int>{50, 100}));
}

TEST_F(HelpPage, TheDocumentOfTheLanguageIsShownAtOnceElseTheFirst)
{
    const QByteArray topics = "Colours\n\tSlanted\n";
    for (const char *name : {"Atlas", "English", "German"})
        writeHelp(name, QByteArray(TopicDocument).replace("This text", name), topics);
    const auto shown = [this] { return form.HelpTextField->toPlainText().section(' ', 0, 0); };
    LanguageFilePath = program.filePath("LScripts/German.lng");
    form.show();
    ASSERT_EQ(form.HFilesListBox->count(), 3);
    EXPECT_EQ(form.HFilesListBox->currentItem()->text(), "German");
    EXPECT_EQ(shown(), "German");
    ASSERT_EQ(form.HTopicsView->topLevelItemCount(), 1);
    EXPECT_EQ(form.HTopicsView->topLevelItem(0)->child(0)->text(0), "Slanted");
    EXPECT_EQ(form.HelpTextField->textCursor().position(), 0);

    // The document the user opened stays while the language stays.
    form.HFilesListBox->setCurrentRow(form.HFilesListBox->row(form.HFilesListBox->findItems("Atlas", Qt::MatchExactly)[0]));
    form.HFilesListBoxClick();
    form.hide();
    form.show();
    EXPECT_EQ(form.HFilesListBox->currentItem()->text(), "Atlas");
    EXPECT_EQ(shown(), "Atlas");

    LanguageFilePath = program.filePath("LScripts/english.lng");
    form.hide();
    form.show();
    EXPECT_EQ(form.HFilesListBox->currentItem()->text(), "English");
    EXPECT_EQ(shown(), "English");

    // Without a document for the language, the first one in the list.
    LanguageFilePath = program.filePath("LScripts/Klingon.lng");
    form.hide();
    form.show();
    EXPECT_EQ(form.HFilesListBox->currentRow(), 0);
    EXPECT_EQ(shown(), form.HFilesListBox->item(0)->text());
    EXPECT_TRUE(dialogs.errors.isEmpty());
}

TEST_F(HelpPage, ATopicSelectsItsHeadingNotEarlierPlainOrHalfFormattedOccurrences)
{
    writeHelp("Manual", TopicDocument, "Colours\n\tSlanted\nNowhere\n");
    form.show();
    form.LoadHelpFile("Manual");
    form.ShowHelpTopic("Colours");
    EXPECT_EQ(selected(), "Colours");
    // The first occurrence is body text, the second blue and bold but not underlined.
    const int first = position("Colours"), second = position("Colours", first + 1);
    EXPECT_EQ(selectionStart(), position("Colours", second + 1));

    // Blue, bold, underlined and italic is no heading: the selection collapses on the
    // last occurrence examined.
    form.ShowHelpTopic("Slanted");
    EXPECT_TRUE(selected().isEmpty());
    EXPECT_EQ(form.HelpTextField->textCursor().position(), position("Slanted"));
    form.ShowHelpTopic("Nowhere");
    EXPECT_TRUE(selected().isEmpty());
}

TEST_F(HelpPage, ATopicsFileWithALineTooDeepIsReportedAndFillsWhatCameBefore)
{
    writeHelp("Broken", TopicDocument, "First\n\t\tSecond\n");
    form.show(); // shows the only document
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_EQ(dialogs.errors.first(), "Invalid level (2) for item \"Second\"");
    EXPECT_EQ(form.HTopicsView->topLevelItemCount(), 1);
    // The document is not loaded after a broken topics file.
    EXPECT_TRUE(form.HelpTextField->toPlainText().isEmpty());
}

TEST_F(HelpPage, FindIgnoresCaseMatchesInsideWordsAndGoesOn)
{
    writeHelp("Manual", TopicDocument, "Colours\n");
    form.show();
    form.LoadHelpFile("Manual");
    QString prompt;
    dialogs.onExec = [&](QDialog &d) {
        prompt = static_cast<TMessageForm &>(d).messageLabel()->text();
        d.findChild<QLineEdit *>("InputEdit")->setText("HELP");
        return int(mrOk);
    };
    const QString text = form.HelpTextField->toPlainText();
    const int first = int(text.indexOf("help", 0, Qt::CaseInsensitive));
    form.HelpFindButton->click();
    EXPECT_EQ(prompt, "Please enter text (F3 = repeat search):");
    EXPECT_EQ(selectionStart(), first);
    EXPECT_EQ(selected(), "Help");
    form.HelpFindButton->click();
    EXPECT_EQ(selectionStart(), int(text.indexOf("help", first + 4, Qt::CaseInsensitive)));
    EXPECT_EQ(selected(), "help");
    form.HelpFindButton->click();
    EXPECT_EQ(selected(), "HELP");
    form.HelpFindButton->click();
    EXPECT_EQ(selected(), "help"); // inside "helpful"
    EXPECT_EQ(selectionStart(), int(text.indexOf("helpful")));
    // Not found: nothing changes.
    for (int i = 0; i < 5; ++i)
        form.HelpFindButton->click();
    const int last = selectionStart();
    form.HelpFindButton->click();
    EXPECT_EQ(selectionStart(), last);
    // A cancelled question does nothing.
    dialogs.onExec = [](QDialog &) { return int(mrCancel); };
    form.HelpFindButton->click();
    EXPECT_EQ(selectionStart(), last);
}

TEST_F(HelpPage, LinksGoToTheDesktop)
{
    form.HelpTextFieldURLClick("https://letrafex.org");
    EXPECT_EQ(dialogs.openedLinks, QStringList{"https://letrafex.org"});
}

TEST_F(HelpPage, PreviewWithoutLanguageTextsShowsTheKeysAndLeavesTheClipboard)
{
    writeHelp("Manual", TopicDocument, "Colours\n");
    form.show();
    form.LoadHelpFile("Manual");
    QGuiApplication::clipboard()->setText("the user's own text");
    QString closeCaption, title;
    QStringList zoomEntries;
    int zoomIndex = -1;
    dialogs.onExec = [&](QDialog &d) {
        auto *preview = qobject_cast<TPreviewForm *>(&d);
        if (!preview)
            return 0;
        closeCaption = preview->CloseBut->text();
        title = preview->windowTitle();
        for (int i = 0; i < preview->ZoomBox->count(); ++i)
            zoomEntries << preview->ZoomBox->itemText(i);
        zoomIndex = preview->ZoomBox->currentIndex();
        return 0;
    };
    form.HelpPreviewButton->click();
    ASSERT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join('\n').toStdString();
    EXPECT_EQ(closeCaption, "CloseButton Caption");
    EXPECT_EQ(title, "Caption");
    EXPECT_EQ(zoomEntries, QStringList{"ZoomboxItems"});
    EXPECT_EQ(zoomIndex, 0);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "the user's own text");
}

TEST_F(HelpPage, PrintingWritesTheDocumentsPages)
{
    writeHelp("Manual", TopicDocument, "Colours\n");
    form.show();
    form.LoadHelpFile("Manual");
    const QString pdf = program.filePath("help.pdf");
    dialogs.onPrinter = [&](QPrinter &printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    };
    form.HelpPrintButton->click();
    ASSERT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join('\n').toStdString();
    QByteArray text;
    ASSERT_EQ(runTool("pdftotext", {pdf, "-"}, &text), QString());
    EXPECT_TRUE(text.contains("This text speaks of Colours")) << text.toStdString();
    EXPECT_TRUE(text.contains("Page 1")) << text.toStdString();
}

TEST(ShippedHelp, EveryTopicOfTheShippedDocumentsHasItsHeading)
{
    TestProgramFolder program;
    ScriptedDialogs dialogs;
    ASSERT_TRUE(copyShippedHelp(program));
    THelpForm form;
    form.show();
    ASSERT_EQ(form.HFilesListBox->count(), 2);
    for (const char *name : {"English", "German"}) {
        form.LoadHelpFile(name);
        QList<QTreeWidgetItem *> items;
        for (int i = 0; i < form.HTopicsView->topLevelItemCount(); ++i) {
            items << form.HTopicsView->topLevelItem(i);
            for (int c = 0; c < items.last()->childCount(); ++c)
                items << items.last()->child(c);
        }
        EXPECT_GE(items.size(), 9) << name;
        for (QTreeWidgetItem *item : items) {
            form.ShowHelpTopic(item->text(0));
            EXPECT_EQ(form.HelpTextField->textCursor().selectedText(), item->text(0)) << name << ": " << item->text(0).toStdString();
        }
    }
}

TEST_F(HelpPage, ADocumentThatIsNoRtfIsReportedAndLeavesAnEmptyText)
{
    writeHelp("Manual", TopicDocument, "Colours\n");
    form.show();
    writeHelp("Notes", "Plain words, no rich text.", "Colours\n");
    form.LoadHelpFile("Manual");
    ASSERT_FALSE(form.HelpTextField->toPlainText().isEmpty());
    form.LoadHelpFile("Notes");
    ASSERT_EQ(dialogs.errors.size(), 1);
    const QString path = QFileInfo(program.filePath("Help/Notes.rtf")).absoluteFilePath();
    EXPECT_TRUE(dialogs.errors[0].contains(path)) << dialogs.errors[0].toStdString();
    EXPECT_TRUE(dialogs.errors[0].contains("not a rich-text document")) << dialogs.errors[0].toStdString();
    EXPECT_TRUE(form.HelpTextField->toPlainText().isEmpty());
    EXPECT_EQ(form.HTopicsView->topLevelItemCount(), 1); // the topics were read
}

TEST_F(HelpPage, PlainAddressesAreLinksAndEveryButtonOpensALinkWithoutTheTextMenu)
{
    const QByteArray rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs24 Visit www.letrafex.org or write to "
                           "help@letrafex.org.\\par "
                           "{\\field{\\*\\fldinst HYPERLINK \"https://letrafex.org/donate\"}{\\fldrslt donate}}\\par}";
    writeHelp("Links", rtf, "Links\n");
    form.show();
    form.LoadHelpFile("Links");
    const QString before = form.HelpTextField->toHtml();
    const int web = position("www.") + 5, mail = position("help@") + 2, field = position("donate") + 1;

    EXPECT_FALSE(clickText(form, web, Qt::LeftButton));
    EXPECT_FALSE(clickText(form, mail, Qt::RightButton));
    EXPECT_FALSE(clickText(form, field, Qt::RightButton));
    EXPECT_FALSE(clickText(form, web, Qt::MiddleButton));
    EXPECT_EQ(dialogs.openedLinks, (QStringList{"http://www.letrafex.org", "mailto:help@letrafex.org",
                                                "https://letrafex.org/donate", "http://www.letrafex.org"}));
    // Beside a link the text keeps its menu, and nothing opens.
    EXPECT_TRUE(clickText(form, position("Visit") + 1, Qt::RightButton));
    EXPECT_EQ(dialogs.openedLinks.size(), 4);

    // The addresses look like links; the document itself is unchanged (nothing typed or
    // pasted, no link added to what is copied).
    const QTextBlock block = form.HelpTextField->document()->findBlock(web);
    QStringList looks;
    for (const QTextLayout::FormatRange &range : block.layout()->formats())
        if (range.format.fontUnderline() && range.format.foreground().color() == QColor(0, 0, 255))
            looks << block.text().mid(range.start, range.length);
    EXPECT_EQ(looks, (QStringList{"www.letrafex.org", "help@letrafex.org"}));
    EXPECT_EQ(form.HelpTextField->toHtml(), before);
}

TEST(ShippedHelp, LinksOfBothDocumentsReachTheDesktopsOpenAction)
{
    TestProgramFolder program;
    // The dialogs are scripted, but links take the program's real way to the desktop.
    struct RealLinks : ScriptedDialogs
    {
        void openLink(const QString &link) override { DialogService::openLink(link); }
    } dialogs;
    DesktopHandler desktop;
    for (const char *scheme : {"http", "https", "mailto"})
        QDesktopServices::setUrlHandler(scheme, &desktop, "open");
    ASSERT_TRUE(copyShippedHelp(program));
    THelpForm form;
    form.resize(900, 700);
    form.show();
    for (const char *name : {"English", "German"}) {
        SCOPED_TRACE(name);
        form.LoadHelpFile(name);
        // Typed into the help text, a plain address is a link as well.
        QTextCursor end(form.HelpTextField->document());
        end.movePosition(QTextCursor::End);
        end.insertText(" www.letrafex.org/hilfe");
        const QString text = form.HelpTextField->toPlainText();
        const int typed = int(text.lastIndexOf("www.letrafex.org/hilfe")) + 4;
        const int mail = int(text.indexOf("help@letrafex.org")) + 1;
        ASSERT_GT(mail, 0);
        for (int at : {mail, typed}) {
            QTextCursor cursor(form.HelpTextField->document());
            cursor.setPosition(at);
            form.HelpTextField->setTextCursor(cursor);
            form.HelpTextField->ensureCursorVisible();
            EXPECT_FALSE(clickText(form, at, Qt::RightButton));
        }
    }
    for (const char *scheme : {"http", "https", "mailto"})
        QDesktopServices::unsetUrlHandler(scheme);
    EXPECT_EQ(desktop.opened, (QStringList{"mailto:help@letrafex.org", "http://www.letrafex.org/hilfe",
                                           "mailto:help@letrafex.org", "http://www.letrafex.org/hilfe"}));
}

#include "HelpFormTest.moc"
