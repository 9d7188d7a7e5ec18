#include "ui/MessageDialogs.h"

#include "core/CommaText.h"
#include "ui/ButtonFit.h"
#include "core/DialogGradient.h"
#include "ui/DialogService.h"
#include "program/DialogStyle.h"
#include "ui/ImageWidget.h"

#include "core/FileBytes.h"
#include "core/MessageText.h"

#include <QApplication>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>
#include <QScreen>
#include <QStyle>

namespace {
// Layout units of the dialog font, as a platform message dialog measures them.
struct DialogUnits
{
    int x, y;
    explicit DialogUnits(const QFontMetrics &fm)
        : x(qMax(1, fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52)),
          y(fm.height())
    {
    }
    int h(int v) const { return v * x / 4; }
    int v(int n) const { return n * y / 8; }
};

// The width a long message's text wraps to: a comfortable line of about 60 characters,
// at most half the screen; wider only for a word that does not fit (a file's path), and
// then never wider than the screen leaves beside the icon and margins.
int wrappedTextWidth(const QFontMetrics &fm, const QString &text)
{
    int width = 60 * fm.averageCharWidth();
    int screenWidth = 1 << 20;
    if (QScreen *screen = QGuiApplication::primaryScreen())
        screenWidth = screen->availableGeometry().width();
    width = qMax(270, qMin(width, screenWidth / 2));
    const QRect wrapped = fm.boundingRect(QRect(0, 0, width, 1 << 20),
                                          Qt::AlignLeft | Qt::TextExpandTabs | Qt::TextWordWrap, text);
    return qMax(270, qMin(qMax(width, wrapped.width() + 2), screenWidth - 120));
}

void centreOnScreen(QWidget &w)
{
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        w.move(area.center() - QPoint(w.width() / 2, w.height() / 2));
    }
}

void styleWhite(QWidget &w)
{
    QPalette pal = w.palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, Qt::black);
    w.setPalette(pal);
    w.setAutoFillBackground(true);
}

// Wraps a label at 270 pixels and returns its new height.
void wrapLabel(QLabel &label)
{
    if (label.width() <= 270)
        return;
    label.setWordWrap(true);
    label.resize(270, label.heightForWidth(270));
}
} // namespace

