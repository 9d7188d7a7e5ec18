#include "ui/Controls.h"

#include "core/Canvas.h"
#include "core/HintedGlyphs.h"

#include <QButtonGroup>
#include <QEvent>
#include <QGlyphRun>
#include <QIcon>
#include <QKeyEvent>
#include <QToolButton>
#include <QPainter>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace {
// Watches its parent control and gives it its hint as accessible name whenever the hint
// changes.
class HintNamer : public QObject
{
public:
    explicit HintNamer(QWidget *control) : QObject(control), control_(control)
    {
        control->installEventFilter(this);
        apply();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == control_ && event->type() == QEvent::ToolTipChange)
            apply();
        return QObject::eventFilter(watched, event);
    }

private:
    void apply() { control_->setAccessibleName(control_->toolTip()); }
    QWidget *control_;
};
} // namespace

void nameByHint(QWidget *control)
{
    const char *const named = "letrafexNamedByHint";
    if (!control || control->property(named).toBool())
        return;
    control->setProperty(named, true);
    new HintNamer(control);
}

QIcon programIcon(const char *name) { return QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name))); }

QGroupBox *namedGroupBox(QWidget *parent, const char *name, const char *caption, const QRect &geometry)
{
    auto *g = new QGroupBox(QString::fromLatin1(caption), parent);
    g->setObjectName(QLatin1String(name));
    if (geometry.isValid())
        g->setGeometry(geometry);
    return g;
}

QToolButton *namedToolButton(QWidget *parent, const char *name, const char *iconName, const char *hint, QSize size)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    if (iconName)
        b->setIcon(programIcon(iconName));
    b->setIconSize(QSize(20, 20));
    if (hint)
        b->setToolTip(QString::fromLatin1(hint));
    if (size.isValid())
        b->setFixedSize(size);
    nameByHint(b);
    return b;
}

void copyFontStyle(const QFont &from, QFont &target)
{
    setFontStyleSet(target, fontStyleSet(from));
}

TShape::TShape(const QString &name, QWidget *parent) : QWidget(parent)
{
    setObjectName(name);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
}

void TShape::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // A held key opens the dialog once.
        if (!event->isAutoRepeat())
            emit pressed();
        event->accept();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void TShape::setBrushColor(TColor c)
{
    color_ = c;
    update();
}

void TShape::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(toQColor(resolveColor(color_)));
    p.drawRoundedRect(r, 4, 4);
    p.setPen(QPen(QColor(255, 255, 255, 110), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(r.adjusted(1.5, 1.5, -1.5, -1.5), 3, 3);
    if (hasFocus()) {
        // A ring in the selection colour, and a dotted line inside that stands out from
        // the shape's own colour whatever it is.
        p.setPen(QPen(palette().color(QPalette::Highlight), 2));
        p.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 4, 4);
        const bool light = qGray(toQColor(resolveColor(color_)).rgb()) > 128;
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(light ? Qt::black : Qt::white, 1, Qt::DotLine));
        p.drawRect(rect().adjusted(4, 4, -5, -5));
    }
}

TRadioGroup::TRadioGroup(const QString &name, const QString &caption, QWidget *parent)
    : QGroupBox(caption, parent), layout_(new QVBoxLayout(this)), group_(new QButtonGroup(this))
{
    setObjectName(name);
    layout_->setContentsMargins(6, 2, 2, 2);
    layout_->setSpacing(0);
    layout_->addStretch();
    group_->setExclusive(true);
    connect(group_, &QButtonGroup::idClicked, this, &TRadioGroup::clicked);
}

void TRadioGroup::setItems(const QStringList &items)
{
    const int index = itemIndex();
    // The buttons there are keep their place in the tab order (a translation renames
    // them); only a list of another length adds or removes buttons at the end.
    while (buttons_.size() > items.size())
        delete buttons_.takeLast();
    for (int i = 0; i < items.size(); ++i) {
        if (i < buttons_.size()) {
            buttons_[i]->setText(items[i]);
            continue;
        }
        auto *b = new QRadioButton(items[i], this);
        b->setFocusPolicy(Qt::TabFocus);
        group_->addButton(b, i);
        layout_->insertWidget(i, b); // above the stretch
        if (i > 0)
            setTabOrder(buttons_[i - 1], b);
        buttons_ << b;
    }
    setItemIndex(index < buttons_.size() ? index : -1);
}

