#include "ui/Translate.h"

#include "core/IniFile.h"
#include "ui/Controls.h"
#include "program/Language.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QTreeWidget>
#include <QVariant>

#include <algorithm>

namespace {
const char *const OwnerProperty = "letrafexOwner";
const char *const OrderProperty = "letrafexDesignOrder";

// A report-style list shows its column headers; a tree without headers is a tree view.
const QTreeWidget *reportList(const QWidget *w)
{
    auto *tree = qobject_cast<const QTreeWidget *>(w);
    return tree && !tree->isHeaderHidden() ? tree : nullptr;
}

// A list box in list mode has items; the large-icon view (the page list) has none of its own.
const QListWidget *listBox(const QWidget *w)
{
    auto *list = qobject_cast<const QListWidget *>(w);
    return list && list->viewMode() == QListView::ListMode ? list : nullptr;
}
} // namespace

void markDesignedControls(QWidget *window)
{
    int order = 0;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_")) ||
            w->property(OwnerProperty).isValid())
            continue;
        w->setProperty(OwnerProperty, QVariant::fromValue(static_cast<QObject *>(window)));
        w->setProperty(OrderProperty, order++);
    }
}

QList<QWidget *> designedControls(QWidget *window)
{
    QList<QWidget *> controls;
    for (QWidget *w : window->findChildren<QWidget *>())
        if (w->property(OwnerProperty).value<QObject *>() == window)
            controls << w;
    std::stable_sort(controls.begin(), controls.end(), [](QWidget *a, QWidget *b) {
        return a->property(OrderProperty).toInt() < b->property(OrderProperty).toInt();
    });
    return controls;
}

QStringList splitLanguageList(const QString &value)
{
    QStringList pieces = value.split(QLatin1Char(','));
    if (pieces.size() > 1 && pieces.last().isEmpty())
        pieces.removeLast();
    return pieces;
}

namespace {
// What a control showed before the first translation of one kind of its texts, kept on the
// control so that a later language file without that entry brings it back.
QByteArray builtInProperty(const char *suffix) { return QByteArray("letrafexBuiltIn") + suffix; }

// One kind of text a language file can give a control: how to read it, how to set it
// from the file's value, and how to put a remembered built-in value back.
struct TextKind
{
    const char *suffix;
    bool (*has)(const QWidget *);
    QVariant (*get)(const QWidget *);
    void (*set)(QWidget *, const QVariant &);
    bool isList;
};

const TextKind TextKinds[] = {
    {".Columns.Captions", ControlTexts::hasColumns, [](const QWidget *w) { return QVariant(ControlTexts::columns(w)); },
     [](QWidget *w, const QVariant &v) { ControlTexts::setColumns(w, v.toStringList()); }, true},
    {".Caption", ControlTexts::hasCaption, [](const QWidget *w) { return QVariant(ControlTexts::caption(w)); },
     [](QWidget *w, const QVariant &v) { ControlTexts::setCaption(w, v.toString()); }, false},
    {".Hint", [](const QWidget *) { return true; }, [](const QWidget *w) { return QVariant(w->toolTip()); },
     [](QWidget *w, const QVariant &v) { w->setToolTip(v.toString()); }, false},
    {".Items", ControlTexts::hasItems, [](const QWidget *w) { return QVariant(ControlTexts::items(w)); },
     [](QWidget *w, const QVariant &v) { ControlTexts::setItems(w, v.toStringList()); }, true},
    {".Lines", ControlTexts::hasLines, [](const QWidget *w) { return QVariant(ControlTexts::lines(w)); },
     [](QWidget *w, const QVariant &v) { ControlTexts::setLines(w, v.toStringList()); }, true},
};

// Gives the control the file's text of one kind; without one, a control translated before
// gets back its built-in text, so that a partial language file leaves no word of the last one.
void translateText(QWidget *control, const TextKind &kind, const QString &value)
{
    const QByteArray remembered = builtInProperty(kind.suffix);
    if (value.isEmpty()) {
        const QVariant builtIn = control->property(remembered);
        if (builtIn.isValid())
            kind.set(control, builtIn);
        return;
    }
    if (!control->property(remembered).isValid())
        control->setProperty(remembered, kind.get(control));
    kind.set(control, kind.isList ? QVariant(splitLanguageList(value)) : QVariant(value));
}
} // namespace

