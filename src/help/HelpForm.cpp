#include "help/HelpForm.h"

#include "core/CommaText.h"
#include "core/Errors.h"
#include "core/FileBytes.h"
#include "core/IniFile.h"
#include "core/MessageText.h"
#include "program/HelpTopics.h"
#include "preview/PreviewPrinter.h"
#include "richtext/RtfReader.h"
#include "ui/Controls.h"
#include "ui/DialogService.h"
#include "program/Language.h"
#include "ui/MessageDialogs.h"
#include "ui/RichEdit.h"
#include "ui/Translate.h"

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QListWidget>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QTextBlock>
#include <QTextLayout>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
// The engine's preview texts, in the order it takes them.
const char *const PreviewTextKeys[] = {"First Page", "Last Page", "Previous Page", "Next Page", "Fit Page",
                                       "Fit Width", "Print", "Grid", "ZoomCursor", "OnePage", "TwoPage",
                                       "CloseButton Hint", "CloseButton Caption", "Caption", "ZoomboxItems"};

} // namespace

THelpForm::THelpForm(QWidget *parent) : TPageForm(QStringLiteral("HelpForm"), QStringLiteral("Help"), parent)
{
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    HelpPanel = new QWidget(this);
    HelpPanel->setObjectName(QStringLiteral("HelpPanel"));
    outer->addWidget(HelpPanel);
    auto *row = new QHBoxLayout(HelpPanel);
    row->setContentsMargins(2, 2, 2, 2);
    row->setSpacing(2);

    HelpSplitter = new QSplitter(Qt::Horizontal, HelpPanel);
    HelpSplitter->setObjectName(QStringLiteral("HelpSplitter"));
    HelpSplitter->setHandleWidth(6);
    HelpSplitter->setOpaqueResize(true);
    HelpSplitter->setChildrenCollapsible(false);
    row->addWidget(HelpSplitter, 1);

    HelpLeftPanel = new QWidget(HelpSplitter);
    HelpLeftPanel->setObjectName(QStringLiteral("HelpLeftPanel"));
    auto *left = new QVBoxLayout(HelpLeftPanel);
    left->setContentsMargins(0, 0, 0, 0);
    left->setSpacing(2);
    HelpFilesBox = namedGroupBox(HelpLeftPanel, "HelpFilesBox", "Help files");
    HelpFilesBox->setFixedHeight(81);
    auto *filesLayout = new QVBoxLayout(HelpFilesBox);
    filesLayout->setContentsMargins(4, 2, 4, 4);
    HFilesListBox = new QListWidget(HelpFilesBox);
    HFilesListBox->setObjectName(QStringLiteral("HFilesListBox"));
    filesLayout->addWidget(HFilesListBox);
    left->addWidget(HelpFilesBox);
    HelpTopicsBox = namedGroupBox(HelpLeftPanel, "HelpTopicsBox", "Help Topics");
    auto *topicsLayout = new QVBoxLayout(HelpTopicsBox);
    topicsLayout->setContentsMargins(4, 2, 4, 4);
    HTopicsView = new QTreeWidget(HelpTopicsBox);
    HTopicsView->setObjectName(QStringLiteral("HTopicsView"));
    HTopicsView->setHeaderHidden(true);
    HTopicsView->setIndentation(19);
    HTopicsView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Topics keep their whole text: the column is as wide as the longest one, and the tree
    // scrolls sideways when the panel is narrower.
    HTopicsView->header()->setStretchLastSection(false);
    HTopicsView->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    HTopicsView->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QPalette treePalette = HTopicsView->palette();
    treePalette.setColor(QPalette::Base, QColor(0xF0, 0xFB, 0xFF));
    // The selection stays visible while the text has the focus.
    treePalette.setColor(QPalette::Inactive, QPalette::Highlight, treePalette.color(QPalette::Active, QPalette::Highlight));
    treePalette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                         treePalette.color(QPalette::Active, QPalette::HighlightedText));
    HTopicsView->setPalette(treePalette);
    topicsLayout->addWidget(HTopicsView);
    left->addWidget(HelpTopicsBox, 1);
    HelpLeftPanel->setMinimumWidth(100);

    HelpTextField = new TRichEdit(QStringLiteral("HelpTextField"), HelpSplitter);
    // Tab goes on to the page's buttons instead of typing into the help text.
    HelpTextField->setTabChangesFocus(true);
    HelpTextField->setDetectsLinks(true);
    QPalette textPalette = HelpTextField->palette();
    textPalette.setColor(QPalette::Base, textPalette.color(QPalette::ToolTipBase));
    HelpTextField->setPalette(textPalette);
    HelpSplitter->addWidget(HelpLeftPanel);
    HelpSplitter->addWidget(HelpTextField);
    HelpSplitter->setStretchFactor(1, 1);
    HelpSplitter->setSizes({169, 600});

    HelpRightPanel = new QWidget(HelpPanel);
    HelpRightPanel->setObjectName(QStringLiteral("HelpRightPanel"));
    HelpRightPanel->setFixedWidth(33);
    row->addWidget(HelpRightPanel);
    HelpButtonPanel = new QWidget(HelpRightPanel);
    HelpButtonPanel->setObjectName(QStringLiteral("HelpButtonPanel"));
    HelpButtonPanel->setFixedSize(33, 97);
    HelpPreviewButton = namedToolButton(HelpButtonPanel, "HelpPreviewButton", "preview", "Print preview", {29, 29});
    HelpPrintButton = namedToolButton(HelpButtonPanel, "HelpPrintButton", "print", "Print helptext", {29, 29});
    HelpFindButton = namedToolButton(HelpButtonPanel, "HelpFindButton", "find", "Find text", {29, 29});
    int y = 2;
    for (QToolButton *b : {HelpPreviewButton, HelpPrintButton, HelpFindButton}) {
        b->move(2, y);
        y += 32;
    }

    HelpRightPanel->installEventFilter(this);
    connect(HFilesListBox, &QListWidget::itemClicked, this, [this] { runGuarded(this, [this] { HFilesListBoxClick(); }); });
    connect(HTopicsView, &QTreeWidget::itemClicked, this, &THelpForm::HTopicsViewClick);
    connect(HelpFindButton, &QToolButton::clicked, this, &THelpForm::HelpFindButtonClick);
    // The find prompt promises F3; the key works while the help page is shown.
    connect(new QShortcut(QKeySequence(Qt::Key_F3), this), &QShortcut::activated, this, &THelpForm::HelpFindAgain);
    for (QToolButton *b : {HelpPreviewButton, HelpPrintButton})
        connect(b, &QToolButton::clicked, this, [this, b] { runGuarded(this, [this, b] { HelpPrintButtonClick(b); }); });
    connect(HelpTextField, &TRichEdit::linkClicked, this, &THelpForm::HelpTextFieldURLClick);
    markDesignedControls(this);
}