QStringList TRadioGroup::items() const
{
    QStringList list;
    for (const QRadioButton *b : buttons_)
        list << b->text();
    return list;
}

int TRadioGroup::itemIndex() const { return group_->checkedId(); }

void TRadioGroup::setItemIndex(int index)
{
    if (index >= 0 && index < buttons_.size()) {
        buttons_[index]->setChecked(true);
    } else if (QAbstractButton *b = group_->checkedButton()) {
        group_->setExclusive(false);
        b->setChecked(false);
        group_->setExclusive(true);
    }
}

TCheckListBox::TCheckListBox(const QString &name, QWidget *parent) : QListWidget(parent)
{
    setObjectName(name);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void TCheckListBox::setItems(const QStringList &items)
{
    clear();
    for (const QString &text : items) {
        auto *item = new QListWidgetItem(text, this);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
}

bool TCheckListBox::checked(int index) const
{
    const QListWidgetItem *it = item(index);
    return it && it->checkState() == Qt::Checked;
}

void TCheckListBox::setChecked(int index, bool on)
{
    if (QListWidgetItem *it = item(index))
        it->setCheckState(on ? Qt::Checked : Qt::Unchecked);
}

TPreviewLabel::TPreviewLabel(const QString &name, QWidget *parent) : QLabel(parent)
{
    setObjectName(name);
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    setTextFormat(Qt::PlainText);
}

QFont TPreviewLabel::drawingFont() const
{
    QFont f = font();
    f.setKerning(false);
    f.setHintingPreference(QFont::PreferVerticalHinting);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

QStringList TPreviewLabel::lines() const
{
    if (text().isEmpty())
        return {};
    return text().split(QLatin1Char('\n'));
}

QSize TPreviewLabel::blockSize() const
{
    const QFontMetrics fm(drawingFont());
    const QStringList all = lines();
    int w = 0;
    for (const QString &line : all)
        w = std::max(w, fm.horizontalAdvance(line));
    return {w, fm.height() * int(all.size())};
}

int TPreviewLabel::lineLeft(int blockWidth, int lineWidth) const
{
    // As the painter aligns a line within the widest (div rounds toward zero).
    if (alignment() & Qt::AlignRight)
        return blockWidth - lineWidth;
    if (alignment() & Qt::AlignHCenter)
        return blockWidth / 2 - lineWidth / 2;
    return 0;
}

QMargins TPreviewLabel::inkMargins() const
{
    // The ink is what the glyphs cover as drawn (the outlines' and the cached glyphs'
    // bounds), not their advances: a slanted letter reaches past its advance on the right,
    // some letters start left of their origin. One pixel more on each side holds the
    // antialiased edge.
    const QFont f = drawingFont();
    if (ink_.alignment == int(alignment()) && ink_.text == text() && ink_.fontKey == f.key())
        return ink_.margins;
    const QFontMetrics fm(f);
    const QStringList all = lines();
    const QSize block = blockSize();
    QRectF ink;
    for (int j = 0; j < all.size(); ++j) {
        const HintedTextLine line(all[j], f);
        QRectF bounds = line.outline().boundingRect();
        for (const QGlyphRun &run : line.cachedRuns())
            bounds |= run.boundingRect();
        ink |= bounds.translated(lineLeft(block.width(), fm.horizontalAdvance(all[j])), j * fm.height());
    }
    QMargins margins;
    if (!ink.isEmpty()) {
        const QRect covered = ink.toAlignedRect().adjusted(-1, -1, 1, 1);
        margins = {std::max(0, -covered.left()), std::max(0, -covered.top()),
                   std::max(0, covered.right() + 1 - block.width()), std::max(0, covered.bottom() + 1 - block.height())};
    }
    ink_ = {text(), f.key(), int(alignment()), margins};
    return margins;
}

QSize TPreviewLabel::sizeHint() const
{
    const QMargins m = inkMargins();
    return blockSize().grownBy(m);
}

void TPreviewLabel::moveText(QPoint topLeft)
{
    textPosition_ = topLeft;
    fitText();
}

void TPreviewLabel::fitText()
{
    const QMargins m = inkMargins();
    setGeometry(QRect(textPosition_ - QPoint(m.left(), m.top()), blockSize().grownBy(m)));
}

void TPreviewLabel::paintEvent(QPaintEvent *event)
{
    const QFont f = drawingFont();
    const QFontMetrics fm(f);
    const QStringList all = lines();
    const int wmax = blockSize().width();
    // The text position, wherever the label's edges lie now.
    const QPoint origin = textPosition_ - pos();
    QPainter p(this);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setPen(palette().color(QPalette::WindowText));
    for (int j = 0; j < all.size(); ++j) {
        const int x = origin.x() + lineLeft(wmax, fm.horizontalAdvance(all[j]));
        const int y = origin.y() + j * fm.height();
        // Only the glyphs that reach the part being painted: a long line costs its visible part.
        HintedTextLine(all[j], f).draw(p, x, y, event->rect().translated(-x, -y));
    }
}

TSpinEdit::TSpinEdit(const QString &name, QWidget *parent) : QSpinBox(parent)
{
    setObjectName(name);
}

namespace {
// The text without the blanks around it and with its sign split off; false when it is no
// sign followed by digits (an empty text and a lone sign count as digits still to come).
bool splitDigits(const QString &input, bool &negative, QString &digits)
{
    digits = input.trimmed();
    negative = digits.startsWith(QLatin1Char('-'));
    if (negative || digits.startsWith(QLatin1Char('+')))
        digits.remove(0, 1);
    return std::all_of(digits.cbegin(), digits.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}
} // namespace

QValidator::State TSpinEdit::validate(QString &input, int &) const
{
    bool negative = false;
    QString digits;
    if (!splitDigits(input, negative, digits))
        return QValidator::Invalid;
    if (digits.isEmpty())
        return QValidator::Intermediate;
    bool ok = false;
    const qlonglong v = (negative ? -1 : 1) * digits.toLongLong(&ok);
    return ok && v >= minimum() && v <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
}

void TSpinEdit::fixup(QString &input) const
{
    bool negative = false;
    QString digits;
    int v = minimum();
    if (splitDigits(input, negative, digits) && !digits.isEmpty()) {
        bool ok = false;
        const qlonglong n = digits.toLongLong(&ok);
        // More digits than any integer holds lie beyond the bound on their side.
        if (!ok)
            v = negative ? minimum() : maximum();
        else
            v = int(std::clamp<qlonglong>(negative ? -n : n, minimum(), maximum()));
    }
    input = textFromValue(v);
}

TNumberEdit::TNumberEdit(const QString &name, const QString &text, QWidget *parent)
    : QLineEdit(text, parent), committed_(text)
{
    setObjectName(name);
    // Qt tells a user's edit (textEdited) before the change every setText makes too.
    connect(this, &QLineEdit::textEdited, this, [this] { userEdit_ = true; });
    connect(this, &QLineEdit::textChanged, this, &TNumberEdit::textChangedHere);
    connect(this, &QLineEdit::editingFinished, this, &TNumberEdit::finishEdit);
    setInvalid(!isWholeNumber(text));
}

bool TNumberEdit::isWholeNumber(const QString &text)
{
    bool ok = false;
    text.trimmed().toInt(&ok);
    return ok;
}

QString TNumberEdit::acceptedText() const { return isWholeNumber(text()) ? text() : committed_; }

void TNumberEdit::textChangedHere(const QString &text)
{
    if (!std::exchange(userEdit_, false))
        committed_ = text;
    setInvalid(!isWholeNumber(text));
}

void TNumberEdit::finishEdit()
{
    if (invalid_)
        setText(committed_);
    else
        committed_ = text();
}

void TNumberEdit::setInvalid(bool invalid)
{
    if (invalid == invalid_)
        return;
    invalid_ = invalid;
    // The field turns red while its text is no whole number; the window's colours return
    // with the text's validity.
    QPalette pal;
    if (invalid) {
        pal = palette();
        pal.setColor(QPalette::Base, QColor(255, 205, 205));
        pal.setColor(QPalette::Text, QColor(160, 0, 0));
    }
    setPalette(pal);
}