void TranslateForm(QWidget *window)
{
    if (!window || LanguageFilePath.isEmpty())
        return;
    const IniFile file(LanguageFilePath);
    const QString section = window->objectName();
    // The title follows even an empty entry; without one it is the built-in title again
    // once a file has changed it.
    const QString titleKey = QStringLiteral("Caption");
    const QByteArray rememberedTitle = builtInProperty(".Title");
    if (file.sectionKeys(section).contains(titleKey, Qt::CaseInsensitive)) {
        if (!window->property(rememberedTitle).isValid())
            window->setProperty(rememberedTitle, window->windowTitle());
        window->setWindowTitle(file.readString(section, titleKey, QString()));
    } else if (window->property(rememberedTitle).isValid()) {
        window->setWindowTitle(window->property(rememberedTitle).toString());
    }
    for (QWidget *control : designedControls(window)) {
        for (const TextKind &kind : TextKinds) {
            if (kind.has(control))
                translateText(control, kind,
                              file.readString(section, control->objectName() + QLatin1String(kind.suffix), QString()));
        }
    }
}

namespace ControlTexts {

bool hasCaption(const QWidget *w)
{
    return qobject_cast<const QAbstractButton *>(w) || qobject_cast<const QGroupBox *>(w) ||
           qobject_cast<const QLabel *>(w);
}

QString caption(const QWidget *w)
{
    if (auto *b = qobject_cast<const QAbstractButton *>(w))
        return b->text();
    if (auto *g = qobject_cast<const QGroupBox *>(w))
        return g->title();
    if (auto *l = qobject_cast<const QLabel *>(w))
        return l->text();
    return {};
}

void setCaption(QWidget *w, const QString &text)
{
    if (auto *b = qobject_cast<QAbstractButton *>(w))
        b->setText(text);
    else if (auto *g = qobject_cast<QGroupBox *>(w))
        g->setTitle(text);
    else if (auto *l = qobject_cast<QLabel *>(w))
        l->setText(text);
}

bool hasItems(const QWidget *w)
{
    return qobject_cast<const TRadioGroup *>(w) || qobject_cast<const QComboBox *>(w) || listBox(w);
}

QStringList items(const QWidget *w)
{
    QStringList list;
    if (auto *r = qobject_cast<const TRadioGroup *>(w))
        return r->items();
    if (auto *c = qobject_cast<const QComboBox *>(w)) {
        for (int i = 0; i < c->count(); ++i)
            list << c->itemText(i);
    } else if (auto *l = listBox(w)) {
        for (int i = 0; i < l->count(); ++i)
            list << l->item(i)->text();
    }
    return list;
}

void setItems(QWidget *w, const QStringList &pieces)
{
    if (auto *check = qobject_cast<TCheckListBox *>(w)) {
        for (int i = 0; i < check->count() && i < pieces.size(); ++i)
            check->item(i)->setText(pieces[i]);
    } else if (auto *r = qobject_cast<TRadioGroup *>(w)) {
        r->setItems(pieces);
    } else if (auto *c = qobject_cast<QComboBox *>(w)) {
        const int index = c->currentIndex();
        c->clear();
        c->addItems(pieces);
        c->setCurrentIndex(index < c->count() ? index : -1);
    } else if (auto *l = qobject_cast<QListWidget *>(w)) {
        l->clear();
        l->addItems(pieces);
    }
}

bool hasLines(const QWidget *w) { return qobject_cast<const QTextEdit *>(w) || qobject_cast<const QPlainTextEdit *>(w); }

QStringList lines(const QWidget *w)
{
    if (auto *t = qobject_cast<const QTextEdit *>(w))
        return t->toPlainText().split(QLatin1Char('\n'));
    if (auto *p = qobject_cast<const QPlainTextEdit *>(w))
        return p->toPlainText().split(QLatin1Char('\n'));
    return {};
}

void setLines(QWidget *w, const QStringList &lines)
{
    if (auto *t = qobject_cast<QTextEdit *>(w))
        t->setPlainText(lines.join(QLatin1Char('\n')));
    else if (auto *p = qobject_cast<QPlainTextEdit *>(w))
        p->setPlainText(lines.join(QLatin1Char('\n')));
}

bool hasColumns(const QWidget *w) { return reportList(w) != nullptr; }

QStringList columns(const QWidget *w)
{
    QStringList list;
    if (const QTreeWidget *tree = reportList(w))
        for (int i = 0; i < tree->columnCount(); ++i)
            list << tree->headerItem()->text(i);
    return list;
}

void setColumns(QWidget *w, const QStringList &pieces)
{
    auto *tree = const_cast<QTreeWidget *>(reportList(w));
    if (!tree)
        return;
    for (int i = 0; i < tree->columnCount() && i < pieces.size(); ++i)
        tree->headerItem()->setText(i, pieces[i]);
}

} // namespace ControlTexts