void THelpForm::report(int percent)
{
    if (progress)
        progress(percent);
}

void THelpForm::FormShow()
{
    TranslateForm(this);
    report(50);
    FillHelpFileList();
    selectLanguageDocument();
    report(100);
}

void THelpForm::selectLanguageDocument()
{
    const QString language = QFileInfo(LanguageFilePath).completeBaseName();
    const bool languageChanged = documentLanguage_ != language;
    const QString wanted = languageChanged ? language : loadedDocument_;
    for (int row = 0; row < HFilesListBox->count(); ++row) {
        if (HFilesListBox->item(row)->text().compare(wanted, Qt::CaseInsensitive) == 0) {
            HFilesListBox->setCurrentRow(row);
            break;
        }
    }
    if (!languageChanged || !HFilesListBox->currentItem())
        return;
    documentLanguage_ = language;
    runGuarded(this, [this] { LoadHelpFile(HFilesListBox->currentItem()->text()); });
}

bool THelpForm::eventFilter(QObject *watched, QEvent *event)
{
    // The button column follows the right panel, which the layout sizes after the page.
    if (watched == HelpRightPanel && event->type() == QEvent::Resize)
        FormResize();
    return TPageForm::eventFilter(watched, event);
}

void THelpForm::FormResize()
{
    HelpButtonPanel->move(0, HelpRightPanel->height() / 2 - HelpButtonPanel->height() / 2);
}

void THelpForm::FillHelpFileList()
{
    HFilesListBox->clear();
    HFilesListBox->addItems(ListRtfFiles(dataFolder(QStringLiteral("Help"))));
    if (HFilesListBox->count() > 0)
        HFilesListBox->setCurrentRow(0);
}

void THelpForm::HFilesListBoxClick()
{
    const QList<QListWidgetItem *> selected = HFilesListBox->selectedItems();
    if (!selected.isEmpty())
        LoadHelpFile(selected.first()->text());
}

void THelpForm::LoadHelpFile(const QString &name)
{
    HTopicsView->clear();
    const QDir help(dataFolder(QStringLiteral("Help")));
    const QString topicsPath = help.filePath(name + QStringLiteral(".ini"));
    bool ok = false;
    const QString topicsText = readTextFileAnyEncoding(topicsPath, &ok);
    if (!ok)
        throw LetrafexError(messageText("Cannot open file \"%1\".").arg(topicsPath));
    QString error;
    QList<QTreeWidgetItem *> parents; // the last topic at each depth
    for (const HelpTopic &topic : ParseHelpTopics(topicsText, &error)) {
        parents.resize(topic.depth);
        auto *item = topic.depth == 0 ? new QTreeWidgetItem(HTopicsView) : new QTreeWidgetItem(parents.last());
        item->setText(0, topic.text);
        item->setToolTip(0, topic.text); // the whole name where the narrow tree cuts it
        parents.append(item);
    }
    if (!error.isEmpty())
        throw LetrafexError(error);
    loadedDocument_ = name;
    const QString documentPath = help.filePath(name + QStringLiteral(".rtf"));
    if (QFile::exists(documentPath))
        showHelpDocument(documentPath);
    HelpTextField->setFocus();
    QTextCursor start(HelpTextField->document());
    HelpTextField->setTextCursor(start);
    HelpTextField->ensureCursorVisible();
}

