#include "ui/PageForm.h"

TPageForm::TPageForm(const QString &name, const QString &caption, QWidget *parent) : QWidget(parent, Qt::Widget)
{
    setObjectName(name);
    setWindowTitle(caption);
    hide();
}

TBackgroundForm::TBackgroundForm(QWidget *parent)
    : TPageForm(QStringLiteral("BackgroundForm"), QStringLiteral("Create background"), parent)
{
}

TOptionsForm::TOptionsForm(QWidget *parent) : TPageForm(QStringLiteral("OptionsForm"), QStringLiteral("Options"), parent) {}

THelpForm::THelpForm(QWidget *parent) : TPageForm(QStringLiteral("HelpForm"), QStringLiteral("Help"), parent) {}

TAboutForm::TAboutForm(QWidget *parent) : TPageForm(QStringLiteral("AboutForm"), QStringLiteral("About Letrafex"), parent)
{
}
