#include "ui/Controls.h"

#include "core/Canvas.h"

#include <QButtonGroup>
#include <QIcon>
#include <QToolButton>
#include <QPainter>
#include <QRadioButton>
#include <QVBoxLayout>

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
}

TRadioGroup::TRadioGroup(const QString &name, const QString &caption, QWidget *parent)
    : QGroupBox(caption, parent), layout_(new QVBoxLayout(this)), group_(new QButtonGroup(this))
{
    setObjectName(name);
    layout_->setContentsMargins(6, 2, 2, 2);
    layout_->setSpacing(0);
    group_->setExclusive(true);
    connect(group_, &QButtonGroup::idClicked, this, &TRadioGroup::clicked);
}

void TRadioGroup::setItems(const QStringList &items)
{
    const int index = itemIndex();
    qDeleteAll(buttons_);
    buttons_.clear();
    for (int i = 0; i < items.size(); ++i) {
        auto *b = new QRadioButton(items[i], this);
        b->setFocusPolicy(Qt::TabFocus);
        group_->addButton(b, i);
        layout_->addWidget(b);
        buttons_ << b;
    }
    layout_->addStretch();
    // Remove stretches of earlier item lists.
    for (int i = layout_->count() - 2; i >= 0; --i)
        if (layout_->itemAt(i)->spacerItem())
            delete layout_->takeAt(i);
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