void THelpForm::showHelpDocument(const QString &path)
{
    // A document that cannot be shown leaves an empty text, not the previous document.
    QString reason;
    try {
        ReadRtf(readWholeFile(path), *HelpTextField->document(), &reason);
    } catch (const LetrafexError &e) {
        reason = e.text();
    }
    if (reason.isEmpty())
        return;
    HelpTextField->clear();
    const QString fullPath = QFileInfo(path).absoluteFilePath();
    Dialogs().showError(reason.contains(fullPath) ? reason
                                                   : messageText("The help document \"%1\" cannot be shown: %2")
                                                      .arg(fullPath, reason),
                        this);
}

void THelpForm::HTopicsViewClick()
{
    const QList<QTreeWidgetItem *> selected = HTopicsView->selectedItems();
    if (!selected.isEmpty())
        ShowHelpTopic(selected.first()->text(0));
}

bool THelpForm::isHeading(int start, int length) const
{
    QTextCursor c(HelpTextField->document());
    for (int i = start; i < start + length; ++i) {
        c.setPosition(i + 1); // the format of the character before the cursor
        const QTextCharFormat f = c.charFormat();
        if (f.foreground().style() == Qt::NoBrush || f.foreground().color() != QColor(0, 0, 255) ||
            f.fontWeight() < QFont::Bold || !f.fontUnderline() || f.fontItalic() || f.fontStrikeOut())
            return false;
    }
    return true;
}

void THelpForm::scrollSelectionToTop()
{
    const QTextCursor cursor = HelpTextField->textCursor();
    const QTextBlock block = HelpTextField->document()->findBlock(cursor.selectionStart());
    int line = 0;
    for (QTextBlock b = HelpTextField->document()->begin(); b.isValid() && b != block; b = b.next())
        line += b.layout() ? b.layout()->lineCount() : 1;
    if (block.layout() && block.layout()->lineCount() > 0)
        line += block.layout()->lineForTextPosition(cursor.selectionStart() - block.position()).lineNumber();
    QTextCursor start = cursor;
    start.setPosition(cursor.selectionStart());
    const int top = HelpTextField->cursorRect(start).top();
    // Only downwards, and not for the first two lines: the view itself shows those.
    if (line > 1 && top > 0) {
        QScrollBar *bar = HelpTextField->verticalScrollBar();
        bar->setValue(bar->value() + top);
    }
}

void THelpForm::ShowHelpTopic(const QString &topic)
{
    QTextDocument *document = HelpTextField->document();
    int pos = 0;
    for (;;) {
        const QTextCursor found = topic.isEmpty() ? QTextCursor() : document->find(topic, pos, QTextDocument::FindCaseSensitively);
        if (found.isNull()) {
            QTextCursor collapsed = HelpTextField->textCursor();
            collapsed.setPosition(collapsed.selectionStart());
            HelpTextField->setTextCursor(collapsed);
            return;
        }
        HelpTextField->setFocus();
        HelpTextField->setTextCursor(found);
        scrollSelectionToTop();
        if (isHeading(found.selectionStart(), int(topic.size())))
            return;
        pos = found.selectionStart() + int(topic.size());
    }
}

void THelpForm::HelpFindButtonClick()
{
    const QString text =
        ShowInputBox(LngText(QStringLiteral("Messages"), QStringLiteral("Please enter text (F3 = repeat search):")), 0);
    if (text.isEmpty())
        return;
    lastFindText_ = text;
    FindInRichText(text);
}

void THelpForm::HelpFindAgain()
{
    if (lastFindText_.isEmpty())
        HelpFindButtonClick();
    else
        FindInRichText(lastFindText_);
}

void THelpForm::FindInRichText(const QString &text)
{
    const QTextCursor current = HelpTextField->textCursor();
    const int start = current.hasSelection() ? current.selectionEnd() : 0;
    const QTextCursor found = HelpTextField->document()->find(text, start);
    if (found.isNull())
        return;
    HelpTextField->setFocus();
    HelpTextField->setTextCursor(found);
}

void THelpForm::HelpPrintButtonClick(QAbstractButton *sender)
{
    // The pages are made without the clipboard, so the user's clipboard stays as it was.
    TPreviewPrinter engine;
    engine.SetTitle(QStringLiteral("Tavorin"));
    QStringList texts;
    for (const char *key : PreviewTextKeys)
        texts << LngText(QStringLiteral("Print Preview"), QLatin1String(key));
    engine.PreviewTexts = toCommaText(texts);
    engine.TextOptions.SetPageNumText(LngText(QStringLiteral("Print Preview"), QStringLiteral("Page")));
    engine.OnProgress = progress;
    engine.PrintRichText(HelpTextField);
    if (sender == HelpPreviewButton)
        engine.Preview();
    else
        engine.PrintWithDialog();
}

void THelpForm::HelpTextFieldURLClick(const QString &link) { Dialogs().openLink(link); }
