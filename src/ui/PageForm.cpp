#include "ui/PageForm.h"

#include "ui/Translate.h"

#include <QShowEvent>

TPageForm::TPageForm(const QString &name, const QString &caption, QWidget *parent) : QWidget(parent, Qt::Widget)
{
    setObjectName(name);
    setWindowTitle(caption);
    hide();
}

void TPageForm::FormShow() { TranslateForm(this); }

void TPageForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // A page shown again because the whole program window was restored is not a new
    // showing: the user's unsaved choices on it stay.
    if (!event->spontaneous())
        FormShow();
}