TMessageForm::TMessageForm(const QString &text, MessageType type, int buttons, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("MessageForm"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    const QFontMetrics fm(font());
    const DialogUnits du(fm);
    const int horzMargin = du.h(8), vertMargin = du.v(8), horzSpacing = du.h(10), vertSpacing = du.v(10);
    const int buttonWidth = du.h(50), buttonHeight = du.v(14), buttonSpacing = du.h(4);

    QLabel *icon = nullptr;
    QStyle::StandardPixmap pixmap = QStyle::SP_MessageBoxInformation;
    if (type == MessageType::Warning) pixmap = QStyle::SP_MessageBoxWarning;
    if (type == MessageType::Confirmation) pixmap = QStyle::SP_MessageBoxQuestion;
    if (type != MessageType::Custom) {
        icon = new QLabel(this);
        icon->setObjectName(QStringLiteral("Image"));
        icon->setPixmap(style()->standardIcon(pixmap).pixmap(32, 32));
        icon->setGeometry(horzMargin, vertMargin, 32, 32);
    }

    label_ = new QLabel(text, this);
    label_->setObjectName(QStringLiteral("Message"));
    label_->setTextFormat(Qt::PlainText);
    const QRect textRect = fm.boundingRect(QRect(0, 0, 1 << 20, 1 << 20), Qt::AlignLeft | Qt::TextExpandTabs, text);
    label_->resize(textRect.width() + 2, qMax(textRect.height(), fm.height()));
    // A long text wraps at word boundaries, so the dialog stays narrower than the screen.
    const int wrapWidth = wrappedTextWidth(fm, text);
    if (label_->width() > wrapWidth) {
        label_->setWordWrap(true);
        label_->resize(wrapWidth, qMax(label_->heightForWidth(wrapWidth), fm.height()));
    }
    controls_ << label_;

    int iconTextWidth = label_->width();
    int iconTextHeight = label_->height();
    if (icon) {
        iconTextWidth += 32 + horzSpacing;
        iconTextHeight = qMax(32, iconTextHeight);
    }
    label_->move(iconTextWidth - label_->width() + horzMargin, vertMargin);

    struct Spec { int flag; const char *name; int result; };
    const Spec specs[] = {{mbYes, "Yes", mrYes}, {mbNo, "No", mrNo}, {mbOK, "OK", mrOk}, {mbCancel, "Cancel", mrCancel}};
    int count = 0;
    for (const Spec &s : specs)
        if (buttons & s.flag) ++count;
    const int groupWidth = count * buttonWidth + qMax(0, count - 1) * buttonSpacing;
    const int clientWidth = qMax(iconTextWidth, groupWidth) + 2 * horzMargin;
    const int clientHeight = iconTextHeight + buttonHeight + vertSpacing + 2 * vertMargin;
    int x = (clientWidth - groupWidth) / 2;
    bool first = true;
    for (const Spec &s : specs) {
        if (!(buttons & s.flag))
            continue;
        auto *b = new QPushButton(QString::fromLatin1(s.name), this);
        b->setObjectName(QString::fromLatin1(s.name));
        b->setGeometry(x, iconTextHeight + vertMargin + vertSpacing, buttonWidth, buttonHeight);
        const int result = s.result;
        connect(b, &QPushButton::clicked, this, [this, result] { done(result); });
        if (first) {
            b->setDefault(true);
            first = false;
        }
        controls_ << b;
        x += buttonWidth + buttonSpacing;
    }
    setFixedSize(clientWidth, clientHeight);
}

QList<QPushButton *> TMessageForm::buttons() const
{
    QList<QPushButton *> out;
    for (QWidget *w : controls_)
        if (auto *b = qobject_cast<QPushButton *>(w))
            out << b;
    return out;
}

TImage *TMessageForm::addGradient(TColor c1, TColor c2)
{
    auto *image = new TImage(QStringLiteral("GradientImage"), this);
    image->box().width = width();
    image->box().height = height();
    image->syncGeometry();
    image->move(0, 0);
    image->lower();
    PaintDialogGradient(*image, c1, c2);
    return image;
}

void PaintDialogGradient(TImage &image, TColor c1, TColor c2)
{
    ImageBox &box = image.box();
    box.picture.setHeight(box.height);
    box.picture.setWidth(box.width);
    box.picture = dialogGradient(box.width, box.height, c1, c2);
    image.pictureChanged();
}

namespace {
// Walks the dialog's controls in creation order: a prompt wider than 270 pixels wraps, the
// field goes 20 pixels below it and the buttons 20 pixels below the field.
QList<QPushButton *> placeBelowPrompt(TMessageForm &form, QWidget &field)
{
    for (QWidget *w : form.controls()) {
        if (auto *label = qobject_cast<QLabel *>(w)) {
            wrapLabel(*label);
            field.move(10, label->y() + label->height() + 20);
        } else if (auto *b = qobject_cast<QPushButton *>(w)) {
            b->move(b->x(), field.y() + field.height() + 20);
        }
    }
    return form.buttons();
}

// Translated button captions may be longer than the buttons were made for: then every
// button takes the width the longest caption needs, the row keeps its gaps and is centred,
// and the dialog widens when the row would not fit. Buttons that fit stay where they are.
// Buttons take the width their translated captions need, never less than designed, and
// the dialog widens for them and for its translated title, its buttons centred again.
void fitButtonsAndTitle(TMessageForm &form)
{
    const QList<QPushButton *> buttons = form.buttons();
    int w = buttons.isEmpty() ? 0 : buttons.first()->width();
    for (const QPushButton *b : buttons)
        w = qMax(w, captionWidth(*b));
    const int count = int(buttons.size());
    const int gap = count > 1 ? qMax(0, buttons[1]->x() - buttons[0]->x() - buttons[0]->width()) : 0;
    const int row = count * w + qMax(count - 1, 0) * gap;
    const int margin = count > 0 ? qMin(buttons.first()->x(), 12) : 0;
    const int width = std::max({form.width(), row + 2 * margin, titleRoomWidth(form)});
    if (width == form.width() && (count == 0 || w == buttons.first()->width()))
        return;
    int x = (width - row) / 2;
    for (QPushButton *b : buttons) {
        b->setGeometry(x, b->y(), w, b->height());
        x += w + gap;
    }
    form.setFixedSize(width, form.height());
}

void finishDialog(TMessageForm &form)
{
    fitButtonsAndTitle(form);
    styleWhite(form);
    form.addGradient(DialogStyle.startColor, DialogStyle.endColor);
    centreOnScreen(form);
}
} // namespace

bool ShowMessageBox(const QString &text, const QString &kind)
{
    InitDialogTexts();
    const QChar k = kind.isEmpty() ? QChar() : kind.front().toUpper();
    MessageType type = MessageType::Information;
    int buttons = mbOK;
    QString title = QStringLiteral("Information");
    if (k == QLatin1Char('C')) {
        type = MessageType::Confirmation;
        buttons = mbYes | mbNo;
        title = DialogStyle.confirmationTitle;
    } else if (k == QLatin1Char('W')) {
        type = MessageType::Warning;
        title = DialogStyle.warningTitle;
    } else if (k == QLatin1Char('I')) {
        title = DialogStyle.informationTitle;
    }
    TMessageForm form(text, type, buttons, QApplication::activeWindow());
    form.setWindowTitle(title);
    const QList<QPushButton *> bs = form.buttons();
    for (QPushButton *b : bs)
        b->setText(DialogStyle.okText);
    if (type == MessageType::Confirmation && bs.size() >= 2) {
        bs[0]->setText(DialogStyle.yesText);
        bs[1]->setText(DialogStyle.noText);
    }
    finishDialog(form);
    const int result = Dialogs().exec(form);
    return result == mrOk || result == mrYes;
}

QString ShowInputBox(const QString &prompt, int password)
{
    InitDialogTexts();
    TMessageForm form(prompt, MessageType::Custom, mbOK | mbCancel, QApplication::activeWindow());
    const int width = 300;
    form.setWindowTitle(DialogStyle.inputTitle);
    auto *edit = new QLineEdit(&form);
    edit->setObjectName(QStringLiteral("InputEdit"));
    edit->setGeometry(10, 0, width - 30, edit->sizeHint().height());
    if (password == 1)
        edit->setEchoMode(QLineEdit::Password);
    const QList<QPushButton *> buttons = placeBelowPrompt(form, *edit);
    buttons[0]->move(width / 2 - buttons[0]->width() - 10, buttons[0]->y());
    buttons[0]->setText(DialogStyle.okText);
    buttons[1]->move(width / 2 + 10, buttons[1]->y());
    buttons[1]->setText(DialogStyle.cancelText);
    form.setFixedSize(width, edit->y() + 100);
    finishDialog(form);
    edit->setFocus();
    QWidget::setTabOrder(edit, form.buttons().value(0));
    if (Dialogs().exec(form) == mrCancel)
        edit->clear();
    return edit->text();
}

QString ShowChoiceBox(const QString &prompt, const QString &items, const QString &selected)
{
    InitDialogTexts();
    TMessageForm form(prompt, MessageType::Custom, mbOK, QApplication::activeWindow());
    const int width = 300;
    form.setWindowTitle(DialogStyle.inputTitle);
    auto *list = new QListWidget(&form);
    list->setObjectName(QStringLiteral("ChoiceList"));
    list->setGeometry(10, 0, width - 30, 80);
    list->addItems(fromCommaText(items));
    if (list->count() > 0) {
        const QList<QListWidgetItem *> preset = list->findItems(selected, Qt::MatchExactly);
        list->setCurrentRow(preset.isEmpty() ? 0 : list->row(preset.first()));
    }
    QPushButton *ok = placeBelowPrompt(form, *list).first();
    ok->move(width / 2 - ok->width() / 2 - 5, ok->y());
    ok->setText(DialogStyle.okText);
    // The arrow keys choose and Enter, which the list leaves to the dialog, presses OK.
    ok->setDefault(true);
    list->setFocus();
    form.setFixedSize(width, list->y() + list->height() + 80);
    finishDialog(form);
    QObject::connect(list, &QListWidget::itemDoubleClicked, &form, [&form] { form.done(mrOk); });
    QString result;
    if (Dialogs().exec(form) == mrOk && list->currentItem() && list->currentItem()->isSelected())
        result = list->currentItem()->text();
    return result;
}

bool ConfirmReplaceFile(const QString &fileName)
{
    const QFileInfo file(fileName);
    if (!file.exists())
        return true;
    // A folder cannot be replaced by a file: nothing to ask, another name is needed.
    if (file.isDir()) {
        ShowMessageBox(messageText("\"%1\" is a folder, not a file. Please choose another name.")
                           .arg(nativeFilePath(fileName)),
                       QStringLiteral("w"));
        return false;
    }
    return ShowMessageBox(messageText("The file \"%1\" already exists. Do you want to replace it?")
                              .arg(nativeFilePath(fileName)),
                          QStringLiteral("c"));
}
