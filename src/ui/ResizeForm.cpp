#include "ui/ResizeForm.h"

#include "core/Raster.h"
#include "ui/ButtonFit.h"
#include "ui/DialogService.h"
#include "program/Language.h"
#include "ui/MessageDialogs.h"
#include "ui/Translate.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QShowEvent>
#include <QStyle>

#include <algorithm>

namespace {
// The designed client size and button width; translated captions may widen both.
constexpr QSize DesignedSize(134, 98);
constexpr int DesignedButtonWidth = 58;
constexpr int ButtonGap = 6;

QLineEdit *numberField(QWidget *parent, const char *name, int y)
{
    auto *edit = new QLineEdit(QStringLiteral("0"), parent);
    edit->setObjectName(QLatin1String(name));
    // Whole numbers of pixels only; the range is the caller's business.
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,9}")), edit));
    edit->setGeometry(68, y, 57, 21);
    return edit;
}

QLabel *label(QWidget *parent, const char *name, const char *text, int y)
{
    auto *l = new QLabel(QString::fromLatin1(text), parent);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(8, y, 58, 21);
    return l;
}
} // namespace

TResizeForm::TResizeForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ResizeForm"));
    setWindowTitle(QStringLiteral("Resize picture"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(DesignedSize);
    lblWidth = label(this, "lblWidth", "Width", 10);
    lblHeight = label(this, "lblHeight", "Height", 38);
    edtImgWidth = numberField(this, "edtImgWidth", 10);
    edtImgHeight = numberField(this, "edtImgHeight", 38);
    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setGeometry(ButtonGap, 68, DesignedButtonWidth, 24);
    btnOK->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(2 * ButtonGap + DesignedButtonWidth, 68, DesignedButtonWidth, 24);
    connect(btnOK, &QPushButton::clicked, this, &TResizeForm::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &TResizeForm::btnCancelClick);
    markDesignedControls(this);
}

void TResizeForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TResizeForm::FormShow()
{
    TranslateForm(this);
    fitToCaptions();
}

void TResizeForm::fitToCaptions()
{
    // Both buttons take the width the longer caption needs, never less than designed, and
    // the dialog widens with them about its centre; it also leaves its title room beside
    // the frame's icon and buttons (each about a title bar high, with room to spare).
    const int w = std::max({DesignedButtonWidth, captionWidth(*btnOK), captionWidth(*btnCancel)});
    btnOK->setGeometry(ButtonGap, btnOK->y(), w, btnOK->height());
    btnCancel->setGeometry(2 * ButtonGap + w, btnCancel->y(), w, btnCancel->height());
    const int width = std::max({DesignedSize.width(), 2 * w + 3 * ButtonGap, titleRoomWidth(*this)});
    if (isVisible())
        move(x() - (width - this->width()) / 2, y());
    setFixedSize(width, DesignedSize.height());
}

void TResizeForm::btnOKClick()
{
    Confirmed = true;
    accept();
}

void TResizeForm::btnCancelClick()
{
    Confirmed = false;
    reject();
}

int TResizeForm::fieldValue(const QLineEdit *field) { return field->text().toInt(); }

bool TResizeForm::askPictureSize(QWidget *parent, QSize &size)
{
    TResizeForm form(parent);
    form.edtImgWidth->setText(QString::number(size.width()));
    form.edtImgHeight->setText(QString::number(size.height()));
    Dialogs().exec(form);
    if (!form.Confirmed)
        return false;
    const int w = fieldValue(form.edtImgWidth), h = fieldValue(form.edtImgHeight);
    // Resizing to nothing, or beyond what a picture may hold, would lose the picture.
    if (w < 1 || h < 1 || !Raster::sizeAllowed(w, h)) {
        ShowMessageBox(LngText(QStringLiteral("Messages"), QStringLiteral("A picture of this size is not possible.")),
                       QStringLiteral("w"));
        return false;
    }
    size = QSize(w, h);
    return true;
}
