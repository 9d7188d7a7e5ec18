#include "ui/Controls.h"

#include "core/Canvas.h"

#include <QButtonGroup>
#include <QEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QToolButton>
#include <QPainter>
#include <QRadioButton>
#include <QVBoxLayout>

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
