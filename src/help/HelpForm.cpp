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

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QResizeEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QListWidget>
#include <QPainter>
#include <QScrollBar>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QSplitter>
#include <QTextBlock>
#include <QTextLayout>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace {
// A topic is drawn on as many lines as the tree's visible width needs: its row is as high
// as its text wrapped within the part of the visible area (the viewport, not the column)
// that the topic's indentation leaves, so every topic is read whole without scrolling. A
// word longer than that width is broken where the width ends rather than cut.
class WrappedTopicDelegate : public QStyledItemDelegate
{
public:
    explicit WrappedTopicDelegate(QTreeView *tree) : QStyledItemDelegate(tree), tree_(tree) {}

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        int depth = tree_->rootIsDecorated() ? 1 : 0;
        for (QModelIndex p = index.parent(); p.isValid(); p = p.parent())
            ++depth;
        const int width = tree_->viewport()->width() - depth * tree_->indentation() - 2 * textMargin(opt);
        const QSize oneLine = singleLineSize(option, index);
        QTextLayout layout(opt.text, opt.font);
        layOut(layout, width);
        const int lines = std::max(1, layout.lineCount());
        const int spacing = QFontMetrics(opt.font).lineSpacing();
        return {oneLine.width(), lines * spacing + std::max(0, oneLine.height() - spacing)};
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QString text = std::exchange(opt.text, QString());
        const QWidget *widget = opt.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget); // background, selection, focus
        const int margin = textMargin(opt);
        QTextLayout layout(text, opt.font);
        layOut(layout, opt.rect.width() - 2 * margin);
        const int oneLine = singleLineSize(option, index).height();
        const int top = std::max(0, oneLine - QFontMetrics(opt.font).lineSpacing()) / 2;
        painter->save();
        const QPalette::ColorGroup group = opt.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
        painter->setPen(opt.palette.color(group, opt.state & QStyle::State_Selected ? QPalette::HighlightedText
                                                                                   : QPalette::Text));
        layout.draw(painter, QPointF(opt.rect.left() + margin, opt.rect.top() + top));
        painter->restore();
    }

private:
    // The size the style gives the topic on one line (a row's height without wrapping).
    QSize singleLineSize(const QStyleOptionViewItem &option, const QModelIndex &index) const
    {
        QStyleOptionViewItem single = option;
        single.features &= ~QStyleOptionViewItem::WrapText;
        return QStyledItemDelegate::sizeHint(single, index);
    }
    static int textMargin(const QStyleOptionViewItem &opt)
    {
        const QStyle *style = opt.widget ? opt.widget->style() : QApplication::style();
        return style->pixelMetric(QStyle::PM_FocusFrameHMargin, &opt, opt.widget) + 1;
    }
    // The text broken into lines of at most width pixels, at word boundaries where it can.
    static void layOut(QTextLayout &layout, int width)
    {
        const qreal spacing = QFontMetrics(layout.font()).lineSpacing();
        QTextOption wrap;
        wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(wrap);
        layout.beginLayout();
        qreal y = 0;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(std::max(1, width));
            line.setPosition(QPointF(0, y));
            y += spacing;
        }
        layout.endLayout();
    }

    QTreeView *tree_;
};

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
    // Every topic is readable without scrolling: the column is as wide as the tree's
    // visible area, and a topic longer than that wraps onto further lines.
    HTopicsView->setWordWrap(true);
    HTopicsView->setUniformRowHeights(false);
    HTopicsView->setItemDelegate(new WrappedTopicDelegate(HTopicsView));
    HTopicsView->header()->setStretchLastSection(true);
    HTopicsView->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    HTopicsView->viewport()->installEventFilter(this);
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
    // The topics wrap at the visible width: a new width lays their rows out again.
    if (watched == HTopicsView->viewport() && event->type() == QEvent::Resize &&
        static_cast<QResizeEvent *>(event)->size().width() != static_cast<QResizeEvent *>(event)->oldSize().width())
        QMetaObject::invokeMethod(HTopicsView, &QTreeView::doItemsLayout, Qt::QueuedConnection);
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
